// Termination requests on Windows: the end of the session and the console's control events. A
// window of our own, hidden, on a thread of its own, gets the session-end messages that Windows
// sends every top-level window (a program with windows gets no logoff or shutdown console
// event); a console handler gets Ctrl-C, Ctrl-Break and the console's close. Either sets an event
// object, which the message loop watches and any thread can wait on.
#include "platform/termination.h"

#include "platform/os.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <windows.h>

namespace platform {

namespace {
// Manual reset: set from a request's arrival until it is taken.
std::atomic<HANDLE> waitingEvent{nullptr};
std::atomic<bool> taken{false};

std::system_error systemError(const char* what) {
    const DWORD error = GetLastError();
    return std::system_error(static_cast<int>(error != 0 ? error : ERROR_GEN_FAILURE), std::system_category(),
                             what);
}

// True when the event is set within the given time.
bool isSet(HANDLE event, DWORD milliseconds) {
    const DWORD result = WaitForSingleObject(event, milliseconds);
    if (result == WAIT_FAILED) throw systemError("WaitForSingleObject");
    return result == WAIT_OBJECT_0;
}

void request() {
    SetEvent(waitingEvent.load());
}

// Windows ends the process as soon as the handler of a console's close or the session's end
// returns, so it returns only with the process: the close runs on the message loop, and the end
// of main ends this thread too. Windows allows it some seconds.
[[noreturn]] void awaitTheEnd() {
    for (;;)
        Sleep(INFINITE);
}

BOOL WINAPI consoleControl(DWORD event) {
    request();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        awaitTheEnd();
    return TRUE;
}

LRESULT CALLBACK sessionWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        // The program never holds a session up; another program may still call the end off, so
        // nothing closes yet.
        return TRUE;
    case WM_ENDSESSION:
        if (wParam != FALSE) {
            request();
            awaitTheEnd();
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

struct WindowStart {
    HANDLE done;
    DWORD error;
};

DWORD WINAPI sessionThread(void* parameter) {
    auto* start = static_cast<WindowStart*>(parameter);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = sessionWindow;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VortalisSessionEnd";
    // A top-level window that is never shown: a message-only window would not hear of the end.
    const HWND window = RegisterClassW(&windowClass) == 0
                            ? nullptr
                            : CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0,
                                              nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        const DWORD error = GetLastError();
        start->error = error != 0 ? error : ERROR_GEN_FAILURE;
    }
    SetEvent(start->done);
    if (window == nullptr) return 1;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

// Starts the session window's thread and waits until its window exists.
void startSessionWindow() {
    WindowStart start{CreateEventW(nullptr, TRUE, FALSE, nullptr), 0};
    if (start.done == nullptr) throw systemError("CreateEventW");
    HANDLE thread = CreateThread(nullptr, 0, sessionThread, &start, 0, nullptr);
    if (thread == nullptr) {
        const std::system_error failure = systemError("CreateThread");
        CloseHandle(start.done);
        throw failure;
    }
    WaitForSingleObject(start.done, INFINITE);
    CloseHandle(start.done);
    // The thread lives as long as the process.
    CloseHandle(thread);
    if (start.error != 0)
        throw std::system_error(static_cast<int>(start.error), std::system_category(), "CreateWindowExW");
}
} // namespace

void holdTerminationRequests() {
    if (waitingEvent.load() != nullptr) return;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) throw systemError("CreateEventW");
    waitingEvent = event;
    if (!SetConsoleCtrlHandler(consoleControl, TRUE)) throw systemError("SetConsoleCtrlHandler");
    startSessionWindow();
}

TerminationHandle terminationHandle() {
    return waitingEvent.load();
}

bool takeTerminationRequest() {
    HANDLE event = waitingEvent.load();
    if (event == nullptr || !isSet(event, 0)) return false;
    ResetEvent(event);
    taken = true;
    return true;
}

bool terminationRequested() {
    if (taken) return true;
    HANDLE event = waitingEvent.load();
    return event != nullptr && isSet(event, 0);
}

bool waitForTermination(int milliseconds) {
    HANDLE event = waitingEvent.load();
    if (event == nullptr) {
        sleepMs(milliseconds);
        return taken;
    }
    return taken || isSet(event, static_cast<DWORD>(std::max(0, milliseconds)));
}

} // namespace platform
