#include "database/ServerAddress.h"

namespace db {

std::optional<ServerAddress> tcpServer(const QString& databaseName) {
    if (databaseName.contains(QStringLiteral("://"))) return std::nullopt;
    QString host;
    QString rest;
    if (databaseName.startsWith(u'[')) {
        const qsizetype close = databaseName.indexOf(u']');
        if (close < 0) return std::nullopt;
        host = databaseName.mid(1, close - 1);
        rest = databaseName.mid(close + 1);
        const qsizetype colon = rest.indexOf(u':');
        if (colon < 0) return std::nullopt;
        rest = rest.left(colon);
    } else {
        const qsizetype colon = databaseName.indexOf(u':');
        // A leading colon, or a single letter before it, is a local path.
        if (colon <= 0 || (colon == 1 && databaseName[0].isLetter())) return std::nullopt;
        const QString server = databaseName.left(colon);
        const qsizetype slash = server.indexOf(u'/');
        host = server.left(slash);
        rest = slash < 0 ? QString() : server.mid(slash);
    }
    if (host.isEmpty()) return std::nullopt;
    QString port = rest.startsWith(u'/') ? rest.mid(1) : QString();
    if (port.isEmpty()) port = QString::fromLatin1(kDefaultPort);
    return ServerAddress{host.toStdString(), port.toStdString()};
}

} // namespace db
