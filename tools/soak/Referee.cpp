#include "Referee.h"

namespace soak {

namespace {
QString clock(const QDateTime& at) {
    return at.toString(QStringLiteral("HH:mm:ss.zzz"));
}
} // namespace

void Referee::faultBegins() {
    faults_.emplace_back(QDateTime::currentDateTime(), QDateTime());
}

void Referee::faultEnds() {
    faults_.back().second = QDateTime::currentDateTime();
}

bool Referee::databaseAway(const QDateTime& at) const {
    for (const auto& [from, to] : faults_)
        if (at >= from && (!to.isValid() || at <= to.addSecs(kGraceSeconds))) return true;
    return false;
}

void Referee::judge(const QString& gate, const Card& card, const QString& reply, const QDateTime& sentAt,
                    bool stray) {
    const QDateTime now = QDateTime::currentDateTime();
    ++replies_;
    if (stray) ++strays_;
    ++byReply_[reply];
    if (reply == replyText(card.expected)) return;
    // A decision that met the lost server answers "Acesso Negado"; any other answer that is not
    // the card's own carries another card's outcome.
    if (reply == replyText(Outcome::Negado) && (databaseAway(sentAt) || databaseAway(now))) {
        ++faultRefusals_;
        return;
    }
    wrongAnswers_ << QStringLiteral("%1: comanda %2 read at %3, answered at %4%5 \"%6\", expected \"%7\"")
                         .arg(gate, card.chip, clock(sentAt), clock(now),
                              stray ? QStringLiteral(" (after the guest gave up)") : QString(), reply,
                              replyText(card.expected));
}

void Referee::unasked(const QString& gate, const QString& reply, int connection) {
    ++replies_;
    ++byReply_[reply];
    wrongAnswers_ << QStringLiteral("%1: \"%2\" at %3 on connection %4, which carried no read")
                         .arg(gate, reply, clock(QDateTime::currentDateTime()))
                         .arg(connection);
}

void Referee::waited(const QString& gate, const QDateTime& since, bool reported) {
    const QDateTime now = QDateTime::currentDateTime();
    longestWaitMs_ = std::max(longestWaitMs_, since.msecsTo(now));
    if (!reported && since.secsTo(now) > kMaxWaitSeconds)
        wrongAnswers_ << QStringLiteral("%1: no reply from %2 to %3 (%4 s)")
                             .arg(gate, clock(since), clock(now))
                             .arg(since.secsTo(now));
}

void Referee::unanswered(const QString& gate, const QDateTime& since) {
    wrongAnswers_ << QStringLiteral("%1: no reply since %2 (%3 s)")
                         .arg(gate, clock(since))
                         .arg(since.secsTo(QDateTime::currentDateTime()));
}

QStringList Referee::summary(int patienceSeconds) const {
    QStringList lines;
    lines << QStringLiteral(
                 "reads sent                 %1 (resent after a rebuild or reset: %2, superseded by "
                 "a newer read: %3, given up after %4 s without a reply: %5)")
                 .arg(reads_)
                 .arg(resends_)
                 .arg(superseded_)
                 .arg(patienceSeconds)
                 .arg(givenUp_);
    lines << QStringLiteral("replies                    %1 (to a read its guest had given up: %2)")
                 .arg(replies_)
                 .arg(strays_);
    for (const auto& [reply, count] : byReply_)
        lines << QStringLiteral("  %1  %2").arg(count, 8).arg(reply);
    lines << QStringLiteral("refusals during faults     %1 (\"Acesso Negado\" while the database was away)")
                 .arg(faultRefusals_);
    lines << QStringLiteral("longest wait for a reply   %1 s (a turnstile reading, from its first read "
                            "left without one)")
                 .arg(longestWaitMs_ / 1000.0, 0, 'f', 1);
    lines << QStringLiteral("wrong or late answers      %1").arg(wrongAnswers_.size());
    return lines;
}

} // namespace soak
