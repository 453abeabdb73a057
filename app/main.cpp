#include "SetupWizard.h"
#include "StartupLogic.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "common/ProgramLock.h"
#include "frmStartUp.h"
#include "screens/WidgetDialogs.h"
#include "store/DbFile.h"
#include "store/Installer.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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
    // The program speaks Japanese whatever the desktop's language: so do Qt's own dialogs
    // (printer, file) and buttons, when the Qt translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    // The desktop entry's name, so that the desktop shows the window under its menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("corvan21"));
    WidgetDialogs dialogs;
    Dialogs::setBackend(&dialogs);

    // An installed package keeps its data in the user's (or the site's) data folder; the first
    // start there creates a new installation, which then goes to the setup wizard.
    QString why;
    if (!prepareDataFolder(&why)) {
        Dialogs::inform(QStringLiteral("データフォルダ ") + programFolder()
                            + QStringLiteral(" を作成できませんでした。") + QLatin1Char('\n') + why,
                        appTitle(), Dialogs::Icon::Critical);
        return 1;
    }

    // A second instance ends at once, without a word. A start while corvan21-batch writes
    // (a collection from cron) is told what holds the data, rather than left to think the
    // program is already open. Without a data folder there is nothing to guard yet; the login
    // screen then reports the missing installation.
    ProgramLock lock;
    const ProgramLock::Outcome held = lock.take();
    if (held == ProgramLock::Outcome::HeldByBatch) {
        Dialogs::inform(programStartRefusal(lock, held), appTitle(), Dialogs::Icon::Exclamation);
        return 1;
    }
    if (held == ProgramLock::Outcome::HeldByProgram || held == ProgramLock::Outcome::HeldByOther)
        return 0;

    if (!setupCompleted())
        startSetupWizard();
    else if (!showLoginScreen())
        return 1;
    const int code = QApplication::exec();
    closeAllDatabases();
    return code;
}
