#include "platform/convert.h"

#include "platform/failure.h"

namespace {
[[noreturn]] void notAnInteger(const QString& text) {
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
} // namespace

int32_t StrToInt(const QString& text) {
    QString digits = text;
    while (!digits.isEmpty() && digits.front().unicode() <= 32)
        digits.remove(0, 1);
    bool negative = digits.startsWith(u'-');
    if (negative || digits.startsWith(u'+')) digits.remove(0, 1);
    int base = 10;
    if (digits.startsWith(u'$')) {
        base = 16;
        digits.remove(0, 1);
    } else if (digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits.remove(0, 2);
    }
    bool ok = !digits.isEmpty() && digits.front().isLetterOrNumber();
    const qlonglong value = ok ? digits.toLongLong(&ok, base) : 0;
    const qlonglong signedValue = negative ? -value : value;
    if (!ok || signedValue < INT32_MIN || signedValue > INT32_MAX) notAnInteger(text);
    return static_cast<int32_t>(signedValue);
}

std::optional<int32_t> parseDecimal(QStringView text) {
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
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

int32_t StrToIntDec(const QString& text) {
    const std::optional<int32_t> value = parseDecimal(text);
    if (!value) notAnInteger(text);
    return *value;
}
