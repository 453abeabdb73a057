#include "MonthFiles.h"

#include "AppHooks.h"
#include "HelpCalls.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "store/DbFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

// The log copies this run has handed to the viewer, removed when the program ends.
QSet<QString> &logCopies()
{
    static QSet<QString> s;
    return s;
}

QString chooseFolder(const QString &prompt, const QString &initial)
{
    Dialogs::FileRequest r;
    r.kind = Dialogs::FileRequest::Kind::Folder;
    r.title = prompt;
    r.directory = QFileInfo(initial).isDir() ? initial : QDir::currentPath();
    const Dialogs::FileAnswer a = Dialogs::chooseFile(r);
    return a.accepted ? a.path : QString();
}

QString failureText(const QString &head, int number, const QString &description)
{
    return head + QStringLiteral("\n\nエラー：(") + QString::number(number) + QLatin1Char(')') + description;
}

// What went wrong after the copy itself succeeded: the file is in place, so the user is told
// so first and then what is left to put right.
struct AfterCopy {
    QStringList notes;
    void add(const QString &what, int number, const QString &description)
    {
        notes << failureText(what, number, description);
    }
    void report(const QString &done, const QString &title) const
    {
        if (notes.isEmpty()) {
            Dialogs::inform(done, title, Dialogs::Icon::Information);
            return;
        }
        Dialogs::inform(done + QStringLiteral("\n\n") + notes.join(QStringLiteral("\n\n")), title,
                        Dialogs::Icon::Exclamation);
    }
};

const QString kReopenFailed =
    QStringLiteral("処理月のデータベースを開き直せませんでした。プログラムを終了して、もう一度起動してください。");

// Reopens the monthly database after a copy, whatever the copy's outcome.
bool reopenMonthly(int *number, QString *description)
{
    Database &m = dbs().monthly;
    if (m.isOpen())
        return true;
    if (m.open(monthlyDbPath(g_run.key())))
        return true;
    *number = m.errorNumber();
    *description = m.errorText();
    return false;
}

// Copies source into a new file. QFile::copy() reports a disk that filled up halfway through a
// block as "Unknown error"; here the rest of the block is written once more, which fails outright
// and names the cause (no space left on the device, file too large). The copy is synced before
// it is renamed into place, so a write the file system deferred fails here too.
bool copyWhole(const QString &source, const QString &copy, int *errorNumber, QString *why)
{
    auto failed = [&](const QFileDevice &d) {
        *errorNumber = d.error() != QFileDevice::NoError ? int(d.error()) : 75;
        *why = d.errorString();
        return false;
    };
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return failed(in);
    QFile out(copy);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return failed(out);
    while (!in.atEnd()) {
        const QByteArray block = in.read(64 * 1024);
        if (block.isEmpty())
            return failed(in);
        for (qint64 done = 0; done < block.size();) {
            const qint64 n = out.write(block.constData() + done, block.size() - done);
            if (n <= 0)
                return failed(out);
            done += n;
        }
    }
    if (::fsync(out.handle()) != 0) {
        *errorNumber = errno;
        *why = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    out.close();
    return out.error() == QFileDevice::NoError || failed(out);
}

} // namespace

QString pathInFolder(const QString &folder, const QString &fileName)
{
    if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\')))
        return folder + fileName;
    return folder + QLatin1Char('/') + fileName;
}

bool replaceWithCopy(const QString &source, const QString &target, int *errorNumber, QString *description)
{
    const QFileInfo t(target);
    const QString tmp = t.absolutePath() + QStringLiteral("/.") + t.fileName() + QStringLiteral(".copying");
    QFile::remove(tmp);
    QString why;
    if (!copyWhole(source, tmp, errorNumber, &why)) {
        *description = why + QStringLiteral(" (") + source + QStringLiteral(" → ") + target + QLatin1Char(')');
        QFile::remove(tmp);
        return false;
    }
    QFile::setPermissions(tmp, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (std::rename(QFile::encodeName(tmp).constData(), QFile::encodeName(target).constData()) != 0) {
        *errorNumber = errno;
        *description = QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(" (") + target + QLatin1Char(')');
        QFile::remove(tmp);
        return false;
    }
    return true;
}

namespace {

// Copies source over target (one of them the month's database) with the month's database
// closed, and opens it again whatever the copy's outcome. A failed copy is reported under
// failHead (with the reopening's error when that failed too) and gives false; once the copy is
// in place, a failed reopening is the first thing `after` tells.
bool copyMonthlyFile(const QString &source, const QString &target, const QString &failHead, const QString &title,
                     AfterCopy &after)
{
    int no = 0;
    QString desc;
    dbs().monthly.close();
    const bool copied = replaceWithCopy(source, target, &no, &desc);
    int reopenNo = 0;
    QString reopenDesc;
    const bool reopened = reopenMonthly(&reopenNo, &reopenDesc);
    if (!copied) {
        // The target is as it was (the copy is renamed into place only when complete).
        if (!reopened) {
            no = reopenNo;
            desc = reopenDesc;
        }
        Dialogs::show({failureText(failHead, no, desc), title, Dialogs::Icon::Exclamation,
                       Dialogs::Buttons::CancelTryAgainContinue, 1});
        return false;
    }
    if (!reopened)
        after.add(kReopenFailed, reopenNo, reopenDesc);
    return true;
}

// Keeps the folder for the next time, in memory and in 起動; a failed write is told, not fatal.
void rememberFolder(QString &kept, const QString &key, const QString &folder, const QString &failText, AfterCopy &after)
{
    kept = folder;
    if (!Kidou_Write(key, folder))
        after.add(failText, dbs().master.errorNumber(), dbs().master.errorText());
}

} // namespace

bool backupMonth()
{
    const QString title = QStringLiteral("バックアップ");
    const QString folder =
        chooseFolder(QStringLiteral("バックアップファイルを格納するフォルダを選択してください"), g_startup.backupPath);
    if (folder.isEmpty())
        return false;
    const QString target = pathInFolder(folder, backupFileName(g_run.key()));
    const QString source = monthlyDbPath(g_run.key());
    const QFileInfo ti(target);
    if (ti.exists()) {
        if (!Dialogs::askYesNo(target + QStringLiteral("はすでに存在しています。") + QLatin1Char('\n')
                                   + QStringLiteral("上書きしますか？"),
                               title))
            return false;
        // The owner's write bit stands for the read-only attribute (access() would say
        // "writable" to an administrator whatever the file's bits).
        if (!(ti.permissions() & QFile::WriteOwner)) {
            Dialogs::show({QStringLiteral("書き込み禁止になっています。　ＯＫ"), QStringLiteral("確認"),
                           Dialogs::Icon::Exclamation, Dialogs::Buttons::CancelTryAgainContinue, 1});
            return false;
        }
    }
    // The backup file is complete once copied, whatever else fails.
    AfterCopy after;
    if (!copyMonthlyFile(source, target, QStringLiteral("バックアップに失敗しました。"), title, after))
        return false;
    rememberFolder(g_startup.backupPath, QStringLiteral("バックアップpath"), folder,
                   QStringLiteral("バックアップ先のフォルダを記録できませんでした。"), after);
    after.report(QStringLiteral("バックアップを正常終了しました。"), title);
    return true;
}

bool restoreMonth()
{
    const QString title = QStringLiteral("リストア");
    const QString folder =
        chooseFolder(QStringLiteral("リストアするファイルを読み込むフォルダを選択してください"), g_startup.restorePath);
    if (folder.isEmpty())
        return false;
    const QString source = pathInFolder(folder, backupFileName(g_run.key()));
    const QString target = monthlyDbPath(g_run.key());
    if (!QFileInfo(source).isFile()) {
        Dialogs::inform(QStringLiteral("ファイルが見つかりません"), title, Dialogs::Icon::Exclamation);
        return false;
    }
    if (!Dialogs::askYesNo(QStringLiteral("リストア（復元）現在のデータは失われます。"), title))
        return false;
    // A file that is no sound database would replace the month's data with nothing usable.
    QString why;
    if (!isSoundDatabaseFile(source, &why)) {
        Dialogs::show({failureText(QStringLiteral("ファイル呼び出しに失敗しました。"), 26,
                                   why + QStringLiteral(" (") + source + QLatin1Char(')')),
                       title, Dialogs::Icon::Exclamation, Dialogs::Buttons::CancelTryAgainContinue, 1});
        return false;
    }
    // Once copied, the month's file is the restored one: the caller closes the screens that still
    // hold the old data, whatever else fails.
    AfterCopy after;
    if (!copyMonthlyFile(source, target, QStringLiteral("ファイル呼び出しに失敗しました。"), title, after))
        return false;
    rememberFolder(g_startup.restorePath, QStringLiteral("リストアpath"), folder,
                   QStringLiteral("リストア元のフォルダを記録できませんでした。"), after);
    after.report(QStringLiteral("リストアを正常終了しました。") + QLatin1Char('\n')
                     + QStringLiteral("マスタ登録画面で登録を行なって下さい。"),
                 title);
    return true;
}

void viewLog(LogKind kind)
{
    const bool com = kind == LogKind::Communication;
    const QString title = com ? QStringLiteral("通信ログ表示") : QStringLiteral("エラーログ表示");
    const QString pattern = com ? QStringLiteral("E*.log") : QStringLiteral("E*.err");
    const QDir data(dataFolder());
    if (data.entryList({pattern}, QDir::Files).isEmpty()) {
        Dialogs::show({(com ? QStringLiteral("通信ログファイルがありません。")
                            : QStringLiteral("エラーログファイルがありません。"))
                           + QLatin1Char('\n'),
                       title, Dialogs::Icon::Exclamation, Dialogs::Buttons::CancelTryAgainContinue, 1});
        return;
    }
    Dialogs::FileRequest r;
    r.kind = Dialogs::FileRequest::Kind::Open;
    r.title = com ? QStringLiteral("通信ログファイル選択") : QStringLiteral("エラーログファイル選択");
    r.directory = dataFolder() + QLatin1Char('/');
    r.filters << (com ? QStringLiteral("通信ログファイル形式 (E*.log)")
                      : QStringLiteral("エラーログファイル形式 (E*.err)"));
    const Dialogs::FileAnswer a = Dialogs::chooseFile(r);
    if (!a.accepted || a.path.isEmpty())
        return;
    const QString copy = a.path + QStringLiteral(".tmp");
    const QString key = QFileInfo(copy).absoluteFilePath();
    // Only a viewer window that is still open on the copy makes it "already open". Whether the
    // viewer of an earlier request is still open cannot be told otherwise (it is another
    // program), so every other request shows a fresh copy of the log as it stands now: a log
    // that grew since (a new collection) is read as it is.
    if (QFileInfo::exists(copy) && AppHooks::viewerShowing(QFileInfo(copy).fileName())) {
        Dialogs::show({(com ? QStringLiteral("すでに通信ログファイルは開いています。")
                            : QStringLiteral("すでにエラーログファイルは開いています。"))
                           + QLatin1Char('\n'),
                       title, Dialogs::Icon::Exclamation, Dialogs::Buttons::CancelTryAgainContinue, 1});
        return;
    }
    QFile::remove(copy);
    if (!QFile::copy(a.path, copy))
        return;
    logCopies().insert(key);
    showInViewer(QUrl::fromLocalFile(copy), title);
}

void removeLogCopies()
{
    const QDir data(dataFolder());
    for (const QString &f : data.entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden))
        QFile::remove(data.filePath(f));
    for (const QString &c : std::as_const(logCopies()))
        QFile::remove(c);
    logCopies().clear();
}
