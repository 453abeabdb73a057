#include "common/Common.h"
#include "common/SjisText.h"
#include "recorder/CalcoloCom.h"
#include "screens/ScreenHost.h"
#include "screens/frmCardSet.h"
#include "screens/frmDataInput.h"
#include "screens/frmDataList.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestHome.h"
#include "tools/simulator/RecorderSimulator.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <QTcpServer>
#include <QTest>

namespace {

QString rec(const QString &mmddhhmmss, int card = 1, int io = 0)
{
    return mmddhhmmss + zeroPad(card, 9) + QString::number(io) + QStringLiteral("00");
}

void addIntake(const QString &mm, const QString &dd, const QString &card, const QString &mark)
{
    QVERIFY(dbs().intake.exec(
        QStringLiteral("INSERT INTO タイムカードテンプ (月,日,時,分,秒,IDコード,入退,異例コード,CR,移行マーク) "
                       "VALUES (?,?,'08','30','00',?,'0','00','\r',?)"),
        {mm, dd, card, mark}));
}

QString label(QWidget *w, const char *name) { return w->findChild<QLabel *>(QString::fromUtf8(name))->text(); }
QPushButton *btn(QWidget *w, const char *name) { return w->findChild<QPushButton *>(QString::fromUtf8(name)); }

QString errorLog()
{
    QFile f(CalcoloCom::errorLogPath());
    return f.open(QIODevice::ReadOnly) ? SjisText::decode(f.readAll()) : QString();
}

// Points the installation at a recorder on loopback.
void useRecorder(quint16 port)
{
    g_install.linkKind = LinkLan;
    g_install.commandSet = 0;
    g_install.recorderPort = port;
    QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
}

struct TestHost : ScreenHost {
    QList<QWidget *> shown;
    QWidget *findScreen(ScreenId n) override
    {
        for (QWidget *w : shown)
            if (w->objectName() == formName(n))
                return w;
        return nullptr;
    }
    void showScreen(QWidget *s) override
    {
        if (!shown.contains(s))
            shown << s;
        s->show();
    }
    void closeScreen(ScreenId) override {}
    ~TestHost() override { qDeleteAll(shown); }
};

} // namespace

class TestDataInput : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        qputenv("CORVAN21_NOW", "2010-01-15T10:20:30");
        g_company = CompanySettings{};
        CalcoloCom::setLogPaths(Clock::today());
        frmDataInput::setListOpener({});
    }

    void countsAndButtonEnabling()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        addIntake("01", "10", "000000001", "未");
        addIntake("01", "10", "000000001", "重");
        addIntake("01", "11", "000000002", "02");
        frmDataInput w;
        QCOMPARE(label(&w, "lbl収集数"), QStringLiteral("1"));
        QCOMPARE(label(&w, "lbl重複数"), QStringLiteral("1"));
        QCOMPARE(label(&w, "lbl未処理数"), QStringLiteral("1"));
        QCOMPARE(label(&w, "lbl月度違い数"), QStringLiteral("1"));
        QCOMPARE(label(&w, "lblマスタなし数"), QStringLiteral("0"));
        QCOMPARE(label(&w, "lbl正常数"), QStringLiteral("0"));
        QVERIFY(btn(&w, "cmd収集一覧")->isEnabled());
        QVERIFY(btn(&w, "cmd重複削除")->isEnabled());
        QVERIFY(btn(&w, "cmd月違い一覧")->isEnabled());
        QVERIFY(btn(&w, "cmd未処理削除")->isEnabled());
        QVERIFY(!btn(&w, "cmdマスタなし一覧")->isEnabled());
        QCOMPARE(btn(&w, "cmdデータ収集")->text(), QStringLiteral("データ収集開始"));
    }

    void collectThroughTheLanScreenMarksDuplicates()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        ScriptedDialogs dlg;
        RecorderSimulator sim;
        const QString a = rec(QStringLiteral("0114083000"));
        sim.setPunches({a, a, a, rec(QStringLiteral("0114173000"), 1, 1), rec(QStringLiteral("0114083100"), 2)});
        QVERIFY(sim.listen(0));
        useRecorder(sim.port());
        frmDataInput w;
        QTest::mouseClick(btn(&w, "cmdデータ収集"), Qt::LeftButton);
        QCOMPARE(dlg.messages().size(), 1);
        QCOMPARE(dlg.last().text, QStringLiteral("正常終了しました。"));
        QCOMPARE(dlg.last().title, QStringLiteral("データ収集"));
        QCOMPARE(dlg.last().icon, Dialogs::Icon::Information);
        QCOMPARE(label(&w, "lbl収集数"), QStringLiteral("3"));
        QCOMPARE(label(&w, "lbl重複数"), QStringLiteral("2"));
        QVERIFY(sim.punches().isEmpty());
        QVERIFY(errorLog().isEmpty());
    }

    void failedCollectionsAreReportedAndLogged_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("waiting");
        QTest::addColumn<QString>("message");
        QTest::newRow("256") << int(RecorderSimulator::Silent) << 0 << QStringLiteral("応答受信がありません。");
        QTest::newRow("512") << int(RecorderSimulator::WrongStatus) << 0 << QStringLiteral("応答受信が誤っています！");
        QTest::newRow("1536") << int(RecorderSimulator::CloseMidRead) << 0
                              << QStringLiteral("タイムレコーダ側が切断されました！");
        QTest::newRow("1792") << -1 << 0 << QStringLiteral("タイムレコーダと接続できません！");
        QTest::newRow("2304") << int(RecorderSimulator::NoFault) << 9990
                              << QStringLiteral(
                                     "データ件数が10000件を超えます！\r\n収集データのデータ処理を行ってください。");
        QTest::newRow("2560") << -2 << 0 << QStringLiteral("年度が違うデータがありました。");
        QTest::newRow("3840") << int(RecorderSimulator::ExtraRecords) << 0
                              << QStringLiteral("通信エラー 発生！\r\nErr : インデックスが有効範囲にありません。");
    }

    void failedCollectionsAreReportedAndLogged()
    {
        QFETCH(int, fault);
        QFETCH(int, waiting);
        QFETCH(QString, message);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        ScriptedDialogs dlg;
        RecorderSimulator sim;
        RecorderSimulator::Options o;
        o.fault = fault >= 0 ? RecorderSimulator::Fault(fault) : RecorderSimulator::NoFault;
        o.recordsPerMessage = 100;
        o.gapMs = 1;
        sim.setOptions(o);
        QStringList held =
            RecorderSimulator::generate(fault == int(RecorderSimulator::ExtraRecords) ? 10002 : 11, Clock::today());
        if (fault == -2)
            held << rec(QStringLiteral("0230100000"));
        sim.setPunches(held);
        QVERIFY(sim.listen(0));
        useRecorder(sim.port());
        if (fault == -1) {
            QTcpServer gone;
            QVERIFY(gone.listen(QHostAddress::LocalHost, 0));
            g_install.recorderPort = gone.serverPort();
        }
        if (waiting) {
            QVERIFY(dbs().intake.begin());
            for (int i = 0; i < waiting; ++i)
                addIntake("01", "05", "000000009", i % 2 ? "未" : "03");
            QVERIFY(dbs().intake.commit());
        }
        frmDataInput w;
        QTest::mouseClick(btn(&w, "cmdデータ収集"), Qt::LeftButton);
        QCOMPARE(dlg.messages().size(), 1);
        QCOMPARE(dlg.last().text, message);
        QCOMPARE(dlg.last().title, QStringLiteral("データ収集"));
        QCOMPARE(dlg.last().icon, Dialogs::Icon::Exclamation);
        QCOMPARE(errorLog(), QStringLiteral("2010/01/15 10:20:30 ： ") + message + QStringLiteral("\r\n"));
    }

    void noLinkScreenForTheKindSaysSo()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        ScriptedDialogs dlg;
        g_install.linkKind = LinkUsb;
        frmDataInput::setLinkScreen(LinkUsb, {}); // as when no USB screen is built in
        frmDataInput w;
        w.cmdデータ収集_Click();
        QCOMPARE(dlg.last().text, QStringLiteral("ドライバが使用できません。 (429)"));
        g_install.linkKind = LinkLan;
    }

    void processMovesLabelsAndWarnsOfLeapDays()
    {
        qputenv("CORVAN21_NOW", "2011-01-10T09:00:00");
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201101")));
        CalcoloCom::setLogPaths(Clock::today());
        ScriptedDialogs dlg;
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','A','000000001','01','1')")));
        addIntake("12", "25", "000000001", "未"); // moved
        addIntake("01", "20", "000000001", "重"); // moved
        addIntake("01", "05", "000000007", "未"); // no master
        addIntake("02", "29", "000000001", "未"); // other month, and a day 2010 lacked
        addIntake("03", "01", "000000008", "未"); // neither
        frmDataInput w;
        QTest::mouseClick(btn(&w, "cmdデータ処理"), Qt::LeftButton);
        QCOMPARE(label(&w, "lbl正常数"), QStringLiteral("2"));
        QCOMPARE(label(&w, "lbl未処理数"), QStringLiteral("3"));
        QCOMPARE(label(&w, "lblマスタなし数"), QStringLiteral("2"));
        QCOMPARE(label(&w, "lbl月度違い数"), QStringLiteral("1"));
        QCOMPARE(label(&w, "lbl収集数"), QStringLiteral("0"));
        QCOMPARE(dlg.messages().size(), 1);
        QCOMPARE(dlg.last().text, QStringLiteral("年度が違うデータがありました。\r"));
        QVector<QStringList> moved;
        QVERIFY(dbs().monthly.select(QStringLiteral("SELECT 月, 日 FROM タイムカード ORDER BY rowid"), moved));
        QCOMPARE(moved, (QVector<QStringList>{{"12", "25"}, {"01", "20"}}));
    }

    void deletesAskFirst()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        ScriptedDialogs dlg;
        addIntake("01", "10", "000000001", "重");
        addIntake("01", "11", "000000001", "02");
        addIntake("01", "12", "000000001", "未");
        frmDataInput w;
        dlg.answer(Dialogs::Answer::No);
        QTest::mouseClick(btn(&w, "cmd重複削除"), Qt::LeftButton);
        QCOMPARE(dlg.last().text, QStringLiteral("削除しますか。"));
        QCOMPARE(dlg.last().title, QStringLiteral("削除確認"));
        QCOMPARE(dlg.last().icon, Dialogs::Icon::Critical);
        QCOMPARE(dlg.last().defaultButton, 2);
        QCOMPARE(label(&w, "lbl重複数"), QStringLiteral("1"));
        dlg.answer(Dialogs::Answer::Yes);
        QTest::mouseClick(btn(&w, "cmd重複削除"), Qt::LeftButton);
        QCOMPARE(label(&w, "lbl重複数"), QStringLiteral("0"));
        QVERIFY(!btn(&w, "cmd重複削除")->isEnabled());
        dlg.answer(Dialogs::Answer::Yes);
        QTest::mouseClick(btn(&w, "cmd未処理削除"), Qt::LeftButton);
        QCOMPARE(label(&w, "lbl未処理数"), QStringLiteral("0"));
        QCOMPARE(label(&w, "lbl収集数"), QStringLiteral("1")); // collected rows are never deleted here
        QVERIFY(dlg.drained());
    }

    void listsOpenByType()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        addIntake("01", "10", "000000001", "01");
        frmDataInput w;
        QList<QPair<int, QString>> opened;
        frmDataInput::setListOpener([&](int t, const QString &title, QWidget *) { opened << qMakePair(t, title); });
        QTest::mouseClick(btn(&w, "cmdマスタなし一覧"), Qt::LeftButton);
        QTest::mouseClick(btn(&w, "cmd未処理一覧"), Qt::LeftButton);
        QCOMPARE(opened, (QList<QPair<int, QString>>{{2, QStringLiteral("マスタなしデータ一覧")},
                                                     {1, QStringLiteral("未処理データ一覧")}}));
    }

    void listPages_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::newRow("14 rows") << 14 << 1;
        QTest::newRow("28 rows") << 28 << 2;
        QTest::newRow("29 rows") << 29 << 3;
    }

    void listPages()
    {
        QFETCH(int, rows);
        QFETCH(int, pages);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        QVERIFY(dbs().intake.begin());
        for (int i = 0; i < rows; ++i)
            addIntake("01", zeroPad(i % 28 + 1, 2), zeroPad(i + 1, 9), "未");
        QVERIFY(dbs().intake.commit());
        frmDataList list(0, QStringLiteral("収集データ一覧"));
        auto *grid = list.findChild<QTableWidget *>(QStringLiteral("grdList"));
        QPushButton *before = btn(&list, "cmdBefore");
        QPushButton *next = btn(&list, "cmdNext");
        QCOMPARE(grid->rowCount(), 14);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("01/01"));
        QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("08:30"));
        QCOMPARE(grid->item(0, 2)->text(), QStringLiteral("000000001"));
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("入"));
        QVERIFY(!before->isEnabled());
        for (int p = 1; p < pages; ++p) {
            QVERIFY(next->isEnabled());
            QTest::mouseClick(next, Qt::LeftButton);
        }
        QCOMPARE(list.page(), pages);
        QVERIFY(!next->isEnabled());
        QCOMPARE(before->isEnabled(), pages > 1);
        const int onLast = rows - (pages - 1) * 14;
        QCOMPARE(grid->item(onLast - 1, 2)->text(), zeroPad(rows, 9));
        if (onLast < 14)
            QCOMPARE(grid->item(onLast, 0)->text(), QString());
    }

    void cardSetHidesThisScreenAndShowsTheCardScreen()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        ScriptedDialogs dlg;
        TestHost host;
        setScreenHost(&host);
        auto *w = new frmDataInput;
        host.showScreen(w);
        QTest::mouseClick(btn(w, "cmdCardSet"), Qt::LeftButton);
        QVERIFY(!w->isVisible());
        auto *card = qobject_cast<frmCardSet *>(host.findScreen(ScreenId::CardSet));
        QVERIFY(card);
        QVERIFY(card->isVisible());
        // a second time the loaded card screen is reused
        host.showScreen(w);
        QTest::mouseClick(btn(w, "cmdCardSet"), Qt::LeftButton);
        QCOMPARE(host.shown.size(), 2);
        setScreenHost(nullptr);
    }

    void cardEditsNotYetSavedSurviveTheWayBackToTheCardScreen()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) "
                                                  "VALUES ('01','000001','山田',' ','01','0')")));
        CalcoloCom::setLogPaths(Clock::today());
        ScriptedDialogs dlg;
        TestHost host;
        setScreenHost(&host);
        auto *w = new frmDataInput;
        host.showScreen(w);
        QTest::mouseClick(btn(w, "cmdCardSet"), Qt::LeftButton);
        auto *card = qobject_cast<frmCardSet *>(host.findScreen(ScreenId::CardSet));
        QVERIFY(card);
        auto *grid = card->findChild<QTableWidget *>(QStringLiteral("VSFlexGrid1"));
        QVERIFY(card->commitCell(0, 3, QStringLiteral("123")));
        QVERIFY(card->isChanged());
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("000000123"));

        // The intake screen comes forward again without the card screen being left through its
        // own button (another window was clicked), then カード番号変更 once more.
        host.showScreen(w);
        QTest::mouseClick(btn(w, "cmdCardSet"), Qt::LeftButton);
        QCOMPARE(host.findScreen(ScreenId::CardSet), card);
        QVERIFY(card->isChanged());
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("000000123"));
        QVERIFY(dlg.messages().isEmpty());

        // Without unsaved edits the screen reads the employees afresh.
        dlg.answer(Dialogs::Answer::Yes);
        QCOMPARE(card->CardSet_check(1), 0); // saves after the question
        QVERIFY(!card->isChanged());
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 (NO, 社員番号, 氏名, カード番号, 区分, 対象) "
                                                  "VALUES ('02','000002','佐藤',' ','01','0')")));
        host.showScreen(w);
        QTest::mouseClick(btn(w, "cmdCardSet"), Qt::LeftButton);
        QCOMPARE(grid->item(1, 1)->text(), QStringLiteral("000002"));
        QCOMPARE(grid->item(0, 3)->text(), QStringLiteral("000000123"));
        setScreenHost(nullptr);
    }
};

QTEST_MAIN(TestDataInput)
#include "tst_datainput.moc"
