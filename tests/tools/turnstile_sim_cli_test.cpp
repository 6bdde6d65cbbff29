// turnstile-sim as a technician runs it: a process whose command line is checked before anything
// listens, and whose exit status says whether every read got its reply. The tests play
// Vortalis's side themselves with a socket on 127.0.0.1 that answers, stays silent or misbehaves.
#include "QtPrinters.h"
#include "SimulatedController.h"
#include "turnstile/FrameAssembler.h"
#include "turnstile/codec.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace {

using sim::waitUntil;

quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

// The command, started with its arguments; what it prints is gathered as it comes.
class Command {
public:
    explicit Command(const QStringList& arguments) {
        QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                         [this] { out_ += QString::fromUtf8(process_.readAllStandardOutput()); });
        process_.start(QStringLiteral(TURNSTILE_SIM_EXECUTABLE), arguments);
    }
    ~Command() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished();
    }

    bool printed(const QString& text) {
        return waitUntil([&] { return out_.contains(text) || process_.state() == QProcess::NotRunning; }) &&
               out_.contains(text);
    }
    // The exit status, or -1 when the command did not end by itself.
    int status() {
        if (!waitUntil([&] { return process_.state() == QProcess::NotRunning; })) return -1;
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    const QString& out() const { return out_; }
    QString err() { return QString::fromUtf8(process_.readAllStandardError()); }

private:
    QProcess process_;
    QString out_;
};

// Vortalis's side of one turnstile: it connects to the simulator, takes the frames of every read
// and answers the newest one waiting with what `answer` gives (nothing: it stays silent).
class Program {
public:
    std::function<std::optional<QString>(const QString& comanda)> answer = [](const QString&) {
        return std::optional<QString>(kRespostaLiberado);
    };
    // Also answers the older frames of a read that delivered several.
    bool answerEveryFrame = false;
    // Connects again as soon as the simulator ends the connection.
    bool reconnect = false;

    std::vector<QByteArray> chunks;          // what each read delivered
    std::vector<QStringList> comandasByRead; // the comandas in each read's frames
    std::vector<int> connectionOfRead;       // which connection (1, 2...) each read came on
    qsizetype dropped = 0;                   // bytes that could not start a frame
    int connections = 0;

    explicit Program(quint16 port) : port_(port) {}
    ~Program() { forget(); }

    bool connectNow() {
        forget();
        socket_ = std::make_unique<QTcpSocket>();
        assembler_ = FrameAssembler();
        QObject::connect(socket_.get(), &QTcpSocket::readyRead, [this] { take(); });
        QObject::connect(socket_.get(), &QTcpSocket::disconnected, [this] {
            if (reconnect)
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(), [this] { connectNow(); }, Qt::QueuedConnection);
        });
        socket_->connectToHost(QHostAddress::LocalHost, port_);
        if (!socket_->waitForConnected(10000)) return false;
        ++connections;
        return true;
    }
    void close() { socket_->abort(); }
    void send(const QString& text) {
        TByteArray frame;
        stringToBytes(text, frame);
        socket_->write(reinterpret_cast<const char*>(frame.data()), static_cast<qint64>(frame.size()));
    }
    bool isConnected() const { return socket_ && socket_->state() == QAbstractSocket::ConnectedState; }

private:
    // An old socket's end no longer reaches this side.
    void forget() {
        if (socket_) socket_->disconnect();
    }

    void take() {
        const QByteArray bytes = socket_->readAll();
        chunks.push_back(bytes);
        assembler_.append(bytes);
        qsizetype count = 0;
        assembler_.takeDropped(&count);
        dropped += count;
        const std::vector<QByteArray> frames = assembler_.takeFrames();
        if (frames.empty()) return;
        QStringList comandas;
        for (const QByteArray& f : frames)
            comandas.push_back(extractComanda(unwrapFrame(f)));
        comandasByRead.push_back(comandas);
        connectionOfRead.push_back(connections);
        for (qsizetype i = answerEveryFrame ? 0 : comandas.size() - 1; i < comandas.size(); ++i)
            if (const std::optional<QString> reply = answer(comandas[i])) send(*reply);
    }

    quint16 port_;
    std::unique_ptr<QTcpSocket> socket_;
    FrameAssembler assembler_;
};

// The command against a program-like peer on a free loopback port.
class AgainstProgram : public ::testing::Test {
protected:
    quint16 port = freePort();
    Program program{port};

    std::unique_ptr<Command> start(QStringList arguments) {
        arguments.prepend(QString::number(port));
        arguments.prepend(QStringLiteral("--port"));
        auto command = std::make_unique<Command>(arguments);
        EXPECT_TRUE(command->printed(QStringLiteral("listening on 127.0.0.1:%1").arg(port)))
            << command->err().toStdString();
        EXPECT_TRUE(program.connectNow());
        return command;
    }
};

TEST(TurnstileSimCommandLine, WrongValuesEndWithStatusTwoAndSayWhatIsWrong) {
    const struct {
        QStringList arguments;
        QString message;
    } cases[] = {
        {{"--port", "70000", "--read", "1"}, "--port wants a whole number from 1 to 65535, not \"70000\""},
        {{"--port", "0", "--read", "1"}, "--port wants a whole number from 1 to 65535, not \"0\""},
        {{"--port", "4x", "--read", "1"}, "--port wants a whole number"},
        {{"--read", "1"}, "--port is required"},
        {{"--port"}, "Missing value after '--port'."},
        {{"--port", "4001", "--port", "4002", "--read", "1"}, "--port is given more than once"},
        {{"--port", "4001", "--address", "nowhere", "--read", "1"}, "--address wants an IP address"},
        {{"--port", "4001", "--address", "127.0.0.256", "--read", "1"}, "--address wants an IP address"},
        {{"--port", "4001", "--series", "5"}, "--series wants FIRST-LAST"},
        {{"--port", "4001", "--series", "9-3"}, "--series wants FIRST-LAST"},
        {{"--port", "4001", "--series", "1-100000000"}, "--series wants FIRST-LAST"},
        {{"--port", "4001", "--read", "1", "--interval", "abc"}, "--interval wants a whole number from 0 to"},
        {{"--port", "4001", "--read", "1", "--interval", "-1"}, "--interval wants a whole number"},
        {{"--port", "4001", "--read", "1", "--repeat", "1e3"}, "--repeat wants a whole number"},
        {{"--port", "4001", "--read", "1", "--seconds", "1.5"}, "--seconds wants a whole number"},
        {{"--port", "4001", "--read", "1", "--timeout", "0"}, "--timeout wants seconds above 0"},
        {{"--port", "4001", "--read", "1", "--timeout", "abc"}, "--timeout wants seconds above 0"},
        {{"--port", "4001", "--read", "1", "--timeout", "3601"}, "--timeout wants seconds above 0"},
        {{"--port", "4001", "--read", ""}, "--read wants a comanda"},
        {{"--port", "4001", "--read", "12]3"}, "--read wants a comanda"},
        {{"--port", "4001"}, "nothing to send: give --read or --series"},
        {{"--port", "4001", "--refuse", "--read", "1"},
         "--refuse sends no reads: it cannot be combined with --read"},
        {{"--port", "4001", "--refuse", "--join"},
         "--refuse sends no reads: it cannot be combined with --join"},
        {{"--port", "4001", "--read", "1", "--bogus"}, "Unknown option 'bogus'."},
        {{"--port", "4001", "--read", "1", "extra"}, "unexpected argument \"extra\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        Command command(c.arguments);
        EXPECT_EQ(command.status(), 2);
        const QString err = command.err();
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("turnstile-sim --help"))) << err.toStdString();
        EXPECT_FALSE(command.out().contains(QStringLiteral("listening"))) << command.out().toStdString();
    }
}

TEST(TurnstileSimCommandLine, HelpShowsTheMisbehavioursAndACommissioningExample) {
    Command command({QStringLiteral("--help")});
    EXPECT_EQ(command.status(), 0);
    for (const char* text :
         {"--timeout", "--garbage", "--split", "--join", "--reset-after-read", "--refuse", "Exit status",
          "Commissioning a site", "turnstile-sim --port 4001 --address 0.0.0.0 --read 100005 --read 900001"})
        EXPECT_TRUE(command.out().contains(QString::fromLatin1(text))) << text;
}

TEST_F(AgainstProgram, EveryReadAnsweredEndsWithStatusZero) {
    program.answer = [](const QString& comanda) {
        return std::optional<QString>(comanda == QStringLiteral("100") ? kRespostaLiberado : kRespostaNegado);
    };
    auto command = start({"--read", "100", "--series", "200-201", "--interval", "0"});
    EXPECT_EQ(command->status(), 0);
    EXPECT_TRUE(
        command->out().contains(QStringLiteral("reply to comanda 100: outcome 6 \"Acesso liberado\"")));
    EXPECT_TRUE(
        command->out().contains(QStringLiteral("reply to comanda 201: outcome 30 \"Acesso Negado\"")));
    EXPECT_TRUE(command->out().contains(QStringLiteral("reads sent 3, replies 3, reads without reply 0")));
    EXPECT_EQ(program.comandasByRead, (std::vector<QStringList>{{"100"}, {"200"}, {"201"}}));
}

TEST_F(AgainstProgram, ReadWithoutReplyIsReportedAndTheNextOneStillGoes) {
    program.answer = [](const QString& comanda) {
        return comanda == QStringLiteral("2") ? std::nullopt : std::optional<QString>(kRespostaLiberado);
    };
    auto command =
        start({"--read", "1", "--read", "2", "--read", "3", "--interval", "0", "--timeout", "0.3"});
    EXPECT_EQ(command->status(), 1);
    const QString& out = command->out();
    EXPECT_TRUE(out.contains(QStringLiteral("reply to comanda 1: outcome 6")));
    EXPECT_TRUE(out.contains(QStringLiteral("comanda 2 got no reply within 0.3 s")));
    EXPECT_TRUE(out.contains(QStringLiteral("reply to comanda 3: outcome 6")));
    EXPECT_TRUE(out.contains(QStringLiteral("reads sent 3, replies 2, reads without reply 1")));
}

TEST_F(AgainstProgram, SilentProgramEndsWithStatusOne) {
    program.answer = [](const QString&) { return std::optional<QString>(); };
    auto command = start({"--read", "5", "--timeout", "0.2", "--interval", "0"});
    EXPECT_EQ(command->status(), 1);
    EXPECT_TRUE(command->out().contains(QStringLiteral("comanda 5 got no reply within 0.2 s")));
}

TEST_F(AgainstProgram, ReadCutOffByAClosedConnectionIsSentAgainOnTheNext) {
    // The first read is left unanswered and its connection closed; the program comes back only
    // after the timeout would have run out, which must not count while nobody is connected.
    program.answer = [this](const QString&) -> std::optional<QString> {
        if (program.connections > 1) return kRespostaLiberado;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { program.close(); }, Qt::QueuedConnection);
        return std::nullopt;
    };
    auto command = start({"--read", "8", "--interval", "0", "--timeout", "0.2"});
    ASSERT_TRUE(command->printed(QStringLiteral("comanda 8 waits for Vortalis to connect again")));
    QDeadlineTimer pause(600);
    waitUntil([&] { return pause.hasExpired(); });
    ASSERT_TRUE(program.connectNow());
    EXPECT_EQ(command->status(), 0);
    EXPECT_TRUE(command->out().contains(QStringLiteral("resending comanda 8: the connection was rebuilt")));
    EXPECT_EQ(program.connectionOfRead, (std::vector<int>{1, 2}));
}

TEST_F(AgainstProgram, ReplyOnTheOlderConnectionDuringARebuildIsNotAskedForAgain) {
    // Vortalis opens its new connection before the old one has ended, and the reply comes on
    // the old one: the read must not be sent again on the new one.
    program.answer = [](const QString&) { return std::optional<QString>(); };
    auto command = start({"--read", "8", "--interval", "0"});
    ASSERT_TRUE(waitUntil([&] { return program.comandasByRead.size() == 1; }));
    Program rebuilt(port);
    ASSERT_TRUE(rebuilt.connectNow());
    ASSERT_TRUE(waitUntil([&] { return command->out().count(QStringLiteral("Vortalis connected")) == 2; }));
    program.send(kRespostaNegado);
    EXPECT_EQ(command->status(), 0);
    EXPECT_TRUE(command->out().contains(QStringLiteral("reply to comanda 8: outcome 30 \"Acesso Negado\"")));
    EXPECT_FALSE(command->out().contains(QStringLiteral("resending")));
    EXPECT_TRUE(rebuilt.comandasByRead.empty());
}

TEST_F(AgainstProgram, GarbageComesBeforeEveryRead) {
    auto command = start({"--read", "1", "--read", "2", "--interval", "0", "--garbage"});
    EXPECT_EQ(command->status(), 0);
    EXPECT_EQ(program.dropped, 2 * 9);
    EXPECT_EQ(program.comandasByRead, (std::vector<QStringList>{{"1"}, {"2"}}));
}

TEST_F(AgainstProgram, SplitReadArrivesInTwoPieces) {
    auto command = start({"--read", "123456", "--split", "--interval", "0"});
    EXPECT_EQ(command->status(), 0);
    const qsizetype whole = 5 + cardReadRequest(QStringLiteral("123456")).size();
    ASSERT_EQ(program.chunks.size(), 2u);
    EXPECT_EQ(program.chunks[0].size(), whole / 2);
    EXPECT_EQ(program.chunks[0].size() + program.chunks[1].size(), whole);
}

TEST_F(AgainstProgram, JoinedReadsAwaitOnlyTheNewerReply) {
    auto command =
        start({"--read", "1", "--read", "2", "--read", "3", "--read", "4", "--join", "--interval", "0"});
    EXPECT_EQ(command->status(), 0);
    EXPECT_EQ(program.comandasByRead, (std::vector<QStringList>{{"1", "2"}, {"3", "4"}}));
    EXPECT_TRUE(command->out().contains(QStringLiteral("reply to comanda 2: outcome 6")));
    EXPECT_TRUE(command->out().contains(QStringLiteral("reply to comanda 4: outcome 6")));
    EXPECT_TRUE(command->out().contains(QStringLiteral("reads sent 4, replies 2, reads without reply 0")));
}

TEST_F(AgainstProgram, AnAnswerToTheOlderOfJoinedReadsEndsWithStatusOne) {
    program.answerEveryFrame = true;
    auto command = start({"--read", "1", "--read", "2", "--join", "--interval", "200"});
    EXPECT_EQ(command->status(), 1);
    EXPECT_TRUE(command->out().contains(QStringLiteral("reply with no read waiting: outcome 6")));
}

TEST_F(AgainstProgram, ResetAfterReadMakesTheNextReadWaitForANewConnection) {
    program.reconnect = true;
    auto command = start({"--read", "1", "--read", "2", "--interval", "0", "--reset-after-read"});
    EXPECT_EQ(command->status(), 0);
    EXPECT_TRUE(command->out().contains(QStringLiteral("resetting the connection after comanda 1")));
    EXPECT_EQ(program.connectionOfRead, (std::vector<int>{1, 2}));
}

TEST_F(AgainstProgram, RepeatUntilTheTimeIsUpEndsOnTheLastReply) {
    auto command = start({"--read", "7", "--repeat", "0", "--seconds", "1", "--interval", "50"});
    EXPECT_EQ(command->status(), 0);
    EXPECT_GE(program.comandasByRead.size(), 2u);
    EXPECT_TRUE(command->out().contains(QStringLiteral("reads without reply 0")));
}

TEST(TurnstileSimCommandLine, PortInUseEndsWithStatusOne) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    Command command({QStringLiteral("--port"), QString::number(holder.serverPort()), QStringLiteral("--read"),
                     QStringLiteral("1")});
    EXPECT_EQ(command.status(), 1);
    EXPECT_TRUE(
        command.err().contains(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(holder.serverPort())));
}

TEST(TurnstileSimRefusing, ConnectionsAreRefusedAndTheCommandEndsWell) {
    const quint16 port = freePort();
    Command command({QStringLiteral("--port"), QString::number(port), QStringLiteral("--refuse"),
                     QStringLiteral("--seconds"), QStringLiteral("1")});
    ASSERT_TRUE(command.printed(QStringLiteral("refusing connections on 127.0.0.1:%1").arg(port)));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_FALSE(socket.waitForConnected(10000));
    EXPECT_EQ(socket.error(), QAbstractSocket::ConnectionRefusedError);
    EXPECT_EQ(command.status(), 0);
}

} // namespace
