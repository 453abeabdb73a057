// Layout of the trace buffer that every process using the library shares. The section's fields
// keep the order and sizes of the Windows build's shared data section, so a viewer that knows
// that layout reads this one; the synchronisation objects follow it in the same shared memory
// object.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace kesto {

constexpr int kTraceSlots = 5;
constexpr uint32_t kTraceTextSize = 4096;

struct TraceSlot {
    uint32_t used;
    char text[kTraceTextSize];
};

struct TraceSection {
    TraceSlot traceSlots[kTraceSlots];
    uint8_t writeSlot;
    uint8_t oldestSlot;
    uint8_t active;
    uint32_t attachCount;
    uint8_t cleared;
    uint8_t tracingEnabled;
    uint32_t ownerKey;
    uint8_t ownerHeld;
};

static_assert(sizeof(TraceSlot) == 4100);
static_assert(offsetof(TraceSection, writeSlot) == 20500);
static_assert(offsetof(TraceSection, attachCount) == 20504);
static_assert(offsetof(TraceSection, cleared) == 20508);
static_assert(offsetof(TraceSection, ownerKey) == 20512);
static_assert(offsetof(TraceSection, ownerHeld) == 20516);

// A manual-reset event: stays signalled until the reader resets it. Waiters sleep on the
// condition variable under the trace mutex.
struct TraceEvent {
    pthread_cond_t cond;
    uint32_t signalled;
};

constexpr uint32_t kTraceReadyMagic = 0x4B535452; // "KSTR"

// Each attached process holds a lock on one byte of the shared memory object, at the index of
// its attachment; the kernel lets go of it when the process dies or execs another program, so
// attachments of processes that are gone are recognised as such.
constexpr int kTraceAttachments = 1024;

// The whole shared memory object. `mutex` is the trace buffer's named mutex
// ("KestoUSB_Trace_Buffer_Mutex"), events[n] is "KestoUSB_Trace_Buffer_Event_0x0n".
struct SharedTrace {
    TraceSection section;
    std::atomic<uint32_t> ready;
    pthread_mutex_t mutex;
    TraceEvent events[kTraceSlots];
    // The attachment (index + 1) of the reader that holds the owner key; 0 when not known.
    uint32_t ownerAttachment;
};

// Name of the shared memory object: KESTOUSB_TRACE_SHM when set (tests give each run its
// own), otherwise one per user.
const char *traceShmName();

} // namespace kesto
