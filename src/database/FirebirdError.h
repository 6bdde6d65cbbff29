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

// The connection to the server is gone: the failed attach, an attach that the server never
// answered within the connect timeout, the reads and writes of a connection lost during the
// session, and an attachment that an administrator or the server shut down.
inline bool conexaoPerdida(long codigo) {
    return codigo == isc_network_error || codigo == isc_connect_reject || codigo == isc_net_read_err ||
           codigo == isc_net_write_err || codigo == isc_att_shutdown;
}

// True when the status reports a failure.
inline bool failed(const ISC_STATUS* status) {
    return status[0] == 1 && status[1] != 0;
}

// The failure a status reports, with the client's lines joined by CR LF.
FirebirdError failureOf(const ISC_STATUS* status);

// Raises the status as a FirebirdError when it reports a failure.
void check(const ISC_STATUS* status);

} // namespace db
