#include "TestHome.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run batch(const QString &home, const QStringList &args)
{
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVAN21_HOME"), home);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(CORVAN_BATCH), args);
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()), QString::fromLocal8Bit(p.readAllStandardError())};
}

} // namespace

class TestInit : public QObject
{
    Q_OBJECT
private slots:
    void createsInstallationOnceAndKeepsWhatExists()
    {
        TestHome home(false);
        const Run first = batch(home.path(), {QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("usb"),
                                              QStringLiteral("--command-set"), QStringLiteral("1"),
                                              QStringLiteral("--port"), QStringLiteral("5100")});
        QCOMPARE(first.code, 0);
        for (const char *f : {"data/corvan.mdb", "data/corvan_tmp.mdb", "data/カレンダー.mdb", "corvan21.ini",
                              "corvan21.ico", "boot.bmp", "help/index.html"}) {
            QVERIFY2(QFileInfo::exists(home.file(QString::fromUtf8(f))), f);
            QVERIFY2(first.out.contains(QString::fromUtf8(f)), f);
        }
        QSettings ini(home.file(QStringLiteral("corvan21.ini")), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("Install/LinkKind")).toString(), QStringLiteral("0"));
        QCOMPARE(ini.value(QStringLiteral("Install/CommandSet")).toString(), QStringLiteral("1"));
        QCOMPARE(ini.value(QStringLiteral("Install/RecorderPort")).toString(), QStringLiteral("5100"));

        // A second run changes nothing that exists.
        QFile master(home.file(QStringLiteral("data/corvan.mdb")));
        QVERIFY(master.open(QIODevice::ReadOnly));
        const QByteArray before = master.readAll();
        master.close();
        QFile::remove(home.file(QStringLiteral("boot.bmp")));
        const Run second = batch(home.path(), {QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("lan")});
        QCOMPARE(second.code, 0);
        QVERIFY(second.out.contains(QStringLiteral("boot.bmp")));
        QVERIFY(!second.out.contains(QStringLiteral("corvan.mdb")));
        QVERIFY(master.open(QIODevice::ReadOnly));
        QCOMPARE(master.readAll(), before);
        QSettings again(home.file(QStringLiteral("corvan21.ini")), QSettings::IniFormat);
        QCOMPARE(again.value(QStringLiteral("Install/LinkKind")).toString(), QStringLiteral("0"));
    }

    void badOptionsAndUnwritableFolder()
    {
        TestHome home(false);
        QCOMPARE(batch(home.path(), {QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("serial")}).code, 2);
        QCOMPARE(batch(home.path(), {QStringLiteral("init"), QStringLiteral("--port"), QStringLiteral("0")}).code, 2);
        QCOMPARE(batch(home.path(), {QStringLiteral("init"), QStringLiteral("--colour"), QStringLiteral("x")}).code, 2);
        QVERIFY(!QFileInfo::exists(home.file(QStringLiteral("data"))));

        // /proc refuses new folders even to root.
        const Run r = batch(QStringLiteral("/proc/corvan21-test/inst"), {QStringLiteral("init")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("corvan21-batch init:")));
    }
};

QTEST_GUILESS_MAIN(TestInit)
#include "tst_init.moc"
