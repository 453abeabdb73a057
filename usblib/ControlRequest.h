// How a control transfer becomes the request record the driver takes: the request-type byte
// (type and recipient) and, for standard requests, the request code select the driver's
// function code; the record carries it with the setup values. Pure functions, without the
// socket, so that they can be checked on their own.
#pragma once

#include "ByteOrder.h"

#include <cstdint>

namespace kesto::proto {

// The driver moves at most this much in one control transfer.
constexpr uint32_t kMaxControlLength = 1536;
constexpr uint32_t kControlRecordSize = 16;

// Maps the request onto the function code. Returns false for requests the driver cannot
// carry; *refusal is then the line to trace for it, or null when the request has none.
inline bool translateControl(uint8_t requestType, uint8_t request, uint16_t *function, const char **refusal)
{
    *refusal = nullptr;
    auto refuse = [&](const char *line) {
        *refusal = line;
        return false;
    };
    switch (requestType) {
    case 0:
        switch (request) {
        case 0: *function = 19; return true;
        case 1: *function = 16; return true;
        case 3: *function = 13; return true;
        case 6: *function = 11; return true;
        case 8: *function = 38; return true;
        case 5: return refuse("Kesto for USB does not support the SET_ADDRESS Device Request.");
        case 7: return refuse("Kesto for USB does not support the SET_DESCRIPTOR Device Request.");
        case 9: return refuse("Kesto for USB does not support the SET_CONFIGURATION Device Request.");
        default: return false; // no function code carries it
        }
    case 1:
        switch (request) {
        case 0: *function = 20; return true;
        case 1: *function = 17; return true;
        case 3: *function = 14; return true;
        case 10: *function = 39; return true;
        case 11:
            return refuse("Kesto for USB does not support the SET_INTERFACE Device Request.\tTo change the selected "
                          "interface, call KestoSelectInterface.");
        default: return false;
        }
    case 2:
        switch (request) {
        case 0: *function = 21; return true;
        case 1: *function = 18; return true;
        case 3: *function = 15; return true;
        case 12: return refuse("Kesto for USB does not support the SYNCH_FRAME Device Request.");
        default: return false;
        }
    case 32: *function = 26; return true;
    case 33: *function = 27; return true;
    case 34: *function = 28; return true;
    case 35: *function = 31; return true;
    case 64: *function = 23; return true;
    case 65: *function = 24; return true;
    case 66: *function = 25; return true;
    case 67: *function = 32; return true;
    default: return false;
    }
}

// The 16-byte record: length, function code, request, value, index, direction.
inline void controlRecord(uint32_t length, uint16_t function, uint8_t request, uint16_t value, uint16_t index,
                          bool hostToDevice, uint8_t out[kControlRecordSize])
{
    for (uint32_t i = 0; i < kControlRecordSize; ++i)
        out[i] = 0;
    le::put32(out, length);
    le::put16(out + 4, function);
    out[6] = request;
    le::put16(out + 8, value);
    le::put16(out + 10, index);
    out[12] = hostToDevice ? 1 : 0;
}

} // namespace kesto::proto
