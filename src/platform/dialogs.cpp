#include "platform/dialogs.h"

#include <cstdio>
#include <utility>

namespace dialogs {

namespace {
Presenter& current() {
    static Presenter presenter;
    return presenter;
}

QuestionPresenter& currentQuestion() {
    static QuestionPresenter presenter;
    return presenter;
}

void present(Kind kind, const QString& text) {
    if (current())
        current()(kind, text);
    else
        toStandardError(kind, text);
}
} // namespace

void toStandardError(Kind kind, const QString& text) {
    static const char* const kinds[] = {"warning", "error", "information", "error"};
    std::fprintf(stderr, "vortalis %s: %s\n", kinds[static_cast<int>(kind)], text.toUtf8().constData());
    std::fflush(stderr);
}

Presenter setPresenter(Presenter presenter) {
    return std::exchange(current(), std::move(presenter));
}

void warning(const QString& text) {
    present(Kind::Warning, text);
}
void error(const QString& text) {
    present(Kind::Error, text);
}
void information(const QString& text) {
    present(Kind::Information, text);
}
void standardError(const QString& message) {
    present(Kind::StandardError, message);
}

QuestionPresenter setQuestionPresenter(QuestionPresenter presenter) {
    return std::exchange(currentQuestion(), std::move(presenter));
}

bool question(const QString& text) {
    if (currentQuestion()) return currentQuestion()(text);
    std::fprintf(stderr, "vortalis question (answered no): %s\n", text.toUtf8().constData());
    std::fflush(stderr);
    return false;
}

} // namespace dialogs
