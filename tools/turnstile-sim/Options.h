#pragma once
// The command line of turnstile-sim, checked as a whole before anything listens: a value out of
// its range or of the wrong form is named in a message, never read as 0 or as a default.
#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace sim {

struct Options {
    quint16 port = 0;
    QHostAddress address{QHostAddress::LocalHost};
    QStringList reads; // the comandas, in the order they are sent
    int intervalMs = 1000;
    int repeat = 1;  // 0: for ever
    int seconds = 0; // 0: no limit
    int timeoutMs = 5000;
    QString timeoutText = QStringLiteral("5"); // as given, for the reports
    bool garbage = false;
    bool split = false;
    bool join = false;
    bool resetAfterRead = false;
    bool refuse = false;
};

struct CommandLine {
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Error;
    Options options;
    QString text; // the help text, or what is wrong
};

// arguments[0] is the program's name.
CommandLine parseCommandLine(const QStringList& arguments);

} // namespace sim
