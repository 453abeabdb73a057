#include "Installer.h"

#include "Setup.h"
#include "common/Common.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kDefaultRecorderPort = 4001;

} // namespace

InstallSettings defaultInstallSettings()
{
    InstallSettings s;
    s.linkKind = LinkLan;
    s.commandSet = 0;
    s.recorderPort = kDefaultRecorderPort;
    s.iconFile = QStringLiteral("corvan21.ico");
    s.pictureFile = QStringLiteral("boot.bmp");
    return s;
}

bool createInstallation(const InstallSettings &s, QStringList &created, QString *why)
{
    const QString home = programFolder();
    const bool existed = QFileInfo(home).isDir();
    if (!QDir().mkpath(home)) {
        if (why)
            *why = QStringLiteral("cannot create the program folder ") + home;
        return false;
    }
    // A person's own data folder holds attendance records: only that person reads it. A site's
    // shared folder keeps the permissions its administrator gave it.
    if (!existed && programFolderSource() == DataFolderRule::Source::UserData)
        QFile::setPermissions(home, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (!createDataFiles(created, why))
        return false;
    if (!QFileInfo::exists(installSettingsPath())) {
        if (!Install_Write(s, why))
            return false;
        created << installSettingsPath();
    }
    return true;
}

bool prepareDataFolder(QString *why)
{
    const auto source = programFolderSource();
    if (source != DataFolderRule::Source::UserData && source != DataFolderRule::Source::SiteConfig)
        return true;
    // corvan21.ini marks an installation: one that lost a database afterwards is reported at
    // the login as a damaged installation, not quietly replaced by an empty one.
    if (QFileInfo::exists(installSettingsPath()))
        return true;
    QStringList created;
    return createInstallation(defaultInstallSettings(), created, why);
}
