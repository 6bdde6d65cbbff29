#include "FirebirdServer.h"
#include "LogFile.h"
#include "database/untMD.h"
#include "rules/comanda.h"
#include "shop_rows.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {
const QStringList kDiasAbertos = {caixa("2021-05-01", "N"), caixa("2021-05-03"), caixa("2021-05-04")};

struct Case {
    const char* name;
    QStringList fixture;
    QString comanda;
    bool liberada;
    bool existe;
    const char* vendasDepois; // "controle:situação ..." in order; alternatives split by "|"
};

class AccessDecision : public ::testing::Test {
protected:
    static inline QString database;
    static void SetUpTestSuite() {
        database = FirebirdServer::shared().shopDatabase(QStringLiteral("decision"));
    }
    void SetUp() override {
        ShopSession(database).clear();
        connectDataModule(md, database);
        testlog::clear();
    }
    void arrange(const QStringList& rows) { ShopSession(database).exec(rows); }
    QString vendas() {
        QStringList parts;
        for (const QStringList& row : ShopSession(database).rows(
                 QStringLiteral("SELECT VEN_CONTROLE, VEN_SITUACAO FROM VENDA ORDER BY VEN_CONTROLE")))
            parts << row.join(u':');
        return parts.join(u' ');
    }
    std::pair<bool, bool> decide(const QString& comanda) {
        bool existe = false;
        const bool liberada = md.VeriVendEmAbert(comanda, existe);
        return {liberada, existe};
    }

    TMD md;
};
} // namespace

TEST_F(AccessDecision, Outcomes) {
    const QString c1 = QStringLiteral("1236"), c2 = QStringLiteral("1243");
    const Case cases[] = {
        {"unregistered chip", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))},
         QStringLiteral("999"), false, false, ""},
        {"no open sale", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))}, QStringLiteral("123"),
         true, true, ""},
        {"something to pay",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c1, {"10.00", "2.50"}),
         QStringLiteral("123"), false, true, "57:A"},
        {"nothing to pay",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c1, {"10.00", "-10.00"}),
         QStringLiteral("123"), true, true, "57:C"},
        {"all items cancelled",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c1, {"c:10.00"}),
         QStringLiteral("123"), true, true, "57:C"},
        {"no items",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))} + venda("2021-05-04", 58, c1, {}),
         QStringLiteral("123"), true, true, "58:C"},
        {"negative sum",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c1, {"-5.00"}),
         QStringLiteral("123"), false, true, "57:A"},
        {"sum over all open sales",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c1, {"5.00"}) + venda("2021-05-04", 58, c1, {"-5.00"}),
         // The sale query has no order: either sale may be the one closed.
         QStringLiteral("123"), true, true, "57:C 58:A|57:A 58:C"},
        {"sale outside the open days",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-01", 50, c1, {"10.00"}),
         QStringLiteral("123"), true, true, "50:A"},
        {"one open day",
         QStringList{caixa("2021-05-04")} + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c1, {"10.00"}),
         QStringLiteral("123"), true, true, "57:A"},
        {"no open day",
         QStringList{caixa("2021-05-03", "N")} + QStringList{cartao(c1, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c1, {"10.00"}),
         QStringLiteral("123"), true, true, "57:A"},
        {"deactivated card", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"), "I")},
         QStringLiteral("123"), true, true, ""},
        {"cards sharing a chip",
         kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123")), cartao(c2, QStringLiteral("123"))} +
             venda("2021-05-03", 57, c2, {"10.00"}),
         QStringLiteral("123"), false, true, "57:A"},
        {"leading zeros read as a number", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))},
         QStringLiteral("000123"), true, true, ""},
        {"chip stored with leading zeros", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("000123"))},
         QStringLiteral("000123"), false, false, ""},
        {"read over 15 digits", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("1234567890123456"))},
         QStringLiteral("1234567890123456"), false, false, ""},
        {"exponent read", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("1000"))},
         QStringLiteral("1E3"), true, true, ""},
        {"chip with a quote", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("12'3"))},
         QStringLiteral("12'3"), true, true, ""},
        {"nothing injected", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))},
         QStringLiteral("1' OR '1'='1"), false, false, ""},
        {"empty comanda", kDiasAbertos + QStringList{cartao(c1, QStringLiteral("123"))}, QString(), false,
         false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShopSession(database).clear();
        testlog::clear();
        arrange(c.fixture);
        EXPECT_EQ(decide(c.comanda), std::make_pair(c.liberada, c.existe));
        const QStringList allowed = QString::fromUtf8(c.vendasDepois).split(u'|');
        EXPECT_TRUE(allowed.contains(vendas())) << vendas().toStdString();
        EXPECT_TRUE(testlog::startingWith(QStringLiteral("Erro = ")).isEmpty())
            << testlog::texts().join(u'\n').toStdString();
    }
}

TEST_F(AccessDecision, LongestPathLogsEveryStepAndClosesTheSale) {
    arrange(kDiasAbertos + QStringList{cartao(QStringLiteral("1236"), QStringLiteral("123"))} +
            venda("2021-05-03", 57, QStringLiteral("1236"), {"0"}));
    EXPECT_EQ(decide(QStringLiteral("0123")), std::make_pair(true, true));
    EXPECT_EQ(md.gd_MenorDataAberta, QDateTime(QDate(2021, 5, 3), QTime(0, 0)));
    EXPECT_EQ(md.gd_MaiorDataAberta, QDateTime(QDate(2021, 5, 4), QTime(0, 0)));
    const QStringList expected = {
        QStringLiteral("Comanda de numero : 123"),
        QStringLiteral(
            " SELECT CAR_CODIGO FROM CADCARTAO C   WHERE C.CAR_CHIP = '123'     AND C.LOJ_CODIGO = 1 "),
        QStringLiteral(
            " SELECT COUNT(VC.VCA_CONTROLE) AS QTDE  FROM VENDACARTAO VC  INNER JOIN VENDA V ON     "
            "(V.CAI_DATA = VC.CAI_DATA) AND     (V.VEN_CONTROLE = VC.VEN_CONTROLE) AND     (V.LOJ_CODIGO = "
            "VC.LOJ_CODIGO)  INNER JOIN CADCARTAO C ON     (C.LOJ_CODIGO = VC.LOJ_CODIGO) AND     "
            "(C.CAR_CODIGO = VC.CAR_CODIGO)  WHERE VC.CAI_DATA BETWEEN '2021/05/03' AND        '2021/05/04'  "
            " AND C.CAR_CHIP = '123'   AND V.LOJ_CODIGO = 1    AND V.VEN_SITUACAO = 'A' "),
        QStringLiteral("Verificar Itens abertos"),
        QStringLiteral("subtotal da comanda0"),
        QStringLiteral("informãções comanda1"),
        QStringLiteral("Resultado VerificarTodosItensAbertos-1"),
        QStringLiteral("Resultado da funçãoVerificar Itens abertos : True"),
        QStringLiteral("SQL de alteração da comanda: UPDATE    VENDA SET    VEN_SITUACAO = 'C' WHERE    "
                       "LOJ_CODIGO   = 1 AND    CAI_DATA     = '2021/05/03' AND    VEN_CONTROLE = 57"),
        QStringLiteral("Resultado do erro de executarSQL1"),
        QStringLiteral("Status da Comanda apos estar falsa-1"),
    };
    EXPECT_EQ(testlog::texts(), expected);
    EXPECT_EQ(vendas(), QStringLiteral("57:C"));
    // The next read of the same comanda finds nothing open.
    testlog::clear();
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(true, true));
    EXPECT_EQ(testlog::texts().size(), 3);
}

TEST_F(AccessDecision, SomethingToPayStopsAfterTheCheck) {
    arrange(kDiasAbertos + QStringList{cartao(QStringLiteral("1236"), QStringLiteral("123"))} +
            venda("2021-05-03", 57, QStringLiteral("1236"), {"12.50"}));
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(false, true));
    const QStringList texts = testlog::texts();
    EXPECT_EQ(
        texts.mid(3),
        (QStringList{QStringLiteral("Verificar Itens abertos"), QStringLiteral("subtotal da comanda12,5"),
                     QStringLiteral("Resultado VerificarTodosItensAbertos0"),
                     QStringLiteral("Resultado da funçãoVerificar Itens abertos : False")}));
}

TEST_F(AccessDecision, TwoOpenSalesAreClosedOneReadAtATime) {
    arrange(kDiasAbertos + QStringList{cartao(QStringLiteral("1236"), QStringLiteral("123"))} +
            venda("2021-05-03", 57, QStringLiteral("1236"), {}) +
            venda("2021-05-04", 58, QStringLiteral("1236"), {"c:3.00"}));
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(true, true));
    EXPECT_EQ(
        ShopSession(database).scalar(QStringLiteral("SELECT COUNT(*) FROM VENDA WHERE VEN_SITUACAO = 'C'")),
        QStringLiteral("1"));
    EXPECT_TRUE(testlog::texts().contains(QStringLiteral("informãções comanda2")));
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(true, true));
    EXPECT_EQ(vendas(), QStringLiteral("57:C 58:C"));
}

TEST_F(AccessDecision, LockedSaleIsRefusedAndTriedAgainNextRead) {
    arrange(kDiasAbertos + QStringList{cartao(QStringLiteral("1236"), QStringLiteral("123"))} +
            venda("2021-05-03", 57, QStringLiteral("1236"), {"0"}));
    TMD other;
    connectDataModule(other, database);
    ASSERT_EQ(other.ExecutarSQL(QStringLiteral("UPDATE VENDA SET VEN_SITUACAO = 'A' WHERE VEN_CONTROLE = 57"),
                                1, 3),
              1);
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(false, true));
    EXPECT_EQ(vendas(), QStringLiteral("57:A"));
    const QStringList texts = testlog::texts();
    EXPECT_TRUE(texts.contains(QStringLiteral("Resultado do erro de executarSQL0")));
    EXPECT_EQ(texts.last(), QStringLiteral("Status da Comanda apos estar falsa0"));
    EXPECT_EQ(testlog::startingWith(QStringLiteral("Erro = 335544336")).size(), 1);
    // The failed update holds no row lock and no transaction open until the next read.
    EXPECT_FALSE(md.ibtAuxiliar.InTransaction());
    EXPECT_FALSE(md.ibtPrincipal.InTransaction());

    other.CancelarTransacao(3);
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(true, true));
    EXPECT_EQ(vendas(), QStringLiteral("57:C"));
}

TEST_F(AccessDecision, FailedQueryRefusesTheCard) {
    arrange(kDiasAbertos + QStringList{cartao(QStringLiteral("1236"), QStringLiteral("123"))});
    md.ibdConexao.Close();
    md.ibdConexao.DatabaseName =
        FirebirdServer::shared().connectionName(FirebirdServer::shared().fileFor(QStringLiteral("missing")));
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(false, true));
    EXPECT_EQ(testlog::startingWith(QStringLiteral("Erro = ")).size(), 1);
}

TEST(ComandaNumbers, NormalisedInGeneralForm) {
    struct Case {
        const char* read;
        const char* normalised;
    };
    const Case cases[] = {{"000123", "123"},
                          {"123", "123"},
                          {"1E3", "1000"},
                          {"12,5", "12,5"},
                          {"12.5", "12.5"}, // not a number under Brazilian settings: kept as read
                          {"1.234", "1.234"},
                          {"123456789012345", "123456789012345"},
                          {"1234567890123456", "1,23456789012346E15"},
                          {"-0042", "-42"},
                          {" 7 ", "7"},
                          {"0,00001", "1E-5"},
                          {"abc", "abc"},
                          {"", ""},
                          {"4711x", "4711x"}};
    for (const Case& c : cases)
        EXPECT_EQ(regras::normalizarComanda(QString::fromUtf8(c.read)), QString::fromUtf8(c.normalised))
            << c.read;
}

// An open day whose local midnight a daylight-saving change skipped is a day like any other: its
// sale with nothing to pay is found and closed.
TEST_F(AccessDecision, OpenDayOfASkippedMidnight) {
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    arrange(QStringList{caixa("2018-11-04"), cartao(QStringLiteral("1236"), QStringLiteral("123"))} +
            venda("2018-11-04", 57, QStringLiteral("1236"), {"0"}));
    EXPECT_EQ(decide(QStringLiteral("123")), std::make_pair(true, true));
    EXPECT_EQ(md.gd_MenorDataAberta.date(), QDate(2018, 11, 4));
    EXPECT_EQ(vendas(), QStringLiteral("57:C"));
    if (previous.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", previous);
    tzset();
}
