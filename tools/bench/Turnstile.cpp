#include "Turnstile.h"

#include "turnstile/codec.h"

namespace bench {

Turnstile::Turnstile() {
    connect(&sim_, &sim::SimulatedController::replyReceived, this, [this](const QString& reply) {
        if (!busy_) {
            ++strays_;
            return;
        }
        busy_ = false;
        const qint64 us = clock_.nsecsElapsed() / 1000;
        const QString& expected = card_.path == kRefuse ? kRespostaNegado : kRespostaLiberado;
        if (replied_) replied_(card_, us, reply == expected);
    });
    connect(&sim_, &sim::SimulatedController::connectionAccepted, this, &Turnstile::resendWhenAlone);
    connect(&sim_, &sim::SimulatedController::connectionClosed, this, &Turnstile::resendWhenAlone);
}

void Turnstile::resendWhenAlone() {
    // Only once the older connections have ended, so that no read is answered twice.
    if (!busy_ || !sim_.isConnected() || sim_.openConnections() != 1) return;
    if (sentOnConnection_ == sim_.connectionsAccepted()) return;
    sentOnConnection_ = sim_.connectionsAccepted();
    ++resent_;
    sim_.sendRead(card_.chip);
}

void Turnstile::read(const Card& card) {
    card_ = card;
    busy_ = true;
    clock_.start();
    // Between a drop and the new connection the read waits for the new one.
    sentOnConnection_ = sim_.isConnected() ? sim_.connectionsAccepted() : -1;
    sim_.sendRead(card.chip);
}

} // namespace bench
