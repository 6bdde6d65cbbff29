#include "shell/Application.h"

#include "base/untFuncoes.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "shell/TerminationSignals.h"

#include <QDialog>
#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSocketNotifier>

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
        if (encerrando_) {
            // A notifier left on would report its readable socket again at once, for ever.
            if (auto* notifier = qobject_cast<QSocketNotifier*>(receiver)) notifier->setEnabled(false);
            return true;
        }
    }
    bool handled = false;
    guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

void Application::encerrar() {
    encerrando_ = true;
    // Boxes and the card dialog close now; before the message loop runs (a start-up box), ending
    // the loops would not reach them.
    for (QWidget* window : topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible())
            dialog->done(QDialog::Rejected);
    exit(0);
}

namespace {
// A failure that comes while the box of another is open: the operator sees one box at a time.
void registrarFalhaNaoMostrada(const QString& message) {
    try {
        GravarLogTXT(QStringLiteral("Falha não mostrada, com outra caixa de erro aberta: ") + message);
    } catch (const std::exception&) {
        // The log cannot be written either; the open box already tells the operator.
    }
}

void showBox(dialogs::Kind kind, const QString& text) {
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
}
} // namespace

void installMessageBoxes() {
    // Without a screen nobody can answer a box: its text goes to standard error instead.
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
    showMessageBoxes();
}

void showMessageBoxes() {
    dialogs::setPresenter([](dialogs::Kind kind, const QString& text) {
        // Nobody is left to answer a box once the program is closing.
        if (Application::encerrando()) {
            dialogs::toStandardError(kind, text);
            return;
        }
        static bool failureShown = false;
        if (kind != dialogs::Kind::StandardError) {
            showBox(kind, text);
        } else if (failureShown) {
            registrarFalhaNaoMostrada(text);
        } else {
            failureShown = true;
            struct Closed {
                ~Closed() { failureShown = false; }
            } closed;
            showBox(kind, text);
        }
    });
    dialogs::setQuestionPresenter([](const QString& text) {
        if (Application::encerrando()) {
            dialogs::toStandardError(dialogs::Kind::Information, text);
            return false;
        }
        return QMessageBox::question(QApplication::activeWindow(), QApplication::applicationName(), text) ==
               QMessageBox::Yes;
    });
}
