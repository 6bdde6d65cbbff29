// turnstile-sim: a turnstile controller for commissioning a site without turnstiles. It listens
// as a controller does, waits for Vortalis to connect, sends card reads and prints every reply
// decoded. Vortalis rebuilds its connections every 30 seconds; reads go on the newest one.
#include "SimulatedController.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QHostAddress>
#include <QTimer>
#include <cstdio>

namespace {
void say(const QString& text) {
    std::printf("%s %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))),
                qPrintable(text));
    std::fflush(stdout);
}

// "01+REON+00+6]20]Acesso liberado]" gives outcome 6 and the text "Acesso liberado".
QString decoded(const QString& reply) {
    const qsizetype codeStart = reply.indexOf(QStringLiteral("+00+"));
    const qsizetype firstBracket = reply.indexOf(u']');
    const qsizetype textStart = reply.indexOf(QStringLiteral("]20]"));
    if (codeStart < 0 || firstBracket < codeStart || textStart < 0)
        return QStringLiteral("unrecognised reply \"%1\"").arg(reply);
    const QString code = reply.mid(codeStart + 4, firstBracket - codeStart - 4);
    QString text = reply.mid(textStart + 4);
    if (text.endsWith(u']')) text.chop(1);
    return QStringLiteral("outcome %1 \"%2\"").arg(code, text);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(
        QStringLiteral("A turnstile controller that sends card reads to Vortalis and prints its replies."));
    cli.addHelpOption();
    cli.addOptions({
        {QStringLiteral("port"), QStringLiteral("TCP port to listen on (the turnstile's CAT_PORTA)."),
         QStringLiteral("port")},
        {QStringLiteral("address"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
         QStringLiteral("address"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("read"), QStringLiteral("Send a read of this comanda (repeatable)."),
         QStringLiteral("comanda")},
        {QStringLiteral("series"), QStringLiteral("Send reads of the comandas FIRST to LAST."),
         QStringLiteral("first-last")},
        {QStringLiteral("interval"), QStringLiteral("Milliseconds between reads (default 1000)."),
         QStringLiteral("ms"), QStringLiteral("1000")},
        {QStringLiteral("repeat"), QStringLiteral("Send the reads this many times (0: for ever)."),
         QStringLiteral("n"), QStringLiteral("1")},
        {QStringLiteral("seconds"), QStringLiteral("Stop after this many seconds (0: no limit)."),
         QStringLiteral("n"), QStringLiteral("0")},
    });
    cli.process(app);

    bool ok = false;
    const quint16 port = static_cast<quint16>(cli.value(QStringLiteral("port")).toUInt(&ok));
    if (!ok || port == 0) {
        std::fprintf(stderr, "turnstile-sim: --port is required\n");
        return 2;
    }
    QStringList reads = cli.values(QStringLiteral("read"));
    if (cli.isSet(QStringLiteral("series"))) {
        const QStringList bounds = cli.value(QStringLiteral("series")).split(u'-');
        const qlonglong first = bounds.value(0).toLongLong(), last = bounds.value(1).toLongLong();
        for (qlonglong k = first; k <= last; ++k)
            reads << QString::number(k);
    }
    const int interval = cli.value(QStringLiteral("interval")).toInt();
    const int repeat = cli.value(QStringLiteral("repeat")).toInt();
    const int seconds = cli.value(QStringLiteral("seconds")).toInt();

    sim::SimulatedController controller;
    if (!controller.listen(QHostAddress(cli.value(QStringLiteral("address"))), port)) {
        std::fprintf(stderr, "turnstile-sim: cannot listen on %s:%u\n",
                     qPrintable(cli.value(QStringLiteral("address"))), port);
        return 1;
    }
    say(QStringLiteral("listening on %1:%2").arg(cli.value(QStringLiteral("address"))).arg(port));

    int sent = 0, answered = 0;
    QString lastSent;
    bool awaitingReply = false;
    bool stopping = false;
    const int total = repeat == 0 ? -1 : static_cast<int>(reads.size()) * repeat;
    QObject::connect(&controller, &sim::SimulatedController::replyReceived, [&](const QString& reply) {
        ++answered;
        awaitingReply = false;
        say(QStringLiteral("reply to comanda %1: %2").arg(lastSent, decoded(reply)));
        if (stopping || (total >= 0 && answered >= total))
            QTimer::singleShot(200, &app, &QCoreApplication::quit);
    });
    QTimer sender;
    QObject::connect(&sender, &QTimer::timeout, [&] {
        if (reads.isEmpty() || !controller.isConnected() || awaitingReply) return;
        if (total >= 0 && sent >= total) return;
        const QString comanda = reads[sent % reads.size()];
        ++sent;
        lastSent = comanda;
        awaitingReply = true;
        say(QStringLiteral("read of comanda %1").arg(comanda));
        controller.sendRead(comanda);
    });
    QObject::connect(&controller, &sim::SimulatedController::connectionAccepted, [&] {
        say(QStringLiteral("Vortalis connected"));
        // A read sent while Vortalis was replacing the connection never arrived: send it again,
        // as a controller does when its read goes unanswered.
        if (awaitingReply) {
            say(QStringLiteral("resending comanda %1: the connection was rebuilt").arg(lastSent));
            controller.sendRead(lastSent);
        }
        if (!sender.isActive()) sender.start(interval);
    });
    // Time is up: send nothing more, and give a read still on its way a moment for its reply.
    if (seconds > 0)
        QTimer::singleShot(seconds * 1000, &app, [&] {
            stopping = true;
            sender.stop();
            if (!awaitingReply) app.quit();
            QTimer::singleShot(2000, &app, &QCoreApplication::quit);
        });
    const int rc = app.exec();
    say(QStringLiteral("reads sent %1, replies %2").arg(sent).arg(answered));
    return rc;
}
