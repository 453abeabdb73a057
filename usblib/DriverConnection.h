// One open device: the connection to its driver endpoint, with a reader thread that matches
// the driver's replies to the requests waiting for them.
#pragma once

#include "KestoUsb.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace kesto {

class DriverConnection
{
public:
    ~DriverConnection();

    // Connects to the endpoint socket and asks for shared or exclusive use; 0 or the error.
    static uint32_t open(const std::string &socketPath, bool exclusive, std::shared_ptr<DriverConnection> *out);

    // Sends one request whose completion lands in *overlapped (Internal = result code,
    // InternalHigh = bytes). Returns 997 while pending, else the completed result. For the
    // transfer codes the output buffer's bytes go to the driver as well, since the driver
    // moves the data in the direction of the endpoint.
    uint32_t start(uint32_t code, const void *input, uint32_t inputLength, void *output, uint32_t outputLength,
                   KESTO_OVERLAPPED *overlapped);
    // Waits until the request of *overlapped has completed: true, or false on time-out.
    bool wait(KESTO_OVERLAPPED *overlapped, uint32_t timeoutMs);
    // Withdraws a pending request: 0, or 1168 when it is not pending (any more).
    uint32_t cancel(KESTO_OVERLAPPED *overlapped);
    // Aborts every pending request (995) and ends the connection.
    void close();

private:
    struct Pending {
        void *output;
        uint32_t outputLength;
        KESTO_OVERLAPPED *overlapped;
    };

    explicit DriverConnection(int fd);
    void readLoop();
    void failAll(uint32_t code);

    int m_fd;
    std::mutex m_lock; // guards everything below and every write into callers' records
    std::condition_variable m_completed;
    std::mutex m_writeLock;
    bool m_dead = false;
    bool m_closing = false;
    uint32_t m_nextTag = 1;
    std::map<uint32_t, Pending> m_pending;
    std::thread m_reader;
};

// The table of open handles; a handle is a number the table hands out, so a stale or made-up
// handle is refused instead of being followed.
KESTO_HANDLE registerConnection(std::shared_ptr<DriverConnection> connection);
std::shared_ptr<DriverConnection> findConnection(KESTO_HANDLE handle);
std::shared_ptr<DriverConnection> takeConnection(KESTO_HANDLE handle);

inline uintptr_t loadInternal(const KESTO_OVERLAPPED *o) { return __atomic_load_n(&o->Internal, __ATOMIC_ACQUIRE); }
inline void storeInternal(KESTO_OVERLAPPED *o, uintptr_t v) { __atomic_store_n(&o->Internal, v, __ATOMIC_RELEASE); }

} // namespace kesto
