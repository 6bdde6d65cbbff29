#include "Venue.h"

namespace soak {

namespace {
struct Range {
    long first;
    long last;
    Outcome expected;
};
// No sale; an open sale with something to pay; an open sale whose items add up to nothing (the
// first read closes it); only closed sales or sales on closed days; chips no card carries.
constexpr Range kRanges[] = {{1000001, 1060000, Outcome::Liberado},
                             {1060001, 1080000, Outcome::Negado},
                             {1080001, 1090000, Outcome::Liberado},
                             {1090001, 1100000, Outcome::Liberado},
                             {9000001, 9099999, Outcome::SemCadastro}};
} // namespace

QString replyText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Liberado:
        return QStringLiteral("01+REON+00+6]20]Acesso liberado]");
    case Outcome::Negado:
        return QStringLiteral("01+REON+00+30]20]Acesso Negado]");
    case Outcome::SemCadastro:
        break;
    }
    return QStringLiteral("01+REON+00+30]20]Comanda Sem Cadastro]");
}

Outcome outcomeOf(const QString& chip) {
    const long number = chip.toLong();
    for (const Range& r : kRanges)
        if (number >= r.first && number <= r.last) return r.expected;
    return Outcome::SemCadastro;
}

Card Venue::ofKind(int kind) {
    const Range& r = kRanges[kind];
    std::uniform_int_distribution<long> pick(r.first, r.last);
    const QString chip = QString::number(pick(random_));
    return {chip, outcomeOf(chip)};
}

Card Venue::anyCard() {
    std::uniform_int_distribution<int> kind(0, std::size(kRanges) - 1);
    return ofKind(kind(random_));
}

Card Venue::cardUnlike(Outcome other) {
    for (;;) {
        Card card = anyCard();
        if (card.expected != other) return card;
    }
}

} // namespace soak
