#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFileDevice;
class QIODevice;
class QSaveFile;

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

// Pushes out what the file still holds in its write buffer. A file that takes only part of it
// (the disk filled up, or the file reached the size limit) fails the flush with no reason of its
// own ("Unknown error"); the rest is then tried once more, which fails outright and records the
// system's reason (no space left on device, file too large) in the file's errorString(). False
// when the first flush failed, even if the second went through: the file is not to be trusted.
bool flushWhole(QFileDevice &file);

// Finishes a QSaveFile: flushes it whole, then puts it in place of the old file. On any failure
// the old file keeps its bytes, the temporary one is dropped and the result carries the error.
// QSaveFile::commit() alone would still rename a file cut off at its final flush.
WriteResult commitWhole(QSaveFile &file);

} // namespace SjisText

// Writes Shift-JIS text with CR LF line ends to a device; remembers the first failure and the
// device's reason for it.
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
// written completely; a failed result names the system's reason in its description.
SjisText::WriteResult writeTextFileAtomic(const QString &path, const QByteArray &bytes);
// As writeTextFileAtomic, for a file only its owner may read (the password file): the new file
// is created with mode 0600 before a byte goes into it and then put in place of the old one, so
// at no moment can another user open it.
SjisText::WriteResult writePrivateFileAtomic(const QString &path, const QByteArray &bytes);
// Appends encoded text to a file (the logs); creates it when missing.
SjisText::WriteResult appendTextFile(const QString &path, const QByteArray &bytes);
