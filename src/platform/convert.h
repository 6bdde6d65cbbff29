#pragma once
// Text to whole number as the program's settings and tables need it: leading blanks allowed,
// decimal or hexadecimal ("$1F", "0x1F"); anything else raises EConvertError with the message
// "'<text>' is not a valid integer value".
#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

int32_t StrToInt(const QString& text);

// A 32-bit whole number written in decimal: ASCII digits with one optional sign, blanks (space,
// tab) allowed around it. Nothing else reads as a number: no hexadecimal form ("$10", "0x10"),
// no exponent ("1e3"), no digits of other scripts. Empty when the text is not such a number.
// For what the operator types and what the turnstile table holds.
std::optional<int32_t> parseDecimal(QStringView text);

// The same, raising EConvertError as StrToInt does when the text is not such a number.
int32_t StrToIntDec(const QString& text);
