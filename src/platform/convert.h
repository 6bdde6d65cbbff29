#pragma once
// Text to whole number as the program's settings and tables need it: leading blanks allowed,
// decimal or hexadecimal ("$1F", "0x1F"); anything else raises EConvertError with the message
// "'<text>' is not a valid integer value".
#include <QString>
#include <cstdint>

int32_t StrToInt(const QString& text);

// A whole number written in decimal digits only, as a setting that holds an address part or a
// port must be: blanks around it and one sign allowed; a hexadecimal form, an exponent or any
// other character raises EConvertError as StrToInt does.
int32_t StrToIntDec(const QString& text);
