#include "Referee.h"

namespace soak {

void Referee::outageBegins() {
    outages_.emplace_back(QDateTime::currentDateTime(), QDateTime());
}

void Referee::outageEnds() {
    outages_.back().second = QDateTime::currentDateTime();
}

bool Referee::duringOutage(const QDateTime& at) const {
    for (const auto& [from, to] : outages_)
        if (at >= from && (!to.isValid() || at <= to.addSecs(kGraceSeconds))) return true;
    return false;
}

void Referee::answered(const QString& gate, const Card& card, const QString& reply, const QDateTime& sentAt) {
    const QDateTime now = QDateTime::currentDateTime();
    ++replies_;
    ++byReply_[reply];
    longestWaitMs_ = std::max(longestWaitMs_, sentAt.msecsTo(now));
    if (sentAt.secsTo(now) > kMaxWaitSeconds) {
        ++late_;
        wrongAnswers_ << QStringLiteral("%1: comanda %2 answered after %3 s")
                             .arg(gate, card.chip)
                             .arg(sentAt.secsTo(now));
    }
    if (reply == replyText(card.expected)) return;
    // While the server is away a decision fails closed: a refusal is right, a release never.
    const bool refusal = reply != replyText(Outcome::Liberado);
    if (refusal && (duringOutage(sentAt) || duringOutage(now))) {
        ++outageRefusals_;
        return;
    }
    wrongAnswers_ << QStringLiteral("%1: comanda %2 read at %3, answered at %4 \"%5\", expected \"%6\"")
                         .arg(gate, card.chip, sentAt.toString(QStringLiteral("HH:mm:ss.zzz")),
                              now.toString(QStringLiteral("HH:mm:ss.zzz")), reply, replyText(card.expected));
}

void Referee::unanswered(const QString& gate, const Card& card, const QDateTime& sentAt) {
    ++late_;
    wrongAnswers_ << QStringLiteral("%1: comanda %2 unanswered for %3 s")
                         .arg(gate, card.chip)
                         .arg(sentAt.secsTo(QDateTime::currentDateTime()));
}

QStringList Referee::summary() const {
    QStringList lines;
    lines << QStringLiteral(
                 "reads sent                 %1 (resent after a rebuild or reset: %2, superseded by "
                 "a newer read: %3)")
                 .arg(reads_)
                 .arg(resends_)
                 .arg(superseded_);
    lines << QStringLiteral("replies                    %1").arg(replies_);
    for (const auto& [reply, count] : byReply_)
        lines << QStringLiteral("  %1  %2").arg(count, 8).arg(reply);
    lines << QStringLiteral("refusals during outages    %1").arg(outageRefusals_);
    lines << QStringLiteral("longest wait for a reply   %1 s").arg(longestWaitMs_ / 1000.0, 0, 'f', 1);
    lines << QStringLiteral("wrong or late answers      %1").arg(wrongAnswers_.size());
    return lines;
}

} // namespace soak
