// kestousbd against emulated USB devices: umockdev puts a scripted recorder on a test bed's
// bus and answers libusb's usbfs requests, so that the daemon runs its real libusb code. The
// test talks to the daemon through KestoUsb's exported functions and, for a whole
// collection, runs corvan21-batch as a user does. The program runs under umockdev-wrapper.

#include "ScriptedRecorder.h"
#include "common/Common.h"
#include "store/DbFile.h"
#include "tests/support/ProgramRuns.h"
#include "tests/support/TestHome.h"
#include "usblib/KestoUsb.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mman.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace {

const QString kEntryPrefix = QStringLiteral("{0FD82C73-DAD2-4646-8EC3-DB5627D5BD06}");

// The daemon as a child process that sees the test bed.
class Daemon
{
public:
    explicit Daemon(const QString &configFile)
    {
        QStringList env = QProcess::systemEnvironment();
        env += EmulatedUsbDevice::environment();
        m_process.setEnvironment(env);
        m_process.start(QStringLiteral(KESTOUSBD), {QStringLiteral("--config"), configFile});
    }
    ~Daemon()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(10000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Waits until the daemon has said text on stderr (times times).
    bool said(const QByteArray &text, int ms = 10000, int times = 1)
    {
        QElapsedTimer t;
        t.start();
        while (m_err.count(text) < times && t.elapsed() < ms) {
            m_process.waitForReadyRead(50);
            m_err += m_process.readAllStandardError();
            if (m_process.state() == QProcess::NotRunning) {
                m_err += m_process.readAllStandardError();
                break;
            }
        }
        return m_err.count(text) >= times;
    }
    QString log() const { return QString::fromLocal8Bit(m_err); }
    // Stops it as the service manager does; true when it ended by itself and cleanly.
    bool stop()
    {
        m_process.terminate();
        const bool ended = m_process.waitForFinished(10000);
        m_err += m_process.readAllStandardError();
        return ended && m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    }

private:
    QProcess m_process;
    QByteArray m_err;
};

// Device notifications the library delivers, as a client's window receives them.
std::mutex g_noticeLock;
QList<QPair<uint32_t, QByteArray>> g_notices;

intptr_t recordNotice(KESTO_WINDOW *, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (message == KESTO_WM_DEVICECHANGE) {
        auto *b = reinterpret_cast<const KESTO_DEV_BROADCAST_DEVICEINTERFACE *>(lParam);
        std::lock_guard<std::mutex> g(g_noticeLock);
        g_notices.append({uint32_t(wParam), QByteArray(b->dbcc_name)});
    }
    return 0;
}

QList<QPair<uint32_t, QByteArray>> notices()
{
    std::lock_guard<std::mutex> g(g_noticeLock);
    return g_notices;
}

QString batch(const QStringList &args, int *rc)
{
    const ProgramRuns::Run r = ProgramRuns::run(QStringLiteral(CORVAN_BATCH), args);
    *rc = r.exitCode;
    return r.out + r.err;
}

} // namespace

class TestKestousbd : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_devDir, m_config;
    QByteArray m_shm;

    QString socketOf(int instance) const { return m_devDir + QStringLiteral("/ML60852A_DRIVER%1").arg(instance); }
    QString entryOf(int instance) const
    {
        return m_devDir + QStringLiteral("/DeviceNotification/") + kEntryPrefix
               + QStringLiteral("ML60852A_DRIVER%1").arg(instance);
    }
    bool served(int instance) const { return QFile::exists(socketOf(instance)) && QFile::exists(entryOf(instance)); }
    bool gone(int instance) const { return !QFile::exists(socketOf(instance)) && !QFile::exists(entryOf(instance)); }

    void writeConfig(const QByteArray &text)
    {
        QFile f(m_config);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariable("LD_PRELOAD").contains(QStringLiteral("libumockdev-preload")),
                 "run under umockdev-wrapper, which lets this process send the test bed's device events");
        QString why;
        QVERIFY2(EmulatedUsbDevice::createTestbed(&why), qPrintable(why));
        // The daemon gets the preload library explicitly; the other programs run as usual.
        qunsetenv("LD_PRELOAD");
        m_devDir = m_dir.filePath(QStringLiteral("dev"));
        m_config = m_dir.filePath(QStringLiteral("devices.conf"));
        qputenv("KESTOUSB_DEVICE_DIR", m_devDir.toLocal8Bit());
        qputenv("KESTOUSB_REGISTRY", m_dir.filePath(QStringLiteral("classes.reg")).toLocal8Bit());
        m_shm = "/corvan-kestousbd-" + QByteArray::number(QCoreApplication::applicationPid());
        qputenv("KESTOUSB_TRACE_SHM", m_shm);
        qputenv("CORVAN21_NOW", "2010-01-15T10:20:30");
        writeConfig("# the recorder\n2d46:0852\n");
    }
    void cleanupTestCase() { shm_unlink(m_shm.constData()); }

    // Devices come and go while the daemon runs: each configured one gets the next free
    // instance, a removed one takes its endpoint and notification entry with it, and a device
    // of another kind is left alone.
    void arrivalAndRemoval()
    {
        ScriptedRecorder first, second, other(ScriptedRecorder::Answers, 0x1234, 0x5678);
        QString why;
        QVERIFY2(first.device().plug(&why), qPrintable(why)); // attached before the daemon starts
        Daemon daemon(m_config);
        QVERIFY2(daemon.said("served as ML60852A_DRIVER0"), qPrintable(daemon.log()));
        QVERIFY(served(0));
        QCOMPARE(first.device().claimCount(), 1);
        // A client watching for recorders hears of each arrival and removal.
        KESTO_WINDOW window{recordNotice, nullptr};
        KESTO_DEV_BROADCAST_DEVICEINTERFACE filter{};
        filter.dbcc_size = 32;
        filter.dbcc_devicetype = KESTO_DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = {0x0FD82C73, 0xDAD2, 0x4646, {0x8E, 0xC3, 0xDB, 0x56, 0x27, 0xD5, 0xBD, 0x06}};
        KESTO_HDEVNOTIFY key = KestoRegisterDeviceNotification(&window, &filter, 0);
        QVERIFY(key != nullptr);
        // A check that fails returns at once: the registration must not outlive this window.
        auto unregister = qScopeGuard([&] {
            if (key)
                KestoUnregisterDeviceNotification(key);
        });

        QVERIFY(other.device().plug(&why));
        QVERIFY(second.device().plug(&why));
        QVERIFY2(daemon.said("served as ML60852A_DRIVER1"), qPrintable(daemon.log()));
        QVERIFY(served(1));
        QCOMPARE(other.device().claimCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(notices().size(), 1, 5000);
        QCOMPARE(notices()[0].first, KESTO_DBT_DEVICEARRIVAL);
        QCOMPARE(notices()[0].second, "\\\\.\\" + kEntryPrefix.toLatin1() + "ML60852A_DRIVER1");
        // Open by interface class finds the devices in name order.
        KESTO_HANDLE h = KestoOpenGuidHandle(&filter.dbcc_classguid, 1, 0);
        QVERIFY(h != KESTO_INVALID_HANDLE);
        char name[32] = {};
        QCOMPARE(KestoGetLinkname(h, 20, name), 0u);
        QCOMPARE(QByteArray(name), QByteArray("ML60852A_DRIVER1"));
        QVERIFY(KestoCloseHandle(h));

        first.device().unplug();
        QVERIFY2(daemon.said("ML60852A_DRIVER0 removed"), qPrintable(daemon.log()));
        QTRY_VERIFY_WITH_TIMEOUT(gone(0), 5000);
        QVERIFY(served(1));
        QTRY_COMPARE_WITH_TIMEOUT(notices().size(), 2, 5000);
        QCOMPARE(notices()[1].first, KESTO_DBT_DEVICEREMOVECOMPLETE);
        QVERIFY(notices()[1].second.endsWith("ML60852A_DRIVER0"));
        QVERIFY(KestoUnregisterDeviceNotification(std::exchange(key, nullptr)));
        // The freed instance is the next one given.
        QVERIFY(first.device().plug(&why));
        QVERIFY2(daemon.said("served as ML60852A_DRIVER0", 10000, 2), qPrintable(daemon.log()));
        QVERIFY(served(0));

        QVERIFY(daemon.stop());
        QVERIFY(gone(0) && gone(1));
        QCOMPARE(second.device().releaseCount(), 1);
        QVERIFY(!daemon.log().contains(QStringLiteral("0x1234")));
    }

    // What an administrator sees for a bad configuration: a clear message and exit status 2,
    // while a bad line in the file only costs that line.
    void commandLine()
    {
        QProcess p;
        p.start(QStringLiteral(KESTOUSBD), {QStringLiteral("--device"), QStringLiteral("2d46:0852 link=../x")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("link name \"../x\" is not a plain file name"));
        p.start(QStringLiteral(KESTOUSBD),
                {QStringLiteral("--config"), m_dir.filePath(QStringLiteral("missing.conf"))});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("cannot read"));
        p.start(QStringLiteral(KESTOUSBD), {QStringLiteral("--frobnicate")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardError().contains("usage: kestousbd"));

        const QString config = m_dir.filePath(QStringLiteral("mixed.conf"));
        QFile f(config);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a device\n2d46:0852\n");
        f.close();
        ScriptedRecorder rec;
        QString why;
        QVERIFY2(rec.device().plug(&why), qPrintable(why));
        Daemon daemon(config);
        QVERIFY2(daemon.said("served as ML60852A_DRIVER0"), qPrintable(daemon.log()));
        QVERIFY(daemon.log().contains(config + QStringLiteral(":1: expected vendor:product")));
        QVERIFY(daemon.stop());
    }

    // Every control code through the library's exported functions, answered by libusb calls
    // on the emulated device.
    void controlCodes()
    {
        ScriptedRecorder rec;
        QString why;
        QVERIFY2(rec.device().plug(&why), qPrintable(why));
        Daemon daemon(m_config);
        QVERIFY2(daemon.said("served as ML60852A_DRIVER0"), qPrintable(daemon.log()));
        KESTO_HANDLE h = KestoOpenHandle("ML60852A_DRIVER", 0, 0);
        QVERIFY(h != KESTO_INVALID_HANDLE);

        uint8_t d18[18] = {};
        QCOMPARE(KestoGetDeviceDescriptor(h, d18), 0u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(d18), 18), rec.device().deviceDescriptor());
        uint8_t d9[9] = {};
        QCOMPARE(KestoGetConfigDescriptor(h, d9), 0u);
        QCOMPARE(int(d9[1]), 2);
        QCOMPARE(int(d9[2] | d9[3] << 8), 9 + 2 * (9 + 3 * 7));
        QCOMPARE(KestoGetInterfaceDescriptor(h, d9), 0u);
        QCOMPARE(int(d9[1]), 4);
        QCOMPARE(int(d9[3]), 0); // alternate setting
        QCOMPARE(int(d9[4]), 3); // endpoints
        // Endpoint numbers are the pipes of the selected setting, in descriptor order.
        uint8_t d7[7] = {};
        QCOMPARE(KestoGetEndpointDescriptor(h, 1, d7), 0u);
        QCOMPARE(int(d7[2]), 0x82);
        QCOMPARE(KestoGetEndpointDescriptor(h, 2, d7), 0u);
        QCOMPARE(int(d7[2]), 0x83);
        QCOMPARE(int(d7[3]), 3);
        QCOMPARE(KestoGetEndpointDescriptor(h, 3, d7), 87u);

        uint32_t major = 0, minor = 9;
        QCOMPARE(KestoGetDriverVersion(h, &major, &minor), 0u);
        QCOMPARE(major, 1u);
        QCOMPARE(minor, 0u);
        KESTO_GUID g{};
        QCOMPARE(KestoGetGuid(h, &g), 0u);
        QCOMPARE(g.Data1, 0x0FD82C73u);
        QCOMPARE(g.Data4[7], uint8_t(0x06));
        char text[64] = {};
        QCOMPARE(KestoGetLinkname(h, 40, text), 0u);
        QCOMPARE(QByteArray(text), QByteArray("ML60852A_DRIVER0"));

        // Strings and language ids come from the device's string descriptors.
        uint16_t count = 0;
        QCOMPARE(KestoGetNumberOfLanguageIds(h, &count), 0u);
        QCOMPARE(count, uint16_t(2));
        uint16_t ids[2] = {};
        QCOMPARE(KestoGetLanguageIds(h, 2, ids), 0u);
        QCOMPARE(ids[0], uint16_t(0x0409));
        QCOMPARE(ids[1], uint16_t(0x0411));
        uint32_t length = 0;
        QCOMPARE(KestoGetStringDescriptorLength(h, 0x0409, 2, &length), 0u);
        QCOMPARE(length, 13u);
        std::memset(text, 0, sizeof text);
        QCOMPARE(KestoGetStringDescriptor(h, 0x0409, 2, length, text), 0u);
        QCOMPARE(QByteArray(text), QByteArray("Time Recorder"));
        QCOMPARE(KestoGetStringDescriptor(h, 0x0409, 9, 10, text), 0xE0100004u); // the device stalls it

        // Control transfers: the setup packet the device sees and the data both ways.
        uint8_t buf[64] = {};
        uint32_t n = 0;
        QCOMPARE(KestoControlTransfer(h, 64, 0x42, 7, 3, 0, 4, buf, &n), 0u);
        QCOMPARE(n, 4u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), 4), QByteArray("ABCD"));
        std::memcpy(buf, "xyz", 3);
        QCOMPARE(KestoControlTransfer(h, 64, 0x43, 1, 2, 1, 3, buf, &n), 0u);
        QCOMPARE(rec.controlData(), QByteArray("xyz"));
        QCOMPARE(KestoControlTransfer(h, 0, 0, 0, 0, 0, 2, buf, &n), 0u); // GET_STATUS
        QCOMPARE(n, 2u);
        QCOMPARE(int(buf[0]), 1);
        const EmulatedUsbDevice::Setup last = rec.controlRequests().constLast();
        QCOMPARE(int(last.requestType), 0x80);
        QCOMPARE(int(last.request), 0);
        QCOMPARE(KestoControlTransfer(h, 64, 0x44, 0, 0, 0, 1, buf, &n), 0xE0100004u); // unknown: stalled

        // Bulk and interrupt transfers move exactly what was asked.
        QByteArray frame("000000  ZZZZ");
        frame.resize(64, '\0');
        std::memcpy(buf, frame.constData(), 64);
        QCOMPARE(KestoBulkTransfer(h, 0, 64, buf, &n), 0u);
        QCOMPARE(n, 64u);
        QCOMPARE(rec.frames(), QStringList{QStringLiteral("000000  ZZZZ")});
        rec.device().queueIn(ScriptedRecorder::kInterruptIn, QByteArray("\x05\x06", 2));
        std::memset(buf, 0, sizeof buf);
        QCOMPARE(KestoInterruptTransfer(h, 2, 8, buf, &n), 0u);
        QCOMPARE(n, 2u);
        QCOMPARE(int(buf[1]), 6);
        uint8_t iso[4 * (16 + 8)] = {};
        QCOMPARE(KestoIsochronousTransfer(h, 1, 4, 8, sizeof iso, iso, &n), 87u); // a bulk pipe

        // A stall is the device's STALL first, a halted endpoint after, until it is cleared.
        rec.device().setStalled(ScriptedRecorder::kIn, true);
        QCOMPARE(KestoBulkTransfer(h, 1, 64, buf, &n), 0xE0100004u);
        QCOMPARE(KestoBulkTransfer(h, 1, 64, buf, &n), 0xE0100030u);
        QCOMPARE(KestoClearStall(h, 1), 0u);
        QCOMPARE(rec.device().clearHaltCount(ScriptedRecorder::kIn), 1);
        rec.device().queueIn(ScriptedRecorder::kIn, QByteArray("again"));
        QCOMPARE(KestoBulkTransfer(h, 1, 64, buf, &n), 0u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), int(n)), QByteArray("again"));
        QCOMPARE(KestoClearStall(h, 7), 87u);

        // Another setting of the interface, and one the device does not have.
        QCOMPARE(KestoSelectInterface(h, 0, 1), 0u);
        QCOMPARE(rec.device().altSetting(), 1);
        QCOMPARE(KestoGetInterfaceDescriptor(h, d9), 0u);
        QCOMPARE(int(d9[3]), 1);
        QCOMPARE(KestoSelectInterface(h, 0, 5), 87u);
        QCOMPARE(rec.device().altSetting(), 1);

        QVERIFY(KestoCloseHandle(h));
        QVERIFY(daemon.stop());
    }

    // A device that never answers: the client withdraws its request after its own wait, and
    // the driver withdraws the transfer from the device; closing a handle does the same for
    // what it still had pending.
    void deviceThatNeverAnswers()
    {
        ScriptedRecorder rec(ScriptedRecorder::Silent);
        QString why;
        QVERIFY2(rec.device().plug(&why), qPrintable(why));
        Daemon daemon(m_config);
        QVERIFY2(daemon.said("served as ML60852A_DRIVER0"), qPrintable(daemon.log()));
        KESTO_HANDLE h = KestoOpenHandle("ML60852A_DRIVER", 0, 0);
        QVERIFY(h != KESTO_INVALID_HANDLE);
        uint8_t buf[64] = {};
        uint32_t n = 0;
        KESTO_OVERLAPPED ov{};
        QCOMPARE(KestoAsynchBulkTransfer(h, 1, 64, buf, &n, &ov), 997u);
        QCOMPARE(KestoWaitAsynchCompletion(h, &n, &ov, 300), 258u);
        QCOMPARE(rec.device().pendingTransfers(), 1);
        QCOMPARE(KestoCancelAsynchTransfer(h, &ov), 0u);
        QTRY_COMPARE_WITH_TIMEOUT(rec.device().pendingTransfers(), 0, 5000);
        QCOMPARE(rec.device().discardCount(), 1);

        KESTO_OVERLAPPED ov2{};
        QCOMPARE(KestoAsynchBulkTransfer(h, 1, 64, buf, &n, &ov2), 997u);
        QTRY_COMPARE_WITH_TIMEOUT(rec.device().pendingTransfers(), 1, 5000);
        QVERIFY(KestoCloseHandle(h));
        QTRY_COMPARE_WITH_TIMEOUT(rec.device().pendingTransfers(), 0, 5000);
        QCOMPARE(rec.device().discardCount(), 2);
        QVERIFY(daemon.stop());
    }

    // A device pulled out while a client waits in a synchronous read: the read ends with
    // 1167 instead of waiting for ever, and the device's endpoint and entry go away.
    void deviceRemovedMidRead()
    {
        ScriptedRecorder rec(ScriptedRecorder::Silent);
        QString why;
        QVERIFY2(rec.device().plug(&why), qPrintable(why));
        Daemon daemon(m_config);
        QVERIFY2(daemon.said("served as ML60852A_DRIVER0"), qPrintable(daemon.log()));
        KESTO_HANDLE h = KestoOpenHandle("ML60852A_DRIVER", 0, 0);
        QVERIFY(h != KESTO_INVALID_HANDLE);
        auto result = std::make_shared<std::atomic<uint32_t>>(0xFFFFFFFFu);
        std::thread reader([h, result] {
            uint8_t buf[64];
            uint32_t n = 0;
            result->store(KestoBulkTransfer(h, 1, 64, buf, &n));
        });
        QTRY_COMPARE_WITH_TIMEOUT(rec.device().pendingTransfers(), 1, 5000);
        rec.device().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(result->load() != 0xFFFFFFFFu, 10000);
        reader.join();
        QCOMPARE(result->load(), 1167u);
        QVERIFY2(daemon.said("ML60852A_DRIVER0 removed"), qPrintable(daemon.log()));
        QTRY_VERIFY_WITH_TIMEOUT(gone(0), 5000);
        QCOMPARE(KestoOpenHandle("ML60852A_DRIVER", 0, 0), KESTO_INVALID_HANDLE);
        QVERIFY(KestoCloseHandle(h));
        QVERIFY(daemon.stop());
    }

    // A whole collection of a USB installation: corvan21-batch → KestoUsb → kestousbd →
    // libusb → the emulated recorder, and the same with the recorder failing in three ways.
    void batchCollect_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("unplugMidRead");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("message");
        QTest::newRow("collects") << int(ScriptedRecorder::Answers) << false << 0 << QStringLiteral("結果コード 0")
                                  << QStringLiteral("受信データ数 2");
        QTest::newRow("stall") << int(ScriptedRecorder::StallOnRead) << false << 1 << QStringLiteral("結果コード 3840")
                               << QStringLiteral("STALL packet identifier");
        QTest::newRow("never answers") << int(ScriptedRecorder::Silent) << false << 1
                                       << QStringLiteral("結果コード 256") << QStringLiteral("応答受信がありません。");
        QTest::newRow("removed mid-read") << int(ScriptedRecorder::HoldAfterRead) << true << 1
                                          << QStringLiteral("結果コード 3840") << QStringLiteral("通信エラー 発生！");
    }
    void batchCollect()
    {
        QFETCH(int, mode);
        QFETCH(bool, unplugMidRead);
        QFETCH(int, exitCode);
        QFETCH(QString, result);
        QFETCH(QString, message);
        TestHome home(false);
        int rc = -1;
        QString out = batch({QStringLiteral("init"), QStringLiteral("--link"), QStringLiteral("usb")}, &rc);
        QCOMPARE(rc, 0);

        ScriptedRecorder rec(static_cast<ScriptedRecorder::Mode>(mode));
        const QStringList held{QStringLiteral("0114083000000000001000"), QStringLiteral("0115021000000000001117")};
        rec.setPunches(held);
        QString why;
        QVERIFY2(rec.device().plug(&why), qPrintable(why));
        Daemon daemon(m_config);
        QVERIFY2(daemon.said("served as ML60852A_DRIVER0"), qPrintable(daemon.log()));

        std::atomic<bool> pulled{false};
        std::thread puller;
        if (unplugMidRead) {
            // Pulled once the link waits for the first record after the header.
            puller = std::thread([&rec, &pulled] {
                for (int i = 0; i < 1000 && !(rec.frames().size() == 1 && rec.device().pendingTransfers() == 1); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                QThread::msleep(50);
                rec.device().unplug();
                pulled = true;
            });
        }
        out = batch({QStringLiteral("collect"), QStringLiteral("--month"), QStringLiteral("201001"),
                     QStringLiteral("--password"), QStringLiteral("418305")},
                    &rc);
        if (puller.joinable())
            puller.join();
        QVERIFY2(out.contains(result), qPrintable(out + daemon.log()));
        QVERIFY2(out.contains(message), qPrintable(out));
        QCOMPARE(rc, exitCode);

        QVERIFY(home.openMonth(QStringLiteral("201001")));
        QVector<QStringList> rows;
        QVERIFY(dbs().intake.select(
            QStringLiteral("SELECT 月, 日, 時, 異例コード FROM タイムカードテンプ ORDER BY rowid"), rows));
        closeAllDatabases();
        if (exitCode == 0) {
            QCOMPARE(rec.frames(), (QStringList{QStringLiteral("000000  GTND"), QStringLiteral("000000  DELT")}));
            QCOMPARE(rec.deleteCount(), 1);
            QCOMPARE(rows.size(), 2);
            QCOMPARE(rows[1], (QStringList{"01", "15", "02", "17"}));
        } else {
            // The recorder keeps its punches: nothing was erased after a failed read.
            QCOMPARE(rec.frames(), QStringList{QStringLiteral("000000  GTND")});
            QCOMPARE(rec.deleteCount(), 0);
            QCOMPARE(rec.punches().size(), 2);
            QCOMPARE(rows.size(), 0);
        }
        if (unplugMidRead) {
            QVERIFY(pulled);
            QTRY_VERIFY_WITH_TIMEOUT(gone(0), 5000);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(rec.device().pendingTransfers(), 0, 5000); // nothing left on the device
        }
        QVERIFY(daemon.stop());
    }
};

QTEST_GUILESS_MAIN(TestKestousbd)
#include "tst_kestousbd.moc"
