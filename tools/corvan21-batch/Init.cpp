// corvan21-batch init: the installer.

#include "BatchCommand.h"
#include "HelpPages.h"
#include "InstallerImages.h"
#include "common/Common.h"
#include "recorder/UsbLink.h"
#include "store/ExFile.h"
#include "store/Installer.h"

#include "usblib/KestoClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>

namespace {

// A read-only file is written only when neither the program folder nor the shared folder of an
// installed package has it.
bool saveImage(const QImage &img, const QString &relative, const char *format, QStringList &created, QString *why)
{
    const QString path = programPath(relative);
    if (QFileInfo::exists(installedFile(relative)))
        return true;
    if (!img.save(path, format)) {
        *why = QStringLiteral("cannot write ") + path;
        return false;
    }
    created << path;
    return true;
}

// The USB library installed in the lib/ folder beside bin/; a build tree has it in its own folder.
QString kestoUsbModule()
{
    const QString installed =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QStringLiteral(CORVAN_LIB_FROM_BIN)
                        + QStringLiteral("/libKestoUsb.so.1"));
    if (QFileInfo(installed).isFile())
        return installed;
#ifdef KESTOUSB_BUILT_MODULE
    if (QFileInfo(QStringLiteral(KESTOUSB_BUILT_MODULE)).isFile())
        return QStringLiteral(KESTOUSB_BUILT_MODULE);
#endif
    return installed;
}

// Registers the library's classes in the user's class registry, as the setup of a USB
// installation does, unless this very module is registered already.
bool registerUsbLibrary(QStringList &done, QString *why)
{
    const QString module = QFileInfo(kestoUsbModule()).canonicalFilePath();
    if (module.isEmpty()) {
        *why = QStringLiteral("the USB library is missing: ") + kestoUsbModule();
        return false;
    }
    const QString current = UsbLink::registeredModule();
    if (!current.isEmpty() && QFileInfo(current).canonicalFilePath() == module)
        return true;
    std::string error;
    if (kesto::FAILED(kesto::client::registerModule(module.toStdString(), false, &error))) {
        *why = QStringLiteral("cannot register the USB library: ") + QString::fromStdString(error);
        return false;
    }
    done << QStringLiteral("registered ") + module + QStringLiteral(" in ") + UsbLink::registryPath();
    return true;
}

int runInit(const QStringList &args)
{
    BatchOptions o;
    QString why;
    if (!o.parse(args, {QStringLiteral("link"), QStringLiteral("command-set"), QStringLiteral("port")}, &why)) {
        batchError(why);
        return 2;
    }
    InstallSettings s = defaultInstallSettings();
    if (o.has(QStringLiteral("link"))) {
        const QString l = o.value(QStringLiteral("link"));
        if (l == QLatin1String("usb"))
            s.linkKind = LinkUsb;
        else if (l != QLatin1String("lan")) {
            batchError(QStringLiteral("--link must be usb or lan"));
            return 2;
        }
    }
    if (o.has(QStringLiteral("command-set"))) {
        const QString c = o.value(QStringLiteral("command-set"));
        if (c != QLatin1String("0") && c != QLatin1String("1")) {
            batchError(QStringLiteral("--command-set must be 0 or 1"));
            return 2;
        }
        s.commandSet = c.toInt();
    }
    if (o.has(QStringLiteral("port"))) {
        bool ok = false;
        s.recorderPort = o.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || s.recorderPort < 1 || s.recorderPort > 65535) {
            batchError(QStringLiteral("--port must be a TCP port number (1-65535)"));
            return 2;
        }
    }

    const QString home = programFolder();
    QStringList created;
    bool ok = createInstallation(s, created, &why);
    ok = ok && saveImage(drawProgramIcon(64), s.iconFile, "ICO", created, &why);
    ok = ok && saveImage(drawStartupPicture(), s.pictureFile, "BMP", created, &why);
    ok = ok && writeHelpPages(created, &why);
    ok = ok && writeLinkDefinitions(created, &why);
    QStringList registered;
    // The link kind of the installation as it stands, which an earlier run may have written.
    const bool usb = ok && (Install_Read() == 0 ? g_install.linkKind : s.linkKind) == LinkUsb;
    ok = ok && (!usb || registerUsbLibrary(registered, &why));
    for (const auto &c : created)
        batchOut(QStringLiteral("created ") + c);
    for (const auto &r : registered)
        batchOut(r);
    if (!ok) {
        batchError(QStringLiteral("corvan21-batch init: ") + why);
        return 1;
    }
    if (created.isEmpty() && registered.isEmpty())
        batchOut(QStringLiteral("nothing to do: the installation in %1 is complete").arg(home));
    return 0;
}

const BatchCommand g_init("init", "init [--link usb|lan] [--command-set 0|1] [--port N]", runInit);

} // namespace
