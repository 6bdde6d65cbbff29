#include "ClosedLoop.h"

namespace bench {

void closedLoop(const Responder& responder, const std::vector<Turnstile*>& turnstiles, qint64 count,
                const std::function<Card()>& next, Replies& replies, const std::function<void()>& each) {
    qint64 sent = 0;
    const qint64 before = replies.count;
    for (Turnstile* t : turnstiles) {
        t->onReply([&, t](const Card& card, qint64 us, bool right) {
            replies.take(card, us, right);
            if (each) each();
            if (sent < count) {
                ++sent;
                t->read(next());
            }
        });
    }
    for (Turnstile* t : turnstiles)
        if (sent < count) {
            ++sent;
            t->read(next());
        }
    try {
        waitUntil(responder, replies, [&] { return replies.count - before >= count; });
    } catch (const Failed&) {
        for (Turnstile* t : turnstiles)
            say(QStringLiteral("turnstile on port %1: %2, %3 stray replies")
                    .arg(t->port())
                    .arg(t->busy() ? QStringLiteral("waits for chip ") + t->card().chip
                                   : QStringLiteral("idle"))
                    .arg(t->strays()));
        throw;
    }
}

} // namespace bench
