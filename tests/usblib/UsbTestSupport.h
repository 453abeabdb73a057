// Shared pieces of the USB library tests: a private trace buffer, driver folder and registry
// per test program, and access to the texts traced by the library.
#pragma once

#include "usblib/KestoUsb.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace usbtest {

constexpr uint32_t kReaderKey = 0x5EED;

struct TraceRecord {
    uint32_t used;
    char text[4096];
};

// Gives this process its own shared trace buffer and driver folder; call before the library
// traces anything (it attaches to the buffer on first use).
inline std::string isolate(QTemporaryDir &dir)
{
    std::string shm = "/kestousb-test-" + std::to_string(getpid());
    shm_unlink(shm.c_str());
    setenv("KESTOUSB_TRACE_SHM", shm.c_str(), 1);
    setenv("KESTOUSB_DEVICE_DIR", (dir.path() + QStringLiteral("/dev")).toLocal8Bit().constData(), 1);
    setenv("KESTOUSB_REGISTRY", (dir.path() + QStringLiteral("/registry.reg")).toLocal8Bit().constData(), 1);
    return shm;
}

// Empties the buffer and forgets every pending signal, so a test starts from nothing.
inline void freshBuffer(bool tracing)
{
    KestoSetReadTraceOwnerKey(kReaderKey, 1);
    KestoUsbEnableTracing(kReaderKey, 0); // clears
    TraceRecord r;
    int8_t next;
    uint32_t len;
    WaitForTrace(0, 0, 0, &r, &next, &len, kReaderKey); // consumes the cleared mark
    for (int8_t s = 0; s < 5; ++s)
        WaitForTrace(s, 0, 0, &r, &next, &len, kReaderKey);
    KestoUsbEnableTracing(kReaderKey, tracing ? 1 : 0);
}

// The text of slot 0, where every short trace of one test lands after freshBuffer().
inline QByteArray slotText(int8_t slot = 0)
{
    TraceRecord r{};
    int8_t next;
    uint32_t len;
    KestoSetReadTraceOwnerKey(kReaderKey, 1);
    uint32_t rc = WaitForTrace(slot, 0, 0, &r, &next, &len, kReaderKey);
    if (rc != 0)
        return QByteArray();
    return QByteArray(r.text, static_cast<int>(std::min<uint32_t>(r.used, 4096)));
}

} // namespace usbtest
