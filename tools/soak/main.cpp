// vortalis-soak: the whole program under a venue's load and faults for a number of minutes. Run
// by scripts/soak, which builds the program, starts a private Firebird server and loads a
// venue-sized shop database; this drives 32 simulated turnstiles, injects the faults, checks
// every reply and the program's health, and prints a summary. Exits 1 on a wrong or late
// answer, a death, a process that lingers, a leak, a malformed activity-log line or a fault
// that could not be injected.
#include "ActivityLog.h"
#include "DatabaseFaults.h"
#include "ProcessFigures.h"
#include "Referee.h"
#include "Soak.h"
#include "Tools.h"
#include "Turnstile.h"
#include "Venue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <signal.h>

namespace {
using soak::runEvents;
using soak::say;
using soak::Turnstile;

struct Settings {
    int minutes = 10;
    QString work;
    QString database; // connection name for isql-fb
    QString firebirdRoot;
    QString serverScript;
    QString program;
};

bool sql(const Settings& s, const QString& statements) {
    const tools::ToolRun run = tools::isql(s.database, statements);
    if (!run.ok) say(QStringLiteral("isql-fb failed: %1").arg(run.errors));
    return run.ok;
}

qint64 residentKb(qint64 pid) {
    return tools::residentKb(pid).value_or(0);
}

// How long the server is away: an outage; a stall that outlasts the program's wait, so that
// its reopen meets the paused server too; a stall that ends inside the wait.
constexpr int kOutageSeconds = 20;
constexpr int kLongStallSeconds = 55;
constexpr int kShortStallSeconds = 20;

// The faults in order, each with the time the window's thread was held during it and the
// replies the program withheld as late.
QStringList faultSummary(const std::vector<soak::DatabaseFault>& faults, const soak::ActivityLog& log) {
    using Kind = soak::DatabaseFault::Kind;
    const auto seconds = [](qint64 ms) { return QString::number(ms / 1000.0, 'f', 1); };
    long stalls = 0;
    qint64 longestStallHoldMs = 0;
    QStringList each;
    for (const soak::DatabaseFault& f : faults) {
        const soak::ActivityLog::Holds held = log.holds(f.begins, f.settled);
        if (f.kind == Kind::Stall) {
            ++stalls;
            longestStallHoldMs = std::max(longestStallHoldMs, held.longestMs);
        }
        each << QStringLiteral("  %1 %2 server %3 %4 s: thread held %5 s at most, %6 s in all; %7 replies "
                               "withheld as late%8")
                    .arg(f.begins.toString(QStringLiteral("HH:mm:ss")), f.name().leftJustified(6),
                         f.kind == Kind::Stall ? QStringLiteral("paused") : QStringLiteral("stopped"))
                    .arg(f.seconds)
                    .arg(seconds(held.longestMs), seconds(held.totalMs))
                    .arg(log.countEndingWith(soak::ActivityLog::kWithheld, f.begins, f.settled))
                    .arg(f.injected ? QString() : QStringLiteral("  NOT INJECTED"));
    }
    QStringList lines;
    lines << QStringLiteral("stalls                     %1; the window's thread held %2 s at most in them")
                 .arg(stalls)
                 .arg(seconds(longestStallHoldMs));
    lines << QStringLiteral(
                 "database faults            %1 (thread held: a stretch without a line of its work in "
                 "the activity log; in all: those of a second or more)")
                 .arg(faults.size());
    lines << each;
    lines << QStringLiteral("replies withheld as late   %1 (\"...%2\" lines in the whole log)")
                 .arg(log.countEndingWith(soak::ActivityLog::kWithheld))
                 .arg(soak::ActivityLog::kWithheld.trimmed());
    return lines;
}

Turnstile::Behaviour behaviourOf(int n) {
    using B = Turnstile::Behaviour;
    static const B kinds[] = {B::Split,  B::Split,  B::Garbage,    B::Garbage,    B::Joined, B::Joined,
                              B::Resets, B::Resets, B::SlowReader, B::SlowReader, B::Flood};
    return n >= 20 && n < 31 ? kinds[n - 20] : B::Plain;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addOptions(
        {{QStringLiteral("minutes"), QStringLiteral("Length of the run."), QStringLiteral("n"),
          QStringLiteral("10")},
         {QStringLiteral("work"), QStringLiteral("Work folder."), QStringLiteral("dir")},
         {QStringLiteral("database"), QStringLiteral("Connection name of the shop."), QStringLiteral("name")},
         {QStringLiteral("firebird-root"), QStringLiteral("Private server root."), QStringLiteral("dir")},
         {QStringLiteral("server-script"), QStringLiteral("Private server script."), QStringLiteral("path")},
         {QStringLiteral("program"), QStringLiteral("The vortalis executable."), QStringLiteral("path")}});
    cli.process(app);
    Settings s;
    s.minutes = cli.value(QStringLiteral("minutes")).toInt();
    s.work = cli.value(QStringLiteral("work"));
    s.database = cli.value(QStringLiteral("database"));
    s.firebirdRoot = cli.value(QStringLiteral("firebird-root"));
    s.serverScript = cli.value(QStringLiteral("server-script"));
    s.program = cli.value(QStringLiteral("program"));
    if (s.minutes < 1 || s.work.isEmpty() || s.database.isEmpty() || s.program.isEmpty()) {
        std::fprintf(stderr,
                     "vortalis-soak: --minutes, --work, --database, --firebird-root, --server-script and "
                     "--program are needed\n");
        return 2;
    }
    const qint64 runMs = s.minutes * 60000LL;
    soak::Venue venue(20261210);
    soak::Referee referee;
    soak::DatabaseFaults faults(s.serverScript, s.firebirdRoot, referee);

    // 32 turnstiles, one row each, and a row whose controller refuses every connection.
    std::vector<std::unique_ptr<Turnstile>> turnstiles;
    QStringList rows;
    for (int n = 0; n < 32; ++n) {
        turnstiles.push_back(std::make_unique<Turnstile>(QStringLiteral("Catraca %1").arg(n + 1),
                                                         behaviourOf(n), venue, referee, 1000 + n));
        if (!turnstiles.back()->listen()) return say(QStringLiteral("no port to listen on")), 1;
        rows << QStringLiteral("INSERT INTO CADCATRACA VALUES (%1, 'Catraca %1', '127.0.0.1', '%2', 'S');")
                    .arg(n + 1)
                    .arg(turnstiles.back()->port());
    }
    sim::SimulatedController refusing(sim::SimulatedController::Mode::Refuse);
    refusing.listen();
    rows << QStringLiteral("INSERT INTO CADCATRACA VALUES (33, 'Recusa', '127.0.0.1', '%1', 'S');")
                .arg(refusing.port());
    if (!sql(s, QStringLiteral("DELETE FROM CADCATRACA;\n") + rows.join(u'\n'))) return 1;

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORTALIS_DRIVE_C"), s.work + QStringLiteral("/driveC"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QFileInfo(s.program).absolutePath());
    program.setStandardOutputFile(s.work + QStringLiteral("/vortalis.out"));
    program.setStandardErrorFile(s.work + QStringLiteral("/vortalis.out"), QIODevice::Append);
    bool died = false;
    bool ending = false;
    QObject::connect(&program, &QProcess::finished, &app, [&](int code, QProcess::ExitStatus status) {
        if (ending) return;
        died = true;
        say(QStringLiteral("Vortalis ended during the run: exit %1%2")
                .arg(code)
                .arg(status == QProcess::CrashExit ? QStringLiteral(" (crashed)") : QString()));
    });
    program.start(s.program, {});
    if (!program.waitForStarted()) return say(QStringLiteral("Vortalis did not start")), 1;
    const qint64 pid = program.processId();
    say(QStringLiteral("Vortalis started, pid %1; waiting for the turnstiles to be connected").arg(pid));
    // The first pass reaches every turnstile but the refusing one within moments.
    runEvents(3000);
    for (auto& turnstile : turnstiles)
        turnstile->start();

    // The faults, at fractions of the run, one at a time: each begins once the program has
    // caught up with the one before. A stall and its catching up take a minute and a half, so a
    // run shorter than five minutes has room for one beside the outages.
    std::unique_ptr<Turnstile> replacement;
    struct Step {
        double at;
        std::function<void()> run;
    };
    std::vector<Step> steps;
    steps.push_back({0.10, [&] { faults.stall(kLongStallSeconds); }});
    steps.push_back({0.25, [&] { faults.outage(kOutageSeconds); }});
    steps.push_back({0.40, [&] {
                         say(QStringLiteral("switching off the row of Catraca 32"));
                         turnstiles[31]->stop();
                         turnstiles[31]->setExpectingAnswers(false);
                         sql(s,
                             QStringLiteral("UPDATE CADCATRACA SET CAT_ATIVO = 'N' WHERE CAT_CODIGO = 32;"));
                     }});
    steps.push_back({0.50, [&] {
                         replacement =
                             std::make_unique<Turnstile>(QStringLiteral("Catraca 32 nova"),
                                                         Turnstile::Behaviour::Plain, venue, referee, 2032);
                         replacement->listen();
                         say(QStringLiteral("switching the row of Catraca 32 on again, at another port"));
                         sql(s, QStringLiteral("UPDATE CADCATRACA SET CAT_ATIVO = 'S', CAT_DESCRICAO = "
                                               "'Catraca 32 nova', CAT_PORTA = '%1' WHERE CAT_CODIGO = 32;")
                                    .arg(replacement->port()));
                         replacement->start();
                     }});
    if (s.minutes >= 5) steps.push_back({0.55, [&] { faults.stall(kShortStallSeconds); }});
    steps.push_back({0.65, [&] { faults.outage(kOutageSeconds); }});

    QElapsedTimer elapsed;
    elapsed.start();
    qint64 baselineKb = 0;
    qint64 startKb = residentKb(pid);
    qint64 peakKb = startKb;
    std::size_t next = 0;
    while (!died && (elapsed.elapsed() < runMs || !faults.quiet())) {
        runEvents(1000);
        const double done = static_cast<double>(elapsed.elapsed()) / static_cast<double>(runMs);
        const qint64 kb = residentKb(pid);
        peakKb = std::max(peakKb, kb);
        if (baselineKb == 0 && done >= 0.4) baselineKb = kb;
        for (auto& turnstile : turnstiles)
            turnstile->checkWaiting();
        if (replacement) replacement->checkWaiting();
        if (next < steps.size() && done >= steps[next].at && faults.quiet()) steps[next++].run();
    }
    const qint64 endKb = residentKb(pid);

    // Time is up: no new reads; those on their way get their answers or are given up.
    for (auto& turnstile : turnstiles)
        turnstile->stop();
    if (replacement) replacement->stop();
    QDeadlineTimer draining(soak::Referee::kMaxWaitSeconds * 1000);
    auto allIdle = [&] {
        bool idle = !replacement || replacement->idle();
        for (auto& turnstile : turnstiles)
            idle = idle && turnstile->idle();
        return idle;
    };
    while (!died && !allIdle() && !draining.hasExpired())
        runEvents(500);
    for (auto& turnstile : turnstiles)
        turnstile->checkWaiting();
    if (replacement) replacement->checkWaiting();

    // The close: the program must end within a few seconds of SIGTERM.
    bool lingered = false;
    int exitCode = -1;
    if (!died) {
        ending = true;
        ::kill(static_cast<pid_t>(pid), SIGTERM);
        if (!program.waitForFinished(15000)) {
            lingered = true;
            program.kill();
            program.waitForFinished();
        }
        exitCode = program.exitStatus() == QProcess::CrashExit ? -1 : program.exitCode();
    }
    const QString logPath = QFileInfo(s.program).absolutePath() + QStringLiteral("/Log/Vortalis.LOG");
    const soak::ActivityLog log(logPath);
    const bool leaked = baselineKb > 0 && endKb - baselineKb > 20 * 1024;
    const bool faultFailed = std::any_of(faults.all().begin(), faults.all().end(),
                                         [](const soak::DatabaseFault& f) { return !f.injected; });
    const bool failed = died || lingered || exitCode != 0 || leaked || faultFailed ||
                        !log.malformed().isEmpty() || referee.wrong() > 0;

    std::printf("\nVortalis soak summary (%d minutes, 32 turnstiles, faults injected)\n", s.minutes);
    for (const QString& line : referee.summary(Turnstile::kPatienceMs / 1000))
        std::printf("  %s\n", qPrintable(line));
    for (const QString& line : faultSummary(faults.all(), log))
        std::printf("  %s\n", qPrintable(line));
    std::printf("  memory (resident)          %lld KB at start, %lld KB at 40%%, %lld KB at the end, peak "
                "%lld KB%s\n",
                startKb, baselineKb, endKb, peakKb, leaked ? "  LEAK" : "");
    std::printf(
        "  program                    %s\n",
        died ? "DIED during the run"
             : (lingered ? "LINGERED after SIGTERM"
                         : qPrintable(exitCode < 0
                                          ? QStringLiteral("CRASHED on SIGTERM")
                                          : QStringLiteral("ended with exit %1 on SIGTERM").arg(exitCode))));
    std::printf("  malformed log lines        %lld\n", static_cast<long long>(log.malformed().size()));
    for (const QString& line : log.malformed().mid(0, 10))
        std::printf("    %s\n", qPrintable(line));
    for (const QString& line : referee.wrongAnswers().mid(0, 20))
        std::printf("    %s\n", qPrintable(line));
    std::printf("  result                     %s\n", failed ? "FAILED" : "passed");
    std::printf("  activity log               %s\n", qPrintable(logPath));
    return failed ? 1 : 0;
}
