#pragma once
// The model the decimal-number readers are checked against, written plainly: blanks, one
// optional sign, ASCII digits, blanks.
#include <QStringView>
#include <cstdint>
#include <optional>

namespace fuzz {

// The value of such a text (INT64_MAX for any beyond 40 bits, of either sign); nothing when the
// text is not of that shape. Blank says which characters may stand around the number.
template <typename Blank> std::optional<int64_t> decimalValue(QStringView text, Blank blank) {
    while (!text.isEmpty() && blank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+')) text = text.sliced(1);
    if (text.isEmpty()) return std::nullopt;
    int64_t value = 0;
    bool huge = false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        huge = huge || value > (int64_t{1} << 40);
        if (!huge) value = value * 10 + (c.unicode() - u'0');
    }
    if (huge) return INT64_MAX;
    return negative ? -value : value;
}

inline bool fitsInt32(std::optional<int64_t> value) {
    return value && *value >= INT32_MIN && *value <= INT32_MAX;
}

} // namespace fuzz
