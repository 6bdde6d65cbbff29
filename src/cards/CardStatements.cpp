#include "cards/CardStatements.h"

#include "database/sqltext.h"
#include "database/tables.h"

namespace cartoes {

QString sqlLerQtdDigitosChip() {
    return QStringLiteral("select CFG_VALOR FROM CONFIGGERAL WHERE CFG_HABILITACAO = ") +
           sql::quoted(shop::kCfgQtdChipCartao);
}

QString sqlListarCartoes(bool todas) {
    return QStringLiteral("SELECT * FROM CADCARTAO C ") +
           (todas ? QString() : QStringLiteral(" WHERE c.car_chip is null"));
}

QString sqlAtualizarChip(const QString& digitos, const QString& carCodigo) {
    return QStringLiteral(" UPDATE CADCARTAO c SET C.car_chip = SUBSTRING(CAR_CODIGO FROM 1 FOR ") + digitos +
           QStringLiteral(") ") + QStringLiteral("  WHERE CAR_CODIGO = ") + sql::quoted(carCodigo);
}

QString sqlChipsDuplicados() {
    return QStringLiteral("SELECT CAR_CHIP FROM  cadcartao C  WHERE C.car_situacao = ") +
           sql::quoted(shop::kCartaoEmUso) + QStringLiteral(" GROUP BY CAR_CHIP ") +
           QStringLiteral("HAVING  COUNT(CAR_CHIP) > 1 ");
}

QString sqlCartoesDoChip(const QString& chip) {
    return QStringLiteral("SELECT * FROM CADCARTAO  WHERE CAR_cHIP = ") + sql::quoted(chip) +
           QStringLiteral(" AND car_situacao = ") + sql::quoted(shop::kCartaoEmUso);
}

QString sqlDesativarCartao(const QString& carCodigo) {
    return QStringLiteral(" UPDATE CADCARTAO c SET CAR_SITUACAO = ") + sql::quoted(shop::kCartaoInativo) +
           QStringLiteral(",  CAR_MOTIVOINATIVACAO = ") + sql::quoted(shop::kMotivoDuplicidade) +
           QStringLiteral("  WHERE CAR_CODIGO = ") + sql::quoted(carCodigo);
}

QString sqlGravarQtdDigitosChip(const QString& digitos) {
    return QStringLiteral(" UPDATE CONFIGGERAL SET CFG_VALOR =  ") + sql::quoted(digitos) +
           QStringLiteral("WHERE CFG_HABILITACAO = ") + sql::quoted(shop::kCfgQtdChipCartao);
}

QString sqlInserirCartao(long long numero, int32_t digito) {
    const QString k = QString::number(numero);
    return QStringLiteral(" INSERT INTO CADCARTAO (LOJ_CODIGO, CAR_CODIGO, CAR_SITUACAO, CAR_DTINATIVACAO, "
                          "CAR_MOTIVOINATIVACAO, CAR_CHIP)  VALUES (1, ") +
           k + QString::number(digito) + QStringLiteral(", 'N', NULL, NULL, '") + k + QStringLiteral("');");
}

QString sqlFiltroCodigoCartao() {
    return QStringLiteral("   AND C.CAR_Codigo = ");
}

} // namespace cartoes
