// The soak's referee: a reply is judged against the newest read on the connection it came on,
// also when its guest had given that read up; while the database is away only the fail-closed
// refusal passes for another card's answer; and the activity log tells how long the window's
// thread was held and which replies it withheld as late. The turnstile tests play the program's
// side with sockets on 127.0.0.1.
#include "ActivityLog.h"
#include "ProgramConnection.h"
#include "QtPrinters.h"
#include "Referee.h"
#include "SimulatedController.h"
#include "Turnstile.h"
#include "Venue.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

using sim::waitUntil;
using soak::Card;
using soak::Outcome;
using soak::replyText;

TEST(SoakReferee, AReplyOtherThanTheCardsOwnIsWrongSaveTheFailClosedRefusalDuringAFault) {
    const Card released{QStringLiteral("1000001"), Outcome::Liberado};
    const Card refused{QStringLiteral("1060001"), Outcome::Negado};
    const struct {
        const char* name;
        Card card;
        Outcome reply;
        bool databaseAway;
        bool wrong;
    } cases[] = {
        {"the card's own answer", refused, Outcome::Negado, false, false},
        {"a refusal for a card that may pass", released, Outcome::Negado, false, true},
        {"the fail-closed refusal while the database is away", released, Outcome::Negado, true, false},
        {"a release while the database is away", refused, Outcome::Liberado, true, true},
        {"an unregistered card's answer while the database is away", released, Outcome::SemCadastro, true,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        soak::Referee referee;
        if (c.databaseAway) referee.faultBegins();
        referee.judge(QStringLiteral("Catraca 1"), c.card, replyText(c.reply),
                      QDateTime::currentDateTime().addSecs(-1), false);
        EXPECT_EQ(referee.wrong(), c.wrong ? 1 : 0) << referee.wrongAnswers().join(u'\n').toStdString();
    }
}

TEST(SoakReferee, ATurnstileWithoutAnyReplyForLongerThanTheBoundIsLateOnce) {
    soak::Referee referee;
    const QDateTime now = QDateTime::currentDateTime();
    referee.waited(QStringLiteral("Catraca 1"), now.addSecs(-soak::Referee::kMaxWaitSeconds + 5), false);
    EXPECT_EQ(referee.wrong(), 0);
    referee.unanswered(QStringLiteral("Catraca 1"), now.addSecs(-soak::Referee::kMaxWaitSeconds - 1));
    referee.waited(QStringLiteral("Catraca 1"), now.addSecs(-soak::Referee::kMaxWaitSeconds - 5), true);
    EXPECT_EQ(referee.wrong(), 1);
    referee.waited(QStringLiteral("Catraca 2"), now.addSecs(-soak::Referee::kMaxWaitSeconds - 5), false);
    EXPECT_EQ(referee.wrong(), 2);
}

// A turnstile whose guests give up after 300 ms, and the program's connection to it.
class SoakTurnstile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(turnstile.listen());
        program = std::make_unique<ProgramConnection>(turnstile.port());
        ASSERT_TRUE(program->connected());
        turnstile.start();
    }
    bool readsReach(int count) {
        return waitUntil([&] { return program->reads.size() >= count; }, 10000);
    }
    static QString answerTo(const QString& chip) { return replyText(soak::outcomeOf(chip)); }

    soak::Venue venue{7};
    soak::Referee referee;
    soak::Turnstile turnstile{
        QStringLiteral("Catraca 1"), soak::Turnstile::Behaviour::Plain, venue, referee, 1, 300};
    std::unique_ptr<ProgramConnection> program;
};

TEST_F(SoakTurnstile, ALateAnswerThatMeetsTheNextGuestsReadIsWrong) {
    ASSERT_TRUE(readsReach(1));
    program->reply(answerTo(program->reads[0]));
    ASSERT_TRUE(readsReach(2));
    EXPECT_EQ(referee.wrong(), 0) << referee.wrongAnswers().join(u'\n').toStdString();

    // The guest of the second read gives up and the third reads; the second read's answer then
    // comes, and is the third read's on that connection. Each guest's card is of another kind
    // than the one before.
    ASSERT_TRUE(readsReach(3));
    program->reply(answerTo(program->reads[1]));
    ASSERT_TRUE(waitUntil([&] { return referee.wrong() == 1; }, 10000));
}

TEST_F(SoakTurnstile, ALateAnswerWithNoNewerReadIsJudgedAgainstTheReadGivenUp) {
    ASSERT_TRUE(readsReach(1));
    turnstile.stop();
    ASSERT_TRUE(waitUntil([&] { return turnstile.idle(); }, 10000));

    program->reply(answerTo(program->reads[0]));
    sim::waitUntil([] { return false; }, 300);
    EXPECT_EQ(referee.wrong(), 0) << referee.wrongAnswers().join(u'\n').toStdString();
    const QString other = answerTo(program->reads[0]) == replyText(Outcome::Negado)
                              ? replyText(Outcome::Liberado)
                              : replyText(Outcome::Negado);
    program->reply(other);
    ASSERT_TRUE(waitUntil([&] { return referee.wrong() == 1; }, 10000));

    // A reply on a connection that never carried a read answers nothing that was asked.
    ProgramConnection rebuilt(turnstile.port());
    ASSERT_TRUE(rebuilt.connected());
    sim::waitUntil([] { return false; }, 300);
    rebuilt.reply(answerTo(program->reads[0]));
    ASSERT_TRUE(waitUntil([&] { return referee.wrong() == 2; }, 10000));
}

// The lines that the program writes around a stall: a read's work, the statement that meets the
// paused server, its error after the call bound, the failed reopen and its marker forty seconds
// later, the late decision withheld, and the next read held until the server goes on.
const char* const kStallLog[] = {
    "10/12/2026 14:00:00:000 Comanda de numero : 1000001",
    "10/12/2026 14:00:00:004 Resultado VerificarTodosItensAbertos0",
    "10/12/2026 14:00:10:010 Erro = 335544726, Mensagem = O servidor do banco de dados n\xe3o respondeu em "
    "10 "
    "segundos; a opera\xe7\xe3o foi cancelada.",
    "a second line of the client's message",
    "10/12/2026 14:00:50:020 N\xe3o foi poss\xedvel restabelecer a conex\xe3o com o banco.",
    "10/12/2026 14:00:50:021 Arquivo de erro criado C\xf3"
    "digo do erro: 335544721",
    "10/12/2026 14:00:50:030 Catraca[Catraca 3] Resposta da comanda 1000001 n\xe3o enviada: chegou uma "
    "leitura "
    "mais recente durante a consulta.",
    "10/12/2026 14:00:55:040 Comanda de numero : 1060002",
    "10/12/2026 14:00:55:045 Catraca[Catraca 4] Resposta da comanda 9000001 n\xe3o enviada: chegou uma "
    "leitura "
    "mais recente durante a consulta.",
    "10/12/2026 14:00:55:050 Comanda de numero : 1000003",
};

QDateTime at(const char* time) {
    return QDateTime(QDate(2026, 12, 10),
                     QTime::fromString(QString::fromLatin1(time), QStringLiteral("HH:mm:ss")));
}

QString writeLog(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("Vortalis.LOG"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

TEST(SoakActivityLog, AHoldRunsFromTheLastWorkLineBeforeItToTheFirstAfterIt) {
    QTemporaryDir dir;
    QByteArray bytes;
    for (const char* line : kStallLog)
        bytes += QByteArray(line) + "\r\n";
    const soak::ActivityLog log(writeLog(dir, bytes));
    EXPECT_TRUE(log.malformed().isEmpty()) << log.malformed().join(u'\n').toStdString();

    // The error lines are written by the held thread and do not end the hold.
    const soak::ActivityLog::Holds whole = log.holds(at("14:00:00"), at("14:01:00"));
    EXPECT_EQ(whole.longestMs, 50026);
    EXPECT_EQ(whole.totalMs, 50026 + 5010);
    EXPECT_EQ(log.holds(at("14:00:51"), at("14:01:00")).longestMs, 5010);
    EXPECT_EQ(log.countEndingWith(soak::ActivityLog::kWithheld), 2);
    EXPECT_EQ(log.countEndingWith(soak::ActivityLog::kWithheld, at("14:00:00"), at("14:00:52")), 1);
}

TEST(SoakActivityLog, MalformedLinesAreFound) {
    const QByteArray stamped = "10/12/2026 14:00:00:000 Comanda de numero : 1";
    const QByteArray error = "10/12/2026 14:00:10:000 Erro = 335544726, Mensagem = first line";
    const struct {
        const char* name;
        QByteArray bytes;
        int malformed;
    } cases[] = {
        {"stamped lines ended by CR LF", stamped + "\r\n" + stamped + "\r\n", 0},
        {"a message's further line after its error line", error + "\r\nsecond line\r\n" + stamped + "\r\n",
         0},
        {"an unstamped line after any other line", stamped + "\r\nsecond line\r\n", 1},
        {"a line ended by LF alone", stamped + "\n" + stamped + "\r\n", 1},
        {"a CR inside a line", stamped + "\r" + stamped + "\r\n", 1},
        {"a last line without its end", stamped + "\r\n" + stamped, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const soak::ActivityLog log(writeLog(dir, c.bytes));
        EXPECT_EQ(log.malformed().size(), c.malformed) << log.malformed().join(u'\n').toStdString();
    }
}

} // namespace
