#include "BatchCommand.h"

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
    if (type == QtWarningMsg && message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to ")))
        return;
    if (g_qtMessages)
        g_qtMessages(type, context, message);
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
    const BatchCommand *cmd = args.isEmpty() ? nullptr : BatchCommand::find(args.first());
    if (!cmd) {
        batchError(QStringLiteral("usage:"));
        for (const auto &u : BatchCommand::usages())
            batchError(QStringLiteral("  corvan21-batch ") + u);
        return 2;
    }
    args.removeFirst();
    return cmd->run(args);
}
