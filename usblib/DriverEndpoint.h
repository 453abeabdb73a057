// Server side of the driver socket: a reusable endpoint that a program serving a USB device
// (the recorder simulator, a bridge to real hardware, a test) puts behind
// "<driver folder>/<link name><instance>".
//
// Usage:
//   class MyDevice : public kesto::DriverHandler {
//       bool handle(const kesto::DriverRequest &rq, kesto::DriverReply &reply) override {
//           switch (rq.controlCode) {
//           case KESTO_IOCTL_GET_DRIVER_VERSION: reply.data = {1,0,0,0, 2,0,0,0}; reply.information = 8; return true;
//           case KESTO_IOCTL_BULK_TRANSFER: ... return true;   // answered now
//           default: reply.status = 1; return true;              // ERROR_INVALID_FUNCTION
//           }
//       }
//   };
//   MyDevice dev; kesto::DriverEndpoint ep(dev);
//   ep.listen(kesto::DriverEndpoint::socketPathFor("ML60852A_DRIVER", 0), &error);
//   kesto::DriverEndpoint::announce(guid, "ML60852A_DRIVER0");   // for open-by-GUID and notification
//
// handle() runs on the endpoint's own thread, one request at a time. Returning false keeps the
// request open (e.g. a bulk IN with no data yet); answer it later from any thread with
// complete(rq.id, reply). If the library withdraws it first, cancelled(id) is called and a
// later complete() for it returns false.
#pragma once

#include "KestoUsb.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kesto {

struct DriverRequest {
    uint64_t id = 0;         // connection << 32 | tag; pass it to complete()
    uint32_t connection = 0; // one per open handle in the client
    uint32_t controlCode = 0;
    std::vector<uint8_t> input; // the request record (e.g. 8-byte transfer request)
    uint32_t outputLength = 0;  // size of the caller's output buffer
    std::vector<uint8_t> data;  // the output buffer's bytes, sent for transfer codes (OUT data)
};

struct DriverReply {
    uint32_t status = 0;       // 0, a platform error code or a USB status code
    uint32_t information = 0;  // bytes transferred (for OUT transfers: bytes taken)
    std::vector<uint8_t> data; // bytes to place at the start of the output buffer (IN data)
};

class DriverHandler
{
public:
    virtual ~DriverHandler() = default;
    virtual bool handle(const DriverRequest &request, DriverReply &reply) = 0;
    virtual void cancelled(uint64_t /*id*/) {}
    virtual void connectionOpened(uint32_t /*connection*/, bool /*exclusive*/) {}
    virtual void connectionClosed(uint32_t /*connection*/) {}
};

class DriverEndpoint
{
public:
    explicit DriverEndpoint(DriverHandler &handler);
    ~DriverEndpoint();
    DriverEndpoint(const DriverEndpoint &) = delete;
    DriverEndpoint &operator=(const DriverEndpoint &) = delete;

    // Creates the socket (and its folder; a stale socket file is replaced) and starts serving.
    bool listen(const std::string &socketPath, std::string *error = nullptr);
    // Stops serving, closes every connection and removes the socket file.
    void close();
    // Answers a request kept open by handle(); false when it is no longer waiting.
    bool complete(uint64_t id, const DriverReply &reply);
    // Connections currently open.
    size_t connectionCount() const;

    // The driver folder (KESTOUSB_DEVICE_DIR, default $XDG_RUNTIME_DIR/kestousb) and the
    // socket of a device instance in it.
    static std::string driverFolder();
    static std::string socketPathFor(const std::string &linkName, uint32_t instance);
    // Adds or removes the device's entry "{GUID}<device name>" in the notification folder.
    static bool announce(const KESTO_GUID &interfaceGuid, const std::string &deviceName);
    static bool withdraw(const KESTO_GUID &interfaceGuid, const std::string &deviceName);

private:
    struct Client;
    void run();
    bool serveFrame(Client &c);
    void dropClient(uint32_t id);
    static void closeClient(Client &c);
    bool sendReply(int fd, uint32_t tag, const DriverReply &reply);

    DriverHandler &m_handler;
    std::string m_path;
    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_thread;
    mutable std::mutex m_lock;
    std::map<uint32_t, std::shared_ptr<Client>> m_clients;
    std::map<uint64_t, bool> m_open; // requests kept open
    uint32_t m_nextClient = 1;
};

} // namespace kesto
