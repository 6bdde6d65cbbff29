#pragma once
// A real modal message box for tests: its exec() runs Qt's nested message loop, in which socket
// events, timers and deferred deletions run as they do under an operator's box. The box closes
// itself once the condition holds (or after the time limit).
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMessageBox>
#include <QTimer>
#include <functional>

// Shows a box and returns once it has closed; true when the condition held.
inline bool showModalBoxUntil(const std::function<bool()>& condition, int timeoutMs = 30000) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Vortalis"), QStringLiteral("teste"));
    QDeadlineTimer deadline(timeoutMs);
    bool held = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &box, [&] {
        held = condition();
        if (held || deadline.hasExpired()) box.done(0);
    });
    poll.start(10);
    box.exec();
    return held;
}
