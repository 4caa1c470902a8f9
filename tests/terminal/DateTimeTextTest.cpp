#include "terminal/DateTimeText.h"

#include <gtest/gtest.h>

namespace {

const QDateTime Afternoon(QDate(2024, 3, 7), QTime(14, 5, 9, 42));

QString Separated(const char* text) {
    return QString::fromLatin1(text).replace(u'/', DateSeparator()).replace(u':', TimeSeparator());
}

TEST(DateTimeText, NumericFieldsAreZeroPaddedToTheirWidth) {
    EXPECT_EQ(FormatDateTime(QStringLiteral("dd/mm/yy hh:nn:ss:zzz"), Afternoon), Separated("07/03/24 14:05:09:042"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("d.m.yyyy h.n.s.z"), Afternoon), QStringLiteral("7.3.2024 14.5.9.42"));
}

TEST(DateTimeText, MonthRightAfterAnHourMeansMinutes) {
    EXPECT_EQ(FormatDateTime(QStringLiteral("hh:mm mm"), Afternoon), Separated("14:05 03"));
}

TEST(DateTimeText, TwelveHourClockAndQuotedTextAreHonoured) {
    EXPECT_EQ(FormatDateTime(QStringLiteral("h am/pm 'at dd' \"ss\""), Afternoon), QStringLiteral("2 pm at dd ss"));
    EXPECT_EQ(FormatDateTime(QStringLiteral("HH A/P"), QDateTime(QDate(2024, 1, 1), QTime(0, 30))), QStringLiteral("12 a"));
}

TEST(DateTimeText, CompleteFormLeavesTheTimeOutAtExactlyMidnight) {
    const QDateTime midnight(QDate(2024, 3, 7), QTime(0, 0));
    EXPECT_EQ(FormatDateTime(QStringLiteral("c"), midnight), FormatDateTime(QStringLiteral("ddddd"), midnight));
    EXPECT_EQ(FormatDateTime(QStringLiteral("c"), Afternoon),
              FormatDateTime(QStringLiteral("ddddd"), Afternoon) + Separated(" 14:05:09"));
}

} // namespace
