#pragma once
// The reads of turnstile-sim: one write at a time on the newest connection, each waiting for its
// reply or its timeout, every outcome printed with the time. The status at the end says whether
// every read sent was answered.
#include "Gate.h"
#include "Options.h"
#include "SimulatedController.h"

#include <QTimer>
#include <memory>

namespace sim {

// Prints one line with the time of day on the standard output.
void say(const QString& text);

class ReadSession : public QObject {
    Q_OBJECT
public:
    ReadSession(const Options& options, SimulatedController& controller, QObject* parent = nullptr);

    // Stops sending once the time is up; a read on its way still has its timeout.
    void stopAfter(int seconds);

signals:
    // 0 when every read sent got its reply and no reply came unasked, 1 otherwise.
    void finished(int status);

private:
    void connected();
    void sendNext();
    void replied(const QString& comanda, const QString& reply);
    void unasked(const QString& reply);
    void timedOut(const QString& comanda);
    void endOfRead(const QString& comanda);
    void timeUp();
    void finish();
    void report();
    QString nextComanda();
    bool allTaken() const { return total_ >= 0 && taken_ >= total_; }

    const Options& options_;
    SimulatedController& controller_;
    // Made after the session's own handlers are connected, so that "Vortalis connected" is
    // said before the gate sends a read again on the new connection.
    std::unique_ptr<Gate> gate_;
    qint64 total_;     // comandas to send; -1 for ever
    qint64 taken_ = 0; // comandas taken from the list so far
    QTimer pause_;
    bool started_ = false;
    bool waitingForConnection_ = false;
    bool stopping_ = false;
    bool finishing_ = false;
    int sent_ = 0;
    int answered_ = 0;
    int unanswered_ = 0;
    int unasked_ = 0;
};

} // namespace sim
