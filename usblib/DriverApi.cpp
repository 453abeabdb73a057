// The exported driver access functions: each turns its arguments into one control code and
// request record for the device's driver endpoint.

#include "ByteOrder.h"
#include "ControlRequest.h"
#include "DeviceNotifier.h"
#include "DriverConnection.h"
#include "Internal.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

using namespace kesto;

namespace {

unsigned hv(KESTO_HANDLE h) { return static_cast<unsigned>(reinterpret_cast<uintptr_t>(h)); }

using le::get16;
using le::get32;
using le::put16;
using le::put32;

// Issues one request. Without an overlapped record the call waits for the driver's answer
// (the synchronous form); with one it returns 997 while the request is pending.
uint32_t issue(KESTO_HANDLE handle, uint32_t code, const void *input, uint32_t inputLength, void *output,
               uint32_t outputLength, uint32_t *returned, KESTO_OVERLAPPED *overlapped)
{
    auto c = findConnection(handle);
    if (!c)
        return KESTO_ERROR_INVALID_HANDLE;
    uint32_t bytes = 0;
    uint32_t r;
    if (overlapped) {
        r = c->start(code, input, inputLength, output, outputLength, overlapped);
        if (r != KESTO_ERROR_IO_PENDING)
            bytes = static_cast<uint32_t>(overlapped->InternalHigh);
    } else {
        KESTO_OVERLAPPED own{};
        r = c->start(code, input, inputLength, output, outputLength, &own);
        if (r == KESTO_ERROR_IO_PENDING) {
            c->wait(&own, KESTO_INFINITE);
            r = static_cast<uint32_t>(loadInternal(&own));
        }
        bytes = static_cast<uint32_t>(own.InternalHigh);
    }
    if (returned)
        *returned = bytes;
    return r;
}

void traceAsynchFailure(uint32_t r, KESTO_HANDLE h)
{
    if (r != 0 && r != KESTO_ERROR_IO_PENDING && tracingOn()) {
        traceLine("KESTO_USB: Asynch transfer failed (0x%08X), Handle: 0x%08X", r, hv(h));
        traceResult(r);
    }
}

uint32_t pipeTransfer(const char *name, uint32_t code, KESTO_HANDLE h, uint8_t endpoint, uint32_t length, void *buffer,
                      uint32_t *returned, KESTO_OVERLAPPED *ov, bool asynch)
{
    if (!returned || (asynch && !ov))
        return KESTO_ERROR_INVALID_PARAMETER;
    uint8_t req[8] = {};
    req[0] = endpoint;
    put32(req + 4, length);
    uint32_t r = issue(h, code, req, sizeof req, buffer, buffer ? length : 0, returned, ov);
    if (asynch) {
        traceAsynchFailure(r, h);
    } else if (r != 0 && tracingOn()) {
        traceLine("KESTO_USB: %s failed (0x%08X), Handle: 0x%08X Endpoint: 0x%02X Length: 0x%08X", name, r, hv(h),
                  endpoint, length);
        traceResult(r);
    }
    return r;
}

uint32_t controlTransfer(KESTO_HANDLE h, uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                         KESTO_BOOL hostToDevice, uint32_t length, void *buffer, uint32_t *returned,
                         KESTO_OVERLAPPED *ov, bool asynch)
{
    if (!returned || (asynch && !ov))
        return KESTO_ERROR_INVALID_PARAMETER;
    uint16_t function = 0;
    const char *refusal = nullptr;
    if (!proto::translateControl(requestType, request, &function, &refusal)) {
        if (refusal)
            traceLine("%s", refusal);
        traceLine(asynch ? "KestoAsynchControlTransfer: Invalid Control transfer attempted."
                         : "Invalid Control Transfer attempted.");
        return KESTO_ERROR_INVALID_PARAMETER;
    }
    if (length > proto::kMaxControlLength) {
        traceLine("KESTO_USB: KestoAsynchControlTransfer transfer length too long.");
        traceLine("Length: 0x%08X    Maximum Length 0x%08X", length, proto::kMaxControlLength);
        return KESTO_ERROR_INVALID_PARAMETER;
    }
    uint8_t req[proto::kControlRecordSize];
    proto::controlRecord(length, function, request, value, index, hostToDevice != 0, req);
    uint32_t r = issue(h, KESTO_IOCTL_CONTROL_TRANSFER, req, sizeof req, buffer, buffer ? length : 0, returned, ov);
    if (asynch) {
        traceAsynchFailure(r, h);
    } else if (r != 0 && tracingOn()) {
        traceLine("KESTO_USB: KestoControlTransfer failed (0x%08X), Handle: 0x%08X", r, hv(h));
        traceLine("RequestType:0x%02X Request:0x%02X Value:0x%04X Index:0x%04X HostToDevice:%d Length:0x%08X",
                  requestType, request, value, index, hostToDevice ? 1 : 0, length);
        traceResult(r);
    }
    return r;
}

uint32_t isochronousTransfer(KESTO_HANDLE h, uint8_t endpoint, uint32_t packets, uint32_t packetSize, uint32_t length,
                             void *transferBuffer, uint32_t *returned, KESTO_OVERLAPPED *ov, bool asynch)
{
    if (!returned || (asynch && !ov) || !transferBuffer)
        return KESTO_ERROR_INVALID_PARAMETER;
    auto *buf = static_cast<uint8_t *>(transferBuffer);
    // The first descriptor says how large a descriptor is; read it only when it is there,
    // and refuse a size that would put the descriptors on top of each other.
    uint32_t descriptorSize = 16;
    if (packets > 0) {
        if (length < 4) {
            descriptorSize = 16;
        } else {
            descriptorSize = get32(buf);
            if (descriptorSize < 16)
                return KESTO_ERROR_INVALID_PARAMETER;
        }
    }
    const uint64_t needed = static_cast<uint64_t>(packets) * (static_cast<uint64_t>(packetSize) + descriptorSize);
    if (length < needed) {
        traceLine("KestoIsochronousTransfer: transfer buffer too small.");
        traceLine("\tLength given: %d\tLength needed: %d.", static_cast<int>(length), static_cast<int>(needed));
        return KESTO_ERROR_INSUFFICIENT_BUFFER;
    }
    // Each descriptor carries the address of its packet's data. The field has 32 bits, so a
    // 64-bit caller's address is cut to its low half; drivers find a packet's data by its
    // index (data start + index × packet size), never by this field.
    uint8_t *data = buf + static_cast<size_t>(packets) * descriptorSize;
    for (uint32_t i = 0; i < packets; ++i) {
        auto address = reinterpret_cast<uintptr_t>(data + static_cast<size_t>(i) * packetSize);
        put32(buf + static_cast<size_t>(i) * descriptorSize + 12, static_cast<uint32_t>(address));
    }
    uint8_t req[16] = {};
    req[0] = endpoint;
    put32(req + 4, length);
    put32(req + 8, packets);
    put32(req + 12, packetSize);
    uint32_t r = issue(h, KESTO_IOCTL_ISOCHRONOUS_TRANSFER, req, sizeof req, buf, length, returned, ov);
    if (asynch) {
        traceAsynchFailure(r, h);
    } else if (r != 0 && tracingOn()) {
        traceLine("KESTO_USB: KestoIsochronousTransfer failed (0x%08X), Handle: 0x%08X Endpoint: 0x%02X "
                  "NumberOfPackets: 0x%08X PacketSize: 0x%08X Length: 0x%08X",
                  r, hv(h), endpoint, packets, packetSize, length);
        traceResult(r);
    }
    return r;
}

void traceFailure(const char *name, uint32_t r, KESTO_HANDLE h)
{
    if (r != 0 && tracingOn()) {
        traceLine("KESTO_USB: %s failed (0x%08X), Handle: 0x%08X", name, r, hv(h));
        traceResult(r);
    }
}

struct Field {
    const char *name;
    int offset;
    int size;
};

void traceDescriptor(const char *record, KESTO_HANDLE h, const uint8_t *d, const Field *fields, int count)
{
    if (!tracingOn())
        return;
    traceLine("%s on handle 0x%08X", record, hv(h));
    for (int i = 0; i < count; ++i) {
        const Field &f = fields[i];
        unsigned v = f.size == 1 ? d[f.offset] : get16(d + f.offset);
        traceLine(f.size == 1 ? "\t%s: 0x%02X" : "\t%s: 0x%04X", f.name, v);
    }
}

const Field kDeviceFields[] = {
    {"bLength", 0, 1},         {"bDescriptorType", 1, 1},     {"bcdUSB", 2, 2},          {"bDeviceClass", 4, 1},
    {"bDeviceSubClass", 5, 1}, {"bDeviceProtocol", 6, 1},     {"bMaxPacketSize0", 7, 1}, {"idVendor", 8, 2},
    {"idProduct", 10, 2},      {"bcdDevice", 12, 2},          {"iManufacturer", 14, 1},  {"iProduct", 15, 1},
    {"iSerialNumber", 16, 1},  {"bNumConfigurations", 17, 1},
};
const Field kConfigFields[] = {
    {"bLength", 0, 1},
    {"bDescriptorType", 1, 1},
    {"wTotalLength", 2, 2},
    {"bNumInterfaces", 4, 1},
    {"bConfigurationValue", 5, 1},
    {"iConfiguration", 6, 1},
    {"bmAttributes", 7, 1},
    {"MaxPower", 8, 1},
};
const Field kInterfaceFields[] = {
    {"bLength", 0, 1},       {"bDescriptorType", 1, 1}, {"bInterfaceNumber", 2, 1},   {"bAlternateSetting", 3, 1},
    {"bNumEndpoints", 4, 1}, {"bInterfaceClass", 5, 1}, {"bInterfaceSubClass", 6, 1}, {"bInterfaceProtocol", 7, 1},
    {"iInterface", 8, 1},
};
const Field kEndpointFields[] = {
    {"bLength", 0, 1},      {"bDescriptorType", 1, 1}, {"bEndpointAddress", 2, 1},
    {"bmAttributes", 3, 1}, {"wMaxPacketSize", 4, 2},  {"bInterval", 6, 1},
};

uint32_t readDescriptor(const char *name, const char *record, uint32_t code, KESTO_HANDLE h, const void *input,
                        uint32_t inputLength, void *out, uint32_t size, const Field *fields, int count)
{
    if (!out)
        return KESTO_ERROR_INVALID_PARAMETER;
    uint32_t bytes = 0;
    uint32_t r = issue(h, code, input, inputLength, out, size, &bytes, nullptr);
    if (r != 0)
        traceFailure(name, r, h);
    else
        traceDescriptor(record, h, static_cast<const uint8_t *>(out), fields, count);
    return r;
}

// Reads UTF-16 text of `characters` units with one request and converts it. Shared by the
// string descriptor, the link name and the automation objects, which need more room than
// the caller's character count when the text is not plain ASCII.
uint32_t readText(const char *name, uint32_t code, KESTO_HANDLE h, const void *input, uint32_t inputLength,
                  uint32_t characters, std::string *out)
{
    std::unique_ptr<uint16_t[]> wide(new (std::nothrow) uint16_t[characters]());
    if (!wide) {
        traceLine("KESTO_USB: %s handle 0x%08X: Out of memory", name, hv(h));
        return KESTO_ERROR_NOT_ENOUGH_MEMORY;
    }
    uint32_t bytes = 0;
    uint32_t r = issue(h, code, input, inputLength, wide.get(), characters * 2, &bytes, nullptr);
    if (r != 0) {
        traceFailure(name, r, h);
        return r;
    }
    *out = utf16ToLocal(wide.get(), std::min(bytes / 2, characters));
    return 0;
}

uint32_t copyText(const std::string &text, char *buffer, uint32_t length)
{
    // Copy whole characters only, without a terminating zero (the caller's buffer is zeroed).
    size_t n = std::min<size_t>(text.size(), length);
    while (n > 0 && n < text.size() && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80)
        --n;
    std::memcpy(buffer, text.data(), n);
    return 0;
}

uint32_t checkTextArgs(const char *name, KESTO_HANDLE h, uint32_t length, char *text)
{
    if (!text) {
        traceLine("KESTO_USB: %s handle 0x%08X: String buffer 0x00000000 invalid", name, hv(h));
        return KESTO_ERROR_INVALID_PARAMETER;
    }
    if (length == 0) {
        traceLine("KESTO_USB: %s handle 0x%08X: String length 0x00000000 invalid", name, hv(h));
        return KESTO_ERROR_INVALID_PARAMETER;
    }
    return 0;
}

// The longest device path a caller may open: what the classic 260-character path buffer holds
// before its terminating zero.
constexpr size_t kMaxDevicePath = 259;

KESTO_HANDLE openPath(const std::string &devicePath, KESTO_BOOL exclusive, const char *traceName)
{
    std::shared_ptr<DriverConnection> c;
    uint32_t r = 0;
    if (devicePath.size() > kMaxDevicePath) {
        // Refused rather than cut to fit: the cut name could be another device's.
        r = KESTO_ERROR_INVALID_NAME;
    } else {
        const std::string socket = devicePathToSocket(devicePath);
        r = socket.empty() ? KESTO_ERROR_FILE_NOT_FOUND : DriverConnection::open(socket, exclusive != 0, &c);
    }
    if (r != 0) {
        if (tracingOn()) {
            traceLine("KESTO_USB: KestoOpenHandle failed for %s.", traceName);
            traceResult(r);
        }
        setLastError(r);
        return KESTO_INVALID_HANDLE;
    }
    KESTO_HANDLE h = registerConnection(std::move(c));
    if (tracingOn()) {
        traceLine("KESTO_USB: KestoOpenHandle succeeded on %s returning handle (0x%08X)", traceName, hv(h));
        uint32_t major = 0, minor = 0;
        KestoGetDriverVersion(h, &major, &minor);
    }
    setLastError(0);
    return h;
}

} // namespace

namespace kesto {

uint32_t readStringDescriptor(KESTO_HANDLE h, uint16_t languageId, uint32_t index, uint32_t characters,
                              std::string *out)
{
    uint8_t req[8] = {};
    put16(req, languageId);
    put32(req + 4, index);
    return readText("KestoGetStringDescriptor", KESTO_IOCTL_GET_STRING_DESCRIPTOR, h, req, sizeof req, characters, out);
}

} // namespace kesto

extern "C" {

KESTO_HANDLE KestoOpenHandle(const char *linkName, uint32_t deviceInstance, KESTO_BOOL exclusive)
{
    if (!linkName) {
        traceLine("KESTO_USB: KestoOpenHandle NULL LinkName is not allowed.");
        setLastError(KESTO_ERROR_INVALID_PARAMETER);
        return KESTO_INVALID_HANDLE;
    }
    const std::string path = "\\\\.\\" + std::string(linkName) + std::to_string(deviceInstance);
    return openPath(path, exclusive, path.c_str());
}

KESTO_HANDLE KestoOpenGuidHandle(const KESTO_GUID *interfaceGuid, uint32_t memberIndex, KESTO_BOOL exclusive)
{
    if (!interfaceGuid) {
        traceLine("KestoOpenGuidHandle pGuid may not be NULL.");
        setLastError(KESTO_ERROR_INVALID_PARAMETER);
        return KESTO_INVALID_HANDLE;
    }
    std::vector<std::string> devices = listInterfaceDevices(*interfaceGuid);
    if (memberIndex >= devices.size()) {
        traceLine("KestoOpenGuidHandle failed to get device interface: %d", KESTO_ERROR_NO_MORE_ITEMS);
        setLastError(KESTO_ERROR_NO_MORE_ITEMS);
        return KESTO_INVALID_HANDLE;
    }
    std::string path = devices[memberIndex].substr(0, 512);
    KESTO_HANDLE h = openPath(path, exclusive, path.c_str());
    if (h == KESTO_INVALID_HANDLE)
        traceLine("KestoOpenGuidHandle failed to open device handle");
    return h;
}

KESTO_BOOL KestoCloseHandle(KESTO_HANDLE handle)
{
    auto c = takeConnection(handle);
    if (!c) {
        setLastError(KESTO_ERROR_INVALID_HANDLE);
        return 0;
    }
    c->close();
    return 1;
}

uint32_t KestoBulkTransfer(KESTO_HANDLE h, uint8_t endpoint, uint32_t length, void *buffer, uint32_t *returned)
{
    return pipeTransfer("KestoBulkTransfer", KESTO_IOCTL_BULK_TRANSFER, h, endpoint, length, buffer, returned, nullptr,
                        false);
}

uint32_t KestoInterruptTransfer(KESTO_HANDLE h, uint8_t endpoint, uint32_t length, void *buffer, uint32_t *returned)
{
    return pipeTransfer("KestoInterruptTransfer", KESTO_IOCTL_INTERRUPT_TRANSFER, h, endpoint, length, buffer, returned,
                        nullptr, false);
}

uint32_t KestoControlTransfer(KESTO_HANDLE h, uint8_t requestType, uint8_t request, uint16_t value, uint16_t index,
                              KESTO_BOOL hostToDevice, uint32_t length, void *buffer, uint32_t *returned)
{
    return controlTransfer(h, requestType, request, value, index, hostToDevice, length, buffer, returned, nullptr,
                           false);
}

uint32_t KestoIsochronousTransfer(KESTO_HANDLE h, uint8_t endpoint, uint32_t packets, uint32_t packetSize,
                                  uint32_t length, void *transferBuffer, uint32_t *returned)
{
    return isochronousTransfer(h, endpoint, packets, packetSize, length, transferBuffer, returned, nullptr, false);
}

uint32_t KestoAsynchBulkTransfer(KESTO_HANDLE h, uint8_t endpoint, uint32_t length, void *buffer, uint32_t *returned,
                                 KESTO_OVERLAPPED *ov)
{
    return pipeTransfer("KestoAsynchBulkTransfer", KESTO_IOCTL_BULK_TRANSFER, h, endpoint, length, buffer, returned, ov,
                        true);
}

uint32_t KestoAsynchInterruptTransfer(KESTO_HANDLE h, uint8_t endpoint, uint32_t length, void *buffer,
                                      uint32_t *returned, KESTO_OVERLAPPED *ov)
{
    return pipeTransfer("KestoAsynchInterruptTransfer", KESTO_IOCTL_INTERRUPT_TRANSFER, h, endpoint, length, buffer,
                        returned, ov, true);
}

uint32_t KestoAsynchControlTransfer(KESTO_HANDLE h, uint8_t requestType, uint8_t request, uint16_t value,
                                    uint16_t index, KESTO_BOOL hostToDevice, uint32_t length, void *buffer,
                                    uint32_t *returned, KESTO_OVERLAPPED *ov)
{
    return controlTransfer(h, requestType, request, value, index, hostToDevice, length, buffer, returned, ov, true);
}

uint32_t KestoAsynchIsochronousTransfer(KESTO_HANDLE h, uint8_t endpoint, uint32_t packets, uint32_t packetSize,
                                        uint32_t length, void *transferBuffer, uint32_t *returned, KESTO_OVERLAPPED *ov)
{
    return isochronousTransfer(h, endpoint, packets, packetSize, length, transferBuffer, returned, ov, true);
}

uint32_t KestoCheckAsynchCompletion(KESTO_HANDLE h, uint32_t *returned, KESTO_OVERLAPPED *ov)
{
    if (!returned || !ov)
        return KESTO_ERROR_INVALID_PARAMETER;
    uintptr_t status = loadInternal(ov);
    if (status == KESTO_STATUS_PENDING)
        return KESTO_ERROR_IO_PENDING;
    *returned = static_cast<uint32_t>(ov->InternalHigh);
    auto r = static_cast<uint32_t>(status);
    traceAsynchFailure(r, h);
    return r;
}

uint32_t KestoWaitAsynchCompletion(KESTO_HANDLE h, uint32_t *returned, KESTO_OVERLAPPED *ov, uint32_t timeoutMs)
{
    if (!returned || !ov)
        return KESTO_ERROR_INVALID_PARAMETER;
    if (loadInternal(ov) == KESTO_STATUS_PENDING) {
        auto c = findConnection(h);
        if (!c)
            return KESTO_ERROR_INVALID_HANDLE;
        if (!c->wait(ov, timeoutMs))
            return KESTO_WAIT_TIMEOUT;
    }
    return KestoCheckAsynchCompletion(h, returned, ov);
}

uint32_t KestoCancelAsynchTransfer(KESTO_HANDLE h, KESTO_OVERLAPPED *ov)
{
    if (!ov)
        return KESTO_ERROR_INVALID_PARAMETER;
    auto c = findConnection(h);
    if (!c)
        return KESTO_ERROR_INVALID_HANDLE;
    return c->cancel(ov);
}

uint32_t KestoGetDeviceDescriptor(KESTO_HANDLE h, void *descriptor)
{
    return readDescriptor("KestoGetDeviceDescriptor", "KESTOUSB_DEVICE_DESCRIPTOR", KESTO_IOCTL_GET_DEVICE_DESCRIPTOR,
                          h, nullptr, 0, descriptor, 18, kDeviceFields, 14);
}

uint32_t KestoGetConfigDescriptor(KESTO_HANDLE h, void *descriptor)
{
    return readDescriptor("KestoGetConfigDescriptor", "KESTOUSB_CONFIGURATION_DESCRIPTOR",
                          KESTO_IOCTL_GET_CONFIGURATION_DESCRIPTOR, h, nullptr, 0, descriptor, 9, kConfigFields, 8);
}

uint32_t KestoGetInterfaceDescriptor(KESTO_HANDLE h, void *descriptor)
{
    return readDescriptor("KestoGetInterfaceDescriptor", "KESTOUSB_INTERFACE_DESCRIPTOR",
                          KESTO_IOCTL_GET_INTERFACE_DESCRIPTOR, h, nullptr, 0, descriptor, 9, kInterfaceFields, 9);
}

uint32_t KestoGetEndpointDescriptor(KESTO_HANDLE h, uint8_t endpoint, void *descriptor)
{
    return readDescriptor("KestoGetEndpointDescriptor", "KESTOUSB_ENDPOINT_DESCRIPTOR",
                          KESTO_IOCTL_GET_ENDPOINT_DESCRIPTOR, h, &endpoint, 1, descriptor, 7, kEndpointFields, 6);
}

uint32_t KestoGetDriverVersion(KESTO_HANDLE h, uint32_t *majorVersion, uint32_t *minorVersion)
{
    if (!majorVersion || !minorVersion) {
        traceLine("KestoGetDriverVersion: invalid parameter.");
        return KESTO_ERROR_INVALID_PARAMETER;
    }
    uint8_t out[8] = {};
    uint32_t bytes = 0;
    uint32_t r = issue(h, KESTO_IOCTL_GET_DRIVER_VERSION, nullptr, 0, out, sizeof out, &bytes, nullptr);
    if (r != 0) {
        traceFailure("KestoGetDriverVersion", r, h);
        return r;
    }
    *majorVersion = get32(out);
    *minorVersion = get32(out + 4);
    traceLine("KESTO_USB: MajorVersion:0x%08X  MinorVersion:0x%08X", *majorVersion, *minorVersion);
    return 0;
}

uint32_t KestoClearStall(KESTO_HANDLE h, uint8_t endpoint)
{
    uint32_t r = issue(h, KESTO_IOCTL_CLEAR_STALL, &endpoint, 1, nullptr, 0, nullptr, nullptr);
    traceFailure("KestoClearStall", r, h);
    return r;
}

uint32_t KestoGetNumberOfLanguageIds(KESTO_HANDLE h, uint16_t *numberOfIds)
{
    if (!numberOfIds)
        return KESTO_ERROR_INVALID_PARAMETER;
    uint8_t out[2] = {};
    uint32_t r = issue(h, KESTO_IOCTL_GET_NUMBER_OF_LANGUAGE_IDS, nullptr, 0, out, 2, nullptr, nullptr);
    if (r == 0)
        *numberOfIds = get16(out);
    traceFailure("KestoGetNumberOfLanguageIds", r, h);
    return r;
}

uint32_t KestoGetLanguageIds(KESTO_HANDLE h, uint16_t numberOfIds, uint16_t *languageIds)
{
    if (!languageIds)
        return KESTO_ERROR_INVALID_PARAMETER;
    uint32_t r = issue(h, KESTO_IOCTL_GET_LANGUAGE_IDS, nullptr, 0, languageIds, 2u * numberOfIds, nullptr, nullptr);
    traceFailure("KestoGetLanguageIds", r, h);
    return r;
}

uint32_t KestoGetStringDescriptorLength(KESTO_HANDLE h, uint16_t languageId, uint32_t descriptorIndex, uint32_t *length)
{
    if (!length)
        return KESTO_ERROR_INVALID_PARAMETER;
    uint8_t req[8] = {};
    put16(req, languageId);
    put32(req + 4, descriptorIndex);
    uint8_t out[4] = {};
    uint32_t r = issue(h, KESTO_IOCTL_GET_STRING_DESCRIPTOR_LENGTH, req, sizeof req, out, 4, nullptr, nullptr);
    if (r == 0)
        *length = get32(out);
    traceFailure("KestoGetStringDescriptorLength", r, h);
    return r;
}

uint32_t KestoGetStringDescriptor(KESTO_HANDLE h, uint16_t languageId, uint32_t descriptorIndex, uint32_t stringLength,
                                  char *text)
{
    if (uint32_t r = checkTextArgs("KestoGetStringDescriptor", h, stringLength, text))
        return r;
    std::string s;
    uint32_t r = readStringDescriptor(h, languageId, descriptorIndex, stringLength, &s);
    return r ? r : copyText(s, text, stringLength);
}

uint32_t KestoSelectInterface(KESTO_HANDLE h, uint32_t interfaceNumber, uint32_t alternateSetting)
{
    uint8_t req[8];
    put32(req, interfaceNumber);
    put32(req + 4, alternateSetting);
    uint32_t r = issue(h, KESTO_IOCTL_SELECT_INTERFACE, req, sizeof req, nullptr, 0, nullptr, nullptr);
    traceFailure("KestoSelectInterface", r, h);
    return r;
}

uint32_t KestoGetGuid(KESTO_HANDLE h, KESTO_GUID *guid)
{
    if (!guid)
        return KESTO_ERROR_INVALID_PARAMETER;
    uint8_t out[16] = {};
    uint32_t r = issue(h, KESTO_IOCTL_GET_DEVICE_GUID, nullptr, 0, out, 16, nullptr, nullptr);
    if (r == 0) {
        guid->Data1 = get32(out);
        guid->Data2 = get16(out + 4);
        guid->Data3 = get16(out + 6);
        std::memcpy(guid->Data4, out + 8, 8);
    }
    traceFailure("KestoGetGuid", r, h);
    return r;
}

uint32_t KestoGetLinkname(KESTO_HANDLE h, uint32_t stringLength, char *text)
{
    if (uint32_t r = checkTextArgs("KestoGetLinkname", h, stringLength, text))
        return r;
    std::string s;
    uint32_t r = readText("KestoGetLinkname", KESTO_IOCTL_GET_LINK_NAME, h, nullptr, 0, stringLength, &s);
    return r ? r : copyText(s, text, stringLength);
}

} // extern "C"
