#pragma once

#include "DeviceConfig.h"
#include "ServedDevice.h"

#include <libusb.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kestousbd {

// Watches the USB bus for the configured devices and serves each one while it is attached:
// arrival and removal come from libusb's hotplug events (or, where libusb has none, from a
// rescan every second). Everything libusb calls back runs on the thread that calls run().
class Daemon
{
public:
    explicit Daemon(std::vector<DeviceEntry> entries);
    ~Daemon();
    Daemon(const Daemon &) = delete;
    Daemon &operator=(const Daemon &) = delete;

    bool init(std::string *why);
    // Serves until stop becomes true, then lets every device go.
    void run(const std::atomic<bool> &stop);

private:
    static int LIBUSB_CALL hotplug(libusb_context *, libusb_device *device, libusb_hotplug_event event, void *self);
    void arrived(libusb_device *device);
    void left(libusb_device *device);
    void rescan();
    void handleQueued();
    const DeviceEntry *match(libusb_device *device) const;
    uint32_t freeInstance(const std::string &linkName) const;

    std::vector<DeviceEntry> m_entries;
    libusb_context *m_context = nullptr;
    libusb_hotplug_callback_handle m_hotplug = 0;
    bool m_hasHotplug = false;
    std::vector<std::unique_ptr<ServedDevice>> m_devices;
    std::vector<std::pair<bool, libusb_device *>> m_queued; // arrived?, referenced device
};

} // namespace kestousbd
