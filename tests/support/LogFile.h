#pragma once
// The activity log beside the test binary, as the program writes it.
#include "Files.h"
#include "base/untFuncoes.h"

#include <QDir>
#include <QRegularExpression>

namespace testlog {

inline QString path() {
    return PastaExecutavel() + QStringLiteral("Log/Vortalis.LOG");
}

inline void clear() {
    QDir(PastaExecutavel() + QStringLiteral("Log")).removeRecursively();
    QDir().mkpath(PastaExecutavel() + QStringLiteral("Log"));
}

// The texts of the log's lines, without their date and time. A text that held a line break
// continues on the next physical line, which is kept as a line of its own.
inline QStringList texts() {
    static const QRegularExpression stamp(
        QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d:\\d{3} "));
    QStringList result;
    for (QString line : QString::fromLatin1(testfiles::readAll(path())).split(QStringLiteral("\r\n"))) {
        if (line.isEmpty()) continue;
        result << line.remove(stamp);
    }
    return result;
}

inline QStringList startingWith(const QString& prefix) {
    QStringList matching;
    for (const QString& t : texts())
        if (t.startsWith(prefix)) matching << t;
    return matching;
}

} // namespace testlog
