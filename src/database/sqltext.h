#pragma once
// How values are written into statement texts: a text quoted with its inner quotes doubled, a
// number bare, a date as "YYYY/MM/DD" with the regional separator and quoted.
#include <QDateTime>
#include <QString>

namespace sql {

QString quoted(const QString& text);
QString date(const QDateTime& value);
QString number(long long value);

} // namespace sql
