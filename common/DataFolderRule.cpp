#include "DataFolderRule.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace DataFolderRule {

bool writable(const QString &folder)
{
    const QString clean = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (clean == QLatin1String("/usr") || clean.startsWith(QLatin1String("/usr/")))
        return false;
    const QByteArray path = QFile::encodeName(clean);
    // A read-only file system refuses everybody, root included.
    if (::access(path.constData(), W_OK | X_OK) != 0)
        return false;
    if (::geteuid() != 0)
        return true;
    struct stat st {
    };
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & 0222) != 0;
}

QString siteDataFolder(const QString &configFile)
{
    QFile f(configFile);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) || line.startsWith(QLatin1Char(';')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != QLatin1String("DataFolder"))
            continue;
        const QString value = line.mid(eq + 1).trimmed();
        // A relative name would depend on the folder the program happens to start in.
        return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
    }
    return QString();
}

QString userDataFolder(const QString &xdgDataHome, const QString &homeFolder)
{
    // The XDG base directory rules say a relative XDG_DATA_HOME is to be ignored.
    const QString base = QDir::isAbsolutePath(xdgDataHome) ? xdgDataHome : homeFolder + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/corvan21"));
}

Choice resolve(const Inputs &in)
{
    if (!in.environment.isEmpty())
        return {QDir::cleanPath(in.environment), Source::Environment};
    if (!in.executableFolder.isEmpty() && writable(in.executableFolder))
        return {QDir::cleanPath(in.executableFolder), Source::ProgramFolder};
    const QString site = siteDataFolder(in.siteConfigFile);
    if (!site.isEmpty())
        return {site, Source::SiteConfig};
    return {userDataFolder(in.xdgDataHome, in.homeFolder), Source::UserData};
}

} // namespace DataFolderRule
