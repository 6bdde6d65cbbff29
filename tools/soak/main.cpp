// vortalis-soak: the whole program under a venue's load and faults for a number of minutes. Run
// by scripts/soak, which builds the program, starts a private Firebird server and loads a
// venue-sized shop database; this drives 32 simulated turnstiles, injects the faults, checks
// every reply and the program's health, and prints a summary. Exits 1 on a wrong or late
// answer, a death, a process that lingers, a leak or a malformed activity-log line.
#include "ProcessFigures.h"
#include "Referee.h"
#include "Tools.h"
#include "Turnstile.h"
#include "Venue.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <signal.h>

namespace {
using soak::Turnstile;

void say(const QString& text) {
    std::printf("%s %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))),
                qPrintable(text));
    std::fflush(stdout);
}

struct Settings {
    int minutes = 10;
    QString work;
    QString database; // connection name for isql-fb
    QString firebirdRoot;
    QString serverScript;
    QString program;
};

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool succeeded(const QString& program, const tools::ToolRun& run) {
    if (!run.ok) say(QStringLiteral("%1 failed: %2").arg(program, run.errors));
    return run.ok;
}

bool runTool(const QString& program, const QStringList& args) {
    return succeeded(program, tools::runTool(program, args));
}

bool sql(const Settings& s, const QString& statements) {
    return succeeded(QStringLiteral("isql-fb"), tools::isql(s.database, statements));
}

qint64 residentKb(qint64 pid) {
    return tools::residentKb(pid).value_or(0);
}

// Lines of the activity log that are not "dd/mm/yyyy hh:nn:ss:zzz text" ending in CR LF. A
// database message of several lines continues on unstamped lines right after its error line.
QStringList malformedLogLines(const QString& path) {
    QFile file(path);
    QStringList bad;
    if (!file.open(QIODevice::ReadOnly)) return {QStringLiteral("the activity log cannot be read")};
    static const QRegularExpression stamped(
        QStringLiteral("^\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d:\\d{3} "));
    const QList<QByteArray> lines = file.readAll().split('\n');
    bool afterError = false;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines[i]);
        const bool ok = line.endsWith(u'\r') && !line.chopped(1).contains(u'\r');
        const bool hasStamp = stamped.match(line).hasMatch();
        if (hasStamp) afterError = line.contains(QStringLiteral(" Erro = "));
        if (!ok || (!hasStamp && !afterError))
            bad << QStringLiteral("line %1: %2").arg(i + 1).arg(line.left(120));
    }
    if (!lines.last().isEmpty()) bad << QStringLiteral("the last line has no line end");
    return bad;
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

    QElapsedTimer elapsed;
    elapsed.start();
    qint64 baselineKb = 0;
    qint64 startKb = residentKb(pid);
    qint64 peakKb = startKb;
    int step = 0;
    // The faults, at fractions of the run.
    auto outage = [&](const char* which) {
        say(QStringLiteral("stopping the database server (%1 outage)").arg(QLatin1String(which)));
        referee.outageBegins();
        runTool(s.serverScript, {QStringLiteral("stop"), s.firebirdRoot});
        runEvents(20000);
        runTool(s.serverScript, {QStringLiteral("start"), s.firebirdRoot});
        referee.outageEnds();
        say(QStringLiteral("database server back"));
    };
    std::unique_ptr<Turnstile> replacement;
    while (!died && elapsed.elapsed() < runMs) {
        runEvents(1000);
        const double done = static_cast<double>(elapsed.elapsed()) / static_cast<double>(runMs);
        const qint64 kb = residentKb(pid);
        peakKb = std::max(peakKb, kb);
        if (baselineKb == 0 && done >= 0.4) baselineKb = kb;
        for (auto& turnstile : turnstiles)
            turnstile->checkWaiting();
        if (replacement) replacement->checkWaiting();
        if (step == 0 && done >= 0.25) {
            ++step;
            outage("first");
        } else if (step == 1 && done >= 0.40) {
            ++step;
            say(QStringLiteral("switching off the row of Catraca 32"));
            turnstiles[31]->stop();
            turnstiles[31]->setExpectingAnswers(false);
            sql(s, QStringLiteral("UPDATE CADCATRACA SET CAT_ATIVO = 'N' WHERE CAT_CODIGO = 32;"));
        } else if (step == 2 && done >= 0.50) {
            ++step;
            replacement = std::make_unique<Turnstile>(QStringLiteral("Catraca 32 nova"),
                                                      Turnstile::Behaviour::Plain, venue, referee, 2032);
            replacement->listen();
            say(QStringLiteral("switching the row of Catraca 32 on again, at another port"));
            sql(s, QStringLiteral("UPDATE CADCATRACA SET CAT_ATIVO = 'S', CAT_DESCRICAO = 'Catraca 32 nova', "
                                  "CAT_PORTA = '%1' WHERE CAT_CODIGO = 32;")
                       .arg(replacement->port()));
            replacement->start();
        } else if (step == 3 && done >= 0.65) {
            ++step;
            outage("second");
        }
    }
    const qint64 endKb = residentKb(pid);

    // Time is up: no new reads; those on their way get their answers.
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
    const QStringList malformed = malformedLogLines(logPath);
    const bool leaked = baselineKb > 0 && endKb - baselineKb > 20 * 1024;
    const bool failed =
        died || lingered || exitCode != 0 || leaked || !malformed.isEmpty() || referee.wrong() > 0;

    std::printf("\nVortalis soak summary (%d minutes, 32 turnstiles, faults injected)\n", s.minutes);
    for (const QString& line : referee.summary())
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
    std::printf("  malformed log lines        %lld\n", static_cast<long long>(malformed.size()));
    for (const QString& line : malformed.mid(0, 10))
        std::printf("    %s\n", qPrintable(line));
    for (const QString& line : referee.wrongAnswers().mid(0, 20))
        std::printf("    %s\n", qPrintable(line));
    std::printf("  result                     %s\n", failed ? "FAILED" : "passed");
    std::printf("  activity log               %s\n", qPrintable(logPath));
    return failed ? 1 : 0;
}
