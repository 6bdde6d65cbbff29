#pragma once
// Numbers that the operator types into the card dialog.
#include <QStringView>
#include <cstdint>
#include <optional>

// A decimal 32-bit signed integer: ASCII digits with one optional sign, blanks (space, tab)
// allowed around it. Nothing else reads as a number: no hex prefix ("$10", "0x10"), no
// exponent ("1e3"), no digits of other scripts. Empty when the text is not such a number.
std::optional<int32_t> parseDecimal(QStringView text);
