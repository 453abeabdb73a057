// corvan21-batch init and collect for a USB installation, against corvan21-sim --usb, run as
// programs the way an installer or a script runs them.

#include "common/Common.h"
#include "store/DbFile.h"
#include "tests/support/ProgramRuns.h"
#include "tests/support/TestHome.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <sys/mman.h>

namespace {

QString batch(const QStringList &args, int *rc)
{
    const ProgramRuns::Run r = ProgramRuns::run(QStringLiteral(CORVAN_BATCH), args);
    *rc = r.exitCode;
    return r.out + r.err;
}

bool startSim(QProcess &p, const QStringList &args)
{
    p.start(QStringLiteral(CORVAN_SIM), args);
    if (!p.waitForStarted(5000))
        return false;
    QByteArray err;
    for (int i = 0; i < 50 && !err.contains("recorder on USB"); ++i) {
        p.waitForReadyRead(100);
        err += p.readAllStandardError();
    }
    return err.contains("recorder on USB as ML60852A_DRIVER0");
}

QStringList lines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class TestUsbPrograms : public QObject
{
    Q_OBJECT
private slots:
    void init() { qputenv("CORVAN21_NOW", "2010-01-15T10:20:30"); }

    void installRegistersAndCollectRunsTheUsbLink()
    {
        TestHome home(false);
        const QString registry = home.file(QStringLiteral("classes.reg"));
        const QString dev = home.file(QStringLiteral("dev"));
        qputenv("KESTOUSB_REGISTRY", registry.toLocal8Bit());
        qputenv("KESTOUSB_DEVICE_DIR", dev.toLocal8Bit());
        const QByteArray shm =
            QByteArray("/corvan-usbprograms-") + QByteArray::number(QCoreApplication::applicationPid());
        qputenv("KESTOUSB_TRACE_SHM", shm);

        int rc = -1;
        QString out = batch({QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("usb")}, &rc);
        QCOMPARE(rc, 0);
        QVERIFY2(out.contains(QStringLiteral("registered ")), qPrintable(out));
        QFile reg(registry);
        QVERIFY(reg.open(QIODevice::ReadOnly));
        const QByteArray entries = reg.readAll();
        reg.close();
        QVERIFY(entries.contains("[CLSID\\{B5463437-6971-11D4-816D-0050DACEAA4B}\\InprocServer32]"));
        QVERIFY(entries.contains("/libKestoUsb.so.1\""));
        // Once registered, a second run has nothing to do.
        out = batch({QStringLiteral("init")}, &rc);
        QCOMPARE(rc, 0);
        QVERIFY2(out.contains(QStringLiteral("nothing to do")), qPrintable(out));

        const QString punches = home.file(QStringLiteral("punches.txt"));
        {
            QFile f(punches);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("0114083000000000001000\n0115021000000000001117\n");
        }
        const QString state = home.file(QStringLiteral("held.txt"));
        QProcess sim;
        QVERIFY(startSim(sim, {QStringLiteral("--usb"), QStringLiteral("--punches"), punches,
                               QStringLiteral("--state-file"), state}));
        const QString announced =
            dev + QStringLiteral("/DeviceNotification/{0FD82C73-DAD2-4646-8EC3-DB5627D5BD06}ML60852A_DRIVER0");
        QVERIFY(QFile::exists(announced));

        out = batch({QStringLiteral("collect"), QStringLiteral("--month"), QStringLiteral("201001"),
                     QStringLiteral("--password"), QStringLiteral("418305")},
                    &rc);
        QCOMPARE(rc, 0);
        QVERIFY2(out.contains(QStringLiteral("結果コード 0")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("受信データ数 2")), qPrintable(out));
        QCOMPARE(lines(state), QStringList());

        // A stopped simulator takes its announcement and socket with it; then nothing answers.
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QVERIFY(!QFile::exists(announced));
        QVERIFY(!QFile::exists(dev + QStringLiteral("/ML60852A_DRIVER0")));
        out = batch({QStringLiteral("collect"), QStringLiteral("--month"), QStringLiteral("201001"),
                     QStringLiteral("--password"), QStringLiteral("418305")},
                    &rc);
        QCOMPARE(rc, 1);
        QVERIFY2(out.contains(QStringLiteral("結果コード 1792")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("タイムレコーダと接続できません！")), qPrintable(out));

        QVERIFY(home.openMonth(QStringLiteral("201001")));
        QVector<QStringList> rows;
        QVERIFY(dbs().intake.select(
            QStringLiteral("SELECT 月, 日, 時, 異例コード FROM タイムカードテンプ ORDER BY rowid"), rows));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[1], (QStringList{"01", "15", "02", "17"})); // as received: no date adjustment over USB
        closeAllDatabases();
        shm_unlink(shm.constData());
    }
};

QTEST_GUILESS_MAIN(TestUsbPrograms)
#include "tst_usbprograms.moc"
