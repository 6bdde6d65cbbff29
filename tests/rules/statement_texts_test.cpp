// Statement texts as the suite expects them, blanks included.
#include "QtPrinters.h"
#include "cards/CardStatements.h"
#include "rules/AccessStatements.h"

#include <gtest/gtest.h>

namespace {
const QDateTime kMenor(QDate(2021, 5, 3), QTime(0, 0));
const QDateTime kMaior(QDate(2021, 5, 4), QTime(0, 0));
} // namespace

TEST(StatementTexts, AccessDecision) {
    EXPECT_EQ(regras::sqlIntervaloCaixaAberto(),
              QStringLiteral(" SELECT   CAI_DATA  FROM    CAIXASITUACAO  WHERE    LOJ_CODIGO = 1 AND    "
                             "CAI_ABERTO = 'S' ORDER BY    CAI_DATA"));
    EXPECT_EQ(
        regras::sqlSubtotalItensAbertos(kMenor, kMaior, QStringLiteral("12'3")),
        QStringLiteral(" SELECT SUM(VIT.VIT_SUBTOTAL) AS SUBTOTAL  FROM VENDACARTAO VC  INNER JOIN VENDA VEN "
                       "ON    (VEN.CAI_DATA = VC.CAI_DATA) AND    (VEN.VEN_CONTROLE = VC.VEN_CONTROLE) AND   "
                       " (VEN.LOJ_CODIGO = VC.LOJ_CODIGO)  INNER JOIN VENDAITEM VIT ON    (VIT.CAI_DATA = "
                       "VC.CAI_DATA) AND    (VIT.VEN_CONTROLE = VC.VEN_CONTROLE) AND    (VIT.LOJ_CODIGO = "
                       "VC.LOJ_CODIGO)  INNER JOIN CADCARTAO C ON    (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND    "
                       "(C.CAR_CODIGO = VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN '2021/05/03' AND       "
                       "'2021/05/04'   AND C.CAR_CHIP = '12''3'   AND COALESCE(VIT.VIT_CANCELADO,'N') = 'N'  "
                       "  AND VEN.LOJ_CODIGO = 1    AND VEN.VEN_SITUACAO = 'A' "));
    EXPECT_EQ(
        regras::sqlVendaAberta(kMenor, kMaior, QStringLiteral("123")),
        QStringLiteral("  SELECT VEN.VEN_CONTROLE,          VEN.CAI_DATA,         VEN.LOJ_CODIGO FROM "
                       "VENDACARTAO VC  INNER JOIN VENDA VEN ON    (VEN.CAI_DATA = VC.CAI_DATA) AND    "
                       "(VEN.VEN_CONTROLE = VC.VEN_CONTROLE)  AND    (VEN.LOJ_CODIGO = VC.LOJ_CODIGO)  INNER "
                       "JOIN CADCARTAO C ON    (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND    (C.CAR_CODIGO = "
                       "VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN '2021/05/03' AND       '2021/05/04'   AND "
                       "C.CAR_CHIP = '123'   AND VC.LOJ_CODIGO = 1    AND VEN.VEN_SITUACAO = 'A' "));
    EXPECT_EQ(regras::sqlAlterarSituacaoVenda(QStringLiteral("C"), 1, kMenor, 57),
              QStringLiteral("UPDATE    VENDA SET    VEN_SITUACAO = 'C' WHERE    LOJ_CODIGO   = 1 AND    "
                             "CAI_DATA     = '2021/05/03' AND    VEN_CONTROLE = 57"));
}

TEST(StatementTexts, CardDialog) {
    EXPECT_EQ(cartoes::sqlAtualizarChip(QStringLiteral("7"), QStringLiteral("12345670")),
              QStringLiteral(" UPDATE CADCARTAO c SET C.car_chip = SUBSTRING(CAR_CODIGO FROM 1 FOR 7)   "
                             "WHERE CAR_CODIGO = '12345670'"));
    EXPECT_EQ(cartoes::sqlGravarQtdDigitosChip(QStringLiteral("7")),
              QStringLiteral(
                  " UPDATE CONFIGGERAL SET CFG_VALOR =  '7'WHERE CFG_HABILITACAO = 'CFG_QTDCHIPCARTAO'"));
    EXPECT_EQ(
        cartoes::sqlInserirCartao(123, 6),
        QStringLiteral(" INSERT INTO CADCARTAO (LOJ_CODIGO, CAR_CODIGO, CAR_SITUACAO, CAR_DTINATIVACAO, "
                       "CAR_MOTIVOINATIVACAO, CAR_CHIP)  VALUES (1, 1236, 'N', NULL, NULL, '123');"));
    EXPECT_EQ(cartoes::sqlDesativarCartao(QStringLiteral("1230")),
              QStringLiteral(" UPDATE CADCARTAO c SET CAR_SITUACAO = 'I',  CAR_MOTIVOINATIVACAO = "
                             "'DUPLICIDADE CATRACA '  WHERE CAR_CODIGO = '1230'"));
    EXPECT_EQ(cartoes::sqlCartoesDoChip(QStringLiteral("0123")),
              QStringLiteral("SELECT * FROM CADCARTAO  WHERE CAR_cHIP = '0123' AND car_situacao = 'N'"));
    EXPECT_EQ(cartoes::sqlChipsDuplicados(),
              QStringLiteral("SELECT CAR_CHIP FROM  cadcartao C  WHERE C.car_situacao = 'N' GROUP BY "
                             "CAR_CHIP HAVING  COUNT(CAR_CHIP) > 1 "));
    EXPECT_EQ(cartoes::sqlListarCartoes(false),
              QStringLiteral("SELECT * FROM CADCARTAO C  WHERE c.car_chip is null"));
    EXPECT_EQ(
        cartoes::sqlLerQtdDigitosChip(),
        QStringLiteral("select CFG_VALOR FROM CONFIGGERAL WHERE CFG_HABILITACAO = 'CFG_QTDCHIPCARTAO'"));
}
