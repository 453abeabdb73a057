#include "BatchCommand.h"

#include <QGuiApplication>

// corvan21-batch COMMAND [options]: the installer and the commands that run the program's
// work without a window. Messages that the screens would show go to stderr.
int main(int argc, char *argv[])
{
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
