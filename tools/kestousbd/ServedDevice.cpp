#include "ServedDevice.h"

#include "UsbMapping.h"

#include "usblib/ByteOrder.h"

#include <sys/time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kestousbd {

namespace {

using Bytes = std::vector<uint8_t>;

using kesto::le::add16;
using kesto::le::add32;
using kesto::le::get32;
using kesto::le::put32;

Bytes deviceDescriptorBytes(const libusb_device_descriptor &d)
{
    Bytes b{d.bLength, d.bDescriptorType};
    add16(b, d.bcdUSB);
    b.insert(b.end(), {d.bDeviceClass, d.bDeviceSubClass, d.bDeviceProtocol, d.bMaxPacketSize0});
    add16(b, d.idVendor);
    add16(b, d.idProduct);
    add16(b, d.bcdDevice);
    b.insert(b.end(), {d.iManufacturer, d.iProduct, d.iSerialNumber, d.bNumConfigurations});
    return b;
}

// The limits of one isochronous request: packets of a full-speed frame list and a
// high-bandwidth packet, far beyond what a recorder uses, so that a bad record cannot make
// the driver allocate without bound.
constexpr uint32_t kMaxIsoPackets = 1024;
constexpr uint32_t kMaxIsoPacketSize = 3 * 1024;
constexpr uint32_t kIsoDescriptorSize = 16;
// A control transfer moves at most this much (what the client library lets through).
constexpr uint32_t kMaxControlLength = 1536;

enum Kind { Pipe, Control, Isochronous, String };

} // namespace

// A transfer on its way: what the reply needs once libusb hands it back.
struct ServedDevice::InFlight {
    ServedDevice *device = nullptr;
    uint64_t id = 0;
    Kind kind = Pipe;
    uint32_t code = 0;
    uint8_t endpoint = 0; // address
    uint32_t outputLength = 0;
    Bytes buffer;  // the transfer's memory (control: setup packet first)
    Bytes request; // isochronous: the caller's buffer (packet table and data)
    uint32_t packets = 0, packetSize = 0, descriptorSize = 0;
};

ServedDevice::ServedDevice(libusb_device *device, const DeviceEntry &entry, uint32_t instance)
    : m_device(libusb_ref_device(device))
    , m_entry(entry)
    , m_instance(instance)
    , m_name(entry.linkName + std::to_string(instance))
    , m_interface(entry.interfaceNumber)
{
}

ServedDevice::~ServedDevice()
{
    if (m_worker.joinable() || m_handle)
        stop(nullptr);
    if (m_config)
        libusb_free_config_descriptor(m_config);
    libusb_unref_device(m_device);
}

bool ServedDevice::start(std::string *why)
{
    auto fail = [&](const std::string &what, int r) {
        if (why)
            *why = what + ": " + libusb_strerror(r);
        return false;
    };
    int r = libusb_open(m_device, &m_handle);
    if (r != 0) {
        m_handle = nullptr;
        return fail("cannot open the device", r);
    }
    // A kernel driver bound to the interface gives way while the interface is claimed.
    libusb_set_auto_detach_kernel_driver(m_handle, 1);
    if ((r = libusb_get_active_config_descriptor(m_device, &m_config)) != 0)
        return fail("cannot read the configuration", r);
    if ((r = libusb_claim_interface(m_handle, m_interface)) != 0)
        return fail("cannot claim interface " + std::to_string(m_interface), r);
    if (!usePipes(m_interface, 0)) {
        if (why)
            *why = "the configuration has no interface " + std::to_string(m_interface);
        return false;
    }
    m_worker = std::thread([this] { workerLoop(); });
    std::string error;
    if (!m_endpoint.listen(kesto::DriverEndpoint::socketPathFor(m_entry.linkName, m_instance), &error)) {
        if (why)
            *why = "cannot serve the driver endpoint: " + error;
        return false;
    }
    // Announced once the socket listens, so that a client told of the device can open it.
    m_announced = kesto::DriverEndpoint::announce(m_entry.guid, m_name);
    if (!m_announced)
        std::fprintf(stderr, "kestousbd: %s: could not add the entry to the notification folder\n", m_name.c_str());
    return true;
}

void ServedDevice::stop(libusb_context *context)
{
    // Withdrawn before the socket goes, so nobody is told of a device that cannot be opened.
    if (m_announced)
        kesto::DriverEndpoint::withdraw(m_entry.guid, m_name);
    m_announced = false;
    // The worker ends first: a job that is running answers its client before the connections
    // close, and later ones are refused, so that nothing writes to a connection being closed.
    {
        std::lock_guard<std::mutex> g(m_jobLock);
        m_quit = true;
        m_jobs.clear();
    }
    m_jobReady.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    // Closing the connections fails every request a client still waits for with 1167; no
    // request arrives after this.
    m_endpoint.close();

    std::vector<libusb_transfer *> pending;
    {
        std::lock_guard<std::mutex> g(m_lock);
        for (auto &[id, t] : m_inFlight)
            pending.push_back(t);
    }
    for (libusb_transfer *t : pending)
        libusb_cancel_transfer(t);
    // The transfers end through their callbacks; a device that is gone ends them at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            if (m_inFlight.empty())
                break;
        }
        if (!context || std::chrono::steady_clock::now() > deadline)
            break;
        timeval tv{0, 100000};
        libusb_handle_events_timeout_completed(context, &tv, nullptr);
    }
    bool stuck;
    {
        std::lock_guard<std::mutex> g(m_lock);
        stuck = !m_inFlight.empty();
    }
    if (m_handle) {
        if (stuck) {
            // libusb must not free a handle under a transfer it still holds: keep both.
            std::fprintf(stderr, "kestousbd: %s: transfers did not end; the device stays open\n", m_name.c_str());
        } else {
            libusb_release_interface(m_handle, m_interface);
            libusb_close(m_handle);
        }
        m_handle = nullptr;
    }
}

void ServedDevice::later(std::function<void()> job)
{
    {
        std::lock_guard<std::mutex> g(m_jobLock);
        if (m_quit)
            return;
        m_jobs.push_back(std::move(job));
    }
    m_jobReady.notify_one();
}

void ServedDevice::workerLoop()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> g(m_jobLock);
            m_jobReady.wait(g, [this] { return m_quit || !m_jobs.empty(); });
            if (m_quit)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

bool ServedDevice::usePipes(int interfaceNumber, int altSetting)
{
    for (int i = 0; i < m_config->bNumInterfaces; ++i) {
        const libusb_interface &itf = m_config->interface[i];
        for (int a = 0; a < itf.num_altsetting; ++a) {
            const libusb_interface_descriptor &s = itf.altsetting[a];
            if (s.bInterfaceNumber != interfaceNumber || s.bAlternateSetting != altSetting)
                continue;
            std::lock_guard<std::mutex> g(m_lock);
            m_interface = interfaceNumber;
            m_alt = altSetting;
            m_setting = s;
            m_pipes.assign(s.endpoint, s.endpoint + s.bNumEndpoints);
            return true;
        }
    }
    return false;
}

bool ServedDevice::pipe(uint8_t index, libusb_endpoint_descriptor *endpoint)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (index >= m_pipes.size())
        return false;
    *endpoint = m_pipes[index];
    return true;
}

bool ServedDevice::handle(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    switch (rq.controlCode) {
    case KESTO_IOCTL_BULK_TRANSFER:
    case KESTO_IOCTL_INTERRUPT_TRANSFER: return pipeTransfer(rq, reply);
    case KESTO_IOCTL_CONTROL_TRANSFER: return controlTransfer(rq, reply);
    case KESTO_IOCTL_ISOCHRONOUS_TRANSFER: return isochronousTransfer(rq, reply);
    case KESTO_IOCTL_GET_STRING_DESCRIPTOR:
    case KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH:
    case KESTO_IOCTL_GET_LANGUAGE_IDS:
    case KESTO_IOCTL_GET_NUMBER_OF_LANGUAGE_IDS: return stringRequest(rq, reply);
    case KESTO_IOCTL_CLEAR_STALL: return clearStall(rq, reply);
    case KESTO_IOCTL_SELECT_INTERFACE: return selectInterface(rq, reply);
    case KESTO_IOCTL_GET_DEVICE_DESCRIPTOR: {
        libusb_device_descriptor d{};
        const int r = libusb_get_device_descriptor(m_device, &d);
        if (r != 0)
            reply.status = errorResult(r);
        else
            reply.data = deviceDescriptorBytes(d);
        break;
    }
    case KESTO_IOCTL_GET_CONFIGURATION_DESCRIPTOR: {
        const libusb_config_descriptor &c = *m_config;
        reply.data = {c.bLength, c.bDescriptorType};
        add16(reply.data, c.wTotalLength);
        reply.data.insert(reply.data.end(),
                          {c.bNumInterfaces, c.bConfigurationValue, c.iConfiguration, c.bmAttributes, c.MaxPower});
        break;
    }
    case KESTO_IOCTL_GET_INTERFACE_DESCRIPTOR: interfaceDescriptor(reply); break;
    case KESTO_IOCTL_GET_ENDPOINT_DESCRIPTOR: endpointDescriptor(rq, reply); break;
    case KESTO_IOCTL_GET_DRIVER_VERSION:
        add32(reply.data, kDriverMajor);
        add32(reply.data, kDriverMinor);
        break;
    case KESTO_IOCTL_GET_DEVICE_GUID: {
        const KESTO_GUID &g = m_entry.guid;
        add32(reply.data, g.Data1);
        add16(reply.data, g.Data2);
        add16(reply.data, g.Data3);
        reply.data.insert(reply.data.end(), g.Data4, g.Data4 + 8);
        break;
    }
    case KESTO_IOCTL_GET_LINK_NAME:
        for (char c : m_name)
            add16(reply.data, uint8_t(c));
        break;
    default: reply.status = kInvalidFunction; return true;
    }
    if (reply.status == 0) {
        if (reply.data.size() > rq.outputLength)
            reply.data.resize(rq.outputLength);
        reply.information = uint32_t(reply.data.size());
    }
    return true;
}

void ServedDevice::interfaceDescriptor(kesto::DriverReply &reply)
{
    std::lock_guard<std::mutex> g(m_lock);
    const libusb_interface_descriptor &s = m_setting;
    reply.data = {s.bLength,         s.bDescriptorType,    s.bInterfaceNumber,   s.bAlternateSetting, s.bNumEndpoints,
                  s.bInterfaceClass, s.bInterfaceSubClass, s.bInterfaceProtocol, s.iInterface};
}

void ServedDevice::endpointDescriptor(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    libusb_endpoint_descriptor e{};
    if (rq.input.empty() || !pipe(rq.input[0], &e)) {
        reply.status = kInvalidParameter;
        return;
    }
    reply.data = {7, e.bDescriptorType, e.bEndpointAddress, e.bmAttributes};
    add16(reply.data, e.wMaxPacketSize);
    reply.data.push_back(e.bInterval);
}

bool ServedDevice::submit(InFlight *f, libusb_transfer *t, kesto::DriverReply &reply)
{
    t->user_data = f;
    t->callback = &ServedDevice::transferDone;
    std::lock_guard<std::mutex> g(m_lock);
    const int r = libusb_submit_transfer(t);
    if (r != 0) {
        reply.status = errorResult(r);
        if (r == LIBUSB_ERROR_PIPE && m_halted.count(f->endpoint))
            reply.status = kUsbEndpointHalted;
        libusb_free_transfer(t);
        delete f;
        return true; // answered now, with the failure
    }
    m_inFlight[f->id] = t;
    return false;
}

bool ServedDevice::pipeTransfer(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    libusb_endpoint_descriptor e{};
    if (rq.input.size() < 8 || !pipe(rq.input[0], &e)) {
        reply.status = kInvalidParameter;
        return true;
    }
    const uint8_t type = e.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK;
    if (type != LIBUSB_TRANSFER_TYPE_BULK && type != LIBUSB_TRANSFER_TYPE_INTERRUPT) {
        reply.status = kInvalidParameter;
        return true;
    }
    const uint32_t length = std::min(get32(rq.input, 4), rq.outputLength);
    auto *f = new InFlight;
    f->device = this;
    f->id = rq.id;
    f->kind = Pipe;
    f->code = rq.controlCode;
    f->endpoint = e.bEndpointAddress;
    f->outputLength = rq.outputLength;
    f->buffer.assign(length, 0);
    if (!(e.bEndpointAddress & LIBUSB_ENDPOINT_IN))
        std::copy_n(rq.data.begin(), std::min<size_t>(length, rq.data.size()), f->buffer.begin());
    libusb_transfer *t = libusb_alloc_transfer(0);
    if (!t) {
        delete f;
        reply.status = kNotEnoughMemory;
        return true;
    }
    // The pipe's own type decides, as one request code served both pipe kinds.
    if (type == LIBUSB_TRANSFER_TYPE_BULK)
        libusb_fill_bulk_transfer(t, m_handle, e.bEndpointAddress, f->buffer.data(), int(length), nullptr, nullptr, 0);
    else
        libusb_fill_interrupt_transfer(t, m_handle, e.bEndpointAddress, f->buffer.data(), int(length), nullptr, nullptr,
                                       0);
    return submit(f, t, reply);
}

bool ServedDevice::controlTransfer(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    Setup setup;
    if (rq.input.size() < 16) {
        reply.status = kInvalidParameter;
        return true;
    }
    const uint32_t length = get32(rq.input, 0);
    const uint16_t function = kesto::le::get16(rq.input.data() + 4);
    const uint16_t value = kesto::le::get16(rq.input.data() + 8), index = kesto::le::get16(rq.input.data() + 10);
    if (length > kMaxControlLength || length > rq.outputLength
        || !controlSetup(function, rq.input[6], rq.input[12] != 0, &setup)) {
        reply.status = kInvalidParameter;
        return true;
    }
    auto *f = new InFlight;
    f->device = this;
    f->id = rq.id;
    f->kind = Control;
    f->code = rq.controlCode;
    f->outputLength = rq.outputLength;
    f->buffer.assign(LIBUSB_CONTROL_SETUP_SIZE + length, 0);
    libusb_fill_control_setup(f->buffer.data(), setup.requestType, setup.request, value, index, uint16_t(length));
    if (!(setup.requestType & LIBUSB_ENDPOINT_IN))
        std::copy_n(rq.data.begin(), std::min<size_t>(length, rq.data.size()),
                    f->buffer.begin() + LIBUSB_CONTROL_SETUP_SIZE);
    libusb_transfer *t = libusb_alloc_transfer(0);
    if (!t) {
        delete f;
        reply.status = kNotEnoughMemory;
        return true;
    }
    libusb_fill_control_transfer(t, m_handle, f->buffer.data(), nullptr, nullptr, 0);
    return submit(f, t, reply);
}

bool ServedDevice::isochronousTransfer(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    libusb_endpoint_descriptor e{};
    if (rq.input.size() < 16 || !pipe(rq.input[0], &e)
        || (e.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_ISOCHRONOUS) {
        reply.status = kInvalidParameter;
        return true;
    }
    const uint32_t packets = get32(rq.input, 8), packetSize = get32(rq.input, 12);
    const uint32_t descriptorSize = rq.data.size() >= 4 ? get32(rq.data, 0) : 0;
    // The packet table's first entry tells its entries' size; anything else would move the
    // packets' data outside the caller's buffer.
    if (packets == 0 || packets > kMaxIsoPackets || packetSize == 0 || packetSize > kMaxIsoPacketSize
        || descriptorSize < kIsoDescriptorSize || descriptorSize > 64
        || uint64_t(packets) * (descriptorSize + packetSize) > rq.data.size()) {
        reply.status = rq.data.size() < uint64_t(packets) * (kIsoDescriptorSize + packetSize)
                           ? KESTO_ERROR_INSUFFICIENT_BUFFER
                           : kInvalidParameter;
        return true;
    }
    auto *f = new InFlight;
    f->device = this;
    f->id = rq.id;
    f->kind = Isochronous;
    f->code = rq.controlCode;
    f->endpoint = e.bEndpointAddress;
    f->outputLength = rq.outputLength;
    f->packets = packets;
    f->packetSize = packetSize;
    f->descriptorSize = descriptorSize;
    f->request = rq.data;
    const size_t dataStart = size_t(packets) * descriptorSize;
    f->buffer.assign(f->request.begin() + long(dataStart),
                     f->request.begin() + long(dataStart + size_t(packets) * packetSize));
    libusb_transfer *t = libusb_alloc_transfer(int(packets));
    if (!t) {
        delete f;
        reply.status = kNotEnoughMemory;
        return true;
    }
    libusb_fill_iso_transfer(t, m_handle, e.bEndpointAddress, f->buffer.data(), int(f->buffer.size()), int(packets),
                             nullptr, nullptr, 0);
    libusb_set_iso_packet_lengths(t, packetSize);
    return submit(f, t, reply);
}

// Strings and language ids come from the device's string descriptors: index 0 lists the
// language ids, the others hold UTF-16 text.
bool ServedDevice::stringRequest(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    uint8_t index = 0;
    uint16_t language = 0;
    if (rq.controlCode == KESTO_IOCTL_GET_STRING_DESCRIPTOR
        || rq.controlCode == KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH) {
        if (rq.input.size() < 8 || get32(rq.input, 4) > 255 || get32(rq.input, 4) == 0) {
            reply.status = kInvalidParameter;
            return true;
        }
        language = kesto::le::get16(rq.input.data());
        index = uint8_t(get32(rq.input, 4));
    }
    auto *f = new InFlight;
    f->device = this;
    f->id = rq.id;
    f->kind = String;
    f->code = rq.controlCode;
    f->outputLength = rq.outputLength;
    f->buffer.assign(LIBUSB_CONTROL_SETUP_SIZE + 255, 0);
    libusb_fill_control_setup(f->buffer.data(), LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                              uint16_t(LIBUSB_DT_STRING << 8 | index), language, 255);
    libusb_transfer *t = libusb_alloc_transfer(0);
    if (!t) {
        delete f;
        reply.status = kNotEnoughMemory;
        return true;
    }
    libusb_fill_control_transfer(t, m_handle, f->buffer.data(), nullptr, nullptr, kDescriptorTimeoutMs);
    return submit(f, t, reply);
}

void LIBUSB_CALL ServedDevice::transferDone(libusb_transfer *transfer)
{
    auto *f = static_cast<InFlight *>(transfer->user_data);
    f->device->finished(f, transfer);
}

void ServedDevice::finished(InFlight *f, libusb_transfer *t)
{
    kesto::DriverReply reply;
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_inFlight.erase(f->id);
        const bool wasHalted = m_halted.count(f->endpoint) > 0;
        reply.status = transferResult(t->status, wasHalted);
        if (t->status == LIBUSB_TRANSFER_STALL && f->kind != Control && f->kind != String)
            m_halted.insert(f->endpoint);
    }
    const uint8_t *data = t->buffer;
    switch (f->kind) {
    case Pipe:
        reply.information = uint32_t(std::max(0, t->actual_length));
        if ((f->endpoint & LIBUSB_ENDPOINT_IN) && reply.status == 0)
            reply.data.assign(data, data + reply.information);
        break;
    case Control:
        reply.information = uint32_t(std::max(0, t->actual_length));
        if ((data[0] & LIBUSB_ENDPOINT_IN) && reply.status == 0)
            reply.data.assign(data + LIBUSB_CONTROL_SETUP_SIZE, data + LIBUSB_CONTROL_SETUP_SIZE + reply.information);
        break;
    case Isochronous: {
        // Each packet's length and status go into its entry of the caller's table, its data
        // to its own place after the table; the whole buffer goes back.
        uint32_t failed = 0, moved = 0;
        for (uint32_t i = 0; i < f->packets; ++i) {
            const libusb_iso_packet_descriptor &p = t->iso_packet_desc[i];
            uint8_t *entry = f->request.data() + size_t(i) * f->descriptorSize;
            const uint32_t status = transferResult(p.status);
            put32(entry + 4, p.actual_length);
            put32(entry + 8, status);
            failed += status != 0;
            moved += p.actual_length;
            if (f->endpoint & LIBUSB_ENDPOINT_IN)
                std::memcpy(f->request.data() + size_t(f->packets) * f->descriptorSize + size_t(i) * f->packetSize,
                            libusb_get_iso_packet_buffer_simple(t, i), std::min(p.actual_length, f->packetSize));
        }
        if (reply.status == 0 && failed == f->packets)
            reply.status = kUsbIsochRequestFailed;
        reply.information = moved;
        reply.data = f->request;
        break;
    }
    case String: {
        const int n = t->actual_length;
        const uint8_t *d = data + LIBUSB_CONTROL_SETUP_SIZE;
        if (reply.status == 0 && (n < 2 || d[1] != LIBUSB_DT_STRING || d[0] < 2 || d[0] > n))
            reply.status = kGeneralFailure; // not a string descriptor
        if (reply.status != 0)
            break;
        const uint32_t bytes = uint32_t(d[0] - 2) & ~1u, count = bytes / 2;
        if (f->code == KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH)
            add32(reply.data, count);
        else if (f->code == KESTO_IOCTL_GET_NUMBER_OF_LANGUAGE_IDS)
            add16(reply.data, uint16_t(count));
        else
            reply.data.assign(d + 2, d + 2 + bytes);
        if (reply.data.size() > f->outputLength)
            reply.data.resize(f->outputLength);
        reply.information = uint32_t(reply.data.size());
        break;
    }
    }
    // A transfer the client withdrew finds its request gone; complete() then does nothing.
    m_endpoint.complete(f->id, reply);
    libusb_free_transfer(t);
    delete f;
}

void ServedDevice::cancelled(uint64_t id)
{
    std::lock_guard<std::mutex> g(m_lock);
    if (auto it = m_inFlight.find(id); it != m_inFlight.end())
        libusb_cancel_transfer(it->second);
}

void ServedDevice::connectionClosed(uint32_t connection)
{
    // A closed handle ends its requests: nothing may stay queued on the device for it.
    std::lock_guard<std::mutex> g(m_lock);
    for (auto &[id, t] : m_inFlight)
        if (uint32_t(id >> 32) == connection)
            libusb_cancel_transfer(t);
}

bool ServedDevice::clearStall(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    libusb_endpoint_descriptor e{};
    if (rq.input.empty() || !pipe(rq.input[0], &e)) {
        reply.status = kInvalidParameter;
        return true;
    }
    const uint64_t id = rq.id;
    const uint8_t address = e.bEndpointAddress;
    later([this, id, address] {
        kesto::DriverReply r;
        const int rc = libusb_clear_halt(m_handle, address);
        r.status = errorResult(rc);
        if (rc == 0) {
            std::lock_guard<std::mutex> g(m_lock);
            m_halted.erase(address);
        }
        m_endpoint.complete(id, r);
    });
    return false;
}

bool ServedDevice::selectInterface(const kesto::DriverRequest &rq, kesto::DriverReply &reply)
{
    if (rq.input.size() < 8 || get32(rq.input, 0) > 255 || get32(rq.input, 4) > 255) {
        reply.status = kInvalidParameter;
        return true;
    }
    const uint64_t id = rq.id;
    const int itf = int(get32(rq.input, 0)), alt = int(get32(rq.input, 4));
    later([this, id, itf, alt] {
        kesto::DriverReply r;
        int old;
        {
            std::lock_guard<std::mutex> g(m_lock);
            old = m_interface;
        }
        int rc = itf == old ? 0 : libusb_claim_interface(m_handle, itf);
        if (rc == 0)
            rc = libusb_set_interface_alt_setting(m_handle, itf, alt);
        if (rc == 0 && !usePipes(itf, alt))
            rc = LIBUSB_ERROR_NOT_FOUND;
        if (rc == 0 && itf != old)
            libusb_release_interface(m_handle, old);
        else if (rc != 0 && itf != old)
            libusb_release_interface(m_handle, itf);
        if (rc == 0) {
            std::lock_guard<std::mutex> g(m_lock);
            m_halted.clear(); // a new setting starts with its pipes running
        }
        r.status = errorResult(rc);
        m_endpoint.complete(id, r);
    });
    return false;
}

} // namespace kestousbd
