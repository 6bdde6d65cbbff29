#pragma once
// Judges every reply of the soak against what the shop implies for the read it answers, and
// keeps the figures of the summary.
#include "Venue.h"

#include <QDateTime>
#include <QStringList>
#include <map>

namespace soak {

class Referee {
public:
    // The database server goes away now (stopped, or paused with its connections open), and is
    // back now. A decision that meets it fails closed: the card is refused with "Acesso Negado",
    // which is accepted for any card read while the server is away and until kGraceSeconds
    // after it is back (the program's 30-second wait and its reopen).
    void faultBegins();
    void faultEnds();
    static constexpr int kGraceSeconds = 60;
    // The longest a turnstile that keeps reading may go without any reply. The worst the
    // program does by design is a stall of the server that outlasts its wait: the call bound
    // (10 s), the 30-second wait, a reopen that fails after the connect timeout (10 s) and the
    // next statement's attach, which the server answers once it goes on; the soak's stalls
    // are short enough for that to stay under a minute. A connection rebuild that swallowed
    // the read, and the reads queued meanwhile, come on top.
    static constexpr int kMaxWaitSeconds = 90;

    void sent() { ++reads_; }
    void resent() { ++resends_; }
    void superseded() { ++superseded_; }
    void gaveUp() { ++givenUp_; }
    // A reply that came on a connection whose newest read was `card`, sent at `sentAt`; `stray`
    // when the guest had given that read up.
    void judge(const QString& gate, const Card& card, const QString& reply, const QDateTime& sentAt,
               bool stray);
    // A reply on a connection that carried no read: it answers nothing that was asked there.
    void unasked(const QString& gate, const QString& reply, int connection);
    // A turnstile reading since `since` got a reply; `reported` when it was counted as late
    // already.
    void waited(const QString& gate, const QDateTime& since, bool reported);
    // A turnstile reading since `since` has had no reply for longer than kMaxWaitSeconds.
    void unanswered(const QString& gate, const QDateTime& since);

    int wrong() const { return static_cast<int>(wrongAnswers_.size()); }
    QStringList summary(int patienceSeconds) const;
    const QStringList& wrongAnswers() const { return wrongAnswers_; }

private:
    bool databaseAway(const QDateTime& at) const;

    std::vector<std::pair<QDateTime, QDateTime>> faults_;
    long reads_ = 0;
    long replies_ = 0;
    long strays_ = 0;
    long resends_ = 0;
    long superseded_ = 0;
    long givenUp_ = 0;
    long faultRefusals_ = 0;
    qint64 longestWaitMs_ = 0;
    std::map<QString, long> byReply_;
    QStringList wrongAnswers_;
};

} // namespace soak
