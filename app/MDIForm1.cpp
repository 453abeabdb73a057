#include "MDIForm1.h"

#include "AppHooks.h"
#include "HelpCalls.h"
#include "MonthFiles.h"
#include "ScreenFactory.h"
#include "common/Common.h"
#include "common/Dialogs.h"
#include "frmAbout.h"
#include "frmMonthChg.h"
#include "frmPwdChg.h"
#include "frmSimebiSet.h"
#include "recorder/CalcoloCom.h"
#include "screens/ScreenTable.h"
#include "store/DbFile.h"
#include "store/ExFile.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QUrl>

namespace {

MDIForm1 *g_instance = nullptr;

// The toolbar's buttons (objectName, caption, icon) and the screen each brings forward; the
// help button has none.
struct ToolButton {
    const char *key;
    const char *caption;
    QStyle::StandardPixmap icon;
    std::optional<ScreenId> screen;
};
const ToolButton kToolButtons[] = {
    {"keyDataInp", "データ 収集", QStyle::SP_DriveNetIcon, ScreenId::DataInput},
    {"keyKojinEdit", "個人修正", QStyle::SP_FileDialogDetailedView, ScreenId::KojinEdit},
    {"keyListEdit", "一覧修正", QStyle::SP_FileDialogListView, ScreenId::ListEdit},
    {"keyFileOut", "ファイル出力", QStyle::SP_DialogSaveButton, ScreenId::FileOut},
    {"keyListPrint", "帳票印刷", QStyle::SP_FileIcon, ScreenId::ListPrint},
    {"keySet", "設　定", QStyle::SP_FileDialogContentsView, ScreenId::SetMenu},
    {"keyHelp", "ヘルプ", QStyle::SP_DialogHelpButton, std::nullopt},
};

} // namespace

const QList<ScreenId> &MDIForm1::reloadOrder()
{
    static const QList<ScreenId> order = {
        ScreenId::DataInput, ScreenId::KojinEdit, ScreenId::ListEdit, ScreenId::FileOut,  ScreenId::ListPrint,
        ScreenId::CardSet,   ScreenId::SetMenu,   ScreenId::MasSet,   ScreenId::KubunSet, ScreenId::Calendar};
    return order;
}

MDIForm1::MDIForm1()
{
    g_instance = this;
    setObjectName(formName(ScreenId::MainWindow));
    setWindowTitle(appTitle());
    // A fixed frame: no maximize box, no resizing.
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                    | Qt::WindowMinimizeButtonHint)
                   & ~Qt::WindowMaximizeButtonHint);
    QSize size(1024, 740);
    if (const QScreen *s = QGuiApplication::primaryScreen())
        size = size.boundedTo(s->availableGeometry().size() - QSize(16, 48));
    setFixedSize(size);
    const QIcon icon(installedFile(g_install.iconFile));
    if (!icon.isNull())
        setWindowIcon(icon);

    // The recorder's command tables, and the log paths, which follow today's date rather
    // than the processing month.
    CalcoloCom::buildCommandSet();
    CalcoloCom::setLogPaths(Clock::today());

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIArea"));
    m_mdi->setBackground(QColor(0x80, 0x80, 0x80));
    setCentralWidget(m_mdi);
    buildMenus();
    buildToolbar();
    setScreenHost(this);
}

MDIForm1::~MDIForm1()
{
    if (screenHost() == this)
        setScreenHost(nullptr);
    if (g_instance == this)
        g_instance = nullptr;
}

MDIForm1 *MDIForm1::instance() { return g_instance; }

QAction *MDIForm1::addItem(QMenu *menu, const QString &caption, const char *name, std::optional<ScreenId> screen)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    if (screen) {
        a->setEnabled(screenAvailable(*screen));
        if (!a->isEnabled())
            a->setToolTip(QStringLiteral("この画面はまだ組み込まれていません"));
        connect(a, &QAction::triggered, this, [this, id = *screen] { menuOpen(id); });
    }
    return a;
}

void MDIForm1::buildMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *file = bar->addMenu(QStringLiteral("ファイル"));
    file->setObjectName(QStringLiteral("mnuFileTitle"));
    connect(addItem(file, QStringLiteral("バックアップ"), "mnuBackUp"), &QAction::triggered, this, &MDIForm1::backup);
    connect(addItem(file, QStringLiteral("リストア"), "mnuReStore"), &QAction::triggered, this, &MDIForm1::restore);
    addItem(file, QStringLiteral("帳票印刷"), "mnuListPrint", ScreenId::ListPrint);
    addItem(file, QStringLiteral("ファイル出力"), "mnuFileOut", ScreenId::FileOut);
    QMenu *logs = file->addMenu(QStringLiteral("ログ参照"));
    logs->setObjectName(QStringLiteral("mnuLogOut"));
    logs->menuAction()->setObjectName(QStringLiteral("mnuLogOut"));
    connect(addItem(logs, QStringLiteral("通信ログ"), "mnuComLog"), &QAction::triggered, this,
            [] { viewLog(LogKind::Communication); });
    connect(addItem(logs, QStringLiteral("エラーログ"), "mnuErrLog"), &QAction::triggered, this,
            [] { viewLog(LogKind::Error); });
    connect(addItem(file, QStringLiteral("終了"), "mnuEnd"), &QAction::triggered, this, &MDIForm1::endCommand);

    m_normalMenu = bar->addMenu(QStringLiteral("日常業務"));
    m_normalMenu->setObjectName(QStringLiteral("mnuNormalTitle"));
    addItem(m_normalMenu, QStringLiteral("データ収集"), "mnuDataInput", ScreenId::DataInput);
    addItem(m_normalMenu, QStringLiteral("個人修正"), "mnuKojinEdit", ScreenId::KojinEdit);
    addItem(m_normalMenu, QStringLiteral("一覧修正"), "mnuListEdit", ScreenId::ListEdit);
    connect(addItem(m_normalMenu, QStringLiteral("処理月変更"), "mnuMonthChg"), &QAction::triggered, this,
            &MDIForm1::monthChange);

    m_setMenu = bar->addMenu(QStringLiteral("設定"));
    m_setMenu->setObjectName(QStringLiteral("mnuSetTitle"));
    addItem(m_setMenu, QStringLiteral("個人マスタ"), "mnuMasSet", ScreenId::MasSet);
    addItem(m_setMenu, QStringLiteral("区分設定"), "mnuKubunSet", ScreenId::KubunSet);
    addItem(m_setMenu, QStringLiteral("カレンダー設定"), "mnuCalendar", ScreenId::Calendar);
    connect(addItem(m_setMenu, QStringLiteral("締日 日替設定"), "mnuSimebiSet"), &QAction::triggered, this, [this] {
        if (!editingGuard())
            simebiSet();
    });
    connect(addItem(m_setMenu, QStringLiteral("パスワード変更"), "mnuPwdChg"), &QAction::triggered, this, [this] {
        if (!editingGuard())
            pwdChg();
    });
    QAction *lan = addItem(m_setMenu, QStringLiteral("ＬＡＮ 設定"), "mnuLANset");
    lan->setVisible(g_install.linkKind == LinkLan);
    lan->setEnabled(screenAvailable(ScreenId::LANset));
    connect(lan, &QAction::triggered, this, [this] {
        if (!editingGuard())
            lanSet();
    });

    QMenu *help = bar->addMenu(QStringLiteral("ヘルプ"));
    help->setObjectName(QStringLiteral("mnuHelpTitle"));
    connect(addItem(help, QStringLiteral("ヘルプ"), "mnuHelp"), &QAction::triggered, this, &MDIForm1::help);
    connect(addItem(help, QStringLiteral("ＦＡＱサイトへ接続"), "mnuFAQconn"), &QAction::triggered, this,
            &MDIForm1::faq);
    connect(addItem(help, QStringLiteral("バージョン情報"), "mnuVersion"), &QAction::triggered, this, &MDIForm1::about);
}

void MDIForm1::buildToolbar()
{
    QToolBar *tb = addToolBar(QStringLiteral("Toolbar1"));
    tb->setObjectName(QStringLiteral("Toolbar1"));
    tb->setMovable(false);
    tb->setFloatable(false);
    tb->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tb->setIconSize(QSize(32, 32));
    for (const ToolButton &b : kToolButtons) {
        QAction *a = tb->addAction(style()->standardIcon(b.icon), QString::fromUtf8(b.caption));
        a->setObjectName(QString::fromLatin1(b.key));
        if (b.screen)
            a->setEnabled(screenAvailable(*b.screen));
        connect(a, &QAction::triggered, this, [this, screen = b.screen] { toolbarClick(screen); });
    }

    // The month label and its buttons sit at the right end of the same row; on a screen too
    // narrow for both they move to a row of their own rather than out of sight.
    if (width() < 1000)
        addToolBarBreak();
    QToolBar *monthBar = addToolBar(QStringLiteral("MonthBar"));
    monthBar->setObjectName(QStringLiteral("MonthBar"));
    monthBar->setMovable(false);
    monthBar->setFloatable(false);
    QWidget *spacer = new QWidget(monthBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    monthBar->addWidget(spacer);
    auto *box = new QWidget(monthBar);
    auto *lay = new QHBoxLayout(box);
    lay->setContentsMargins(8, 0, 8, 0);
    m_label = new QLabel(box);
    m_label->setObjectName(QStringLiteral("Label1"));
    QFont f = m_label->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    f.setBold(true);
    m_label->setFont(f);
    m_label->setFrameShape(QFrame::Panel);
    m_label->setFrameShadow(QFrame::Sunken);
    m_label->setMinimumWidth(170);
    m_label->setAlignment(Qt::AlignCenter);
    lay->addWidget(m_label);
    auto *change = new QPushButton(QStringLiteral("処理月変更"), box);
    change->setObjectName(QStringLiteral("cmdMonthChg"));
    connect(change, &QPushButton::clicked, this, &MDIForm1::monthChange);
    lay->addWidget(change);
    auto *end = new QPushButton(QStringLiteral("終了"), box);
    end->setObjectName(QStringLiteral("cmdEnd"));
    connect(end, &QPushButton::clicked, this, &MDIForm1::endCommand);
    lay->addWidget(end);
    monthBar->addWidget(box);
}

void MDIForm1::setMonthLabel(const QString &year, const QString &month)
{
    m_label->setText(year + QStringLiteral("年") + month + QStringLiteral("月度"));
}

QMdiSubWindow *MDIForm1::subWindowOf(ScreenId screen) const
{
    const QString name = formName(screen);
    for (QMdiSubWindow *s : m_mdi->subWindowList())
        if (s->widget() && s->widget()->objectName() == name)
            return s;
    return nullptr;
}

QMdiSubWindow *MDIForm1::subWindowOf(const QWidget *screen) const
{
    for (QMdiSubWindow *s : m_mdi->subWindowList())
        if (s->widget() == screen)
            return s;
    return nullptr;
}

QWidget *MDIForm1::frontScreen() const
{
    QMdiSubWindow *cur = m_mdi->currentSubWindow();
    if (cur && cur->isVisible())
        return cur->widget();
    const auto list = m_mdi->subWindowList(QMdiArea::StackingOrder);
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if ((*it)->isVisible())
            return (*it)->widget();
    return nullptr;
}

bool MDIForm1::editingGuard()
{
    QWidget *w = frontScreen();
    const std::optional<ScreenId> screen = screenOf(w);
    if (!screen || !screenEntry(*screen).check)
        return false;
    return screenEntry(*screen).check(*w) != 0;
}

QWidget *MDIForm1::findScreen(ScreenId screen)
{
    QMdiSubWindow *s = subWindowOf(screen);
    return s ? s->widget() : nullptr;
}

void MDIForm1::showScreen(QWidget *screen)
{
    if (!screen)
        return;
    QMdiSubWindow *sub = subWindowOf(screen);
    if (!sub) {
        sub = m_mdi->addSubWindow(screen);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        if (screenOf(screen) == ScreenId::SetMenu) {
            sub->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
            sub->move(0, 0);
        }
    }
    screen->show();
    sub->show();
    sub->raise();
    m_mdi->setActiveSubWindow(sub);
}

void MDIForm1::closeScreen(ScreenId screen)
{
    QMdiSubWindow *sub = subWindowOf(screen);
    if (!sub)
        return;
    // Taken out of the area at once, so it is not found again; deleted once any handler of
    // it that is still running has returned.
    sub->hide();
    m_mdi->removeSubWindow(sub);
    sub->deleteLater();
}

void MDIForm1::openScreen(ScreenId screen, bool hideFront)
{
    QWidget *w = findScreen(screen);
    // The start routine of a loaded screen reads the stored data again, over whatever it holds.
    // The editing guard asked only the screen in front; an editor standing behind it asks about
    // its own edits here, with the question it asks whenever it is left. When they may not be
    // thrown away (a refused field, a failed save) it is brought forward as it stands.
    bool restart = w && screenEntry(screen).start;
    if (restart) {
        auto *editor = dynamic_cast<EditingScreen *>(w);
        if (editor && editor->holdsEdits() && editor->settleEdits() != 0)
            restart = false;
    }
    if (hideFront) {
        QWidget *front = frontScreen();
        if (front && front != w) {
            if (QMdiSubWindow *s = subWindowOf(front))
                s->hide();
        }
    }
    if (w) {
        if (restart)
            screenEntry(screen).start(*w);
        showScreen(w);
        return;
    }
    w = createScreen(screen);
    if (!w)
        return;
    if (auto *dlg = qobject_cast<QDialog *>(w)) {
        dlg->setParent(this, dlg->windowFlags() | Qt::Dialog);
        dlg->exec();
        delete dlg;
        return;
    }
    if (w->objectName().isEmpty())
        w->setObjectName(formName(screen));
    showScreen(w);
}

void MDIForm1::menuOpen(ScreenId screen)
{
    if (editingGuard())
        return;
    openScreen(screen);
}

void MDIForm1::showSetMenu() { openScreen(ScreenId::SetMenu); }

void MDIForm1::reloadScreens()
{
    closeScreens(reloadOrder());
    showSetMenu();
}

void MDIForm1::toolbarClick(std::optional<ScreenId> screen)
{
    if (m_busy || editingGuard())
        return;
    m_busy = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_normalMenu->setEnabled(false);
    m_setMenu->setEnabled(false);
    if (screen)
        openScreen(*screen, true);
    else
        showHelp(contextTopicFor(screenOf(frontScreen())));
    QApplication::restoreOverrideCursor();
    m_normalMenu->setEnabled(true);
    m_setMenu->setEnabled(true);
    m_busy = false;
}

void MDIForm1::monthChange()
{
    if (editingGuard())
        return;
    if (!Dialogs::askYesNo(QStringLiteral("このまま処理月を変更してもよろしいですか？"),
                           QStringLiteral("処理月の変更　確認")))
        return;
    frmMonthChg dlg(this);
    dlg.exec();
}

void MDIForm1::backup()
{
    if (editingGuard())
        return;
    backupMonth();
}

void MDIForm1::restore()
{
    if (editingGuard())
        return;
    if (restoreMonth())
        reloadScreens();
}

void MDIForm1::simebiSet()
{
    frmSimebiSet dlg(this);
    dlg.exec();
}

void MDIForm1::pwdChg()
{
    frmPwdChg dlg(this);
    dlg.exec();
}

void MDIForm1::lanSet() { openScreen(ScreenId::LANset); }

void MDIForm1::help() { showHelp(kHelpDefaultTopic); }

void MDIForm1::faq() { showInViewer(faqUrl(), QStringLiteral("ＦＡＱサイトへ接続")); }

void MDIForm1::about()
{
    frmAbout dlg(this);
    dlg.exec();
}

void MDIForm1::endCommand()
{
    if (editingGuard())
        return;
    m_ending = true;
    close();
}

void MDIForm1::closeEvent(QCloseEvent *event)
{
    if (!m_ending && editingGuard()) {
        m_ending = false;
        event->ignore();
        return;
    }
    m_ending = false;
    event->accept();
    if (m_ended)
        return;
    m_ended = true;
    removeLogCopies();
    closeAllDatabases();
    AppHooks::endProgram(0);
}

void MDIForm1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized))
        setWindowState(windowState() & ~Qt::WindowMaximized);
}
