// Card reads answered end to end: a simulated controller, the real sockets and handlers, the
// access decision against a real database.
#include "DialogRecorder.h"
#include "LogFile.h"
#include "ModalBox.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "shell/Application.h"
#include "turnstile/codec.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const QString kStamp = QStringLiteral("\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d");

// The resident memory of this process.
qint64 residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

QStringList lines(TextPane* pane) {
    return pane->text().split(u'\n');
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
    // A second turnstile beside the first, both connected, with the reconnect timer stopped.
    void addSecondTurnstile(sim::SimulatedController& second) {
        ASSERT_TRUE(second.listen());
        ShopSession(database).exec(
            catraca(2, QStringLiteral("Saída"), QStringLiteral("127.0.0.1"), QString::number(second.port())));
        window().ReconectarCatracas();
        ASSERT_TRUE(controller.waitForConnections(2) && second.waitForConnections(1));
        ASSERT_TRUE(eventually([&] { return window().Clients[1]->Socket()->Connected(); }));
        window().tmrConectarCatracas->stop();
    }

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

TEST_F(CardRead, FramesAreAssembledFromTheStream) {
    using sim::SimulatedController;
    const QByteArray f123 = SimulatedController::frame(cardReadRequest(QStringLiteral("123")));
    const QByteArray f124 = SimulatedController::frame(cardReadRequest(QStringLiteral("124")));
    const QByteArray f999 = SimulatedController::frame(cardReadRequest(QStringLiteral("999")));
    struct Case {
        const char* name;
        QList<QByteArray> reads; // each sent on its own, a moment after the one before
        QStringList replies;
        QStringList receivedPane; // "@" stands for the date-time text
        QStringList log;          // lines the activity log must hold
    };
    const Case cases[] = {
        {"split over two reads",
         {f123.left(10), f123.mid(10)},
         {kRespostaLiberado},
         {"@ 01+REON+000+0]123]", "", "@ Comanda = 123"},
         {}},
        {"split over three reads",
         {f124.left(1), f124.mid(1, 2), f124.mid(3)},
         {kRespostaNegado},
         {"@ 01+REON+000+0]124]", "", "@ Comanda = 124"},
         {}},
        {"bytes before the frame are dropped",
         {QByteArray("xyz\r\n") + f124},
         {kRespostaNegado},
         {"@ xyz\\x0D\\x0A", "", "@ 01+REON+000+0]124]", "", "@ Comanda = 124"},
         {}},
        {"two reads waiting: the newest is answered",
         {f123 + f124},
         {kRespostaNegado},
         {"@ 01+REON+000+0]123]", "", "@ 01+REON+000+0]124]", "", "@ Comanda = 124"},
         {"Catraca[Entrada] Leitura substituída por outra mais recente, sem resposta: 01+REON+000+0]123]"}},
        {"a broken frame does not swallow the next one",
         {QByteArray("\x02\x01\x00\x41\x03", 5), f999},
         {kRespostaSemCadastro},
         {"@ \\x02\\x01\\x00A\\x03", "", "@ 01+REON+000+0]999]", "", "@ Comanda = 999"},
         {}},
        {"a length beyond any frame is no frame",
         {QByteArray("\x02\xff\xff", 3) + f123},
         {kRespostaLiberado},
         {"@ \\x02ÿÿ", "", "@ 01+REON+000+0]123]", "", "@ Comanda = 123"},
         {}},
        {"a read answered whatever frame follows it",
         {f123 + SimulatedController::frame(QStringLiteral("01+REON+00+0]4711]"))},
         {kRespostaLiberado},
         {"@ 01+REON+000+0]123]", "", "@ Comanda = 123", "@ 01+REON+00+0]4711]", ""},
         {}},
        {"a stray start byte holds no read",
         {QByteArray("\x02\x10\x01", 3) + f124},
         {kRespostaNegado},
         {"@ \\x02\\x10\\x01", "", "@ 01+REON+000+0]124]", "", "@ Comanda = 124"},
         {}},
        {"a frame that is not a request gets no reply",
         {SimulatedController::frame(QStringLiteral("01+REON+00+0]123]"))},
         {},
         {"@ 01+REON+00+0]123]", ""},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window().mmRecebidosAscii->clearLines();
        testlog::clear();
        const qsizetype before = controller.replies().size();
        for (const QByteArray& read : c.reads) {
            controller.sendRaw(read);
            QTest::qWait(100);
        }
        ASSERT_TRUE(
            eventually([&] { return window().mmRecebidosAscii->lineCount() >= c.receivedPane.size(); }));
        QTest::qWait(200);
        EXPECT_EQ(controller.replies().mid(before), c.replies);
        expectLines(window().mmRecebidosAscii, c.receivedPane);
        for (const QString& line : c.log)
            EXPECT_TRUE(testlog::texts().contains(line)) << line.toStdString();
    }
}

TEST_F(CardRead, OverlongComandaIsRefusedWithoutTheDatabase) {
    const QString comanda(TClienteGPRS::kMaxComanda + 1, u'7');
    controller.sendRead(comanda);
    ASSERT_TRUE(controller.waitForReplies(1));
    EXPECT_EQ(controller.replies(), QStringList{kRespostaSemCadastro});
    EXPECT_TRUE(testlog::startingWith(QStringLiteral("Comanda de numero")).isEmpty());
    EXPECT_EQ(testlog::texts(),
              QStringList{QStringLiteral("Catraca[Entrada] Comanda com mais de 40 caracteres, "
                                         "sem consulta ao banco: ") +
                          comanda});
}

TEST_F(CardRead, EndlessBytesFromOneControllerNeitherGrowMemoryNorHoldTheOthers) {
    sim::SimulatedController second;
    ASSERT_NO_FATAL_FAILURE(addSecondTurnstile(second));

    struct Flood {
        const char* name;
        QByteArray head;
        char fill;
    };
    const Flood floods[] = {{"no frame start", {}, 'A'},
                            {"line feeds", {}, '\n'},
                            {"a frame that never ends", QByteArray("\x02\x00\x02", 3), '9'},
                            {"frame starts", {}, '\x02'}};
    [[maybe_unused]] const qint64 startKb = residentKb();
    for (const Flood& f : floods) {
        SCOPED_TRACE(f.name);
        controller.sendRaw(f.head);
        controller.sendFlood(8 * 1024 * 1024, f.fill);
        for (int i = 0; i < 5; ++i) {
            second.sendRead(QStringLiteral("123"));
            ASSERT_TRUE(second.waitForReplies(static_cast<int>(second.replies().size()) + 1));
        }
        // The flood is taken in full and dropped as it comes.
        ASSERT_TRUE(eventually([&] { return controller.allSent(); }, 120000));
    }
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed memory in quarantine, so the resident size says nothing there.
    EXPECT_LT(residentKb() - startKb, 16 * 1024);
#endif
    EXPECT_EQ(second.replies(), QStringList(20, kRespostaLiberado));
    for (const QString& line : lines(window().mmRecebidosAscii)) {
        EXPECT_LE(line.size(), kDisplayLength + 60);
        EXPECT_FALSE(line.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1F]"))));
    }
    EXPECT_TRUE(controller.replies().isEmpty());
}

TEST_F(CardRead, ReadsArrivingDuringABoxAreAnsweredWithTheirOwnCard) {
    // A failing log makes the first read's decision fail: its error box stays open while the
    // next guest's read arrives.
    QFile::remove(testlog::path());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), testlog::path()));
    int boxes = 0;
    const auto previous = dialogs::setPresenter([&](dialogs::Kind, const QString&) {
        ++boxes;
        QFile::remove(testlog::path());
        controller.sendRead(QStringLiteral("124"));
        showModalBoxUntil([&] { return controller.replies().size() == 1; }, 5000);
    });
    controller.sendRead(QStringLiteral("999"));
    ASSERT_TRUE(eventually([&] { return boxes == 1 && controller.replies().size() == 1; }));
    dialogs::setPresenter(previous);
    controller.sendRead(QStringLiteral("123"));
    ASSERT_TRUE(controller.waitForReplies(2));
    QTest::qWait(200);
    EXPECT_EQ(controller.replies(), (QStringList{kRespostaNegado, kRespostaLiberado}));
    const QStringList sent = lines(window().mmEnviadosString);
    ASSERT_EQ(sent.size(), 8);
    EXPECT_TRUE(sent[0].endsWith(kRespostaNegado + QStringLiteral(" Comanda: 124")));
    EXPECT_TRUE(sent[4].endsWith(kRespostaLiberado + QStringLiteral(" Comanda: 123")));
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

// The log's disk is full: every read's decision fails with a failure nobody catches. While the
// first one's box is open, the other turnstile's read fails too; it opens no box of its own, and
// neither read is answered.
TEST_F(CardRead, ErrorBoxesNeverPileUp) {
    sim::SimulatedController second;
    ASSERT_NO_FATAL_FAILURE(addSecondTurnstile(second));
    QFile::remove(testlog::path());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), testlog::path()));
    const auto previous = dialogs::setPresenter({});
    showMessageBoxes(); // the program's real boxes, on the offscreen screen
    const auto openBoxes = [] {
        QList<QMessageBox*> boxes;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) boxes << box;
        return boxes;
    };
    const auto readsTaken = [&] {
        return window().mmRecebidosAscii->text().count(QStringLiteral(" Comanda = "));
    };
    qsizetype most = 0;
    bool secondSent = false;
    QDeadlineTimer settled;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const QList<QMessageBox*> boxes = openBoxes();
        most = std::max(most, boxes.size());
        if (!boxes.isEmpty() && !secondSent) {
            secondSent = true;
            second.sendRead(QStringLiteral("124"));
        }
        if (readsTaken() < 2) settled.setRemainingTime(300);
        if (readsTaken() >= 2 && settled.hasExpired())
            for (QMessageBox* box : boxes)
                box->done(0);
    });
    watch.start(10);
    controller.sendRead(QStringLiteral("123"));
    EXPECT_TRUE(eventually([&] { return readsTaken() >= 2 && openBoxes().isEmpty() && most > 0; }));
    watch.stop();
    dialogs::setPresenter(previous);
    EXPECT_EQ(most, 1);
    QTest::qWait(200);
    EXPECT_TRUE(controller.replies().isEmpty());
    EXPECT_TRUE(second.replies().isEmpty());
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
            [&] { return window().mmLog->text().contains(QStringLiteral("Código do erro: 10061")); }));
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
    ASSERT_NO_FATAL_FAILURE(addSecondTurnstile(second));

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

TEST_F(CardRead, RebuildByTheTimerInsideABoxOpenedByTheClientsOwnRead) {
    // The box of a failed read runs its own message loop; the reconnect timer ticks in it and
    // rebuilds the connections while the read's handler still waits below the box.
    QFile::remove(testlog::path());
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), testlog::path()));
    window().tmrConectarCatracas->setInterval(50);
    bool shown = false;
    const auto previous = dialogs::setPresenter([&](dialogs::Kind, const QString&) {
        shown = true;
        QFile::remove(testlog::path());
        EXPECT_TRUE(showModalBoxUntil([&] { return controller.connectionsAccepted() >= 3; }));
    });
    controller.sendRead(QStringLiteral("123"));
    ASSERT_TRUE(eventually([&] { return shown; }));
    dialogs::setPresenter(previous);
    window().tmrConectarCatracas->stop();

    ASSERT_TRUE(eventually([&] { return window().Clients[0]->Socket()->Connected(); }));
    const int accepted = controller.connectionsAccepted();
    ASSERT_TRUE(controller.waitForConnections(accepted));
    controller.sendRead(QStringLiteral("123"));
    ASSERT_TRUE(controller.waitForReplies(1));
    EXPECT_EQ(controller.replies(), QStringList{kRespostaLiberado});
}
