#include "StartupLogic.h"

#include "store/ExFile.h"

// The class registry as the USB library writes it (header only, no link to the library).
#include "usblib/KestoRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <unistd.h>

QStringList yearChoices(const QDate &today)
{
    const int last = today.addMonths(1).year();
    QStringList years;
    for (int y = 2001; y <= last; ++y)
        years << QString::number(y);
    return years;
}

QStringList monthChoices(const QString &year, const QDate &today)
{
    const QDate next = today.addMonths(1);
    const int last = year == QString::number(next.year()) ? next.month() : 12;
    QStringList months;
    for (int m = 1; m <= last; ++m)
        months << QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0'));
    return months;
}

namespace {
const QString kSetupKey = QStringLiteral("Setup/Completed");
}

bool setupCompleted()
{
    if (!QFileInfo(installSettingsPath()).isFile())
        return false;
    QSettings ini(installSettingsPath(), QSettings::IniFormat);
    return ini.value(kSetupKey).toString() == QLatin1String("1");
}

bool recordSetupCompleted()
{
    QSettings ini(installSettingsPath(), QSettings::IniFormat);
    ini.setValue(kSetupKey, QStringLiteral("1"));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

QString usbRegistryPath() { return QString::fromStdString(kesto::reg::registryPath()); }

QString usbDriverFolder()
{
    const QString env = qEnvironmentVariable("KESTOUSB_DEVICE_DIR");
    if (!env.isEmpty())
        return env;
    const QString run = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!run.isEmpty())
        return run + QStringLiteral("/kestousb");
    return QStringLiteral("/tmp/kestousb-%1").arg(getuid());
}

namespace {

// The registration must name a module for the control's class, and that module must exist.
bool libraryRegistered()
{
    kesto::reg::Registry r;
    std::string module;
    if (!r.load(kesto::reg::registryPath())
        || !r.value(std::string("CLSID\\") + kKestoUsbClsid + "\\InprocServer32", "", &module) || module.empty())
        return false;
    return QFileInfo(QString::fromStdString(module)).isFile();
}

} // namespace

int usbDriverCheck()
{
    int result = 0;
    if (!libraryRegistered())
        result += 1;
    if (!QFileInfo(usbDriverFolder()).isDir())
        result += 2;
    return result;
}
