#include "shell/Application.h"

#include "platform/dialogs.h"
#include "platform/guard.h"
#include "shell/TerminationSignals.h"

#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Vortalis"));
    setQuitOnLastWindowClosed(false);
    installFontSubstitutes();
}

void installFontSubstitutes() {
    // The window's fonts are the Windows ones; these are their closest free equals.
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
}

bool Application::notify(QObject* receiver, QEvent* event) {
    if (event->type() == QEvent::SockAct || event->type() == QEvent::Timer) {
        // A termination signal goes before the turnstile traffic and the timer tick that wait
        // beside it.
        handlePendingTerminationSignal();
        if (encerrando_) return true;
    }
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void Application::encerrar() {
    encerrando_ = true;
    quit();
}

void installMessageBoxes() {
    // Without a screen nobody can answer a box: its text goes to standard error instead.
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
    dialogs::setPresenter([](dialogs::Kind kind, const QString& text) {
        QWidget* parent = QApplication::activeWindow();
        const QString title = QApplication::applicationName();
        switch (kind) {
        case dialogs::Kind::Warning:
            QMessageBox::warning(parent, title, text);
            break;
        case dialogs::Kind::Information:
            QMessageBox::information(parent, title, text);
            break;
        case dialogs::Kind::Error:
        case dialogs::Kind::StandardError:
            QMessageBox::critical(parent, title, text);
            break;
        }
    });
    dialogs::setQuestionPresenter([](const QString& text) {
        return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationName(), text) ==
               QMessageBox::Yes;
    });
}
