// corvan21-sim and corvan21-batch collect/process run as programs, the way a user or a script
// runs them.

#include "common/Common.h"
#include "common/SjisText.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/ProgramRuns.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

quint16 startSim(QProcess &p, const QStringList &args)
{
    return ProgramRuns::startSimulator(p, QStringLiteral(CORVAN_SIM), args);
}

QString batch(const QStringList &args, int *rc)
{
    const ProgramRuns::Run r = ProgramRuns::run(QStringLiteral(CORVAN_BATCH), args);
    *rc = r.exitCode;
    return r.out;
}

QStringList lines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestPrograms : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-01-15T10:20:30"); }

    void batchCollectAndProcessAgainstTheSimulatorProgram()
    {
        TestHome home;
        QVERIFY(home.ok());
        const QString punches = home.file(QStringLiteral("punches.txt"));
        {
            QFile f(punches);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("# two punches of card 1, one of a card with a quote, one repeated\n"
                    "0114083000000000001000\n0114173000000000001100\n011409000012'456789000\n0114173000000000001100\n");
        }
        const QString state = home.file(QStringLiteral("held.txt"));
        QProcess sim;
        const quint16 port = startSim(
            sim, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--command-set"), QStringLiteral("1"),
                  QStringLiteral("--punches"), punches, QStringLiteral("--state-file"), state});
        QVERIFY(port);
        QCOMPARE(lines(state).size(), 4);

        int rc = -1;
        batch({QStringLiteral("init"), QStringLiteral("--command-set"), QStringLiteral("1"), QStringLiteral("--port"),
               QString::number(port)},
              &rc);
        QCOMPARE(rc, 0);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','A','000000001','01','1')")));
        closeAllDatabases();

        const QString out = batch({QStringLiteral("collect"), QStringLiteral("--month"), QStringLiteral("201001"),
                                   QStringLiteral("--password"), QStringLiteral("418305")},
                                  &rc);
        QCOMPARE(rc, 0);
        QVERIFY2(out.contains(QStringLiteral("結果コード 0")), qPrintable(out));
        QVERIFY(out.contains(QStringLiteral("収集データ数 3")));
        QVERIFY(out.contains(QStringLiteral("重複データ数 1")));
        QVERIFY(lines(state).isEmpty()); // erased by the delete conversation

        const QString out2 = batch({QStringLiteral("process"), QStringLiteral("--month"), QStringLiteral("201001"),
                                    QStringLiteral("--password"), QStringLiteral("418305")},
                                   &rc);
        QCOMPARE(rc, 0);
        QVERIFY2(out2.contains(QStringLiteral("正常データ数 3")), qPrintable(out2));
        QVERIFY(out2.contains(QStringLiteral("マスタなしデータ数 1")));

        QFile log(home.file(QStringLiteral("data/E201001.log")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = SjisText::decode(log.readAll());
        QVERIFY(text.contains(QStringLiteral("→ 000000  NUMU")));
        QVERIFY(text.contains(QStringLiteral("→ 000000  DELE")));
        ProgramRuns::stopSimulator(sim);
    }

    // corvan21-batch collect against the simulator program whose messages reach it merged or
    // cut: the collection succeeds the first time and the recorder is erased.
    void collectionWithMergedOrCutMessages_data()
    {
        QTest::addColumn<QString>("delivery");
        QTest::addColumn<QString>("set");
        for (const char *set : {"0", "1"}) {
            QTest::addRow("merged, set %s", set) << QStringLiteral("merged") << QString::fromLatin1(set);
            QTest::addRow("cut, set %s", set) << QStringLiteral("cut") << QString::fromLatin1(set);
        }
    }

    void collectionWithMergedOrCutMessages()
    {
        QFETCH(QString, delivery);
        QFETCH(QString, set);
        TestHome home;
        const QString state = home.file(QStringLiteral("held.txt"));
        QProcess sim;
        const quint16 port = startSim(
            sim, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--command-set"), set,
                  QStringLiteral("--generate"), QStringLiteral("300"), QStringLiteral("--per-message"),
                  QStringLiteral("7"), QStringLiteral("--delivery"), delivery, QStringLiteral("--state-file"), state});
        QVERIFY(port);
        int rc = -1;
        batch({QStringLiteral("init"), QStringLiteral("--command-set"), set, QStringLiteral("--port"),
               QString::number(port)},
              &rc);
        QCOMPARE(rc, 0);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
        const QString out = batch({QStringLiteral("collect"), QStringLiteral("--month"), QStringLiteral("201001"),
                                   QStringLiteral("--password"), QStringLiteral("418305")},
                                  &rc);
        QVERIFY2(rc == 0, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("受信データ数 300")), qPrintable(out));
        QVERIFY(lines(state).isEmpty());
        ProgramRuns::stopSimulator(sim);
    }

    void wrongPasswordAndAFailedCollection()
    {
        TestHome home;
        QProcess sim;
        const QString state = home.file(QStringLiteral("held.txt"));
        const quint16 port = startSim(sim, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--generate"),
                                            QStringLiteral("6"), QStringLiteral("--fault"),
                                            QStringLiteral("close-mid-read"), QStringLiteral("--state-file"), state});
        QVERIFY(port);
        int rc = -1;
        batch({QStringLiteral("init"), QStringLiteral("--port"), QString::number(port)}, &rc);
        QCOMPARE(rc, 0);
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
        batch({QStringLiteral("collect"), QStringLiteral("--month"), QStringLiteral("201001"),
               QStringLiteral("--password"), QStringLiteral("nope")},
              &rc);
        QCOMPARE(rc, 1);
        const QString out = batch({QStringLiteral("collect"), QStringLiteral("--month"), QStringLiteral("201001"),
                                   QStringLiteral("--password"), QStringLiteral("418305")},
                                  &rc);
        QCOMPARE(rc, 1);
        QVERIFY2(out.contains(QStringLiteral("結果コード 1536")), qPrintable(out));
        QCOMPARE(lines(state).size(), 6); // the recorder still holds every punch
        QFile err(home.file(QStringLiteral("data/E201001.err")));
        QVERIFY(err.open(QIODevice::ReadOnly));
        QCOMPARE(SjisText::decode(err.readAll()),
                 QStringLiteral("2010/01/15 10:20:30 ： タイムレコーダ側が切断されました！\r\n"));
        ProgramRuns::stopSimulator(sim);
    }

    // The processing is killed at moments spread over its run; whatever the moment, every punch
    // is afterwards either in the intake table or in タイムカード, exactly once.
    void killedProcessingLosesAndDuplicatesNothing()
    {
        constexpr int kPunches = 6000;
        for (int delay : {30, 130, 180, 260, 400, 3000}) {
            TestHome home;
            int rc = -1;
            batch({QStringLiteral("init")}, &rc);
            QCOMPARE(rc, 0);
            QVERIFY(home.openMonth(QStringLiteral("201001")));
            QVERIFY(
                dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','A','000000001','01','1')")));
            QVERIFY(dbs().intake.begin());
            for (int i = 0; i < kPunches; ++i)
                QVERIFY(dbs().intake.exec(
                    QStringLiteral(
                        "INSERT INTO タイムカードテンプ (月,日,時,分,秒,IDコード,入退,異例コード,CR,移行マーク) "
                        "VALUES ('01', ?, ?, ?, ?, '000000001', '0', '00', '\r', '未')"),
                    {zeroPad(i % 20 + 1, 2), zeroPad(i / 3600, 2), zeroPad(i / 60 % 60, 2), zeroPad(i % 60, 2)}));
            QVERIFY(dbs().intake.commit());
            closeAllDatabases();

            QProcess p;
            p.start(QStringLiteral(CORVAN_BATCH),
                    {QStringLiteral("process"), QStringLiteral("--month"), QStringLiteral("201001"),
                     QStringLiteral("--password"), QStringLiteral("418305")});
            QVERIFY(p.waitForStarted());
            QTest::qWait(delay);
            p.kill();
            p.waitForFinished();

            const bool hotJournal = QFile::exists(intakeDbPath() + QStringLiteral("-journal"));
            QVERIFY(home.openMonth(QStringLiteral("201001"))); // a hot journal is rolled back here
            QVERIFY(
                dbs().intake.exec(QStringLiteral("ATTACH DATABASE ? AS m"), {monthlyDbPath(QStringLiteral("201001"))}));
            QVector<QStringList> r;
            QVERIFY(
                dbs().intake.select(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT k) FROM ("
                                                   "SELECT 日 || 時 || 分 || 秒 AS k FROM タイムカードテンプ UNION ALL "
                                                   "SELECT 日 || 時 || 分 || 秒 FROM m.タイムカード)"),
                                    r));
            QCOMPARE(r.value(0).value(0).toInt(), kPunches);
            QCOMPARE(r.value(0).value(1).toInt(), kPunches);
            QVector<QStringList> moved;
            dbs().intake.select(QStringLiteral("SELECT COUNT(*) FROM m.タイムカード"), moved);
            qInfo("killed after %d ms: %s of %d moved, journal left behind: %s", delay,
                  qPrintable(moved.value(0).value(0)), kPunches, hotJournal ? "yes" : "no");
            dbs().intake.exec(QStringLiteral("DETACH DATABASE m"));
        }
    }
};

QTEST_GUILESS_MAIN(TestPrograms)
#include "tst_programs.moc"
