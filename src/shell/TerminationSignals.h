#pragma once
// A logout, a service stop or Ctrl-C arrives as SIGTERM, SIGHUP or SIGINT. The signal handler
// only writes to a pipe; the message loop reads it and runs the action, as a click would.
#include <QObject>
#include <functional>

void onTerminationSignal(QObject* context, std::function<void()> action);
