#pragma once
// A failure reported by the Firebird client through its error status: the primary error code
// (status[1]) and the message as the client formats it.
#include "platform/failure.h"

#include <ibase.h>

namespace db {

class FirebirdError : public Failure {
public:
    FirebirdError(long code, const QString& message) : Failure(message), code_(code) {}
    long code() const { return code_; }

private:
    long code_;
};

// Raises the status as a FirebirdError when it reports a failure.
void check(const ISC_STATUS* status);

} // namespace db
