#include "Turnstile.h"

#include "turnstile/codec.h"

namespace bench {

Turnstile::Turnstile() {
    connect(&gate_, &sim::Gate::replied, this, [this](const QString&, const QString& reply, qint64 us) {
        const QString& expected = card_.path == kRefuse ? kRespostaNegado : kRespostaLiberado;
        if (replied_) replied_(card_, us, reply == expected);
    });
    connect(&gate_, &sim::Gate::stray, this, [this] { ++strays_; });
    connect(&gate_, &sim::Gate::resent, this, [this] { ++resent_; });
}

void Turnstile::read(const Card& card) {
    card_ = card;
    gate_.read(card.chip);
}

} // namespace bench
