#include "Common.h"
#include "DbFile.h"
#include "SetupWizard.h"
#include "StartupLogic.h"
#include "WidgetDialogs.h"
#include "frmStartUp.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QLockFile>

// Program entry: one instance at a time, the setup wizard on a new installation, else the
// login screen.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvan21"));
    QApplication::setApplicationVersion(QStringLiteral(CORVAN_VERSION));
    for (const char *family : {"Noto Sans CJK JP", "Noto Sans JP", "IPAGothic"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(family))) {
            QFont f(QString::fromLatin1(family));
            f.setPointSize(10);
            QApplication::setFont(f);
            break;
        }
    }
    WidgetDialogs dialogs;
    Dialogs::setBackend(&dialogs);

    // A second instance ends at once, without a word. Without a data folder there is nothing
    // to guard yet; the login screen then reports the missing installation.
    QLockFile lock(dataFolder() + QStringLiteral("/corvan21.lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0) && lock.error() == QLockFile::LockFailedError)
        return 0;

    if (!setupCompleted())
        startSetupWizard();
    else if (!showLoginScreen())
        return 1;
    const int code = QApplication::exec();
    closeAllDatabases();
    return code;
}
