// The whole program as a process on a prepared site, with simulated controllers.
#include "Files.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "Site.h"
#include "base/untFuncoes.h"
#include "turnstile/codec.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <vector>

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
    // The signal came during the 30-second wait after the lost connection: the wait ends, nothing
    // is reopened and no marker asks for a restart of a program that is closing.
    const QStringList texts = unreachable.logTexts();
    EXPECT_EQ(texts.mid(texts.size() - 2),
              (QStringList{QStringLiteral("<<< Finalizou a Catraca"), QStringLiteral("Sistema Encerrado.")}))
        << texts.join(u'|').toStdString();
    EXPECT_FALSE(texts.contains(QStringLiteral("Não foi possível restabelecer a conexão com o banco.")));
    EXPECT_FALSE(QFile::exists(unreachable.markers() + QStringLiteral("/335544721.error")));
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

namespace {
// Waits for the process to end; true also when it has ended already.
bool ended(QProcess& p) {
    return p.state() == QProcess::NotRunning || p.waitForFinished(30000);
}

const QString kLogUnwritable = QStringLiteral("Não foi possível gravar o log de atividades");

// Runs the program on a site whose activity log cannot be written, from the start or from some
// moment of the run.
struct UnwritableLog {
    const char* name;
    bool fromTheStart;
    void (*spoil)(const Site&);
};

void diskFull(const Site& site) {
    QDir().mkpath(QFileInfo(site.logPath()).absolutePath());
    QFile::remove(site.logPath());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), site.logPath()));
}

// A file where the Log folder should be: the log cannot even be opened.
void noFolder(const Site& site) {
    const QString folder = QFileInfo(site.logPath()).absolutePath();
    QDir(folder).removeRecursively();
    testfiles::write(folder, "not a folder");
}
} // namespace

TEST_F(WholeProgram, UnwritableLogNeitherEndsNorKeepsTheProgram) {
    for (const UnwritableLog& c : {UnwritableLog{"disk full from the start", true, diskFull},
                                   UnwritableLog{"no log folder from the start", true, noFolder},
                                   UnwritableLog{"disk full during the run", false, diskFull}}) {
        SCOPED_TRACE(c.name);
        QDir(QFileInfo(site.logPath()).absolutePath()).removeRecursively();
        QFile::remove(QFileInfo(site.logPath()).absolutePath());
        if (c.fromTheStart) c.spoil(site);
        const int before = a.connectionsAccepted();
        auto program = site.start();
        // Start-up went on to the turnstiles.
        ASSERT_TRUE(a.waitForConnections(before + 1));
        if (!c.fromTheStart) c.spoil(site);
        EXPECT_EQ(program->state(), QProcess::Running);

        Site::signal(*program, SIGTERM);
        ASSERT_TRUE(ended(*program));
        EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program->exitCode(), 0);
        EXPECT_FALSE(QFile::exists(site.lockFile()));
        // Told once, in the program's language.
        const QString errors = QString::fromUtf8(program->readAllStandardError());
        EXPECT_EQ(errors.count(kLogUnwritable), 1) << errors.toStdString();
    }
}

TEST_F(WholeProgram, TerminationSignalDuringCardReadsClosesWithTheDatabaseOpen) {
    ShopSession(FirebirdServer::shared().connectionName(FirebirdServer::shared().aliasedFile()))
        .exec({QStringLiteral("INSERT INTO CAIXASITUACAO VALUES (1, '2021-05-03', 'S')"),
               QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '1236', 'N', NULL, NULL, '123')"),
               QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '1243', 'N', NULL, NULL, '124')"),
               QStringLiteral("INSERT INTO VENDA VALUES (1, '2021-05-03', 57, 'A')"),
               QStringLiteral("INSERT INTO VENDACARTAO VALUES (1, 1, '2021-05-03', 57, '1243')"),
               QStringLiteral("INSERT INTO VENDAITEM VALUES (1, '2021-05-03', 57, 1, 9.90, NULL)")});
    const std::map<QString, QString> outcome = {{QStringLiteral("123"), kRespostaLiberado},
                                                {QStringLiteral("124"), kRespostaNegado},
                                                {QStringLiteral("999"), kRespostaSemCadastro}};
    const QStringList cards = {QStringLiteral("123"), QStringLiteral("124"), QStringLiteral("999")};
    constexpr int kReadsBeforeTheSignal = 9;
    for (int sig : {SIGTERM, SIGINT, SIGTERM, SIGINT}) {
        SCOPED_TRACE(sig);
        QFile::remove(site.logPath());
        const int before = a.connectionsAccepted();
        const qsizetype answeredBefore = a.replies().size();
        auto program = site.start();
        ASSERT_TRUE(a.waitForConnections(before + 1));
        // One read at a time, each sent as soon as the previous one is answered, until the
        // program has closed its connection.
        QStringList sent;
        for (int read = 0; a.isConnected(); ++read) {
            sent << cards[read % cards.size()];
            a.sendRead(sent.last());
            if (read == kReadsBeforeTheSignal) Site::signal(*program, sig);
            eventually([&] { return a.replies().size() - answeredBefore > read || !a.isConnected(); });
        }
        ASSERT_TRUE(ended(*program));
        EXPECT_EQ(program->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program->exitCode(), 0);

        const QStringList replies = a.replies().mid(answeredBefore);
        EXPECT_GE(replies.size(), kReadsBeforeTheSignal);
        ASSERT_LE(replies.size(), sent.size());
        for (qsizetype i = 0; i < replies.size(); ++i)
            EXPECT_EQ(replies[i], outcome.at(sent[i]))
                << "read " << i << " of card " << sent[i].toStdString();
        const QStringList texts = site.logTexts();
        EXPECT_FALSE(texts.join(u'|').contains(QStringLiteral("335544856")))
            << texts.join(u'\n').toStdString();
        ASSERT_GE(texts.size(), 4);
        EXPECT_EQ(texts.mid(texts.size() - 2), (QStringList{QStringLiteral("<<< Finalizou a Catraca"),
                                                            QStringLiteral("Sistema Encerrado.")}));
        EXPECT_EQ(texts.count(QStringLiteral("<<< Finalizou a Catraca")), 1);
    }
}

namespace {
// Instances of the program started at the same instant on one site.
struct Instances {
    Instances(const Site& site, int count) {
        for (int i = 0; i < count; ++i)
            processes.push_back(site.start());
    }
    int finished() const {
        int n = 0;
        for (const auto& p : processes)
            n += p->state() == QProcess::NotRunning ? 1 : 0;
        return n;
    }
    QProcess* running() const {
        for (const auto& p : processes)
            if (p->state() != QProcess::NotRunning) return p.get();
        return nullptr;
    }
    std::vector<std::unique_ptr<QProcess>> processes;
};
} // namespace

TEST_F(WholeProgram, OfInstancesStartedAtOnceAtMostOneRuns) {
    constexpr int kInstances = 4;
    QProcess* previous = nullptr;
    std::vector<Instances> rounds;
    rounds.reserve(4);
    for (int round = 0; round < 4; ++round) {
        // Every other round starts while the running instance is closing.
        const bool whileOneCloses = previous != nullptr;
        SCOPED_TRACE(testing::Message() << "round " << round << (whileOneCloses ? ", one closing" : ""));
        const int before = a.connectionsAccepted();
        if (whileOneCloses) Site::signal(*previous, SIGTERM);
        rounds.emplace_back(site, kInstances);
        Instances& now = rounds.back();
        // Each instance either ends at its start or runs and connects to the turnstile.
        ASSERT_TRUE(
            eventually([&] { return now.finished() + a.connectionsAccepted() - before >= kInstances; }));
        if (whileOneCloses) {
            ASSERT_TRUE(ended(*previous));
            EXPECT_GE(now.finished(), kInstances - 1);
        } else {
            EXPECT_EQ(now.finished(), kInstances - 1);
        }
        previous = now.running();
        if (previous == nullptr) continue;
        EXPECT_TRUE(testfiles::readAll(site.lockFile()).startsWith("VORTALIS 1 ATIVADO EM "));
        if (whileOneCloses) {
            Site::signal(*previous, SIGTERM);
            ASSERT_TRUE(ended(*previous));
            previous = nullptr;
        }
    }
    if (previous != nullptr) {
        Site::signal(*previous, SIGTERM);
        ASSERT_TRUE(ended(*previous));
    }
}
