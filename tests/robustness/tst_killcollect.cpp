// corvan21-batch collect and process killed (SIGKILL) at random moments while a few thousand
// punches go from the recorder simulator through the intake table into タイムカード. After
// every kill each punch the simulator held is still somewhere, no table holds it twice, and
// every database file passes its integrity check; after a last complete collection and
// processing each punch is in タイムカード exactly once and the recorder is empty.

#include "common/Common.h"
#include "store/DbFile.h"
#include "store/ExFile.h"
#include "tests/support/ProgramRuns.h"
#include "tests/support/TestHome.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

namespace {

constexpr int kPunches = 3000;

// 22 characters each: MMDDhhmmss, card, in/out, exception code; all in January 2010 between
// 08:00 and 09:47, so that no date adjustment changes them.
QStringList punchRecords()
{
    QStringList r;
    for (int i = 0; i < kPunches; ++i) {
        const int rest = i / 28;
        r << QStringLiteral("01") + zeroPad(i % 28 + 1, 2) + zeroPad(8 + rest / 60, 2) + zeroPad(rest % 60, 2)
                 + QStringLiteral("00") + zeroPad(i % 20 + 1, 9) + QString::number(i % 2) + QStringLiteral("00");
    }
    return r;
}

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QByteArray &l : f.readAll().split('\n'))
        if (!l.trimmed().isEmpty())
            out << QString::fromLatin1(l.left(22));
    return out;
}

QStringList login(const QString &command)
{
    return {command, QStringLiteral("--month"), QStringLiteral("201001"), QStringLiteral("--password"),
            QStringLiteral("418305")};
}

// Runs a batch command and kills it after killAfterMs (if still running); true when killed.
bool killedRun(const QString &command, int killAfterMs)
{
    ProgramRuns::Options o;
    o.killAfterMs = killAfterMs;
    return ProgramRuns::run(QStringLiteral(CORVAN_BATCH), login(command), o).exitCode == -3;
}

struct Places {
    QStringList sim, intake, intakeLive, cards; // intakeLive: rows not marked as duplicates
    bool integrity = true;
    QString why;
};

QStringList keys(Database &db, const QString &sql)
{
    QVector<QStringList> rows;
    db.select(sql, rows);
    QStringList k;
    for (const QStringList &r : rows)
        k << r.value(0);
    return k;
}

bool integrityOk(const QString &path)
{
    Database db;
    if (!db.open(path)) // also rolls back a hot journal left by the kill
        return false;
    QVector<QStringList> r;
    return db.select(QStringLiteral("PRAGMA integrity_check"), r) && r.value(0).value(0) == QLatin1String("ok");
}

Places look(const QString &stateFile)
{
    Places p;
    for (const QString &f : {masterDbPath(), monthlyDbPath(QStringLiteral("201001")), intakeDbPath()})
        if (QFile::exists(f) && !integrityOk(f)) {
            p.integrity = false;
            p.why += f + QLatin1Char(' ');
        }
    p.sim = readLines(stateFile);
    const QString k = QStringLiteral("月 || 日 || 時 || 分 || 秒 || IDコード || 入退 || 異例コード");
    Database in;
    if (in.open(intakeDbPath())) {
        p.intake = keys(in, QStringLiteral("SELECT ") + k + QStringLiteral(" FROM タイムカードテンプ"));
        p.intakeLive = keys(in, QStringLiteral("SELECT ") + k
                                    + QStringLiteral(" FROM タイムカードテンプ WHERE 移行マーク <> '重'"));
    }
    Database m;
    if (QFile::exists(monthlyDbPath(QStringLiteral("201001"))) && m.open(monthlyDbPath(QStringLiteral("201001"))))
        p.cards = keys(m, QStringLiteral("SELECT ") + k + QStringLiteral(" FROM タイムカード"));
    return p;
}

int repeats(const QStringList &l) { return int(l.size() - QSet<QString>(l.begin(), l.end()).size()); }

} // namespace

class TestKillCollect : public QObject
{
    Q_OBJECT
private slots:
    void killedCollectionAndProcessingKeepEveryPunchOnce()
    {
        qputenv("CORVAN21_NOW", "2010-01-29T10:00:00");
        TestHome home;
        const QStringList all = punchRecords();
        const QString punches = home.file(QStringLiteral("punches.txt"));
        {
            QFile f(punches);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(all.join(QLatin1Char('\n')).toLatin1() + '\n');
        }
        const QString state = home.file(QStringLiteral("held.txt"));
        QProcess sim;
        // Short pauses between the simulator's messages spread the kill moments over the whole
        // conversation, the recorder's erase included.
        const quint16 port = ProgramRuns::startSimulator(
            sim, QStringLiteral(CORVAN_SIM),
            {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--punches"), punches,
             QStringLiteral("--per-message"), QStringLiteral("40"), QStringLiteral("--gap"), QStringLiteral("2"),
             QStringLiteral("--state-file"), state});
        QVERIFY(port);
        QCOMPARE(readLines(state).size(), kPunches);
        {
            QProcess init;
            init.start(QStringLiteral(CORVAN_BATCH),
                       {QStringLiteral("init"), QStringLiteral("--port"), QString::number(port)});
            QVERIFY(init.waitForFinished(30000));
            QCOMPARE(init.exitCode(), 0);
        }
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        // closing at the month's end: every punch belongs to the processing month
        QVERIFY(dbs().master.exec(QStringLiteral("UPDATE 会社 SET 締日 = '31'")));
        QVERIFY(dbs().monthly.exec(QStringLiteral("UPDATE 会社 SET 締日 = '31'")));
        for (int c = 1; c <= 20; ++c)
            QVERIFY(dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES (?, ?, 'X', ?, '01', '1')"),
                                       {zeroPad(c, 2), zeroPad(c, 6), zeroPad(c, 9)}));
        closeAllDatabases();

        const QSet<QString> expected(all.begin(), all.end());
        auto *rng = QRandomGenerator::global();
        const quint32 seed = rng->generate();
        QRandomGenerator r(seed);
        qInfo("kill moments from seed %u", seed);
        int kills = 0, bothPlaces = 0, awaitingDrop = 0;
        QSet<QString> broughtAgain; // punches the recorder still held after they were collected
        auto check = [&](const char *after, int delay) {
            const Places p = look(state);
            QVERIFY2(p.integrity, qPrintable(p.why));
            QCOMPARE(repeats(p.sim), 0);
            QCOMPARE(repeats(p.intakeLive), 0);
            QCOMPARE(repeats(p.cards), 0);
            QSet<QString> held(p.sim.begin(), p.sim.end());
            const QSet<QString> intake(p.intakeLive.begin(), p.intakeLive.end());
            const QSet<QString> cards(p.cards.begin(), p.cards.end());
            // In the recorder and also collected: the kill fell after the intake commit and before
            // the recorder erased its memory; the next collection brings them again.
            const QSet<QString> collectedAndHeld = held & (intake | cards);
            if (!collectedAndHeld.isEmpty())
                ++bothPlaces;
            broughtAgain |= collectedAndHeld;
            // Such a punch, once processed, can come into the intake table a second time; the
            // duplicate marking compares the intake rows only, and the processing drops it
            // instead of moving it again. Any other punch is never in both tables.
            const QSet<QString> inBoth = intake & cards;
            QVERIFY2(
                (inBoth - broughtAgain).isEmpty(),
                qPrintable(QStringLiteral("%1 punches both in the intake table and in タイムカード after %2 killed "
                                          "at %3 ms without being collected twice")
                               .arg((inBoth - broughtAgain).size())
                               .arg(QString::fromLatin1(after))
                               .arg(delay)));
            if (!inBoth.isEmpty())
                ++awaitingDrop;
            const QSet<QString> everywhere = held | intake | cards;
            const QSet<QString> lost = expected - everywhere;
            QVERIFY2(lost.isEmpty(), qPrintable(QStringLiteral("%1 punches lost after %2 killed at %3 ms, e.g. %4")
                                                    .arg(lost.size())
                                                    .arg(QString::fromLatin1(after))
                                                    .arg(delay)
                                                    .arg(lost.isEmpty() ? QString() : *lost.begin())));
            QVERIFY((everywhere - expected).isEmpty());
        };
        for (int i = 0; i < 8; ++i) {
            const int d1 = int(r.bounded(30, 500));
            kills += killedRun(QStringLiteral("collect"), d1);
            qInfo("collect killed at %d ms", d1);
            check("collect", d1);
            if (QTest::currentTestFailed())
                return;
            const int d2 = int(r.bounded(20, 300));
            kills += killedRun(QStringLiteral("process"), d2);
            check("process", d2);
            if (QTest::currentTestFailed())
                return;
        }
        // A last full collection and processing settle everything, the first time: messages
        // that reach the collection together or cut are taken apart as they were sent.
        const ProgramRuns::Run last = ProgramRuns::run(QStringLiteral(CORVAN_BATCH), login(QStringLiteral("collect")));
        QVERIFY2(last.exitCode == 0, qPrintable(last.out.simplified()));
        QCOMPARE(ProgramRuns::run(QStringLiteral(CORVAN_BATCH), login(QStringLiteral("process"))).exitCode, 0);
        const Places p = look(state);
        qInfo("at the end: %lld held, %lld in the intake table, %lld in タイムカード", qlonglong(p.sim.size()),
              qlonglong(p.intake.size()), qlonglong(p.cards.size()));
        QVERIFY(p.integrity);
        QCOMPARE(p.sim.size(), 0);
        QCOMPARE(QSet<QString>(p.cards.begin(), p.cards.end()), expected);
        // A complete processing leaves no punch in the intake table that タイムカード holds.
        QVERIFY(
            (QSet<QString>(p.intakeLive.begin(), p.intakeLive.end()) & QSet<QString>(p.cards.begin(), p.cards.end()))
                .isEmpty());
        // Punches collected again after a kill between the intake commit and the recorder's
        // erase are not moved into タイムカード a second time.
        QCOMPARE(repeats(p.cards), 0);
        qInfo("%d of 16 runs killed; %d times punches were both in the recorder and collected, %d times collected "
              "again after processing",
              kills, bothPlaces, awaitingDrop);
        ProgramRuns::stopSimulator(sim);
    }
};

QTEST_GUILESS_MAIN(TestKillCollect)
#include "tst_killcollect.moc"
