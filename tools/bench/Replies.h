#pragma once
// The replies of one measurement, by path, and the wait for them: a wrong reply, a silent
// turnstile or a responder that has ended stops the benchmark.
#include "Processes.h"
#include "Samples.h"
#include "Turnstile.h"

#include <functional>

namespace bench {

struct Replies {
    Samples byPath[kPaths];
    qint64 count = 0;
    QString wrong; // the first wrong reply, reported once the event loop has returned
    void take(const Card& card, qint64 us, bool right);
    Samples all() const;
};

inline constexpr int kReplyTimeoutMs = 30000;

// Runs the event loop until done; fails when the replies stop coming for the timeout.
void waitUntil(const Responder& responder, const Replies& replies, const std::function<bool()>& done,
               int timeoutMs = kReplyTimeoutMs);

} // namespace bench
