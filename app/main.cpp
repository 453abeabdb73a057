#include "Common.h"
#include "WidgetDialogs.h"

#include <QApplication>

// Program entry. The windows (login, main window, setup wizard) are added by the start-up
// screens; until then the entry only sets up the dialog layer and reports that.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvan21"));
    WidgetDialogs dialogs;
    Dialogs::setBackend(&dialogs);
    Dialogs::inform(QStringLiteral("CORVAN21 の画面はまだ組み込まれていません。"), appTitle(), Dialogs::Icon::Information);
    return 0;
}
