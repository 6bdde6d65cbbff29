// The simulator's gate: one read outstanding, sent again on a new connection only once the older
// ones have ended, a reply taken for the read that its connection carried, and a read given up
// after the gate's patience. The tests play the program's side with sockets on 127.0.0.1.
#include "Gate.h"
#include "ProgramConnection.h"
#include "QtPrinters.h"
#include "SimulatedController.h"
#include "turnstile/codec.h"

#include <QDeadlineTimer>
#include <gtest/gtest.h>
#include <memory>

namespace {

using sim::waitUntil;

void runFor(int ms) {
    QDeadlineTimer deadline(ms);
    waitUntil([&] { return deadline.hasExpired(); });
}

class GateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(controller.listen());
        QObject::connect(&gate, &sim::Gate::replied,
                         [this](const QString& comanda, const QString& reply, qint64 us) {
                             events << QStringLiteral("reply to %1: %2").arg(comanda, reply);
                             waitedUs = us;
                         });
        QObject::connect(&gate, &sim::Gate::stray, [this](const QString& reply, int connection) {
            events << QStringLiteral("stray on %1: %2").arg(connection).arg(reply);
        });
        QObject::connect(&gate, &sim::Gate::resent,
                         [this](const QString& comanda) { events << QStringLiteral("resent ") + comanda; });
        QObject::connect(&gate, &sim::Gate::strandedRead,
                         [this](const QString& comanda) { events << QStringLiteral("stranded ") + comanda; });
        QObject::connect(&gate, &sim::Gate::gaveUp,
                         [this](const QString& comanda) { events << QStringLiteral("gave up ") + comanda; });
    }
    // The program connects, and the controller has taken the connection.
    std::unique_ptr<ProgramConnection> connect() {
        const int before = controller.connectionsAccepted();
        auto connection = std::make_unique<ProgramConnection>(controller.port());
        EXPECT_TRUE(connection->connected());
        EXPECT_TRUE(waitUntil([&] { return controller.connectionsAccepted() > before; }));
        return connection;
    }
    bool eventsAre(const QStringList& expected) {
        return waitUntil([&] { return events.size() >= expected.size(); }) && events == expected;
    }

    sim::SimulatedController controller;
    sim::Gate gate{controller};
    QStringList events;
    qint64 waitedUs = -1;
};

TEST_F(GateTest, TheReplyOnTheReadsConnectionAnswersItAndAnyOtherIsStray) {
    auto first = connect();
    gate.read(QStringLiteral("11"));
    ASSERT_TRUE(waitUntil([&] { return first->reads.size() == 1; }));
    EXPECT_TRUE(gate.waiting());
    first->reply(kRespostaLiberado);
    ASSERT_TRUE(eventsAre({QStringLiteral("reply to 11: ") + kRespostaLiberado}));
    EXPECT_FALSE(gate.waiting());
    EXPECT_GE(waitedUs, 0);

    // A second answer to the same read is nobody's.
    first->reply(kRespostaNegado);
    ASSERT_TRUE(eventsAre({QStringLiteral("reply to 11: ") + kRespostaLiberado,
                           QStringLiteral("stray on 1: ") + kRespostaNegado}));

    // A reply on a connection that did not carry the read is not its answer, even while it waits.
    auto second = connect();
    gate.read(QStringLiteral("12"));
    ASSERT_TRUE(waitUntil([&] { return second->reads.size() == 1; }));
    first->reply(kRespostaSemCadastro);
    ASSERT_TRUE(waitUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events.last(), QStringLiteral("stray on 1: ") + kRespostaSemCadastro);
    EXPECT_TRUE(gate.waiting());
    EXPECT_EQ(gate.connection(), 2);
    EXPECT_EQ(first->reads, QStringList{QStringLiteral("11")});
}

TEST_F(GateTest, AReadCutOffByARebuildGoesAgainOnlyOnceTheOlderConnectionHasEnded) {
    auto old = connect();
    gate.read(QStringLiteral("21"));
    ASSERT_TRUE(waitUntil([&] { return old->reads.size() == 1; }));
    // The program opens its new connection before it closes the old one.
    auto rebuilt = connect();
    runFor(200);
    EXPECT_TRUE(rebuilt->reads.isEmpty());
    EXPECT_TRUE(events.isEmpty());

    old->close();
    ASSERT_TRUE(eventsAre({QStringLiteral("resent 21")}));
    ASSERT_TRUE(waitUntil([&] { return rebuilt->reads.size() == 1; }));
    EXPECT_EQ(rebuilt->reads, QStringList{QStringLiteral("21")});
    rebuilt->reply(kRespostaNegado);
    ASSERT_TRUE(eventsAre({QStringLiteral("resent 21"), QStringLiteral("reply to 21: ") + kRespostaNegado}));
}

TEST_F(GateTest, AReplyOnTheOldConnectionDuringARebuildIsTheAnswer) {
    auto old = connect();
    gate.read(QStringLiteral("31"));
    ASSERT_TRUE(waitUntil([&] { return old->reads.size() == 1; }));
    auto rebuilt = connect();
    old->reply(kRespostaLiberado);
    ASSERT_TRUE(eventsAre({QStringLiteral("reply to 31: ") + kRespostaLiberado}));
    old->close();
    runFor(200);
    EXPECT_TRUE(rebuilt->reads.isEmpty());
    EXPECT_EQ(events.size(), 1);
}

TEST_F(GateTest, AReadGivenUpFreesTheGateAndALateReplyMeetsTheNewestRead) {
    gate.setPatience(300);
    auto connection = connect();
    gate.read(QStringLiteral("41"));
    ASSERT_TRUE(eventsAre({QStringLiteral("gave up 41")}));
    EXPECT_FALSE(gate.waiting());

    // The late answer to the first guest comes while the next guest's read is outstanding on the
    // same connection: it is taken for the newest read's, which a referee then judges.
    gate.read(QStringLiteral("42"));
    ASSERT_TRUE(waitUntil([&] { return connection->reads.size() == 2; }));
    connection->reply(kRespostaNegado);
    ASSERT_TRUE(eventsAre({QStringLiteral("gave up 41"), QStringLiteral("reply to 42: ") + kRespostaNegado}));

    // With no read outstanding, a late answer is stray; the gate still names the connection that
    // carried the read given up, where that answer comes.
    gate.read(QStringLiteral("43"));
    ASSERT_TRUE(waitUntil([&] { return events.size() == 3; }));
    EXPECT_EQ(events.last(), QStringLiteral("gave up 43"));
    EXPECT_EQ(gate.connection(), 1);
    connection->reply(kRespostaLiberado);
    ASSERT_TRUE(waitUntil([&] { return events.size() == 4; }));
    EXPECT_EQ(events.last(), QStringLiteral("stray on 1: ") + kRespostaLiberado);
}

TEST_F(GateTest, PatienceStandsStillWhileNoConnectionCarriesTheRead) {
    gate.setPatience(300);
    auto connection = connect();
    gate.read(QStringLiteral("51"));
    ASSERT_TRUE(waitUntil([&] { return connection->reads.size() == 1; }));
    connection->close();
    ASSERT_TRUE(eventsAre({QStringLiteral("stranded 51")}));
    EXPECT_TRUE(gate.stranded());
    runFor(600);
    EXPECT_EQ(events.size(), 1);

    // Sent again on the next connection, the read has its whole patience once more.
    auto next = connect();
    ASSERT_TRUE(eventsAre(
        {QStringLiteral("stranded 51"), QStringLiteral("resent 51"), QStringLiteral("gave up 51")}));
    EXPECT_EQ(next->reads, QStringList{QStringLiteral("51")});
}

} // namespace
