// The reading of the numbers the operator types into the card dialog: a decimal 32-bit number
// with blanks around it, and nothing else, reads as its value.
#include "check.h"
#include "decimal.h"
#include "platform/convert.h"

namespace {
bool blank(QChar c) {
    return c == u' ' || c == u'\t';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // UTF-16 as it comes, so lone surrogates and every other code unit can occur.
    const QStringView text(reinterpret_cast<const char16_t*>(data), static_cast<qsizetype>(size / 2));
    const auto model = fuzz::decimalValue(text, blank);
    const auto value = parseDecimal(text);
    FUZZ_CHECK(value.has_value() == fuzz::fitsInt32(model));
    if (!value) return 0;
    FUZZ_CHECK(*value == *model);
    FUZZ_CHECK(parseDecimal(QString::number(*value)) == value);
    return 0;
}
