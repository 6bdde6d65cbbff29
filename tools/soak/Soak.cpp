#include "Soak.h"

#include <QEventLoop>
#include <QTime>
#include <QTimer>
#include <cstdio>

namespace soak {

void say(const QString& text) {
    std::printf("%s %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))),
                qPrintable(text));
    std::fflush(stdout);
}

void runEvents(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace soak
