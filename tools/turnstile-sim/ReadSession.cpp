#include "ReadSession.h"

#include "turnstile/codec.h"

#include <QTime>
#include <cstdio>

namespace sim {

namespace {
// Bytes a noisy line adds before a frame; none of them can start one.
const QByteArray kNoise("\r\nnoise\x01\xff", 9);
// After the last read, replies that nobody asked for (a second one to a joined write, say) still
// have a moment to show themselves.
constexpr int kLingerMs = 200;

// "01+REON+00+6]20]Acesso liberado]" gives outcome 6 and the text "Acesso liberado".
QString decoded(const QString& reply) {
    const qsizetype codeStart = reply.indexOf(QStringLiteral("+00+"));
    const qsizetype firstBracket = reply.indexOf(u']');
    const qsizetype textStart = reply.indexOf(QStringLiteral("]20]"));
    if (codeStart < 0 || firstBracket < codeStart || textStart < 0)
        return QStringLiteral("unrecognised reply \"%1\"").arg(reply);
    const QString code = reply.mid(codeStart + 4, firstBracket - codeStart - 4);
    QString text = reply.mid(textStart + 4);
    if (text.endsWith(u']')) text.chop(1);
    return QStringLiteral("outcome %1 \"%2\"").arg(code, text);
}
} // namespace

void say(const QString& text) {
    std::printf("%s %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))),
                qPrintable(text));
    std::fflush(stdout);
}

ReadSession::ReadSession(const Options& options, SimulatedController& controller, QObject* parent)
    : QObject(parent), options_(options), controller_(controller),
      total_(options.repeat == 0 ? -1 : static_cast<qint64>(options.reads.size()) * options.repeat) {
    pause_.setSingleShot(true);
    timeout_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &ReadSession::sendNext);
    connect(&timeout_, &QTimer::timeout, this, &ReadSession::timedOut);
    connect(&controller_, &SimulatedController::connectionAccepted, this, &ReadSession::connected);
    connect(&controller_, &SimulatedController::connectionClosed, this, &ReadSession::disconnected);
    connect(&controller_, &SimulatedController::replyReceived, this, &ReadSession::replied);
}

void ReadSession::stopAfter(int seconds) {
    QTimer::singleShot(seconds * 1000, this, &ReadSession::timeUp);
}

void ReadSession::connected() {
    say(QStringLiteral("Vortalis connected"));
    if (!write_.isEmpty()) {
        resendWhenAlone();
    } else if (!started_) {
        started_ = true;
        pause_.start(options_.intervalMs);
    } else if (waitingForConnection_) {
        sendNext();
    }
}

void ReadSession::disconnected() {
    if (write_.isEmpty()) return;
    if (controller_.isConnected()) return resendWhenAlone();
    timeout_.stop();
    say(QStringLiteral("connection closed: comanda %1 waits for Vortalis to connect again")
            .arg(write_.last()));
}

void ReadSession::resendWhenAlone() {
    // A read sent while Vortalis was replacing the connection never arrived: it is sent again,
    // as a controller does when its read goes unanswered; but only once the older connections
    // have ended, so that a reply still on its way there is not answered twice.
    if (!controller_.isConnected() || controller_.openConnections() != 1) return;
    if (sentOnConnection_ == controller_.connectionsAccepted()) return;
    sentOnConnection_ = controller_.connectionsAccepted();
    say(QStringLiteral("resending comanda %1: the connection was rebuilt").arg(write_.last()));
    controller_.sendRead(write_.last());
    timeout_.start(options_.timeoutMs);
}

QString ReadSession::nextComanda() {
    return options_.reads[static_cast<qsizetype>(taken_++ % options_.reads.size())];
}

void ReadSession::sendNext() {
    if (stopping_ || allTaken()) return finish();
    if (!controller_.isConnected()) {
        if (!waitingForConnection_) say(QStringLiteral("waiting for Vortalis to connect"));
        waitingForConnection_ = true;
        return;
    }
    waitingForConnection_ = false;
    write_ = {nextComanda()};
    if (options_.join && !allTaken()) write_ << nextComanda();

    QByteArray bytes = options_.garbage ? kNoise : QByteArray();
    for (const QString& comanda : write_)
        bytes += SimulatedController::frame(cardReadRequest(comanda));
    QStringList how;
    if (options_.garbage) how << QStringLiteral("after noise");
    if (options_.split) how << QStringLiteral("in two writes");
    const QString manner =
        how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how.join(QStringLiteral(", ")));
    say(QStringLiteral("read of comanda %1%2").arg(write_.first(), manner));
    if (write_.size() == 2)
        say(QStringLiteral("read of comanda %1 in the same write: only this one is to be answered%2")
                .arg(write_.last(), manner));
    sent_ += static_cast<int>(write_.size());
    sentOnConnection_ = controller_.connectionsAccepted();

    if (options_.split)
        controller_.sendSplit(bytes, static_cast<int>(bytes.size() / 2));
    else
        controller_.sendRaw(bytes);
    timeout_.start(options_.timeoutMs + (options_.split ? SimulatedController::kSplitPauseMs : 0));
}

void ReadSession::replied(const QString& reply) {
    if (write_.isEmpty()) {
        ++unasked_;
        say(QStringLiteral("reply with no read waiting: %1").arg(decoded(reply)));
        return;
    }
    timeout_.stop();
    ++answered_;
    say(QStringLiteral("reply to comanda %1: %2").arg(write_.last(), decoded(reply)));
    endOfRead();
}

void ReadSession::timedOut() {
    ++unanswered_;
    say(QStringLiteral("comanda %1 got no reply within %2 s").arg(write_.last(), options_.timeoutText));
    endOfRead();
}

void ReadSession::endOfRead() {
    const QString comanda = write_.last();
    write_.clear();
    if (options_.resetAfterRead && controller_.isConnected()) {
        say(QStringLiteral("resetting the connection after comanda %1").arg(comanda));
        controller_.resetConnection();
    }
    if (stopping_ || allTaken()) return finish();
    pause_.start(options_.intervalMs);
}

void ReadSession::timeUp() {
    stopping_ = true;
    pause_.stop();
    if (write_.isEmpty()) return finish();
    // A read left without a connection cannot be answered any more.
    if (!timeout_.isActive()) {
        ++unanswered_;
        say(QStringLiteral("comanda %1 got no reply: the time is up").arg(write_.last()));
        write_.clear();
        finish();
    }
}

void ReadSession::finish() {
    if (finishing_) return;
    finishing_ = true;
    timeout_.stop();
    pause_.stop();
    QTimer::singleShot(kLingerMs, this, &ReadSession::report);
}

void ReadSession::report() {
    say(QStringLiteral("reads sent %1, replies %2, reads without reply %3, replies with no read waiting %4")
            .arg(sent_)
            .arg(answered_)
            .arg(unanswered_)
            .arg(unasked_));
    emit finished(unanswered_ == 0 && unasked_ == 0 ? 0 : 1);
}

} // namespace sim
