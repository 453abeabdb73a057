// Helpers shared by the parts of the library; nothing here is exported.
#pragma once

#include "KestoUsb.h"

#include <cstdint>
#include <string>

namespace kesto {

// True while the shared buffer is active and a reader has switched tracing on (in any process).
bool tracingOn();
// Appends one formatted line (a line feed is added) when tracing is on.
void traceLine(const char *format, ...) __attribute__((format(printf, 1, 2)));
// Appends the text of a result code: the USB status text, or "Error: %d.  %s" with the
// system's message.
void traceResult(uint32_t code);

// Message texts: the library's string table (ids 100-113) and the system's messages.
std::string stringTableText(uint32_t id);
// String-table id for a USB status code, 0 when the code is not one.
uint32_t usbStatusStringId(uint32_t code);
// The system's message for a platform error code or an HRESULT, without line end.
std::string systemMessage(uint32_t code);
// The description an error report carries: string-table text for USB status codes, else the
// system message.
std::string resultDescription(uint32_t code);

// Platform error code for an errno value.
uint32_t errnoToError(int err);

void setLastError(uint32_t code);

// Folder of the driver endpoints: KESTOUSB_DEVICE_DIR, else $XDG_RUNTIME_DIR/kestousb, else
// /tmp/kestousb-<uid>.
std::string driverFolder();
std::string notificationFolder();

// Maps a device path "\\.\name" onto its endpoint socket in the driver folder. A leading
// "{GUID}" (as in the notification folder's entries) is dropped. Empty for other paths.
std::string devicePathToSocket(const std::string &devicePath);

// UTF-16 (little-endian units) to this system's multibyte text (UTF-8).
std::string utf16ToLocal(const uint16_t *text, size_t count);

// GUID text "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and back.
std::string guidToString(const KESTO_GUID &guid);
bool guidFromString(const std::string &text, KESTO_GUID *guid);
bool guidEqual(const KESTO_GUID &a, const KESTO_GUID &b);

} // namespace kesto
