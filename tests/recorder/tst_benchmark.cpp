// Wall time of a full collection of 10,000 punches from the simulator and of their processing.
// The bounds are loose (a loaded machine must not fail them); the times are printed.

#include "common/Common.h"
#include "recorder/CalcoloCom.h"
#include "recorder/Intake.h"
#include "recorder/LanLink.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"
#include "tools/simulator/RecorderSimulator.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

class TestBenchmark : public QObject
{
    Q_OBJECT
private slots:
    void tenThousandPunches()
    {
        qputenv("CORVAN21_NOW", "2010-01-29T10:00:00");
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CalcoloCom::setLogPaths(Clock::today());
        // 20 cards, all registered
        for (int c = 1; c <= 20; ++c)
            QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES (?, ?, 'X', ?, '01', '1')"),
                                       {zeroPad(c, 2), zeroPad(c, 6), zeroPad(c, 9)}));
        RecorderSimulator sim;
        RecorderSimulator::Options o;
        o.recordsPerMessage = 40;
        o.gapMs = 1;
        sim.setOptions(o);
        sim.setPunches(RecorderSimulator::generate(10000, Clock::today()));
        QVERIFY(sim.listen(0));

        LanLink link(dbs().intake);
        LanLink::Settings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = sim.port();
        link.setSettings(s);
        QSignalSpy done(&link, &LanLink::finished);
        QElapsedTimer t;
        t.start();
        link.start();
        QVERIFY(done.wait(60000));
        const qint64 collectMs = t.elapsed();
        QCOMPARE(link.result().code, 0);
        QCOMPARE(link.result().inserted, 10000);
        QVERIFY(sim.punches().isEmpty());

        t.restart();
        QVERIFY(Intake::markDuplicates(dbs().intake));
        const qint64 markMs = t.elapsed();

        t.restart();
        Intake::ProcessResult r;
        const auto b = Intake::SyorituCal(QStringLiteral("2010"), QStringLiteral("01"), 20, Clock::today());
        QVERIFY(Intake::process(dbs().intake, monthlyDbPath(QStringLiteral("201001")), b, Clock::today(), r));
        const qint64 processMs = t.elapsed();
        QVector<QStringList> rows;
        QVERIFY(dbs().monthly.select(QStringLiteral("SELECT COUNT(*) FROM タイムカード"), rows));
        Intake::Counts c;
        QVERIFY(Intake::readCounts(dbs().intake, c));
        // every punch is in exactly one place
        QCOMPARE(rows.value(0).value(0).toInt() + c.unprocessed, 10000);
        QCOMPARE(r.moved, rows.value(0).value(0).toInt());

        qInfo("collection of 10000 punches: %lld ms (including 300 ms of send delays and the connect)", collectMs);
        qInfo("duplicate marking: %lld ms; processing (%d moved): %lld ms", markMs, r.moved, processMs);
        QVERIFY(collectMs < 15000);
        QVERIFY(processMs < 10000);
    }
};

QTEST_GUILESS_MAIN(TestBenchmark)
#include "tst_benchmark.moc"
