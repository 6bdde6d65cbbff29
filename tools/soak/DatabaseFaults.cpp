#include "DatabaseFaults.h"

#include "Soak.h"
#include "Tools.h"

#include <algorithm>

namespace soak {

namespace {
// Past the program's bounds, a while for the reads queued meanwhile to be answered.
constexpr int kCatchUpSeconds = 20;
} // namespace

QString DatabaseFault::name() const {
    return kind == Kind::Stall ? QStringLiteral("stall") : QStringLiteral("outage");
}

DatabaseFaults::DatabaseFaults(QString serverScript, QString firebirdRoot, Referee& referee)
    : serverScript_(std::move(serverScript)), firebirdRoot_(std::move(firebirdRoot)), referee_(referee) {}

bool DatabaseFaults::server(const char* command) {
    const tools::ToolRun run = tools::runTool(serverScript_, {QLatin1String(command), firebirdRoot_});
    if (!run.ok) say(QStringLiteral("firebird-server %1 failed: %2").arg(QLatin1String(command), run.errors));
    return run.ok;
}

void DatabaseFaults::outage(int seconds) {
    inject(DatabaseFault::Kind::Outage, seconds, "stop", "start");
}

void DatabaseFaults::stall(int seconds) {
    inject(DatabaseFault::Kind::Stall, seconds, "pause", "resume");
}

void DatabaseFaults::inject(DatabaseFault::Kind kind, int seconds, const char* away, const char* back) {
    DatabaseFault fault{kind, seconds, QDateTime::currentDateTime(), {}, {}, true};
    say(kind == DatabaseFault::Kind::Stall
            ? QStringLiteral("pausing the database server for %1 s (stall)").arg(seconds)
            : QStringLiteral("stopping the database server for %1 s (outage)").arg(seconds));
    referee_.faultBegins();
    fault.injected = server(away);
    runEvents(seconds * 1000);
    fault.injected = server(back) && fault.injected;
    referee_.faultEnds();
    fault.ends = QDateTime::currentDateTime();
    // A stopped server fails the next call at once; a paused one holds it for the call bound.
    // Then comes the wait and the reopen, which a server still paused holds up to its end.
    const int held = kReconnectWaitSeconds + (kind == DatabaseFault::Kind::Stall ? kCallBoundSeconds : 0);
    fault.settled = fault.begins.addSecs(std::max(seconds, held) + kCatchUpSeconds);
    say(QStringLiteral("database server back"));
    faults_.push_back(fault);
}

bool DatabaseFaults::quiet() const {
    return faults_.empty() || QDateTime::currentDateTime() >= faults_.back().settled;
}

} // namespace soak
