#pragma once
// Text to whole number as the program's settings and tables need it: leading blanks allowed,
// decimal or hexadecimal ("$1F", "0x1F"); anything else raises EConvertError with the message
// "'<text>' is not a valid integer value".
#include <QString>
#include <cstdint>

int32_t StrToInt(const QString& text);
