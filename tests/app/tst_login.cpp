// Program start as the user meets it: the setup wizard, the login screen's load, the password,
// the month lists, the seven-month question and the start of a month.

#include "AppTestSupport.h"
#include "app/MDIForm1.h"
#include "app/SetupWizard.h"
#include "app/StartupLogic.h"
#include "app/frmStartUp.h"
#include "store/MonthStart.h"
#include "tests/support/ScriptedDialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

void click(QWidget *w, const char *name)
{
    auto *b = child<QPushButton>(w, QString::fromLatin1(name));
    QVERIFY2(b, name);
    QVERIFY2(b->isEnabled(), name);
    b->click();
    QApplication::processEvents();
}

void setStartupMonth(const QString &year, const QString &month)
{
    Database db;
    QVERIFY(db.open(masterDbPath()));
    QVERIFY(db.exec(QStringLiteral("UPDATE 起動 SET 起動年 = ?, 起動月 = ?"), {year, month}));
}

// A loaded login screen (not shown by showLoginScreen, so the test owns it).
frmStartUp *loadedLogin()
{
    auto *w = new frmStartUp;
    if (!w->load()) {
        delete w;
        return nullptr;
    }
    w->show();
    return w;
}

void login(frmStartUp *w, const QString &password, const QString &year, const QString &month)
{
    child<QLineEdit>(w, QStringLiteral("txtPwd"))->setText(password);
    auto *y = child<QComboBox>(w, QStringLiteral("cboYear"));
    y->setCurrentIndex(y->findText(year));
    auto *m = child<QComboBox>(w, QStringLiteral("cboMonth"));
    m->setCurrentIndex(m->findText(month));
    QCOMPARE(m->currentText(), month);
    child<QPushButton>(w, QStringLiteral("cmdStart"))->click();
    QApplication::processEvents();
}

} // namespace

class TestLogin : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-12-15T09:30:00"); }
    void cleanup() { closeAllWindows(); }

    void firstStartRunsWizardThenLogsIn()
    {
        qputenv("CORVAN21_NOW", "2010-04-15T10:00:00");
        TestHome home;
        QVERIFY(installProgramFiles());
        ScriptedDialogs dlg;
        DesktopRecorder desk;
        QVERIFY(!setupCompleted());

        startSetupWizard();
        QWidget *w = topLevel(QStringLiteral("frmInitDateTime"));
        QVERIFY(w);
        QCOMPARE(child<QLabel>(w, QStringLiteral("LblDateTime"))->text(), QStringLiteral("2010年 04月 15日 10:00"));
        click(w, "CmdNext");

        w = topLevel(QStringLiteral("frmInitCloseDay"));
        QVERIFY(w);
        auto *day = child<QComboBox>(w, QStringLiteral("cboSimebi"));
        QCOMPARE(day->count(), 29);
        QCOMPARE(day->currentIndex(), -1);
        QVERIFY(!child<QPushButton>(w, QStringLiteral("CmdNext"))->isEnabled());
        day->setCurrentIndex(28); // 月末
        click(w, "CmdNext");

        w = topLevel(QStringLiteral("frmInitConfirm"));
        QVERIFY(w);
        QCOMPARE(child<QLabel>(w, QStringLiteral("LblSimebi"))->text(), QStringLiteral("月末"));
        click(w, "CmdBack"); // back keeps the choice and Next enabled
        w = topLevel(QStringLiteral("frmInitCloseDay"));
        QVERIFY(w);
        QCOMPARE(child<QComboBox>(w, QStringLiteral("cboSimebi"))->currentText(), QStringLiteral("月末"));
        click(w, "CmdNext");
        w = topLevel(QStringLiteral("frmInitConfirm"));
        click(w, "CmdFinish");

        QVERIFY(setupCompleted());
        QCOMPARE(userSetting(UserKey::Pass_Wd), QStringLiteral("418305"));
        {
            Database db;
            QVERIFY(db.open(masterDbPath()));
            QCOMPARE(cell(db, QStringLiteral("SELECT 締日 FROM 会社")), QStringLiteral("31"));
            QCOMPARE(cell(db, QStringLiteral("SELECT 日替時刻 FROM 会社")), QStringLiteral("03:00"));
            QCOMPARE(cell(db, QStringLiteral("SELECT 起動年 || 起動月 FROM 起動")), QStringLiteral("201004"));
        }
        w = topLevel(QStringLiteral("frmInitPassWord"));
        QVERIFY(w);
        QCOMPARE(child<QLabel>(w, QStringLiteral("lblPasswd"))->text(), QStringLiteral(" ４１８３０５ "));
        click(w, "CmdOk");
        QVERIFY(!topLevel(QStringLiteral("frmInitPassWord")));

        auto *loginScreen = qobject_cast<frmStartUp *>(topLevel(QStringLiteral("frmStartUp")));
        QVERIFY(loginScreen);
        QCOMPARE(child<QComboBox>(loginScreen, QStringLiteral("cboYear"))->currentText(), QStringLiteral("2010"));
        QCOMPARE(child<QComboBox>(loginScreen, QStringLiteral("cboMonth"))->currentText(), QStringLiteral("04"));
        login(loginScreen, QStringLiteral(" 418305 "), QStringLiteral("2010"), QStringLiteral("04"));
        QVERIFY(dlg.messages().isEmpty());
        MDIForm1 *main = MDIForm1::instance();
        QVERIFY(main);
        QCOMPARE(child<QLabel>(main, QStringLiteral("Label1"))->text(), QStringLiteral("2010年04月度"));
        QVERIFY(main->findScreen(ScreenId::SetMenu));
        QCOMPARE(g_company.closingDayNo, 31);
        QVERIFY(desk.ends.isEmpty());
    }

    void wizardDateRuleAndCancel()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        ScriptedDialogs dlg;
        DesktopRecorder desk;
        qputenv("CORVAN21_NOW", "2005-12-31T23:00:00");
        startSetupWizard();
        QWidget *w = topLevel(QStringLiteral("frmInitDateTime"));
        click(w, "CmdNext");
        QCOMPARE(dlg.last().text, QStringLiteral("2005年以前は設定できません！"));
        QCOMPARE(dlg.last().buttons, Dialogs::Buttons::OkOnly);
        QVERIFY(topLevel(QStringLiteral("frmInitDateTime")));

        qputenv("CORVAN21_NOW", "2006-01-01T00:00:00");
        click(w, "CmdNext");
        w = topLevel(QStringLiteral("frmInitCloseDay"));
        QVERIFY(w);

        dlg.answer(Dialogs::Answer::No);
        click(w, "CmdCancel");
        QCOMPARE(dlg.last().text, QStringLiteral("初期設定を中断します。よろしいですか？"));
        QCOMPARE(dlg.last().title, QStringLiteral("終了確認"));
        QCOMPARE(dlg.last().defaultButton, 2);
        QVERIFY(topLevel(QStringLiteral("frmInitCloseDay")));
        QVERIFY(desk.ends.isEmpty());

        dlg.answer(Dialogs::Answer::Yes);
        click(w, "CmdCancel");
        QCOMPARE(desk.ends.size(), 1);
        QVERIFY(!setupCompleted());
        QVERIFY(dlg.drained());
    }

    void wrongPasswordIsRefused()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        ScriptedDialogs dlg;
        frmStartUp *w = loadedLogin();
        QVERIFY(w);
        for (const QString &pwd : {QStringLiteral("123456"), QString()}) {
            dlg.clear();
            login(w, pwd, QStringLiteral("2010"), QStringLiteral("12"));
            QCOMPARE(dlg.messages().size(), 1);
            QCOMPARE(dlg.last().text, QStringLiteral("正しいパスワードを入力してください。"));
            QCOMPARE(dlg.last().title, QStringLiteral("起動エラー"));
            QCOMPARE(dlg.last().icon, Dialogs::Icon::Critical);
            QVERIFY(child<QLineEdit>(w, QStringLiteral("txtPwd"))->text().isEmpty());
            QVERIFY(!MDIForm1::instance());
        }
        QVERIFY(!QFile::exists(monthlyDbPath(QStringLiteral("201012"))));
    }

    void yearAndMonthListsNeverPassNextMonth()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        ScriptedDialogs dlg;
        frmStartUp *w = loadedLogin();
        QVERIFY(w);
        auto *y = child<QComboBox>(w, QStringLiteral("cboYear"));
        auto *m = child<QComboBox>(w, QStringLiteral("cboMonth"));
        QCOMPARE(y->itemText(0), QStringLiteral("2001"));
        QCOMPARE(y->itemText(y->count() - 1), QStringLiteral("2011"));
        QCOMPARE(y->currentText(), QStringLiteral("2010"));
        QCOMPARE(m->count(), 12);
        m->setCurrentIndex(5);
        y->setCurrentIndex(y->findText(QStringLiteral("2011")));
        QCOMPARE(m->count(), 1);
        QCOMPARE(m->itemText(0), QStringLiteral("01"));
        QCOMPARE(m->currentText(), QStringLiteral("01")); // position 6 no longer exists
        y->setCurrentIndex(y->findText(QStringLiteral("2009")));
        QCOMPARE(m->count(), 12);
    }

    void sevenMonthsBackAsks()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        setStartupMonth(QStringLiteral("2010"), QStringLiteral("08"));
        ScriptedDialogs dlg;
        frmStartUp *w = loadedLogin();
        QVERIFY(w);
        dlg.answer(Dialogs::Answer::No);
        login(w, QStringLiteral("418305"), QStringLiteral("2010"), QStringLiteral("01"));
        QCOMPARE(dlg.messages().size(), 1);
        QCOMPARE(dlg.last().text, QStringLiteral("処理月が７ヶ月以上戻されます。よろしいですか？"));
        QCOMPARE(dlg.last().title, QStringLiteral("処理月　確認"));
        QVERIFY(!MDIForm1::instance());
        QVERIFY(!QFile::exists(monthlyDbPath(QStringLiteral("201001"))));

        dlg.clear();
        login(w, QStringLiteral("418305"), QStringLiteral("2010"), QStringLiteral("02"));
        QVERIFY(dlg.messages().isEmpty());
        QVERIFY(MDIForm1::instance());
        QCOMPARE(g_run.key(), QStringLiteral("201002"));
        QCOMPARE(cell(dbs().master, QStringLiteral("SELECT 起動年 || 起動月 FROM 起動")), QStringLiteral("201002"));
        QCOMPARE(cell(dbs().calendar, QStringLiteral("SELECT COUNT(*) FROM カレンダー")),
                 QString::number(31 + 28 + 31));
    }

    void newMonthStartsAsCopyOfMaster()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        {
            Database db;
            QVERIFY(db.open(masterDbPath()));
            QVERIFY(db.exec(QStringLiteral("INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) VALUES "
                                           "('01','000016','山田','000000016','01','1')")));
            QVERIFY(db.exec(QStringLiteral("UPDATE 会社 SET 締日 = '15'")));
        }
        ScriptedDialogs dlg;
        frmStartUp *w = loadedLogin();
        login(w, QStringLiteral("418305"), QStringLiteral("2010"), QStringLiteral("11"));
        QVERIFY(MDIForm1::instance());
        QVERIFY(QFile::exists(monthlyDbPath(QStringLiteral("201011"))));
        QCOMPARE(cell(dbs().monthly, QStringLiteral("SELECT 氏名 FROM 個人")), QStringLiteral("山田"));
        QCOMPARE(g_company.closingDay, QStringLiteral("15"));
        QVERIFY(dbs().master.isOpen() && dbs().intake.isOpen() && dbs().calendar.isOpen());
    }

    void unreadableMonthIsNeverOverwritten()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        const QString path = monthlyDbPath(QStringLiteral("201012"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        }
        const QByteArray before = fileBytes(path);
        ScriptedDialogs dlg;
        frmStartUp *w = loadedLogin();
        login(w, QStringLiteral("418305"), QStringLiteral("2010"), QStringLiteral("12"));
        QCOMPARE(dlg.messages().size(), 1);
        QVERIFY(dlg.last().text.contains(path));
        QCOMPARE(dlg.last().title, QStringLiteral("起動エラー"));
        QVERIFY(!MDIForm1::instance());
        QVERIFY(w->isVisible());
        QCOMPARE(fileBytes(path), before);
    }

    void loadFailuresEndTheProgram()
    {
        {
            TestHome home; // no corvan21.ini
            ScriptedDialogs dlg;
            dlg.answer(Dialogs::Answer::Cancel);
            frmStartUp w;
            QVERIFY(!w.load());
            QCOMPARE(
                dlg.last().text,
                QStringLiteral(
                    "設定ファイルの読み込みに失敗しました！\nCORVAN21を正しくインストールしてください、終了します"));
            QCOMPARE(dlg.last().title, QStringLiteral("起動エラー"));
            QCOMPARE(dlg.last().buttons, Dialogs::Buttons::CancelTryAgainContinue);
        }
        {
            TestHome home(false); // no databases
            QVERIFY(installProgramFiles());
            ScriptedDialogs dlg;
            dlg.answer(Dialogs::Answer::Cancel);
            frmStartUp w;
            QVERIFY(!w.load());
            QCOMPARE(
                dlg.last().text,
                QStringLiteral("エラー：") + programFolder()
                    + QStringLiteral("/data/corvan.mdb"
                                     "が見つかりませんでした\nCORVAN21を正しくインストールしてください、終了します"));
            QVERIFY(!QFile::exists(masterDbPath())); // the check never creates an empty database
        }
        {
            // A master whose 起動 table lost its row is as damaged as one that cannot be read.
            TestHome home;
            QVERIFY(installProgramFiles());
            {
                Database master;
                QVERIFY(master.open(masterDbPath()));
                QVERIFY(master.exec(QStringLiteral("DELETE FROM 起動")));
            }
            ScriptedDialogs dlg;
            dlg.answer(Dialogs::Answer::Cancel);
            frmStartUp w;
            QVERIFY(!w.load());
            QCOMPARE(
                dlg.last().text,
                QStringLiteral("エラー：") + programFolder()
                    + QStringLiteral("/data/corvan.mdb"
                                     "が見つかりませんでした\nCORVAN21を正しくインストールしてください、終了します"));
            QCOMPARE(dlg.last().title, QStringLiteral("起動エラー"));
        }
        {
            TestHome home;
            QVERIFY(installProgramFiles());
            QFile::remove(programPath(QStringLiteral("boot.bmp")));
            ScriptedDialogs dlg;
            dlg.answer(Dialogs::Answer::Cancel);
            frmStartUp w;
            QVERIFY(!w.load());
            QVERIFY(dlg.last().text.startsWith(QStringLiteral("イメージファイルが見つかりませんでした！\n")));
        }
    }

    void usbInstallationNeedsRegisteredLibraryAndDriver()
    {
        TestHome home;
        QVERIFY(installProgramFiles(LinkUsb));
        const QString registry = home.file(QStringLiteral("registry.txt"));
        const QString driver = home.file(QStringLiteral("kestousb"));
        qputenv("KESTOUSB_REGISTRY", registry.toUtf8());
        qputenv("KESTOUSB_DEVICE_DIR", driver.toUtf8());
        {
            ScriptedDialogs dlg;
            dlg.answer(Dialogs::Answer::Cancel);
            frmStartUp w;
            QVERIFY(!w.load());
            QCOMPARE(dlg.last().text, QStringLiteral("ＵＳＢドライバが見つかりませんでした！\n付属のＵＳＢドライバを正"
                                                     "しくインストールしてください、終了します"));
            QCOMPARE(usbDriverCheck(), 3);
        }
        const QString lib = home.file(QStringLiteral("libKestoUsb.so"));
        QFile(lib).open(QIODevice::WriteOnly);
        QFile reg(registry);
        QVERIFY(reg.open(QIODevice::WriteOnly));
        reg.write("[CLSID\\{B5463437-6971-11D4-816D-0050DACEAA4B}\\InprocServer32]\n@=\"" + lib.toUtf8() + "\"\n");
        reg.close();
        QCOMPARE(usbDriverCheck(), 2);
        QVERIFY(QDir().mkpath(driver));
        QCOMPARE(usbDriverCheck(), 0);
        QFile::remove(lib); // registered, but the module is gone
        QCOMPARE(usbDriverCheck(), 1);
        QFile(lib).open(QIODevice::WriteOnly);
        {
            ScriptedDialogs dlg;
            frmStartUp w;
            QVERIFY(w.load());
            QVERIFY(dlg.messages().isEmpty());
        }
        qunsetenv("KESTOUSB_REGISTRY");
        qunsetenv("KESTOUSB_DEVICE_DIR");
    }

    void batchLoginChecksPasswordAndPreparesMonth()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        ScriptedDialogs dlg;
        QString why;
        bool refused = false;
        QVERIFY(
            !startMonthForBatch(QStringLiteral("2010"), QStringLiteral("11"), QStringLiteral("bad"), &why, &refused));
        QVERIFY(refused);
        QVERIFY(!QFile::exists(monthlyDbPath(QStringLiteral("201011"))));
        QVERIFY2(
            startMonthForBatch(QStringLiteral("2010"), QStringLiteral("11"), QStringLiteral("418305"), &why, &refused),
            qPrintable(why));
        QCOMPARE(g_run.key(), QStringLiteral("201011"));
        QCOMPARE(cell(dbs().calendar, QStringLiteral("SELECT COUNT(*) FROM カレンダー")),
                 QString::number(31 + 30 + 31));
        // 起動 keeps the month the login proposes.
        QCOMPARE(cell(dbs().master, QStringLiteral("SELECT 起動月 FROM 起動")), QStringLiteral("12"));
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
