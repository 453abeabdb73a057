#include "ExportFileChoice.h"

#include "common/Dialogs.h"
#include "output/ExportFormat.h"
#include "store/DbFile.h"

#include <QFile>
#include <QFileInfo>

namespace {

const QString kTitle = QStringLiteral("ファイル出力");
const QString kErrorTitle = QStringLiteral("ファイル出力エラー");
const QString kCrLf = QStringLiteral("\r\n");

void warn(const QString &text) { Dialogs::inform(text, kErrorTitle, Dialogs::Icon::Exclamation); }

// What Windows calls a hidden or system file has no counterpart here; the nearest are a
// dot-file, which file managers hide, and anything that is not a regular file (a folder, a
// device, a pipe, a dangling link), which an export must never write into.
bool unusable(const QFileInfo &fi)
{
    return fi.fileName().startsWith(QLatin1Char('.')) || !fi.isFile() || (fi.isSymLink() && !fi.exists());
}

// A file without its owner's write permission is read-only for the program, even for a user
// (root) whom the system would let write it: that is what the read-only mark meant.
bool readOnly(const QFileInfo &fi) { return !fi.isWritable() || !(fi.permissions() & QFileDevice::WriteOwner); }

QString folderOf(const QString &path)
{
    const qsizetype i = path.lastIndexOf(QLatin1Char('/'));
    return i < 0 ? QString() : path.left(i);
}

} // namespace

ExportFileChoice chooseExportFile(const ExportFileRequest &request, StartupState &startup)
{
    ExportFileChoice choice;
    Dialogs::FileRequest r;
    r.kind = Dialogs::FileRequest::Kind::Save;
    r.title = kTitle;
    r.directory = startup.exportPath;
    r.fileName = request.fileName;
    r.filters = request.filters;

    QString path;
    for (;;) {
        const Dialogs::FileAnswer a = Dialogs::chooseFile(r);
        if (!a.accepted || a.path.isEmpty())
            return choice; // cancelled: the export ends without a word
        path = a.path;
        r.filterIndex = a.filterIndex;

        if (request.layoutByExtension && textFlagOf(path) == 1) {
            // Another extension would give a file without any block in it.
            warn(QStringLiteral("そのファイル名は使用できません。") + kCrLf
                 + QStringLiteral("拡張子を「.csv」か「.txt」にして下さい。"));
            continue;
        }

        const QFileInfo fi(path);
        if (!fi.exists() && !fi.isSymLink()) {
            // Creating the file proves it can be written before any figure is computed.
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly)) {
                const QFileInfo dir(fi.absolutePath());
                if (dir.isDir() && !dir.isWritable())
                    warn(QStringLiteral("ファイルを書き込めませんでした。") + kCrLf
                         + QStringLiteral("書き込み禁止になっています。"));
                else
                    warn(QStringLiteral("ファイルを書き込めませんでした。") + kCrLf + QStringLiteral("Error=")
                         + QString::number(int(f.error())) + kCrLf + f.errorString());
                return choice;
            }
            f.close();
            choice.createdEmpty = true;
            break;
        }
        if (unusable(fi)) {
            warn(QStringLiteral("そのファイル名は使用できません。") + kCrLf
                 + QStringLiteral("別のファイル名にして下さい。"));
            continue;
        }
        if (readOnly(fi)) {
            warn(QStringLiteral("次のファイルは書き込み禁止になっています。") + kCrLf + fi.absoluteFilePath());
            continue;
        }
        if (Dialogs::show({QStringLiteral("次のファイルは既に存在します。上書きしてもよろしいですか？") + kCrLf + path,
                           kTitle, Dialogs::Icon::Question, Dialogs::Buttons::YesNo, 1})
            == Dialogs::Answer::Yes)
            break;
    }

    const QString folder = folderOf(path);
    if (!folder.isEmpty()) {
        startup.exportPath = folder;
        if (!Kidou_Write(QStringLiteral("書き出しpath"), folder)) {
            warn(QStringLiteral("ファイルを書き込めませんでした。") + kCrLf + QStringLiteral("Error=")
                 + QString::number(dbs().master.errorNumber()) + kCrLf + dbs().master.errorText());
            if (choice.createdEmpty)
                QFile::remove(path);
            return ExportFileChoice{};
        }
    }
    choice.chosen = true;
    choice.path = path;
    choice.textFlag = textFlagOf(path);
    return choice;
}
