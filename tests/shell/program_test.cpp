// The whole program as a process on a prepared site, with simulated controllers.
#include "Files.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "Site.h"
#include "shell/untFuncoes.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class WholeProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        FirebirdServer& server = FirebirdServer::shared();
        server.createShopDatabase(server.aliasedFile());
    }
    void SetUp() override {
        ASSERT_TRUE(a.listen() && b.listen());
        ShopSession session(FirebirdServer::shared().connectionName(FirebirdServer::shared().aliasedFile()));
        session.clear();
        session.exec(
            {catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"), QString::number(a.port())),
             catraca(2, QStringLiteral("Saída"), QStringLiteral("127.0.0.1"), QString::number(b.port()))});
    }
    sim::SimulatedController a, b;
    Site site{FirebirdServer::shared().servidor()};
};

const QStringList kWholeRun = {QStringLiteral("Sistema Iniciado."), QStringLiteral(">>> Iniciou a Catraca"),
                               QStringLiteral("<<< Finalizou a Catraca"),
                               QStringLiteral("Sistema Encerrado.")};
} // namespace

TEST_F(WholeProgram, ConnectsTheTurnstilesAndEndsOnTerminationSignals) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        QFile::remove(site.logPath());
        const int before = a.connectionsAccepted();
        auto program = site.start();
        ASSERT_TRUE(a.waitForConnections(before + 1) && b.waitForConnections(before + 1));
        EXPECT_TRUE(testfiles::readAll(site.lockFile()).startsWith("VORTALIS 1 ATIVADO EM "));
        Site::signal(*program, sig);
        ASSERT_TRUE(program->waitForFinished(30000));
        EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program->exitCode(), 0);
        EXPECT_EQ(site.logTexts(), kWholeRun);
        EXPECT_FALSE(QFile::exists(site.lockFile()));
    }
}

TEST_F(WholeProgram, SecondInstanceEndsAtOnceAndLeavesTheFirstAlone) {
    auto first = site.start();
    ASSERT_TRUE(a.waitForConnections(1));
    const QByteArray lockLine = testfiles::readAll(site.lockFile());

    auto second = site.start();
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(testfiles::readAll(site.lockFile()), lockLine);
    EXPECT_EQ(site.logTexts(),
              (QStringList{QStringLiteral("Sistema Iniciado."), QStringLiteral(">>> Iniciou a Catraca"),
                           QStringLiteral("Sistema Iniciado."), QStringLiteral("Sistema Encerrado.")}));
    EXPECT_EQ(a.connectionsAccepted(), 1);

    Site::signal(*first, SIGTERM);
    ASSERT_TRUE(first->waitForFinished(30000));
    EXPECT_FALSE(QFile::exists(site.lockFile()));
}

TEST_F(WholeProgram, UnreachableDatabaseIsShownAndStartUpGoesOn) {
    Site unreachable(QStringLiteral("localhost/1")); // nothing listens on port 1
    auto program = unreachable.start();
    // The standard error box (written to standard error without a screen), then the window.
    ASSERT_TRUE(eventually([&] { return unreachable.logTexts().size() >= 3; }, 60000));
    EXPECT_EQ(unreachable.logTexts().mid(0, 2),
              (QStringList{QStringLiteral("Sistema Iniciado."), QStringLiteral(">>> Iniciou a Catraca")}));
    EXPECT_TRUE(unreachable.logTexts()[2].startsWith(QStringLiteral("Erro = 335544721, Mensagem = ")));
    Site::signal(*program, SIGTERM);
    ASSERT_TRUE(program->waitForFinished(60000));
    EXPECT_EQ(program->exitCode(), 0);
    const QString errors = QString::fromUtf8(program->readAllStandardError());
    EXPECT_TRUE(errors.contains(
        QStringLiteral("vortalis error: Unable to complete network request to host \"localhost\"")))
        << errors.toStdString();
    // The reconnect timer may tick during the 30-second wait; the end is logged all the same.
    const QStringList texts = unreachable.logTexts();
    EXPECT_TRUE(texts.contains(QStringLiteral("<<< Finalizou a Catraca"))) << texts.join(u'|').toStdString();
    EXPECT_EQ(texts.last(), QStringLiteral("Sistema Encerrado."));
    EXPECT_TRUE(QFile::exists(unreachable.markers() + QStringLiteral("/335544721.error")));
}

TEST_F(WholeProgram, ClosingTheWindowLogsTheEnd) {
    testfiles::write(PastaExecutavel() + QStringLiteral("Log/Vortalis.LOG"), "");
    ProgramUnderTest program(FirebirdServer::shared().connectionName(FirebirdServer::shared().aliasedFile()));
    TfrmPrincipal& w = program.window();
    w.show();
    ASSERT_TRUE(a.waitForConnections(1));
    w.close();
    EXPECT_TRUE(
        QString::fromLatin1(testfiles::readAll(PastaExecutavel() + QStringLiteral("Log/Vortalis.LOG")))
            .endsWith(QStringLiteral(" <<< Finalizou a Catraca\r\n")));
}
