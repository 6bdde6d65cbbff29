#pragma once
// What one sitting measured, and the table that shows it against the floor, with the goals met
// or not.
#include "Bench.h"
#include "Replies.h"
#include "Samples.h"

#include <iterator>

namespace bench {

// One kind of measurement for the floor and the program: the floor's reply times and its time
// in the database client, and the program's reply times.
struct Measured {
    Samples database[kPaths];
    Replies floor;
    Replies program;
};

struct Results {
    Measured closed[kPaths]; // one turnstile in a closed loop, a path each
    Measured load[std::size(kLoads)];
    double cpuMsPerRead[kPaths] = {};
    double floorCpuMsPerRead[kPaths] = {};
    double floorInsertUs = 0;
    double programInsertUs = 0;
    qint64 shownMs = 0;
    qint64 rssStartKb = 0, rssHalfKb = 0, rssEndKb = 0;
    qint64 reads = 0;
    int resent = 0, strays = 0;
};

void printTable(Results& r);

} // namespace bench
