#pragma once
// The statement texts of the card maintenance dialog. Values read from the database (card
// codes, chips) are written quoted, so that a chip group holds exactly the cards that share
// its text; card numbers that the dialog computes are written bare.
#include <QString>
#include <cstdint>

namespace cartoes {

QString sqlLerQtdDigitosChip();
QString sqlListarCartoes(bool todas);
QString sqlAtualizarChip(const QString& digitos, const QString& carCodigo);
QString sqlChipsDuplicados();
QString sqlCartoesDoChip(const QString& chip);
QString sqlDesativarCartao(const QString& carCodigo);
QString sqlGravarQtdDigitosChip(const QString& digitos);
QString sqlInserirCartao(long long numero, int32_t digito);
// The card filter of the open-sale count, for a card code.
QString sqlFiltroCodigoCartao();

} // namespace cartoes
