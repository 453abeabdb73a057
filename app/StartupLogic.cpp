#include "StartupLogic.h"

#include "ExFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

QString usbRegistryPath()
{
    const QString env = qEnvironmentVariable("KESTOUSB_REGISTRY");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/KestoUsb/registry");
}

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

// The registration must name the control's class and a libKestoUsb.so module that exists.
bool libraryRegistered()
{
    QFile f(usbRegistryPath());
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QString text = QString::fromUtf8(f.readAll());
    if (!text.contains(QLatin1String(kKestoUsbClsid), Qt::CaseInsensitive))
        return false;
    static const QRegularExpression module(QStringLiteral("(/[^\\s\"'=,;]*libKestoUsb\\.so[^\\s\"',;]*)"));
    auto it = module.globalMatch(text);
    while (it.hasNext()) {
        if (QFileInfo(it.next().captured(1)).isFile())
            return true;
    }
    return false;
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
