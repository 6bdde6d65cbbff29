#pragma once
// The faults the soak puts on the private database server while the turnstiles keep reading.
// An outage stops the server and starts it again: the client notices at once (a refused or
// broken link). A stall pauses it with its connections open (SIGSTOP) and resumes it (SIGCONT):
// a call in progress gets no answer at all until the program's own bound gives it up. Each
// fault runs the event loop while it lasts and is told to the referee.
#include "Referee.h"

#include <QDateTime>
#include <QString>
#include <vector>

namespace soak {

struct DatabaseFault {
    enum class Kind { Outage, Stall };
    Kind kind;
    int seconds;       // how long the server was away
    QDateTime begins;  // stopped or paused
    QDateTime ends;    // started again or resumed
    QDateTime settled; // by the program's own bounds it answers as usual again by then
    bool injected;     // the server script did every step

    QString name() const;
};

class DatabaseFaults {
public:
    DatabaseFaults(QString serverScript, QString firebirdRoot, Referee& referee);

    void outage(int seconds);
    void stall(int seconds);

    // The last fault has settled: the next may begin, and the run may end.
    bool quiet() const;
    const std::vector<DatabaseFault>& all() const { return faults_; }

    // The program's bounds on a lost database connection: a call that gets no answer is given
    // up after 10 s, and the reopen follows a 30-second wait.
    static constexpr int kCallBoundSeconds = 10;
    static constexpr int kReconnectWaitSeconds = 30;

private:
    void inject(DatabaseFault::Kind kind, int seconds, const char* away, const char* back);
    bool server(const char* command);

    QString serverScript_;
    QString firebirdRoot_;
    Referee& referee_;
    std::vector<DatabaseFault> faults_;
};

} // namespace soak
