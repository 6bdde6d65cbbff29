#pragma once
// Bounds every call into the database client on an open attachment. The client has no statement
// timeout, and a server that stops answering (paused, overloaded, its host gone) would hold the
// calling thread for as long as it stays silent. A thread of our own watches each call and
// cancels one that overruns its time, or that a termination request finds running, with
// fb_cancel_operation(fb_cancel_abort), the client's way to interrupt a call from another thread:
// it closes the client side of the link, and the blocked call fails with a network error.
#include <chrono>
#include <ibase.h>

namespace db {

enum class Cancellation { None, Overrun, Termination };

// Calls made while the program is closing get at most this long, so that a silent server
// cannot keep the process.
inline constexpr int kClosingLimitMs = 2000;

// Watches one call from construction to finish().
class WatchedCall {
public:
    WatchedCall(isc_db_handle attachment, int limitMs);
    ~WatchedCall();
    WatchedCall(const WatchedCall&) = delete;
    WatchedCall& operator=(const WatchedCall&) = delete;

    // Ends the watch; says whether the call was cancelled, and why.
    Cancellation finish();

    // How long the call may take.
    int limitMs;
    // What the watchdog reads and writes, under its lock.
    isc_db_handle attachment;
    std::chrono::steady_clock::time_point deadline;
    bool endsOnTermination;
    Cancellation cancellation = Cancellation::None;

private:
    bool watched_ = true;
};

} // namespace db
