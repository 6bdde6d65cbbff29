// The access decision under faults: the connection lost or shut down at any of its steps,
// hostile comanda texts, and a principal transaction that must not outlive a decision.
#include "FirebirdServer.h"
#include "LogFile.h"
#include "LoopbackRelay.h"
#include "database/untMD.h"
#include "shop_rows.h"

#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <set>

namespace {
const QString kCartao = QStringLiteral("1236");

class DecisionFaults : public ::testing::Test {
protected:
    static inline QString file;
    static void SetUpTestSuite() {
        file = FirebirdServer::shared().fileFor(QStringLiteral("faults"));
        FirebirdServer::shared().createShopDatabase(file);
    }
    void SetUp() override {
        TMD::EsperaReconexaoMs = 20;
        ShopSession(direct()).clear();
        testlog::clear();
    }
    static QString direct() { return FirebirdServer::shared().connectionName(file); }
    static QString through(const LoopbackRelay& relay) {
        return QStringLiteral("localhost/%1:%2").arg(relay.port()).arg(file);
    }

    // A card whose open sale has nothing to pay: the longest path, ending in the sale update.
    void arrangeNothingToPay() {
        ShopSession(direct()).exec(QStringList{caixa("2021-05-03"), cartao(kCartao, QStringLiteral("123"))} +
                                   venda("2021-05-03", 57, kCartao, {"0"}));
    }
    QString situacao() {
        return ShopSession(direct()).scalar(QStringLiteral("SELECT VEN_SITUACAO FROM VENDA"));
    }
    std::pair<bool, bool> decide(TMD& md, const QString& comanda = QStringLiteral("123")) {
        bool existe = false;
        const bool liberada = md.VeriVendEmAbert(comanda, existe);
        return {liberada, existe};
    }
    // The attachments of others than the asking session, once the server has let go of the dead.
    int otherAttachments() {
        return ShopSession(direct())
            .scalar(QStringLiteral("SELECT COUNT(*) FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> "
                                   "CURRENT_CONNECTION AND MON$SYSTEM_FLAG = 0"))
            .toInt();
    }
    void awaitAttachments(int n) {
        for (int i = 0; i < 200 && otherAttachments() != n; ++i)
            QThread::msleep(50);
        ASSERT_EQ(otherAttachments(), n);
    }
};

// The step of the decision that was under way when its error line was written, named by the line
// written before it.
QString stepOf(const QStringList& lines, qsizetype errorLine) {
    if (errorLine == 0) return QStringLiteral("open-day range");
    const QString before = lines[errorLine - 1];
    if (before.startsWith(QStringLiteral("Comanda de numero"))) return QStringLiteral("card lookup");
    if (before.contains(QStringLiteral("SELECT CAR_CODIGO"))) return QStringLiteral("open-sale count");
    if (before == QStringLiteral("Verificar Itens abertos")) return QStringLiteral("sum of items");
    if (before.startsWith(QStringLiteral("subtotal da comanda"))) return QStringLiteral("sale query");
    if (before.startsWith(QStringLiteral("Resultado da funçãoVerificar")))
        return QStringLiteral("sale update");
    if (before.startsWith(QStringLiteral("Resultado do erro de executarSQL")))
        return QStringLiteral("commit");
    return QStringLiteral("after: ") + before;
}
} // namespace

// The link breaks at every turn of the decision's conversation with the server in turn: the
// request is lost and the link reset (335544726 or 335544727). Every decision answers with what the database
// holds, the connection comes back, and the next read is answered right.
TEST_F(DecisionFaults, LinkLostAtEveryStep) {
    LoopbackRelay relay(FirebirdServer::shared().port());
    int turnsOfADecision = 0;
    {
        arrangeNothingToPay();
        TMD md;
        connectDataModule(md, through(relay));
        relay.cutAtTurn(0);
        ASSERT_EQ(decide(md), std::make_pair(true, true));
        turnsOfADecision = relay.turns();
    }
    ASSERT_GT(turnsOfADecision, 6);

    std::map<QString, int> failuresByStep;
    for (int turn = 1; turn <= turnsOfADecision; ++turn) {
        SCOPED_TRACE(testing::Message() << "link cut at turn " << turn);
        ShopSession(direct()).clear();
        arrangeNothingToPay();
        awaitAttachments(0);
        TMD md;
        connectDataModule(md, through(relay));
        testlog::clear();
        relay.cutAtTurn(turn);

        const auto [liberada, existe] = decide(md);
        EXPECT_TRUE(existe);
        // Released exactly when the sale was closed in the database.
        EXPECT_EQ(liberada, situacao() == QStringLiteral("C"));
        const QStringList lines = testlog::texts();
        // The lost request fails the client's read, or its next write when it had more to send.
        const QStringList errors = testlog::startingWith(QStringLiteral("Erro = "));
        ASSERT_EQ(errors.size(), 1) << lines.join(u'\n').toStdString();
        EXPECT_TRUE(errors.front().startsWith(QStringLiteral("Erro = 335544726, ")) ||
                    errors.front().startsWith(QStringLiteral("Erro = 335544727, ")))
            << errors.front().toStdString();
        ++failuresByStep[stepOf(lines, lines.indexOf(errors.front()))];
        EXPECT_TRUE(testlog::startingWith(QStringLiteral("Não foi possível")).isEmpty());
        EXPECT_TRUE(md.ibdConexao.Connected());
        EXPECT_FALSE(md.ibtPrincipal.InTransaction());

        // The dropped attachment's work is undone by the server; then the next read is right.
        awaitAttachments(1);
        testlog::clear();
        EXPECT_EQ(decide(md), std::make_pair(true, true));
        EXPECT_EQ(situacao(), QStringLiteral("C"));
        EXPECT_TRUE(testlog::startingWith(QStringLiteral("Erro = ")).isEmpty())
            << testlog::texts().join(u'\n').toStdString();
    }
    for (const char* step : {"open-day range", "card lookup", "open-sale count", "sum of items", "sale query",
                             "sale update", "commit"})
        EXPECT_GT(failuresByStep[QString::fromLatin1(step)], 0) << step;
    EXPECT_EQ(failuresByStep.size(), 7u);
}

// Connections that end between two reads: a link reset while idle fails the next write
// (335544727), an attachment shut down by an administrator fails the next request (335544856).
// Both are lost connections: a shortened wait, the reopen, and the next read answered right.
TEST_F(DecisionFaults, ConnectionEndedBetweenReads) {
    struct Case {
        const char* name;
        const char* code;
        std::function<void(LoopbackRelay&)> end;
    };
    const Case cases[] = {
        {"link reset while idle", "335544727", [](LoopbackRelay& relay) { relay.resetAll(); }},
        {"attachment shut down", "335544856",
         [](LoopbackRelay&) {
             ShopSession(direct()).exec(
                 QStringLiteral("DELETE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID <> CURRENT_CONNECTION"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackRelay relay(FirebirdServer::shared().port());
        ShopSession(direct()).clear();
        arrangeNothingToPay();
        TMD md;
        connectDataModule(md, through(relay));
        ShopSession(direct()).exec(QStringLiteral("UPDATE VENDA SET VEN_SITUACAO = 'X'"));
        ASSERT_EQ(decide(md), std::make_pair(true, true));
        ShopSession(direct()).exec(QStringLiteral("UPDATE VENDA SET VEN_SITUACAO = 'A'"));

        c.end(relay);
        testlog::clear();
        EXPECT_EQ(decide(md), std::make_pair(false, true));
        const QStringList lines = testlog::texts();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Erro = %1, Mensagem = ").arg(QLatin1String(c.code))))
            << lines.join(u'\n').toStdString();
        EXPECT_TRUE(testlog::startingWith(QStringLiteral("Não foi possível")).isEmpty());
        EXPECT_TRUE(md.ibdConexao.Connected());
        EXPECT_EQ(situacao(), QStringLiteral("A"));

        testlog::clear();
        EXPECT_EQ(decide(md), std::make_pair(true, true));
        EXPECT_EQ(situacao(), QStringLiteral("C"));
        EXPECT_TRUE(testlog::startingWith(QStringLiteral("Erro = ")).isEmpty());
    }
}

// Statement texts travel whole: a NUL, quotes, bytes above 0x7F or a very long read each get the
// answer their text implies, and nothing but the decision's own update is written.
TEST_F(DecisionFaults, HostileComandas) {
    // Chips written with their bytes spelled out, so that the rows do not depend on the text path
    // under test.
    ShopSession(direct()).exec(QStringList{
        caixa("2021-05-03"),
        cartao(QStringLiteral("11"), QStringLiteral("7")),
        QStringLiteral("UPDATE CADCARTAO SET CAR_CHIP = '7' || ASCII_CHAR(0) || '7' WHERE CAR_CODIGO = '11'"),
        cartao(QStringLiteral("12"), QStringLiteral("8")),
        QStringLiteral(
            "UPDATE CADCARTAO SET CAR_CHIP = ASCII_CHAR(128) || ASCII_CHAR(129) || ASCII_CHAR(255) "
            "WHERE CAR_CODIGO = '12'"),
        cartao(QStringLiteral("13"), QStringLiteral("?")),
        cartao(QStringLiteral("14"), QStringLiteral("O'Brien")),
        cartao(QStringLiteral("15"), QStringLiteral("123")),
    });
    const auto snapshot = [] {
        ShopSession s(direct());
        std::vector<QStringList> all;
        for (const char* table : {"CADCARTAO ORDER BY CAR_CODIGO", "VENDA ORDER BY VEN_CONTROLE",
                                  "VENDACARTAO ORDER BY VCA_CONTROLE", "CAIXASITUACAO ORDER BY CAI_DATA",
                                  "CONFIGGERAL ORDER BY CFG_HABILITACAO"})
            for (const QStringList& row : s.rows(QStringLiteral("SELECT * FROM ") + QLatin1String(table)))
                all.push_back(row);
        return all;
    };
    const auto before = snapshot();

    struct Case {
        const char* name;
        QString comanda;
        bool liberada;
        bool existe;
    };
    const QString nul(QChar(0));
    const Case cases[] = {
        {"NUL inside, no such chip", QStringLiteral("12") + nul + QStringLiteral("3"), false, false},
        {"NUL inside, a chip with it", QStringLiteral("7") + nul + QStringLiteral("7"), true, true},
        {"NUL at the end", QStringLiteral("123") + nul, false, false},
        {"bytes 0x80 0x81 0xFF", QString::fromLatin1("\x80\x81\xff"), true, true},
        {"byte 0x81 is not a question mark", QString::fromLatin1("\x81"), false, false},
        {"question mark", QStringLiteral("?"), true, true},
        {"quote inside", QStringLiteral("O'Brien"), true, true},
        {"lone quote", QStringLiteral("'"), false, false},
        {"statement after a quote", QStringLiteral("'; DELETE FROM CADCARTAO; --"), false, false},
        {"quote and OR", QStringLiteral("1' OR '1'='1"), false, false},
        {"200 digits", QString(200, u'1'), false, false},
        {"200 digits and a letter", QString(200, u'1') + u'x', false, false},
        {"plain", QStringLiteral("123"), true, true},
    };
    TMD md;
    connectDataModule(md, direct());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testlog::clear();
        EXPECT_EQ(decide(md, c.comanda), std::make_pair(c.liberada, c.existe));
        EXPECT_TRUE(testlog::startingWith(QStringLiteral("Erro = ")).isEmpty())
            << testlog::texts().join(u'\n').toStdString();
    }
    EXPECT_EQ(snapshot(), before);
}

// Between two decisions no transaction of the program is open: the oldest active transaction of
// the database moves on, and the server can collect the old versions of closed sales.
TEST_F(DecisionFaults, OldestActiveTransactionMovesOn) {
    arrangeNothingToPay();
    TMD md;
    connectDataModule(md, direct());
    const auto oldestActive = [] {
        return ShopSession(direct())
            .scalar(QStringLiteral("SELECT MON$OLDEST_ACTIVE FROM MON$DATABASE"))
            .toLongLong();
    };
    ASSERT_EQ(decide(md), std::make_pair(true, true));
    const long long first = oldestActive();
    for (int i = 0; i < 20; ++i) {
        ShopSession(direct()).exec(QStringLiteral("UPDATE VENDA SET VEN_SITUACAO = 'A'"));
        ASSERT_EQ(decide(md), std::make_pair(true, true));
        ASSERT_EQ(decide(md, QStringLiteral("999")), std::make_pair(false, false));
    }
    EXPECT_FALSE(md.ibtPrincipal.InTransaction());
    EXPECT_FALSE(md.ibtAuxiliar.InTransaction());
    EXPECT_GT(oldestActive(), first);
}
