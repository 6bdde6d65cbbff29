#pragma once
// Answers the program's message boxes in tests and records what they said.
#include "QtPrinters.h"
#include "platform/dialogs.h"

#include <QString>
#include <vector>

struct ShownDialog {
    dialogs::Kind kind;
    QString text;
    bool operator==(const ShownDialog&) const = default;
};

inline void PrintTo(const ShownDialog& d, std::ostream* os) {
    *os << "dialog " << static_cast<int>(d.kind) << " \"" << d.text.toStdString() << '"';
}

class DialogRecorder {
public:
    DialogRecorder() {
        previous_ = dialogs::setPresenter([this](dialogs::Kind kind, const QString& text) {
            shown.push_back({kind, text});
        });
    }
    ~DialogRecorder() { dialogs::setPresenter(previous_); }
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    std::vector<ShownDialog> shown;

private:
    dialogs::Presenter previous_;
};
