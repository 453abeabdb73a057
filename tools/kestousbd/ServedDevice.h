#pragma once

#include "DeviceConfig.h"
#include "usblib/DriverEndpoint.h"

#include <libusb.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace kestousbd {

// One attached USB device that kestousbd serves: it holds the device open with its interface
// claimed, serves the driver endpoint "<driver folder>/<link name><instance>" with its entry
// in the notification folder, and carries each control code out as libusb transfers or calls.
//
// Requests arrive on the endpoint's thread and never wait there: transfers are submitted
// asynchronously and answered from libusb's completion callbacks, which run on the thread
// that handles libusb's events (the daemon's main thread); the calls libusb only offers
// synchronously (clear halt, select interface) run on the device's own worker thread.
//
// Transfers are passed to the device without a time-out, as the kernel driver the clients
// were written for did: a request the device does not answer stays pending until the client
// withdraws it or closes its handle, which withdraws the transfer from the device too.
class ServedDevice : public kesto::DriverHandler
{
public:
    static constexpr uint32_t kDriverMajor = 1;
    static constexpr uint32_t kDriverMinor = 0;
    // The driver's own descriptor reads (strings, language ids) give up after this long.
    static constexpr unsigned kDescriptorTimeoutMs = 5000;

    ServedDevice(libusb_device *device, const DeviceEntry &entry, uint32_t instance);
    ~ServedDevice() override;
    ServedDevice(const ServedDevice &) = delete;
    ServedDevice &operator=(const ServedDevice &) = delete;

    // Opens the device, claims the interface, starts serving the endpoint and announces it.
    bool start(std::string *why);
    // Withdraws the announcement, closes the endpoint (clients' pending requests fail with
    // 1167), withdraws every transfer from the device and closes it. Runs on the thread that
    // handles libusb's events, which it keeps handling until the transfers have ended.
    void stop(libusb_context *context);

    libusb_device *device() const { return m_device; }
    const DeviceEntry &entry() const { return m_entry; }
    uint32_t instance() const { return m_instance; }
    const std::string &name() const { return m_name; }

    bool handle(const kesto::DriverRequest &request, kesto::DriverReply &reply) override;
    void cancelled(uint64_t id) override;
    void connectionClosed(uint32_t connection) override;

private:
    struct InFlight;
    static void LIBUSB_CALL transferDone(libusb_transfer *transfer);
    void finished(InFlight *f, libusb_transfer *transfer);
    bool submit(InFlight *f, libusb_transfer *transfer, kesto::DriverReply &reply);

    bool pipeTransfer(const kesto::DriverRequest &rq, kesto::DriverReply &reply);
    bool controlTransfer(const kesto::DriverRequest &rq, kesto::DriverReply &reply);
    bool isochronousTransfer(const kesto::DriverRequest &rq, kesto::DriverReply &reply);
    bool stringRequest(const kesto::DriverRequest &rq, kesto::DriverReply &reply);
    bool clearStall(const kesto::DriverRequest &rq, kesto::DriverReply &reply);
    bool selectInterface(const kesto::DriverRequest &rq, kesto::DriverReply &reply);
    void endpointDescriptor(const kesto::DriverRequest &rq, kesto::DriverReply &reply);
    void interfaceDescriptor(kesto::DriverReply &reply);

    // The endpoint descriptor behind a caller's endpoint number: the index of the pipe in the
    // selected interface setting, in descriptor order (0 the first endpoint, 1 the second...).
    bool pipe(uint8_t index, libusb_endpoint_descriptor *endpoint);
    bool usePipes(int interfaceNumber, int altSetting);
    void later(std::function<void()> job);
    void workerLoop();

    libusb_device *m_device;
    libusb_device_handle *m_handle = nullptr;
    libusb_config_descriptor *m_config = nullptr;
    DeviceEntry m_entry;
    uint32_t m_instance;
    std::string m_name;
    kesto::DriverEndpoint m_endpoint{*this};
    bool m_announced = false;

    std::mutex m_lock;
    std::map<uint64_t, libusb_transfer *> m_inFlight;
    std::set<uint8_t> m_halted; // endpoint addresses that stalled and were not cleared since
    int m_interface = 0;
    int m_alt = 0;
    std::vector<libusb_endpoint_descriptor> m_pipes;
    libusb_interface_descriptor m_setting{};

    std::mutex m_jobLock;
    std::condition_variable m_jobReady;
    std::deque<std::function<void()>> m_jobs;
    bool m_quit = false;
    std::thread m_worker;
};

} // namespace kestousbd
