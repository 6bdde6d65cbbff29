#include "database/sqltext.h"

#include "platform/regional.h"

namespace sql {

QString quoted(const QString& text) {
    QString inner = text;
    inner.replace(u'\'', QStringLiteral("''"));
    return u'\'' + inner + u'\'';
}

QString date(const QDateTime& value) {
    return quoted(regional::sqlDate(value.date()));
}

QString number(long long value) {
    return QString::number(value);
}

} // namespace sql
