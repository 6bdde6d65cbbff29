#include "Gate.h"

#include "turnstile/codec.h"

namespace soak {

Gate::Gate(QString name, Behaviour behaviour, Venue& venue, Referee& referee, unsigned seed)
    : name_(std::move(name)), behaviour_(behaviour), venue_(venue), referee_(referee), random_(seed) {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &Gate::readNow);
    connect(&sim_, &sim::SimulatedController::replyReceived, this, &Gate::replied);
    connect(&sim_, &sim::SimulatedController::connectionAccepted, this, &Gate::resendWhenAlone);
    connect(&sim_, &sim::SimulatedController::connectionClosed, this, &Gate::resendWhenAlone);
}

void Gate::start() {
    running_ = true;
    // About one read a second, at random moments.
    next_.start(std::uniform_int_distribution<int>(200, 1800)(random_));
}

void Gate::stop() {
    running_ = false;
    next_.stop();
}

void Gate::setExpectingAnswers(bool expecting) {
    expecting_ = expecting;
    if (!expecting) {
        // Whatever was on its way is lost with the connection.
        outstanding_.reset();
        older_.reset();
    }
}

QByteArray Gate::frameOf(const Card& card) const {
    return sim::SimulatedController::frame(cardReadRequest(card.chip));
}

void Gate::readNow() {
    if (!running_) return;
    if (expecting_ && !outstanding_ && sim_.isConnected()) {
        // Each read of a kind other than the one before: an answer meant for the previous card
        // never passes for this one's.
        const Card card = venue_.cardUnlike(lastExpected_);
        lastExpected_ = card.expected;
        std::uniform_int_distribution<int> chance(0, 9);
        QByteArray bytes = frameOf(card);
        switch (behaviour_) {
        case Behaviour::Garbage:
            bytes.prepend(QByteArray("\r\nnoise\x01\xff", 9));
            break;
        case Behaviour::Joined:
            if (chance(random_) < 3) {
                const Card first = venue_.cardUnlike(card.expected);
                bytes.prepend(frameOf(first));
                older_ = first;
                referee_.sent();
            }
            break;
        default:
            break;
        }
        outstanding_ = card;
        sentAt_ = QDateTime::currentDateTime();
        sentOnConnection_ = sim_.connectionsAccepted();
        reportedLate_ = false;
        referee_.sent();
        if (behaviour_ == Behaviour::Split)
            sim_.sendSplit(
                bytes, std::uniform_int_distribution<int>(1, static_cast<int>(bytes.size()) - 1)(random_));
        else
            sim_.sendRaw(bytes);
        misbehave();
    }
    next_.start(std::uniform_int_distribution<int>(500, 1500)(random_));
}

void Gate::misbehave() {
    std::uniform_int_distribution<int> chance(0, 99);
    switch (behaviour_) {
    case Behaviour::Resets:
        // The read just sent may be lost with the connection; it is sent again on the next one.
        if (chance(random_) < 3) QTimer::singleShot(50, &sim_, [this] { sim_.resetConnection(); });
        break;
    case Behaviour::SlowReader:
        if (chance(random_) < 10) {
            sim_.setReadingPaused(true);
            QTimer::singleShot(3000, &sim_, [this] { sim_.setReadingPaused(false); });
        }
        break;
    case Behaviour::Flood:
        if (chance(random_) < 2) sim_.sendFlood(1024 * 1024, 'Z');
        break;
    default:
        break;
    }
}

void Gate::replied(const QString& reply) {
    if (!outstanding_) return; // an answer after the row was switched off
    // Two joined reads arrive together: only the newer may be answered.
    if (older_) referee_.superseded();
    older_.reset();
    referee_.answered(name_, *outstanding_, reply, sentAt_);
    outstanding_.reset();
}

void Gate::resendWhenAlone() {
    // A read that a rebuild or a reset swallowed is sent again on the new connection, as a
    // controller does; but only once the older connections have ended, so that an answer still
    // on its way there is not answered twice.
    if (!outstanding_ || !sim_.isConnected() || sim_.openConnections() != 1) return;
    if (sentOnConnection_ == sim_.connectionsAccepted()) return;
    sentOnConnection_ = sim_.connectionsAccepted();
    referee_.resent();
    older_.reset();
    sim_.sendRaw(frameOf(*outstanding_));
}

void Gate::checkWaiting() {
    if (!outstanding_ || reportedLate_) return;
    if (sentAt_.secsTo(QDateTime::currentDateTime()) <= Referee::kMaxWaitSeconds) return;
    reportedLate_ = true;
    referee_.unanswered(name_, *outstanding_, sentAt_);
}

} // namespace soak
