#include "platform/convert.h"

#include "platform/failure.h"

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
    if (!ok || signedValue < INT32_MIN || signedValue > INT32_MAX)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return static_cast<int32_t>(signedValue);
}
