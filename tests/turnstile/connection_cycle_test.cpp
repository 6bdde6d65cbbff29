#include "DialogRecorder.h"
#include "LogFile.h"
#include "ModalBox.h"
#include "ProgramUnderTest.h"
#include "SimulatedController.h"
#include "platform/failure.h"
#include "turnstile/ipcheck.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace {
QString markers() {
    return PastaExecutavel() + QStringLiteral("ControleCatraca");
}

class ConnectionCycle : public ::testing::Test {
protected:
    static inline QString database;
    static void SetUpTestSuite() {
        database = FirebirdServer::shared().shopDatabase(QStringLiteral("cycle"));
    }
    void SetUp() override {
        ShopSession(database).clear();
        QDir(markers()).removeRecursively();
        QDir().mkpath(markers());
        testlog::clear();
        TClientSocket::ConnectTimeoutMs = 21000;
    }
    void addTurnstiles(const QStringList& rows) { ShopSession(database).exec(rows); }
    QStringList logPane() { return program->window().mmLog->text().split(u'\n'); }
    bool paneHas(const QString& line) { return logPane().contains(line); }

    std::unique_ptr<ProgramUnderTest> program = std::make_unique<ProgramUnderTest>(database);
};
} // namespace

TEST_F(ConnectionCycle, EveryActiveTurnstileIsConnected) {
    sim::SimulatedController a, b;
    ASSERT_TRUE(a.listen() && b.listen());
    addTurnstiles(
        {catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"), QString::number(a.port())),
         catraca(2, QStringLiteral("Saída"), QStringLiteral("127.1"), QString::number(b.port())),
         catraca(3, QStringLiteral("Inativa"), QStringLiteral("127.0.0.1"), QString::number(a.port()),
                 QStringLiteral("N"))});
    TfrmPrincipal& w = program->window();
    w.ConfigurarCatracas();
    ASSERT_EQ(w.TotalClients(), 2);
    EXPECT_EQ(w.Clients[0]->gi_Codigo, 1);
    EXPECT_EQ(w.Clients[1]->gs_NomeCatraca, QStringLiteral("Saída"));
    EXPECT_EQ(w.Clients[1]->Host, QStringLiteral("127.1"));
    ASSERT_TRUE(a.waitForConnections(1) && b.waitForConnections(1));
    ASSERT_TRUE(eventually([&] { return logPane().size() == 4; }));
    EXPECT_EQ(logPane().mid(0, 2),
              (QStringList{QStringLiteral("Tentando estabelecer comunicação com a catraca[ Entrada]..."),
                           QStringLiteral("Tentando estabelecer comunicação com a catraca[ Saída]...")}));
    EXPECT_TRUE(paneHas(QStringLiteral("Catraca[Entrada] conectada em 127.0.0.1.")));
    EXPECT_TRUE(paneHas(QStringLiteral("Catraca[Saída] conectada em 127.1.")));
    EXPECT_EQ(a.connectionsAccepted(), 1); // the inactive turnstile is not loaded
}

TEST_F(ConnectionCycle, ButtonsAndTimerRebuildEveryConnection) {
    sim::SimulatedController a;
    ASSERT_TRUE(a.listen());
    addTurnstiles(
        {catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"), QString::number(a.port()))});
    TfrmPrincipal& w = program->window();
    w.ConfigurarCatracas();
    ASSERT_TRUE(a.waitForConnections(1));

    int expected = 1;
    for (QPushButton* button : {w.btnReconectarCatraca, w.SpeedButton1}) {
        SCOPED_TRACE(button->text().toStdString());
        w.mmLog->clearLines();
        QTest::mouseClick(button, Qt::LeftButton);
        ++expected;
        ASSERT_TRUE(a.waitForConnections(expected));
        EXPECT_EQ(logPane().first(),
                  QStringLiteral("Inicio do processo para reconectar todas as catracas..."));
        ASSERT_EQ(w.TotalClients(), 1);
    }
    // A timer tick writes no line of its own before the pass.
    w.mmLog->clearLines();
    w.tmrConectarCatracas->setInterval(100);
    ASSERT_TRUE(a.waitForConnections(expected + 1));
    w.tmrConectarCatracas->stop();
    EXPECT_EQ(logPane().first(),
              QStringLiteral("Tentando estabelecer comunicação com a catraca[ Entrada]..."));
}

TEST_F(ConnectionCycle, EventLogIsClearedOnlyPastFiftyLines) {
    TfrmPrincipal& w = program->window();
    for (int lines : {50, 51}) {
        w.mmLog->clearLines();
        for (int i = 0; i < lines; ++i)
            w.mmLog->append(QStringLiteral("linha"));
        w.ConectarCatracas();
        EXPECT_EQ(w.mmLog->lineCount(), lines == 50 ? 50 : 0) << lines;
    }
}

TEST_F(ConnectionCycle, BadTurnstileRowsAndTheGoodOneAfterThem) {
    sim::SimulatedController good, refusing(sim::SimulatedController::Mode::Refuse);
    ASSERT_TRUE(good.listen() && refusing.listen());
    const QString port = QString::number(good.port());
    const QString hexPort = QString::number(good.port(), 16);
    addTurnstiles(
        {catraca(1, QStringLiteral("SemIP"), QString(), port),
         catraca(2, QStringLiteral("SemPorta"), QStringLiteral("127.0.0.1"), QString()),
         catraca(3, QStringLiteral("Alto"), QStringLiteral("192.168.0.256"), port),
         catraca(4, QStringLiteral("Nome"), QStringLiteral("catraca1"), port),
         catraca(5, QStringLiteral("Vazio"), QStringLiteral("127..0.1"), port),
         catraca(6, QStringLiteral("PortaRuim"), QStringLiteral("127.0.0.1"), QStringLiteral("40a1")),
         catraca(7, QStringLiteral("Recusa"), QStringLiteral("127.0.0.1"), QString::number(refusing.port())),
         // Addresses and ports are decimal numbers: these name the good controller in other
         // bases and must not reach it.
         catraca(8, QStringLiteral("HexIP"), QStringLiteral("0x7F.0.0.1"), port),
         catraca(9, QStringLiteral("Hex"), QStringLiteral("127.0.0.1"), QStringLiteral("0x") + hexPort),
         catraca(10, QStringLiteral("Cifrao"), QStringLiteral("127.0.0.1"), QStringLiteral("$") + hexPort),
         catraca(11, QStringLiteral("Expoente"), QStringLiteral("127.0.0.1"), port + QStringLiteral("e0")),
         catraca(12, QStringLiteral("Boa"), QStringLiteral("127.0.0.1"), port),
         catraca(13, QStringLiteral("Espacos"), QStringLiteral("127.0.1"), u' ' + port + u' ')});
    TfrmPrincipal& w = program->window();
    w.ConfigurarCatracas();
    ASSERT_TRUE(good.waitForConnections(2));
    ASSERT_TRUE(eventually([&] { return paneHas(QStringLiteral("Código do erro: 10061")); }));
    const QStringList pane = logPane();
    for (const char* line :
         {"Catraca[SemIP].O \"IP da Catraca\" precisa ser informado no PDV Nutrava.",
          "Catraca[SemPorta]. A \"Porta da Catraca\" precisa ser informada no PDV Nutrava.",
          "Catraca[ Alto]. O IP configurado no PDV Nutrava está inválido.",
          "Catraca[ Nome]. O IP configurado no PDV Nutrava está inválido.",
          "Catraca[ Vazio]. O IP configurado no PDV Nutrava está inválido.",
          "Catraca[ HexIP]. O IP configurado no PDV Nutrava está inválido.",
          "Catraca[Boa] conectada em 127.0.0.1.", "Catraca[Espacos] conectada em 127.0.1."})
        EXPECT_TRUE(pane.contains(QString::fromUtf8(line))) << line;
    EXPECT_EQ(good.connectionsAccepted(), 2);
    EXPECT_TRUE(QFile::exists(markers() + QStringLiteral("/00001.error")));
    EXPECT_TRUE(QFile::exists(markers() + QStringLiteral("/10061.error")));
    EXPECT_EQ(testlog::texts(),
              (QStringList{QStringLiteral("Criar Arquivo para reinciar"),
                           QStringLiteral("Arquivo de erro criado Código do erro: 00001.error"),
                           QStringLiteral("Criar Arquivo para reinciar"),
                           QStringLiteral("Criar Arquivo para reinciar"),
                           QStringLiteral("Criar Arquivo para reinciar"),
                           QStringLiteral("Catraca[Recusa] Código do erro: 10061"),
                           QStringLiteral("Criar Arquivo para reinciar"),
                           QStringLiteral("Arquivo de erro criado Código do erro: 10061")}));
}

TEST_F(ConnectionCycle, ResetByTheControllerIsError10054) {
    sim::SimulatedController a;
    ASSERT_TRUE(a.listen());
    addTurnstiles(
        {catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"), QString::number(a.port()))});
    program->window().ConfigurarCatracas();
    ASSERT_TRUE(a.waitForConnections(1));
    ASSERT_TRUE(eventually([&] { return program->window().Clients[0]->Socket()->Connected(); }));
    DialogRecorder dialogs;
    a.resetConnection();
    ASSERT_TRUE(eventually([&] { return paneHas(QStringLiteral("Código do erro: 10054")); }));
    EXPECT_TRUE(QFile::exists(markers() + QStringLiteral("/10054.error")));
    EXPECT_EQ(testlog::texts(),
              (QStringList{QStringLiteral("Catraca[Entrada] Código do erro: 10054"),
                           QStringLiteral("Criar Arquivo para reinciar"),
                           QStringLiteral("Arquivo de erro criado Código do erro: 10054")}));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(program->window().Clients[0]->Socket()->Connected());
}

TEST_F(ConnectionCycle, RebuildAskedForDuringAPassWaitsForItsEnd) {
    // A box opened in the middle of a pass runs a message loop in which the reconnect timer
    // ticks; the list the pass walks must not be emptied and refilled under it.
    sim::SimulatedController a, b;
    ASSERT_TRUE(a.listen() && b.listen());
    addTurnstiles({catraca(1, QStringLiteral("A"), QStringLiteral("127.0.0.1"), QString::number(a.port())),
                   catraca(2, QStringLiteral("B"), QStringLiteral("127.0.0.1"), QString::number(b.port()))});
    TfrmPrincipal& w = program->window();
    int ticks = 0;
    QObject::connect(w.tmrConectarCatracas, &QTimer::timeout, w.tmrConectarCatracas, [&] { ++ticks; });
    bool boxShown = false;
    QObject::connect(w.mmLog, &TextPane::appended, w.mmLog, [&] {
        if (boxShown || !paneHas(QStringLiteral("Tentando estabelecer comunicação com a catraca[ A]...")))
            return;
        boxShown = true;
        w.tmrConectarCatracas->setInterval(20);
        EXPECT_TRUE(showModalBoxUntil([&] { return ticks >= 3; }));
        w.tmrConectarCatracas->stop();
    });
    w.ConfigurarCatracas();
    ASSERT_TRUE(boxShown);
    // The pass ended on the list it began with; the rebuild asked for inside it follows once.
    ASSERT_TRUE(a.waitForConnections(2) && b.waitForConnections(2));
    QTest::qWait(300);
    EXPECT_EQ(a.connectionsAccepted(), 2);
    EXPECT_EQ(b.connectionsAccepted(), 2);
    ASSERT_EQ(w.TotalClients(), 2);
    EXPECT_EQ(w.Clients[0]->gs_NomeCatraca, QStringLiteral("A"));
    EXPECT_EQ(w.Clients[1]->gs_NomeCatraca, QStringLiteral("B"));
}

// A start-up box stays open longer than the rebuild interval: the timer ticks in its loop before
// the window's first pass, and that pass still makes one connection per turnstile.
TEST_F(ConnectionCycle, TimerBeforeTheFirstPassBuildsNothing) {
    sim::SimulatedController a;
    ASSERT_TRUE(a.listen());
    addTurnstiles({catraca(1, QStringLiteral("A"), QStringLiteral("127.0.0.1"), QString::number(a.port()))});
    TfrmPrincipal& w = program->window();
    int ticks = 0;
    QObject::connect(w.tmrConectarCatracas, &QTimer::timeout, w.tmrConectarCatracas, [&] { ++ticks; });
    w.tmrConectarCatracas->setInterval(20);
    EXPECT_TRUE(showModalBoxUntil([&] { return ticks >= 3; }));
    w.tmrConectarCatracas->stop();
    w.ConfigurarCatracas(); // the window's first showing
    ASSERT_TRUE(a.waitForConnections(1));
    QTest::qWait(300);
    EXPECT_EQ(w.TotalClients(), 1);
    EXPECT_EQ(a.connectionsAccepted(), 1);
}

TEST_F(ConnectionCycle, TurnstileDeactivatedBetweenLoadAndRefresh) {
    sim::SimulatedController a;
    ASSERT_TRUE(a.listen());
    addTurnstiles(
        {catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"), QString::number(a.port()))});
    TfrmPrincipal& w = program->window();
    w.CarregarCatracas(0, 0);
    ShopSession(database).exec(QStringLiteral("UPDATE CADCATRACA SET CAT_ATIVO = 'N'"));
    w.ConectarCatracas();
    EXPECT_EQ(
        logPane(),
        (QStringList{QStringLiteral("Tentando estabelecer comunicação com a catraca[ Entrada]..."),
                     QStringLiteral("Não existe nenhuma catraca cadastrada no PDV Nutrava, ou todas estão "
                                    "inativas. Favor verificar."),
                     QStringLiteral("Catraca[].O \"IP da Catraca\" precisa ser informado no PDV Nutrava.")}));
    // Gone from the list at the next rebuild, with only the no-turnstile line.
    w.mmLog->clearLines();
    w.ReconectarCatracas();
    EXPECT_EQ(w.TotalClients(), 0);
    EXPECT_EQ(logPane(), QStringList{QStringLiteral("Não existe nenhuma catraca cadastrada no PDV Nutrava, "
                                                    "ou todas estão inativas. Favor verificar.")});
}

TEST_F(ConnectionCycle, ConnectTimeoutIsReportedWithoutMarker) {
    sim::SimulatedController hanging(sim::SimulatedController::Mode::Unresponsive);
    ASSERT_TRUE(hanging.listen());
    addTurnstiles(
        {catraca(1, QStringLiteral("Longe"), QStringLiteral("127.0.0.1"), QString::number(hanging.port()))});
    TClientSocket::ConnectTimeoutMs = 300;
    program->window().ConfigurarCatracas();
    ASSERT_TRUE(eventually([&] { return paneHas(QStringLiteral("Código do erro: 10060")); }));
    EXPECT_TRUE(paneHas(QStringLiteral("Catraca[Longe] desligada ou IP[127.0.0.1 ] inacessível!")));
    EXPECT_EQ(testlog::texts(), QStringList{QStringLiteral("Catraca[Longe] Código do erro: 10060")});
    EXPECT_TRUE(QDir(markers()).isEmpty());
}

TEST_F(ConnectionCycle, FailedTurnstileQueryLoadsNothing) {
    MD->ibdConexao.Close();
    MD->ibdConexao.DatabaseName =
        FirebirdServer::shared().connectionName(FirebirdServer::shared().fileFor(QStringLiteral("missing")));
    TfrmPrincipal& w = program->window();
    w.ConfigurarCatracas();
    EXPECT_EQ(w.TotalClients(), 0);
    EXPECT_EQ(logPane(),
              QStringList{QStringLiteral("Não foi possível carregar as catracas do PDV Nutrava.")});
    EXPECT_EQ(testlog::startingWith(QStringLiteral("Erro = ")).size(), 1);
}

TEST_F(ConnectionCycle, ControllerClosingInOrderRaisesNoError) {
    sim::SimulatedController closing(sim::SimulatedController::Mode::CloseOnAccept);
    ASSERT_TRUE(closing.listen());
    addTurnstiles(
        {catraca(1, QStringLiteral("Fecha"), QStringLiteral("127.0.0.1"), QString::number(closing.port()))});
    DialogRecorder dialogs;
    program->window().ConfigurarCatracas();
    ASSERT_TRUE(closing.waitForConnections(1));
    QTest::qWait(200);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(testlog::texts().isEmpty());
}

// The lowest file descriptor number not in use.
int lowestFreeDescriptor() {
    int fd = 0;
    while (::fcntl(fd, F_GETFD) != -1)
        ++fd;
    return fd;
}

TEST(ControllerLink, NoSocketToBeHadIsRaisedToTheCaller) {
    TClienteGPRS client;
    client.Host = QStringLiteral("127.0.0.1");
    client.Port = 9;
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit exhausted = saved;
    exhausted.rlim_cur = static_cast<rlim_t>(lowestFreeDescriptor());
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &exhausted), 0);
    bool raised = false;
    try {
        client.setActive(true);
    } catch (const Failure&) {
        raised = true;
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(raised);
    EXPECT_FALSE(client.Active());
}

// In a network of its own, made for the test, whose loopback is down: a connect fails at once
// (network unreachable), and a controller of the local subnet that is switched off never
// answers the address resolution. The runs below check them in such a network; this one starts
// them there.
TEST(ControllerLink, UnreachableControllersInANetworkOfTheirOwn) {
    for (const char* test : {"ConnectFailsAtOnce", "SwitchedOffControllerOnTheLocalSubnetTimesOut"}) {
        SCOPED_TRACE(test);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VORTALIS_ISOLATED_NETWORK"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QStringLiteral("unshare"),
                    {QStringLiteral("--net"), QCoreApplication::applicationFilePath(),
                     QStringLiteral("--gtest_filter=IsolatedNetwork.") + QLatin1String(test)});
        ASSERT_TRUE(child.waitForFinished(90000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    }
}

TEST(IsolatedNetwork, ConnectFailsAtOnce) {
    if (qEnvironmentVariableIsEmpty("VORTALIS_ISOLATED_NETWORK")) GTEST_SKIP() << "run by ControllerLink";
    QDir(markers()).removeRecursively();
    QDir().mkpath(markers());
    testlog::clear();
    TClientSocket::ConnectTimeoutMs = 300;
    frmPrincipal = new TfrmPrincipal();
    auto* client = new TClienteGPRS();
    QObject::connect(client, &TClienteGPRS::linha, frmPrincipal, &TfrmPrincipal::mostrarLinha);
    client->gs_NomeCatraca = QStringLiteral("Isolada");
    client->Host = QStringLiteral("127.0.0.1");
    client->Port = 9;
    client->setActive(true);
    const auto pane = [] { return frmPrincipal->mmLog->text(); };
    ASSERT_TRUE(eventually([&] { return pane().contains(QStringLiteral("Código do erro: 10065")); }));
    // Well past the connect timeout: no false timeout follows the failure.
    QTest::qWait(1000);
    EXPECT_FALSE(pane().contains(QStringLiteral("10060")));
    EXPECT_TRUE(QFile::exists(markers() + QStringLiteral("/10065.error")));
    EXPECT_EQ(testlog::texts(),
              (QStringList{QStringLiteral("Catraca[Isolada] Código do erro: 10065"),
                           QStringLiteral("Criar Arquivo para reinciar"),
                           QStringLiteral("Arquivo de erro criado Código do erro: 10065")}));
    client->Free();
    delete frmPrincipal;
    frmPrincipal = nullptr;
}

// A subnet of the private network with this host alone on it (192.0.2.1/24 on one end of a veth
// pair, nothing on the other): 192.0.2.9 is a switched-off controller. Linux reports it as an
// unreachable host after some 3 s of unanswered address resolution; Windows as a timed-out
// attempt, which is what a site expects: the unreachable line, no marker, no restart.
TEST(IsolatedNetwork, SwitchedOffControllerOnTheLocalSubnetTimesOut) {
    if (qEnvironmentVariableIsEmpty("VORTALIS_ISOLATED_NETWORK")) GTEST_SKIP() << "run by ControllerLink";
    for (const QString& command :
         {QStringLiteral("ip link set lo up"), QStringLiteral("ip link add veth0 type veth peer name veth1"),
          QStringLiteral("ip addr add 192.0.2.1/24 dev veth0"), QStringLiteral("ip link set veth0 up"),
          QStringLiteral("ip link set veth1 up")})
        ASSERT_EQ(QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), command}), 0)
            << command.toStdString();
    QDir(markers()).removeRecursively();
    QDir().mkpath(markers());
    testlog::clear();
    // Our own timeout must not be what answers.
    TClientSocket::ConnectTimeoutMs = 120000;
    frmPrincipal = new TfrmPrincipal();
    auto* client = new TClienteGPRS();
    QObject::connect(client, &TClienteGPRS::linha, frmPrincipal, &TfrmPrincipal::mostrarLinha);
    client->gs_NomeCatraca = QStringLiteral("Desligada");
    client->Host = QStringLiteral("192.0.2.9");
    client->Port = 4001;
    client->setActive(true);
    const auto pane = [] { return frmPrincipal->mmLog->text(); };
    ASSERT_TRUE(eventually([&] { return pane().contains(QStringLiteral("Código do erro: ")); }, 60000));
    EXPECT_EQ(pane(), QStringLiteral("Catraca[Desligada] desligada ou IP[192.0.2.9 ] inacessível!\n"
                                     "Código do erro: 10060"));
    EXPECT_EQ(testlog::texts(), QStringList{QStringLiteral("Catraca[Desligada] Código do erro: 10060")});
    EXPECT_TRUE(QDir(markers()).isEmpty());
    client->Free();
    delete frmPrincipal;
    frmPrincipal = nullptr;
}

TEST(IpCheck, SplitAndCheck) {
    struct Case {
        const char* ip;
        bool valid;
    };
    for (const Case& c :
         {Case{"127.0.0.1", true}, Case{"10.1.2", true}, Case{"1.2.3.4.5", true}, Case{"-1.2.3.4", true},
          Case{"", true}, Case{"192.168.0.256", false}, Case{"300", false}, Case{"catraca1", false},
          Case{"10..0.1", false}, Case{"10.0.0.", false}, Case{" 10.0.0.1 ", true}, Case{"10 0 0 1", true},
          // Parts are decimal numbers: no hexadecimal form, no exponent, no other digits.
          Case{"0x7F.0.0.1", false}, Case{"$7F.0.0.1", false}, Case{"127.0.0.0x1", false},
          Case{"1e2.0.0.1", false}, Case{"127.0.0.\u0661", false}, Case{"127.0.0.\uFF11", false}})
        EXPECT_EQ(fncIsIP(QString::fromUtf8(c.ip)), c.valid) << c.ip;

    QStringList parts;
    Split(u'.', QStringLiteral("  a. b..\"c.d\"\"e\".x."), parts);
    EXPECT_EQ(parts, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QString(),
                                  QStringLiteral("c.d\"e"), QStringLiteral("x"), QString()}));
}
