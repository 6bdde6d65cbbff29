#include "Processes.h"

#include "Chips.h"
#include "ProcessFigures.h"
#include "Tools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <signal.h>

namespace bench {

namespace {
constexpr int kOutputTimeoutMs = 30000;
} // namespace

Responder::Responder(QString name, QString messages)
    : name_(std::move(name)), messages_(std::move(messages)) {
    tools::endWithUs(process_);
}

Responder::~Responder() {
    if (process_.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(15000)) {
        process_.kill();
        process_.waitForFinished();
    }
}

void Responder::alive() const {
    if (process_.state() == QProcess::NotRunning)
        throw Failed(
            QStringLiteral("%1 ended during the benchmark (its messages are in %2)").arg(name_, messages_));
}

double Responder::cpuMs() const {
    const std::optional<double> ms = tools::cpuMs(pid());
    if (!ms) throw Failed(QStringLiteral("the CPU of %1 cannot be read").arg(name_));
    return *ms;
}

Program::Program(const Settings& s)
    : Responder(QStringLiteral("the program"), s.work + QStringLiteral("/vortalis.out")),
      executable_(s.program) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORTALIS_DRIVE_C"), s.work + QStringLiteral("/driveC"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process_.setProcessEnvironment(env);
    process_.setWorkingDirectory(QFileInfo(s.program).absolutePath());
    process_.setStandardOutputFile(messages_);
    process_.setStandardErrorFile(messages_, QIODevice::Append);
}

qint64 Program::startUntilShown() {
    QElapsedTimer clock;
    clock.start();
    process_.start(executable_, {});
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

qint64 Program::residentKb() const {
    const std::optional<qint64> kb = tools::residentKb(pid());
    if (!kb) throw Failed("the program's resident memory cannot be read");
    return *kb;
}

Floor::Floor(const Settings& s, const std::vector<Turnstile*>& turnstiles)
    : Responder(QStringLiteral("the floor"), s.work + QStringLiteral("/floor.err")) {
    QStringList args{QStringLiteral("serve"), s.database, s.work + QStringLiteral("/floor.LOG")};
    for (const Turnstile* t : turnstiles)
        args << QString::number(t->port());
    process_.setStandardErrorFile(messages_);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput,
                     [this] { output_ += process_.readAllStandardOutput(); });
    process_.start(s.floor, args);
    if (!process_.waitForStarted()) throw Failed("the floor did not start");
}

Floor::~Floor() {
    // Its last output is nobody's any more.
    QObject::disconnect(&process_, &QProcess::readyReadStandardOutput, nullptr, nullptr);
    process_.closeWriteChannel();
    process_.waitForFinished(5000);
}

void Floor::takeDatabaseTimes(qint64 count, Samples (&byPath)[kPaths]) {
    QDeadlineTimer deadline(kOutputTimeoutMs);
    while (output_.count('\n') < count) {
        alive();
        if (deadline.hasExpired()) throw Failed("the floor did not report its database times");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    for (qint64 i = 0; i < count; ++i) {
        const qsizetype end = output_.indexOf('\n');
        const QList<QByteArray> fields = output_.left(end).split(' ');
        output_.remove(0, end + 1);
        const Path expected = Chips::pathOf(fields.value(0).toLongLong());
        if (fields.size() != 3 || fields[1] != kPathNames[expected])
            throw Failed(QStringLiteral("the floor's read of chip %1 did not take the %2 path")
                             .arg(QString::fromLatin1(fields.value(0)), QLatin1String(kPathNames[expected])));
        byPath[expected].add(fields[2].toLongLong());
    }
}

Samples floorInserts(const Settings& s, qint64 first, qint64 count) {
    const QStringList args{QStringLiteral("insert"), s.database, QString::number(first),
                           QString::number(count)};
    const tools::ToolRun run = tools::runTool(s.floor, args);
    if (!run.ok) throw Failed(QStringLiteral("%1 %2 failed: %3").arg(s.floor, args.join(u' '), run.errors));
    Samples samples;
    for (const QByteArray& line : run.output.split('\n'))
        if (!line.isEmpty()) samples.add(line.toLongLong());
    return samples;
}

} // namespace bench
