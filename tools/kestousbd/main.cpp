// kestousbd: serves the KestoUsb driver endpoint of every attached USB device listed in its
// configuration, over libusb, so that corvan21 and any other KestoUsb client reach a real
// recorder. Run by the kestousbd system service; see usblib/README.md for the set-up.

#include "Daemon.h"
#include "DeviceConfig.h"
#include "usblib/DriverEndpoint.h"

#include <sys/stat.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop = true; }

void usage(FILE *to)
{
    std::fprintf(
        to,
        "usage: kestousbd [--config FILE] [--device \"VENDOR:PRODUCT [link=NAME] [guid={GUID}] [interface=N]\"]...\n"
        "Serves the KestoUsb driver endpoint of each attached device listed in FILE (default %s)\n"
        "and on the command line, in the driver folder (KESTOUSB_DEVICE_DIR).\n",
        kestousbd::kDefaultConfigPath);
}

} // namespace

int main(int argc, char **argv)
{
    using namespace kestousbd;
    std::string configPath = kDefaultConfigPath;
    bool configGiven = false;
    std::vector<DeviceEntry> entries;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if ((arg == "--config" || arg == "--device") && i + 1 < argc) {
            const std::string value = argv[++i];
            if (arg == "--config") {
                configPath = value;
                configGiven = true;
                continue;
            }
            DeviceEntry e;
            std::string why;
            if (parseDeviceLine(value, &e, &why) != LineKind::Entry) {
                std::fprintf(stderr, "kestousbd: --device \"%s\": %s\n", value.c_str(),
                             why.empty() ? "empty" : why.c_str());
                return 2;
            }
            entries.push_back(e);
            continue;
        }
        std::fprintf(stderr, "kestousbd: unknown or incomplete option \"%s\"\n", arg.c_str());
        usage(stderr);
        return 2;
    }
    std::vector<std::string> errors;
    if (!readDeviceFile(configPath, &entries, &errors) && (configGiven || entries.empty())) {
        std::fprintf(stderr, "kestousbd: cannot read %s: %s\n", configPath.c_str(), std::strerror(errno));
        return 2;
    }
    for (const std::string &e : errors)
        std::fprintf(stderr, "kestousbd: %s (line ignored)\n", e.c_str());
    if (entries.empty()) {
        std::fprintf(stderr, "kestousbd: no device is configured\n");
        return 2;
    }

    // The folders are made readable for the group, so that the service can hand its devices
    // to the members of one group (see the unit's Group= and UMask=).
    const std::string folder = kesto::DriverEndpoint::driverFolder();
    ::mkdir(folder.c_str(), 0750);
    ::mkdir((folder + "/DeviceNotification").c_str(), 0750);

    struct sigaction sa {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Daemon daemon(entries);
    std::string why;
    if (!daemon.init(&why)) {
        std::fprintf(stderr, "kestousbd: %s\n", why.c_str());
        return 1;
    }
    std::fprintf(stderr, "kestousbd: serving %zu device kind(s) in %s\n", entries.size(), folder.c_str());
    daemon.run(g_stop);
    return 0;
}
