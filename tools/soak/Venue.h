#pragma once
// The soak's shop: which chips the database holds and what a read of each must be answered.
// The ranges match the data that scripts/soak loads.
#include <QString>
#include <random>

namespace soak {

enum class Outcome { Liberado, Negado, SemCadastro };

QString replyText(Outcome outcome);
// What the shop implies for a read of the chip.
Outcome outcomeOf(const QString& chip);

struct Card {
    QString chip;
    Outcome expected;
};

class Venue {
public:
    explicit Venue(unsigned seed) : random_(seed) {}
    // A card of a random kind: no sale, a sale to pay, a sale paid to nothing, closed sales only,
    // or no card at all.
    Card anyCard();
    // A card whose answer differs from `other`'s, so that an answer meant for one is never
    // taken for the other's.
    Card cardUnlike(Outcome other);

private:
    Card ofKind(int kind);
    std::mt19937 random_;
};

} // namespace soak
