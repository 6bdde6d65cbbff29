#include "rules/AccessStatements.h"

#include "database/sqltext.h"
#include "database/tables.h"

namespace regras {

namespace {
// The open-day range test: the lower bound, AND, the given blanks, the upper bound.
QString intervalo(const QDateTime& menor, const QDateTime& maior, const QString& espacos) {
    return sql::date(menor) + QStringLiteral(" AND ") + espacos + sql::date(maior);
}
const QString kSeisEspacos = QStringLiteral("      ");
const QString kSeteEspacos = QStringLiteral("       ");
} // namespace

QString sqlIntervaloCaixaAberto() {
    return QStringLiteral(
               " SELECT   CAI_DATA  FROM    CAIXASITUACAO  WHERE    LOJ_CODIGO = 1 AND    CAI_ABERTO = ") +
           sql::quoted(shop::kCaixaAberto) + QStringLiteral(" ") + QStringLiteral("ORDER BY ") +
           QStringLiteral("   CAI_DATA");
}

QString sqlExisteComanda(const QString& comanda) {
    return QStringLiteral(" SELECT CAR_CODIGO FROM CADCARTAO C   WHERE C.CAR_CHIP = ") +
           sql::quoted(comanda) + QStringLiteral("     AND C.LOJ_CODIGO = 1 ");
}

QString sqlFiltroChip() {
    return QStringLiteral("   AND C.CAR_CHIP = ");
}

QString sqlContagemVendasAbertas(const QDateTime& menor, const QDateTime& maior, const QString& filtroCartao,
                                 const QString& valor) {
    return QStringLiteral(
               " SELECT COUNT(VC.VCA_CONTROLE) AS QTDE  FROM VENDACARTAO VC  INNER JOIN VENDA V ON     "
               "(V.CAI_DATA = VC.CAI_DATA) AND     (V.VEN_CONTROLE = VC.VEN_CONTROLE) AND     (V.LOJ_CODIGO "
               "= VC.LOJ_CODIGO)  INNER JOIN CADCARTAO C ON     (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND     "
               "(C.CAR_CODIGO = VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN ") +
           intervalo(menor, maior, kSeteEspacos) + filtroCartao + sql::quoted(valor) +
           QStringLiteral("   AND V.LOJ_CODIGO = 1 ") + QStringLiteral("   AND V.VEN_SITUACAO = 'A' ");
}

QString sqlSubtotalItensAbertos(const QDateTime& menor, const QDateTime& maior, const QString& comanda) {
    return QStringLiteral(
               " SELECT SUM(VIT.VIT_SUBTOTAL) AS SUBTOTAL  FROM VENDACARTAO VC  INNER JOIN VENDA VEN ON    "
               "(VEN.CAI_DATA = VC.CAI_DATA) AND    (VEN.VEN_CONTROLE = VC.VEN_CONTROLE) AND    "
               "(VEN.LOJ_CODIGO = VC.LOJ_CODIGO)  INNER JOIN VENDAITEM VIT ON    (VIT.CAI_DATA = "
               "VC.CAI_DATA) AND    (VIT.VEN_CONTROLE = VC.VEN_CONTROLE) AND    (VIT.LOJ_CODIGO = "
               "VC.LOJ_CODIGO)  INNER JOIN CADCARTAO C ON    (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND    "
               "(C.CAR_CODIGO = VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN ") +
           intervalo(menor, maior, kSeisEspacos) + QStringLiteral("   AND C.CAR_CHIP = ") +
           sql::quoted(comanda) + QStringLiteral("   AND COALESCE(VIT.VIT_CANCELADO,'N') = 'N' ") +
           QStringLiteral("   AND VEN.LOJ_CODIGO = 1 ") + QStringLiteral("   AND VEN.VEN_SITUACAO = 'A' ");
}

QString sqlVendaAberta(const QDateTime& menor, const QDateTime& maior, const QString& comanda) {
    return QStringLiteral("  SELECT VEN.VEN_CONTROLE,          VEN.CAI_DATA,         VEN.LOJ_CODIGO FROM "
                          "VENDACARTAO VC  INNER JOIN VENDA VEN ON    (VEN.CAI_DATA = VC.CAI_DATA) AND    "
                          "(VEN.VEN_CONTROLE = VC.VEN_CONTROLE)  AND    (VEN.LOJ_CODIGO = VC.LOJ_CODIGO)  "
                          "INNER JOIN CADCARTAO C ON    (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND    (C.CAR_CODIGO "
                          "= VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN ") +
           intervalo(menor, maior, kSeisEspacos) + QStringLiteral("   AND C.CAR_CHIP = ") +
           sql::quoted(comanda) + QStringLiteral("   AND VC.LOJ_CODIGO = 1 ") +
           QStringLiteral("   AND VEN.VEN_SITUACAO = 'A' ");
}

QString sqlAlterarSituacaoVenda(const QString& situacao, int32_t loja, const QDateTime& caiData,
                                int32_t venControle) {
    return QStringLiteral("UPDATE    VENDA SET    VEN_SITUACAO = ") + sql::quoted(situacao) +
           QStringLiteral(" ") + QStringLiteral("WHERE ") + QStringLiteral("   LOJ_CODIGO   = ") +
           sql::number(loja) + QStringLiteral(" AND ") + QStringLiteral("   CAI_DATA     = ") +
           sql::date(caiData) + QStringLiteral(" AND ") + QStringLiteral("   VEN_CONTROLE = ") +
           sql::number(venControle);
}

} // namespace regras
