#include "database/Watchdog.h"

#include "platform/termination.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace db {

namespace {
using Clock = std::chrono::steady_clock;
// How often a running call is checked against a termination request.
constexpr auto kTick = std::chrono::milliseconds(100);

class Watchdog {
public:
    // Lives until the process ends: a call may still be watched while statics are destroyed.
    static Watchdog& instance() {
        static Watchdog* watchdog = new Watchdog;
        return *watchdog;
    }

    void watch(WatchedCall* call) {
        const std::lock_guard lock(mutex_);
        calls_.push_back(call);
        if (idle_) wake_.notify_one();
    }

    Cancellation unwatch(WatchedCall* call) {
        const std::lock_guard lock(mutex_);
        calls_.erase(std::find(calls_.begin(), calls_.end(), call));
        return call->cancellation;
    }

private:
    Watchdog() {
        std::thread([this] { run(); }).detach();
    }

    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            idle_ = calls_.empty();
            if (idle_) {
                wake_.wait(lock);
                continue;
            }
            Clock::time_point next = Clock::now() + kTick;
            for (const WatchedCall* call : calls_)
                if (call->cancellation == Cancellation::None) next = std::min(next, call->deadline);
            wake_.wait_until(lock, next);
            cancelDue();
        }
    }

    // Under the lock, so that a call cannot finish and its attachment go while it is cancelled.
    void cancelDue() {
        const Clock::time_point now = Clock::now();
        bool termination = false;
        bool terminationKnown = false;
        for (WatchedCall* call : calls_) {
            if (call->cancellation != Cancellation::None) continue;
            if (now >= call->deadline) {
                call->cancellation = Cancellation::Overrun;
            } else if (call->endsOnTermination) {
                if (!terminationKnown) {
                    termination = platform::terminationRequested();
                    terminationKnown = true;
                }
                if (termination) call->cancellation = Cancellation::Termination;
            }
            if (call->cancellation == Cancellation::None) continue;
            ISC_STATUS_ARRAY status;
            isc_db_handle attachment = call->attachment;
            fb_cancel_operation(status, &attachment, fb_cancel_abort);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<WatchedCall*> calls_;
    bool idle_ = false;
};
} // namespace

WatchedCall::WatchedCall(isc_db_handle attachment, int limitMs) : attachment(attachment) {
    // A call made once the program is closing is part of the close: it has the close's bound and
    // is not cancelled for the request that started the close.
    endsOnTermination = !platform::terminationRequested();
    if (!endsOnTermination) limitMs = std::min(limitMs, kClosingLimitMs);
    deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    Watchdog::instance().watch(this);
}

WatchedCall::~WatchedCall() {
    if (watched_) finish();
}

Cancellation WatchedCall::finish() {
    watched_ = false;
    return Watchdog::instance().unwatch(this);
}

} // namespace db
