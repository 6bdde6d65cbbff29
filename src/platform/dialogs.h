#pragma once
// Modal message boxes with one OK button, behind one small interface so that tests can answer
// them. The windowed program installs a presenter that shows real boxes; without one, the text
// goes to standard error.
#include <QString>
#include <functional>

namespace dialogs {

enum class Kind { Warning, Error, Information, StandardError };

using Presenter = std::function<void(Kind, const QString&)>;

// Returns the presenter that was installed before.
Presenter setPresenter(Presenter presenter);

void warning(const QString& text);
void error(const QString& text);
void information(const QString& text);
// The platform's standard error box for a failure that no handler caught.
void standardError(const QString& message);

} // namespace dialogs
