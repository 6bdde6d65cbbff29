// vortalis-bench: the whole program against the floor, in one sitting. Run by scripts/bench,
// which builds the program as shipped, starts a private Firebird server with a venue-sized shop
// database and a display. This starts the program with 32 simulated turnstiles and the floor
// with 32 of its own, and times card reads at the controller on each path: one turnstile in a
// closed loop, then 1, 8 and 32 turnstiles reading at the same random moments for both; then
// the program's and the floor's CPU per read, the program's memory over many reads, the time to
// its window, and the card dialog's range insert against the floor's. Prints one table. Exits 1
// only when something could not be run or a reply was wrong.
#include "Bench.h"
#include "ClosedLoop.h"
#include "LoadRun.h"
#include "Table.h"
#include "Tools.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTime>
#include <memory>

namespace bench {

void say(const QString& text) {
    std::fprintf(stderr, "%s %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))),
                 qPrintable(text));
}

namespace {
// The simulated turnstiles of one responder, each listening on a loopback port.
struct Turnstiles {
    std::vector<std::unique_ptr<Turnstile>> owned;
    std::vector<Turnstile*> all;

    Turnstiles() {
        for (int n = 0; n < kTurnstiles; ++n) {
            owned.push_back(std::make_unique<Turnstile>());
            all.push_back(owned.back().get());
            if (!owned.back()->listen()) throw Failed("no loopback port to listen on");
        }
    }
    std::vector<Turnstile*> first(int n) const { return {all.begin(), all.begin() + n}; }
    bool connected() const {
        for (const Turnstile* t : all)
            if (!t->isConnected()) return false;
        return true;
    }
};

void sql(const Settings& s, const QString& statements) {
    if (const tools::ToolRun run = tools::isql(s.database, statements); !run.ok)
        throw Failed(QStringLiteral("isql-fb failed: %1").arg(run.errors));
}

// The closed loops: the floor and the program in turns on each path, and their CPU per read.
void closedLoops(const Settings& s, Program& program, Floor& floor, const Turnstiles& programs,
                 const Turnstiles& floors, Chips& chips, Results& r) {
    const int readsPerTurn = std::max(1, s.closedReads / kTurns);
    for (int p = 0; p < kPaths; ++p) {
        const Path path = static_cast<Path>(p);
        say(QStringLiteral("closed loop, %1 path: the floor and the program in turns")
                .arg(QLatin1String(kPathNames[p])));
        Measured& m = r.closed[p];
        double cpuMs = 0, floorCpuMs = 0;
        for (int turn = 0; turn < kTurns; ++turn) {
            const double floorBefore = floor.cpuMs();
            closedLoop(
                floor, floors.first(1), readsPerTurn, [&] { return chips.next(path); }, m.floor);
            floorCpuMs += floor.cpuMs() - floorBefore;
            floor.takeDatabaseTimes(readsPerTurn, m.database);
            const double before = program.cpuMs();
            closedLoop(
                program, programs.first(1), readsPerTurn, [&] { return chips.next(path); }, m.program);
            cpuMs += program.cpuMs() - before;
        }
        r.cpuMsPerRead[p] = cpuMs / (kTurns * readsPerTurn);
        r.floorCpuMsPerRead[p] = floorCpuMs / (kTurns * readsPerTurn);
    }
}

// 1, 8 and 32 turnstiles at the same arrivals for the floor and the program, in turns.
void loads(const Settings& s, Program& program, Floor& floor, const Turnstiles& programs,
           const Turnstiles& floors, Chips& chips, Results& r) {
    const qint64 turnMs = std::max<qint64>(1, s.loadSeconds * 1000LL / kTurns);
    for (size_t l = 0; l < std::size(kLoads); ++l) {
        const int n = kLoads[l];
        say(QStringLiteral(
                "%1 turnstiles at about one read a second each, %2 s: the floor and the program in turns")
                .arg(n)
                .arg(s.loadSeconds));
        Measured& m = r.load[l];
        for (int turn = 0; turn < kTurns; ++turn) {
            const Arrivals arrivals = drawArrivals(n, turnMs, static_cast<unsigned>(n * 100 + turn));
            const qint64 before = m.floor.count;
            loadRun(floor, floors.first(n), arrivals, chips, m.floor);
            floor.takeDatabaseTimes(m.floor.count - before, m.database);
            loadRun(program, programs.first(n), arrivals, chips, m.program);
        }
    }
}

// A card's insert is mostly its commit, which waits for the disk: the floor and the dialog
// take turns too.
void rangeInserts(const Settings& s, Results& r) {
    say(QStringLiteral("range insert of %1 cards: the floor and the card dialog in turns")
            .arg(s.insertCards));
    const int cardsPerTurn = std::max(1, s.insertCards / kTurns);
    double floorUs = 0, programUs = 0;
    for (int turn = 0; turn < kTurns; ++turn) {
        const Samples floor = floorInserts(s, 5000001 + turn * cardsPerTurn, cardsPerTurn);
        floorUs += floor.mean() * static_cast<double>(floor.size());
        const qint64 first = 6000001 + turn * cardsPerTurn;
        const QStringList args{s.database, QString::number(first), QString::number(first + cardsPerTurn - 1)};
        const tools::ToolRun run = tools::runTool(s.rangeInsert, args);
        if (!run.ok)
            throw Failed(QStringLiteral("%1 %2 failed: %3").arg(s.rangeInsert, args.join(u' '), run.errors));
        programUs += run.output.trimmed().split(' ').value(1).toDouble();
    }
    r.floorInsertUs = floorUs / (kTurns * cardsPerTurn);
    r.programInsertUs = programUs / (kTurns * cardsPerTurn);
}

// Many reads, short and refusing cards in turn, two turnstiles at a time: the memory.
void memoryRun(const Settings& s, Program& program, const Turnstiles& programs, Chips& chips, Results& r) {
    say(QStringLiteral("%1 reads, short and refusing cards in turn, two turnstiles at a time").arg(s.reads));
    r.reads = s.reads;
    bool refuse = false;
    Replies many;
    qint64 done = 0;
    closedLoop(
        program, programs.first(2), s.reads,
        [&] { return chips.next((refuse = !refuse) ? kRefuse : kShort); }, many,
        [&] {
            ++done;
            if (done == s.reads / 2) r.rssHalfKb = program.residentKb();
            if (done % std::max<qint64>(1, s.reads / 10) == 0)
                say(QStringLiteral("  %1 reads, %2 KB resident").arg(done).arg(program.residentKb()));
        });
    r.rssEndKb = program.residentKb();
}

void run(const Settings& s, Results& r) {
    Chips chips;
    Turnstiles programs, floors;
    QStringList rows{QStringLiteral("DELETE FROM CADCATRACA;")};
    for (int n = 0; n < kTurnstiles; ++n)
        rows << QStringLiteral("INSERT INTO CADCATRACA VALUES (%1, 'Catraca %1', '127.0.0.1', '%2', 'S');")
                    .arg(n + 1)
                    .arg(programs.all[static_cast<size_t>(n)]->port());
    sql(s, rows.join(u'\n'));

    Program program(s);
    say(QStringLiteral("starting the program"));
    r.shownMs = program.startUntilShown();
    say(QStringLiteral("program pid %1, window shown after %2 ms; waiting for the turnstiles")
            .arg(program.pid())
            .arg(r.shownMs));
    const Replies none;
    waitUntil(
        program, none, [&] { return programs.connected(); }, 60000);
    r.rssStartKb = program.residentKb();
    Floor floor(s, floors.all);
    waitUntil(floor, none, [&] { return floors.connected(); });

    Replies warmup;
    closedLoop(
        program, programs.first(1), 50, [&] { return chips.next(kShort); }, warmup);
    closedLoop(
        floor, floors.first(1), 50, [&] { return chips.next(kShort); }, warmup);
    Samples ignored[kPaths];
    floor.takeDatabaseTimes(50, ignored);

    closedLoops(s, program, floor, programs, floors, chips, r);
    loads(s, program, floor, programs, floors, chips, r);
    rangeInserts(s, r);
    memoryRun(s, program, programs, chips, r);
    for (const Turnstile* t : programs.all) {
        r.resent += t->resent();
        r.strays += t->strays();
    }
}
} // namespace
} // namespace bench

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.addOptions({
        {QStringLiteral("work"), QStringLiteral("Work folder (driveC inside)."), QStringLiteral("dir")},
        {QStringLiteral("database"), QStringLiteral("Connection name of the shop."), QStringLiteral("name")},
        {QStringLiteral("program"), QStringLiteral("The vortalis executable."), QStringLiteral("path")},
        {QStringLiteral("floor"), QStringLiteral("The floor program."), QStringLiteral("path")},
        {QStringLiteral("range-insert"), QStringLiteral("The range insert runner."), QStringLiteral("path")},
        {QStringLiteral("reads"), QStringLiteral("Reads of the memory run."), QStringLiteral("n"),
         QStringLiteral("1000000")},
        {QStringLiteral("closed-reads"), QStringLiteral("Reads per path in closed loop."),
         QStringLiteral("n"), QStringLiteral("2000")},
        {QStringLiteral("load-seconds"), QStringLiteral("Length of each random-arrival load."),
         QStringLiteral("s"), QStringLiteral("60")},
    });
    cli.process(app);
    bench::Settings s;
    s.work = cli.value(QStringLiteral("work"));
    s.database = cli.value(QStringLiteral("database"));
    s.program = cli.value(QStringLiteral("program"));
    s.floor = cli.value(QStringLiteral("floor"));
    s.rangeInsert = cli.value(QStringLiteral("range-insert"));
    s.reads = cli.value(QStringLiteral("reads")).toLongLong();
    s.closedReads = cli.value(QStringLiteral("closed-reads")).toInt();
    s.loadSeconds = cli.value(QStringLiteral("load-seconds")).toInt();
    if (s.work.isEmpty() || s.database.isEmpty() || s.program.isEmpty() || s.floor.isEmpty() ||
        s.rangeInsert.isEmpty() || s.reads < 2 || s.closedReads < 1 || s.loadSeconds < 1) {
        std::fprintf(stderr,
                     "vortalis-bench: --work, --database, --program, --floor and --range-insert are "
                     "needed; --reads (2 or more), --closed-reads and --load-seconds must be positive\n");
        return 2;
    }
    bench::Results results;
    try {
        bench::run(s, results);
    } catch (const bench::Failed& e) {
        std::fprintf(stderr, "vortalis-bench: %s\n", e.what());
        return 1;
    }
    bench::printTable(results);
    return 0;
}
