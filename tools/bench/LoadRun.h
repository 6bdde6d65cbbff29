#pragma once
// Turnstiles reading at random moments, about once a second each (exponential gaps), cards of
// random paths. The moments and paths are drawn before the run, so that the floor and the
// program meet the very same arrivals.
#include "Chips.h"
#include "Replies.h"

#include <vector>

namespace bench {

struct Arrival {
    qint64 atMs; // from the start of the run
    Path path;
};
// The arrivals of each turnstile, in order.
using Arrivals = std::vector<std::vector<Arrival>>;

Arrivals drawArrivals(int turnstiles, qint64 ms, unsigned seed);

// Runs the arrivals on the first turnstiles, one each; a turnstile whose guest still waits lets
// an arrival go by. Ends once the last reply is in.
void loadRun(const Responder& responder, const std::vector<Turnstile*>& turnstiles, const Arrivals& arrivals,
             Chips& chips, Replies& replies);

} // namespace bench
