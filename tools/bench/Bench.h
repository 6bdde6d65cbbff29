#pragma once
// What every part of the benchmark's driver shares: its settings, its failures and its
// progress lines.
#include <QString>
#include <cstdio>
#include <stdexcept>

namespace bench {

struct Settings {
    QString work;
    QString database;
    QString program;
    QString floor;
    QString rangeInsert;
    qint64 reads = 1000000;
    int closedReads = 2000;
    int loadSeconds = 60;
    int insertCards = 2000;
};

// Something could not be run, or a reply was wrong: the benchmark stops.
struct Failed : std::runtime_error {
    using std::runtime_error::runtime_error;
    explicit Failed(const QString& what) : std::runtime_error(what.toStdString()) {}
};

// A progress line on the error output, which scripts/bench shows while the table is made.
void say(const QString& text);

inline constexpr int kTurnstiles = 32;
inline constexpr int kLoads[] = {1, 8, 32};
// The floor's and the program's turns over one measurement, so that a change in the shared
// machine's load falls on both.
inline constexpr int kTurns = 4;

} // namespace bench
