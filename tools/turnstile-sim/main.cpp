// turnstile-sim: a turnstile controller for commissioning a site without turnstiles. It listens
// as a controller does, waits for Vortalis to connect, sends card reads and prints every reply
// decoded. Vortalis rebuilds its connections every 30 seconds; reads go on the newest one.
#include "Options.h"
#include "ReadSession.h"
#include "SimulatedController.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const sim::CommandLine cli = sim::parseCommandLine(app.arguments());
    switch (cli.outcome) {
    case sim::CommandLine::Outcome::Help:
        std::printf("%s", qPrintable(cli.text));
        return 0;
    case sim::CommandLine::Outcome::Error:
        std::fprintf(stderr, "turnstile-sim: %s\nTry \"turnstile-sim --help\".\n", qPrintable(cli.text));
        return 2;
    case sim::CommandLine::Outcome::Run:
        break;
    }
    const sim::Options& options = cli.options;
    const QString where = QStringLiteral("%1:%2").arg(options.address.toString()).arg(options.port);

    using Mode = sim::SimulatedController::Mode;
    sim::SimulatedController controller(options.refuse ? Mode::Refuse : Mode::Accept);
    if (!controller.listen(options.address, options.port)) {
        std::fprintf(stderr, "turnstile-sim: cannot listen on %s\n", qPrintable(where));
        return 1;
    }
    if (options.refuse) {
        sim::say(QStringLiteral("refusing connections on %1: nothing listens there").arg(where));
        if (options.seconds > 0) QTimer::singleShot(options.seconds * 1000, &app, &QCoreApplication::quit);
        return app.exec();
    }
    sim::say(QStringLiteral("listening on %1").arg(where));

    sim::ReadSession session(options, controller);
    QObject::connect(&session, &sim::ReadSession::finished, &app, &QCoreApplication::exit);
    if (options.seconds > 0) session.stopAfter(options.seconds);
    return app.exec();
}
