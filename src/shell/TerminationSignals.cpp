#include "shell/TerminationSignals.h"

#include "platform/guard.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {
sigset_t terminationSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&set, sig);
    return set;
}

struct Receiver {
    int fd = -1;
    std::function<void()> action;
};
Receiver receiver;
} // namespace

void blockTerminationSignals() {
    const sigset_t set = terminationSignals();
    if (int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0)
        throw Failure(QStringLiteral("Não foi possível bloquear os sinais de término: ") +
                      QString::fromLocal8Bit(std::strerror(error)));
}

void onTerminationSignal(QObject* context, std::function<void()> action) {
    const sigset_t set = terminationSignals();
    const int fd = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd < 0)
        throw Failure(QStringLiteral("Não foi possível receber os sinais de término: ") +
                      QString::fromLocal8Bit(std::strerror(errno)));
    receiver = {fd, std::move(action)};
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context);
    QObject::connect(notifier, &QObject::destroyed, [fd] {
        ::close(fd);
        receiver = {};
    });
    QObject::connect(notifier, &QSocketNotifier::activated, context, [] {
        while (handlePendingTerminationSignal()) {
        }
    });
}

bool handlePendingTerminationSignal() {
    if (receiver.fd < 0) return false;
    signalfd_siginfo info;
    if (::read(receiver.fd, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return false;
    guarded(receiver.action);
    return true;
}
