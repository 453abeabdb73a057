// corvan21-sim: plays a time recorder on 127.0.0.1 for corvan21's LAN link.
//
//   corvan21-sim [--port N] [--command-set 0|1] [--punches FILE | --generate N]
//                [--fault none|silent|wrong-status|close-mid-read|malformed|extra-records]
//                [--delivery each|merged|cut] [--per-message K] [--gap MS] [--header-pause MS]
//                [--extra K] [--state-file PATH] [--verbose]
//   corvan21-sim --demo
//   corvan21-sim --usb [...]
//
// --demo reads the port and the command set from corvan21.ini of the program folder
// (CORVAN21_HOME), holds a week of sample punches for cards 000000001..000000005 and sets the
// recorder address of the per-user settings (IP_adrs) to 127.0.0.1, so that データ収集 of a new
// installation reaches it.
//
// --usb serves the recorder as the USB device "ML60852A_DRIVER0" behind a KestoUsb driver
// endpoint in the driver folder (KESTOUSB_DEVICE_DIR) instead of the TCP port; --demo does so
// by itself when the installation's link is USB.

#include "RecorderSimulator.h"
#include "UsbDevice.h"
#include "common/Common.h"
#include "store/ExFile.h"
#include "store/Installer.h"

#include <QCoreApplication>

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void say(const QString &text) { std::fprintf(stderr, "corvan21-sim: %s\n", text.toLocal8Bit().constData()); }

int usage()
{
    say(QStringLiteral("usage: corvan21-sim [--port N] [--command-set 0|1] [--punches FILE | --generate N] "
                       "[--fault MODE] [--delivery each|merged|cut] [--per-message K] [--gap MS] [--header-pause MS] "
                       "[--extra K] [--state-file PATH] [--usb] [--verbose] | --demo"));
    return 2;
}

bool intArg(const QStringList &a, int &i, int &out, int lo, int hi)
{
    if (i + 1 >= a.size())
        return false;
    bool ok = false;
    out = a.at(++i).toInt(&ok);
    return ok && out >= lo && out <= hi;
}

// SIGINT and SIGTERM end the event loop, so that the USB device withdraws its announcement
// and its socket instead of leaving them behind for the next client to stumble on.
int g_signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char c = 1;
    if (::write(g_signalPipe[1], &c, 1) < 0) {
    }
}

int serveUsb(QCoreApplication &app, const RecorderSimulator::Options &opt, const QStringList &punches)
{
    UsbDevice dev;
    dev.setOptions(opt);
    dev.setPunches(punches);
    QString why;
    if (!dev.start(QStringLiteral("ML60852A_DRIVER"), 0, &why)) {
        say(QStringLiteral("cannot serve the USB device: %1").arg(why));
        return 1;
    }
    if (!why.isEmpty())
        say(why);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto *n = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(n, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    say(QStringLiteral("recorder on USB as %1 in %2, command set %3, %4 punches held")
            .arg(dev.deviceName(), QString::fromStdString(kesto::DriverEndpoint::driverFolder()))
            .arg(opt.commandSet)
            .arg(punches.size()));
    const int rc = app.exec();
    dev.stop();
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList a = QCoreApplication::arguments();

    RecorderSimulator::Options opt;
    int port = 4001;
    int generated = -1;
    QString punchFile;
    bool demo = false;
    bool usb = false;
    for (int i = 1; i < a.size(); ++i) {
        const QString k = a.at(i);
        bool ok = true;
        if (k == QLatin1String("--demo"))
            demo = true;
        else if (k == QLatin1String("--usb"))
            usb = true;
        else if (k == QLatin1String("--verbose"))
            opt.verbose = true;
        else if (k == QLatin1String("--port"))
            ok = intArg(a, i, port, 0, 65535); // 0: any free port (printed)
        else if (k == QLatin1String("--command-set"))
            ok = intArg(a, i, opt.commandSet, 0, 1);
        else if (k == QLatin1String("--generate"))
            ok = intArg(a, i, generated, 0, 100000);
        else if (k == QLatin1String("--per-message"))
            ok = intArg(a, i, opt.recordsPerMessage, 1, 2000);
        else if (k == QLatin1String("--gap"))
            ok = intArg(a, i, opt.gapMs, 0, 10000);
        else if (k == QLatin1String("--header-pause"))
            ok = intArg(a, i, opt.headerPauseMs, 0, 10000);
        else if (k == QLatin1String("--delivery") && i + 1 < a.size())
            opt.delivery = RecorderSimulator::deliveryByName(a.at(++i), &ok);
        else if (k == QLatin1String("--extra"))
            ok = intArg(a, i, opt.extra, 1, 100000);
        else if (k == QLatin1String("--punches") && i + 1 < a.size())
            punchFile = a.at(++i);
        else if (k == QLatin1String("--state-file") && i + 1 < a.size())
            opt.stateFile = a.at(++i);
        else if (k == QLatin1String("--fault") && i + 1 < a.size())
            opt.fault = RecorderSimulator::faultByName(a.at(++i), &ok);
        else
            ok = false;
        if (!ok)
            return usage();
    }

    QStringList punches;
    if (demo) {
        // The same installation the program and corvan21-batch use, made on first use.
        QString why;
        if (!prepareDataFolder(&why))
            say(why);
        if (Install_Read() == 0) {
            port = g_install.recorderPort;
            opt.commandSet = g_install.commandSet;
            usb = usb || g_install.linkKind == LinkUsb;
        } else {
            say(QStringLiteral("no readable corvan21.ini in %1; using port %2, command set 0")
                    .arg(programFolder())
                    .arg(port));
        }
        punches = RecorderSimulator::demoPunches(Clock::today());
        if (userSetting(UserKey::IP_adrs) != QLatin1String("127.0.0.1")) {
            if (setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")))
                say(QStringLiteral("the recorder address (IP_adrs) is now 127.0.0.1; change it back in ＬＡＮ 設定"));
            else
                say(QStringLiteral("could not set IP_adrs: enter 127.0.0.1 in ＬＡＮ 設定"));
        }
    } else if (!punchFile.isEmpty()) {
        QString why;
        if (!RecorderSimulator::readPunchFile(punchFile, punches, &why)) {
            say(why);
            return 1;
        }
    } else if (generated >= 0) {
        punches = RecorderSimulator::generate(generated, Clock::today());
    }

    if (usb)
        return serveUsb(app, opt, punches);

    RecorderSimulator sim;
    sim.setOptions(opt);
    sim.setPunches(punches);
    QString why;
    if (!sim.listen(quint16(port), &why)) {
        say(QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(why));
        return 1;
    }
    say(QStringLiteral("recorder on 127.0.0.1:%1, command set %2, %3 punches held")
            .arg(sim.port())
            .arg(opt.commandSet)
            .arg(punches.size()));
    return app.exec();
}
