#pragma once
// The application object. Its event dispatch is the last resort for a failure that no handler
// caught: the standard error box shows it and the message loop goes on.
#include <QApplication>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Ends the message loop and every loop nested in it (boxes, the card dialog), and closes a box
    // that start-up shows before the loop runs. The socket and timer events dispatched on the way
    // out are dropped: after the close, no turnstile read is answered and no rebuild starts.
    static void encerrar();
    // True once the program is closing.
    static bool encerrando() { return encerrando_; }

private:
    static inline bool encerrando_ = false;
};

// The free fonts that stand in for the windows' Windows fonts; set before any window exists.
void installFontSubstitutes();

// Shows the program's message boxes as real modal boxes with one OK button, where there is a
// screen to show them on.
void installMessageBoxes();
// The same, on any platform (tests show real boxes on the offscreen one). While a box for an
// uncaught failure is open, further such failures go to the activity log, not into more boxes;
// once the program is closing, no box is shown.
void showMessageBoxes();
