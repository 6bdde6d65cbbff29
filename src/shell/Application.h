#pragma once
// The application object. Its event dispatch is the last resort for a failure that no handler
// caught: the standard error box shows it and the message loop goes on.
#include <QApplication>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Ends the message loop. The socket and timer events that the loop still dispatches on its
    // way out are dropped: after the close, no turnstile read is answered and no rebuild starts.
    static void encerrar();

private:
    static inline bool encerrando_ = false;
};

// The free fonts that stand in for the windows' Windows fonts; set before any window exists.
void installFontSubstitutes();

// Shows the program's message boxes as real modal boxes with one OK button.
void installMessageBoxes();
