// corvan21-batch init: the installer.

#include "BatchCommand.h"
#include "Common.h"
#include "ExFile.h"
#include "HelpPages.h"
#include "Setup.h"
#include "UsbLink.h"

#include "KestoClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

namespace {

constexpr int kDefaultRecorderPort = 4001;

// A simple program icon: a time card with a clock face.
QImage drawIcon()
{
    QImage img(64, 64, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x5f, 0xa8));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(4, 4, 56, 56, 10, 10);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(32, 32), 20, 20);
    p.setPen(QPen(QColor(0x1f, 0x5f, 0xa8), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(32, 32), QPointF(32, 18));
    p.drawLine(QPointF(32, 32), QPointF(42, 36));
    return img;
}

// The start-up picture of the login screen.
QImage drawPicture()
{
    QImage img(400, 240, QImage::Format_RGB32);
    QLinearGradient g(0, 0, 0, 240);
    g.setColorAt(0, QColor(0x2b, 0x6c, 0xc4));
    g.setColorAt(1, QColor(0x0e, 0x2f, 0x5c));
    QPainter p(&img);
    p.fillRect(img.rect(), g);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(44);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 60, 400, 60), Qt::AlignCenter, QStringLiteral("CORVAN21"));
    f.setPixelSize(16);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(0, 130, 400, 30), Qt::AlignCenter, QStringLiteral("Time card system"));
    return img;
}

bool saveImage(const QImage &img, const QString &path, const char *format, QStringList &created, QString *why)
{
    if (QFileInfo::exists(path))
        return true;
    if (!img.save(path, format)) {
        *why = QStringLiteral("cannot write ") + path;
        return false;
    }
    created << path;
    return true;
}

// The USB library installed beside the programs; a build tree has it in its own folder.
QString kestoUsbModule()
{
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/libKestoUsb.so");
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
    InstallSettings s;
    s.linkKind = LinkLan;
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
    s.recorderPort = kDefaultRecorderPort;
    if (o.has(QStringLiteral("port"))) {
        bool ok = false;
        s.recorderPort = o.value(QStringLiteral("port")).toInt(&ok);
        if (!ok || s.recorderPort < 1 || s.recorderPort > 65535) {
            batchError(QStringLiteral("--port must be a TCP port number (1-65535)"));
            return 2;
        }
    }
    s.iconFile = QStringLiteral("corvan21.ico");
    s.pictureFile = QStringLiteral("boot.bmp");

    const QString home = programFolder();
    QStringList created;
    bool ok = QDir().mkpath(home);
    if (!ok)
        why = QStringLiteral("cannot create the program folder ") + home;
    ok = ok && createDataFiles(created, &why);
    if (ok && !QFileInfo::exists(installSettingsPath())) {
        ok = Install_Write(s, &why);
        if (ok)
            created << installSettingsPath();
    }
    ok = ok && saveImage(drawIcon(), programPath(s.iconFile), "ICO", created, &why);
    ok = ok && saveImage(drawPicture(), programPath(s.pictureFile), "BMP", created, &why);
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
