#pragma once
// The check digit that ends the code of a card: over the first n = length - pi_sub characters,
// three times the odd positions plus the even ones; the digit tops the sum up to a multiple of
// ten. A character that is not a digit raises EConvertError.
#include <QString>
#include <cstdint>

int32_t DigitoVerificador(const QString& ps_comanda, int32_t pi_sub);

// True when the last character of the code is the check digit of the rest.
bool CodigoComDigitoCorreto(const QString& ps_comanda);
