// The checks of a turnstile's address and port texts: decimal digits only, whatever else the
// text holds.
#include "check.h"
#include "decimal.h"
#include "platform/convert.h"
#include "platform/failure.h"
#include "turnstile/ipcheck.h"

namespace {
// Around a number.
bool blank(QChar c) {
    return c == u' ' || c == u'\t';
}
// Between the parts of an address.
bool separator(QChar c) {
    return c.unicode() <= 32;
}
bool digit(QChar c) {
    return c >= u'0' && c <= u'9';
}

void port(const QString& text) {
    const auto shape = fuzz::decimalValue(text, blank);
    const bool fits = fuzz::fitsInt32(shape);
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
        FUZZ_CHECK(digit(c) || separator(c) || c == u'.' || c == u'+' || c == u'-' || c == u'"');
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = fuzz::utf8(std::string(reinterpret_cast<const char*>(data), size));
    port(text);
    address(text);
    return 0;
}
