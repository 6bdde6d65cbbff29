#pragma once
// One simulated turnstile of the soak: a controller that reads cards at random moments, one read
// outstanding at a time, and misbehaves in its own way.
#include "Referee.h"
#include "SimulatedController.h"
#include "Venue.h"

#include <QObject>
#include <QTimer>
#include <optional>
#include <random>

namespace soak {

class Gate : public QObject {
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

    Gate(QString name, Behaviour behaviour, Venue& venue, Referee& referee, unsigned seed);

    bool listen() { return sim_.listen(); }
    quint16 port() const { return sim_.port(); }
    const QString& name() const { return name_; }

    // Reads go on while started; a stopped gate still waits for the answer to its last read.
    void start();
    void stop();
    // A gate whose row is switched off expects no answers until it is switched on again.
    void setExpectingAnswers(bool expecting);
    bool idle() const { return !outstanding_; }
    // Counts a read that waited past the bound as unanswered, once.
    void checkWaiting();

private:
    void readNow();
    void replied(const QString& reply);
    void resendWhenAlone();
    void misbehave();
    QByteArray frameOf(const Card& card) const;

    QString name_;
    Behaviour behaviour_;
    Venue& venue_;
    Referee& referee_;
    std::mt19937 random_;
    sim::SimulatedController sim_;
    QTimer next_;
    bool running_ = false;
    bool expecting_ = true;
    std::optional<Card> outstanding_;
    std::optional<Card> older_; // the joined read that a newer one superseded
    QDateTime sentAt_;
    int sentOnConnection_ = 0; // the accept count when the outstanding read last went out
    bool reportedLate_ = false;
    Outcome lastExpected_ = Outcome::SemCadastro;
};

} // namespace soak
