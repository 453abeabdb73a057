// The program entry as a process: a second instance ends at once and silently; a first one
// stays up with its window.

#include "AppTestSupport.h"
#include "app/StartupLogic.h"

#include <QLockFile>
#include <QProcess>

class TestEntry : public QObject
{
    Q_OBJECT

    static void start(QProcess &p)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("CORVAN21_TESTING"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CORVAN21_EXE), {});
        QVERIFY(p.waitForStarted());
    }

private slots:
    void secondInstanceEndsSilently()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        QVERIFY(recordSetupCompleted());
        QLockFile running(dataFolder() + QStringLiteral("/corvan21.lock"));
        QVERIFY(running.tryLock(0));
        QProcess p;
        start(p);
        QVERIFY(p.waitForFinished(15000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardError().indexOf("起動エラー") < 0);
    }

    void firstInstanceStaysUp()
    {
        TestHome home;
        QVERIFY(installProgramFiles());
        QVERIFY(recordSetupCompleted());
        QProcess p;
        start(p);
        QVERIFY(!p.waitForFinished(2500)); // the login screen waits for the user
        p.kill();
        p.waitForFinished();
    }
};

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
