#pragma once
// Judges every reply of the soak against what the shop implies for the card it answers, and
// keeps the figures of the summary.
#include "Venue.h"

#include <QDateTime>
#include <QStringList>
#include <map>

namespace soak {

class Referee {
public:
    // A database outage begins now, and ends now: refusals of cards that may pass are expected
    // while the program waits for the server and reconnects, until kGraceSeconds after the end.
    void outageBegins();
    void outageEnds();
    static constexpr int kGraceSeconds = 60;
    // The longest a read may wait for its answer: the 30-second reconnect wait, the connect
    // timeout, and a rebuild that swallowed the read.
    static constexpr int kMaxWaitSeconds = 90;

    void sent() { ++reads_; }
    void resent() { ++resends_; }
    void superseded() { ++superseded_; }
    // A reply for `card`, whose read was sent at `sentAt`.
    void answered(const QString& gate, const Card& card, const QString& reply, const QDateTime& sentAt);
    void unanswered(const QString& gate, const Card& card, const QDateTime& sentAt);

    int wrong() const { return static_cast<int>(wrongAnswers_.size()); }
    int late() const { return late_; }
    QStringList summary() const;
    const QStringList& wrongAnswers() const { return wrongAnswers_; }

private:
    bool duringOutage(const QDateTime& at) const;

    std::vector<std::pair<QDateTime, QDateTime>> outages_;
    long reads_ = 0;
    long replies_ = 0;
    long resends_ = 0;
    long superseded_ = 0;
    long outageRefusals_ = 0;
    int late_ = 0;
    qint64 longestWaitMs_ = 0;
    std::map<QString, long> byReply_;
    QStringList wrongAnswers_;
};

} // namespace soak
