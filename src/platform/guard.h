#pragma once
// Where Qt calls into the program (slots, event overrides, socket events), a failure that no
// handler caught is shown in the standard error box and the message loop goes on; no exception
// ever unwinds through Qt's own code.
#include "platform/dialogs.h"
#include "platform/failure.h"

#include <exception>

template <typename F> void guarded(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        dialogs::standardError(failureMessage(e));
    } catch (...) {
        dialogs::standardError(QStringLiteral("Falha desconhecida"));
    }
}
