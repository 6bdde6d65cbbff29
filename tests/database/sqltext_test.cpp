#include "database/sqltext.h"
#include "platform/regional.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(StatementValues, QuotedTextDoublesInnerQuotes) {
    EXPECT_EQ(sql::quoted(QStringLiteral("123")), QStringLiteral("'123'"));
    EXPECT_EQ(sql::quoted(QString()), QStringLiteral("''"));
    EXPECT_EQ(sql::quoted(QStringLiteral("1' OR '1'='1")), QStringLiteral("'1'' OR ''1''=''1'"));
    EXPECT_EQ(sql::number(-57), QStringLiteral("-57"));
}

TEST(StatementValues, DatesFollowTheRegionalSeparator) {
    const QDateTime day(QDate(2021, 5, 3), QTime(14, 3, 7));
    EXPECT_EQ(sql::date(day), QStringLiteral("'2021/05/03'"));
    EXPECT_EQ(sql::date(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), QStringLiteral("'1899/12/30'"));

    const QLocale brazil;
    QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands)); // short dates as 03-05-2021
    EXPECT_EQ(sql::date(day), QStringLiteral("'2021-05-03'"));
    QLocale::setDefault(brazil);
}

TEST(RegionalSettings, BrazilianFormats) {
    const QDateTime at(QDate(2021, 12, 8), QTime(14, 3, 7, 123));
    EXPECT_EQ(regional::logDate(at) + u' ' + regional::logTime(at),
              QStringLiteral("08/12/2021 14:03:07:123"));
    EXPECT_EQ(regional::dateTimeStamp(at), QStringLiteral("08/12/2021 14:03:07"));
    EXPECT_EQ(regional::shortDateLongTime(at), QStringLiteral("08/12/2021 14:03:07"));
    EXPECT_EQ(regional::decimalSeparator(), u',');
}
