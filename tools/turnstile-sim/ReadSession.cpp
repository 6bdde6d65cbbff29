#include "ReadSession.h"

#include <QTime>
#include <cstdio>

namespace sim {

namespace {
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
    connect(&pause_, &QTimer::timeout, this, &ReadSession::sendNext);
    connect(&controller_, &SimulatedController::connectionAccepted, this, &ReadSession::connected);
    gate_ = std::make_unique<Gate>(controller_);
    gate_->setPatience(options.timeoutMs);
    connect(gate_.get(), &Gate::replied, this, &ReadSession::replied);
    connect(gate_.get(), &Gate::stray, this, &ReadSession::unasked);
    connect(gate_.get(), &Gate::gaveUp, this, &ReadSession::timedOut);
    connect(gate_.get(), &Gate::resent, this, [](const QString& comanda) {
        say(QStringLiteral("resending comanda %1: the connection was rebuilt").arg(comanda));
    });
    connect(gate_.get(), &Gate::strandedRead, this, [](const QString& comanda) {
        say(QStringLiteral("connection closed: comanda %1 waits for Vortalis to connect again").arg(comanda));
    });
}

void ReadSession::stopAfter(int seconds) {
    QTimer::singleShot(seconds * 1000, this, &ReadSession::timeUp);
}

void ReadSession::connected() {
    say(QStringLiteral("Vortalis connected"));
    // A read waiting for its reply is the gate's to send again.
    if (gate_->waiting()) return;
    if (!started_) {
        started_ = true;
        pause_.start(options_.intervalMs);
    } else if (waitingForConnection_) {
        sendNext();
    }
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
    // The comandas of one write; only the last one is to be answered.
    QStringList write{nextComanda()};
    if (options_.join && !allTaken()) write << nextComanda();

    QByteArray before = options_.garbage ? SimulatedController::kNoise : QByteArray();
    if (write.size() == 2) before += Gate::frameOf(write.first());
    QStringList how;
    if (options_.garbage) how << QStringLiteral("after noise");
    if (options_.split) how << QStringLiteral("in two writes");
    const QString manner =
        how.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(how.join(QStringLiteral(", ")));
    say(QStringLiteral("read of comanda %1%2").arg(write.first(), manner));
    if (write.size() == 2)
        say(QStringLiteral("read of comanda %1 in the same write: only this one is to be answered%2")
                .arg(write.last(), manner));
    sent_ += static_cast<int>(write.size());
    const auto size = before.size() + Gate::frameOf(write.last()).size();
    gate_->read(write.last(), before, options_.split ? static_cast<int>(size / 2) : 0);
}

void ReadSession::replied(const QString& comanda, const QString& reply) {
    ++answered_;
    say(QStringLiteral("reply to comanda %1: %2").arg(comanda, decoded(reply)));
    endOfRead(comanda);
}

void ReadSession::unasked(const QString& reply) {
    ++unasked_;
    say(QStringLiteral("reply with no read waiting: %1").arg(decoded(reply)));
}

void ReadSession::timedOut(const QString& comanda) {
    ++unanswered_;
    say(QStringLiteral("comanda %1 got no reply within %2 s").arg(comanda, options_.timeoutText));
    endOfRead(comanda);
}

void ReadSession::endOfRead(const QString& comanda) {
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
    if (!gate_->waiting()) return finish();
    // A read left without a connection cannot be answered any more.
    if (gate_->stranded()) {
        ++unanswered_;
        say(QStringLiteral("comanda %1 got no reply: the time is up").arg(gate_->comanda()));
        gate_->forget();
        finish();
    }
}

void ReadSession::finish() {
    if (finishing_) return;
    finishing_ = true;
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
