#include "DialogRecorder.h"
#include "FirebirdServer.h"
#include "LogFile.h"
#include "database/sqltext.h"
#include "database/untMD.h"
#include "platform/failure.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {
class StatementLayer : public ::testing::Test {
protected:
    static inline QString database;

    static void SetUpTestSuite() {
        database = FirebirdServer::shared().shopDatabase(QStringLiteral("statements"));
        // A wrong wait after an ordinary error would hang the suite into its time limit.
        TMD::EsperaReconexaoMs = 3600 * 1000;
    }

    void SetUp() override {
        ShopSession(database).clear();
        connectDataModule(md, database);
        testlog::clear();
    }

    int count(const QString& table) {
        return ShopSession(database).scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
    }

    TMD md;
};
} // namespace

TEST_F(StatementLayer, QueryWithoutRowsReadsAsEmptyAndZero) {
    std::unique_ptr<db::TDataSet> q;
    ASSERT_EQ(md.Consultar(QStringLiteral("SELECT CAR_CODIGO, CAR_DTINATIVACAO FROM CADCARTAO"), q, 1), 1);
    ASSERT_TRUE(q);
    EXPECT_EQ(q->RecordCount(), 0);
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(q->FieldByName(QStringLiteral("car_codigo")).AsString(), QString());
    EXPECT_EQ(q->FieldByName(QStringLiteral("CAR_CODIGO")).AsInteger(), 0);
    EXPECT_EQ(q->FieldByName(QStringLiteral("car_dtinativacao")).AsDateTime(),
              QDateTime(QDate(1899, 12, 30), QTime(0, 0)));
    EXPECT_THROW(q->FieldByName(QStringLiteral("NO_SUCH_COLUMN")), Failure);
}

TEST_F(StatementLayer, NullSumReadsAsZero) {
    std::unique_ptr<db::TDataSet> q;
    ASSERT_EQ(md.Consultar(QStringLiteral("SELECT SUM(VIT_SUBTOTAL) AS SUBTOTAL FROM VENDAITEM"), q, 1), 1);
    EXPECT_EQ(q->RecordCount(), 1);
    EXPECT_TRUE(q->FieldByName(QStringLiteral("subtotal")).IsNull());
    EXPECT_EQ(q->FieldByName(QStringLiteral("subtotal")).AsFloat(), 0.0);
    EXPECT_EQ(q->FieldByName(QStringLiteral("subtotal")).AsString(), QString());
}

TEST_F(StatementLayer, FieldsOfEveryShopTypeAndNavigation) {
    ShopSession(database).exec(
        QStringList{QStringLiteral("INSERT INTO VENDAITEM VALUES (1, '2021-05-03', 57, 1, 12.34, NULL)"),
                    QStringLiteral("INSERT INTO VENDAITEM VALUES (1, '2021-05-03', 57, 2, -0.5, 'S')"),
                    QStringLiteral("INSERT INTO VENDAITEM VALUES (1, '2021-05-04', 58, 1, 0, 'N')")});
    std::unique_ptr<db::TDataSet> q;
    ASSERT_EQ(md.Consultar(QStringLiteral("SELECT vit_subtotal, CAI_DATA, ven_controle, VIT_CANCELADO, "
                                          "CAST('2021-05-03 14:03:07' AS TIMESTAMP) AS MOMENTO, CAST(2.5 AS "
                                          "DOUBLE PRECISION) AS REAL_NUMBER, "
                                          "CAST(7 AS SMALLINT) AS CURTO, CAST(9000000000 AS BIGINT) AS LONGO "
                                          "FROM VENDAITEM ORDER BY CAI_DATA, VIT_ITEM"),
                           q, 1),
              1);
    ASSERT_EQ(q->RecordCount(), 3);
    EXPECT_FALSE(q->Eof());
    EXPECT_EQ(q->FieldByName(QStringLiteral("VIT_SUBTOTAL")).AsFloat(), 12.34);
    EXPECT_EQ(q->FieldByName(QStringLiteral("VIT_SUBTOTAL")).AsString(), QStringLiteral("12,34"));
    EXPECT_EQ(q->FieldByName(QStringLiteral("cai_data")).AsDateTime(),
              QDateTime(QDate(2021, 5, 3), QTime(0, 0)));
    EXPECT_EQ(q->FieldByName(QStringLiteral("Ven_Controle")).AsInteger(), 57);
    EXPECT_TRUE(q->FieldByName(QStringLiteral("VIT_CANCELADO")).IsNull());
    EXPECT_EQ(q->FieldByName(QStringLiteral("MOMENTO")).AsDateTime(),
              QDateTime(QDate(2021, 5, 3), QTime(14, 3, 7)));
    EXPECT_EQ(q->FieldByName(QStringLiteral("REAL_NUMBER")).AsFloat(), 2.5);
    EXPECT_EQ(q->FieldByName(QStringLiteral("CURTO")).AsInteger(), 7);
    EXPECT_EQ(q->FieldByName(QStringLiteral("LONGO")).AsString(), QStringLiteral("9000000000"));

    q->Next();
    EXPECT_EQ(q->FieldByName(QStringLiteral("VIT_SUBTOTAL")).AsFloat(), -0.5);
    EXPECT_EQ(q->FieldByName(QStringLiteral("VIT_CANCELADO")).AsString(), QStringLiteral("S"));
    q->Last();
    EXPECT_EQ(q->FieldByName(QStringLiteral("VEN_CONTROLE")).AsInteger(), 58);
    EXPECT_FALSE(q->Eof());
    q->Next();
    EXPECT_TRUE(q->Eof());
    q->First();
    EXPECT_EQ(q->FieldByName(QStringLiteral("VEN_CONTROLE")).AsInteger(), 57);
}

TEST_F(StatementLayer, TextsTravelAsWindows1252) {
    ASSERT_EQ(
        md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('AÇÃO', 'São João d''Arc')"), 3, 3),
        1);
    std::unique_ptr<db::TDataSet> q;
    ASSERT_EQ(md.Consultar(QStringLiteral("SELECT CFG_VALOR FROM CONFIGGERAL WHERE CFG_HABILITACAO = 'AÇÃO'"),
                           q, 1),
              1);
    EXPECT_EQ(q->FieldByName(QStringLiteral("CFG_VALOR")).AsString(), QStringLiteral("São João d'Arc"));
    EXPECT_EQ(ShopSession(database).scalar(QStringLiteral("SELECT OCTET_LENGTH(CFG_VALOR) FROM CONFIGGERAL")),
              QStringLiteral("14"));
}

TEST_F(StatementLayer, DefaultSelectorLeavesTheChangeUncommittedOnThePrincipalTransaction) {
    ASSERT_EQ(md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"), 3, 2), 1);
    EXPECT_TRUE(md.ibtPrincipal.InTransaction());
    EXPECT_FALSE(md.ibtAuxiliar.InTransaction());
    EXPECT_EQ(count(QStringLiteral("CONFIGGERAL")), 0);
    md.CancelarTransacao(1);
    EXPECT_FALSE(md.ibtPrincipal.InTransaction());
    std::unique_ptr<db::TDataSet> q;
    ASSERT_EQ(md.Consultar(QStringLiteral("SELECT * FROM CONFIGGERAL"), q, 1), 1);
    EXPECT_EQ(q->RecordCount(), 0);
}

TEST_F(StatementLayer, FailedStatementLeavesItsTransactionActive) {
    ASSERT_EQ(md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"), 1, 3), 1);
    ASSERT_EQ(md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'duplicate')"), 0, 3), 0);
    EXPECT_TRUE(md.ibtAuxiliar.InTransaction());
    // The caller's commit then commits what the transaction holds.
    md.ConfirmarTransacao(3);
    EXPECT_EQ(ShopSession(database).scalar(QStringLiteral("SELECT CFG_VALOR FROM CONFIGGERAL")),
              QStringLiteral("V"));

    ASSERT_EQ(md.ExecutarSQL(QStringLiteral("INSERT INTO NO_SUCH_TABLE VALUES (1)"), 3, 3), 0);
    EXPECT_TRUE(md.ibtAuxiliar.InTransaction());
}

TEST_F(StatementLayer, SecondBeginRollsTheFirstBack) {
    md.IniciarTransacao(3);
    ASSERT_EQ(md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"), 0, 3), 1);
    md.IniciarTransacao(3);
    EXPECT_TRUE(md.ibtAuxiliar.InTransaction());
    md.ConfirmarTransacao(3);
    EXPECT_EQ(count(QStringLiteral("CONFIGGERAL")), 0);
    // Commit and roll back of a transaction that is not active do nothing.
    EXPECT_NO_THROW(md.ConfirmarTransacao(3));
    EXPECT_NO_THROW(md.CancelarTransacao(3));
    EXPECT_NO_THROW(md.IniciarTransacao(2));
    EXPECT_NO_THROW(md.ConfirmarTransacao(9));
}

TEST_F(StatementLayer, RefusedParameters) {
    struct Case {
        uint8_t mode;
        uint8_t selector;
        ShownDialog dialog;
    };
    const Case cases[] = {
        {7, 0, {dialogs::Kind::Warning, QStringLiteral("Parâmetro TRANSACAO inválido.")}},
        {4, 1, {dialogs::Kind::Warning, QStringLiteral("Parâmetro TRANSACAO inválido.")}},
        {3,
         6,
         {dialogs::Kind::Error,
          QStringLiteral("Parâmetro Inválido:\r   ComponenteTransacao, função ExecutarSQL.")}},
        {3,
         0,
         {dialogs::Kind::Error,
          QStringLiteral("Parâmetro Inválido:\r   ComponenteTransacao, função ExecutarSQL.")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.mode) << "/" << int(c.selector));
        DialogRecorder dialogs;
        EXPECT_EQ(
            md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"), c.mode, c.selector),
            3);
        EXPECT_EQ(dialogs.shown, std::vector<ShownDialog>{c.dialog});
        EXPECT_FALSE(md.ibtPrincipal.InTransaction() || md.ibtAuxiliar.InTransaction() ||
                     md.ibtTravamento.InTransaction());
    }
    DialogRecorder dialogs;
    std::unique_ptr<db::TDataSet> q;
    EXPECT_EQ(md.Consultar(QStringLiteral("SELECT * FROM CONFIGGERAL"), q, 0), 0);
    EXPECT_FALSE(q);
    EXPECT_EQ(
        dialogs.shown,
        (std::vector<ShownDialog>{
            {dialogs::Kind::Error,
             QStringLiteral("Parâmetro Inválido:\r   ComponenteTransacao, procedimento CriarDataSet.")}}));
    EXPECT_EQ(count(QStringLiteral("CONFIGGERAL")), 0);
}

TEST_F(StatementLayer, SyntaxErrorIsLoggedOnceAndAnsweredWithZero) {
    std::unique_ptr<db::TDataSet> q;
    EXPECT_EQ(md.Consultar(QStringLiteral("SELEC nothing"), q, 1), 0);
    EXPECT_FALSE(q);
    EXPECT_EQ(md.ExecutarSQL(QStringLiteral("UPDAT nothing"), 3, 3), 0);
    const QStringList errors = testlog::startingWith(QStringLiteral("Erro = "));
    ASSERT_EQ(errors.size(), 2);
    for (const QString& line : errors)
        EXPECT_TRUE(line.startsWith(QStringLiteral("Erro = 335544569, Mensagem = Dynamic SQL Error")))
            << line.toStdString();
    // The server's message goes on over several lines, each ended by CR LF like every log line.
    const QByteArray raw = testfiles::readAll(testlog::path());
    EXPECT_EQ(raw.count('\n'), raw.count("\r\n"));
    const QStringList lines = testlog::texts();
    const qsizetype first = lines.indexOf(errors.front());
    ASSERT_LT(first + 1, lines.size());
    EXPECT_EQ(lines[first + 1], QStringLiteral("SQL error code = -104"));
    EXPECT_TRUE(md.ibdConexao.Connected());
}

TEST_F(StatementLayer, LockedRowFailsAtOnce) {
    ShopSession(database).exec(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"));
    TMD other;
    connectDataModule(other, database);
    ASSERT_EQ(other.ExecutarSQL(QStringLiteral("UPDATE CONFIGGERAL SET CFG_VALOR = 'other'"), 1, 3), 1);
    EXPECT_EQ(md.ExecutarSQL(QStringLiteral("UPDATE CONFIGGERAL SET CFG_VALOR = 'mine'"), 3, 3), 0);
    const QStringList errors = testlog::startingWith(QStringLiteral("Erro = "));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Erro = 335544336, Mensagem = ")))
        << errors[0].toStdString();
    other.ConfirmarTransacao(3);
    EXPECT_EQ(ShopSession(database).scalar(QStringLiteral("SELECT CFG_VALOR FROM CONFIGGERAL")),
              QStringLiteral("other"));
}

TEST_F(StatementLayer, QueryAndStatementReopenAClosedConnection) {
    md.ibdConexao.Close();
    std::unique_ptr<db::TDataSet> q;
    EXPECT_EQ(md.Consultar(QStringLiteral("SELECT * FROM CONFIGGERAL"), q, 1), 1);
    EXPECT_TRUE(md.ibdConexao.Connected());
    md.ibdConexao.Close();
    EXPECT_EQ(md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"), 0, 3), 1);
    EXPECT_TRUE(md.ibdConexao.Connected());
    // Closing commits what is still active.
    md.ibdConexao.Close();
    EXPECT_EQ(count(QStringLiteral("CONFIGGERAL")), 1);
    // An explicit begin does not reopen it.
    EXPECT_THROW(md.IniciarTransacao(1), Failure);
}

// A DATE is a day: read on a day whose local midnight a daylight-saving change skipped, it is
// still that day, in statement texts and as text.
TEST_F(StatementLayer, DateOfASkippedMidnight) {
    const QByteArray previous = qgetenv("TZ");
    qputenv("TZ", "America/Sao_Paulo");
    tzset();
    std::unique_ptr<db::TDataSet> q;
    ASSERT_EQ(
        md.Consultar(QStringLiteral("SELECT CAST('2018-11-04' AS DATE) AS DIA FROM RDB$DATABASE"), q, 1), 1);
    const QDateTime dia = q->FieldByName(QStringLiteral("DIA")).AsDateTime();
    EXPECT_TRUE(dia.isValid());
    EXPECT_EQ(dia.date(), QDate(2018, 11, 4));
    EXPECT_EQ(sql::date(dia), QStringLiteral("'2018/11/04'"));
    EXPECT_EQ(q->FieldByName(QStringLiteral("DIA")).AsString(), QStringLiteral("04/11/2018"));
    if (previous.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", previous);
    tzset();
}
