#pragma once

#include "ScreenHost.h"

#include <QMainWindow>
#include <QStringList>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

// The main window: a frame hosting every working screen as a child window, with the menus,
// the toolbar, the processing-month label and the month-change button. It owns the editing
// guard, the log, backup, restore and help commands and the orderly end of the program.
class MDIForm1 : public QMainWindow, public ScreenHost
{
    Q_OBJECT
public:
    MDIForm1();
    ~MDIForm1() override;

    // The open main window, or nullptr.
    static MDIForm1 *instance();

    // Label1: yyyy + "年" + mm + "月度".
    void setMonthLabel(const QString &year, const QString &month);

    // Asks the editor in front whether it may be left; true when the caller must stop.
    bool editingGuard();
    // The child screen in front (visible), or nullptr.
    QWidget *frontScreen() const;

    // Brings a screen forward, loading it when needed; hideFront first hides the screen in front.
    void openScreen(const QString &formName, bool hideFront = false);
    void showSetMenu();
    // Closes the screens that hold month data, in their fixed order, and shows frmSetMenu again.
    void reloadScreens();

    // The screens closed whenever the month's data or settings change under them.
    static const QStringList &reloadOrder();

    QWidget *findScreen(const QString &formName) override;
    void showScreen(QWidget *screen) override;
    void closeScreen(const QString &formName) override;

public slots:
    void monthChange();
    void backup();
    void restore();
    void simebiSet();
    void pwdChg();
    void lanSet();
    void help();
    void faq();
    void about();
    void endCommand();
    void toolbarClick(const QString &key);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QAction *addItem(QMenu *menu, const QString &caption, const char *name, const QString &screen = QString());
    void buildMenus();
    void buildToolbar();
    QMdiSubWindow *subWindowOf(const QString &formName) const;
    // Menu command that opens a screen: guard first.
    void menuOpen(const QString &formName);

    QMdiArea *m_mdi = nullptr;
    QLabel *m_label = nullptr;
    QMenu *m_normalMenu = nullptr;
    QMenu *m_setMenu = nullptr;
    bool m_ending = false;
    bool m_busy = false;
    bool m_ended = false;
};
