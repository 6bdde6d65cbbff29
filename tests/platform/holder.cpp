// A second process for the platform tests, as a second instance of the program would be.
//   platform_holder try PATH    exits 0 when the file is held elsewhere (Busy), 1 otherwise
//   platform_holder leave PATH  takes the file, writes "left" and a line end, and ends without
//                               closing it: exits 0 when it could
//   platform_holder close PATH  holds termination requests as the program does and writes
//                               "ready"; on the first request it runs its close, which writes
//                               "close", and exits 0; 3 when none came within a minute
//   platform_holder interrupt PID  (Windows) presses Ctrl-C in the console of process PID:
//                               exits 0 when it could
#include "platform/termination.h"
#include "platform/textfile.h"

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
bool append(const char* path, const char* line) {
    platform::ExclusiveFile file;
    return file.open(path, platform::ExclusiveFile::Mode::Append) ==
               platform::ExclusiveFile::OpenResult::Ok &&
           file.write(line);
}

int closeOnRequest(const char* path) {
    platform::holdTerminationRequests();
    if (!append(path, "ready\r\n")) return 1;
    // The program's message loop, reduced to its wait for a request.
    while (!platform::takeTerminationRequest())
        if (!platform::waitForTermination(60000)) return 3;
    return platform::terminationRequested() && append(path, "close\r\n") ? 0 : 1;
}

#ifdef _WIN32
int interrupt(const char* process) {
    // Only a process of that console can raise the event there; this one ignores it itself.
    FreeConsole();
    if (!AttachConsole(static_cast<DWORD>(std::strtoul(process, nullptr, 10)))) return 1;
    SetConsoleCtrlHandler(nullptr, TRUE);
    return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ? 0 : 1;
}
#endif
} // namespace

int main(int argc, char** argv) {
    using platform::ExclusiveFile;
    if (argc != 3) return 2;
    const std::string what = argv[1];
    ExclusiveFile file;
    if (what == "try")
        return file.open(argv[2], ExclusiveFile::Mode::Replace) == ExclusiveFile::OpenResult::Busy ? 0 : 1;
    if (what == "leave") {
        const bool ok = file.open(argv[2], ExclusiveFile::Mode::Replace) == ExclusiveFile::OpenResult::Ok &&
                        file.write("left\r\n");
        std::_Exit(ok ? 0 : 1); // no destructor: the system must let go of the file
    }
    if (what == "close") return closeOnRequest(argv[2]);
#ifdef _WIN32
    if (what == "interrupt") return interrupt(argv[2]);
#endif
    return 2;
}
