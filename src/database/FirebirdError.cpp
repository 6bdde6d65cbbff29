#include "database/FirebirdError.h"

#include "platform/textfile.h"

#include <QStringList>

namespace db {

void check(const ISC_STATUS* status) {
    if (status[0] != 1 || status[1] == 0) return;
    QStringList lines;
    const ISC_STATUS* vector = status;
    char buffer[1024];
    while (fb_interpret(buffer, sizeof buffer, &vector) > 0)
        lines << QString::fromStdU16String(platform::fromCp1252(buffer));
    // The activity log and the operator see the client's lines as CR LF lines, like every other.
    throw FirebirdError(static_cast<long>(status[1]), lines.join(QStringLiteral("\r\n")));
}

} // namespace db
