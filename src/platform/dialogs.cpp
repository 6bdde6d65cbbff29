#include "platform/dialogs.h"

#include <cstdio>
#include <utility>

namespace dialogs {

namespace {
Presenter& current() {
    static Presenter presenter;
    return presenter;
}

void present(Kind kind, const QString& text) {
    if (current()) {
        current()(kind, text);
        return;
    }
    static const char* const kinds[] = {"warning", "error", "information", "error"};
    std::fprintf(stderr, "vortalis %s: %s\n", kinds[static_cast<int>(kind)], text.toUtf8().constData());
    std::fflush(stderr);
}
} // namespace

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

} // namespace dialogs
