#pragma once
// A logout, a service stop or Ctrl-C is a termination request (see platform/termination.h): it
// waits until the message loop reads it, as it reads a click, and then closes the program.
#include <QObject>
#include <functional>

// Runs the action on the message loop, once per request that arrives.
void onTerminationSignal(QObject* context, std::function<void()> action);

// Runs the action at once for a request that has arrived and waits to be read; true when it did.
bool handlePendingTerminationSignal();
