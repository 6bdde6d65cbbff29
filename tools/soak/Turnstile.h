#pragma once
// One simulated turnstile of the soak: a controller whose guests read cards at random moments,
// one read outstanding at a time, and that misbehaves in its own way.
#include "Gate.h"
#include "Referee.h"
#include "SimulatedController.h"
#include "Venue.h"

#include <QObject>
#include <QTimer>
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

    Turnstile(QString name, Behaviour behaviour, Venue& venue, Referee& referee, unsigned seed);

    bool listen() { return sim_.listen(); }
    quint16 port() const { return sim_.port(); }
    const QString& name() const { return name_; }

    // Reads go on while started; a stopped turnstile still waits for the answer to its last read.
    void start();
    void stop();
    // A turnstile whose row is switched off expects no answers until it is switched on again.
    void setExpectingAnswers(bool expecting);
    bool idle() const { return !gate_.waiting(); }
    // Counts a read that waited past the bound as unanswered, once.
    void checkWaiting();

private:
    void readNow();
    void replied(const QString& reply);
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
    Card card_;                 // the card of the last read
    std::optional<Card> older_; // the joined read that a newer one superseded
    bool reportedLate_ = false;
    Outcome lastExpected_ = Outcome::SemCadastro;
};

} // namespace soak
