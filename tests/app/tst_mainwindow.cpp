// The main window: menus and toolbar, the editing guard, month change, backup and restore,
// log viewing, help and the orderly end.

#include "AppTestSupport.h"
#include "app/HelpCalls.h"
#include "app/MDIForm1.h"
#include "app/MonthFiles.h"
#include "app/ScreenFactory.h"
#include "app/frmAbout.h"
#include "app/frmMonthChg.h"
#include "app/frmPwdChg.h"
#include "app/frmSimebiSet.h"
#include "screens/ScreenHost.h"
#include "screens/ScreenTable.h"
#include "screens/frmKojinEdit.h"
#include "store/MonthStart.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>

namespace {

const QString kCard = QStringLiteral("000000001");
const QString kRefusedTime = QStringLiteral("時刻が正しくセットされていません。（00:00 ～ 71:59）");

// One employee with an in punch on 2010/12/06, so that the individual editor has a day to correct.
bool seedOneDay()
{
    return dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','社員1',?,'01','1')"), {kCard})
           && dbs().monthly.exec(
               QStringLiteral("INSERT INTO タイムカード VALUES ('12','06','08','55','00',?,'0','00','0')"), {kCard});
}

// The individual editor's 入1 field of 2010/12/06, brought into view (the editor shows 16 of
// its 32 days at a time).
QLineEdit *firstInOf(frmKojinEdit *editor)
{
    const int row = editor->periodDays().rowOf(QDate(2010, 12, 6));
    if ((row >= 16) != editor->secondHalf())
        editor->findChild<QPushButton *>(row >= 16 ? QStringLiteral("cmdAfter") : QStringLiteral("cmdBefore"))->click();
    return editor->findChild<QLineEdit *>(QStringLiteral("txt入1_%1").arg(row));
}

// Types into a field as a user would; leave: Tab out of it, so that the field check runs.
void typeInto(QLineEdit *e, const QString &keys, bool leave)
{
    e->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    e->selectAll();
    QTest::keyClicks(e, keys);
    if (leave)
        QTest::keyClick(e, Qt::Key_Tab);
    QCoreApplication::processEvents();
}

QString storedFirstIn()
{
    QVector<QStringList> rows;
    dbs().monthly.select(
        QStringLiteral("SELECT 時 || ':' || 分 FROM タイムカード WHERE 月 = '12' AND 日 = '06' AND 入退 = '0'"), rows);
    return rows.value(0).value(0);
}

QAction *action(QWidget *w, const QString &name)
{
    for (QAction *a : w->findChildren<QAction *>())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

// Runs fn on the modal dialog named `name` once it is up.
void onModal(const QString &name, std::function<void(QWidget *)> fn)
{
    QTimer::singleShot(0, [name, fn] {
        QWidget *m = QApplication::activeModalWidget();
        if (!m || m->objectName() != name) {
            QWARN("expected modal dialog is not up");
            if (m)
                m->close();
            return;
        }
        fn(m);
    });
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
    TestHome *m_home = nullptr;
    ScriptedDialogs *m_dlg = nullptr;
    DesktopRecorder *m_desk = nullptr;
    MDIForm1 *m_main = nullptr;

private slots:
    void init()
    {
        qputenv("CORVAN21_NOW", "2010-12-15T09:30:00");
        m_home = new TestHome;
        QVERIFY(installProgramFiles());
        m_dlg = new ScriptedDialogs;
        m_desk = new DesktopRecorder;
        QString why;
        QVERIFY2(startMonthForBatch(QStringLiteral("2010"), QStringLiteral("12"), QStringLiteral("418305"), &why),
                 qPrintable(why));
        m_main = new MDIForm1;
        m_main->setMonthLabel(g_run.year, g_run.month);
        m_main->show();
        // Active, so that the keyboard focus goes where a test types.
        m_main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_main));
        m_main->showSetMenu();
    }
    void cleanup()
    {
        delete m_main;
        closeAllWindows();
        delete m_desk;
        delete m_dlg;
        delete m_home;
    }

    void menusAndToolbarCarryTheirNamesAndCaptions()
    {
        const QList<std::pair<const char *, const char *>> items = {
            {"mnuBackUp", "バックアップ"},
            {"mnuReStore", "リストア"},
            {"mnuListPrint", "帳票印刷"},
            {"mnuFileOut", "ファイル出力"},
            {"mnuLogOut", "ログ参照"},
            {"mnuComLog", "通信ログ"},
            {"mnuErrLog", "エラーログ"},
            {"mnuEnd", "終了"},
            {"mnuDataInput", "データ収集"},
            {"mnuKojinEdit", "個人修正"},
            {"mnuListEdit", "一覧修正"},
            {"mnuMonthChg", "処理月変更"},
            {"mnuMasSet", "個人マスタ"},
            {"mnuKubunSet", "区分設定"},
            {"mnuCalendar", "カレンダー設定"},
            {"mnuSimebiSet", "締日 日替設定"},
            {"mnuPwdChg", "パスワード変更"},
            {"mnuLANset", "ＬＡＮ 設定"},
            {"mnuHelp", "ヘルプ"},
            {"mnuFAQconn", "ＦＡＱサイトへ接続"},
            {"mnuVersion", "バージョン情報"},
            {"keyDataInp", "データ 収集"},
            {"keyKojinEdit", "個人修正"},
            {"keyListEdit", "一覧修正"},
            {"keyFileOut", "ファイル出力"},
            {"keyListPrint", "帳票印刷"},
            {"keySet", "設　定"},
            {"keyHelp", "ヘルプ"},
        };
        for (const auto &[name, caption] : items) {
            QAction *a = action(m_main, QString::fromLatin1(name));
            QVERIFY2(a, name);
            QCOMPARE(a->text(), QString::fromUtf8(caption));
        }
        const QStringList titles = {QStringLiteral("ファイル"), QStringLiteral("日常業務"), QStringLiteral("設定"),
                                    QStringLiteral("ヘルプ")};
        QStringList shown;
        for (QAction *a : m_main->menuBar()->actions())
            shown << a->text();
        QCOMPARE(shown, titles);
        // Items whose screen is not built are disabled, never a stand-in screen.
        const QList<std::pair<const char *, ScreenId>> opening = {{"mnuDataInput", ScreenId::DataInput},
                                                                  {"mnuKojinEdit", ScreenId::KojinEdit},
                                                                  {"mnuMasSet", ScreenId::MasSet},
                                                                  {"keyDataInp", ScreenId::DataInput},
                                                                  {"keyFileOut", ScreenId::FileOut}};
        for (const auto &[n, screen] : opening)
            QCOMPARE(action(m_main, QString::fromLatin1(n))->isEnabled(), screenAvailable(screen));
        QVERIFY(action(m_main, QStringLiteral("keySet"))->isEnabled());
        QVERIFY(action(m_main, QStringLiteral("mnuLANset"))->isVisible()); // LAN installation
        QCOMPARE(child<QLabel>(m_main, QStringLiteral("Label1"))->text(), QStringLiteral("2010年12月度"));
    }

    void childWindowsAreTitledInJapaneseAndFoundByFormName()
    {
        const QList<std::tuple<ScreenId, const char *, const char *>> screens = {
            {ScreenId::DataInput, "frmDataInput", "データ収集"},
            {ScreenId::KojinEdit, "frmKojinEdit", "個人修正"},
            {ScreenId::ListEdit, "frmListEdit", "一覧修正"},
            {ScreenId::FileOut, "frmFileOut", "ファイル出力"},
            {ScreenId::ListPrint, "frmListPrint", "帳票印刷"},
            {ScreenId::SetMenu, "frmSetMenu", "設定メニュー"},
            {ScreenId::MasSet, "frmMasSet", "個人マスタ登録"},
            {ScreenId::KubunSet, "frmKubunSet", " 勤務区分 設定 "},
            {ScreenId::Calendar, "frmCalendar", "カレンダー設定"},
        };
        for (const auto &[id, form, title] : screens) {
            const QString name = QString::fromLatin1(form);
            m_main->openScreen(id);
            QWidget *w = m_main->findScreen(id);
            QVERIFY2(w, form);
            QCOMPARE(w->objectName(), name);
            QCOMPARE(w->windowTitle(), QString::fromUtf8(title));
            auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
            QVERIFY(sub);
            QCOMPARE(sub->windowTitle(), QString::fromUtf8(title));
            QCOMPARE(m_main->frontScreen(), w); // the main window still knows it by its form name
        }
        // The card screen is opened from the intake screen.
        auto *intake = m_main->findScreen(ScreenId::DataInput);
        m_main->openScreen(ScreenId::DataInput);
        child<QPushButton>(intake, QStringLiteral("cmdCardSet"))->click();
        QWidget *card = m_main->findScreen(ScreenId::CardSet);
        QVERIFY(card);
        QCOMPARE(card->objectName(), QStringLiteral("frmCardSet"));
        QCOMPARE(card->windowTitle(), QStringLiteral("カード番号登録"));
        QCOMPARE(m_main->frontScreen()->objectName(), QStringLiteral("frmCardSet"));

        // The main window's own dialogs.
        const auto dialog = [this](QWidget *d, const char *form, const char *title) {
            std::unique_ptr<QWidget> owned(d);
            QCOMPARE(d->objectName(), QString::fromLatin1(form));
            QCOMPARE(d->windowTitle(), QString::fromUtf8(title));
            QCOMPARE(screenOf(d), screenByName(QString::fromLatin1(form)));
        };
        dialog(new frmAbout(m_main), "frmAbout", "バージョン情報");
        dialog(new frmMonthChg(m_main), "frmMonthChg", "処理月変更");
        dialog(new frmPwdChg(m_main), "frmPwdChg", "パスワード変更");
        dialog(new frmSimebiSet(m_main), "frmSimebiSet", "締日、日替時刻　設定");
        QCOMPARE(m_main->objectName(), QStringLiteral("MDIForm1"));
    }

    void theScreenTableNamesEachScreenOnce()
    {
        QSet<QString> names;
        for (const ScreenEntry &e : screenTable()) {
            const QString name = QString::fromLatin1(e.formName);
            QVERIFY2(!names.contains(name), e.formName);
            names.insert(name);
            QCOMPARE(screenByName(name), std::optional<ScreenId>(e.id));
            QCOMPARE(screenEntry(e.id).formName, e.formName);
        }
        QCOMPARE(screenByName(QStringLiteral("frmNothing")), std::nullopt);
        // Only the editors answer the editing guard; the start routines are those of the editors
        // the main window brings forward again.
        QStringList checked, started;
        for (const ScreenEntry &e : screenTable()) {
            if (e.check)
                checked << QString::fromLatin1(e.formName);
            if (e.start)
                started << QString::fromLatin1(e.formName);
        }
        QCOMPARE(checked, (QStringList{QStringLiteral("frmKojinEdit"), QStringLiteral("frmListEdit"),
                                       QStringLiteral("frmMasSet"), QStringLiteral("frmCardSet"),
                                       QStringLiteral("frmKubunSet"), QStringLiteral("frmCalendar")}));
        QCOMPARE(started, (QStringList{QStringLiteral("frmKojinEdit"), QStringLiteral("frmListEdit"),
                                       QStringLiteral("frmMasSet")}));
    }

    void editingGuardStopsAToolbarCommand()
    {
        QVERIFY(seedOneDay());
        action(m_main, QStringLiteral("keyKojinEdit"))->trigger();
        auto *editor = qobject_cast<frmKojinEdit *>(m_main->findScreen(ScreenId::KojinEdit));
        QVERIFY(editor);
        QCOMPARE(m_main->frontScreen(), editor);
        // A time the editor refuses, still being typed: its check keeps the screen.
        typeInto(firstInOf(editor), QStringLiteral("7260"), false);
        action(m_main, QStringLiteral("keySet"))->trigger();
        QCOMPARE(m_dlg->messages().size(), 1);
        QCOMPARE(m_dlg->last().text, kRefusedTime);
        QCOMPARE(m_dlg->last().title, QStringLiteral("個人修正"));
        QCOMPARE(m_main->frontScreen(), editor); // nothing else happened
        QVERIFY(!m_main->findScreen(ScreenId::SetMenu)->isVisible());

        // An accepted edit: the check asks, No drops it, and the command goes on.
        typeInto(firstInOf(editor), QStringLiteral("0845"), true);
        m_dlg->answer(Dialogs::Answer::No);
        action(m_main, QStringLiteral("keySet"))->trigger();
        QCOMPARE(m_dlg->last().text, QStringLiteral("変更した時刻を保存します。よろしいですか？"));
        QCOMPARE(m_main->frontScreen()->objectName(), QStringLiteral("frmSetMenu"));
        QVERIFY(!m_main->findScreen(ScreenId::KojinEdit)->isVisible()); // hidden, kept
        QCOMPARE(firstInOf(editor)->text(), QStringLiteral("08:55"));
        QCOMPARE(storedFirstIn(), QStringLiteral("08:55"));
        QVERIFY(m_dlg->drained());
    }

    void anEditorBehindIsAskedBeforeItIsStartedAgain()
    {
        QVERIFY(seedOneDay());
        const auto editorWithAnEditBehind = [this](const QString &keys, bool leave) {
            action(m_main, QStringLiteral("keyKojinEdit"))->trigger();
            auto *editor = qobject_cast<frmKojinEdit *>(m_main->findScreen(ScreenId::KojinEdit));
            typeInto(firstInOf(editor), keys, leave);
            // The settings menu brought forward by a click on its window: no guard runs.
            m_main->showScreen(m_main->findScreen(ScreenId::SetMenu));
            return editor;
        };

        // Yes: the edit is saved before the editor reads the month again.
        frmKojinEdit *editor = editorWithAnEditBehind(QStringLiteral("0845"), true);
        QVERIFY(m_main->frontScreen() != editor);
        m_dlg->answer(Dialogs::Answer::Yes);
        action(m_main, QStringLiteral("keyKojinEdit"))->trigger();
        QCOMPARE(m_dlg->messages().size(), 1);
        QCOMPARE(m_dlg->last().text, QStringLiteral("変更した時刻を保存します。よろしいですか？"));
        QCOMPARE(m_dlg->last().title, QStringLiteral("個人修正"));
        QCOMPARE(m_main->findScreen(ScreenId::KojinEdit), editor);
        QCOMPARE(m_main->frontScreen(), editor);
        QCOMPARE(storedFirstIn(), QStringLiteral("08:45"));
        QCOMPARE(firstInOf(editor)->text(), QStringLiteral("08:45"));

        // No: dropped, and the stored time shows again.
        editorWithAnEditBehind(QStringLiteral("0830"), true);
        m_dlg->answer(Dialogs::Answer::No);
        action(m_main, QStringLiteral("keyKojinEdit"))->trigger();
        QCOMPARE(m_dlg->messages().size(), 2);
        QCOMPARE(storedFirstIn(), QStringLiteral("08:45"));
        QCOMPARE(firstInOf(editor)->text(), QStringLiteral("08:45"));

        // A refused time: the editor comes forward as it stands, the field to be typed again.
        editorWithAnEditBehind(QStringLiteral("7260"), false);
        action(m_main, QStringLiteral("keyKojinEdit"))->trigger();
        QCOMPARE(m_dlg->messages().size(), 3);
        QCOMPARE(m_dlg->last().text, kRefusedTime);
        QCOMPARE(m_main->frontScreen(), editor);
        QVERIFY(editor->fieldRejected());
        QCOMPARE(storedFirstIn(), QStringLiteral("08:45"));
        QVERIFY(m_dlg->drained());
    }

    void theMasterScreenBehindIsAskedToo()
    {
        QVERIFY(seedOneDay());
        action(m_main, QStringLiteral("mnuMasSet"))->trigger();
        QWidget *master = m_main->findScreen(ScreenId::MasSet);
        QVERIFY(master);
        auto *grid = child<QTableWidget>(master, QStringLiteral("VSFlexGrid1"));
        QCOMPARE(grid->item(0, 5)->checkState(), Qt::Checked);
        grid->item(0, 5)->setCheckState(Qt::Unchecked); // the employee's 対象 box cleared
        m_main->showScreen(m_main->findScreen(ScreenId::SetMenu));

        m_dlg->answer(Dialogs::Answer::No);
        action(m_main, QStringLiteral("mnuMasSet"))->trigger();
        QCOMPARE(m_dlg->messages().size(), 1);
        QCOMPARE(m_dlg->last().text, QStringLiteral("変更した内容を保存します。よろしいですか？"));
        QCOMPARE(m_main->frontScreen(), master);
        QCOMPARE(grid->item(0, 5)->checkState(), Qt::Checked); // dropped: read afresh
        QCOMPARE(cell(dbs().monthly, QStringLiteral("SELECT 対象 FROM 個人")), QStringLiteral("1"));
        QVERIFY(m_dlg->drained());
    }

    void monthChangeToStartupMonthJustCloses()
    {
        // The processing month differs from the start-up month (12): choosing 12 is no change.
        QVERIFY(openMonthlyDatabase(QStringLiteral("201011"), nullptr) == MonthOpen::Created);
        g_run.month = QStringLiteral("11");
        m_dlg->answer(Dialogs::Answer::Yes);
        bool seen = false;
        onModal(QStringLiteral("frmMonthChg"), [&](QWidget *d) {
            seen = true;
            QCOMPARE(child<QComboBox>(d, QStringLiteral("cboMonth"))->currentText(), QStringLiteral("12"));
            child<QPushButton>(d, QStringLiteral("cmdChange"))->click();
        });
        child<QPushButton>(m_main, QStringLiteral("cmdMonthChg"))->click();
        QVERIFY(seen);
        QCOMPARE(m_dlg->messages().first().text, QStringLiteral("このまま処理月を変更してもよろしいですか？"));
        QCOMPARE(g_run.key(), QStringLiteral("201011"));
        QCOMPARE(dbs().monthly.path(), monthlyDbPath(QStringLiteral("201011")));
    }

    void monthChangeStartsTheChosenMonth()
    {
        m_dlg->answer(Dialogs::Answer::Yes);
        onModal(QStringLiteral("frmMonthChg"), [](QWidget *d) {
            auto *m = child<QComboBox>(d, QStringLiteral("cboMonth"));
            m->setCurrentIndex(m->findText(QStringLiteral("10")));
            child<QPushButton>(d, QStringLiteral("cmdChange"))->click();
        });
        action(m_main, QStringLiteral("mnuMonthChg"))->trigger();
        QCOMPARE(g_run.key(), QStringLiteral("201010"));
        QCOMPARE(child<QLabel>(m_main, QStringLiteral("Label1"))->text(), QStringLiteral("2010年10月度"));
        QVERIFY(QFile::exists(monthlyDbPath(QStringLiteral("201010"))));
        QCOMPARE(cell(dbs().master, QStringLiteral("SELECT 起動年 || 起動月 FROM 起動")), QStringLiteral("201010"));
        QVERIFY(m_main->findScreen(ScreenId::SetMenu));

        // No at the first question: nothing opens.
        m_dlg->answer(Dialogs::Answer::No);
        action(m_main, QStringLiteral("mnuMonthChg"))->trigger();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void monthChangeToAnUnreadableMonthKeepsTheCurrentOne()
    {
        const QString bad = monthlyDbPath(QStringLiteral("201011"));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'q'));
        f.close();
        m_dlg->answer(Dialogs::Answer::Yes);
        bool closedItself = true;
        onModal(QStringLiteral("frmMonthChg"), [&](QWidget *d) {
            auto *m = child<QComboBox>(d, QStringLiteral("cboMonth"));
            m->setCurrentIndex(m->findText(QStringLiteral("11")));
            child<QPushButton>(d, QStringLiteral("cmdChange"))->click();
            closedItself = !d->isVisible();
            child<QPushButton>(d, QStringLiteral("cmdCancel"))->click();
        });
        action(m_main, QStringLiteral("mnuMonthChg"))->trigger();
        QVERIFY(!closedItself); // the screen stays open
        QVERIFY(m_dlg->last().text.contains(bad));
        QCOMPARE(fileBytes(bad), QByteArray(4096, 'q'));
        QCOMPARE(g_run.key(), QStringLiteral("201012"));
        QCOMPARE(dbs().monthly.path(), monthlyDbPath(QStringLiteral("201012")));
        QVERIFY(dbs().monthly.isOpen());
        QCOMPARE(child<QLabel>(m_main, QStringLiteral("Label1"))->text(), QStringLiteral("2010年12月度"));
    }

    void failedCopyLeavesTheTargetAsItWas()
    {
        const QString target = m_home->file(QStringLiteral("keep.mdb"));
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old contents");
        f.close();
        int no = 0;
        QString desc;
        QVERIFY(!replaceWithCopy(m_home->file(QStringLiteral("missing.mdb")), target, &no, &desc));
        QVERIFY(no != 0);
        QVERIFY(!desc.isEmpty());
        QCOMPARE(fileBytes(target), QByteArray("old contents"));
        QCOMPARE(QDir(m_home->path()).entryList({QStringLiteral("*.copying")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    void backupToAFolderAndOverwriteRules()
    {
        QCOMPARE(pathInFolder(QStringLiteral("/"), QStringLiteral("a.mdb")), QStringLiteral("/a.mdb"));
        QCOMPARE(pathInFolder(QStringLiteral("/x"), QStringLiteral("a.mdb")), QStringLiteral("/x/a.mdb"));

        const QString folder = m_home->file(QStringLiteral("bk"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(dbs().monthly.exec(
            QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) VALUES "
                           "('12','01','08','30','00','000000016','0','00','0')")));
        m_dlg->answerFile(folder);
        action(m_main, QStringLiteral("mnuBackUp"))->trigger();
        const QString target = folder + QStringLiteral("/201012corvanbk.mdb");
        QCOMPARE(m_dlg->last().text, QStringLiteral("バックアップを正常終了しました。"));
        QCOMPARE(m_dlg->fileRequests().last().title,
                 QStringLiteral("バックアップファイルを格納するフォルダを選択してください"));
        QCOMPARE(fileBytes(target), fileBytes(monthlyDbPath(QStringLiteral("201012"))));
        QVERIFY(dbs().monthly.isOpen());
        QCOMPARE(g_startup.backupPath, folder);
        QCOMPARE(cell(dbs().master, QStringLiteral("SELECT バックアップpath FROM 起動")), folder);

        // Existing target: No keeps it.
        m_dlg->clear();
        m_dlg->answerFile(folder);
        m_dlg->answer(Dialogs::Answer::No);
        action(m_main, QStringLiteral("mnuBackUp"))->trigger();
        QCOMPARE(m_dlg->last().text, target + QStringLiteral("はすでに存在しています。\n上書きしますか？"));
        // Yes on a read-only target is refused.
        QFile::setPermissions(target, QFile::ReadOwner);
        m_dlg->answerFile(folder);
        m_dlg->answer(Dialogs::Answer::Yes);
        m_dlg->answer(Dialogs::Answer::Ok);
        action(m_main, QStringLiteral("mnuBackUp"))->trigger();
        QCOMPARE(m_dlg->last().text, QStringLiteral("書き込み禁止になっています。　ＯＫ"));
        QCOMPARE(m_dlg->last().title, QStringLiteral("確認"));
        QVERIFY(m_dlg->drained());
    }

    void restoreRulesAndReplacement()
    {
        const QString folder = m_home->file(QStringLiteral("rs"));
        QVERIFY(QDir().mkpath(folder));
        // Only another month's backup there.
        QVERIFY(QFile::copy(monthlyDbPath(QStringLiteral("201012")), folder + QStringLiteral("/201011corvanbk.mdb")));
        m_dlg->answerFile(folder);
        action(m_main, QStringLiteral("mnuReStore"))->trigger();
        QCOMPARE(m_dlg->last().text, QStringLiteral("ファイルが見つかりません"));
        QCOMPARE(m_dlg->last().title, QStringLiteral("リストア"));

        // A backup holding one punch replaces the month, after the question.
        QVERIFY(QFile::copy(monthlyDbPath(QStringLiteral("201012")), folder + QStringLiteral("/201012corvanbk.mdb")));
        {
            Database bk;
            QVERIFY(bk.open(folder + QStringLiteral("/201012corvanbk.mdb")));
            QVERIFY(bk.exec(QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, "
                                           "CR) VALUES ('12','02','08','30','00','000000016','0','00','0')")));
        }
        m_dlg->answerFile(folder);
        m_dlg->answer(Dialogs::Answer::No);
        action(m_main, QStringLiteral("mnuReStore"))->trigger();
        QCOMPARE(cell(dbs().monthly, QStringLiteral("SELECT COUNT(*) FROM タイムカード")), QStringLiteral("0"));

        QWidget *menuBefore = m_main->findScreen(ScreenId::SetMenu);
        m_dlg->answerFile(folder);
        m_dlg->answer(Dialogs::Answer::Yes);
        action(m_main, QStringLiteral("mnuReStore"))->trigger();
        QCOMPARE(m_dlg->last().text,
                 QStringLiteral("リストアを正常終了しました。\nマスタ登録画面で登録を行なって下さい。"));
        QCOMPARE(cell(dbs().monthly, QStringLiteral("SELECT COUNT(*) FROM タイムカード")), QStringLiteral("1"));
        QCOMPARE(cell(dbs().master, QStringLiteral("SELECT リストアpath FROM 起動")), folder);
        QWidget *menuAfter = m_main->findScreen(ScreenId::SetMenu);
        QVERIFY(menuAfter && menuAfter != menuBefore); // reloaded

        // A damaged backup is refused and the month stays as it is.
        QFile bad(folder + QStringLiteral("/201012corvanbk.mdb"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(2048, 'z'));
        bad.close();
        m_dlg->answerFile(folder);
        m_dlg->answer(Dialogs::Answer::Yes);
        m_dlg->answer(Dialogs::Answer::Cancel);
        action(m_main, QStringLiteral("mnuReStore"))->trigger();
        QVERIFY(m_dlg->last().text.startsWith(QStringLiteral("ファイル呼び出しに失敗しました。\n\nエラー：(")));
        QCOMPARE(cell(dbs().monthly, QStringLiteral("SELECT COUNT(*) FROM タイムカード")), QStringLiteral("1"));
        QVERIFY(m_dlg->drained());
    }

    void aCopyThatSucceededIsReportedAsSuchAndRestoreReloadsTheScreens()
    {
        // 起動 refuses every update, so the folder cannot be recorded after the copy.
        QVERIFY(dbs().master.exec(
            QStringLiteral("CREATE TRIGGER full BEFORE UPDATE ON 起動 BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        const QString folder = m_home->file(QStringLiteral("bk2"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(dbs().monthly.exec(
            QStringLiteral("INSERT INTO タイムカード (月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR) VALUES "
                           "('12','01','08','30','00','000000016','0','00','0')")));
        m_dlg->answerFile(folder);
        action(m_main, QStringLiteral("mnuBackUp"))->trigger();
        const QString target = folder + QStringLiteral("/201012corvanbk.mdb");
        QCOMPARE(fileBytes(target), fileBytes(monthlyDbPath(QStringLiteral("201012"))));
        QVERIFY(m_dlg->last().text.startsWith(QStringLiteral(
            "バックアップを正常終了しました。\n\nバックアップ先のフォルダを記録できませんでした。\n\nエラー：(")));
        QVERIFY(m_dlg->last().text.contains(QStringLiteral("disk full")));
        QVERIFY(!m_dlg->last().text.contains(QStringLiteral("バックアップに失敗しました")));
        QCOMPARE(m_dlg->last().title, QStringLiteral("バックアップ"));
        QVERIFY(dbs().monthly.isOpen());

        // The month changes after the backup; an editor holding the later state is open behind.
        QVERIFY(dbs().monthly.exec(QStringLiteral("DELETE FROM タイムカード")));
        m_main->openScreen(ScreenId::KojinEdit);
        QVERIFY(m_main->findScreen(ScreenId::KojinEdit));
        m_main->showSetMenu();
        m_dlg->answerFile(folder);
        m_dlg->answer(Dialogs::Answer::Yes);
        action(m_main, QStringLiteral("mnuReStore"))->trigger();
        QVERIFY(m_dlg->last().text.startsWith(
            QStringLiteral("リストアを正常終了しました。\nマスタ登録画面で登録を行なって下さい。\n\n"
                           "リストア元のフォルダを記録できませんでした。\n\nエラー：(")));
        QCOMPARE(cell(dbs().monthly, QStringLiteral("SELECT COUNT(*) FROM タイムカード")), QStringLiteral("1"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!m_main->findScreen(ScreenId::KojinEdit)); // closed: it reloads when opened next
        QCOMPARE(m_main->frontScreen()->objectName(), QStringLiteral("frmSetMenu"));
        QVERIFY(m_dlg->drained());
    }

    void logViewingOnACopyAndTheOrderlyEnd()
    {
        m_dlg->answer(Dialogs::Answer::Cancel);
        action(m_main, QStringLiteral("mnuComLog"))->trigger();
        QCOMPARE(m_dlg->last().text, QStringLiteral("通信ログファイルがありません。\n"));
        QCOMPARE(m_dlg->last().title, QStringLiteral("通信ログ表示"));

        const QString log = dataFolder() + QStringLiteral("/E201012.log");
        QFile f(log);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("line\r\n");
        f.close();
        m_dlg->answerFile(log);
        action(m_main, QStringLiteral("mnuComLog"))->trigger();
        QCOMPARE(m_dlg->fileRequests().last().title, QStringLiteral("通信ログファイル選択"));
        QCOMPARE(m_dlg->fileRequests().last().filters, QStringList{QStringLiteral("通信ログファイル形式 (E*.log)")});
        QCOMPARE(m_desk->opened.size(), 1);
        QCOMPARE(m_desk->opened.first().toLocalFile(), log + QStringLiteral(".tmp"));
        QCOMPARE(fileBytes(log + QStringLiteral(".tmp")), QByteArray("line\r\n"));

        // A new collection adds to the log; asked again, the viewer gets a fresh copy of the
        // log as it is now (whether the first viewer is still open cannot be told here).
        QVERIFY(f.open(QIODevice::Append));
        f.write("more\r\n");
        f.close();
        m_dlg->answerFile(log);
        action(m_main, QStringLiteral("mnuComLog"))->trigger();
        QCOMPARE(m_desk->opened.size(), 2);
        QCOMPARE(m_desk->opened.last().toLocalFile(), log + QStringLiteral(".tmp"));
        QCOMPARE(fileBytes(log + QStringLiteral(".tmp")), QByteArray("line\r\nmore\r\n"));

        // While a window of the desktop shows the copy, it is already open.
        QStringList asked;
        AppHooks::setViewerShowing([&asked](const QString &name) {
            asked << name;
            return name == QLatin1String("E201012.log.tmp");
        });
        m_dlg->answerFile(log);
        m_dlg->answer(Dialogs::Answer::Cancel);
        action(m_main, QStringLiteral("mnuComLog"))->trigger();
        AppHooks::setViewerShowing({});
        QCOMPARE(asked, QStringList{QStringLiteral("E201012.log.tmp")});
        QCOMPARE(m_dlg->last().text, QStringLiteral("すでに通信ログファイルは開いています。\n"));
        QCOMPARE(m_dlg->last().title, QStringLiteral("通信ログ表示"));
        QCOMPARE(m_desk->opened.size(), 2);

        // No viewer can be started: the user is told, under the command's title.
        AppHooks::setOpenExternal([](const QUrl &) { return false; });
        m_dlg->answerFile(log);
        action(m_main, QStringLiteral("mnuComLog"))->trigger();
        QVERIFY(m_dlg->last().text.startsWith(QStringLiteral("表示するプログラムを起動できませんでした。\n") + log
                                              + QStringLiteral(".tmp\n")));
        QCOMPARE(m_dlg->last().title, QStringLiteral("通信ログ表示"));
        AppHooks::setOpenExternal([this](const QUrl &u) {
            m_desk->opened << u;
            return true;
        });

        child<QPushButton>(m_main, QStringLiteral("cmdEnd"))->click();
        QVERIFY(!QFile::exists(log + QStringLiteral(".tmp")));
        QVERIFY(QFile::exists(log));
        QVERIFY(!dbs().monthly.isOpen() && !dbs().master.isOpen() && !dbs().intake.isOpen()
                && !dbs().calendar.isOpen());
        QCOMPARE(m_desk->ends, QList<int>{0});
        QVERIFY(m_dlg->drained());
    }

    void endIsStoppedByTheEditorInFront()
    {
        QVERIFY(seedOneDay());
        action(m_main, QStringLiteral("keyKojinEdit"))->trigger();
        auto *editor = qobject_cast<frmKojinEdit *>(m_main->findScreen(ScreenId::KojinEdit));
        QVERIFY(editor);
        typeInto(firstInOf(editor), QStringLiteral("7260"), false);
        m_main->close(); // the window's close box
        QCOMPARE(m_dlg->messages().size(), 1);
        QCOMPARE(m_dlg->last().text, kRefusedTime);
        QVERIFY(m_main->isVisible());
        QVERIFY(dbs().monthly.isOpen());
        QVERIFY(m_desk->ends.isEmpty());
    }

    void helpByContextTopicAndFaq()
    {
        // This installation has its pages in help/ itself, as before they were kept per
        // link kind: those are still found.
        action(m_main, QStringLiteral("keyHelp"))->trigger();
        QCOMPARE(m_desk->opened.size(), 1);
        QCOMPARE(m_desk->opened.last().toLocalFile(), programPath(QStringLiteral("help/10002.html")));
        QCOMPARE(contextTopicFor(ScreenId::ListPrint), 10015);
        QCOMPARE(contextTopicFor(ScreenId::About), 0);
        QCOMPARE(contextTopicFor(std::nullopt), 0);

        action(m_main, QStringLiteral("mnuHelp"))->trigger(); // default page is missing here
        QVERIFY(m_dlg->last().text.contains(QStringLiteral("help/lan/index.html")));

        // The support page by default is the installed help/faq.html.
        QCOMPARE(g_faqAddress, QStringLiteral("help/faq.html"));
        action(m_main, QStringLiteral("mnuFAQconn"))->trigger();
        QCOMPARE(m_desk->opened.last(), QUrl::fromLocalFile(programPath(QStringLiteral("help/faq.html"))));
    }

    void helpPagesOfTheInstallationsLinkKind()
    {
        for (const char *kind : {"usb", "lan"}) {
            QDir().mkpath(programPath(QStringLiteral("help/") + QLatin1String(kind)));
            QFile page(programPath(QStringLiteral("help/%1/10002.html").arg(QLatin1String(kind))));
            QVERIFY(page.open(QIODevice::WriteOnly));
        }
        g_install.linkKind = LinkUsb;
        action(m_main, QStringLiteral("keyHelp"))->trigger();
        QCOMPARE(m_desk->opened.last().toLocalFile(), programPath(QStringLiteral("help/usb/10002.html")));
        g_install.linkKind = LinkLan;
        action(m_main, QStringLiteral("keyHelp"))->trigger();
        QCOMPARE(m_desk->opened.last().toLocalFile(), programPath(QStringLiteral("help/lan/10002.html")));
        QVERIFY(m_dlg->messages().isEmpty());
    }

    void faqAddressOfTheSiteAndNoViewer()
    {
        g_faqAddress = QStringLiteral("https://support.example.jp/corvan21/faq");
        action(m_main, QStringLiteral("mnuFAQconn"))->trigger();
        QCOMPARE(m_desk->opened.last(), QUrl(QStringLiteral("https://support.example.jp/corvan21/faq")));
        g_faqAddress = QStringLiteral("/srv/share/faq.html");
        action(m_main, QStringLiteral("mnuFAQconn"))->trigger();
        QCOMPARE(m_desk->opened.last(), QUrl::fromLocalFile(QStringLiteral("/srv/share/faq.html")));
        g_faqAddress = QString::fromLatin1(kDefaultFaqAddress);
        QVERIFY(m_dlg->messages().isEmpty());

        // Neither a browser nor any viewer can be started: said, not silently dropped.
        AppHooks::setOpenExternal([](const QUrl &) { return false; });
        action(m_main, QStringLiteral("mnuFAQconn"))->trigger();
        QCOMPARE(m_dlg->messages().size(), 1);
        QVERIFY(m_dlg->last().text.startsWith(QStringLiteral("表示するプログラムを起動できませんでした。\n")
                                              + programPath(QStringLiteral("help/faq.html"))));
        QCOMPARE(m_dlg->last().title, QStringLiteral("ＦＡＱサイトへ接続"));
        action(m_main, QStringLiteral("keyHelp"))->trigger();
        QCOMPARE(m_dlg->messages().size(), 2);
        QVERIFY(m_dlg->last().text.contains(programPath(QStringLiteral("help/10002.html"))));
        QCOMPARE(m_dlg->last().title, QStringLiteral("ヘルプ"));
    }

    void screenshotsForAReview()
    {
        // Written only when asked for, so that the screens can be looked at by eye.
        const QString dir = qEnvironmentVariable("CORVAN21_SHOTS");
        if (dir.isEmpty())
            QSKIP("CORVAN21_SHOTS not set");
        QApplication::processEvents();
        QVERIFY(m_main->grab().save(dir + QStringLiteral("/main.png")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
