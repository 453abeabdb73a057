#pragma once

#include "screens/ScreenHost.h"

#include <QList>
#include <QMainWindow>

#include <optional>

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
    // A loaded screen runs its start routine, after asking about edits it would throw away.
    void openScreen(ScreenId screen, bool hideFront = false);
    void showSetMenu();
    // Closes the screens that hold month data, in their fixed order, and shows frmSetMenu again.
    void reloadScreens();

    // The screens closed whenever the month's data or settings change under them.
    static const QList<ScreenId> &reloadOrder();

    QWidget *findScreen(ScreenId screen) override;
    void showScreen(QWidget *screen) override;
    void closeScreen(ScreenId screen) override;

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

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QAction *addItem(QMenu *menu, const QString &caption, const char *name,
                     std::optional<ScreenId> screen = std::nullopt);
    void buildMenus();
    void buildToolbar();
    // A toolbar button: the screen it brings forward, or none for the help button.
    void toolbarClick(std::optional<ScreenId> screen);
    QMdiSubWindow *subWindowOf(ScreenId screen) const;
    QMdiSubWindow *subWindowOf(const QWidget *screen) const;
    // Menu command that opens a screen: guard first.
    void menuOpen(ScreenId screen);

    QMdiArea *m_mdi = nullptr;
    QLabel *m_label = nullptr;
    QMenu *m_normalMenu = nullptr;
    QMenu *m_setMenu = nullptr;
    bool m_ending = false;
    bool m_busy = false;
    bool m_ended = false;
};
