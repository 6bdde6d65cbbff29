#include "Table.h"

#include <QDateTime>
#include <QStringList>

namespace bench {

namespace {
QString ms(double us) {
    return QString::number(us / 1000.0, 'f', 2);
}

QString ms(Samples& samples, double q) {
    return samples.empty() ? QStringLiteral("-") : ms(static_cast<double>(samples.quantile(q)));
}

QString ratio(double a, double b) {
    return a > 0 && b > 0 ? QString::number(a / b, 'f', 2) : QStringLiteral("-");
}

QString verdict(bool met) {
    return met ? QStringLiteral("met") : QStringLiteral("NOT MET");
}

void line(const QString& text) {
    std::printf("%s\n", qPrintable(text));
}

void row(const QString& label, Samples& database, Samples& floor, Samples& program) {
    line(QStringLiteral("%1%2%3%4%5%6%7%8%9")
             .arg(label, -34)
             .arg(ms(database, 0.5), -8)
             .arg(ms(database, 0.99), -9)
             .arg(ms(floor, 0.5), -8)
             .arg(ms(floor, 0.99), -9)
             .arg(ms(program, 0.5), -8)
             .arg(ms(program, 0.99), -8)
             .arg(ms(program, 1.0), -9)
             .arg(ratio(static_cast<double>(program.p50()), static_cast<double>(floor.p50())), -7) +
         ratio(static_cast<double>(program.p99()), static_cast<double>(floor.p99())));
}

Samples allPaths(const Samples (&byPath)[kPaths]) {
    Samples all;
    for (const Samples& s : byPath)
        all.add(s);
    return all;
}
} // namespace

void printTable(Results& r) {
    line(QStringLiteral("Vortalis against the floor, one sitting (%1)")
             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    line(QStringLiteral(
        "times in ms                       database         floor            program                  "
        "program/floor"));
    line(QStringLiteral(
        "                                  p50     p99      p50     p99      p50     p99     max      "
        "p50    p99"));
    for (int p = 0; p < kPaths; ++p)
        row(QStringLiteral("closed loop, 1 turnstile, %1").arg(QLatin1String(kPathNames[p])),
            r.closed[p].database[p], r.closed[p].floor.byPath[p], r.closed[p].program.byPath[p]);
    for (size_t l = 0; l < std::size(kLoads); ++l) {
        Measured& m = r.load[l];
        for (int p = 0; p < kPaths; ++p)
            row(QStringLiteral("%1 x 1 read/s, %2").arg(kLoads[l]).arg(QLatin1String(kPathNames[p])),
                m.database[p], m.floor.byPath[p], m.program.byPath[p]);
        Samples database = allPaths(m.database), floor = m.floor.all(), program = m.program.all();
        row(QStringLiteral("%1 x 1 read/s, all paths").arg(kLoads[l]), database, floor, program);
    }

    QStringList cpu, floorCpu, cpuShare, medians;
    bool cpuMet = true, medianMet = true;
    for (int p = 0; p < kPaths; ++p) {
        const double floorP50 = static_cast<double>(r.closed[p].floor.byPath[p].p50());
        // The program's own CPU: what it spends above the work that the floor does too.
        const double own = std::max(0.0, r.cpuMsPerRead[p] - r.floorCpuMsPerRead[p]);
        const double share = floorP50 > 0 ? own * 1000.0 / floorP50 : 0;
        const double median = static_cast<double>(r.closed[p].program.byPath[p].p50()) / floorP50;
        const QLatin1String name(kPathNames[p]);
        cpu << QStringLiteral("%1 %2").arg(name, QString::number(r.cpuMsPerRead[p], 'f', 2));
        floorCpu << QStringLiteral("%1 %2").arg(name, QString::number(r.floorCpuMsPerRead[p], 'f', 2));
        cpuShare << QStringLiteral("%1 %2%").arg(name).arg(share * 100.0, 0, 'f', 0);
        medians << QStringLiteral("%1 %2").arg(name, QString::number(median, 'f', 2));
        cpuMet = cpuMet && share <= 0.20;
        medianMet = medianMet && median <= 1.2;
    }
    line(QStringLiteral("program CPU per read, closed loop  %1 ms").arg(cpu.join(QStringLiteral(", "))));
    line(QStringLiteral("floor CPU per read, closed loop    %1 ms").arg(floorCpu.join(QStringLiteral(", "))));
    line(QStringLiteral("range insert per card (mean)       floor %1 ms, program %2 ms, ratio %3")
             .arg(ms(r.floorInsertUs), ms(r.programInsertUs), ratio(r.programInsertUs, r.floorInsertUs)));
    line(QStringLiteral(
             "reads sent again                   %1 lost with the 30-second connection rebuild (timed from "
             "the first sending), %2 replies to no waiting read")
             .arg(r.resent)
             .arg(r.strays));
    line(QStringLiteral("start to main window shown         %1 ms").arg(r.shownMs));
    line(QStringLiteral(
             "memory (VmRSS)                     %1 KB at start, %2 KB after %3 reads, %4 KB after %5")
             .arg(r.rssStartKb)
             .arg(r.rssHalfKb)
             .arg(r.reads / 2)
             .arg(r.rssEndKb)
             .arg(r.reads));
    line(QString());

    Measured& busiest = r.load[std::size(kLoads) - 1];
    Samples program32 = busiest.program.all(), floor32 = busiest.floor.all();
    const double p99Bound = 1.5 * static_cast<double>(floor32.p99());
    const double insertRatio = r.floorInsertUs > 0 ? r.programInsertUs / r.floorInsertUs : 0;
    const qint64 growth = r.rssEndKb - r.rssHalfKb;
    line(QStringLiteral(
        "goal                                              measured                                  "));
    auto goal = [](const QString& what, const QString& measured, bool met) {
        line(QStringLiteral("%1%2%3").arg(what, -50).arg(measured, -42).arg(verdict(met)));
    };
    goal(QStringLiteral("median reply <= 1.2 x floor, every path"), medians.join(QStringLiteral(", ")),
         medianMet);
    goal(QStringLiteral("32 x 1 read/s: p99 <= 1.5 x the floor's p99"),
         QStringLiteral("%1 ms against %2 ms").arg(ms(static_cast<double>(program32.p99())), ms(p99Bound)),
         static_cast<double>(program32.p99()) <= p99Bound);
    goal(QStringLiteral("program CPU above floor's <= 20% of floor's p50"),
         cpuShare.join(QStringLiteral(", ")), cpuMet);
    goal(QStringLiteral("range insert <= 1.2 x floor per card"),
         QStringLiteral("%1").arg(ratio(r.programInsertUs, r.floorInsertUs)), insertRatio <= 1.2);
    goal(QStringLiteral("memory flat (second half of the reads < 2 MB)"),
         QStringLiteral("%1%2 KB").arg(growth >= 0 ? "+" : "").arg(growth), growth < 2048);
}

} // namespace bench
