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
        previousQuestion_ = dialogs::setQuestionPresenter([this](const QString& text) {
            questions.push_back(text);
            return answer;
        });
    }
    ~DialogRecorder() {
        dialogs::setPresenter(previous_);
        dialogs::setQuestionPresenter(previousQuestion_);
    }
    DialogRecorder(const DialogRecorder&) = delete;
    DialogRecorder& operator=(const DialogRecorder&) = delete;

    std::vector<ShownDialog> shown;
    // The yes/no questions asked, and the answer they all get.
    std::vector<QString> questions;
    bool answer = false;

private:
    dialogs::Presenter previous_;
    dialogs::QuestionPresenter previousQuestion_;
};
