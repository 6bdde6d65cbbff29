// Card reads answered end to end: a simulated controller, the real sockets and handlers, the
// access decision against a real database.
#include "DialogRecorder.h"
#include "LogFile.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "turnstile/codec.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const QString kStamp = QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d");

QStringList lines(TextPane* pane) {
    return pane->toPlainText().split(u'\n');
}

// Checks pane lines against patterns in which "@" stands for the date-time text.
void expectLines(TextPane* pane, const QStringList& patterns) {
    const QStringList actual = lines(pane);
    ASSERT_EQ(actual.size(), patterns.size()) << actual.join(u'\n').toStdString();
    for (qsizetype i = 0; i < patterns.size(); ++i) {
        QStringList pieces;
        for (const QString& piece : patterns[i].split(u'@'))
            pieces << QRegularExpression::escape(piece);
        const QString pattern = u'^' + pieces.join(kStamp) + u'$';
        EXPECT_TRUE(QRegularExpression(pattern).match(actual[i]).hasMatch()) << actual[i].toStdString();
    }
}

class CardRead : public ::testing::Test {
protected:
    static inline QString database;
    static void SetUpTestSuite() {
        database = FirebirdServer::shared().shopDatabase(QStringLiteral("reads"));
    }
    void SetUp() override {
        ShopSession session(database);
        session.clear();
        session.exec({QStringLiteral("INSERT INTO CAIXASITUACAO VALUES (1, '2021-05-03', 'S')"),
                      QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '1236', 'N', NULL, NULL, '123')"),
                      QStringLiteral("INSERT INTO CADCARTAO VALUES (1, '1243', 'N', NULL, NULL, '124')"),
                      QStringLiteral("INSERT INTO VENDA VALUES (1, '2021-05-03', 57, 'A')"),
                      QStringLiteral("INSERT INTO VENDACARTAO VALUES (1, 1, '2021-05-03', 57, '1243')"),
                      QStringLiteral("INSERT INTO VENDAITEM VALUES (1, '2021-05-03', 57, 1, 9.90, NULL)")});
        QDir(PastaExecutavel() + QStringLiteral("ControleCatraca")).removeRecursively();
        QDir().mkpath(PastaExecutavel() + QStringLiteral("ControleCatraca"));
        testlog::clear();
        ASSERT_TRUE(controller.listen());
        session.exec(catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"),
                             QString::number(controller.port())));
        program = std::make_unique<ProgramUnderTest>(database);
        program->window().ConfigurarCatracas();
        ASSERT_TRUE(controller.waitForConnections(1));
        ASSERT_TRUE(eventually([&] { return window().Clients[0]->Socket()->Connected(); }));
    }
    TfrmPrincipal& window() { return program->window(); }

    sim::SimulatedController controller;
    std::unique_ptr<ProgramUnderTest> program;
};
} // namespace

TEST_F(CardRead, ThreeOutcomesAnsweredAsExactFrames) {
    struct Case {
        const char* comanda;
        QString reply;
        qsizetype size;
    };
    const Case cases[] = {
        {"123", kRespostaLiberado, 37}, {"124", kRespostaNegado, 36}, {"999", kRespostaSemCadastro, 43}};
    int answered = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.comanda);
        window().mmRecebidosAscii->clearLines();
        window().mmEnviadosString->clearLines();
        controller.sendRead(QString::fromLatin1(c.comanda));
        ASSERT_TRUE(controller.waitForReplies(++answered));
        const QByteArray frame = controller.frames().last();
        EXPECT_EQ(frame, sim::SimulatedController::frame(c.reply));
        EXPECT_EQ(frame.size(), c.size);
        const QString comanda = QString::fromLatin1(c.comanda);
        expectLines(window().mmRecebidosAscii, {QStringLiteral("@ 01+REON+000+0]") + comanda + u']',
                                                QString(), QStringLiteral("@ Comanda = ") + comanda});
        expectLines(
            window().mmEnviadosString,
            {QStringLiteral("Inicio envio: @ ") + c.reply + QStringLiteral(" Comanda: ") + comanda, QString(),
             QStringLiteral("Fim envio: @ ") + c.reply + QStringLiteral(" Comanda: ") + comanda, QString()});
    }
    EXPECT_EQ(ShopSession(database).scalar(QStringLiteral("SELECT VEN_SITUACAO FROM VENDA")),
              QStringLiteral("A"));
}

TEST_F(CardRead, ReadsThatAreNotRequestsGetTheirLinesAndNoReply) {
    controller.sendRaw(QByteArray("\x02\x01\x00\x41\x03", 5));
    ASSERT_TRUE(eventually([&] { return window().mmRecebidosAscii->lineCount() == 2; }));
    controller.sendRaw(sim::SimulatedController::frame(QStringLiteral("01+REON+00+0]123]")));
    ASSERT_TRUE(eventually([&] { return window().mmRecebidosAscii->lineCount() == 4; }));
    QTest::qWait(200);
    expectLines(window().mmRecebidosAscii,
                {QStringLiteral("@ "), QString(), QStringLiteral("@ 01+REON+00+0]123]"), QString()});
    EXPECT_TRUE(controller.received().empty());
    EXPECT_EQ(window().mmEnviadosString->lineCount(), 0);
}

TEST_F(CardRead, EmptyComandaIsStillDecided) {
    controller.sendRaw(sim::SimulatedController::frame(QStringLiteral("01+REON+000+0")));
    ASSERT_TRUE(controller.waitForReplies(1));
    EXPECT_EQ(controller.replies(), QStringList{kRespostaSemCadastro});
    EXPECT_EQ(lines(window().mmRecebidosAscii).last().right(11), QStringLiteral(" Comanda = "));
}

TEST_F(CardRead, TwoFramesInOneReadAreAnsweredOnce) {
    const QByteArray both = sim::SimulatedController::frame(cardReadRequest(QStringLiteral("123"))) +
                            sim::SimulatedController::frame(cardReadRequest(QStringLiteral("124")));
    controller.sendRaw(both);
    ASSERT_TRUE(controller.waitForReplies(1));
    QTest::qWait(300);
    EXPECT_EQ(controller.replies(), QStringList{kRespostaLiberado});
    EXPECT_TRUE(lines(window().mmRecebidosAscii).last().endsWith(QStringLiteral(" Comanda = 123")));
}

TEST_F(CardRead, FrameSplitOverTwoReadsIsTwoFrames) {
    controller.sendSplit(sim::SimulatedController::frame(cardReadRequest(QStringLiteral("123"))), 10);
    ASSERT_TRUE(eventually([&] { return window().mmRecebidosAscii->lineCount() == 4; }));
    QTest::qWait(300);
    EXPECT_TRUE(controller.received().empty());
    expectLines(window().mmRecebidosAscii,
                {QStringLiteral("@ 01+RE"), QString(), QStringLiteral("@ 0+0]123]"), QString()});
}

TEST_F(CardRead, UncaughtFailureInTheDecisionShowsTheErrorBoxAndTheConnectionLivesOn) {
    // A log that cannot be written makes the decision fail with an I/O error.
    QFile::remove(testlog::path());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), testlog::path()));
    DialogRecorder dialogs;
    controller.sendRead(QStringLiteral("123"));
    ASSERT_TRUE(eventually([&] { return !dialogs.shown.empty(); }));
    EXPECT_EQ(dialogs.shown.front().kind, dialogs::Kind::StandardError);
    QTest::qWait(200);
    EXPECT_TRUE(controller.received().empty());

    QFile::remove(testlog::path());
    controller.sendRead(QStringLiteral("123"));
    ASSERT_TRUE(controller.waitForReplies(1));
    EXPECT_EQ(controller.replies(), QStringList{kRespostaLiberado});
}

TEST_F(CardRead, RefusedConnectionMarkerIsCreatedOnce) {
    sim::SimulatedController refusing(sim::SimulatedController::Mode::Refuse);
    ASSERT_TRUE(refusing.listen());
    ShopSession(database).exec(
        catraca(2, QStringLiteral("Recusa"), QStringLiteral("127.0.0.1"), QString::number(refusing.port())));
    for (int pass = 0; pass < 2; ++pass) {
        window().mmLog->clearLines();
        window().ReconectarCatracas();
        ASSERT_TRUE(eventually(
            [&] { return window().mmLog->toPlainText().contains(QStringLiteral("Código do erro: 10061")); }));
    }
    EXPECT_TRUE(QFile::exists(PastaExecutavel() + QStringLiteral("ControleCatraca/10061.error")));
    EXPECT_EQ(testlog::texts(), (QStringList{QStringLiteral("Catraca[Recusa] Código do erro: 10061"),
                                             QStringLiteral("Criar Arquivo para reinciar"),
                                             QStringLiteral("Arquivo de erro criado Código do erro: 10061"),
                                             QStringLiteral("Catraca[Recusa] Código do erro: 10061"),
                                             QStringLiteral("Criar Arquivo para reinciar")}));
}

TEST_F(CardRead, ThousandReadsOnTwoTurnstilesEachAnsweredOnce) {
    sim::SimulatedController second;
    ASSERT_TRUE(second.listen());
    ShopSession(database).exec(
        catraca(2, QStringLiteral("Saída"), QStringLiteral("127.0.0.1"), QString::number(second.port())));
    window().ReconectarCatracas();
    ASSERT_TRUE(controller.waitForConnections(2) && second.waitForConnections(1));
    ASSERT_TRUE(eventually([&] { return window().Clients[1]->Socket()->Connected(); }));
    window().tmrConectarCatracas->stop();

    const QString comandas[] = {QStringLiteral("123"), QStringLiteral("124"), QStringLiteral("999")};
    const QString expected[] = {kRespostaLiberado, kRespostaNegado, kRespostaSemCadastro};
    constexpr int kReads = 1000;
    for (int i = 0; i < kReads; ++i) {
        sim::SimulatedController& target = i % 2 == 0 ? controller : second;
        const qsizetype before = target.replies().size();
        target.sendRead(comandas[i % 3]);
        ASSERT_TRUE(target.waitForReplies(static_cast<int>(before) + 1)) << i;
        ASSERT_EQ(target.replies().last(), expected[i % 3]) << i;
    }
    QTest::qWait(200);
    EXPECT_EQ(controller.replies().size() + second.replies().size(), kReads);
    EXPECT_EQ(testlog::startingWith(QStringLiteral("Comanda de numero : ")).size(), kReads);
    EXPECT_TRUE(testlog::startingWith(QStringLiteral("Erro = ")).isEmpty());
}

TEST_F(CardRead, RebuildDuringAnErrorBoxOpenedByAClientsOwnEvent) {
    // The reconnect timer can tick while the error box of a read is open; the rebuild frees the
    // client whose event opened the box.
    QFile::remove(testlog::path());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), testlog::path()));
    bool rebuilt = false;
    const auto previous = dialogs::setPresenter([&](dialogs::Kind, const QString&) {
        window().ReconectarCatracas();
        rebuilt = true;
    });
    controller.sendRead(QStringLiteral("123"));
    ASSERT_TRUE(eventually([&] { return rebuilt; }));
    dialogs::setPresenter(previous);
    QFile::remove(testlog::path());

    ASSERT_TRUE(controller.waitForConnections(2));
    ASSERT_TRUE(eventually([&] { return window().Clients[0]->Socket()->Connected(); }));
    controller.sendRead(QStringLiteral("123"));
    ASSERT_TRUE(controller.waitForReplies(1));
    EXPECT_EQ(controller.replies(), QStringList{kRespostaLiberado});
}
