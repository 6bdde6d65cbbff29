#pragma once
// One simulated turnstile of the soak: a controller whose guests read cards at random moments,
// one read outstanding at a time, and that misbehaves in its own way. A guest waits for the
// reply as long as the gate's patience, then walks on and the next guest reads. Every reply is
// judged against the newest read on the connection it came on.
#include "Gate.h"
#include "Referee.h"
#include "SimulatedController.h"
#include "Venue.h"

#include <QObject>
#include <QTimer>
#include <map>
#include <optional>
#include <random>

namespace soak {

class Turnstile : public QObject {
    Q_OBJECT
public:
    enum class Behaviour {
        Plain,      // one whole frame per read
        Split,      // each read in two writes
        Garbage,    // noise before every read
        Joined,     // now and then two reads in one write: only the newer is answered
        Resets,     // now and then ends its connection with a reset
        SlowReader, // now and then leaves the replies unread for a while
        Flood,      // now and then sends a megabyte of noise
    };

    Turnstile(QString name, Behaviour behaviour, Venue& venue, Referee& referee, unsigned seed,
              int patienceMs = kPatienceMs);
    static constexpr int kPatienceMs = 5000;

    bool listen() { return sim_.listen(); }
    quint16 port() const { return sim_.port(); }
    const QString& name() const { return name_; }

    // Reads go on while started; a stopped turnstile still waits for the answer to its last read.
    void start();
    void stop();
    // A turnstile whose row is switched off expects no answers until it is switched on again.
    void setExpectingAnswers(bool expecting);
    bool idle() const { return !gate_.waiting(); }
    // Counts a turnstile that has read without any reply for longer than the bound, once.
    void checkWaiting();

private:
    struct Read {
        Card card;
        QDateTime sentAt;
    };
    void readNow();
    void sentOnConnection();
    void replied(const QString& reply);
    void stray(const QString& reply, int connection);
    void gotReply();
    void misbehave();

    QString name_;
    Behaviour behaviour_;
    Venue& venue_;
    Referee& referee_;
    std::mt19937 random_;
    sim::SimulatedController sim_;
    sim::Gate gate_{sim_};
    QTimer next_;
    bool running_ = false;
    bool expecting_ = true;
    Card card_;                    // the card of the last read
    std::optional<Card> older_;    // the joined read that a newer one superseded
    std::map<int, Read> newestOn_; // by connection: the newest read it carried
    QDateTime readingSince_;       // the first read since the last reply
    bool reportedLate_ = false;
    Outcome lastExpected_ = Outcome::SemCadastro;
};

} // namespace soak
