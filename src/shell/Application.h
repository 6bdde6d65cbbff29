#pragma once
// The application object. Its event dispatch is the last resort for a failure that no handler
// caught: the standard error box shows it and the message loop goes on.
#include <QApplication>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The free fonts that stand in for the windows' Windows fonts; set before any window exists.
void installFontSubstitutes();

// Shows the program's message boxes as real modal boxes with one OK button.
void installMessageBoxes();
