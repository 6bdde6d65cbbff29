// The whole program meets a database server that stops answering with the program attached (a
// real server paused with SIGSTOP): a termination request still closes it, a late decision never
// answers a newer read, and no transaction of the program stays open between reads.
#include "DialogRecorder.h"
#include "Files.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "Site.h"
#include "cards/untConfigComandas.h"
#include "turnstile/codec.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QString shop() {
    return FirebirdServer::shared().connectionName(FirebirdServer::shared().aliasedFile());
}

class StalledDatabase : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FirebirdServer::shared().createShopDatabase(FirebirdServer::shared().aliasedFile());
    }
    void SetUp() override {
        ASSERT_TRUE(controller.listen());
        ShopSession session(shop());
        session.clear();
        // Card 123 has nothing to pay (released), card 124 owes 9.90 (refused).
        session.exec({catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"),
                              QString::number(controller.port())),
                      QStringLiteral("INSERT INTO CAIXASITUACAO VALUES (1, '2021-05-03', 'S')"),
                      QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '1236', 'N', NULL, NULL, '123')"),
                      QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '1243', 'N', NULL, NULL, '124')"),
                      QStringLiteral("INSERT INTO VENDA VALUES (1, '2021-05-03', 57, 'A')"),
                      QStringLiteral("INSERT INTO VENDACARTAO VALUES (1, 1, '2021-05-03', 57, '1243')"),
                      QStringLiteral("INSERT INTO VENDAITEM VALUES (1, '2021-05-03', 57, 1, 9.90, NULL)")});
    }
    std::unique_ptr<QProcess> startProgram() {
        auto program = site.start();
        EXPECT_TRUE(controller.waitForConnections(1));
        return program;
    }
    bool logHas(const QString& prefix) {
        for (const QString& text : site.logTexts())
            if (text.startsWith(prefix)) return true;
        return false;
    }

    sim::SimulatedController controller;
    Site site{FirebirdServer::shared().servidor()};
};
} // namespace

// A termination request while the program waits on the paused server: inside the statement it
// cancels the statement at once, inside the 30-second wait after a cancelled one it ends the wait,
// and with nothing running the close's own detach gives up on the silent server. Every time the
// program closes in order, reopens nothing and leaves no marker.
TEST_F(StalledDatabase, TerminationRequestEndsEveryWait) {
    enum class When { Idle, InStatement, InWait };
    struct Case {
        const char* name;
        When when;
        QString cancellation; // how the log says the statement ended; none without a read
    };
    const Case cases[] = {
        {"at the close, with nothing running", When::Idle, QString()},
        {"inside the statement", When::InStatement,
         QStringLiteral("Operação no banco de dados cancelada: o programa está sendo encerrado.")},
        {"inside the wait after it", When::InWait,
         QStringLiteral(
             "O servidor do banco de dados não respondeu em 10 segundos; a operação foi cancelada.")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(site.logPath());
        const int before = controller.connectionsAccepted();
        auto program = site.start();
        ASSERT_TRUE(controller.waitForConnections(before + 1));
        PausedServer paused(FirebirdServer::shared());
        if (c.when != When::Idle) controller.sendRead(QStringLiteral("123"));
        if (c.when == When::InWait) {
            ASSERT_TRUE(eventually([&] { return logHas(QStringLiteral("Erro = ")); }, 60000));
        }
        if (c.when == When::InStatement) QTest::qWait(1000); // the read has reached the waiting program
        Site::signal(*program, SIGTERM);
        ASSERT_TRUE(program->waitForFinished(60000));
        EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program->exitCode(), 0);

        const QStringList texts = site.logTexts();
        const QStringList errors = texts.filter(QRegularExpression(QStringLiteral("^Erro = ")));
        if (c.cancellation.isEmpty()) {
            EXPECT_TRUE(errors.isEmpty()) << texts.join(u'\n').toStdString();
        } else {
            ASSERT_EQ(errors.size(), 1) << texts.join(u'\n').toStdString();
            EXPECT_TRUE(
                errors[0].startsWith(QStringLiteral("Erro = 335544726, Mensagem = ") + c.cancellation))
                << errors[0].toStdString();
        }
        EXPECT_EQ(texts.mid(texts.size() - 2), (QStringList{QStringLiteral("<<< Finalizou a Catraca"),
                                                            QStringLiteral("Sistema Encerrado.")}));
        EXPECT_FALSE(texts.contains(QStringLiteral("Não foi possível restabelecer a conexão com o banco.")));
        EXPECT_FALSE(QFile::exists(site.markers() + QStringLiteral("/335544721.error")));
        EXPECT_FALSE(QFile::exists(site.lockFile()));
        EXPECT_FALSE(controller.replies().contains(kRespostaLiberado));
    }
}

// Guest A (nothing to pay) reads while the server is paused; the controller gives up on A and
// guest B (something to pay) reads. When the server goes on, A's release must not become the
// answer to B's read: replies carry no card number.
TEST_F(StalledDatabase, LateDecisionNeverAnswersANewerRead) {
    auto program = startProgram();
    {
        PausedServer paused(FirebirdServer::shared());
        controller.sendRead(QStringLiteral("123"));
        QTest::qWait(1000);
        controller.sendRead(QStringLiteral("124"));
        QTest::qWait(500);
    }
    ASSERT_TRUE(controller.waitForReplies(1));
    ASSERT_TRUE(
        eventually([&] { return logHas(QStringLiteral("Catraca[Entrada] Resposta da comanda 123")); }));
    EXPECT_EQ(controller.replies(), QStringList{kRespostaNegado});
    EXPECT_TRUE(
        site.logTexts().contains(QStringLiteral("Catraca[Entrada] Resposta da comanda 123 não enviada: "
                                                "chegou uma leitura mais recente durante a consulta.")));

    // The next read is answered as usual.
    controller.sendRead(QStringLiteral("999"));
    ASSERT_TRUE(controller.waitForReplies(2));
    EXPECT_EQ(controller.replies().last(), kRespostaSemCadastro);
    Site::signal(*program, SIGTERM);
    ASSERT_TRUE(program->waitForFinished(30000));
}

// Between reads no transaction of the program is open, whatever started one: a card read, the
// connection rebuilds (here every 200 ms instead of every 30 s), the card dialog.
TEST_F(StalledDatabase, NoTransactionStaysOpenBetweenReads) {
    const auto programTransactions = [] {
        return ShopSession(shop())
            .scalar(QStringLiteral("SELECT COUNT(*) FROM MON$TRANSACTIONS t JOIN MON$ATTACHMENTS a ON "
                                   "a.MON$ATTACHMENT_ID = t.MON$ATTACHMENT_ID WHERE a.MON$SYSTEM_FLAG = 0 "
                                   "AND t.MON$ATTACHMENT_ID <> CURRENT_CONNECTION"))
            .toInt();
    };
    DialogRecorder boxes;
    ProgramUnderTest program(shop());
    TfrmPrincipal& window = program.window();
    window.tmrConectarCatracas->setInterval(200);
    window.show();
    ASSERT_TRUE(controller.waitForConnections(1));
    controller.sendRead(QStringLiteral("124"));
    ASSERT_TRUE(controller.waitForReplies(1));
    EXPECT_EQ(programTransactions(), 0) << "after a read";

    const int connections = controller.connectionsAccepted();
    ASSERT_TRUE(controller.waitForConnections(connections + 3));
    EXPECT_EQ(programTransactions(), 0) << "after rebuilds";

    TfrmConfigComandas dialog;
    QTimer::singleShot(0, &dialog, [&] { dialog.close(); });
    dialog.exec();
    EXPECT_EQ(dialog.EdtQTDDigChip->text(), QString());
    EXPECT_EQ(programTransactions(), 0) << "after the card dialog";
}
