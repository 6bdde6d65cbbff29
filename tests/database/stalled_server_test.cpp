// A server that stops answering with our attachment open (paused for real with SIGSTOP), and a
// host that never answers a connection attempt: every call gives up within its bound and counts
// as a lost connection, and once the server goes on the next read is answered right.
#include "../rules/shop_rows.h"
#include "FirebirdServer.h"
#include "LogFile.h"
#include "SimulatedController.h"
#include "database/FirebirdError.h"
#include "database/untMD.h"

#include <QDir>
#include <QFile>
#include <functional>
#include <future>
#include <gtest/gtest.h>

namespace {
constexpr int kBoundMs = 1000;
// A hang guard only: with the bound at one second, a call that is not given up on takes for ever.
constexpr auto kHang = std::chrono::seconds(90);

QString marker() {
    return PastaExecutavel() + QStringLiteral("ControleCatraca/335544721.error");
}

class StalledServer : public ::testing::Test {
protected:
    void SetUp() override {
        db::Connection::LimiteChamadaMs = kBoundMs;
        TMD::EsperaReconexaoMs = 20;
        server.createShopDatabase(file);
        ShopSession(name()).exec(
            QStringList{caixa("2021-05-03"), cartao(QStringLiteral("1236"), QStringLiteral("123"))});
        QDir(PastaExecutavel() + QStringLiteral("ControleCatraca")).removeRecursively();
        QDir().mkpath(PastaExecutavel() + QStringLiteral("ControleCatraca"));
        testlog::clear();
    }
    void TearDown() override { db::Connection::LimiteChamadaMs = 10000; }

    QString name() const { return server.connectionName(file); }
    void connect(TMD& md) {
        connectDataModule(md, name());
        md.ibdConexao.TempoLimiteConexao = 1;
    }
    // Runs the work while the server is paused; the server goes on afterwards, or when the work
    // hangs, so that a failure shows instead of a stuck suite.
    bool endsWhilePaused(const std::function<void()>& work) {
        PausedServer paused(server);
        auto done = std::async(std::launch::async, work);
        const bool ended = done.wait_for(kHang) == std::future_status::ready;
        paused.resume();
        done.get();
        return ended;
    }

    FirebirdServer& server = FirebirdServer::shared();
    QString file = server.fileFor(QStringLiteral("stalled"));
};

bool refused(TMD& md) {
    bool existe = false;
    return !md.VeriVendEmAbert(QStringLiteral("123"), existe) && existe;
}
} // namespace

// Each kind of call meets the paused server: a query, a statement, a whole card read, and the
// calls that raise their failure to the caller (a commit, the close).
TEST_F(StalledServer, EveryCallGivesUpAndTheNextReadIsRight) {
    struct Case {
        const char* name;
        std::function<void(TMD&)> before;   // on the running server
        std::function<QString(TMD&)> stall; // on the paused one
        QString outcome;
        bool logged; // handled as a lost connection by the statement layer
    };
    const Case cases[] = {
        {"query",
         {},
         [](TMD& md) {
             std::unique_ptr<db::TDataSet> q;
             return QString::number(md.Consultar(QStringLiteral("SELECT * FROM CADCARTAO"), q, 1));
         },
         QStringLiteral("0"),
         true},
        {"statement",
         {},
         [](TMD& md) {
             // Started by the statement itself, under the layer's protection.
             return QString::number(
                 md.ExecutarSQL(QStringLiteral("UPDATE CADCARTAO SET CAR_SITUACAO = 'N'"), 2, 3));
         },
         QStringLiteral("0"),
         true},
        {"card read",
         {},
         [](TMD& md) { return refused(md) ? QStringLiteral("refused") : QStringLiteral("answered"); },
         QStringLiteral("refused"),
         true},
        {"commit",
         [](TMD& md) {
             ASSERT_EQ(md.ExecutarSQL(QStringLiteral("UPDATE CADCARTAO SET CAR_SITUACAO = 'N'"), 1, 3), 1);
         },
         [](TMD& md) {
             md.FinalizarTransacao(3, true);
             return md.ibtAuxiliar.InTransaction() ? QStringLiteral("open") : QStringLiteral("ended");
         },
         QStringLiteral("ended"), true},
        {"close with a transaction open",
         [](TMD& md) {
             std::unique_ptr<db::TDataSet> q;
             ASSERT_EQ(md.Consultar(QStringLiteral("SELECT * FROM CADCARTAO"), q, 1), 1);
         },
         [](TMD& md) {
             try {
                 md.ibdConexao.Close();
             } catch (const db::FirebirdError& e) {
                 EXPECT_TRUE(db::conexaoPerdida(e.code())) << e.code();
             }
             return md.ibdConexao.Connected() ? QStringLiteral("attached") : QStringLiteral("closed");
         },
         QStringLiteral("closed"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(marker());
        TMD md;
        connect(md);
        if (c.before) c.before(md);
        testlog::clear();
        QString outcome;
        ASSERT_TRUE(endsWhilePaused([&] { outcome = c.stall(md); }));
        EXPECT_EQ(outcome, c.outcome);
        if (c.logged) {
            // Cancelled at the bound and handled as a lost connection; the reopen met the server
            // still paused: its connect timeout, the line and the marker.
            const QStringList lines = testlog::texts();
            ASSERT_FALSE(lines.isEmpty());
            EXPECT_TRUE(lines[0].startsWith(QStringLiteral(
                "Erro = 335544726, Mensagem = O servidor do banco de dados não respondeu em 1 segundos; a "
                "operação foi cancelada.")))
                << lines.join(u'\n').toStdString();
            EXPECT_TRUE(
                lines.contains(QStringLiteral("Não foi possível restabelecer a conexão com o banco.")));
            EXPECT_TRUE(QFile::exists(marker()));
        }
        // The server goes on: the next read opens the connection again and is answered right.
        testlog::clear();
        ShopSession(name()).exec(QStringLiteral("DELETE FROM VENDA"));
        bool existe = false;
        EXPECT_TRUE(md.VeriVendEmAbert(QStringLiteral("123"), existe));
        EXPECT_TRUE(testlog::startingWith(QStringLiteral("Erro = ")).isEmpty())
            << testlog::texts().join(u'\n').toStdString();
    }
}

// A host that drops connection attempts (here a listener whose backlog is full): the attach gives
// up within the connect timeout, though the client's own connect would wait minutes.
TEST_F(StalledServer, AttachToAHostThatNeverAnswersGivesUp) {
    sim::SimulatedController silent(sim::SimulatedController::Mode::Unresponsive);
    ASSERT_TRUE(silent.listen());
    TMD md;
    md.ibdConexao.DatabaseName = QStringLiteral("127.0.0.1/%1:%2").arg(silent.port()).arg(file);
    md.ibdConexao.Params = {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=kestrelio")};
    md.ibdConexao.TempoLimiteConexao = 1;
    auto attach = std::async(std::launch::async, [&] {
        try {
            md.ibdConexao.Open();
            return QStringLiteral("opened");
        } catch (const db::FirebirdError& e) {
            return QString::number(e.code()) + u' ' + e.message();
        }
    });
    ASSERT_EQ(attach.wait_for(kHang), std::future_status::ready);
    EXPECT_EQ(attach.get(), QStringLiteral("335544721 O servidor do banco de dados 127.0.0.1 (porta %1) não "
                                           "respondeu em 1 segundos.")
                                .arg(silent.port()));
    EXPECT_FALSE(md.ibdConexao.Connected());
}
