// The benchmark's floor does a read's required work as the program does it: on every path its
// reply is the program's for the same card, and it writes the program's activity-log lines,
// statement texts included, in the program's line format, into a file of its own. Otherwise the
// benchmark would compare the program with other work.
#include "../rules/shop_rows.h"
#include "LogFile.h"
#include "ProgramUnderTest.h"
#include "QtPrinters.h"
#include "SimulatedController.h"
#include "turnstile/codec.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct Case {
    const char* path; // as the floor reports it
    const char* chip;
    QString reply;
};

const Case kCases[] = {
    {"short", "11", kRespostaLiberado},
    {"refuse", "12", kRespostaNegado},
    {"close", "13", kRespostaLiberado},
    {"unregistered", "99", kRespostaSemCadastro},
};

// What one read got: the reply and the activity-log lines without their time stamps.
struct Answer {
    QString reply;
    QStringList lines;
};

// The floor's log lines, each checked for the program's line format.
QStringList floorLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {QStringLiteral("the floor's log cannot be read")};
    static const QRegularExpression line(
        QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d:\\d{3} ([^\\r\\n]*)\\r\\n"));
    QStringList texts;
    QString rest = QString::fromLatin1(file.readAll());
    while (!rest.isEmpty()) {
        const QRegularExpressionMatch m = line.match(rest);
        if (!m.hasMatch()) return texts << QStringLiteral("malformed: ") + rest;
        texts << m.captured(1);
        rest.remove(0, m.capturedLength());
    }
    return texts;
}

class Floor : public ::testing::Test {
protected:
    static inline QString database;
    static void SetUpTestSuite() {
        database = FirebirdServer::shared().shopDatabase(QStringLiteral("floor"));
    }

    // A card of each path; both the program and the floor start from these rows.
    void arrange() {
        ShopSession session(database);
        session.clear();
        session.exec({caixa("2021-05-03"), caixa("2021-05-04"),
                      cartao(QStringLiteral("116"), QStringLiteral("11")),
                      cartao(QStringLiteral("124"), QStringLiteral("12")),
                      cartao(QStringLiteral("132"), QStringLiteral("13"))});
        session.exec(venda("2021-05-03", 57, QStringLiteral("124"), {"9.90"}));
        session.exec(venda("2021-05-04", 58, QStringLiteral("132"), {"5.00", "-5.00"}));
    }

    std::vector<Answer> programAnswers() {
        arrange();
        sim::SimulatedController controller;
        EXPECT_TRUE(controller.listen());
        ShopSession(database).exec(catraca(1, QStringLiteral("Entrada"), QStringLiteral("127.0.0.1"),
                                           QString::number(controller.port())));
        QDir().mkpath(PastaExecutavel() + QStringLiteral("ControleCatraca"));
        ProgramUnderTest program(database);
        program.window().ConfigurarCatracas();
        program.window().tmrConectarCatracas->stop();
        EXPECT_TRUE(controller.waitForConnections(1));
        EXPECT_TRUE(eventually([&] { return program.window().Clients[0]->Socket()->Connected(); }));
        std::vector<Answer> answers;
        for (const Case& c : kCases) {
            testlog::clear();
            controller.sendRead(QString::fromLatin1(c.chip));
            EXPECT_TRUE(controller.waitForReplies(static_cast<int>(answers.size()) + 1)) << c.path;
            answers.push_back(
                {controller.replies().value(static_cast<qsizetype>(answers.size())), testlog::texts()});
        }
        return answers;
    }

    // The floor's answers, and the paths it reported.
    std::vector<Answer> floorAnswers(QStringList& reported) {
        arrange();
        sim::SimulatedController controller;
        EXPECT_TRUE(controller.listen());
        const QString log = PastaExecutavel() + QStringLiteral("floor.LOG");
        QProcess floor;
        // The regional settings of the venues' terminals, as the program has them here.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("pt_BR.UTF-8"));
        floor.setProcessEnvironment(env);
        floor.start(QStringLiteral(BENCH_FLOOR),
                    {QStringLiteral("serve"), database, log, QString::number(controller.port())});
        EXPECT_TRUE(controller.waitForConnections(1)) << floor.readAllStandardError().toStdString();
        std::vector<Answer> answers;
        for (const Case& c : kCases) {
            QFile::remove(log);
            controller.sendRead(QString::fromLatin1(c.chip));
            EXPECT_TRUE(controller.waitForReplies(static_cast<int>(answers.size()) + 1)) << c.path;
            answers.push_back(
                {controller.replies().value(static_cast<qsizetype>(answers.size())), floorLines(log)});
        }
        floor.closeWriteChannel();
        EXPECT_TRUE(floor.waitForFinished(10000));
        EXPECT_EQ(floor.exitCode(), 0) << floor.readAllStandardError().toStdString();
        for (const QByteArray& line : floor.readAllStandardOutput().split('\n'))
            if (!line.isEmpty()) reported << QString::fromLatin1(line.split(' ').mid(0, 2).join(' '));
        return answers;
    }
};

TEST_F(Floor, AnswersEveryPathAsTheProgramDoesAndWritesItsLogLines) {
    const std::vector<Answer> program = programAnswers();
    QStringList reported;
    const std::vector<Answer> floor = floorAnswers(reported);
    ASSERT_EQ(program.size(), std::size(kCases));
    ASSERT_EQ(floor.size(), std::size(kCases));
    for (size_t i = 0; i < std::size(kCases); ++i) {
        const Case& c = kCases[i];
        SCOPED_TRACE(c.path);
        EXPECT_EQ(program[i].reply, c.reply);
        EXPECT_EQ(floor[i].reply, program[i].reply);
        EXPECT_FALSE(program[i].lines.isEmpty());
        EXPECT_EQ(floor[i].lines, program[i].lines);
        EXPECT_EQ(reported.value(static_cast<qsizetype>(i)), QStringLiteral("%1 %2").arg(c.chip, c.path));
    }
    // The floor closed the sale that adds up to nothing, as the program does.
    EXPECT_EQ(ShopSession(database).scalar(
                  QStringLiteral("SELECT VEN_SITUACAO FROM VENDA WHERE VEN_CONTROLE = 58")),
              QStringLiteral("C"));
}

} // namespace
