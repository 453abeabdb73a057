// The USB link end to end: the KestoUsb control created by CLSID from a private class
// registry, talking to the recorder simulator's driver endpoint (or a scripted device) in a
// private driver folder.

#include "common/Common.h"
#include "common/SjisText.h"
#include "recorder/CalcoloCom.h"
#include "recorder/UsbLink.h"
#include "store/DbFile.h"
#include "tests/support/TestHome.h"
#include "tools/simulator/RecorderSimulator.h"
#include "tools/simulator/UsbDevice.h"
#include "usblib/DriverEndpoint.h"
#include "usblib/KestoAutomation.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/mman.h>
#include <unistd.h>

#include <mutex>

using namespace CalcoloCom;

namespace {

QString rec(const QString &mmddhhmmss, int card = 1, int io = 0, const QString &exc = QStringLiteral("00"))
{
    return mmddhhmmss + zeroPad(card, 9) + QString::number(io) + exc;
}

QStringList logLines()
{
    QFile f(commLogPath());
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = SjisText::decode(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &l : lines)
        l = l.mid(20); // the time
    return lines;
}

int intakeRows()
{
    QVector<QStringList> r;
    dbs().intake.select(QStringLiteral("SELECT COUNT(*) FROM タイムカードテンプ"), r);
    return r.value(0).value(0).toInt();
}

QString status(const QString &command, const QString &n, QChar code) { return command + n + code + QLatin1Char(' '); }

// A device that answers each command frame with a fixed script of messages, one per bulk IN;
// `babble` is handed out whenever the script has run dry.
class ScriptedDevice : public kesto::DriverHandler
{
public:
    QHash<QString, QStringList> replies;
    QString babble;
    QStringList frames;
    int delayMs = 0; // before each reply message is handed out

    bool handle(const kesto::DriverRequest &rq, kesto::DriverReply &reply) override
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (rq.controlCode == KESTO_IOCTL_GET_DEVICE_GUID) {
            const auto *p = reinterpret_cast<const uint8_t *>(&UsbDevice::kInterfaceGuid);
            reply.data.assign(p, p + 16);
        } else if (rq.controlCode == KESTO_IOCTL_BULK_TRANSFER && rq.input.at(0) == 0) {
            const QString f = QString::fromLatin1(reinterpret_cast<const char *>(rq.data.data()), 12);
            frames << f;
            m_outbox += replies.value(f.mid(8, 4));
            reply.information = uint32_t(rq.data.size());
            return true;
        } else if (rq.controlCode == KESTO_IOCTL_BULK_TRANSFER) {
            QString m;
            if (!m_outbox.isEmpty())
                m = m_outbox.takeFirst();
            else if (!babble.isEmpty())
                m = babble;
            else
                return false; // nothing to say: the transfer waits
            const QByteArray b = m.toLatin1();
            reply.data.assign(b.constData(), b.constData() + b.size());
            if (delayMs > 0)
                QThread::msleep(delayMs);
        } else {
            reply.status = 1;
        }
        reply.information = uint32_t(reply.data.size());
        return true;
    }

private:
    std::mutex m_lock;
    QStringList m_outbox;
};

} // namespace

class TestUsbLink : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_shm;

    CollectionResult collect(int set = 0, int startDelay = 0, qint64 *elapsed = nullptr,
                             int replyTimeout = UsbLink::kReplyTimeout)
    {
        setLogPaths(Clock::today()); // in this test's program folder
        UsbLink link(dbs().intake);
        UsbLink::Settings s;
        s.commandSet = set;
        s.replyTimeout = replyTimeout;
        link.setSettings(s);
        if (startDelay >= 0)
            link.setStartDelay(startDelay);
        QSignalSpy done(&link, &UsbLink::finished);
        QElapsedTimer t;
        t.start();
        link.start();
        if (!done.wait(30000))
            qWarning("the link did not finish");
        if (elapsed)
            *elapsed = t.elapsed();
        return link.result();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        // A private trace buffer, driver folder and class registry for this program.
        m_shm = "/corvan-usblink-" + std::to_string(getpid());
        qputenv("KESTOUSB_TRACE_SHM", QByteArray::fromStdString(m_shm));
        qputenv("KESTOUSB_DEVICE_DIR", (m_dir.path() + QStringLiteral("/dev")).toLocal8Bit());
        qputenv("KESTOUSB_REGISTRY", (m_dir.path() + QStringLiteral("/classes.reg")).toLocal8Bit());
        QCOMPARE(DllRegisterServer(), kesto::S_OK);
        QVERIFY(QFileInfo(UsbLink::registeredModule()).isFile());
        QCOMPARE(UsbLink::registryPath(), m_dir.path() + QStringLiteral("/classes.reg"));
    }
    void cleanupTestCase() { shm_unlink(m_shm.c_str()); }
    void init() { qputenv("CORVAN21_NOW", "2010-01-15T10:20:30"); }

    // ---- whole collections against the simulator ----

    // A transfer that holds several messages or part of one gives the rows, log lines and
    // result of one message per transfer. Merged: the read acknowledgement with its header, the
    // last record with the completion, both delete replies; cut: every message but the header
    // in two transfers (a status after three characters, a record after ten).
    void wholeCollectionInBothSets_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("delivery");
        for (int set : {0, 1}) {
            QTest::addRow("set %d", set) << set << int(RecorderSimulator::Each);
            QTest::addRow("set %d, merged transfers", set) << set << int(RecorderSimulator::Merged);
            QTest::addRow("set %d, cut transfers", set) << set << int(RecorderSimulator::Cut);
        }
    }

    void wholeCollectionInBothSets()
    {
        QFETCH(int, set);
        QFETCH(int, delivery);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        UsbDevice dev;
        RecorderSimulator::Options o;
        o.commandSet = set;
        o.delivery = RecorderSimulator::Delivery(delivery);
        dev.setOptions(o);
        // 02:10 would move to the day before over the LAN; over USB records go in as received.
        dev.setPunches({rec(QStringLiteral("0114083000")), rec(QStringLiteral("0114173000"), 1, 1),
                        rec(QStringLiteral("0115021000"), 2, 1, QStringLiteral("17"))});
        QVERIFY(dev.start());

        const CollectionResult r = collect(set);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.inserted, 3);
        QCOMPARE(dev.deleteCount(), 1);
        QVERIFY(dev.punches().isEmpty());

        QVector<QStringList> rows;
        QVERIFY(dbs().intake.select(QStringLiteral("SELECT 月, 日, 時, 分, 秒, IDコード, 入退, 異例コード, CR, "
                                                   "移行マーク FROM タイムカードテンプ ORDER BY rowid"),
                                    rows));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], (QStringList{"01", "14", "08", "30", "00", "000000001", "0", "00", "\r", "未"}));
        QCOMPARE(rows[2], (QStringList{"01", "15", "02", "10", "00", "000000002", "1", "17", "\r", "未"}));

        const CommandSet &cs = commandSet(set);
        QCOMPARE(dev.framesReceived(),
                 (QStringList{QStringLiteral("000000  ") + cs.read, QStringLiteral("000000  ") + cs.del}));
        const QStringList expect{
            QStringLiteral("→ 000000  ") + cs.read,
            QStringLiteral("← ") + cs.read + QStringLiteral("000070") + cs.ack,
            QStringLiteral("← \x02") + QStringLiteral("0003\x03"),
            QStringLiteral("← ") + rec(QStringLiteral("0114083000")) + QLatin1Char('\r'),
            QStringLiteral("← ") + rec(QStringLiteral("0114173000"), 1, 1) + QLatin1Char('\r'),
            QStringLiteral("← ") + rec(QStringLiteral("0115021000"), 2, 1, QStringLiteral("17")) + QLatin1Char('\r'),
            QStringLiteral("← ") + cs.read + QStringLiteral("000000") + cs.done,
            QStringLiteral("→ 000000  ") + cs.del,
            QStringLiteral("← ") + cs.del + QStringLiteral("000000") + cs.ack,
            QStringLiteral("← ") + cs.del + QStringLiteral("000000") + cs.done,
        };
        QCOMPARE(logLines(), expect);
    }

    void emptyRecorderIsStillErased()
    {
        // N = 000001: no records, the delete command follows the completion at once.
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        UsbDevice dev;
        QVERIFY(dev.start());
        const CollectionResult r = collect();
        QCOMPARE(r.code, 0);
        QCOMPARE(r.inserted, 0);
        QCOMPARE(intakeRows(), 0);
        QCOMPARE(dev.framesReceived(), (QStringList{QStringLiteral("000000  GTND"), QStringLiteral("000000  DELT")}));
        QCOMPARE(logLines().mid(1, 2), (QStringList{QStringLiteral("← GTND000001S"), QStringLiteral("← GTND000000G")}));
    }

    // ---- what the conversations tolerate and refuse ----

    void unrelatedMessagesAreSkipped()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedDevice dev;
        kesto::DriverEndpoint ep(dev);
        QVERIFY(ep.listen(kesto::DriverEndpoint::socketPathFor("ML60852A_DRIVER", 0)));
        const QString one = rec(QStringLiteral("0114083000")) + QLatin1Char('\r');
        // Three status messages of another command before the read acknowledgement; after the
        // delete acknowledgement a message of another command also ends the collection well.
        dev.replies[QStringLiteral("GTND")] = {status("GTNC", "000000", 'S'),
                                               status("GTNC", "000000", 'G'),
                                               status("DELT", "000000", 'G'),
                                               status("GTND", "000024", 'S'),
                                               QStringLiteral("\x02") + QStringLiteral("0001\x03"),
                                               one,
                                               status("GTND", "000000", 'G')};
        dev.replies[QStringLiteral("DELT")] = {status("GTNC", "000000", 'S'), status("DELT", "000000", 'S'),
                                               status("GTNC", "000000", 'S')};
        const CollectionResult r = collect();
        QCOMPARE(r.code, 0);
        QCOMPARE(intakeRows(), 1);
        const QStringList log = logLines();
        QCOMPARE(log.size(), 12);
        QCOMPARE(log.mid(1, 3), (QStringList{QStringLiteral("← GTNC000000S"), QStringLiteral("← GTNC000000G"),
                                             QStringLiteral("← DELT000000G")}));
        QCOMPARE(log.last(), QStringLiteral("← GTNC000000S"));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("read");
        QTest::addColumn<QStringList>("del");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("frames");
        const QString one = rec(QStringLiteral("0114083000")) + QLatin1Char('\r');
        const QString stx = QStringLiteral("\x02") + QStringLiteral("0001\x03");
        const QStringList ok{status("DELT", "000000", 'S'), status("DELT", "000000", 'G')};
        QTest::newRow("R = 2 and a third record: 512, nothing inserted, nothing erased")
            << QStringList{status("GTND", "000047", 'S'), stx, one, one, one, status("GTND", "000000", 'G')} << ok
            << 512 << 0 << 1;
        QTest::newRow("wrong acknowledgement status")
            << QStringList{status("GTND", "000047", 'C')} << ok << 512 << 0 << 1;
        QTest::newRow("no header before the records")
            << QStringList{status("GTND", "000024", 'S'), one, status("GTND", "000000", 'G')} << ok << 512 << 0 << 1;
        QTest::newRow("R = 0 skips to the completion")
            << QStringList{status("GTND", "000023", 'S'), stx, one, status("GTND", "000000", 'G')} << ok << 0 << 0 << 2;
        QTest::newRow("delete refused") << QStringList{status("GTND", "000001", 'S'), status("GTND", "000000", 'G')}
                                        << QStringList{status("DELT", "000000", 'C')} << 512 << 0 << 2;
        QTest::newRow("delete not completed")
            << QStringList{status("GTND", "000001", 'S'), status("GTND", "000000", 'G')}
            << QStringList{status("DELT", "000000", 'S'), status("DELT", "000000", 'N')} << 512 << 0 << 2;
        QTest::newRow("N not a number: 3840 type mismatch")
            << QStringList{status("GTND", "0000x1", 'S')} << ok << 3840 << 0 << 1;
        QTest::newRow("R = 2, both records in one transfer")
            << QStringList{status("GTND", "000047", 'S'), stx, one + one, status("GTND", "000000", 'G')} << ok << 0 << 2
            << 2;
        QTest::newRow("R = 2 and three records, two of them in one transfer: 512, nothing erased")
            << QStringList{status("GTND", "000047", 'S'), stx, one + one, one, status("GTND", "000000", 'G')} << ok
            << 512 << 0 << 1;
        QTest::newRow("read acknowledgement and header in one transfer, the status cut")
            << QStringList{QStringLiteral("GTN"), status("GTND", "000024", 'S').mid(3) + stx, one,
                           status("GTND", "000000", 'G')}
            << ok << 0 << 1 << 2;
    }

    void refusals()
    {
        QFETCH(QStringList, read);
        QFETCH(QStringList, del);
        QFETCH(int, code);
        QFETCH(int, rows);
        QFETCH(int, frames);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedDevice dev;
        dev.replies[QStringLiteral("GTND")] = read;
        dev.replies[QStringLiteral("DELT")] = del;
        kesto::DriverEndpoint ep(dev);
        QVERIFY(ep.listen(kesto::DriverEndpoint::socketPathFor("ML60852A_DRIVER", 0)));
        const CollectionResult r = collect();
        QCOMPARE(r.code, code);
        QCOMPARE(intakeRows(), rows);
        QCOMPARE(dev.frames.size(), frames); // 1: the delete command was never sent
        if (code == 3840)
            QCOMPARE(r.message(), QStringLiteral("通信エラー 発生！\r\nErr : 型が一致しません。"));
    }

    void simulatorFaults_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("rows");
        QTest::newRow("wrong status") << int(RecorderSimulator::WrongStatus) << 512 << 0;
        QTest::newRow("one record more than announced") << int(RecorderSimulator::ExtraRecords) << 512 << 0;
        QTest::newRow("last record cut short: rows stay, memory kept") << int(RecorderSimulator::Malformed) << 512 << 3;
        QTest::newRow("device gone mid-read") << int(RecorderSimulator::CloseMidRead) << 3840 << 0;
    }

    void simulatorFaults()
    {
        QFETCH(int, fault);
        QFETCH(int, code);
        QFETCH(int, rows);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        UsbDevice dev;
        RecorderSimulator::Options o;
        o.fault = RecorderSimulator::Fault(fault);
        dev.setOptions(o);
        const QStringList held{rec(QStringLiteral("0114083000")), rec(QStringLiteral("0114090000"), 2),
                               rec(QStringLiteral("0114100000"), 3)};
        dev.setPunches(held);
        QVERIFY(dev.start());
        const CollectionResult r = collect();
        QCOMPARE(r.code, code);
        QCOMPARE(intakeRows(), rows);
        QCOMPARE(dev.deleteCount(), 0);
        QCOMPARE(dev.punches().size(), 3);
        if (code == 3840) // the library's text for a device that went away
            QCOMPARE(r.message(), QStringLiteral("通信エラー 発生！\r\nErr : ") + r.errorText);
        if (code == 3840)
            QVERIFY2(!r.errorText.isEmpty(), qPrintable(r.errorText));
    }

    // The recorder acknowledged the delete but its completion never comes: every record is
    // stored and the recorder is erasing, so the collection has succeeded; it is not reported
    // as a recorder that did not answer (256).
    void deleteAcknowledgedWithoutCompletionSucceeds()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedDevice dev;
        const QString one = rec(QStringLiteral("0114083000")) + QLatin1Char('\r');
        dev.replies[QStringLiteral("GTND")] = {status("GTND", "000024", 'S'), QStringLiteral("\x02\x03"), one,
                                               status("GTND", "000000", 'G')};
        dev.replies[QStringLiteral("DELT")] = {status("DELT", "000000", 'S')};
        kesto::DriverEndpoint ep(dev);
        QVERIFY(ep.listen(kesto::DriverEndpoint::socketPathFor("ML60852A_DRIVER", 0)));
        const CollectionResult r = collect(0, 0, nullptr, 300);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.message(), QString());
        QCOMPARE(r.inserted, 1);
        QCOMPARE(intakeRows(), 1);
        QCOMPARE(dev.frames.size(), 2);
        QCOMPARE(logLines().last(), QStringLiteral("← DELT000000S"));
    }

    // Record data that never breaks at a whole record for longer than the reply bound: the
    // records keep their place, none is handed out cut.
    void longRunOfCutRecordsKeepsItsAlignment()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        ScriptedDevice dev;
        dev.delayMs = 30; // 22 transfers of records: longer than the bound below
        QString all;
        for (int i = 0; i < 20; ++i)
            all += rec(QStringLiteral("0114083000"), i + 1) + QLatin1Char('\r');
        QStringList read{status("GTND", "000461", 'S'), QStringLiteral("\x02\x03"), all.left(10)};
        for (qsizetype at = 10; at + 13 < all.size(); at += kRecordLength)
            read << all.mid(at, kRecordLength); // each transfer ends ten characters into a record
        read << all.right(13) << status("GTND", "000000", 'G');
        dev.replies[QStringLiteral("GTND")] = read;
        dev.replies[QStringLiteral("DELT")] = {status("DELT", "000000", 'S'), status("DELT", "000000", 'G')};
        kesto::DriverEndpoint ep(dev);
        QVERIFY(ep.listen(kesto::DriverEndpoint::socketPathFor("ML60852A_DRIVER", 0)));
        qint64 elapsed = 0;
        const CollectionResult r = collect(0, 0, &elapsed, 300);
        QVERIFY(elapsed > 300);
        QCOMPARE(r.code, 0);
        QCOMPARE(intakeRows(), 20);
        QCOMPARE(dev.frames.size(), 2);
    }

    // ---- the bound on every wait ----

    void silentRecorderGives256WithinTheBound_data()
    {
        QTest::addColumn<bool>("babbling");
        QTest::newRow("silent") << false;
        QTest::newRow("only unrelated messages") << true;
    }

    void silentRecorderGives256WithinTheBound()
    {
        QFETCH(bool, babbling);
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        std::unique_ptr<UsbDevice> sim;
        std::unique_ptr<ScriptedDevice> scripted;
        std::unique_ptr<kesto::DriverEndpoint> ep;
        if (babbling) {
            scripted = std::make_unique<ScriptedDevice>();
            scripted->babble = status("GTNC", "000000", 'S');
            ep = std::make_unique<kesto::DriverEndpoint>(*scripted);
            QVERIFY(ep->listen(kesto::DriverEndpoint::socketPathFor("ML60852A_DRIVER", 0)));
        } else {
            sim = std::make_unique<UsbDevice>();
            RecorderSimulator::Options o;
            o.fault = RecorderSimulator::Silent;
            sim->setOptions(o);
            sim->setPunches({rec(QStringLiteral("0114083000"))});
            QVERIFY(sim->start());
        }
        qint64 elapsed = 0;
        const CollectionResult r = collect(0, -1, &elapsed); // the screen's own start delay
        QCOMPARE(r.code, 256);
        QCOMPARE(r.message(), QStringLiteral("応答受信がありません。"));
        QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed >= UsbLink::kStartDelay + UsbLink::kReplyTimeout - 100, qPrintable(QString::number(elapsed)));
        if (sim)
            QCOMPARE(sim->punches().size(), 1);
    }

    // ---- opening ----

    void missingDeviceOrLibraryGives1792()
    {
        TestHome home;
        QVERIFY(home.openMonth(QStringLiteral("201001")));
        CollectionResult r = collect();
        QCOMPARE(r.code, 1792);
        QCOMPARE(r.message(), QStringLiteral("タイムレコーダと接続できません！"));

        UsbDevice dev;
        QVERIFY(dev.start());
        const QByteArray registry = qgetenv("KESTOUSB_REGISTRY");
        qputenv("KESTOUSB_REGISTRY", (m_dir.path() + QStringLiteral("/empty.reg")).toLocal8Bit());
        r = collect();
        qputenv("KESTOUSB_REGISTRY", registry);
        QCOMPARE(r.code, 1792);
        QVERIFY(dev.framesReceived().isEmpty());
    }

    // ---- the simulated device as the library sees it ----

    void simulatorServesDeviceQueries()
    {
        UsbDevice dev;
        QVERIFY(dev.start());
        // Announced in the notification folder: open by interface class finds it.
        KESTO_HANDLE h = KestoOpenGuidHandle(&UsbDevice::kInterfaceGuid, 0, 0);
        QVERIFY(h != KESTO_INVALID_HANDLE);
        KESTO_GUID g{};
        QCOMPARE(KestoGetGuid(h, &g), 0u);
        QVERIFY(kesto::operator==(g, UsbDevice::kInterfaceGuid));
        char name[64] = {};
        QCOMPARE(KestoGetLinkname(h, sizeof name - 1, name), 0u);
        QCOMPARE(QByteArray(name), QByteArray("ML60852A_DRIVER0"));
        uint32_t major = 0, minor = 0;
        QCOMPARE(KestoGetDriverVersion(h, &major, &minor), 0u);
        QCOMPARE(major, UsbDevice::kDriverMajor);
        QCOMPARE(minor, UsbDevice::kDriverMinor);
        uint8_t d[18] = {};
        QCOMPARE(KestoGetDeviceDescriptor(h, d), 0u);
        QCOMPARE(int(d[0]), 18);
        QCOMPARE(int(d[1]), 1);
        uint8_t e[7] = {};
        QCOMPARE(KestoGetEndpointDescriptor(h, 0, e), 0u);
        QCOMPARE(int(e[2]), 0x01); // OUT
        QCOMPARE(KestoGetEndpointDescriptor(h, 1, e), 0u);
        QCOMPARE(int(e[2]), 0x82); // IN
        QCOMPARE(int(e[3]), 2);    // bulk
        QCOMPARE(KestoGetEndpointDescriptor(h, 2, e), uint32_t(KESTO_ERROR_INVALID_PARAMETER));
        uint16_t langs = 0, lang = 0;
        QCOMPARE(KestoGetNumberOfLanguageIds(h, &langs), 0u);
        QCOMPARE(KestoGetLanguageIds(h, langs, &lang), 0u);
        QCOMPARE(lang, uint16_t(0x0409));
        uint32_t len = 0;
        QCOMPARE(KestoGetStringDescriptorLength(h, lang, 2, &len), 0u);
        QVERIFY(len > 0);
        QByteArray product(int(len) + 1, '\0');
        QCOMPARE(KestoGetStringDescriptor(h, lang, 2, len, product.data()), 0u);
        QCOMPARE(product.left(int(len)), QByteArray("ML60852A Time Recorder"));
        KestoCloseHandle(h);
        dev.stop();
        QCOMPARE(KestoOpenGuidHandle(&UsbDevice::kInterfaceGuid, 0, 0), KESTO_INVALID_HANDLE);
    }
};

QTEST_GUILESS_MAIN(TestUsbLink)
#include "tst_usblink.moc"
