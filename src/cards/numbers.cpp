#include "cards/numbers.h"

namespace {
bool blank(QChar c) {
    return c == u' ' || c == u'\t';
}
} // namespace

std::optional<int32_t> parseDecimal(QStringView text) {
    while (!text.isEmpty() && blank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && blank(text.back()))
        text.chop(1);
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+')) text = text.sliced(1);
    if (text.isEmpty()) return std::nullopt;
    // One past the largest magnitude, that of INT32_MIN; stops the sum long before it overflows.
    constexpr int64_t kLimite = int64_t{INT32_MAX} + 1;
    int64_t value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > kLimite) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(value);
}
