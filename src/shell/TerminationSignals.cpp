#include "shell/TerminationSignals.h"

#include "platform/guard.h"

#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int pipeEnds[2] = {-1, -1};

void signalled(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(pipeEnds[0], &byte, 1);
}
} // namespace

void onTerminationSignal(QObject* context, std::function<void()> action) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipeEnds) != 0) return;
    auto* notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [action] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(pipeEnds[1], &byte, 1);
        guarded(action);
    });
    struct sigaction sa {};
    sa.sa_handler = signalled;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
}
