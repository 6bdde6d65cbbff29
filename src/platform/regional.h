#pragma once
// The regional settings the program formats with: date and time separators, short date and
// long time formats, decimal separator. Read from the default locale, which is the system's
// unless a test sets another.
#include <QDateTime>
#include <QString>

namespace regional {

QChar dateSeparator();
QChar timeSeparator();
QChar decimalSeparator();

// "dd/mm/yyyy", "hh:nn:ss:zzz", "dd/mm/yyyy hh:nn:ss" and "YYYY/MM/DD" with the regional separators.
QString logDate(const QDateTime& at);
QString logTime(const QDateTime& at);
QString dateTimeStamp(const QDateTime& at);
QString sqlDate(const QDate& date);

// The short date format, a blank, and the long time format.
QString shortDateLongTime(const QDateTime& at);

} // namespace regional
