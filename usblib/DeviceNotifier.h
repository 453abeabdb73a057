// The notification folder as a device list, shared by the notifier and open-by-GUID.
#pragma once

#include "KestoUsb.h"

#include <string>
#include <vector>

namespace kesto {

// Entries of the folder whose names begin with a GUID, in name order.
std::vector<std::string> listNotificationEntries(const std::string &folder);
// Device paths ("\\.\" + entry name) of the present devices with this interface class.
std::vector<std::string> listInterfaceDevices(const KESTO_GUID &guid);

} // namespace kesto
