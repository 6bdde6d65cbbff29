#include "Options.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <optional>

namespace sim {

namespace {
// Enough for a day of a venue's reads; a longer series is a typing error.
constexpr qint64 kMaxSeries = 100000;
// Longer than any card, so that a technician can check how the program meets a long one.
constexpr qsizetype kMaxComanda = 200;

const QString kSummary = QStringLiteral(
    "A turnstile controller for commissioning a site without turnstiles. It listens as a\n"
    "controller does, waits for Vortalis to connect, sends card reads one at a time and prints\n"
    "every reply decoded.");

const QString kDetails = QStringLiteral(R"(
Reads: each read is a framed card-read request for one comanda. The next read goes --interval
milliseconds after the reply to the one before, or after its timeout. A read waiting for its
reply when Vortalis rebuilds its connection (every 30 seconds) is sent again on the new one; the
timeout counts only while Vortalis is connected. A reply that comes after its read's timeout may
be taken for the next read's.

Misbehaviours, to see how the program meets a faulty controller:
  --garbage           every read is preceded by bytes that cannot start a frame (CR, LF,
                      "noise", 0x01, 0xFF); the read is still to be answered.
  --split             every read is sent in two writes 200 ms apart, cut in its middle, so that
                      it arrives in two pieces; it is still to be answered.
  --join              every write carries two reads, the next two comandas of the list. The
                      controller has given up on the older one: only the newer is to be answered,
                      and a second reply counts as one that came with no read waiting.
  --reset-after-read  once a read is answered or has timed out, the connection is ended with a
                      reset (RST), as a controller that restarts does; the next read waits until
                      Vortalis connects again.
  --refuse            a switched-off turnstile: nothing listens on the port, so Vortalis's
                      connections are refused. Sends no reads; runs until --seconds are up or it
                      is stopped. Cannot be combined with the reading options.
The first four can be combined.

Exit status: 0 when every read sent got its reply and no reply came with no read waiting;
1 when a read got no reply within --timeout, a reply came with no read waiting, or the port
could not be had; 2 for a wrong command line.

Commissioning a site: give a turnstile row this machine's address as CAT_IP and 4001 as
CAT_PORTA, set CAT_ATIVO to 'S', and on this machine run
  turnstile-sim --port 4001 --address 0.0.0.0 --read 100005 --read 900001
then start Vortalis (a running Vortalis connects at its next rebuild, within 30 seconds). Each
reply is printed as, for example,
  reply to comanda 100005: outcome 6 "Acesso liberado"
and the command ends with status 0 once both reads are answered. A series of cards at a
guest's pace, ending after ten minutes:
  turnstile-sim --port 4001 --address 0.0.0.0 --series 100001-100050 --interval 500 --repeat 0 --seconds 600
)");

QString quoted(const QString& text) {
    return u'"' + text + u'"';
}

std::optional<qint64> wholeNumber(const QString& text, qint64 min, qint64 max) {
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,18}$"));
    if (!digits.match(text).hasMatch()) return std::nullopt;
    const qint64 value = text.toLongLong();
    if (value < min || value > max) return std::nullopt;
    return value;
}

// Seconds with at most three decimals ("5", "0.25"), as milliseconds.
std::optional<int> seconds(const QString& text, int maxMs) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,5})(?:\\.([0-9]{1,3}))?$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const int ms = m.captured(1).toInt() * 1000 + m.captured(2).leftJustified(3, u'0').toInt();
    if (ms <= 0 || ms > maxMs) return std::nullopt;
    return ms;
}

// One byte per character goes into the frame, and "]" would end the comanda early.
bool isComanda(const QString& text) {
    if (text.isEmpty() || text.size() > kMaxComanda) return false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u']' || u < 0x20 || (u >= 0x7F && u < 0xA0) || u > 0xFF) return false;
    }
    return true;
}

class Checker {
public:
    explicit Checker(const QCommandLineParser& cli) : cli_(cli) {}

    // The option's value as a whole number within the bounds; a fault is noted once.
    int number(const QString& name, qint64 min, qint64 max, int fallback) {
        if (!cli_.isSet(name)) return fallback;
        const QString text = cli_.value(name);
        if (const std::optional<qint64> v = wholeNumber(text, min, max)) return static_cast<int>(*v);
        fail(QStringLiteral("--%1 wants a whole number from %2 to %3, not %4")
                 .arg(name)
                 .arg(min)
                 .arg(max)
                 .arg(quoted(text)));
        return fallback;
    }

    void fail(const QString& message) {
        if (error_.isEmpty()) error_ = message;
    }
    const QString& error() const { return error_; }

private:
    const QCommandLineParser& cli_;
    QString error_;
};

void checkReads(const QCommandLineParser& cli, Checker& check, Options& o) {
    for (const QString& comanda : cli.values(QStringLiteral("read"))) {
        if (isComanda(comanda))
            o.reads << comanda;
        else
            check.fail(QStringLiteral("--read wants a comanda of 1 to %1 printable characters without \"]\", "
                                      "not %2")
                           .arg(kMaxComanda)
                           .arg(quoted(comanda)));
    }
    if (!cli.isSet(QStringLiteral("series"))) return;
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,18})-([0-9]{1,18})$"));
    const QString text = cli.value(QStringLiteral("series"));
    const QRegularExpressionMatch m = form.match(text);
    const qint64 first = m.captured(1).toLongLong(), last = m.captured(2).toLongLong();
    if (!m.hasMatch() || first > last || last - first >= kMaxSeries) {
        check.fail(QStringLiteral("--series wants FIRST-LAST, two whole numbers with FIRST not above LAST "
                                  "and at most %1 comandas, not %2")
                       .arg(kMaxSeries)
                       .arg(quoted(text)));
        return;
    }
    for (qint64 k = first; k <= last; ++k)
        o.reads << QString::number(k);
}

void checkRefusal(const QCommandLineParser& cli, Checker& check) {
    for (const char* name :
         {"read", "series", "interval", "repeat", "timeout", "garbage", "split", "join", "reset-after-read"})
        if (cli.isSet(QString::fromLatin1(name)))
            check.fail(QStringLiteral("--refuse sends no reads: it cannot be combined with --%1").arg(name));
}

Options check(const QCommandLineParser& cli, Checker& check) {
    Options o;
    for (const char* name : {"port", "address", "series", "interval", "repeat", "seconds", "timeout"})
        if (cli.values(QString::fromLatin1(name)).size() > 1)
            check.fail(QStringLiteral("--%1 is given more than once").arg(name));
    if (!cli.positionalArguments().isEmpty())
        check.fail(QStringLiteral("unexpected argument %1").arg(quoted(cli.positionalArguments().first())));

    if (!cli.isSet(QStringLiteral("port")))
        check.fail(QStringLiteral("--port is required: the turnstile's CAT_PORTA"));
    o.port = static_cast<quint16>(check.number(QStringLiteral("port"), 1, 65535, 0));
    if (cli.isSet(QStringLiteral("address")) && !o.address.setAddress(cli.value(QStringLiteral("address"))))
        check.fail(QStringLiteral("--address wants an IP address such as 127.0.0.1 or 0.0.0.0, not %1")
                       .arg(quoted(cli.value(QStringLiteral("address")))));
    o.intervalMs = check.number(QStringLiteral("interval"), 0, 3600000, o.intervalMs);
    o.repeat = check.number(QStringLiteral("repeat"), 0, 1000000, o.repeat);
    o.seconds = check.number(QStringLiteral("seconds"), 0, 604800, o.seconds);
    if (cli.isSet(QStringLiteral("timeout"))) {
        o.timeoutText = cli.value(QStringLiteral("timeout"));
        if (const std::optional<int> ms = seconds(o.timeoutText, 3600000))
            o.timeoutMs = *ms;
        else
            check.fail(QStringLiteral("--timeout wants seconds above 0 and at most 3600, such as 5 or 0.5, "
                                      "not %1")
                           .arg(quoted(o.timeoutText)));
    }
    o.garbage = cli.isSet(QStringLiteral("garbage"));
    o.split = cli.isSet(QStringLiteral("split"));
    o.join = cli.isSet(QStringLiteral("join"));
    o.resetAfterRead = cli.isSet(QStringLiteral("reset-after-read"));
    o.refuse = cli.isSet(QStringLiteral("refuse"));
    checkReads(cli, check, o);
    if (o.refuse)
        checkRefusal(cli, check);
    else if (o.reads.isEmpty())
        check.fail(QStringLiteral("nothing to send: give --read or --series (or --refuse)"));
    return o;
}
} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser cli;
    cli.setApplicationDescription(kSummary);
    cli.addOptions({
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and the examples.")},
        {QStringLiteral("port"),
         QStringLiteral("TCP port to listen on (the turnstile's CAT_PORTA). Required."),
         QStringLiteral("port")},
        {QStringLiteral("address"),
         QStringLiteral("Address to listen on (default 127.0.0.1; 0.0.0.0 for the venue's network)."),
         QStringLiteral("address")},
        {QStringLiteral("read"), QStringLiteral("Send a read of this comanda (repeatable)."),
         QStringLiteral("comanda")},
        {QStringLiteral("series"), QStringLiteral("Send reads of the comandas FIRST to LAST."),
         QStringLiteral("first-last")},
        {QStringLiteral("interval"),
         QStringLiteral("Milliseconds between a reply and the next read (default 1000)."),
         QStringLiteral("ms")},
        {QStringLiteral("repeat"), QStringLiteral("Send the reads this many times (default 1; 0: for ever)."),
         QStringLiteral("n")},
        {QStringLiteral("seconds"),
         QStringLiteral(
             "Stop sending after this many seconds and end on the last reply (default 0: no limit)."),
         QStringLiteral("n")},
        {QStringLiteral("timeout"),
         QStringLiteral("Seconds to wait for each reply (default 5; 0.5 is allowed)."), QStringLiteral("s")},
        {QStringLiteral("garbage"),
         QStringLiteral("Precede every read with bytes that cannot start a frame.")},
        {QStringLiteral("split"), QStringLiteral("Send every read in two writes, 200 ms apart.")},
        {QStringLiteral("join"),
         QStringLiteral("Send two reads in one write; only the newer is to be answered.")},
        {QStringLiteral("reset-after-read"),
         QStringLiteral("End the connection with a reset after every read's reply or timeout.")},
        {QStringLiteral("refuse"), QStringLiteral("Listen on nothing: Vortalis's connections are refused.")},
    });

    CommandLine result;
    if (!cli.parse(arguments)) {
        result.text = cli.errorText();
        return result;
    }
    if (cli.isSet(QStringLiteral("help"))) {
        result.outcome = CommandLine::Outcome::Help;
        result.text = cli.helpText() + kDetails;
        return result;
    }
    Checker checker(cli);
    result.options = check(cli, checker);
    result.text = checker.error();
    if (result.text.isEmpty()) result.outcome = CommandLine::Outcome::Run;
    return result;
}

} // namespace sim
