// Which USB devices kestousbd serves, and under what name: one line per device in
// /etc/kestousb/devices.conf (or given with --device), e.g.
//   2d46:0852  link=ML60852A_DRIVER  guid={0FD82C73-DAD2-4646-8EC3-DB5627D5BD06}  interface=0
// Only the vendor:product pair is required; the others default to the time recorder's.
#pragma once

#include "usblib/KestoUsb.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestousbd {

// The device interface class the time recorder announces.
extern const KESTO_GUID kRecorderGuid;
constexpr const char *kRecorderLinkName = "ML60852A_DRIVER";
constexpr const char *kDefaultConfigPath = "/etc/kestousb/devices.conf";

struct DeviceEntry {
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string linkName = kRecorderLinkName;
    KESTO_GUID guid = kRecorderGuid;
    int interfaceNumber = 0;
};

enum class LineKind { Entry, Blank, Bad };

// Reads one line (a '#' starts a comment). Bad lines leave *error saying why.
LineKind parseDeviceLine(const std::string &line, DeviceEntry *entry, std::string *error);

// Reads a whole file: its entries are appended, each bad line adds "<path>:<line>: <why>" to
// *errors. False when the file cannot be read.
bool readDeviceFile(const std::string &path, std::vector<DeviceEntry> *entries, std::vector<std::string> *errors);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (either case, braces optional) and back (upper case,
// with braces, as the notification folder names it).
bool parseGuid(const std::string &text, KESTO_GUID *guid);
std::string guidText(const KESTO_GUID &guid);

// A link name becomes a file name in the driver folder: letters, digits, '_', '-' and '.', not
// starting with '.', at most 64 characters.
bool validLinkName(const std::string &name);

} // namespace kestousbd
