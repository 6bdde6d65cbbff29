#pragma once
// The statement texts of the comanda access decision, built exactly as the point-of-sale suite
// expects them: fixed pieces and values, blanks included.
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace regras {

QString sqlIntervaloCaixaAberto();
QString sqlExisteComanda(const QString& comanda);
// The open-sale count of the open-day range, for the card whose column named in filtroCartao
// (" AND C.CAR_CHIP = " or the card code filter of the card dialog) holds the value.
QString sqlContagemVendasAbertas(const QDateTime& menor, const QDateTime& maior, const QString& filtroCartao,
                                 const QString& valor);
QString sqlFiltroChip();
QString sqlSubtotalItensAbertos(const QDateTime& menor, const QDateTime& maior, const QString& comanda);
QString sqlVendaAberta(const QDateTime& menor, const QDateTime& maior, const QString& comanda);
QString sqlAlterarSituacaoVenda(const QString& situacao, int32_t loja, const QDateTime& caiData,
                                int32_t venControle);

} // namespace regras
