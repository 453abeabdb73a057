#include "SjisText.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace SjisText {

QByteArray encode(const QString &text)
{
    // Encoding character by character lets an unmappable one become "?" on its own, the way
    // the Windows converter does, instead of corrupting the rest of the line.
    QStringEncoder enc("Shift_JIS", QStringConverter::Flag::Stateless);
    QByteArray out;
    out.reserve(text.size() * 2);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            out.append(char(c.unicode()));
            continue;
        }
        qsizetype len = 1;
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            len = 2;
        const QStringView piece(text.constData() + i, len);
        QByteArray b = enc.encode(piece);
        // FC FC is the converter's own substitute for a character it lacks (not a code of 932).
        if (enc.hasError() || b.isEmpty() || (b == "?") || b.contains('\x1a') || b == QByteArray("\xfc\xfc")) {
            out.append('?');
            // resetState() leaves the ICU converter unusable, so every later character
            // would also turn into "?": start a fresh encoder instead.
            enc = QStringEncoder("Shift_JIS", QStringConverter::Flag::Stateless);
        } else {
            out.append(b);
        }
        i += len - 1;
    }
    return out;
}

QString decode(const QByteArray &bytes)
{
    QStringDecoder dec("Shift_JIS");
    return dec.decode(bytes);
}

QString WriteResult::message() const
{
    return QStringLiteral("ファイルを書き込めませんでした。") + QLatin1Char('\n') + QStringLiteral("Error=")
           + QString::number(error) + QLatin1Char('\n') + description;
}

} // namespace SjisText

SjisTextWriter::SjisTextWriter(QIODevice *device) : m_device(device) {}

void SjisTextWriter::write(const QString &text) { writeBytes(SjisText::encode(text)); }

void SjisTextWriter::writeLine(const QString &line) { writeBytes(SjisText::encode(line) + "\r\n"); }

void SjisTextWriter::writeBytes(const QByteArray &bytes)
{
    if (m_failed)
        return;
    const qint64 n = m_device->write(bytes);
    if (n == bytes.size())
        return;
    // A file that took only part of the bytes (the disk filled up in the middle of them) sets no
    // error of its own, so its errorString() says "Unknown error". Writing the rest once more
    // fails outright and names the system's reason; should it go through, nothing was lost.
    if (n >= 0 && m_device->write(bytes.constData() + n, bytes.size() - n) == bytes.size() - n)
        return;
    m_failed = true;
    m_error = m_device->errorString();
}

namespace {
SjisText::WriteResult fail(const QFileDevice &f)
{
    SjisText::WriteResult r;
    r.ok = false;
    // A device that failed without an error of its own still reports a failure number.
    r.error = f.error() != QFileDevice::NoError ? int(f.error()) : int(QFileDevice::WriteError);
    r.description = f.errorString();
    return r;
}
} // namespace

bool SjisText::flushWhole(QFileDevice &file)
{
    if (file.flush())
        return true;
    file.flush();
    return false;
}

SjisText::WriteResult SjisText::commitWhole(QSaveFile &file)
{
    if (!flushWhole(file)) {
        auto r = fail(file); // before cancelWriting(), which replaces the reason
        file.cancelWriting();
        return r;
    }
    if (!file.commit())
        return fail(file);
    return {};
}

SjisText::WriteResult writeTextFileAtomic(const QString &path, const QByteArray &bytes)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return fail(f);
    SjisTextWriter out(&f);
    out.writeBytes(bytes);
    if (out.failed()) {
        auto r = fail(f);
        f.cancelWriting();
        return r;
    }
    return SjisText::commitWhole(f);
}

SjisText::WriteResult writePrivateFileAtomic(const QString &path, const QByteArray &bytes)
{
    // QSaveFile would make a new file's temporary copy with the usual mode (0644 under the
    // usual umask) and only the caller could narrow it afterwards. Here the temporary file is
    // created exclusively with owner-only permissions.
    const QFileInfo target(path);
    QFile tmp;
    bool created = false;
    for (int attempt = 0; attempt < 16 && !created; ++attempt) {
        tmp.setFileName(target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.')
                        + QString::number(QRandomGenerator::global()->generate(), 36));
        created = tmp.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!created && !tmp.exists())
            break; // not a clash of names: the folder refuses the file
    }
    if (!created)
        return fail(tmp);
    auto systemFailure = [&](int number) {
        SjisText::WriteResult r;
        r.ok = false;
        r.error = int(QFileDevice::WriteError);
        r.description = QString::fromLocal8Bit(std::strerror(number));
        return r;
    };
    SjisTextWriter out(&tmp);
    out.writeBytes(bytes);
    SjisText::WriteResult result;
    if (out.failed() || !SjisText::flushWhole(tmp))
        result = fail(tmp);
    else if (::fsync(tmp.handle()) != 0)
        result = systemFailure(errno);
    tmp.close();
    if (result.ok
        && std::rename(QFile::encodeName(tmp.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        result = systemFailure(errno);
    if (!result.ok)
        QFile::remove(tmp.fileName());
    return result;
}

SjisText::WriteResult appendTextFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(f);
    SjisTextWriter out(&f);
    out.writeBytes(bytes);
    if (out.failed() || !SjisText::flushWhole(f))
        return fail(f);
    return {};
}
