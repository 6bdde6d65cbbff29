#include "platform/regional.h"

#include <QLocale>
#include <QRegularExpression>

namespace regional {

namespace {
// The first punctuation mark of a format; locales that separate by blanks (such as C) get the
// usual mark instead.
QChar separatorIn(const QString& format, QChar fallback) {
    for (QChar c : format)
        if (c.isPunct() && c != u'\'') return c;
    return fallback;
}

// The formats of a locale, worked out once: every log line and pane line asks for them, and the
// system locale answers each question slowly.
struct Formats {
    QLocale locale;
    QChar dateSeparator;
    QChar timeSeparator;
    QString shortDate;
    QString longTime;
};

const Formats& formats() {
    thread_local Formats cached{QLocale::c(), {}, {}, {}, {}};
    thread_local bool made = false;
    const QLocale locale;
    if (!made || locale != cached.locale) {
        // Qt's long time format names the time zone; the regional long time format does not.
        static const QRegularExpression timeZone(QStringLiteral("\\s*t+\\s*"));
        const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
        cached = {locale, separatorIn(shortDate, u'/'),
                  separatorIn(locale.timeFormat(QLocale::ShortFormat), u':'), shortDate,
                  locale.timeFormat(QLocale::LongFormat).remove(timeZone).trimmed()};
        made = true;
    }
    return cached;
}

QString two(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

QChar dateSeparator() {
    return formats().dateSeparator;
}
QChar timeSeparator() {
    return formats().timeSeparator;
}
QChar decimalSeparator() {
    return QLocale().decimalPoint().at(0);
}

QString logDate(const QDateTime& at) {
    const QChar s = dateSeparator();
    return two(at.date().day()) + s + two(at.date().month()) + s +
           QStringLiteral("%1").arg(at.date().year(), 4, 10, QLatin1Char('0'));
}

QString logTime(const QDateTime& at) {
    const QChar s = timeSeparator();
    const QTime t = at.time();
    return two(t.hour()) + s + two(t.minute()) + s + two(t.second()) + s +
           QStringLiteral("%1").arg(t.msec(), 3, 10, QLatin1Char('0'));
}

QString dateTimeStamp(const QDateTime& at) {
    const QChar s = timeSeparator();
    const QTime t = at.time();
    return logDate(at) + u' ' + two(t.hour()) + s + two(t.minute()) + s + two(t.second());
}

QString sqlDate(const QDate& date) {
    const QChar s = dateSeparator();
    return QStringLiteral("%1").arg(date.year(), 4, 10, QLatin1Char('0')) + s + two(date.month()) + s +
           two(date.day());
}

QString shortDateLongTime(const QDateTime& at) {
    const Formats& f = formats();
    return f.locale.toString(at.date(), f.shortDate) + u' ' + f.locale.toString(at.time(), f.longTime);
}

} // namespace regional
