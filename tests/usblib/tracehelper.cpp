// A process that uses the trace buffer the way a trace viewer or a client program does, for the
// trace buffer tests, which start it with their own KESTOUSB_TRACE_SHM and kill or end it.
//
//   tracehelper read KEY    takes the reader key (without force), switches tracing on, traces
//                           "helper KEY reading", prints "ready" and waits to be killed; ends
//                           with 3 when another reader holds the key
//   tracehelper attach      uses the buffer without reading it, prints "ready" and waits
//   tracehelper exec-child  uses the buffer, starts a child that replaces itself with this
//                           program ("idle"), prints the child's pid and ends normally
//   tracehelper idle        waits to be killed, without the library

#include "usblib/KestoUsb.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

[[noreturn]] void waitToBeKilled()
{
    for (;;)
        pause();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const std::string mode = argv[1];
    if (mode == "idle")
        waitToBeKilled();
    if (mode == "read" && argc == 3) {
        const auto key = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
        if (!KestoSetReadTraceOwnerKey(key, 0))
            return 3;
        if (!KestoUsbEnableTracing(key, 1))
            return 4;
        const std::string line = "helper " + std::to_string(key) + " reading\n";
        KestoUsbTrace(line.c_str(), static_cast<uint32_t>(line.size()));
        std::printf("ready\n");
        std::fflush(stdout);
        waitToBeKilled();
    }
    if (mode == "attach") {
        KestoUsbTrace("x", 1); // attaches; refused while tracing is off, which is all the same here
        std::printf("ready\n");
        std::fflush(stdout);
        waitToBeKilled();
    }
    if (mode == "exec-child") {
        KestoUsbTrace("x", 1);
        // The child holds the write end of the pipe until its exec closes it: the end of file
        // on the read end says the exec has happened.
        int execed[2];
        if (pipe2(execed, O_CLOEXEC) != 0)
            return 5;
        const pid_t child = fork();
        if (child == 0) {
            close(execed[0]);
            execl("/proc/self/exe", argv[0], "idle", static_cast<char *>(nullptr));
            _exit(127);
        }
        if (child < 0)
            return 5;
        close(execed[1]);
        char c;
        while (read(execed[0], &c, 1) > 0) {
        }
        close(execed[0]);
        std::printf("%d\n", static_cast<int>(child));
        return 0; // a normal end: the library lets go of its attachment
    }
    return 2;
}
