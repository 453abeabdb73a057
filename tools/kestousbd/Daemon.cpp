#include "Daemon.h"

#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace kestousbd {

Daemon::Daemon(std::vector<DeviceEntry> entries) : m_entries(std::move(entries)) {}

Daemon::~Daemon()
{
    for (auto &d : m_devices)
        d->stop(m_context);
    m_devices.clear();
    for (auto &[arrived, device] : m_queued)
        libusb_unref_device(device);
    if (m_context) {
        if (m_hasHotplug)
            libusb_hotplug_deregister_callback(m_context, m_hotplug);
        libusb_exit(m_context);
    }
}

bool Daemon::init(std::string *why)
{
    int r = libusb_init(&m_context);
    if (r != 0) {
        m_context = nullptr;
        if (why)
            *why = std::string("libusb could not start: ") + libusb_strerror(r);
        return false;
    }
    m_hasHotplug = libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0;
    if (m_hasHotplug) {
        // Devices already attached are reported at once (queued like later arrivals).
        r = libusb_hotplug_register_callback(
            m_context, libusb_hotplug_event(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
            LIBUSB_HOTPLUG_ENUMERATE, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY,
            &Daemon::hotplug, this, &m_hotplug);
        if (r != 0) {
            m_hasHotplug = false;
            std::fprintf(stderr, "kestousbd: no hotplug events (%s); looking for devices every second\n",
                         libusb_strerror(r));
        }
    }
    return true;
}

// libusb calls this while it handles events, where a device must not be opened or closed:
// the event waits for handleQueued().
int LIBUSB_CALL Daemon::hotplug(libusb_context *, libusb_device *device, libusb_hotplug_event event, void *self)
{
    auto *d = static_cast<Daemon *>(self);
    d->m_queued.emplace_back(event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, libusb_ref_device(device));
    return 0;
}

void Daemon::handleQueued()
{
    auto queued = std::move(m_queued);
    m_queued.clear();
    for (auto &[arrival, device] : queued) {
        if (arrival)
            arrived(device);
        else
            left(device);
        libusb_unref_device(device);
    }
}

const DeviceEntry *Daemon::match(libusb_device *device) const
{
    libusb_device_descriptor d{};
    if (libusb_get_device_descriptor(device, &d) != 0)
        return nullptr;
    for (const DeviceEntry &e : m_entries)
        if (e.vendor == d.idVendor && e.product == d.idProduct)
            return &e;
    return nullptr;
}

uint32_t Daemon::freeInstance(const std::string &linkName) const
{
    for (uint32_t n = 0;; ++n) {
        const bool used = std::any_of(m_devices.begin(), m_devices.end(), [&](const auto &d) {
            return d->entry().linkName == linkName && d->instance() == n;
        });
        if (!used)
            return n;
    }
}

void Daemon::arrived(libusb_device *device)
{
    const DeviceEntry *entry = match(device);
    if (!entry)
        return;
    for (const auto &d : m_devices)
        if (d->device() == device)
            return; // reported twice (enumeration and its add event)
    auto served = std::make_unique<ServedDevice>(device, *entry, freeInstance(entry->linkName));
    std::string why;
    char where[64];
    std::snprintf(where, sizeof where, "%04x:%04x (bus %d, address %d)", entry->vendor, entry->product,
                  libusb_get_bus_number(device), libusb_get_device_address(device));
    if (!served->start(&why)) {
        std::fprintf(stderr, "kestousbd: %s: %s\n", where, why.c_str());
        served->stop(m_context);
        return;
    }
    std::fprintf(stderr, "kestousbd: %s served as %s\n", where, served->name().c_str());
    m_devices.push_back(std::move(served));
}

void Daemon::left(libusb_device *device)
{
    for (auto it = m_devices.begin(); it != m_devices.end(); ++it) {
        if ((*it)->device() != device)
            continue;
        std::fprintf(stderr, "kestousbd: %s removed\n", (*it)->name().c_str());
        (*it)->stop(m_context);
        m_devices.erase(it);
        return;
    }
}

void Daemon::rescan()
{
    libusb_device **list = nullptr;
    const ssize_t n = libusb_get_device_list(m_context, &list);
    if (n < 0)
        return;
    std::vector<libusb_device *> present(list, list + n);
    for (size_t i = 0; i < m_devices.size();) {
        libusb_device *d = m_devices[i]->device();
        if (std::find(present.begin(), present.end(), d) == present.end())
            left(d);
        else
            ++i;
    }
    for (libusb_device *d : present)
        arrived(d);
    libusb_free_device_list(list, 1);
}

void Daemon::run(const std::atomic<bool> &stop)
{
    auto lastScan = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    while (!stop) {
        if (!m_hasHotplug && std::chrono::steady_clock::now() - lastScan >= std::chrono::seconds(1)) {
            rescan();
            lastScan = std::chrono::steady_clock::now();
        }
        handleQueued();
        timeval tv{0, 200000};
        libusb_handle_events_timeout_completed(m_context, &tv, nullptr);
        handleQueued();
    }
    for (auto &d : m_devices)
        d->stop(m_context);
    m_devices.clear();
}

} // namespace kestousbd
