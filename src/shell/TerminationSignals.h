#pragma once
// A logout, a service stop or Ctrl-C arrives as SIGTERM, SIGHUP or SIGINT. The database client
// library installs handlers of its own for these and shuts every attachment down when one
// arrives, before our close could run. So no handler ever runs: the signals stay blocked in
// every thread and the message loop reads them from a signalfd, as it reads a click.
#include <QObject>
#include <functional>

// Blocks the termination signals in the calling thread and in every thread it starts later.
// Call it first thing in main, before any thread or database attachment exists.
void blockTerminationSignals();

// Runs the action on the message loop, once per signal that arrives.
void onTerminationSignal(QObject* context, std::function<void()> action);

// Runs the action at once for a signal that has arrived and waits to be read; true when it did.
bool handlePendingTerminationSignal();
