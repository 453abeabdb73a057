#include "BatchPassword.h"

#include <QFile>

#include <cstdio>

namespace {

// The first line of an open device, without CR LF or LF.
QString firstLine(QFile &f)
{
    QByteArray line = f.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromLocal8Bit(line);
}

} // namespace

QStringList batchPasswordOptions() { return {QStringLiteral("password"), QStringLiteral("password-file")}; }

QString batchPasswordUsage() { return QStringLiteral("(--password-file FILE | --password - | --password P)"); }

bool batchPassword(const BatchOptions &o, QString *password, QString *why)
{
    const bool onLine = o.has(QStringLiteral("password"));
    const bool inFile = o.has(QStringLiteral("password-file"));
    if (onLine == inFile) {
        *why = onLine ? QStringLiteral("give either --password or --password-file, not both")
                      : QStringLiteral("missing option --password-file or --password");
        return false;
    }
    if (onLine && o.value(QStringLiteral("password")) != QLatin1String("-")) {
        *password = o.value(QStringLiteral("password"));
        return true;
    }
    QFile f;
    if (inFile) {
        const QString path = o.value(QStringLiteral("password-file"));
        f.setFileName(path);
        if (!f.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("cannot read the password file %1: %2").arg(path, f.errorString());
            return false;
        }
    } else if (!f.open(stdin, QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read the password from standard input: ") + f.errorString();
        return false;
    }
    *password = firstLine(f);
    return true;
}
