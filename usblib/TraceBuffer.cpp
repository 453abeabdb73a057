// The shared trace buffer: writers in any process append text under the robust mutex, one
// reader (the holder of the owner key) waits on the per-slot events and copies slots out.
//
// Attachments are counted by locks the kernel keeps for each attached process (open file
// description locks on the shared memory object, one byte per attachment): a process that dies
// or replaces itself with exec drops its lock without running any code, so the count never
// holds on to it, the buffer is set up afresh when nobody else is attached, and a reader that
// is gone no longer holds the owner key. A child that forks without exec shares its parent's
// lock, and with it its attachment, as it shares the mapped buffer.

#include "Internal.h"
#include "TraceSection.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace kesto {

namespace {

// Defined before the detacher below, so that it outlives it.
std::string g_shmName;

std::mutex g_attachLock;
SharedTrace *g_shared = nullptr;
bool g_attachTried = false;
int g_attachFd = -1;   // the description holding this process's attachment lock
int g_attachment = -1; // its index, -1 when none could be taken
int g_probeFd = -1;    // a description of our own that holds no lock, to ask about the others

constexpr uint32_t kWaitAbandoned = 128;
constexpr uint32_t kWrongKey = 1010;

uint8_t nextIndex(uint8_t i) { return static_cast<uint8_t>((i + 1) % kTraceSlots); }

// Another process may have left nonsense in the shared indexes; never index outside the slots.
uint8_t sane(uint8_t i) { return static_cast<uint8_t>(i % kTraceSlots); }

void initObjects(SharedTrace *s)
{
    pthread_mutexattr_t ma;
    pthread_mutexattr_init(&ma);
    pthread_mutexattr_setpshared(&ma, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&ma, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(&s->mutex, &ma);
    pthread_mutexattr_destroy(&ma);

    pthread_condattr_t ca;
    pthread_condattr_init(&ca);
    pthread_condattr_setpshared(&ca, PTHREAD_PROCESS_SHARED);
    pthread_condattr_setclock(&ca, CLOCK_MONOTONIC);
    for (auto &e : s->events) {
        pthread_cond_init(&e.cond, &ca);
        e.signalled = 0;
    }
    pthread_condattr_destroy(&ca);
}

// Takes the mutex; returns 0, or 128 when the previous owner died holding it (the mutex is
// then owned and marked consistent again, as a Windows wait on an abandoned mutex leaves it).
int lockShared(SharedTrace *s)
{
    int r = pthread_mutex_lock(&s->mutex);
    if (r == EOWNERDEAD) {
        pthread_mutex_consistent(&s->mutex);
        return kWaitAbandoned;
    }
    return r;
}

void unlockShared(SharedTrace *s) { pthread_mutex_unlock(&s->mutex); }

void signalEvent(SharedTrace *s, int n)
{
    s->events[n].signalled = 1;
    pthread_cond_broadcast(&s->events[n].cond);
}

void resetBuffer(TraceSection &t)
{
    std::memset(t.traceSlots, 0, sizeof t.traceSlots);
    t.writeSlot = 0;
    t.oldestSlot = 0;
}

// Wakes readers on every slot from the oldest to the one being written.
void wakeReaders(SharedTrace *s)
{
    uint8_t i = sane(s->section.oldestSlot);
    const uint8_t w = sane(s->section.writeSlot);
    for (int guard = 0; guard < kTraceSlots; ++guard) {
        signalEvent(s, i);
        if (i == w)
            break;
        i = nextIndex(i);
    }
}

void clearLocked(SharedTrace *s)
{
    wakeReaders(s);
    resetBuffer(s->section);
    s->section.cleared = 1;
}

void appendLocked(SharedTrace *s, const char *text, uint32_t len)
{
    TraceSection &t = s->section;
    uint8_t w = sane(t.writeSlot);
    TraceSlot *slot = &t.traceSlots[w];
    if (slot->used > kTraceTextSize)
        slot->used = kTraceTextSize;
    char *dst;
    if (len < kTraceTextSize - slot->used) {
        dst = slot->text + slot->used;
    } else {
        signalEvent(s, w); // the filled slot is complete
        w = nextIndex(w);
        t.writeSlot = w;
        if (w == sane(t.oldestSlot))
            t.oldestSlot = nextIndex(w);
        slot = &t.traceSlots[w];
        std::memset(slot->text, 0, sizeof slot->text);
        slot->used = 0;
        dst = slot->text;
    }
    std::memcpy(dst, text, len);
    slot->used += static_cast<uint32_t>(strnlen(dst, len));
    signalEvent(s, w);
}

void appendText(const char *text, uint32_t len)
{
    SharedTrace *s = g_shared;
    lockShared(s);
    appendLocked(s, text, len);
    unlockShared(s);
}

SharedTrace *mapShared()
{
    const char *name = traceShmName();
    bool created = false;
    int fd = shm_open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        created = true;
        if (ftruncate(fd, sizeof(SharedTrace)) != 0) {
            close(fd);
            shm_unlink(name);
            return nullptr;
        }
    } else if (errno == EEXIST) {
        fd = shm_open(name, O_RDWR | O_CLOEXEC, 0600);
        if (fd < 0)
            return nullptr;
        // The creator may still be sizing it.
        struct stat st {
        };
        for (int i = 0; i < 200; ++i) {
            if (fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(sizeof(SharedTrace)))
                break;
            usleep(10000);
        }
        if (st.st_size < static_cast<off_t>(sizeof(SharedTrace))) {
            close(fd);
            return nullptr;
        }
    } else {
        return nullptr;
    }
    void *p = mmap(nullptr, sizeof(SharedTrace), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (p == MAP_FAILED)
        return nullptr;
    auto *s = static_cast<SharedTrace *>(p);
    if (created) {
        initObjects(s);
        s->ready.store(kTraceReadyMagic, std::memory_order_release);
    } else {
        for (int i = 0; i < 200 && s->ready.load(std::memory_order_acquire) != kTraceReadyMagic; ++i)
            usleep(10000);
        if (s->ready.load(std::memory_order_acquire) != kTraceReadyMagic) {
            munmap(p, sizeof(SharedTrace));
            return nullptr;
        }
    }
    return s;
}

struct flock attachmentByte(int index, short type)
{
    struct flock fl {
    };
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = index;
    fl.l_len = 1;
    return fl;
}

// Whether some process holds attachment `index`, asked through a description of our own (ours
// is another, so our own attachment counts too). When the kernel cannot say, the attachment
// is taken to be alive: a buffer is never set up afresh under a process that may be using it.
bool attachmentAlive(int probe, int index)
{
    struct flock fl = attachmentByte(index, F_WRLCK);
    if (probe < 0 || fcntl(probe, F_OFD_GETLK, &fl) != 0)
        return true;
    return fl.l_type != F_UNLCK;
}

uint32_t liveAttachments()
{
    uint32_t n = 0;
    for (int i = 0; i < kTraceAttachments; ++i)
        n += attachmentAlive(g_probeFd, i) ? 1 : 0;
    return n;
}

// Takes the first free attachment for this process; called under the mutex.
void takeAttachment()
{
    g_probeFd = shm_open(traceShmName(), O_RDWR | O_CLOEXEC, 0600);
    g_attachFd = shm_open(traceShmName(), O_RDWR | O_CLOEXEC, 0600);
    if (g_attachFd < 0)
        return;
    for (int i = 0; i < kTraceAttachments; ++i) {
        struct flock fl = attachmentByte(i, F_WRLCK);
        if (fcntl(g_attachFd, F_OFD_SETLK, &fl) == 0) {
            g_attachment = i;
            return;
        }
        if (errno != EAGAIN && errno != EACCES)
            break;
    }
    close(g_attachFd);
    g_attachFd = -1;
}

// Whether the reader that holds the owner key is still attached.
bool ownerAlive(SharedTrace *s)
{
    const uint32_t a = s->ownerAttachment;
    if (a == 0 || a > kTraceAttachments)
        return true; // not known: held as long as it is marked held
    return attachmentAlive(g_probeFd, static_cast<int>(a - 1));
}

uint32_t myAttachment() { return g_attachment >= 0 ? static_cast<uint32_t>(g_attachment + 1) : 0; }

SharedTrace *attach()
{
    std::lock_guard<std::mutex> guard(g_attachLock);
    if (g_attachTried)
        return g_shared;
    g_attachTried = true;
    SharedTrace *s = mapShared();
    if (!s)
        return nullptr;
    lockShared(s);
    TraceSection &t = s->section;
    takeAttachment();
    // Without an attachment of its own (every one taken) this process is one more than counted.
    t.attachCount = liveAttachments() + (g_attachment < 0 ? 1 : 0);
    if (t.attachCount == 1) {
        // The first process starts with a fresh buffer, as a newly loaded section would be,
        // whatever processes that are gone left in it.
        resetBuffer(t);
        t.cleared = 0;
        t.tracingEnabled = 0;
        t.ownerKey = 0;
        t.ownerHeld = 0;
        s->ownerAttachment = 0;
        for (auto &e : s->events)
            e.signalled = 0;
        t.active = 1;
    }
    unlockShared(s);
    g_shared = s;
    return s;
}

struct Detacher {
    ~Detacher()
    {
        std::lock_guard<std::mutex> guard(g_attachLock);
        SharedTrace *s = g_shared;
        if (!s)
            return;
        lockShared(s);
        if (g_attachFd >= 0) {
            close(g_attachFd); // lets go of the attachment, unless a forked child shares it
            g_attachFd = -1;
        }
        s->section.attachCount = liveAttachments();
        if (s->section.attachCount == 0)
            s->section.active = 0;
        unlockShared(s);
        if (g_probeFd >= 0) {
            close(g_probeFd);
            g_probeFd = -1;
        }
        g_shared = nullptr;
        munmap(s, sizeof(SharedTrace));
    }
};
Detacher g_detacher;

bool ready(SharedTrace *s)
{
    return s && __atomic_load_n(&s->section.tracingEnabled, __ATOMIC_RELAXED)
           && __atomic_load_n(&s->section.active, __ATOMIC_RELAXED);
}

} // namespace

const char *traceShmName()
{
    if (g_shmName.empty()) {
        const char *env = std::getenv("KESTOUSB_TRACE_SHM");
        if (env && env[0] == '/' && std::strlen(env) < 200)
            g_shmName = env;
        else
            g_shmName = "/KestoUSB_Trace_Buffer." + std::to_string(getuid());
    }
    return g_shmName.c_str();
}

bool tracingOn() { return ready(attach()); }

void traceLine(const char *format, ...)
{
    if (!tracingOn())
        return;
    char buf[kTraceTextSize + 1];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf - 1, format, ap);
    va_end(ap);
    if (n < 0)
        return;
    size_t len = std::min<size_t>(static_cast<size_t>(n), sizeof buf - 2);
    buf[len++] = '\n';
    appendText(buf, static_cast<uint32_t>(len));
}

} // namespace kesto

using namespace kesto;

extern "C" {

KESTO_HRESULT KestoUsbTrace(const char *text, uint32_t maximumCount)
{
    SharedTrace *s = attach();
    if (!ready(s))
        return KESTO_E_ACCESSDENIED;
    if (!text) {
        traceLine("KestoUsbTrace: pTraceString is NULL");
        return KESTO_E_INVALIDARG;
    }
    size_t len = strnlen(text, maximumCount);
    if (len > kTraceTextSize) {
        traceLine("Kesto for USB: KestoUsbTrace count of %d exceeds maximum count of %d", static_cast<int>(len),
                  static_cast<int>(kTraceTextSize));
        return KESTO_E_INVALIDARG;
    }
    appendText(text, static_cast<uint32_t>(len));
    return 0;
}

KESTO_HRESULT KestoUsbPrintf(const char *format, ...)
{
    SharedTrace *s = attach();
    if (!ready(s))
        return KESTO_E_ACCESSDENIED;
    if (!format) {
        traceLine("KestoUsbPrintf: pFormat is NULL");
        return KESTO_E_INVALIDARG;
    }
    // A buffer per call rather than per process, so that two threads formatting at once do
    // not overwrite each other's text.
    char buf[kTraceTextSize + 1];
    va_list ap;
    va_start(ap, format);
    int n = std::vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    if (n < 0 || static_cast<uint32_t>(n) > kTraceTextSize) {
        traceLine("Trace string too long");
        return KESTO_E_INVALIDARG;
    }
    appendText(buf, static_cast<uint32_t>(n));
    return 0;
}

uint32_t WaitForTrace(int8_t slot, uint32_t /*reserved*/, uint32_t timeoutMs, void *record4100, int8_t *nextSlot,
                      uint32_t *length, uint32_t ownerKey)
{
    SharedTrace *s = attach();
    if (!s)
        return static_cast<uint32_t>(KESTO_E_ACCESSDENIED);
    if (!record4100 || !nextSlot || !length)
        return static_cast<uint32_t>(KESTO_E_INVALIDARG);
    TraceSection &t = s->section;

    if (lockShared(s) == kWaitAbandoned) {
        unlockShared(s);
        return kWaitAbandoned;
    }
    auto keyAndClearCheck = [&](uint32_t *result) {
        if (ownerKey != t.ownerKey) {
            *result = kWrongKey;
            return true;
        }
        if (t.cleared) {
            *nextSlot = 0;
            *length = 0;
            t.cleared = 0;
            *result = KESTO_WAIT_TIMEOUT;
            return true;
        }
        return false;
    };
    uint32_t result = 0;
    if (keyAndClearCheck(&result)) {
        unlockShared(s);
        return result;
    }
    if (slot < -1 || slot > 4) {
        unlockShared(s);
        return static_cast<uint32_t>(KESTO_E_INVALIDARG);
    }
    const int n = slot == -1 ? sane(t.oldestSlot) : slot;
    TraceEvent &ev = s->events[n];

    timespec deadline{};
    if (timeoutMs != KESTO_INFINITE) {
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += timeoutMs / 1000;
        deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
    }
    while (!ev.signalled) {
        int r = timeoutMs == KESTO_INFINITE ? pthread_cond_wait(&ev.cond, &s->mutex)
                                            : pthread_cond_timedwait(&ev.cond, &s->mutex, &deadline);
        if (r == EOWNERDEAD) {
            pthread_mutex_consistent(&s->mutex);
            unlockShared(s);
            return kWaitAbandoned;
        }
        if (r == ETIMEDOUT) {
            if (ev.signalled)
                break;
            unlockShared(s);
            return KESTO_WAIT_TIMEOUT;
        }
        if (r != 0) {
            unlockShared(s);
            return errnoToError(r);
        }
    }
    if (keyAndClearCheck(&result)) {
        unlockShared(s);
        return result;
    }
    ev.signalled = 0;
    std::memcpy(record4100, &t.traceSlots[n], sizeof(TraceSlot));
    if (n == sane(t.writeSlot)) {
        *length = t.traceSlots[n].used;
        *nextSlot = static_cast<int8_t>(n);
    } else {
        *length = 0;
        *nextSlot = static_cast<int8_t>(nextIndex(static_cast<uint8_t>(n)));
    }
    unlockShared(s);
    return 0;
}

KESTO_BOOL KestoUsbEnableTracing(uint32_t ownerKey, KESTO_BOOL enable)
{
    SharedTrace *s = attach();
    if (!s)
        return 0;
    lockShared(s);
    if (ownerKey != s->section.ownerKey) {
        unlockShared(s);
        return 0;
    }
    if (!enable)
        clearLocked(s);
    s->section.tracingEnabled = enable ? 1 : 0;
    unlockShared(s);
    return 1;
}

void KestoClearTraceBuffer(void)
{
    SharedTrace *s = attach();
    if (!s)
        return;
    lockShared(s);
    clearLocked(s);
    unlockShared(s);
}

KESTO_BOOL KestoSetReadTraceOwnerKey(uint32_t ownerKey, KESTO_BOOL force)
{
    SharedTrace *s = attach();
    if (!s)
        return 0;
    lockShared(s);
    TraceSection &t = s->section;
    if (ownerKey == t.ownerKey) {
        t.ownerHeld = 1;
        wakeReaders(s);
    } else if (t.ownerHeld && !force && ownerAlive(s)) {
        unlockShared(s);
        return 0;
    } else {
        // A key held by a reader that is gone is free: nobody can release it any more.
        wakeReaders(s);
        t.ownerKey = ownerKey;
        t.ownerHeld = 1;
    }
    s->ownerAttachment = myAttachment();
    unlockShared(s);
    return 1;
}

KESTO_BOOL KestoReleaseReadTraceOwnerKey(uint32_t ownerKey)
{
    SharedTrace *s = attach();
    if (!s)
        return 0;
    lockShared(s);
    bool ok = ownerKey == s->section.ownerKey;
    if (ok)
        s->section.ownerHeld = 0;
    unlockShared(s);
    return ok ? 1 : 0;
}

} // extern "C"
