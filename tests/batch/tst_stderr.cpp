// What a scripted run (cron, ssh: no XDG_RUNTIME_DIR) finds on standard error: the tool's own
// messages and nothing else, while a real problem that Qt reports still gets through.

#include "store/DbFile.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QByteArray out, err;
};

Run batch(const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CORVAN_BATCH), args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The environment cron gives: no runtime folder, no display.
QProcessEnvironment cronEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

QStringList month(const char *command)
{
    return {QString::fromLatin1(command), QStringLiteral("--month"), QStringLiteral("201012"),
            QStringLiteral("--password"), QStringLiteral("418305")};
}

} // namespace

class TestStderr : public QObject
{
    Q_OBJECT

private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-12-15T09:30:00"); }

    void scriptedRunsWriteOnlyTheirOwnMessages()
    {
        TestHome home;
        const QProcessEnvironment env = cronEnvironment();
        QCOMPARE(batch({QStringLiteral("init")}, env).code, 0);
        QVERIFY(home.openMonth(QStringLiteral("201012")));
        QVERIFY(
            dbs().monthly.exec(QStringLiteral("INSERT INTO 個人 VALUES ('01','000001','社員1','000000001','01','1')")));
        closeAllDatabases();

        const Run process = batch(month("process"), env);
        QCOMPARE(process.code, 0);
        QCOMPARE(process.err, QByteArray());
        const Run exported = batch(month("export") << QStringLiteral("--kind") << QStringLiteral("totals")
                                                   << QStringLiteral("--out") << home.file(QStringLiteral("t.csv")),
                                   env);
        QCOMPARE(exported.code, 0);
        QCOMPARE(exported.err, QByteArray());
        const Run printed = batch(month("print") << QStringLiteral("--report") << QStringLiteral("master")
                                                 << QStringLiteral("--pdf") << home.file(QStringLiteral("m.pdf")),
                                  env);
        QCOMPARE(printed.code, 0);
        QCOMPARE(printed.err, QByteArray());

        // A refusal: its message, alone.
        const Run refused = batch({QStringLiteral("process"), QStringLiteral("--month"), QStringLiteral("201012"),
                                   QStringLiteral("--password"), QStringLiteral("0")},
                                  env);
        QCOMPARE(refused.code, 1);
        QCOMPARE(QString::fromLocal8Bit(refused.err), QStringLiteral("正しいパスワードを入力してください。\n"));
    }

    // A runtime folder that others may enter is a real problem: Qt's warning about it stays.
    void realProblemsStillShow()
    {
        TestHome home;
        QProcessEnvironment env = cronEnvironment();
        const QString runtime = home.file(QStringLiteral("run"));
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                   | QFileDevice::ReadGroup | QFileDevice::ExeGroup
                                                   | QFileDevice::ReadOther | QFileDevice::ExeOther));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        const Run r = batch({QStringLiteral("init")}, env);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains("wrong permissions on runtime directory"), r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestStderr)
#include "tst_stderr.moc"
