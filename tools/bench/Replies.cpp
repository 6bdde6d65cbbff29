#include "Replies.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace bench {

void Replies::take(const Card& card, qint64 us, bool right) {
    if (!right && wrong.isEmpty()) wrong = QStringLiteral("a wrong reply to chip %1").arg(card.chip);
    byPath[card.path].add(us);
    ++count;
}

Samples Replies::all() const {
    Samples samples;
    for (const Samples& s : byPath)
        samples.add(s);
    return samples;
}

void waitUntil(const Responder& responder, const Replies& replies, const std::function<bool()>& done,
               int timeoutMs) {
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(20);
    qint64 seen = replies.count;
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (replies.count != seen) {
            seen = replies.count;
            deadline.setRemainingTime(timeoutMs);
        }
        if (!replies.wrong.isEmpty()) throw Failed(replies.wrong);
        if (deadline.hasExpired())
            throw Failed(
                QStringLiteral("no reply for %1 s after %2 replies").arg(timeoutMs / 1000).arg(seen));
        responder.alive();
        loop.exec();
    }
}

} // namespace bench
