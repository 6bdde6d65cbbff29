#include "shell/TerminationSignals.h"

#include "platform/guard.h"
#include "platform/termination.h"

#include <QSocketNotifier>

namespace {
std::function<void()> receiver;
} // namespace

void onTerminationSignal(QObject* context, std::function<void()> action) {
    receiver = std::move(action);
    const int handle = platform::terminationHandle();
    if (handle < 0) return;
    auto* notifier = new QSocketNotifier(handle, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QObject::destroyed, [] { receiver = {}; });
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        while (handlePendingTerminationSignal()) {
        }
    });
}

bool handlePendingTerminationSignal() {
    if (!receiver || !platform::takeTerminationRequest()) return false;
    guarded(receiver);
    return true;
}
