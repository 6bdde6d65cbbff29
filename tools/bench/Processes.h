#pragma once
// The two processes that answer the benchmark's turnstiles: the program as shipped, and the
// floor doing only a read's required work. Each ends with the benchmark, however it ends.
#include "Bench.h"
#include "Samples.h"
#include "Turnstile.h"

#include <QProcess>
#include <vector>

namespace bench {

class Responder {
public:
    // messages: the file that gets what the process prints.
    Responder(QString name, QString messages);
    virtual ~Responder();
    Responder(const Responder&) = delete;
    Responder& operator=(const Responder&) = delete;

    // Fails when the process has ended.
    void alive() const;
    qint64 pid() const { return process_.processId(); }
    // User and system CPU so far, in milliseconds.
    double cpuMs() const;

protected:
    QProcess process_;
    QString name_;
    QString messages_;
};

// The program in its own folder with a site INI, on the display it was given.
class Program : public Responder {
public:
    explicit Program(const Settings& s);
    // Starts it and returns the milliseconds until its main window is on the screen.
    qint64 startUntilShown();
    qint64 residentKb() const;

private:
    QString executable_;
};

// bench-floor serving its own turnstiles, with its activity log in the work folder.
class Floor : public Responder {
public:
    Floor(const Settings& s, const std::vector<Turnstile*>& turnstiles);
    // Ends it as it expects: its standard input closed.
    ~Floor() override;
    // The database-only times of its next `count` reads by path; fails when a read took
    // another path than its chip's.
    void takeDatabaseTimes(qint64 count, Samples (&byPath)[kPaths]);

private:
    QByteArray output_;
};

// The floor's times for count range-insert cards from number first.
Samples floorInserts(const Settings& s, qint64 first, qint64 count);

} // namespace bench
