// The driver access functions against a test driver endpoint: the control codes, the request
// records byte for byte, refusals, asynchronous requests, device lists and notification.

#include "UsbTestSupport.h"
#include "usblib/DriverEndpoint.h"

#include <QElapsedTimer>

#include <atomic>
#include <mutex>
#include <vector>

using namespace usbtest;
using Bytes = std::vector<uint8_t>;

namespace {

const KESTO_GUID kInterface = {0x6BDD1FC6, 0x810F, 0x11D0, {0xBE, 0xC7, 0x08, 0x00, 0x2B, 0xE2, 0x09, 0x2F}};

Bytes utf16(const char16_t *s)
{
    Bytes b;
    for (; *s; ++s) {
        b.push_back(static_cast<uint8_t>(*s));
        b.push_back(static_cast<uint8_t>(*s >> 8));
    }
    return b;
}

// Records every request and answers from a table; requests of `deferCode` are kept open.
class TestDevice : public kesto::DriverHandler
{
public:
    bool handle(const kesto::DriverRequest &rq, kesto::DriverReply &reply) override
    {
        std::lock_guard<std::mutex> g(lock);
        requests.push_back(rq);
        if (rq.controlCode == deferCode) {
            deferred.push_back(rq.id);
            return false;
        }
        reply.status = status;
        switch (rq.controlCode) {
        case KESTO_IOCTL_GET_DRIVER_VERSION: reply.data = {3, 0, 0, 0, 7, 0, 0, 0}; break;
        case KESTO_IOCTL_GET_DEVICE_GUID:
            reply.data.assign(reinterpret_cast<const uint8_t *>(&kInterface),
                              reinterpret_cast<const uint8_t *>(&kInterface) + 16);
            break;
        case KESTO_IOCTL_GET_LINK_NAME: reply.data = utf16(u"ML60852A_DRIVER10"); break;
        case KESTO_IOCTL_GET_STRING_DESCRIPTOR: reply.data = utf16(u"Kesto 時計"); break;
        case KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH: reply.data = {8, 0, 0, 0}; break;
        case KESTO_IOCTL_GET_NUMBER_OF_LANGUAGE_IDS: reply.data = {2, 0}; break;
        case KESTO_IOCTL_GET_LANGUAGE_IDS: reply.data = {0x09, 0x04, 0x11, 0x04}; break;
        case KESTO_IOCTL_GET_DEVICE_DESCRIPTOR:
            reply.data = {18, 1, 0x10, 0x01, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 3, 1};
            break;
        case KESTO_IOCTL_GET_ENDPOINT_DESCRIPTOR: reply.data = {7, 5, 0x81, 2, 64, 0, 0}; break;
        default: reply.data = answer;
        }
        reply.information = information ? information.load() : static_cast<uint32_t>(reply.data.size());
        return true;
    }
    void cancelled(uint64_t id) override
    {
        std::lock_guard<std::mutex> g(lock);
        cancelledIds.push_back(id);
    }

    kesto::DriverRequest last()
    {
        std::lock_guard<std::mutex> g(lock);
        return requests.empty() ? kesto::DriverRequest{} : requests.back();
    }
    size_t count()
    {
        std::lock_guard<std::mutex> g(lock);
        return requests.size();
    }
    size_t deferredCount()
    {
        std::lock_guard<std::mutex> g(lock);
        return deferred.size();
    }
    size_t cancelledCount()
    {
        std::lock_guard<std::mutex> g(lock);
        return cancelledIds.size();
    }
    uint64_t lastDeferred()
    {
        std::lock_guard<std::mutex> g(lock);
        return deferred.back();
    }

    std::mutex lock;
    std::vector<kesto::DriverRequest> requests;
    std::vector<uint64_t> deferred, cancelledIds;
    std::atomic<uint32_t> deferCode{0};
    std::atomic<uint32_t> status{0};
    std::atomic<uint32_t> information{0};
    Bytes answer;
};

struct Notice {
    uint32_t event;
    std::string name;
    KESTO_GUID guid;
};

std::mutex g_noticeLock;
std::vector<Notice> g_notices;

intptr_t recordNotice(KESTO_WINDOW *, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (message != KESTO_WM_DEVICECHANGE)
        return 0;
    auto *b = reinterpret_cast<const KESTO_DEV_BROADCAST_DEVICEINTERFACE *>(lParam);
    std::lock_guard<std::mutex> g(g_noticeLock);
    g_notices.push_back({static_cast<uint32_t>(wParam), b->dbcc_name, b->dbcc_classguid});
    return 0;
}

size_t noticeCount()
{
    std::lock_guard<std::mutex> g(g_noticeLock);
    return g_notices.size();
}

} // namespace

class TestDriverApi : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_shm;
    TestDevice m_device;
    kesto::DriverEndpoint m_endpoint{m_device};
    KESTO_HANDLE m_h = KESTO_INVALID_HANDLE;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_shm = isolate(m_dir);
        std::string error;
        QVERIFY2(m_endpoint.listen(kesto::DriverEndpoint::socketPathFor("ML60852A_DRIVER", 10), &error), error.c_str());
    }
    void cleanupTestCase()
    {
        if (m_h != KESTO_INVALID_HANDLE)
            KestoCloseHandle(m_h);
        shm_unlink(m_shm.c_str());
    }
    void init()
    {
        freshBuffer(true);
        std::lock_guard<std::mutex> g(m_device.lock);
        m_device.requests.clear();
        m_device.deferCode = 0;
        m_device.status = 0;
        m_device.information = 0;
        m_device.answer.clear();
    }

    void openByLinkNameAndInstance()
    {
        // Instance 10 is the socket "ML60852A_DRIVER10" in the driver folder.
        m_h = KestoOpenHandle("ML60852A_DRIVER", 10, 0);
        QVERIFY(m_h != KESTO_INVALID_HANDLE);
        QVERIFY(slotText().contains("KESTO_USB: KestoOpenHandle succeeded on \\\\.\\ML60852A_DRIVER10 returning "
                                    "handle (0x"));
        QCOMPARE(KestoOpenHandle("ML60852A_DRIVER", 1, 0), KESTO_INVALID_HANDLE);
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_FILE_NOT_FOUND);
        QCOMPARE(KestoOpenHandle(nullptr, 0, 0), KESTO_INVALID_HANDLE);
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_INVALID_PARAMETER);
        QVERIFY(slotText().contains("KESTO_USB: KestoOpenHandle NULL LinkName is not allowed.\n"));
    }

    // The device path ("\\.\" + name + instance) may have 259 characters; a longer one is refused
    // with the invalid-name error instead of being cut to a name that may be another device's.
    void devicePathOver259CharactersIsRefused()
    {
        const std::string name(253, 'M');
        // 4 + 253 + 2 = 259: looked for as it is (no driver socket can have so long a name here)
        QCOMPARE(KestoOpenHandle(name.c_str(), 10, 0), KESTO_INVALID_HANDLE);
        QVERIFY(KestoGetLastError() != KESTO_ERROR_INVALID_NAME);
        QCOMPARE(KestoOpenHandle(name.c_str(), 100, 0), KESTO_INVALID_HANDLE); // 260
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_INVALID_NAME);
        QCOMPARE(KestoOpenHandle((name + "MM").c_str(), 0, 0), KESTO_INVALID_HANDLE); // 260
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_INVALID_NAME);
        const QByteArray traced = slotText();
        QVERIFY2(traced.contains("The filename, directory name, or volume label syntax is incorrect."),
                 traced.constData());
    }

    void exclusiveOpenShutsOthersOut()
    {
        QCOMPARE(KestoOpenHandle("ML60852A_DRIVER", 10, 1), KESTO_INVALID_HANDLE); // m_h is open
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_SHARING_VIOLATION);
        KESTO_HANDLE second = KestoOpenHandle("ML60852A_DRIVER", 10, 0);
        QVERIFY(second != KESTO_INVALID_HANDLE);
        QVERIFY(KestoCloseHandle(second));
        QVERIFY(!KestoCloseHandle(second)); // a closed handle is refused, not followed
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_INVALID_HANDLE);
        uint32_t n;
        uint8_t b[4];
        QCOMPARE(KestoBulkTransfer(second, 0, 4, b, &n), KESTO_ERROR_INVALID_HANDLE);
    }

    void bulkAndInterruptRecords()
    {
        uint8_t buf[64];
        for (int i = 0; i < 64; ++i)
            buf[i] = static_cast<uint8_t>(i);
        m_device.answer = {'R', 'E', 'P'};
        uint32_t returned = 0;
        QCOMPARE(KestoBulkTransfer(m_h, 0x81, 64, buf, &returned), 0u);
        kesto::DriverRequest rq = m_device.last();
        QCOMPARE(rq.controlCode, 0x80002001u);
        QCOMPARE(rq.input, (Bytes{0x81, 0, 0, 0, 64, 0, 0, 0}));
        QCOMPARE(rq.outputLength, 64u);
        QCOMPARE(rq.data.size(), size_t(64)); // the buffer goes to the driver too
        QCOMPARE(rq.data[63], uint8_t(63));
        QCOMPARE(returned, 3u);
        QCOMPARE(buf[0], uint8_t('R'));
        QCOMPARE(buf[3], uint8_t(3)); // untouched past the returned bytes

        QCOMPARE(KestoInterruptTransfer(m_h, 2, 0x1234, nullptr, &returned), 0u);
        rq = m_device.last();
        QCOMPARE(rq.controlCode, 0x80002009u);
        QCOMPARE(rq.input, (Bytes{2, 0, 0, 0, 0x34, 0x12, 0, 0}));

        const size_t before = m_device.count();
        QCOMPARE(KestoBulkTransfer(m_h, 0, 64, buf, nullptr), KESTO_ERROR_INVALID_PARAMETER);
        QCOMPARE(m_device.count(), before);
    }

    void failedTransferPassesTheCodeOnAndTracesIt()
    {
        m_device.status = 0xE0100004;
        uint8_t buf[8] = {};
        uint32_t returned;
        QCOMPARE(KestoBulkTransfer(m_h, 1, 8, buf, &returned), 0xE0100004u);
        const QByteArray t = slotText();
        QVERIFY(t.contains("KESTO_USB: KestoBulkTransfer failed (0xE0100004), Handle: 0x"));
        QVERIFY(t.contains(" Endpoint: 0x01 Length: 0x00000008\n"));
        QVERIFY(t.contains("The transaction failed because the endpoint returned a STALL packet identifier\n"));
    }

    void controlTransferRecord()
    {
        uint8_t buf[18] = {};
        uint32_t returned;
        QCOMPARE(KestoControlTransfer(m_h, 65, 0x12, 0x3456, 0x789A, 1, 16, buf, &returned), 0u);
        kesto::DriverRequest rq = m_device.last();
        QCOMPARE(rq.controlCode, 0x80002005u);
        QCOMPARE(rq.input, (Bytes{16, 0, 0, 0, 24, 0, 0x12, 0, 0x56, 0x34, 0x9A, 0x78, 1, 0, 0, 0}));
        QCOMPARE(KestoControlTransfer(m_h, 0, 6, 0x0100, 0, 0, 18, buf, &returned), 0u);
        QCOMPARE(m_device.last().input, (Bytes{18, 0, 0, 0, 11, 0, 6, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
    }

    void controlTranslation_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("request");
        QTest::addColumn<int>("function"); // -1: refused
        const int table[][3] = {
            {0, 0, 19},  {0, 1, 16},  {0, 3, 13},    {0, 6, 11},  {0, 8, 38},  {0, 5, -1},  {0, 7, -1},  {0, 9, -1},
            {1, 0, 20},  {1, 1, 17},  {1, 3, 14},    {1, 10, 39}, {1, 11, -1}, {2, 0, 21},  {2, 1, 18},  {2, 3, 15},
            {2, 12, -1}, {32, 7, 26}, {33, 7, 27},   {34, 7, 28}, {35, 7, 31}, {64, 1, 23}, {65, 1, 24}, {66, 1, 25},
            {67, 1, 32}, {3, 0, -1},  {0x80, 6, -1}, {96, 0, -1}, {0, 2, -1},  {1, 5, -1},
        };
        for (const auto &row : table)
            QTest::addRow("type %d request %d", row[0], row[1]) << row[0] << row[1] << row[2];
    }
    void controlTranslation()
    {
        QFETCH(int, type);
        QFETCH(int, request);
        QFETCH(int, function);
        uint8_t buf[2];
        uint32_t returned;
        const size_t before = m_device.count();
        uint32_t r = KestoControlTransfer(m_h, static_cast<uint8_t>(type), static_cast<uint8_t>(request), 0, 0, 0, 2,
                                          buf, &returned);
        if (function < 0) {
            QCOMPARE(r, KESTO_ERROR_INVALID_PARAMETER);
            QCOMPARE(m_device.count(), before);
            QVERIFY(slotText().endsWith("Invalid Control Transfer attempted.\n"));
        } else {
            QCOMPARE(r, 0u);
            const Bytes in = m_device.last().input;
            QCOMPARE(int(in[4] | in[5] << 8), function);
        }
    }

    void refusalTexts()
    {
        uint8_t buf[2];
        uint32_t n;
        QCOMPARE(KestoControlTransfer(m_h, 0, 5, 1, 0, 1, 0, buf, &n), KESTO_ERROR_INVALID_PARAMETER);
        QCOMPARE(slotText(), QByteArray("Kesto for USB does not support the SET_ADDRESS Device Request.\n"
                                        "Invalid Control Transfer attempted.\n"));
        KESTO_OVERLAPPED ov{};
        freshBuffer(true);
        QCOMPARE(KestoAsynchControlTransfer(m_h, 1, 11, 0, 0, 1, 0, buf, &n, &ov), KESTO_ERROR_INVALID_PARAMETER);
        QCOMPARE(slotText(), QByteArray("Kesto for USB does not support the SET_INTERFACE Device Request.\tTo change "
                                        "the selected interface, call KestoSelectInterface.\n"
                                        "KestoAsynchControlTransfer: Invalid Control transfer attempted.\n"));
    }

    void controlLengthLimit()
    {
        std::vector<uint8_t> buf(2000);
        uint32_t n;
        QCOMPARE(KestoControlTransfer(m_h, 64, 1, 0, 0, 1, 1536, buf.data(), &n), 0u);
        QCOMPARE(m_device.last().outputLength, 1536u);
        const size_t before = m_device.count();
        freshBuffer(true);
        QCOMPARE(KestoControlTransfer(m_h, 64, 1, 0, 0, 1, 1537, buf.data(), &n), KESTO_ERROR_INVALID_PARAMETER);
        QCOMPARE(m_device.count(), before);
        QCOMPARE(slotText(), QByteArray("KESTO_USB: KestoAsynchControlTransfer transfer length too long.\n"
                                        "Length: 0x00000601    Maximum Length 0x00000600\n"));
    }

    void isochronousBuffer()
    {
        // 4 packets of 64 bytes: 4 descriptors of 16 bytes, then 256 bytes of data.
        std::vector<uint8_t> buf(320, 0);
        for (int i = 0; i < 4; ++i)
            buf[i * 16] = 16;
        uint32_t n;
        const size_t before = m_device.count();
        QCOMPARE(KestoIsochronousTransfer(m_h, 3, 4, 64, 319, buf.data(), &n), KESTO_ERROR_INSUFFICIENT_BUFFER);
        QCOMPARE(m_device.count(), before);
        QCOMPARE(slotText(), QByteArray("KestoIsochronousTransfer: transfer buffer too small.\n"
                                        "\tLength given: 319\tLength needed: 320.\n"));
        QCOMPARE(KestoIsochronousTransfer(m_h, 3, 4, 64, 320, nullptr, &n), KESTO_ERROR_INVALID_PARAMETER);
        QCOMPARE(KestoIsochronousTransfer(m_h, 3, 4, 64, 320, buf.data(), &n), 0u);
        kesto::DriverRequest rq = m_device.last();
        QCOMPARE(rq.controlCode, 0x8000200Du);
        QCOMPARE(rq.input, (Bytes{3, 0, 0, 0, 0x40, 0x01, 0, 0, 4, 0, 0, 0, 64, 0, 0, 0}));
        QCOMPARE(rq.data.size(), size_t(320));
        for (int i = 0; i < 4; ++i) {
            const auto expected = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buf.data() + 64 + i * 64));
            uint32_t got;
            std::memcpy(&got, rq.data.data() + i * 16 + 12, 4);
            QCOMPARE(got, expected);
            std::memcpy(&got, buf.data() + i * 16 + 12, 4);
            QCOMPARE(got, expected);
        }
        // A descriptor size below 16 would lay descriptors over each other.
        buf[0] = 4;
        QCOMPARE(KestoIsochronousTransfer(m_h, 3, 4, 64, 320, buf.data(), &n), KESTO_ERROR_INVALID_PARAMETER);
    }

    void pendingAsynchronousRequest()
    {
        m_device.deferCode = KESTO_IOCTL_BULK_TRANSFER;
        uint8_t buf[64] = {};
        uint32_t n = 77;
        KESTO_OVERLAPPED ov{};
        QCOMPARE(KestoAsynchBulkTransfer(m_h, 1, 64, buf, &n, &ov), KESTO_ERROR_IO_PENDING);
        QTRY_COMPARE(m_device.deferredCount(), size_t(1));
        QElapsedTimer t;
        t.start();
        QCOMPARE(KestoCheckAsynchCompletion(m_h, &n, &ov), KESTO_ERROR_IO_PENDING);
        QCOMPARE(ov.Internal, uintptr_t(259));
        QVERIFY(t.elapsed() < 100);
        kesto::DriverReply reply;
        reply.data = {'h', 'e', 'l', 'l', 'o'};
        reply.information = 5;
        QVERIFY(m_endpoint.complete(m_device.lastDeferred(), reply));
        QCOMPARE(KestoWaitAsynchCompletion(m_h, &n, &ov, 5000), 0u);
        QCOMPARE(KestoCheckAsynchCompletion(m_h, &n, &ov), 0u);
        QCOMPARE(n, 5u);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(buf), 5), QByteArray("hello"));
        QCOMPARE(KestoAsynchBulkTransfer(m_h, 1, 64, buf, &n, nullptr), KESTO_ERROR_INVALID_PARAMETER);
        std::lock_guard<std::mutex> g(m_device.lock);
        m_device.deferred.clear();
    }

    void boundedWaitAndWithdrawal()
    {
        // How a caller bounds a transfer: start it, wait with a limit, withdraw it on time-out.
        m_device.deferCode = KESTO_IOCTL_BULK_TRANSFER;
        uint8_t buf[64] = {};
        uint32_t n = 0;
        KESTO_OVERLAPPED ov{};
        QCOMPARE(KestoAsynchBulkTransfer(m_h, 1, 64, buf, &n, &ov), KESTO_ERROR_IO_PENDING);
        QElapsedTimer t;
        t.start();
        QCOMPARE(KestoWaitAsynchCompletion(m_h, &n, &ov, 200), KESTO_WAIT_TIMEOUT);
        QVERIFY(t.elapsed() >= 150 && t.elapsed() < 3000);
        QCOMPARE(KestoCancelAsynchTransfer(m_h, &ov), 0u);
        QCOMPARE(ov.Internal, uintptr_t(KESTO_ERROR_OPERATION_ABORTED));
        QTRY_COMPARE(m_device.cancelledCount(), size_t(1));
        kesto::DriverReply late;
        late.data = {'x'};
        QVERIFY(!m_endpoint.complete(m_device.lastDeferred(), late)); // withdrawn: nothing lands in buf
        QCOMPARE(buf[0], uint8_t(0));
        QCOMPARE(KestoCancelAsynchTransfer(m_h, &ov), KESTO_ERROR_NOT_FOUND);
        std::lock_guard<std::mutex> g(m_device.lock);
        m_device.deferred.clear();
        m_device.cancelledIds.clear();
    }

    void queries()
    {
        uint32_t major = 0, minor = 0;
        QCOMPARE(KestoGetDriverVersion(m_h, &major, &minor), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002024u);
        QCOMPARE(m_device.last().outputLength, 8u);
        QCOMPARE(major, 3u);
        QCOMPARE(minor, 7u);
        QVERIFY(slotText().endsWith("KESTO_USB: MajorVersion:0x00000003  MinorVersion:0x00000007\n"));
        QCOMPARE(KestoGetDriverVersion(m_h, nullptr, &minor), KESTO_ERROR_INVALID_PARAMETER);

        KESTO_GUID g{};
        QCOMPARE(KestoGetGuid(m_h, &g), 0u);
        QCOMPARE(m_device.last().controlCode, 0x8000204Cu);
        QVERIFY(std::memcmp(&g, &kInterface, 16) == 0);

        uint8_t dd[18] = {};
        QCOMPARE(KestoGetDeviceDescriptor(m_h, dd), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002010u);
        QCOMPARE(m_device.last().outputLength, 18u);
        QCOMPARE(dd[8], uint8_t(0x34));
        QVERIFY(slotText().contains("KESTOUSB_DEVICE_DESCRIPTOR on handle 0x"));
        uint8_t cd[9], id[9], ed[7];
        QCOMPARE(KestoGetConfigDescriptor(m_h, cd), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002014u);
        QCOMPARE(m_device.last().outputLength, 9u);
        QCOMPARE(KestoGetInterfaceDescriptor(m_h, id), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002018u);
        QCOMPARE(KestoGetEndpointDescriptor(m_h, 0x81, ed), 0u);
        QCOMPARE(m_device.last().controlCode, 0x8000201Cu);
        QCOMPARE(m_device.last().input, Bytes{0x81});
        QCOMPARE(m_device.last().outputLength, 7u);
        QCOMPARE(ed[2], uint8_t(0x81));

        QCOMPARE(KestoClearStall(m_h, 2), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002028u);
        QCOMPARE(m_device.last().input, Bytes{2});
        QCOMPARE(m_device.last().outputLength, 0u);
        QCOMPARE(KestoSelectInterface(m_h, 1, 0x0203), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002048u);
        QCOMPARE(m_device.last().input, (Bytes{1, 0, 0, 0, 3, 2, 0, 0}));

        uint16_t count = 0, ids[2] = {};
        QCOMPARE(KestoGetNumberOfLanguageIds(m_h, &count), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002040u);
        QCOMPARE(count, uint16_t(2));
        QCOMPARE(KestoGetLanguageIds(m_h, count, ids), 0u);
        QCOMPARE(m_device.last().controlCode, 0x8000203Cu);
        QCOMPARE(m_device.last().outputLength, 4u);
        QCOMPARE(ids[1], uint16_t(0x0411));
    }

    void stringDescriptorAndLinkName()
    {
        uint32_t length = 0;
        QCOMPARE(KestoGetStringDescriptorLength(m_h, 0x0409, 2, &length), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002044u);
        QCOMPARE(m_device.last().input, (Bytes{0x09, 0x04, 0, 0, 2, 0, 0, 0}));
        QCOMPARE(length, 8u);

        char text[32] = {};
        QCOMPARE(KestoGetStringDescriptor(m_h, 0x0409, 2, 20, text), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002020u);
        QCOMPARE(m_device.last().input, (Bytes{0x09, 0x04, 0, 0, 2, 0, 0, 0}));
        QCOMPARE(m_device.last().outputLength, 40u);
        QCOMPARE(QString::fromUtf8(text), QStringLiteral("Kesto 時計"));
        // A short buffer takes whole characters only, and no terminating zero is written.
        std::memset(text, '#', sizeof text);
        QCOMPARE(KestoGetStringDescriptor(m_h, 0x0409, 2, 8, text), 0u);
        QCOMPARE(QByteArray(text, 9), QByteArray("Kesto ###"));

        QCOMPARE(KestoGetStringDescriptor(m_h, 0x0409, 2, 8, nullptr), KESTO_ERROR_INVALID_PARAMETER);
        QVERIFY(slotText().contains(": String buffer 0x00000000 invalid\n"));
        QCOMPARE(KestoGetStringDescriptor(m_h, 0x0409, 2, 0, text), KESTO_ERROR_INVALID_PARAMETER);
        QVERIFY(slotText().contains(": String length 0x00000000 invalid\n"));

        char link[64] = {};
        QCOMPARE(KestoGetLinkname(m_h, 63, link), 0u);
        QCOMPARE(m_device.last().controlCode, 0x80002050u);
        QCOMPARE(m_device.last().outputLength, 126u);
        QCOMPARE(QByteArray(link), QByteArray("ML60852A_DRIVER10"));
        QCOMPARE(KestoGetLinkname(m_h, 0, link), KESTO_ERROR_INVALID_PARAMETER);
        QVERIFY(slotText().contains("KESTO_USB: KestoGetLinkname handle 0x"));
    }

    void openByInterfaceClass()
    {
        QCOMPARE(KestoOpenGuidHandle(&kInterface, 0, 0), KESTO_INVALID_HANDLE);
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_NO_MORE_ITEMS);
        QVERIFY(kesto::DriverEndpoint::announce(kInterface, "ML60852A_DRIVER10"));
        KESTO_HANDLE h = KestoOpenGuidHandle(&kInterface, 0, 0);
        QVERIFY(h != KESTO_INVALID_HANDLE);
        uint32_t major, minor;
        QCOMPARE(KestoGetDriverVersion(h, &major, &minor), 0u);
        QVERIFY(KestoCloseHandle(h));
        QCOMPARE(KestoOpenGuidHandle(&kInterface, 1, 0), KESTO_INVALID_HANDLE);
        KESTO_GUID other = kInterface;
        other.Data1 ^= 1;
        QCOMPARE(KestoOpenGuidHandle(&other, 0, 0), KESTO_INVALID_HANDLE);
        QCOMPARE(KestoOpenGuidHandle(nullptr, 0, 0), KESTO_INVALID_HANDLE);
        QCOMPARE(KestoGetLastError(), KESTO_ERROR_INVALID_PARAMETER);
        QVERIFY(kesto::DriverEndpoint::withdraw(kInterface, "ML60852A_DRIVER10"));
    }

    void arrivalAndRemovalAreAnnounced()
    {
        KESTO_WINDOW window{recordNotice, nullptr};
        KESTO_DEV_BROADCAST_DEVICEINTERFACE filter{};
        filter.dbcc_size = 32;
        filter.dbcc_devicetype = KESTO_DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kInterface;
        QCOMPARE(KestoRegisterDeviceNotification(&window, nullptr, 0), nullptr);
        KESTO_DEV_BROADCAST_DEVICEINTERFACE wrongKind = filter;
        wrongKind.dbcc_devicetype = 2;
        QCOMPARE(KestoRegisterDeviceNotification(&window, &wrongKind, 0), nullptr);

        // A device present at registration is not announced as arriving.
        QVERIFY(kesto::DriverEndpoint::announce(kInterface, "ML60852A_DRIVER7"));
        KESTO_HDEVNOTIFY key = KestoRegisterDeviceNotification(&window, &filter, 0);
        QVERIFY(key != nullptr);
        QTest::qWait(300);
        QCOMPARE(noticeCount(), size_t(0));

        KESTO_GUID other = kInterface;
        other.Data2 ^= 1;
        QVERIFY(kesto::DriverEndpoint::announce(other, "ML60852A_DRIVER8")); // another class: not ours
        QVERIFY(kesto::DriverEndpoint::announce(kInterface, "ML60852A_DRIVER9"));
        QTRY_COMPARE_WITH_TIMEOUT(noticeCount(), size_t(1), 5000);
        {
            std::lock_guard<std::mutex> g(g_noticeLock);
            QCOMPARE(g_notices[0].event, KESTO_DBT_DEVICEARRIVAL);
            QCOMPARE(QByteArray(g_notices[0].name.c_str()),
                     QByteArray("\\\\.\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}ML60852A_DRIVER9"));
        }
        QVERIFY(kesto::DriverEndpoint::withdraw(kInterface, "ML60852A_DRIVER7"));
        QTRY_COMPARE_WITH_TIMEOUT(noticeCount(), size_t(2), 5000);
        {
            std::lock_guard<std::mutex> g(g_noticeLock);
            QCOMPARE(g_notices[1].event, KESTO_DBT_DEVICEREMOVECOMPLETE);
            QVERIFY(g_notices[1].name.find("ML60852A_DRIVER7") != std::string::npos);
        }
        QVERIFY(KestoUnregisterDeviceNotification(key));
        QVERIFY(!KestoUnregisterDeviceNotification(key));
        QVERIFY(kesto::DriverEndpoint::withdraw(kInterface, "ML60852A_DRIVER9"));
        QVERIFY(kesto::DriverEndpoint::withdraw(other, "ML60852A_DRIVER8"));
        QTest::qWait(300);
        QCOMPARE(noticeCount(), size_t(2));
    }

    // A device that arrives right after the registration, before the watcher has looked at the
    // folder even once, is announced all the same. Each round starts a new watcher, so the
    // arrival falls at a different moment of its start-up.
    void arrivalJustAfterRegistrationIsAnnounced()
    {
        KESTO_WINDOW window{recordNotice, nullptr};
        KESTO_DEV_BROADCAST_DEVICEINTERFACE filter{};
        filter.dbcc_size = 32;
        filter.dbcc_devicetype = KESTO_DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = kInterface;
        for (int round = 0; round < 10; ++round) {
            {
                std::lock_guard<std::mutex> g(g_noticeLock);
                g_notices.clear();
            }
            KESTO_HDEVNOTIFY key = KestoRegisterDeviceNotification(&window, &filter, 0);
            QVERIFY(key != nullptr);
            const bool announced = kesto::DriverEndpoint::announce(kInterface, "ML60852A_DRIVER5");
            bool heard = false;
            for (int waited = 0; waited < 5000 && !heard; waited += 20) {
                QTest::qWait(20);
                heard = noticeCount() == 1;
            }
            // Unregistered before any check can return, so no notice reaches a dead window.
            QVERIFY(KestoUnregisterDeviceNotification(key));
            QVERIFY(kesto::DriverEndpoint::withdraw(kInterface, "ML60852A_DRIVER5"));
            QVERIFY(announced);
            QVERIFY2(heard, qPrintable(QStringLiteral("round %1").arg(round)));
        }
    }

    void driverThatGoesAwayEndsAWaitingTransfer()
    {
        // A synchronous transfer waits for the driver without limit, but not past its end.
        TestDevice silent;
        silent.deferCode = KESTO_IOCTL_BULK_TRANSFER;
        auto ep = std::make_unique<kesto::DriverEndpoint>(silent);
        QVERIFY(ep->listen(kesto::DriverEndpoint::socketPathFor("GONE", 0)));
        KESTO_HANDLE h = KestoOpenHandle("GONE", 0, 0);
        QVERIFY(h != KESTO_INVALID_HANDLE);
        std::atomic<uint32_t> result{0xFFFFFFFF};
        std::thread t([&] {
            uint8_t buf[64];
            uint32_t n;
            result = KestoBulkTransfer(h, 1, 64, buf, &n);
        });
        QTRY_COMPARE(silent.deferredCount(), size_t(1));
        QCOMPARE(result.load(), 0xFFFFFFFFu);
        ep.reset();
        t.join();
        QCOMPARE(result.load(), KESTO_ERROR_DEVICE_NOT_CONNECTED);
        QVERIFY(KestoCloseHandle(h));
    }
};

QTEST_GUILESS_MAIN(TestDriverApi)
#include "tst_driverapi.moc"
