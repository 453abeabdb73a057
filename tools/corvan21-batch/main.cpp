#include "BatchCommand.h"
#include "common/Common.h"
#include "store/Installer.h"

#include <QGuiApplication>

namespace {

QtMessageHandler g_qtMessages = nullptr;

// Starting a GUI application, Qt looks into its runtime folder for the marker of a sandbox;
// without XDG_RUNTIME_DIR (cron, ssh, su) it notes on stderr that it falls back to
// /tmp/runtime-<user>, on every run. Neither the tool nor Qt's part in it uses that folder (the
// USB library finds its driver folder by itself), so this one note is dropped, and a scripted
// run's stderr holds only the tool's own messages. Every other message of Qt's is passed on.
void batchMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg
        && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to ")))
        return;
    if (g_qtMessages)
        g_qtMessages(type, context, message);
}

void printUsage(void (*print)(const QString &))
{
    print(QStringLiteral("usage: corvan21-batch COMMAND [options]"));
    for (const auto &u : BatchCommand::usages())
        print(QStringLiteral("  corvan21-batch ") + u);
    print(QStringLiteral("  corvan21-batch --help | --version"));
}

void printHelp()
{
    printUsage(batchOut);
    batchOut(QString());
    batchOut(QStringLiteral(
        "init installs into the program folder; the other commands act as a login to the month --month"));
    batchOut(QStringLiteral("(the password is checked as on the login screen)."));
    batchOut(QStringLiteral("Exit status: 0 done, 1 refused or failed, 2 bad options."));
    batchOut(QString());
    batchOut(QStringLiteral("Program folder: ") + programFolder());
    batchOut(QStringLiteral("(CORVAN21_HOME; else the program's own folder when writable; else DataFolder= of"));
    batchOut(QStringLiteral("/etc/corvan21.conf; else $XDG_DATA_HOME/corvan21.) See corvan21-batch(1)."));
}

} // namespace

// corvan21-batch COMMAND [options]: the installer and the commands that run the program's
// work without a window. Messages that the screens would show go to stderr.
int main(int argc, char *argv[])
{
    g_qtMessages = qInstallMessageHandler(batchMessages);
    // Reports and page painting need a GUI application, but never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QGuiApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String("--help") || args.value(0) == QLatin1String("-h")) {
        printHelp();
        return 0;
    }
    if (args.value(0) == QLatin1String("--version")) {
        batchOut(QStringLiteral("corvan21-batch " CORVAN_VERSION));
        return 0;
    }
    const BatchCommand *cmd = args.isEmpty() ? nullptr : BatchCommand::find(args.first());
    if (!cmd) {
        printUsage(batchError);
        return 2;
    }
    // A first command in an installed package's data folder finds the installation made, as
    // the program's first start would make it; init makes it itself and says what it made.
    QString why;
    if (cmd->name != QLatin1String("init") && !prepareDataFolder(&why)) {
        batchError(why);
        return 1;
    }
    args.removeFirst();
    return cmd->run(args);
}
