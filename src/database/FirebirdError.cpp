#include "database/FirebirdError.h"

#include "platform/textfile.h"

#include <QStringList>

namespace db {

FirebirdError failureOf(const ISC_STATUS* status) {
    QStringList lines;
    const ISC_STATUS* vector = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0)
        lines << QString::fromStdU16String(platform::fromCp1252(buffer));
    // The activity log and the operator see the client's lines as CR LF lines, like every other.
    return FirebirdError(static_cast<long>(status[1]), lines.join(QStringLiteral("\r\n")));
}

void check(const ISC_STATUS* status) {
    if (failed(status)) throw failureOf(status);
}

} // namespace db
