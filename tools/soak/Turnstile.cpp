#include "Turnstile.h"

namespace soak {

Turnstile::Turnstile(QString name, Behaviour behaviour, Venue& venue, Referee& referee, unsigned seed,
                     int patienceMs)
    : name_(std::move(name)), behaviour_(behaviour), venue_(venue), referee_(referee),
      random_(seed), card_{QString(), Outcome::SemCadastro} {
    next_.setSingleShot(true);
    connect(&next_, &QTimer::timeout, this, &Turnstile::readNow);
    gate_.setPatience(patienceMs);
    connect(&gate_, &sim::Gate::replied, this,
            [this](const QString&, const QString& reply) { replied(reply); });
    connect(&gate_, &sim::Gate::stray, this, &Turnstile::stray);
    connect(&gate_, &sim::Gate::resent, this, [this] {
        referee_.resent();
        older_.reset();
        sentOnConnection();
    });
    // The guest walks on; the next one reads at the turnstile's next moment.
    connect(&gate_, &sim::Gate::gaveUp, this, [this] {
        referee_.gaveUp();
        older_.reset();
    });
}

void Turnstile::start() {
    running_ = true;
    // About one read a second, at random moments.
    next_.start(std::uniform_int_distribution<int>(200, 1800)(random_));
}

void Turnstile::stop() {
    running_ = false;
    next_.stop();
}

void Turnstile::setExpectingAnswers(bool expecting) {
    expecting_ = expecting;
    if (!expecting) {
        // Whatever was on its way is lost with the connection.
        gate_.forget();
        older_.reset();
        readingSince_ = QDateTime();
    }
}

void Turnstile::readNow() {
    if (!running_) return;
    if (expecting_ && !gate_.waiting() && sim_.isConnected()) {
        // Each read of a kind other than the one before: an answer meant for the previous card
        // never passes for this one's.
        card_ = venue_.cardUnlike(lastExpected_);
        lastExpected_ = card_.expected;
        std::uniform_int_distribution<int> chance(0, 9);
        QByteArray before;
        switch (behaviour_) {
        case Behaviour::Garbage:
            before = sim::SimulatedController::kNoise;
            break;
        case Behaviour::Joined:
            if (chance(random_) < 3) {
                const Card first = venue_.cardUnlike(card_.expected);
                before = sim::Gate::frameOf(first.chip);
                older_ = first;
                referee_.sent();
            }
            break;
        default:
            break;
        }
        referee_.sent();
        const auto size = static_cast<int>(before.size() + sim::Gate::frameOf(card_.chip).size());
        gate_.read(card_.chip, before,
                   behaviour_ == Behaviour::Split ? std::uniform_int_distribution<int>(1, size - 1)(random_)
                                                  : 0);
        if (!readingSince_.isValid()) readingSince_ = gate_.sentAt();
        sentOnConnection();
        misbehave();
    }
    next_.start(std::uniform_int_distribution<int>(500, 1500)(random_));
}

void Turnstile::misbehave() {
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

void Turnstile::sentOnConnection() {
    if (gate_.connection() != 0) newestOn_[gate_.connection()] = {card_, gate_.sentAt()};
}

void Turnstile::replied(const QString& reply) {
    // Two joined reads arrive together: only the newer may be answered.
    if (older_) referee_.superseded();
    older_.reset();
    referee_.judge(name_, card_, reply, gate_.sentAt(), false);
    gotReply();
}

void Turnstile::stray(const QString& reply, int connection) {
    // The late answer to a read its guest gave up: it must still be that read's, the newest the
    // connection carried.
    const auto read = newestOn_.find(connection);
    if (read == newestOn_.end())
        referee_.unasked(name_, reply, connection);
    else
        referee_.judge(name_, read->second.card, reply, read->second.sentAt, true);
    gotReply();
}

void Turnstile::gotReply() {
    if (readingSince_.isValid()) referee_.waited(name_, readingSince_, reportedLate_);
    readingSince_ = QDateTime();
    reportedLate_ = false;
}

void Turnstile::checkWaiting() {
    if (!readingSince_.isValid() || reportedLate_) return;
    if (readingSince_.secsTo(QDateTime::currentDateTime()) <= Referee::kMaxWaitSeconds) return;
    reportedLate_ = true;
    referee_.unanswered(name_, readingSince_);
}

} // namespace soak
