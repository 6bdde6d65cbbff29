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

int32_t StrToIntDec(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    const bool negative = begin < end && text[begin] == u'-';
    if (begin < end && (negative || text[begin] == u'+')) ++begin;
    if (begin == end) notAnInteger(text);
    int64_t value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') notAnInteger(text);
        value = value * 10 + (c - u'0');
        if (value > int64_t{INT32_MAX} + 1) notAnInteger(text);
    }
    if (negative) value = -value;
    if (value > INT32_MAX) notAnInteger(text);
    return static_cast<int32_t>(value);
}
