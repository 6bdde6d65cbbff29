// The simulator's record of what the program sent: frames found however the bytes are cut into
// reads, bytes between frames skipped, every frame reported once.
#include "QtPrinters.h"
#include "SimulatedController.h"
#include "turnstile/codec.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <gtest/gtest.h>

namespace {

TEST(SimulatedControllerRecord, FramesAreFoundWhateverTheReads) {
    const QByteArray released = sim::SimulatedController::frame(kRespostaLiberado);
    const QByteArray refused = sim::SimulatedController::frame(kRespostaNegado);
    const QByteArray unknown = sim::SimulatedController::frame(kRespostaSemCadastro);
    const QByteArray stream = QByteArray("\r\nx") + released + refused + QByteArray("\x01\xff", 2) + unknown;
    const struct {
        const char* name;
        qsizetype piece; // bytes per write
    } cases[] = {{"one write", stream.size()}, {"byte by byte", 1}, {"cut across frames", 29}};

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::SimulatedController controller;
        ASSERT_TRUE(controller.listen());
        QStringList reported;
        QObject::connect(&controller, &sim::SimulatedController::replyReceived,
                         [&](const QString& text) { reported << text; });
        QTcpSocket program;
        program.connectToHost(QHostAddress::LocalHost, controller.port());
        ASSERT_TRUE(program.waitForConnected(10000));
        ASSERT_TRUE(controller.waitForConnections(1));
        for (qsizetype at = 0; at < stream.size(); at += c.piece) {
            program.write(stream.mid(at, c.piece));
            ASSERT_TRUE(program.waitForBytesWritten(10000));
            // Each piece taken before the next is written, so that the reads are cut as asked.
            const qsizetype expected = std::min(at + c.piece, stream.size());
            QDeadlineTimer deadline(10000);
            while (!deadline.hasExpired()) {
                qsizetype got = 0;
                for (const auto& chunk : controller.received())
                    got += chunk.bytes.size();
                if (got == expected) break;
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            }
        }
        ASSERT_TRUE(controller.waitForReplies(3));
        EXPECT_EQ(controller.frames(), (QList<QByteArray>{released, refused, unknown}));
        const QStringList texts{kRespostaLiberado, kRespostaNegado, kRespostaSemCadastro};
        EXPECT_EQ(controller.replies(), texts);
        EXPECT_EQ(reported, texts);
        QByteArray all;
        for (const auto& chunk : controller.received())
            all += chunk.bytes;
        EXPECT_EQ(all, stream);
    }
}

} // namespace
