// How libusb's outcomes and the driver's request records meet: result codes for libusb's
// errors and transfer states, and the setup packet behind a control request's function code.
// Pure functions, so that they can be checked without a device.
#pragma once

#include <libusb.h>

#include <cstdint>

namespace kestousbd {

// Result codes the driver answers with besides 0 and the USB status codes.
constexpr uint32_t kInvalidFunction = 1;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kGeneralFailure = 31; // a device attached to the system is not functioning
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kBusy = 170;
constexpr uint32_t kOperationAborted = 995;
constexpr uint32_t kDeviceNotConnected = 1167;
constexpr uint32_t kTimeout = 1460;

// USB status codes.
constexpr uint32_t kUsbDeviceNotResponding = 0xE0100005u;
constexpr uint32_t kUsbStallPid = 0xE0100004u;
constexpr uint32_t kUsbDataOverrun = 0xE0100008u;
constexpr uint32_t kUsbEndpointHalted = 0xE0100030u;
constexpr uint32_t kUsbIsochRequestFailed = 0xE0100B00u;

// The result code of a transfer that ended with status s. A stall is reported as the device's
// STALL handshake the first time and as a halted endpoint while it has not been cleared, as
// the host stack the clients were written for reports it.
inline uint32_t transferResult(libusb_transfer_status s, bool endpointHalted = false)
{
    switch (s) {
    case LIBUSB_TRANSFER_COMPLETED: return 0;
    case LIBUSB_TRANSFER_STALL: return endpointHalted ? kUsbEndpointHalted : kUsbStallPid;
    case LIBUSB_TRANSFER_TIMED_OUT: return kTimeout;
    case LIBUSB_TRANSFER_NO_DEVICE: return kDeviceNotConnected;
    case LIBUSB_TRANSFER_OVERFLOW: return kUsbDataOverrun;
    case LIBUSB_TRANSFER_CANCELLED: return kOperationAborted;
    case LIBUSB_TRANSFER_ERROR: return kUsbDeviceNotResponding; // libusb folds CRC, bit stuffing and no answer into one
    }
    return kGeneralFailure;
}

// The result code of a libusb call that failed with error (a negative libusb_error).
inline uint32_t errorResult(int error)
{
    switch (error) {
    case LIBUSB_SUCCESS: return 0;
    case LIBUSB_ERROR_PIPE: return kUsbStallPid;
    case LIBUSB_ERROR_TIMEOUT: return kTimeout;
    case LIBUSB_ERROR_NO_DEVICE: return kDeviceNotConnected;
    case LIBUSB_ERROR_OVERFLOW: return kUsbDataOverrun;
    case LIBUSB_ERROR_INVALID_PARAM:
    case LIBUSB_ERROR_NOT_FOUND: return kInvalidParameter;
    case LIBUSB_ERROR_NO_MEM: return kNotEnoughMemory;
    case LIBUSB_ERROR_BUSY: return kBusy;
    case LIBUSB_ERROR_ACCESS: return 5;
    case LIBUSB_ERROR_NOT_SUPPORTED: return kInvalidFunction;
    case LIBUSB_ERROR_INTERRUPTED: return kOperationAborted;
    case LIBUSB_ERROR_IO: return kUsbDeviceNotResponding;
    default: return kGeneralFailure;
    }
}

struct Setup {
    uint8_t requestType = 0;
    uint8_t request = 0;
};

// The setup packet's request type and request for a control request's function code (the
// codes KestoUsb translates control transfers into). Standard requests carry their own
// direction and request; class and vendor requests take the caller's. False for a function
// code that no control transfer carries.
inline bool controlSetup(uint16_t function, uint8_t request, bool hostToDevice, Setup *setup)
{
    const uint8_t in = LIBUSB_ENDPOINT_IN, dir = hostToDevice ? 0 : LIBUSB_ENDPOINT_IN;
    const uint8_t dev = LIBUSB_RECIPIENT_DEVICE, itf = LIBUSB_RECIPIENT_INTERFACE, ep = LIBUSB_RECIPIENT_ENDPOINT,
                  other = LIBUSB_RECIPIENT_OTHER;
    const uint8_t cls = LIBUSB_REQUEST_TYPE_CLASS, vnd = LIBUSB_REQUEST_TYPE_VENDOR;
    auto set = [&](uint8_t type, uint8_t req) {
        setup->requestType = type;
        setup->request = req;
        return true;
    };
    switch (function) {
    case 11: return set(in | dev, LIBUSB_REQUEST_GET_DESCRIPTOR);
    case 13: return set(dev, LIBUSB_REQUEST_SET_FEATURE);
    case 14: return set(itf, LIBUSB_REQUEST_SET_FEATURE);
    case 15: return set(ep, LIBUSB_REQUEST_SET_FEATURE);
    case 16: return set(dev, LIBUSB_REQUEST_CLEAR_FEATURE);
    case 17: return set(itf, LIBUSB_REQUEST_CLEAR_FEATURE);
    case 18: return set(ep, LIBUSB_REQUEST_CLEAR_FEATURE);
    case 19: return set(in | dev, LIBUSB_REQUEST_GET_STATUS);
    case 20: return set(in | itf, LIBUSB_REQUEST_GET_STATUS);
    case 21: return set(in | ep, LIBUSB_REQUEST_GET_STATUS);
    case 38: return set(in | dev, LIBUSB_REQUEST_GET_CONFIGURATION);
    case 39: return set(in | itf, LIBUSB_REQUEST_GET_INTERFACE);
    case 23: return set(dir | vnd | dev, request);
    case 24: return set(dir | vnd | itf, request);
    case 25: return set(dir | vnd | ep, request);
    case 32: return set(dir | vnd | other, request);
    case 26: return set(dir | cls | dev, request);
    case 27: return set(dir | cls | itf, request);
    case 28: return set(dir | cls | ep, request);
    case 31: return set(dir | cls | other, request);
    default: return false;
    }
}

} // namespace kestousbd
