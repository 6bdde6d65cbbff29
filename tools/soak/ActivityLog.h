#pragma once
// The program's activity log as the soak reads it after the run: whether every line is well
// formed, and what the stamped lines tell about the database faults.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace soak {

class ActivityLog {
public:
    explicit ActivityLog(const QString& path);

    // Lines that are not "dd/mm/yyyy hh:nn:ss:zzz text" ending in CR LF. A database message of
    // several lines continues on unstamped lines right after its error line.
    const QStringList& malformed() const { return malformed_; }

    // Stamped lines from `from` to `to` whose text ends with `ending`; without times, all of them.
    int countEndingWith(const QString& ending, const QDateTime& from = {}, const QDateTime& to = {}) const;

    // The stretches, overlapping `from` to `to`, in which the window's thread wrote no line of
    // its work: the thread is then held by a database call, the wait after a lost connection or
    // the reopen. The lines that the handling of a database error writes from inside that hold
    // (the error, the failed reopen, its marker) do not end a stretch. The total counts the
    // stretches of a second or more: 32 turnstiles reading keep a free thread writing more often.
    struct Holds {
        qint64 longestMs = 0;
        qint64 totalMs = 0;
    };
    Holds holds(const QDateTime& from, const QDateTime& to) const;

    // The text of a reply that the program withheld because a newer read had come meanwhile.
    static const QString kWithheld;

private:
    struct Line {
        QDateTime at;
        QString text;
    };
    static bool writtenInsideAHold(const QString& text);

    std::vector<Line> stamped_;
    QStringList malformed_;
};

} // namespace soak
