#pragma once
// A simulated turnstile of the benchmark, for the program and for the floor alike: one read
// outstanding at a time, timed at the controller from the moment the read frame is sent to the
// moment the whole reply frame is in. A read lost with a dropped connection (the program drops
// and rebuilds its connections every 30 seconds) is sent again on the new one, as a controller
// does, and its time runs on from the first sending: that is how long the guest waited.
#include "Gate.h"
#include "SimulatedController.h"

#include <QObject>
#include <functional>

namespace bench {

enum Path { kShort, kRefuse, kClose, kPaths };
inline constexpr const char* kPathNames[] = {"short", "refuse", "close"};

struct Card {
    QString chip;
    Path path = kShort;
};

class Turnstile : public QObject {
    Q_OBJECT
public:
    // Called with the card, the reply time in microseconds and whether the reply is the one the
    // card's path must get.
    using Replied = std::function<void(const Card&, qint64, bool)>;

    Turnstile();
    bool listen() { return sim_.listen(); }
    quint16 port() const { return sim_.port(); }
    bool isConnected() const { return sim_.isConnected(); }
    bool busy() const { return gate_.waiting(); }
    const Card& card() const { return card_; }
    // Replies that came with no read waiting for them.
    int strays() const { return strays_; }
    int resent() const { return resent_; }
    void onReply(Replied replied) { replied_ = std::move(replied); }
    void read(const Card& card);

private:
    sim::SimulatedController sim_;
    sim::Gate gate_{sim_};
    Card card_;
    int strays_ = 0;
    int resent_ = 0;
    Replied replied_;
};

} // namespace bench
