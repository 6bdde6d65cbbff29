// vortalis-bench: the whole program against the database floor, in one sitting. Run by
// scripts/bench, which builds the program as shipped, starts a private Firebird server with a
// venue-sized shop database and a display. This starts the program with 32 simulated
// turnstiles, times card reads at the controller on each path (closed loop, then 1, 8 and 32
// turnstiles reading about once a second at random moments), the program's CPU per read, its
// memory over many reads, the time to its window, and the card dialog's range insert; the
// floor program runs the same database work on the same server. Prints one table. Exits 1 only
// when something could not be run or a reply was wrong.
#include "FloorTexts.h"
#include "Samples.h"
#include "Turnstile.h"
#include "platform/regional.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <random>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <unistd.h>

namespace {
using bench::Card;
using bench::Path;
using bench::Samples;
using bench::Turnstile;

const char* const kPathNames[] = {"short", "refuse", "close"};
constexpr int kTurnstiles = 32;
constexpr int kLoads[] = {1, 8, 32};
constexpr int kReplyTimeoutMs = 30000;
constexpr int kTurns = 4; // the floor's and the program's turns over one measurement

struct Failed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void say(const QString& text) {
    std::fprintf(stderr, "%s %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))),
                 qPrintable(text));
}

struct Settings {
    QString work;
    QString database;
    QString program;
    QString floor;
    QString rangeInsert;
    qint64 reads = 1000000;
    int closedReads = 2000;
    int loadSeconds = 60;
    int insertCards = 2000;
};

// Whatever this starts ends with it, however it ends: scripts/bench stops this on every exit path.
void endWithUs(QProcess& process) {
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

QByteArray runTool(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    endWithUs(p);
    p.start(program, args);
    p.write(input);
    p.closeWriteChannel();
    // Tools run while the turnstiles stay served.
    while (!p.waitForFinished(20))
        QCoreApplication::processEvents();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw Failed(QStringLiteral("%1 %2 failed: %3")
                         .arg(program, args.join(u' '), QString::fromLocal8Bit(p.readAllStandardError()))
                         .toStdString());
    return p.readAllStandardOutput();
}

void sql(const Settings& s, const QString& statements) {
    runTool(QStringLiteral("isql-fb"),
            {QStringLiteral("-q"), QStringLiteral("-b"), QStringLiteral("-user"), QStringLiteral("SYSDBA"),
             QStringLiteral("-password"), QStringLiteral("kestrelio"), s.database},
            (statements + QStringLiteral("\nCOMMIT;\n")).toLatin1());
}

QString dateSeparator() {
    return QString(regional::dateSeparator());
}

// Chips of the venue database by path. Short and refusing cards can be read again and again; a
// card whose sale a read closes reads short afterwards, so each is handed out once.
class Chips {
public:
    Card next(Path path) {
        static const qint64 first[] = {1000001, 1060001, 1080001};
        static const qint64 count[] = {60000, 20000, 10000};
        qint64& used = used_[path];
        if (path == bench::kClose && used >= count[path])
            throw Failed("the venue database has no more sales for the close path: fewer reads, please");
        return {QString::number(first[path] + used++ % count[path]), path};
    }
    // A run of cards for the floor program: the first chip of count fresh ones.
    qint64 take(Path path, qint64 n) {
        const qint64 chip = next(path).chip.toLongLong();
        used_[path] += n - 1;
        if (path == bench::kClose && used_[path] > 10000)
            throw Failed("the venue database has no more sales for the close path: fewer reads, please");
        return chip;
    }

private:
    qint64 used_[bench::kPaths] = {};
};

// The floor's step times, and its own CPU over them in microseconds when cpuUs is given.
Samples runFloor(const Settings& s, const QString& path, qint64 first, qint64 count,
                 double* cpuUs = nullptr) {
    Samples samples;
    const QByteArray out = runTool(s.floor, {QStringLiteral("run"), s.database, path, QString::number(first),
                                             QString::number(count), dateSeparator()});
    for (const QByteArray& line : out.split('\n')) {
        if (line.startsWith("cpu ")) {
            if (cpuUs != nullptr) *cpuUs += line.mid(4).toDouble();
        } else if (!line.isEmpty()) {
            samples.add(line.toLongLong());
        }
    }
    return samples;
}

// The program as shipped, in its own folder with a site INI, on the display it was given.
class Program {
public:
    explicit Program(const Settings& s) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VORTALIS_DRIVE_C"), s.work + QStringLiteral("/driveC"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process_.setProcessEnvironment(env);
        endWithUs(process_);
        process_.setWorkingDirectory(QFileInfo(s.program).absolutePath());
        process_.setStandardOutputFile(s.work + QStringLiteral("/vortalis.out"));
        process_.setStandardErrorFile(s.work + QStringLiteral("/vortalis.out"), QIODevice::Append);
        program_ = s.program;
    }
    ~Program() {
        if (process_.state() == QProcess::NotRunning) return;
        ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        if (!process_.waitForFinished(15000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts it and returns the milliseconds until its main window is on the screen.
    qint64 startUntilShown() {
        QElapsedTimer clock;
        clock.start();
        process_.start(program_, {});
        if (!process_.waitForStarted()) throw Failed("the program did not start");
        const QString title = QStringLiteral("[Nutrava]  - Vortalis");
        while (clock.elapsed() < 60000) {
            QProcess info;
            info.start(QStringLiteral("xwininfo"), {QStringLiteral("-name"), title});
            info.waitForFinished();
            if (info.readAllStandardOutput().contains("IsViewable")) return clock.elapsed();
            alive();
            QThread::msleep(5);
        }
        throw Failed("the program's window was not shown within a minute");
    }
    void alive() const {
        if (process_.state() == QProcess::NotRunning) throw Failed("the program ended during the benchmark");
    }
    qint64 pid() const { return process_.processId(); }
    // User and system CPU so far, in milliseconds.
    double cpuMs() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid()));
        if (!stat.open(QIODevice::ReadOnly)) throw Failed("the program's /proc stat cannot be read");
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        // After the name: state is the first field, utime the 12th and stime the 13th.
        const double ticks = fields.at(11).toDouble() + fields.at(12).toDouble();
        return ticks * 1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    qint64 residentKb() const {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
        if (!status.open(QIODevice::ReadOnly)) throw Failed("the program's /proc status cannot be read");
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
        return 0;
    }

private:
    QProcess process_;
    QString program_;
};

// Replies of the program, by path; a wrong reply or a silent turnstile stops the benchmark.
struct Replies {
    Samples byPath[bench::kPaths];
    qint64 count = 0;
    QString wrong; // the first wrong reply, reported once the event loop has returned
    void take(const Card& card, qint64 us, bool right) {
        if (!right && wrong.isEmpty()) wrong = QStringLiteral("a wrong reply to chip %1").arg(card.chip);
        byPath[card.path].add(us);
        ++count;
    }
};

// Runs the event loop until done; fails when the replies stop coming for the timeout.
void waitUntil(const Program& program, const Replies& replies, const std::function<bool()>& done,
               int timeoutMs = kReplyTimeoutMs) {
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(20);
    qint64 seen = replies.count;
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (replies.count != seen) {
            seen = replies.count;
            deadline.setRemainingTime(timeoutMs);
        }
        if (!replies.wrong.isEmpty()) throw Failed(replies.wrong.toStdString());
        if (deadline.hasExpired())
            throw Failed(QStringLiteral("no reply for %1 s after %2 replies")
                             .arg(timeoutMs / 1000)
                             .arg(seen)
                             .toStdString());
        program.alive();
        loop.exec();
    }
}

// Each turnstile reads again as soon as its reply is in, until count replies are in.
void closedLoop(const Program& program, const std::vector<Turnstile*>& turnstiles, qint64 count,
                const std::function<Card()>& next, Replies& replies, const std::function<void()>& each = {}) {
    qint64 sent = 0;
    const qint64 before = replies.count;
    for (Turnstile* t : turnstiles) {
        t->onReply([&, t](const Card& card, qint64 us, bool right) {
            replies.take(card, us, right);
            if (each) each();
            if (sent < count) {
                ++sent;
                t->read(next());
            }
        });
    }
    for (Turnstile* t : turnstiles)
        if (sent < count) {
            ++sent;
            t->read(next());
        }
    try {
        waitUntil(program, replies, [&] { return replies.count - before >= count; });
    } catch (const Failed&) {
        for (Turnstile* t : turnstiles)
            say(QStringLiteral("turnstile on port %1: %2, %3 stray replies")
                    .arg(t->port())
                    .arg(t->busy() ? QStringLiteral("waits for chip ") + t->card().chip
                                   : QStringLiteral("idle"))
                    .arg(t->strays()));
        throw;
    }
}

// Each turnstile reads at random moments, about once a second, a card of a random path.
void randomArrivals(const Program& program, const std::vector<Turnstile*>& turnstiles, int seconds,
                    Chips& chips, Replies& replies) {
    std::mt19937 random(static_cast<unsigned>(turnstiles.size()));
    std::exponential_distribution<double> gap(1.0); // per second
    std::uniform_int_distribution<int> path(0, bench::kPaths - 1);
    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<QTimer>> timers;
    for (Turnstile* t : turnstiles) {
        t->onReply([&](const Card& card, qint64 us, bool right) { replies.take(card, us, right); });
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QTimer* raw = timer.get();
        QObject::connect(raw, &QTimer::timeout, raw, [&, t, raw] {
            if (clock.elapsed() >= seconds * 1000LL) return;
            // A turnstile whose guest still waits does not read another card.
            if (!t->busy()) t->read(chips.next(static_cast<Path>(path(random))));
            raw->start(static_cast<int>(gap(random) * 1000.0));
        });
        raw->start(static_cast<int>(gap(random) * 1000.0));
        timers.push_back(std::move(timer));
    }
    waitUntil(
        program, replies,
        [&] {
            if (clock.elapsed() < seconds * 1000LL) return false;
            for (Turnstile* t : turnstiles)
                if (t->busy()) return false;
            return true;
        },
        seconds * 1000 + kReplyTimeoutMs);
}

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

struct Results {
    Samples floor[bench::kPaths];
    Replies closed[bench::kPaths];
    double cpuMsPerRead[bench::kPaths] = {};
    double floorCpuMsPerRead[bench::kPaths] = {};
    Replies load[std::size(kLoads)];
    double floorInsertUs = 0;
    double programInsertUs = 0;
    qint64 shownMs = 0;
    qint64 rssStartKb = 0, rssHalfKb = 0, rssEndKb = 0;
    qint64 reads = 0;
    int resent = 0, strays = 0;
};

void printTable(Results& r) {
    auto line = [](const QString& text) { std::printf("%s\n", qPrintable(text)); };
    line(QStringLiteral("Vortalis against the database floor, one sitting (%1)")
             .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    line(QStringLiteral(
        "times in ms                       floor            program                  program/floor"));
    line(QStringLiteral(
        "                                  p50     p99      p50     p99     max      p50    p99"));
    auto row = [&](const QString& label, Samples& floor, Samples& program) {
        line(QStringLiteral("%1%2%3%4%5%6%7%8")
                 .arg(label, -34)
                 .arg(ms(floor, 0.5), -8)
                 .arg(ms(floor, 0.99), -9)
                 .arg(ms(program, 0.5), -8)
                 .arg(ms(program, 0.99), -8)
                 .arg(ms(program, 1.0), -9)
                 .arg(ratio(static_cast<double>(program.p50()), static_cast<double>(floor.p50())), -7)
                 .arg(ratio(static_cast<double>(program.p99()), static_cast<double>(floor.p99()))));
    };
    for (int p = 0; p < bench::kPaths; ++p)
        row(QStringLiteral("closed loop, 1 turnstile, %1").arg(QLatin1String(kPathNames[p])), r.floor[p],
            r.closed[p].byPath[p]);
    Samples allFloor;
    for (auto& f : r.floor)
        allFloor.add(f);
    for (size_t l = 0; l < std::size(kLoads); ++l) {
        Samples all;
        for (int p = 0; p < bench::kPaths; ++p) {
            row(QStringLiteral("%1 x 1 read/s, %2").arg(kLoads[l]).arg(QLatin1String(kPathNames[p])),
                r.floor[p], r.load[l].byPath[p]);
            all.add(r.load[l].byPath[p]);
        }
        row(QStringLiteral("%1 x 1 read/s, all paths").arg(kLoads[l]), allFloor, all);
    }
    QStringList cpu, floorCpu, cpuShare, medians;
    bool cpuMet = true, medianMet = true;
    for (int p = 0; p < bench::kPaths; ++p) {
        const double floorP50 = static_cast<double>(r.floor[p].p50());
        // The program's own CPU: what it spends above the database client work that the floor
        // spends too.
        const double own = std::max(0.0, r.cpuMsPerRead[p] - r.floorCpuMsPerRead[p]);
        const double share = floorP50 > 0 ? own * 1000.0 / floorP50 : 0;
        floorCpu << QStringLiteral("%1 %2").arg(QLatin1String(kPathNames[p]),
                                                QString::number(r.floorCpuMsPerRead[p], 'f', 2));
        const double median = static_cast<double>(r.closed[p].byPath[p].p50()) / floorP50;
        cpu << QStringLiteral("%1 %2").arg(QLatin1String(kPathNames[p]),
                                           QString::number(r.cpuMsPerRead[p], 'f', 2));
        cpuShare << QStringLiteral("%1 %2%").arg(QLatin1String(kPathNames[p])).arg(share * 100.0, 0, 'f', 0);
        medians << QStringLiteral("%1 %2").arg(QLatin1String(kPathNames[p]), QString::number(median, 'f', 2));
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
    const size_t busiest = std::size(kLoads) - 1;
    Samples all32;
    for (auto& byPath : r.load[busiest].byPath)
        all32.add(byPath);
    const double p99Bound = 1.5 * static_cast<double>(r.floor[bench::kClose].p99());
    const double insertRatio = r.floorInsertUs > 0 ? r.programInsertUs / r.floorInsertUs : 0;
    const qint64 growth = r.rssEndKb - r.rssHalfKb;
    line(QStringLiteral(
        "goal                                              measured                                  "));
    auto goal = [&](const QString& what, const QString& measured, bool met) {
        line(QStringLiteral("%1%2%3").arg(what, -50).arg(measured, -42).arg(verdict(met)));
    };
    goal(QStringLiteral("median reply <= 1.2 x floor, every path"), medians.join(QStringLiteral(", ")),
         medianMet);
    goal(QStringLiteral("32 x 1 read/s: p99 <= 1.5 x floor's close p99"),
         QStringLiteral("%1 ms against %2 ms").arg(ms(static_cast<double>(all32.p99())), ms(p99Bound)),
         static_cast<double>(all32.p99()) <= p99Bound);
    goal(QStringLiteral("program CPU above floor's <= 20% of floor's p50"),
         cpuShare.join(QStringLiteral(", ")), cpuMet);
    goal(QStringLiteral("range insert <= 1.2 x floor per card"),
         QStringLiteral("%1").arg(ratio(r.programInsertUs, r.floorInsertUs)), insertRatio <= 1.2);
    goal(QStringLiteral("memory flat (second half of the reads < 2 MB)"),
         QStringLiteral("%1%2 KB").arg(growth >= 0 ? "+" : "").arg(growth), growth < 2048);
}

void run(const Settings& s, Results& r) {
    if (const QString differ = bench::floorTextsDiffer(s.floor); !differ.isEmpty())
        throw Failed(differ.toStdString());
    Chips chips;
    std::vector<std::unique_ptr<Turnstile>> owned;
    std::vector<Turnstile*> turnstiles;
    QStringList rows{QStringLiteral("DELETE FROM CADCATRACA;")};
    for (int n = 0; n < kTurnstiles; ++n) {
        owned.push_back(std::make_unique<Turnstile>());
        turnstiles.push_back(owned.back().get());
        if (!owned.back()->listen()) throw Failed("no loopback port to listen on");
        rows << QStringLiteral("INSERT INTO CADCATRACA VALUES (%1, 'Catraca %1', '127.0.0.1', '%2', 'S');")
                    .arg(n + 1)
                    .arg(owned.back()->port());
    }
    sql(s, rows.join(u'\n'));

    Program program(s);
    say(QStringLiteral("starting the program"));
    r.shownMs = program.startUntilShown();
    say(QStringLiteral("program pid %1, window shown after %2 ms; waiting for the turnstiles")
            .arg(program.pid())
            .arg(r.shownMs));
    const Replies none;
    waitUntil(
        program, none,
        [&] {
            for (Turnstile* t : turnstiles)
                if (!t->isConnected()) return false;
            return true;
        },
        60000);
    r.rssStartKb = program.residentKb();
    const std::vector<Turnstile*> one{turnstiles.front()};
    Replies warmup;
    closedLoop(
        program, one, 50, [&] { return chips.next(bench::kShort); }, warmup);

    // The floor and the program take turns, a readsPerTurn of the reads at a time, so that a change
    // in the shared machine's load falls on both.
    const int readsPerTurn = std::max(1, s.closedReads / kTurns);
    for (int p = 0; p < bench::kPaths; ++p) {
        const Path path = static_cast<Path>(p);
        say(QStringLiteral("closed loop, %1 path: the floor and the program in turns")
                .arg(QLatin1String(kPathNames[p])));
        double cpuMs = 0, floorCpuUs = 0;
        for (int turn = 0; turn < kTurns; ++turn) {
            r.floor[p].add(runFloor(s, QLatin1String(kPathNames[p]), chips.take(path, readsPerTurn),
                                    readsPerTurn, &floorCpuUs));
            const double cpuBefore = program.cpuMs();
            closedLoop(
                program, one, readsPerTurn, [&] { return chips.next(path); }, r.closed[p]);
            cpuMs += program.cpuMs() - cpuBefore;
        }
        r.cpuMsPerRead[p] = cpuMs / (kTurns * readsPerTurn);
        r.floorCpuMsPerRead[p] = floorCpuUs / 1000.0 / (kTurns * readsPerTurn);
    }
    for (size_t l = 0; l < std::size(kLoads); ++l) {
        say(QStringLiteral("%1 turnstiles at about one read a second each, %2 s")
                .arg(kLoads[l])
                .arg(s.loadSeconds));
        randomArrivals(program, std::vector<Turnstile*>(turnstiles.begin(), turnstiles.begin() + kLoads[l]),
                       s.loadSeconds, chips, r.load[l]);
    }

    // A card's insert is mostly its commit, which waits for the disk: the floor and the dialog
    // take turns too.
    say(QStringLiteral("range insert of %1 cards: the floor and the card dialog in turns")
            .arg(s.insertCards));
    const int cardsPerTurn = std::max(1, s.insertCards / kTurns);
    double floorUs = 0, programUs = 0;
    for (int turn = 0; turn < kTurns; ++turn) {
        const qint64 first = 5000001 + turn * cardsPerTurn;
        Samples floor = runFloor(s, QStringLiteral("insert"), first, cardsPerTurn);
        floorUs += floor.mean() * static_cast<double>(floor.size());
        const qint64 dialogFirst = 6000001 + turn * cardsPerTurn;
        const QList<QByteArray> inserted =
            runTool(s.rangeInsert, {s.database, QString::number(dialogFirst),
                                    QString::number(dialogFirst + cardsPerTurn - 1)})
                .trimmed()
                .split(' ');
        programUs += inserted.value(1).toDouble();
    }
    r.floorInsertUs = floorUs / (kTurns * cardsPerTurn);
    r.programInsertUs = programUs / (kTurns * cardsPerTurn);

    say(QStringLiteral("%1 reads, short and refusing cards in turn, two turnstiles at a time").arg(s.reads));
    r.reads = s.reads;
    bool refuse = false;
    Replies many;
    const std::vector<Turnstile*> two{turnstiles[0], turnstiles[1]};
    qint64 done = 0;
    closedLoop(
        program, two, s.reads,
        [&] { return chips.next((refuse = !refuse) ? bench::kRefuse : bench::kShort); }, many,
        [&] {
            ++done;
            if (done == s.reads / 2) r.rssHalfKb = program.residentKb();
            if (done % std::max<qint64>(1, s.reads / 10) == 0)
                say(QStringLiteral("  %1 reads, %2 KB resident").arg(done).arg(program.residentKb()));
        });
    r.rssEndKb = program.residentKb();
    for (Turnstile* t : turnstiles) {
        r.resent += t->resent();
        r.strays += t->strays();
    }
}
} // namespace

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
    Settings s;
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
    Results results;
    try {
        run(s, results);
    } catch (const Failed& e) {
        std::fprintf(stderr, "vortalis-bench: %s\n", e.what());
        return 1;
    }
    printTable(results);
    return 0;
}
