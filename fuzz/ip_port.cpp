// The checks of a turnstile's address and port texts: decimal digits only, whatever else the
// text holds.
#include "check.h"
#include "platform/convert.h"
#include "platform/failure.h"
#include "turnstile/ipcheck.h"

namespace {
bool blank(QChar c) {
    return c.unicode() <= 32;
}
bool digit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The value of a text of blanks, an optional sign, ASCII digits and blanks (INT64_MAX for any
// beyond 40 bits); nothing when the text is not of that shape.
std::optional<int64_t> decimalShape(const QString& text) {
    qsizetype i = 0, end = text.size();
    while (i < end && blank(text[i]))
        ++i;
    while (end > i && blank(text[end - 1]))
        --end;
    const bool negative = i < end && text[i] == u'-';
    if (i < end && (negative || text[i] == u'+')) ++i;
    if (i == end) return std::nullopt;
    int64_t value = 0;
    for (; i < end; ++i) {
        if (!digit(text[i])) return std::nullopt;
        if (value > (int64_t{1} << 40)) return INT64_MAX;
        value = value * 10 + (text[i].unicode() - u'0');
    }
    return negative ? -value : value;
}

void port(const QString& text) {
    const auto shape = decimalShape(text);
    const bool fits = shape && *shape >= INT32_MIN && *shape <= INT32_MAX;
    try {
        const int32_t value = StrToIntDec(text);
        FUZZ_CHECK(shape.has_value());
        FUZZ_CHECK(value == *shape);
        FUZZ_CHECK(StrToIntDec(QString::number(value)) == value);
    } catch (const EConvertError&) {
        // Every decimal text of a 32-bit value is taken.
        FUZZ_CHECK(!fits);
    }
}

// An accepted address holds, up to a NUL that ends the text, nothing but decimal digits, dots,
// signs, quotes and blanks.
void address(const QString& text) {
    if (!fncIsIP(text)) return;
    for (QChar c : text) {
        if (c.unicode() == 0) break;
        FUZZ_CHECK(digit(c) || blank(c) || c == u'.' || c == u'+' || c == u'-' || c == u'"');
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzz::utf8(std::string(reinterpret_cast<const char*>(data), size));
    port(text);
    address(text);
    return 0;
}
