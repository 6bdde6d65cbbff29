#include "shell/TerminationSignals.h"

#include "platform/guard.h"
#include "platform/termination.h"

#ifdef _WIN32
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

namespace {
std::function<void()> receiver;

void readRequests() {
    while (handlePendingTerminationSignal()) {
    }
}

// Watches the handle from the message loop: an event object on Windows, a descriptor elsewhere.
QObject* watch(platform::TerminationHandle handle, QObject* context) {
#ifdef _WIN32
    auto* notifier = new QWinEventNotifier(handle, context);
    QObject::connect(notifier, &QWinEventNotifier::activated, context, readRequests);
#else
    auto* notifier = new QSocketNotifier(handle, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, readRequests);
#endif
    return notifier;
}
} // namespace

void onTerminationSignal(QObject* context, std::function<void()> action) {
    receiver = std::move(action);
    const platform::TerminationHandle handle = platform::terminationHandle();
    if (handle == platform::kNoTerminationHandle) return;
    QObject::connect(watch(handle, context), &QObject::destroyed, [] { receiver = {}; });
}

bool handlePendingTerminationSignal() {
    if (!receiver || !platform::takeTerminationRequest()) return false;
    guarded(receiver);
    return true;
}
