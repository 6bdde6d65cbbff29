#pragma once
// What every part of the soak shares: its running commentary and its way of letting time pass
// while the simulated turnstiles keep being served.
#include <QString>

namespace soak {

// Prints a line of the run, stamped with the time of day.
void say(const QString& text);
// Runs the event loop for a while.
void runEvents(int ms);

} // namespace soak
