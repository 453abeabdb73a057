#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

// Every text file the program writes is Shift-JIS (Windows code page 932) with CR LF line
// ends; this is the one place that encodes them.
namespace SjisText {

// Encodes with the code page 932 mapping. A character the code page lacks becomes "?".
QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);

// Result of a file write: ok, or the error number and description for the writer's message
// ("ファイルを書き込めませんでした。" + "\nError=" + number + "\n" + description).
struct WriteResult {
    bool ok = true;
    int error = 0;
    QString description;
    QString message() const;
};

} // namespace SjisText

// Writes Shift-JIS text with CR LF line ends to a device; remembers the first failure.
class SjisTextWriter
{
public:
    explicit SjisTextWriter(QIODevice *device);

    void write(const QString &text);
    void writeLine(const QString &line); // text + CR LF
    void writeBytes(const QByteArray &bytes);
    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

private:
    QIODevice *m_device;
    bool m_failed = false;
    QString m_error;
};

// Whole-file writes through QSaveFile: the old file stays as it was unless the new one was
// written completely.
SjisText::WriteResult writeTextFileAtomic(const QString &path, const QByteArray &bytes);
// Appends encoded text to a file (the logs); creates it when missing.
SjisText::WriteResult appendTextFile(const QString &path, const QByteArray &bytes);
