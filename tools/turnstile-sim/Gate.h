#pragma once
// A turnstile's guest reading a card, as controllers do it: one read outstanding at a time. A
// read that a connection rebuild or a reset swallowed is sent again on the new connection, but
// only once the older connections have ended, so that an answer still on its way there is not
// asked for twice. A reply answers the read outstanding when it comes on the connection that
// carried that read; any other reply is one that no read was waiting for. With a patience, a
// read that gets no reply in time is given up and the gate is free for its next guest.
#include "SimulatedController.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace sim {

class Gate : public QObject {
    Q_OBJECT
public:
    explicit Gate(SimulatedController& controller, QObject* parent = nullptr);

    // How long a read waits for its reply before it is given up; 0 (the default) waits for
    // ever. The wait starts again when the read is sent again, and stands still while no
    // connection is left to carry the read.
    void setPatience(int ms) { patienceMs_ = ms; }

    // The guest reads the card: its request goes out on the newest connection, after `before`
    // in the same write (noise, or the frame of an older read that this one supersedes). With
    // splitAt above 0 the write goes in two, cut at that byte. With no connection open the
    // read goes out on the next one.
    void read(const QString& comanda, const QByteArray& before = {}, int splitAt = 0);
    // The guest walks away: the read outstanding is waited for no more.
    void forget();

    bool waiting() const { return waiting_; }
    // The comanda of the read outstanding, or of the last one.
    const QString& comanda() const { return comanda_; }
    // When the read was first sent.
    const QDateTime& sentAt() const { return sentAt_; }
    // Waiting while no connection is left to carry the read.
    bool stranded() const { return waiting_ && sentOn_ == 0; }
    // The number of the connection that carried the read outstanding, or the last read (its
    // late answer comes there); 0 while a read outstanding waits for a connection.
    int connection() const { return sentOn_; }

    // The request frame of a card read.
    static QByteArray frameOf(const QString& comanda);

signals:
    // The reply to the read outstanding, which is then over; waitedUs runs from its first
    // sending.
    void replied(const QString& comanda, const QString& reply, qint64 waitedUs);
    // A reply that came with no read outstanding on its connection, numbered as the
    // controller numbers them.
    void stray(const QString& reply, int connection);
    void resent(const QString& comanda);
    // The connection that carried the read ended and no other is left: the read waits for the
    // program to connect again.
    void strandedRead(const QString& comanda);
    void gaveUp(const QString& comanda);

private:
    void take(const QString& reply, int connection);
    void connectionClosed();
    void resendWhenAlone();
    void waitForReply(int ms);
    void patienceRunOut();

    SimulatedController& controller_;
    QTimer patience_;
    int patienceMs_ = 0;
    bool waiting_ = false;
    QString comanda_;
    QDateTime sentAt_;
    QElapsedTimer clock_;
    // The connection that last carried the read outstanding; 0 while none does.
    int sentOn_ = 0;
};

} // namespace sim
