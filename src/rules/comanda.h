#pragma once
// Numbers as the access decision reads and writes them: a decimal floating-point reading under
// the regional settings, written back in general form with at most 15 significant digits.
#include <QString>
#include <optional>

namespace regras {

// The number a text holds, or nothing: optional sign, digits with the regional decimal
// separator, optional exponent; blanks around it allowed, group separators not.
std::optional<double> lerNumero(const QString& text);

// General form: no leading zeros, no exponent for whole numbers of up to 15 digits, otherwise
// a mantissa and "E" with the exponent; the regional decimal separator.
QString formatoGeral(double value);

// The comanda as the decision looks it up: a numeric read in general form, any other as read.
QString normalizarComanda(const QString& comanda);

} // namespace regras
