#include "side.h"

#include "platform/os.h"

#include <cstdlib>
#include <windows.h>

namespace side {

namespace {
std::wstring utf16(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

bool addAttribute(const std::string& path, DWORD attribute) {
    const std::wstring wide = utf16(path);
    const DWORD now = GetFileAttributesW(wide.c_str());
    return now != INVALID_FILE_ATTRIBUTES && SetFileAttributesW(wide.c_str(), now | attribute) != 0;
}
} // namespace

bool markHidden(const std::string& path) {
    return addAttribute(path, FILE_ATTRIBUTE_HIDDEN);
}

bool markSystem(const std::string& path) {
    return addAttribute(path, FILE_ATTRIBUTE_SYSTEM);
}

unsigned ansiCodePage() {
    return GetACP();
}

// Wine's own library exports its version; Windows' does not.
bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

Holder::Holder(const std::string& what, const std::string& argument) {
    const std::wstring program = utf16(platform::executableDir() + "platform_holder.exe");
    std::wstring command = L"\"" + program + L"\" " + utf16(what) + L" \"" + utf16(argument) + L"\"";
    // A console of its own, hidden, so that a console's control event reaches it alone.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        nullptr, &startup, &process))
        return;
    CloseHandle(process.hThread);
    process_ = reinterpret_cast<std::intptr_t>(process.hProcess);
    id_ = process.dwProcessId;
}

Holder::~Holder() {
    if (process_ == -1) return;
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, INFINITE);
    CloseHandle(process);
}

bool Holder::started() const {
    return process_ != -1;
}

int Holder::wait() {
    if (process_ == -1) return -1;
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    if (WaitForSingleObject(process, 60000) != WAIT_OBJECT_0) return -1; // killed by the destructor
    DWORD code = 0;
    const bool known = GetExitCodeProcess(process, &code);
    CloseHandle(process);
    process_ = -1;
    return known ? static_cast<int>(code) : -1;
}

namespace {
// Ctrl-C as pressed in the holder's console: a second holder attaches to that console and
// raises it there.
bool pressCtrlC(const Holder& holder) {
    return runHolder("interrupt", std::to_string(holder.id())) == 0;
}

struct Found {
    DWORD process;
    HWND window;
};

BOOL CALLBACK findWindow(HWND window, LPARAM parameter) {
    auto* found = reinterpret_cast<Found*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != found->process) return TRUE;
    found->window = window;
    return FALSE;
}

// What Windows does at a logoff: asks every top-level window whether the session may end, then
// tells it whether it does. The answer to the end is never awaited: a window may keep it until
// its program has ended. A session end called off is sent and answered at once.
template <bool Ends> bool endSession(const Holder& holder) {
    Found found{static_cast<DWORD>(holder.id()), nullptr};
    EnumWindows(findWindow, reinterpret_cast<LPARAM>(&found));
    if (found.window == nullptr) return false;
    DWORD_PTR agreed = 0;
    if (SendMessageTimeoutW(found.window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000,
                            &agreed) == 0 ||
        agreed == FALSE)
        return false;
    if (Ends) return SendNotifyMessageW(found.window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF) != 0;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(found.window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000,
                               &ignored) != 0;
}
} // namespace

std::vector<TerminationRequest> terminationRequests() {
    return {{"Ctrl-C in its console", pressCtrlC, true},
            {"the end of the session", endSession<true>, true},
            {"the end of the session called off", endSession<false>, false}};
}

void setEnv(const char* name, const char* value) {
    _putenv_s(name, value == nullptr ? "" : value);
}

} // namespace side
