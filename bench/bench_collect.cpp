// (a) 10,000 punches collected from the recorder simulator over loopback, marked and
// processed into the month's time cards, against inserting the same 10,000 rows into an
// SQLite table in one transaction.
//
//   bench_collect [rounds]

#include "BenchUtil.h"

#include "common/Common.h"
#include "recorder/CalcoloCom.h"
#include "recorder/Intake.h"
#include "recorder/LanLink.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"
#include "tools/simulator/RecorderSimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kPunches = 10000;

struct Round {
    double collectMs = -1, markMs = 0, processMs = 0, baselineMs = 0;
};

// The same rows as plain inserts through one prepared statement in one transaction.
double baseline(const QString &path, const QStringList &records)
{
    double ms = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("baseline"));
        db.setDatabaseName(path);
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
        q.exec(QStringLiteral("CREATE TABLE t (月 TEXT, 日 TEXT, 時 TEXT, 分 TEXT, 秒 TEXT, IDコード TEXT, 入退 TEXT, "
                              "異例コード TEXT, CR TEXT)"));
        QElapsedTimer t;
        t.start();
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO t VALUES (?,?,?,?,?,?,?,?,?)"));
        for (const QString &s : records) {
            q.addBindValue(s.mid(0, 2));
            q.addBindValue(s.mid(2, 2));
            q.addBindValue(s.mid(4, 2));
            q.addBindValue(s.mid(6, 2));
            q.addBindValue(s.mid(8, 2));
            q.addBindValue(s.mid(10, 9));
            q.addBindValue(s.mid(19, 1));
            q.addBindValue(s.mid(20, 2));
            q.addBindValue(QStringLiteral("\r"));
            q.exec();
        }
        db.commit();
        ms = t.nsecsElapsed() / 1e6;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("baseline"));
    return ms;
}

bool oneRound(Round &out)
{
    TestHome home;
    if (!home.openMonth(QStringLiteral("201001")))
        return false;
    CalcoloCom::setLogPaths(Clock::today());
    for (int c = 1; c <= 20; ++c)
        dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES (?, ?, 'X', ?, '01', '1')"),
                           {zeroPad(c, 2), zeroPad(c, 6), zeroPad(c, 9)});
    RecorderSimulator sim;
    RecorderSimulator::Options o;
    o.recordsPerMessage = 40;
    o.gapMs = 1;
    sim.setOptions(o);
    sim.setPunches(RecorderSimulator::generate(kPunches, Clock::today()));
    const QStringList records = sim.punches();
    if (!sim.listen(0))
        return false;
    out.baselineMs = baseline(home.file(QStringLiteral("baseline.db")), records);

    LanLink link(dbs().intake);
    LanLink::Settings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = sim.port();
    link.setSettings(s);
    QEventLoop loop;
    QObject::connect(&link, &LanLink::finished, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    link.start();
    loop.exec();
    out.collectMs = t.nsecsElapsed() / 1e6;
    if (link.result().code != 0 || link.result().inserted != kPunches || !sim.punches().isEmpty()) {
        std::printf("collection failed: code %d, %d inserted\n", link.result().code, link.result().inserted);
        return false;
    }
    t.restart();
    if (!Intake::markDuplicates(dbs().intake))
        return false;
    out.markMs = t.nsecsElapsed() / 1e6;
    t.restart();
    Intake::ProcessResult r;
    const auto b = Intake::SyorituCal(QStringLiteral("2010"), QStringLiteral("01"), 20, Clock::today());
    if (!Intake::process(dbs().intake, monthlyDbPath(QStringLiteral("201001")), b, Clock::today(), r))
        return false;
    out.processMs = t.nsecsElapsed() / 1e6;
    closeAllDatabases();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    qputenv("CORVAN21_NOW", "2010-01-29T10:00:00");
    std::printf("collection benchmark: %d punches, 40 records a message, 1 ms between messages, %d rounds, %s\n",
                kPunches, rounds, qPrintable(Bench::loadAverage()));
    QVector<Round> all;
    for (int i = 0; i < rounds; ++i) {
        Round r;
        if (!oneRound(r))
            return 1;
        all << r;
        std::printf("  round %d: collection %.1f ms, marking %.1f ms, processing %.1f ms, baseline insert %.1f ms\n",
                    i + 1, r.collectMs, r.markMs, r.processMs, r.baselineMs);
    }
    auto fig = [&](auto member) {
        QVector<double> v;
        for (const Round &r : all)
            v << r.*member;
        std::sort(v.begin(), v.end());
        Bench::Figures f;
        f.bestMs = v.first();
        f.medianMs = v[v.size() / 2];
        return f;
    };
    const Bench::Figures base = fig(&Round::baselineMs);
    Bench::Figures proc = fig(&Round::processMs);
    Bench::Figures markAndProc;
    {
        QVector<double> v;
        for (const Round &r : all)
            v << r.markMs + r.processMs;
        std::sort(v.begin(), v.end());
        markAndProc.bestMs = v.first();
        markAndProc.medianMs = v[v.size() / 2];
    }
    Bench::report("(a) baseline: 10000 inserts, 1 tx", base, nullptr, 0, 0);
    Bench::report("(a) collection incl. connect", fig(&Round::collectMs), nullptr, 0, 2000);
    Bench::report("(a) processing", proc, &base, 5, 0);
    Bench::report("(a) duplicate marking + processing", markAndProc, &base, 5, 0);
    return 0;
}
