// Texts of result codes (the library's string table and the system's messages), last error,
// folder and GUID helpers.

#include "Internal.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kesto {

namespace {

struct IdText {
    uint32_t id;
    const char *text;
};

// The library's string table. Ids 101-113 describe the USB status codes 0xE0100001 and up.
const IdText kStringTable[] = {
    {100, "UserDll"},
    {101, "The last data packet from the endpoint contained a CRC error"},
    {102, "The last data packet from the endpoint contained a bit stuffing violation"},
    {103, "The last data packet from the endpoint had a data toggle packet identifier that did not match the "
          "expected value"},
    {104, "The transaction failed because the endpoint returned a STALL packet identifier"},
    {105, "The device id not respond to the token (IN) or did not provide a handshake (OUT)"},
    {106, "Check bits on the packet identifier from the endpoint failed"},
    {107, "Received packet identifier was not valid when encountered or is not defined"},
    {108, "The amount of data returned by the endpoint exceeded either the size of the maximum data packet "
          "allowed from the endpoint or the remaining buffer size"},
    {109, "The endpoint returned less the maximum transfer size, and that size was insufficient to fill the "
          "specified buffer"},
    {110, "During an IN, the specified buffer was too small to contain the data received from the device"},
    {111, "During an OUT, the specified buffer did not contain sufficient data to transmit to the device"},
    {112, "The transaction failed because the endpoint is stalled"},
    {113, "The isochronous transfer failed because all packets in the transfer completed with an error"},
};

const IdText kUsbStatus[] = {
    {0xE0100001u, nullptr}, {0xE0100002u, nullptr}, {0xE0100003u, nullptr}, {0xE0100004u, nullptr},
    {0xE0100005u, nullptr}, {0xE0100006u, nullptr}, {0xE0100007u, nullptr}, {0xE0100008u, nullptr},
    {0xE0100009u, nullptr}, {0xE010000Cu, nullptr}, {0xE010000Du, nullptr}, {0xE0100030u, nullptr},
    {0xE0100B00u, nullptr},
};

// The system's messages for the codes this library and its drivers return; the same wording
// as the platform the callers were written for, so that messages shown to users stay as
// they were.
const IdText kSystemMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {14, "Not enough memory resources are available to complete this operation."},
    {21, "The device is not ready."},
    {31, "A device attached to the system is not functioning."},
    {32, "The process cannot access the file because it is being used by another process."},
    {50, "The request is not supported."},
    {87, "The parameter is incorrect."},
    {121, "The semaphore timeout period has expired."},
    {122, "The data area passed to a system call is too small."},
    {123, "The filename, directory name, or volume label syntax is incorrect."},
    {206, "The filename or extension is too long."},
    {234, "More data is available."},
    {258, "The wait operation timed out."},
    {259, "No more data is available."},
    {995, "The I/O operation has been aborted because of either a thread exit or an application request."},
    {996, "Overlapped I/O event is not in a signaled state."},
    {997, "Overlapped I/O operation is in progress."},
    {1010, "The configuration registry key is invalid."},
    {1167, "The device is not connected."},
    {1168, "Element not found."},
    {1460, "This operation returned because the timeout period expired."},
};

const IdText kHresultMessages[] = {
    {0x80004001u, "Not implemented"},
    {0x80004002u, "No such interface supported"},
    {0x80004003u, "Invalid pointer"},
    {0x80004005u, "Unspecified error"},
    {0x80020003u, "Member not found."},
    {0x80020005u, "Type mismatch."},
    {0x80020006u, "Unknown name."},
    {0x8002000Eu, "Invalid number of parameters."},
    {0x80040111u, "ClassFactory cannot supply requested class"},
    {0x80040154u, "Class not registered"},
};

thread_local uint32_t t_lastError = 0;

} // namespace

std::string stringTableText(uint32_t id)
{
    for (const auto &e : kStringTable)
        if (e.id == id)
            return e.text;
    return {};
}

uint32_t usbStatusStringId(uint32_t code)
{
    uint32_t id = 101;
    for (const auto &e : kUsbStatus) {
        if (e.id == code)
            return id;
        ++id;
    }
    return 0;
}

std::string systemMessage(uint32_t code)
{
    uint32_t win32 = code;
    if ((code & 0xFFFF0000u) == 0x80070000u) // an HRESULT that wraps a platform error
        win32 = code & 0xFFFFu;
    else if (code & 0x80000000u) {
        for (const auto &e : kHresultMessages)
            if (e.id == code)
                return e.text;
        return {};
    }
    for (const auto &e : kSystemMessages)
        if (e.id == win32)
            return e.text;
    return {};
}

std::string resultDescription(uint32_t code)
{
    if (uint32_t id = usbStatusStringId(code))
        return stringTableText(id);
    return systemMessage(code);
}

void traceResult(uint32_t code)
{
    if (!tracingOn())
        return;
    if (uint32_t id = usbStatusStringId(code))
        traceLine("%s", stringTableText(id).c_str());
    else
        traceLine("Error: %d.  %s", static_cast<int>(code), systemMessage(code).c_str());
}

uint32_t errnoToError(int err)
{
    switch (err) {
    case 0: return 0;
    case ENOENT:
    case ECONNREFUSED: // a socket left behind by a driver that is gone: the device is absent
        return KESTO_ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return 3;
    case EACCES:
    case EPERM: return KESTO_ERROR_ACCESS_DENIED;
    case EBADF: return KESTO_ERROR_INVALID_HANDLE;
    case ENOMEM: return KESTO_ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return KESTO_ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG: return KESTO_ERROR_FILENAME_EXCED_RANGE;
    case ETIMEDOUT:
    case EAGAIN: return 121;
    case EPIPE:
    case ECONNRESET:
    case ENOTCONN: return KESTO_ERROR_DEVICE_NOT_CONNECTED;
    default: return 31;
    }
}

void setLastError(uint32_t code) { t_lastError = code; }

std::string driverFolder()
{
    if (const char *env = std::getenv("KESTOUSB_DEVICE_DIR"); env && *env)
        return env;
    if (const char *run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::string(run) + "/kestousb";
    return "/tmp/kestousb-" + std::to_string(getuid());
}

std::string notificationFolder() { return driverFolder() + "/DeviceNotification"; }

std::string devicePathToSocket(const std::string &devicePath)
{
    static const std::string prefix = "\\\\.\\";
    if (devicePath.compare(0, prefix.size(), prefix) != 0)
        return {};
    std::string name = devicePath.substr(prefix.size());
    KESTO_GUID g;
    if (name.size() > 38 && name[0] == '{' && guidFromString(name.substr(0, 38), &g))
        name = name.substr(38);
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return {};
    return driverFolder() + "/" + name;
}

std::string utf16ToLocal(const uint16_t *text, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = '?'; // a lone surrogate has no character to become
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string guidToString(const KESTO_GUID &g)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

bool guidFromString(const std::string &text, KESTO_GUID *guid)
{
    if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' || text[19] != '-'
        || text[24] != '-')
        return false;
    auto hex = [&](size_t pos, size_t n, uint32_t *out) {
        uint32_t v = 0;
        for (size_t i = pos; i < pos + n; ++i) {
            char c = text[i];
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0)
                return false;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        *out = v;
        return true;
    };
    uint32_t a, b, c, v;
    if (!hex(1, 8, &a) || !hex(10, 4, &b) || !hex(15, 4, &c))
        return false;
    KESTO_GUID g{a, static_cast<uint16_t>(b), static_cast<uint16_t>(c), {}};
    const size_t pos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!hex(pos[i], 2, &v))
            return false;
        g.Data4[i] = static_cast<uint8_t>(v);
    }
    *guid = g;
    return true;
}

bool guidEqual(const KESTO_GUID &a, const KESTO_GUID &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace kesto

extern "C" {

uint32_t KestoGetLastError(void) { return kesto::t_lastError; }

void KestoSetLastError(uint32_t code) { kesto::t_lastError = code; }

uint32_t KestoFormatMessage(uint32_t code, char *buffer, uint32_t bufferSize)
{
    std::string text = kesto::resultDescription(code);
    if (buffer && bufferSize > 0) {
        size_t n = std::min<size_t>(text.size(), bufferSize - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = 0;
    }
    return static_cast<uint32_t>(text.size() + 1);
}

} // extern "C"
