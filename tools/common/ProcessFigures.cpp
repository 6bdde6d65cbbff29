#include "ProcessFigures.h"

#include <QFile>
#include <QList>
#include <unistd.h>

namespace tools {

namespace {
std::optional<QByteArray> procFile(qint64 pid, const char* name) {
    QFile file(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return file.readAll();
}
} // namespace

std::optional<qint64> residentKb(qint64 pid) {
    const std::optional<QByteArray> status = procFile(pid, "status");
    if (!status) return std::nullopt;
    for (const QByteArray& line : status->split('\n'))
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    return std::nullopt;
}

std::optional<double> cpuMs(qint64 pid) {
    const std::optional<QByteArray> stat = procFile(pid, "stat");
    if (!stat) return std::nullopt;
    // After the name, which may hold blanks, the state is the first field, utime the 12th and
    // stime the 13th.
    const QList<QByteArray> fields = stat->mid(stat->lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return std::nullopt;
    const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
    return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

} // namespace tools
