// The connection to the server is lost for real: the test stops and restarts its own server.
#include "FirebirdServer.h"
#include "LogFile.h"
#include "LoopbackRelay.h"
#include "database/FirebirdError.h"
#include "database/untMD.h"
#include "platform/failure.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {
QString markerFolder() {
    return PastaExecutavel() + QStringLiteral("ControleCatraca");
}
QString marker() {
    return markerFolder() + QStringLiteral("/335544721.error");
}

class LostConnection : public ::testing::Test {
protected:
    void SetUp() override {
        server.createShopDatabase(file);
        QDir(markerFolder()).removeRecursively();
        QDir().mkpath(markerFolder());
        testlog::clear();
        TMD::EsperaReconexaoMs = 20;
    }
    void TearDown() override { server.start(); }

    uint8_t query(TMD& md) {
        std::unique_ptr<db::TDataSet> q;
        uint8_t result = md.Consultar(QStringLiteral("SELECT COUNT(*) AS QTDE FROM CADCARTAO"), q, 1);
        EXPECT_EQ(q != nullptr, result == 1);
        return result;
    }

    FirebirdServer& server = FirebirdServer::shared();
    QString file = server.fileFor(QStringLiteral("lost"));
};

// The log of a statement that met a lost connection and could not reopen it: its own error code
// first, then the failed reopen and the marker, written once.
void expectLostAndNotReopened(const TMD& md, const QString& code, qsizetype atLeast) {
    const QStringList lines = testlog::texts();
    ASSERT_GE(lines.size(), atLeast);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Erro = ") + code + QStringLiteral(", Mensagem = ")))
        << lines[0].toStdString();
    EXPECT_EQ(lines.mid(lines.size() - 2),
              (QStringList{QStringLiteral("Não foi possível restabelecer a conexão com o banco."),
                           QStringLiteral("Arquivo de erro criado Código do erro: 335544721")}));
    EXPECT_TRUE(QFile::exists(marker()));
    EXPECT_FALSE(md.ibdConexao.Connected());
}
} // namespace

TEST_F(LostConnection, ServerGoneThenBack) {
    TMD md;
    connectDataModule(md, server.connectionName(file));
    ASSERT_EQ(query(md), 1);
    server.stop();

    // First call on the lost link: its own code in the log, then the wait, the failed reopen and the marker.
    EXPECT_EQ(query(md), 0);
    ASSERT_NO_FATAL_FAILURE(expectLostAndNotReopened(md, QStringLiteral("335544726"), 3));
    QStringList lines;

    // Still down: the attach fails with the network code; the marker is not written again.
    testlog::clear();
    const QByteArray markerContent = testfiles::readAll(marker());
    EXPECT_EQ(query(md), 0);
    lines = testlog::texts();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Erro = 335544721, Mensagem = ")))
        << lines[0].toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("Não foi possível restabelecer a conexão com o banco."));
    EXPECT_TRUE(testlog::startingWith(QStringLiteral("Arquivo de erro criado")).isEmpty());
    EXPECT_EQ(testfiles::readAll(marker()), markerContent);

    // Back: an explicit begin does not reopen the connection, the next query does.
    server.start();
    testlog::clear();
    EXPECT_THROW(md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"), 3, 3), Failure);
    EXPECT_EQ(query(md), 1);
    EXPECT_EQ(md.ExecutarSQL(QStringLiteral("INSERT INTO CONFIGGERAL VALUES ('K', 'V')"), 3, 3), 1);
    EXPECT_TRUE(testlog::texts().isEmpty());
}

TEST_F(LostConnection, ServerBackWithinTheWaitReconnectsWithoutMarker) {
    TMD md;
    connectDataModule(md, server.connectionName(file));
    ASSERT_EQ(query(md), 1);
    server.stop();
    server.start();
    // The link was cut under the open attachment: logged, closed, reopened, answered with 0.
    EXPECT_EQ(query(md), 0);
    EXPECT_TRUE(md.ibdConexao.Connected());
    EXPECT_FALSE(QFile::exists(marker()));
    EXPECT_TRUE(testlog::startingWith(QStringLiteral("Não foi possível")).isEmpty());
    EXPECT_EQ(query(md), 1);
}

TEST_F(LostConnection, ServerDownAtStartThenUp) {
    server.stop();
    TMD md;
    try {
        connectDataModule(md, server.connectionName(file));
        FAIL() << "the open should fail while the server is down";
    } catch (const db::FirebirdError& e) {
        EXPECT_EQ(e.code(), 335544721);
    }
    server.start();
    EXPECT_EQ(query(md), 1);
    EXPECT_TRUE(md.ibdConexao.Connected());
}

// A server that accepts the connection and never answers: the attach gives up after the connect
// timeout (shortened here) and counts as a lost connection, marker included.
TEST_F(LostConnection, SilentServerIsALostConnection) {
    LoopbackRelay mute(0);
    TMD md;
    md.ibdConexao.DatabaseName = QStringLiteral("127.0.0.1/%1:%2").arg(mute.port()).arg(file);
    md.ibdConexao.Params = {QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=kestrelio")};
    md.ibdConexao.TempoLimiteConexao = 1;
    uint8_t result = 1;
    // Without a timeout the attach would wait for minutes.
    EXPECT_TRUE(endsWithin(60, mute, [&] { result = query(md); }));
    EXPECT_EQ(result, 0);
    ASSERT_NO_FATAL_FAILURE(expectLostAndNotReopened(md, QStringLiteral("335544421"), 1));
}
