#pragma once
// Modal message boxes with one OK button, and a yes/no question, behind one small interface so
// that tests can answer them. The windowed program installs a presenter that shows real boxes; without one,
// the text goes to standard error.
#include <QString>
#include <functional>

namespace dialogs {

enum class Kind { Warning, Error, Information, StandardError };

using Presenter = std::function<void(Kind, const QString&)>;

// Returns the presenter that was installed before.
Presenter setPresenter(Presenter presenter);
// What happens to a box's text when nobody can answer it: it goes to standard error.
void toStandardError(Kind kind, const QString& text);

void warning(const QString& text);
void error(const QString& text);
void information(const QString& text);
// The platform's standard error box for a failure that no handler caught.
void standardError(const QString& message);

// A question with the buttons yes and no; true for yes.
using QuestionPresenter = std::function<bool(const QString&)>;
QuestionPresenter setQuestionPresenter(QuestionPresenter presenter);
// Without a presenter nobody can answer: the text goes to standard error and the answer is no.
bool question(const QString& text);

} // namespace dialogs
