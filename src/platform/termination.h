#pragma once
// Termination requests: a logout, a shutdown, a service stop, Ctrl-C, or closing the console the
// program was started from. They never act on their own: they wait until the program reads them,
// so the database client library never shuts our attachment down before our close has run. Any
// thread may ask whether one has arrived, and a wait can end on one. Plain C++ with no Qt, one
// implementation per platform behind this header (termination_posix.cpp, termination_win.cpp).
namespace platform {

// What the message loop watches for a request: on POSIX a signalfd, readable while one waits; on
// Windows an event object, set while one waits.
#ifdef _WIN32
using TerminationHandle = void*;
inline constexpr TerminationHandle kNoTerminationHandle = nullptr;
#else
using TerminationHandle = int;
inline constexpr TerminationHandle kNoTerminationHandle = -1;
#endif

// Holds the requests from now on, in the calling thread and every thread it starts later. Call
// it first thing in main, before any thread or database attachment exists. Raises
// std::system_error when the system refuses.
void holdTerminationRequests();

// The handle to watch; kNoTerminationHandle while requests are not held.
TerminationHandle terminationHandle();

// Takes one waiting request; true when there was one. From then on the program is closing.
bool takeTerminationRequest();

// True once a request has arrived, whether taken or still waiting. Safe from any thread.
bool terminationRequested();

// Waits up to the given time and ends early on a termination request, on nothing else; true
// when one has arrived. Without held requests it is a plain sleep.
bool waitForTermination(int milliseconds);

} // namespace platform
