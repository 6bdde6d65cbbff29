#include "LoadRun.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>
#include <random>

namespace bench {

Arrivals drawArrivals(int turnstiles, qint64 ms, unsigned seed) {
    std::mt19937 random(seed);
    std::exponential_distribution<double> gap(1.0); // per second
    std::uniform_int_distribution<int> path(0, kPaths - 1);
    Arrivals arrivals(static_cast<size_t>(turnstiles));
    for (std::vector<Arrival>& own : arrivals)
        for (auto at = static_cast<qint64>(gap(random) * 1000.0); at < ms;
             at += static_cast<qint64>(gap(random) * 1000.0))
            own.push_back({at, static_cast<Path>(path(random))});
    return arrivals;
}

void loadRun(const Responder& responder, const std::vector<Turnstile*>& turnstiles, const Arrivals& arrivals,
             Chips& chips, Replies& replies) {
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QTimer>> timers;
    std::vector<size_t> nextArrival(arrivals.size(), 0);
    qint64 lastMs = 0;
    for (size_t i = 0; i < arrivals.size(); ++i) {
        Turnstile* t = turnstiles.at(i);
        const std::vector<Arrival>& own = arrivals[i];
        t->onReply([&](const Card& card, qint64 us, bool right) { replies.take(card, us, right); });
        if (own.empty()) continue;
        lastMs = std::max(lastMs, own.back().atMs);
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QTimer* raw = timer.get();
        QObject::connect(
            raw, &QTimer::timeout, raw, [&clock, &chips, t, raw, own = &own, next = &nextArrival[i]] {
                // A turnstile whose guest still waits does not read another card.
                if (!t->busy()) t->read(chips.next((*own)[*next].path));
                if (++*next < own->size())
                    raw->start(static_cast<int>(std::max<qint64>(0, (*own)[*next].atMs - clock.elapsed())));
            });
        raw->start(static_cast<int>(own.front().atMs));
        timers.push_back(std::move(timer));
    }
    waitUntil(
        responder, replies,
        [&] {
            for (size_t i = 0; i < arrivals.size(); ++i)
                if (nextArrival[i] < arrivals[i].size() || turnstiles[i]->busy()) return false;
            return true;
        },
        static_cast<int>(lastMs) + kReplyTimeoutMs);
}

} // namespace bench
