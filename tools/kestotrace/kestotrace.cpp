// kestotrace: takes the trace buffer's reader key, switches tracing on in every process that
// uses the USB library and prints each text as it arrives, until interrupted.
//
//   kestotrace <owner key> [--force] [--seconds N]

#include "usblib/KestoUsb.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) { g_stop = 1; }

struct Record {
    uint32_t used;
    char text[KESTO_TRACE_TEXT_SIZE];
};

int usage()
{
    std::fprintf(stderr, "usage: kestotrace <owner key> [--force] [--seconds N]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    char *end = nullptr;
    const unsigned long key = std::strtoul(argv[1], &end, 0);
    if (!end || *end)
        return usage();
    bool force = false;
    long seconds = -1;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--force"))
            force = true;
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::strtol(argv[++i], nullptr, 10);
        else
            return usage();
    }
    const auto ownerKey = static_cast<uint32_t>(key);
    if (!KestoSetReadTraceOwnerKey(ownerKey, force ? 1 : 0)) {
        std::fprintf(stderr, "kestotrace: another reader holds the trace buffer (use --force to take it)\n");
        return 1;
    }
    if (!KestoUsbEnableTracing(ownerKey, 1)) {
        std::fprintf(stderr, "kestotrace: could not switch tracing on\n");
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    const time_t until = seconds >= 0 ? std::time(nullptr) + seconds : 0;
    int8_t slot = -1;
    uint32_t printed = 0; // bytes of the current slot already shown
    Record r{};
    int rc = 0;
    while (!g_stop && (!until || std::time(nullptr) < until)) {
        int8_t next = -2;
        uint32_t length = 0xFFFFFFFFu;
        uint32_t w = WaitForTrace(slot, 0, 500, &r, &next, &length, ownerKey);
        if (w == KESTO_WAIT_TIMEOUT) {
            if (next == 0 && length == 0) { // the buffer was cleared: start again at its first slot
                slot = 0;
                printed = 0;
            }
            continue;
        }
        if (w == 1010) {
            std::fprintf(stderr, "kestotrace: another reader took the trace buffer\n");
            rc = 1;
            break;
        }
        if (w == 128)
            continue; // a writer died holding the buffer; it is usable again
        if (w != 0) {
            std::fprintf(stderr, "kestotrace: wait failed (0x%08X)\n", w);
            rc = 1;
            break;
        }
        const uint32_t used = r.used > KESTO_TRACE_TEXT_SIZE ? KESTO_TRACE_TEXT_SIZE : r.used;
        const int8_t current = slot;
        if (used > printed)
            std::fwrite(r.text + printed, 1, used - printed, stdout);
        // The slot being written comes back again; remember how far it was shown.
        printed = next == current || (current == -1 && length != 0) ? used : 0;
        slot = next;
    }
    KestoUsbEnableTracing(ownerKey, 0);
    KestoReleaseReadTraceOwnerKey(ownerKey);
    return rc;
}
