// The data folder's lock between the program and corvan21-batch, with the real programs: the
// batch's writing commands refuse while the program runs (an open editor would save its old
// copy of a day over the punches they move in) and run once it has ended; the program is told
// when a batch command writes; a lock left by a killed run blocks nothing.

#include "AppTestSupport.h"
#include "app/StartupLogic.h"
#include "common/ProgramLock.h"
#include "tests/support/ProgramRuns.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QProcess>
#include <QSettings>

namespace {

const QString kCard = QStringLiteral("000000001");

QStringList batchArgs(const char *command)
{
    return {QString::fromLatin1(command), QStringLiteral("--month"), QStringLiteral("201012"),
            QStringLiteral("--password"), QStringLiteral("418305")};
}

ProgramRuns::Run batch(const QStringList &args) { return ProgramRuns::run(QStringLiteral(CORVAN_BATCH), args); }

// Waits until the lock is held by that process.
bool lockHeldBy(qint64 pid)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 15000) {
        QLockFile probe(dataFolder() + QStringLiteral("/corvan21.lock"));
        qint64 holder = 0;
        QString host, app;
        if (probe.getLockInfo(&holder, &host, &app) && holder == pid)
            return true;
        QTest::qWait(20);
    }
    return false;
}

// The month with an employee, the in punch of 12/09 stored, its out punch waiting in the
// intake table; every database closed again.
bool prepareMonth(TestHome &home)
{
    if (!home.openMonth(QStringLiteral("201012")))
        return false;
    const bool ok =
        dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','社員1',?,'01','1')"), {kCard})
        && dbs().monthly.exec(
            QStringLiteral("INSERT INTO タイムカード VALUES ('12','09','08','50','00',?,'0','00','0')"), {kCard})
        && dbs().intake.exec(
            QStringLiteral("INSERT INTO タイムカードテンプ (月,日,時,分,秒,IDコード,入退,異例コード,CR,移行マーク) "
                           "VALUES ('12','09','18','05','00',?,'1','00','\r','未')"),
            {kCard});
    closeAllDatabases();
    return ok;
}

// The punches of 12/09 in タイムカード ("hhmm in/out") and the rows waiting in the intake table.
QStringList storedDay()
{
    Database db;
    if (!db.open(monthlyDbPath(QStringLiteral("201012"))))
        return {QStringLiteral("<no month>")};
    QVector<QStringList> rows;
    db.select(QStringLiteral(
                  "SELECT 時 || 分 || ' ' || 入退 FROM タイムカード WHERE 月 = '12' AND 日 = '09' ORDER BY 時, 分"),
              rows);
    QStringList out;
    for (const QStringList &r : rows)
        out << r.value(0);
    return out;
}
int waitingRows()
{
    Database db;
    QVector<QStringList> rows;
    if (!db.open(intakeDbPath()) || !db.select(QStringLiteral("SELECT COUNT(*) FROM タイムカードテンプ"), rows))
        return -1;
    return rows.value(0).value(0).toInt();
}

void startProgram(QProcess &p)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("CORVAN21_TESTING"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CORVAN21_EXE), {});
}

void killNow(QProcess &p)
{
    p.kill(); // no chance to give the lock back: it is left behind, stale
    p.waitForFinished(5000);
}

} // namespace

class TestProgramLock : public QObject
{
    Q_OBJECT

private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-12-15T09:30:00"); }

    void batchWritesOnlyWhenTheProgramIsNotRunning()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        QVERIFY(recordSetupCompleted());
        QVERIFY(prepareMonth(home));
        QProcess program;
        startProgram(program);
        QVERIFY(program.waitForStarted());
        QVERIFY(lockHeldBy(program.processId()));

        const auto refused = batch(batchArgs("process"));
        QCOMPARE(refused.exitCode, 1);
        QVERIFY2(refused.err.contains(QStringLiteral("corvan21 (pid %1) is running").arg(program.processId())),
                 qPrintable(refused.err));
        QVERIFY(refused.err.contains(QStringLiteral("nothing was processed")));
        QVERIFY(refused.out.isEmpty());
        QCOMPARE(storedDay(), QStringList{QStringLiteral("0850 0")});
        QCOMPARE(waitingRows(), 1);
        const auto collect = batch(batchArgs("collect"));
        QCOMPARE(collect.exitCode, 1);
        QVERIFY2(collect.err.contains(QStringLiteral("nothing was collected")), qPrintable(collect.err));

        // Reading commands may run beside the program.
        const auto exported =
            batch(batchArgs("export") << QStringLiteral("--kind") << QStringLiteral("totals") << QStringLiteral("--out")
                                      << home.file(QStringLiteral("totals.csv")));
        QVERIFY2(exported.exitCode == 0, qPrintable(exported.err));
        QVERIFY(QFile::exists(home.file(QStringLiteral("totals.csv"))));

        // The program dies without giving the lock back; its stale lock blocks nothing.
        killNow(program);
        QVERIFY(QFile::exists(dataFolder() + QStringLiteral("/corvan21.lock")));
        const auto done = batch(batchArgs("process"));
        QVERIFY2(done.exitCode == 0, qPrintable(done.err));
        QVERIFY(done.out.contains(QStringLiteral("正常データ数 1")));
        QCOMPARE(storedDay(), (QStringList{QStringLiteral("0850 0"), QStringLiteral("1805 1")}));
        QCOMPARE(waitingRows(), 0);
        QVERIFY(!QFile::exists(dataFolder() + QStringLiteral("/corvan21.lock"))); // given back
    }

    void theProgramIsToldWhatHoldsTheData()
    {
        TestHome home;
        QVERIFY(prepareMonth(home));
        // A slow recorder keeps the collection, and so the lock, busy for some seconds.
        const QString punches = home.file(QStringLiteral("punches.txt"));
        {
            QFile f(punches);
            QVERIFY(f.open(QIODevice::WriteOnly));
            for (int i = 0; i < 12; ++i) // MMDD hhmmss, card, in, code
                f.write((QStringLiteral("121408%1").arg(i, 2, 10, QLatin1Char('0')) + QStringLiteral("00") + kCard
                         + QStringLiteral("000\n"))
                            .toLatin1());
        }
        QProcess sim;
        const quint16 port =
            ProgramRuns::startSimulator(sim, QStringLiteral(CORVAN_SIM),
                                        {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--punches"),
                                         punches, QStringLiteral("--gap"), QStringLiteral("400")});
        QVERIFY(port);
        QVERIFY(installProgramFiles());
        {
            QSettings ini(installSettingsPath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Install/RecorderPort"), QString::number(port));
        }
        QVERIFY(setUserSetting(UserKey::IP_adrs, QStringLiteral("127.0.0.1")));

        QProcess collecting;
        collecting.start(QStringLiteral(CORVAN_BATCH), batchArgs("collect"));
        QVERIFY(collecting.waitForStarted());
        QVERIFY(lockHeldBy(collecting.processId()));

        ProgramLock lock;
        const ProgramLock::Outcome held = lock.take();
        QCOMPARE(held, ProgramLock::Outcome::HeldByBatch);
        QCOMPARE(lock.holderPid(), collecting.processId());
        const QString message = programStartRefusal(lock, held);
        QCOMPARE(message, QStringLiteral("corvan21-batch (pid %1) がデータを処理中のため、起動できません。\n"
                                         "処理が終わってから起動して下さい。")
                              .arg(collecting.processId()));

        const auto second = batch(batchArgs("process"));
        QCOMPARE(second.exitCode, 1);
        QVERIFY2(
            second.err.contains(QStringLiteral("another run, corvan21-batch (pid %1)").arg(collecting.processId())),
            qPrintable(second.err));
        QCOMPARE(waitingRows() >= 1, true);

        // The collecting run is killed: its stale lock is taken over at once.
        QVERIFY(collecting.state() == QProcess::Running);
        killNow(collecting);
        QVERIFY(QFile::exists(lock.path()));
        ProgramLock after;
        QCOMPARE(after.take(), ProgramLock::Outcome::Taken);
        ProgramRuns::stopSimulator(sim);
    }

    // A second start of the program still ends without a word.
    void anotherProgramOrUnknownHolderSaysNothing()
    {
        TestHome home;
        QLockFile other(dataFolder() + QStringLiteral("/corvan21.lock"));
        QVERIFY(other.tryLock(0)); // held by this test program: not a batch command
        ProgramLock lock;
        const ProgramLock::Outcome held = lock.take();
        QVERIFY(held != ProgramLock::Outcome::Taken);
        QVERIFY(held != ProgramLock::Outcome::HeldByBatch);
        QVERIFY(programStartRefusal(lock, held).isEmpty());
    }
};

QTEST_MAIN(TestProgramLock)
#include "tst_programlock.moc"
