// The shared trace buffer, written and read by two processes.

#include "UsbTestSupport.h"
#include "usblib/TraceSection.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <QElapsedTimer>
#include <QProcess>

using namespace usbtest;

namespace {

// Runs `body` in a child process and returns its exit status (the child never returns).
template <typename F>
pid_t spawn(F body)
{
    pid_t pid = fork();
    if (pid == 0) {
        int rc = body();
        _exit(rc);
    }
    return pid;
}

int join(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint32_t wait(int8_t slot, uint32_t timeout, TraceRecord *r, int8_t *next, uint32_t *len, uint32_t key = kReaderKey)
{
    return WaitForTrace(slot, 0, timeout, r, next, len, key);
}

// Starts the helper program on the buffer `shm` and waits until it says it is ready.
bool startHelper(QProcess &p, const QStringList &args, const std::string &shm)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESTOUSB_TRACE_SHM"), QString::fromStdString(shm));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TRACE_HELPER), args);
    if (!p.waitForStarted(5000))
        return false;
    QByteArray out;
    while (!out.contains("ready\n")) {
        if (!p.waitForReadyRead(5000))
            return false;
        out += p.readAllStandardOutput();
    }
    return true;
}

void stopHelper(QProcess &p)
{
    p.kill();
    p.waitForFinished(5000);
}

// A view of a trace buffer's shared memory that does not attach to it as a user of the
// library would.
struct BufferView {
    kesto::SharedTrace *s = nullptr;
    explicit BufferView(const std::string &shm)
    {
        const int fd = shm_open(shm.c_str(), O_RDWR, 0600);
        if (fd < 0)
            return;
        void *p = mmap(nullptr, sizeof(kesto::SharedTrace), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ::close(fd);
        if (p != MAP_FAILED)
            s = static_cast<kesto::SharedTrace *>(p);
    }
    ~BufferView()
    {
        if (s)
            munmap(s, sizeof(kesto::SharedTrace));
    }
    kesto::TraceSection &t() const { return s->section; }
};

} // namespace

class TestTraceBuffer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::string m_shm;
    kesto::SharedTrace *m_view = nullptr; // this test's own view of the shared memory

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_shm = isolate(m_dir);
        freshBuffer(true); // attaches, creating the shared memory
        int fd = shm_open(m_shm.c_str(), O_RDWR, 0600);
        QVERIFY(fd >= 0);
        void *p = mmap(nullptr, sizeof(kesto::SharedTrace), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ::close(fd);
        QVERIFY(p != MAP_FAILED);
        m_view = static_cast<kesto::SharedTrace *>(p);
        QCOMPARE(m_view->section.attachCount, 1u);
        QCOMPARE(int(m_view->section.active), 1);
    }
    void cleanupTestCase() { shm_unlink(m_shm.c_str()); }
    void init() { freshBuffer(true); }

    void tracingOffRefusesAndLeavesBufferAlone()
    {
        QCOMPARE(KestoUsbTrace("kept", 4), 0);
        QVERIFY(KestoUsbEnableTracing(kReaderKey, 0)); // switching off empties the buffer
        freshBuffer(false);
        pid_t child = spawn([] {
            return KestoUsbTrace("lost", 4) == KESTO_E_ACCESSDENIED && KestoUsbPrintf("%d", 1) == KESTO_E_ACCESSDENIED
                       ? 0
                       : 1;
        });
        QCOMPARE(join(child), 0);
        const kesto::TraceSection &t = m_view->section;
        QCOMPARE(t.traceSlots[0].used, 0u);
        QCOMPARE(t.traceSlots[0].text[0], '\0');
        QCOMPARE(int(t.writeSlot), 0);
        QCOMPARE(int(t.tracingEnabled), 0);
        TraceRecord r;
        int8_t next;
        uint32_t len;
        QCOMPARE(wait(0, 0, &r, &next, &len), KESTO_WAIT_TIMEOUT); // nothing was signalled
        QVERIFY(KestoUsbEnableTracing(kReaderKey, 1));
        QCOMPARE(KestoUsbTrace("x", 1), 0);
        QCOMPARE(slotText(), QByteArray("x"));
    }

    void secondTextThatDoesNotFitStartsNextSlot()
    {
        // The reader waits on slot 0 while another process writes 3000 and then 2000 bytes.
        pid_t child = spawn([] {
            usleep(100000);
            std::string a(3000, 'a'), b(2000, 'b');
            if (KestoUsbTrace(a.c_str(), 3000) != 0)
                return 1;
            usleep(300000);
            return KestoUsbTrace(b.c_str(), 2000) == 0 ? 0 : 1;
        });
        TraceRecord r{};
        int8_t next = -9;
        uint32_t len = 99;
        QCOMPARE(wait(0, 5000, &r, &next, &len), 0u);
        QCOMPARE(r.used, 3000u);
        QCOMPARE(next, int8_t(0)); // still the slot being written
        QCOMPARE(len, 3000u);
        // The second text does not fit: slot 0 is complete and signalled again.
        QCOMPARE(wait(0, 5000, &r, &next, &len), 0u);
        QCOMPARE(join(child), 0);
        QCOMPARE(r.used, 3000u);
        QCOMPARE(QByteArray(r.text, 3000), QByteArray(3000, 'a'));
        QCOMPARE(r.text[3000], '\0');
        QCOMPARE(next, int8_t(1));
        QCOMPARE(len, 0u);
        QCOMPARE(wait(1, 1000, &r, &next, &len), 0u);
        QCOMPARE(r.used, 2000u);
        QCOMPARE(QByteArray(r.text, 2000), QByteArray(2000, 'b'));
        QCOMPARE(next, int8_t(1)); // the slot still being written is read again later
        QCOMPARE(len, 2000u);
    }

    void oldestSlotAdvancesAfterFiveFullSlots()
    {
        pid_t child = spawn([] {
            for (char c = 'A'; c <= 'F'; ++c) {
                std::string t(3000, c);
                if (KestoUsbTrace(t.c_str(), 3000) != 0)
                    return 1;
            }
            return 0;
        });
        QCOMPARE(join(child), 0);
        TraceRecord r{};
        int8_t next;
        uint32_t len;
        QCOMPARE(wait(-1, 1000, &r, &next, &len), 0u);
        QCOMPARE(r.text[0], 'B'); // A was overwritten by F in slot 0
        QCOMPARE(r.used, 3000u);
        QCOMPARE(next, int8_t(2));
        QCOMPARE(wait(0, 1000, &r, &next, &len), 0u);
        QCOMPARE(r.text[0], 'F');
        QCOMPARE(next, int8_t(0));
        QCOMPARE(len, 3000u);
    }

    void zeroByteEndsTheUsedLength()
    {
        QCOMPARE(KestoUsbPrintf("ab%cde", 0), 0);
        QCOMPARE(KestoUsbTrace("XY", 2), 0);
        TraceRecord r{};
        int8_t next;
        uint32_t len;
        QCOMPARE(wait(0, 0, &r, &next, &len), 0u);
        QCOMPARE(r.used, 4u);
        QCOMPARE(QByteArray(r.text, 6), QByteArray("abXYe\0", 6)); // the rest after the zero stays behind
        // A count shorter than the text takes only that many bytes.
        QCOMPARE(KestoUsbTrace("12345", 3), 0);
        QCOMPARE(slotText(), QByteArray("abXY123"));
    }

    void clearWakesAPendingWait()
    {
        pid_t child = spawn([] {
            usleep(200000);
            KestoClearTraceBuffer();
            return 0;
        });
        TraceRecord r{};
        int8_t next = 3;
        uint32_t len = 7;
        QElapsedTimer t;
        t.start();
        QCOMPARE(wait(0, 10000, &r, &next, &len), KESTO_WAIT_TIMEOUT);
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(len, 0u);
        QCOMPARE(next, int8_t(0));
        QCOMPARE(join(child), 0);
    }

    void readerKeyIsHeldUntilForcedOrReleased()
    {
        QVERIFY(KestoSetReadTraceOwnerKey(kReaderKey, 0)); // the holder may set it again
        pid_t second = spawn([] {
            if (KestoSetReadTraceOwnerKey(99, 0))
                return 1; // taken while held
            if (KestoUsbEnableTracing(99, 1))
                return 2;
            TraceRecord r;
            int8_t next;
            uint32_t len;
            if (WaitForTrace(0, 0, 0, &r, &next, &len, 99) != 1010)
                return 3;
            if (!KestoSetReadTraceOwnerKey(99, 1))
                return 4;
            return 0;
        });
        QCOMPARE(join(second), 0);
        TraceRecord r;
        int8_t next;
        uint32_t len;
        QCOMPARE(wait(0, 0, &r, &next, &len), 1010u); // the first reader lost the key
        QVERIFY(!KestoUsbEnableTracing(kReaderKey, 1));
        QVERIFY(!KestoReleaseReadTraceOwnerKey(kReaderKey));
        QVERIFY(!KestoSetReadTraceOwnerKey(kReaderKey, 0));
        QVERIFY(KestoReleaseReadTraceOwnerKey(99));
        QVERIFY(KestoSetReadTraceOwnerKey(kReaderKey, 0)); // free again
    }

    void waitIsWokenWhenAnotherReaderTakesTheKey()
    {
        pid_t child = spawn([] {
            usleep(200000);
            return KestoSetReadTraceOwnerKey(42, 1) ? 0 : 1;
        });
        TraceRecord r;
        int8_t next;
        uint32_t len;
        QElapsedTimer t;
        t.start();
        QCOMPARE(wait(0, 10000, &r, &next, &len), 1010u);
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(join(child), 0);
    }

    void ownerThatDiedHoldingTheMutexIsReportedAsAbandoned()
    {
        const std::string name = m_shm;
        pid_t child = spawn([name] {
            int fd = shm_open(name.c_str(), O_RDWR, 0600);
            if (fd < 0)
                return 1;
            void *p = mmap(nullptr, sizeof(kesto::SharedTrace), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (p == MAP_FAILED)
                return 2;
            pthread_mutex_lock(&static_cast<kesto::SharedTrace *>(p)->mutex);
            return 0; // ends holding it
        });
        QCOMPARE(join(child), 0);
        TraceRecord r;
        int8_t next;
        uint32_t len;
        QCOMPARE(wait(0, 0, &r, &next, &len), 128u);
        // The mutex is usable again afterwards.
        QCOMPARE(KestoUsbTrace("after", 5), 0);
        QCOMPARE(slotText(), QByteArray("after"));
    }

    void invalidArgumentsAreRefusedAndTraced()
    {
        QCOMPARE(KestoUsbTrace(nullptr, 1), KESTO_E_INVALIDARG);
        QCOMPARE(slotText(), QByteArray("KestoUsbTrace: pTraceString is NULL\n"));
        std::string big(5000, 'z');
        freshBuffer(true);
        QCOMPARE(KestoUsbTrace(big.c_str(), 5000), KESTO_E_INVALIDARG);
        QCOMPARE(slotText(), QByteArray("Kesto for USB: KestoUsbTrace count of 5000 exceeds maximum count of 4096\n"));
        freshBuffer(true);
        QCOMPARE(KestoUsbPrintf("%s", big.c_str()), KESTO_E_INVALIDARG);
        QCOMPARE(slotText(), QByteArray("Trace string too long\n"));
        QCOMPARE(KestoUsbTrace(big.c_str(), 4096), 0); // exactly a slot's worth is fine
        TraceRecord r;
        int8_t next;
        uint32_t len;
        QCOMPARE(wait(5, 0, &r, &next, &len), static_cast<uint32_t>(KESTO_E_INVALIDARG));
        QCOMPARE(wait(0, 0, nullptr, &next, &len), static_cast<uint32_t>(KESTO_E_INVALIDARG));
        QCOMPARE(wait(3, 50, &r, &next, &len), KESTO_WAIT_TIMEOUT);
    }

    // ---- processes that are gone ----

    // A reader that is killed can release nothing: its key is free without force afterwards,
    // and it is no longer counted among the attached processes.
    void aKilledReaderLeavesItsKeyFree()
    {
        QVERIFY(KestoReleaseReadTraceOwnerKey(kReaderKey));
        QProcess reader;
        QVERIFY(startHelper(reader, {QStringLiteral("read"), QStringLiteral("77")}, m_shm));
        QCOMPARE(m_view->section.attachCount, 2u);
        QCOMPARE(m_view->section.ownerKey, 77u);
        QVERIFY(!KestoSetReadTraceOwnerKey(kReaderKey, 0)); // a live reader holds it
        stopHelper(reader);
        QVERIFY(KestoSetReadTraceOwnerKey(kReaderKey, 0));
        QCOMPARE(m_view->section.ownerKey, kReaderKey);

        QProcess user;
        QVERIFY(startHelper(user, {QStringLiteral("attach")}, m_shm));
        QCOMPARE(m_view->section.attachCount, 2u); // this test and the new user, not the dead reader
        // A live reader's key still needs force.
        QVERIFY(KestoReleaseReadTraceOwnerKey(kReaderKey));
        QVERIFY(startHelper(reader, {QStringLiteral("read"), QStringLiteral("78")}, m_shm));
        QVERIFY(!KestoSetReadTraceOwnerKey(kReaderKey, 0));
        QVERIFY(KestoSetReadTraceOwnerKey(kReaderKey, 1));
        stopHelper(reader);
        stopHelper(user);
    }

    // Once every process that used a buffer is gone, killed or not, the next one sets it up
    // afresh: tracing off until its reader switches it on, no text of the dead, its own count.
    void bufferIsSetUpAfreshWhenItsProcessesAreGone()
    {
        const std::string shm = m_shm + "-b";
        shm_unlink(shm.c_str());
        QProcess first;
        QVERIFY(startHelper(first, {QStringLiteral("read"), QStringLiteral("11")}, shm));
        {
            BufferView v(shm);
            QVERIFY(v.s);
            QCOMPARE(v.t().attachCount, 1u);
            QCOMPARE(QByteArray(v.t().traceSlots[0].text), QByteArray("helper 11 reading\n"));
            stopHelper(first);

            QProcess second; // without force: the dead reader's key is free
            QVERIFY(startHelper(second, {QStringLiteral("read"), QStringLiteral("22")}, shm));
            QCOMPARE(v.t().attachCount, 1u);
            QCOMPARE(v.t().ownerKey, 22u);
            QCOMPARE(int(v.t().active), 1);
            QCOMPARE(QByteArray(v.t().traceSlots[0].text), QByteArray("helper 22 reading\n"));
            stopHelper(second);
        }
        shm_unlink(shm.c_str());
    }

    // A child that a user of the buffer forks and that then runs another program does not use
    // the buffer: when its parent ends, nobody is attached any more.
    void aChildThatExecsIsNoAttachment()
    {
        const std::string shm = m_shm + "-c";
        shm_unlink(shm.c_str());
        QProcess parent;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KESTOUSB_TRACE_SHM"), QString::fromStdString(shm));
        parent.setProcessEnvironment(env);
        parent.start(QStringLiteral(TRACE_HELPER), {QStringLiteral("exec-child")});
        QVERIFY(parent.waitForFinished(10000));
        QCOMPARE(parent.exitCode(), 0);
        bool ok = false;
        const pid_t child = parent.readAllStandardOutput().trimmed().toInt(&ok);
        QVERIFY(ok && child > 0);
        {
            BufferView v(shm);
            QVERIFY(v.s);
            QCOMPARE(v.t().attachCount, 0u);
            QCOMPARE(int(v.t().active), 0);
        }
        ::kill(child, SIGKILL); // the helper's own child, idle until now
        shm_unlink(shm.c_str());
    }
};

QTEST_GUILESS_MAIN(TestTraceBuffer)
#include "tst_tracebuffer.moc"
