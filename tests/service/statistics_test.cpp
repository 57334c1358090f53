#include "service/statistics.h"

#include <gtest/gtest.h>

namespace hc::service {
namespace {

TEST(ElapsedTimeText, ShowsHoursMinutesAndSecondsOfAnySpan)
{
    const std::pair<qint64, const char *> cases[] = {
        {0, "00:00:00"},        {59, "00:00:59"},       {3599, "00:59:59"},  {3600, "01:00:00"},
        {36000, "10:00:00"},    {360000, "100:00:00"},  {3661, "01:01:01"},  {-90, "-00:01:30"},
        {-3600, "-01:00:00"},
    };
    for (const auto &[seconds, text] : cases)
        EXPECT_EQ(elapsedTimeText(seconds), text) << seconds;
}

TEST(GetElapsedTime, CountsSecondBoundariesBetweenTwoMoments)
{
    const QDateTime start(QDate(2024, 3, 1), QTime(23, 59, 59, 900));
    EXPECT_EQ(Get_ElapsedTime(start, start), "00:00:00");
    EXPECT_EQ(Get_ElapsedTime(start, start.addMSecs(200)), "00:00:01");
    EXPECT_EQ(Get_ElapsedTime(start, start.addMSecs(50)), "00:00:00");
    EXPECT_EQ(Get_ElapsedTime(start, start.addSecs(25 * 3600 + 61)), "25:01:01");
    EXPECT_EQ(Get_ElapsedTime(start.addSecs(90), start), "-00:01:30");
}

TEST(StatisticsLabelTexts, QualifyPerKindOfValue)
{
    EXPECT_EQ(totalLabelText(db::Value(42)), "42 reports");
    EXPECT_EQ(totalLabelText(db::Value(" 42 ")), "42 reports");
    EXPECT_EQ(totalLabelText(db::Value("many")), std::nullopt);
    EXPECT_EQ(totalLabelText(db::Value()), std::nullopt);

    EXPECT_EQ(countLabelText(db::Value(qint64{7})), "7");
    EXPECT_EQ(countLabelText(db::Value(" 7")), "7");
    EXPECT_EQ(countLabelText(db::Value("")), std::nullopt);
    EXPECT_EQ(countLabelText(db::Value()), std::nullopt);

    EXPECT_EQ(timeLabelText(db::Value(" 00:01:02 ")), "00:01:02");
    EXPECT_EQ(timeLabelText(db::Value("")), "");
    EXPECT_EQ(timeLabelText(db::Value()), std::nullopt);
}

} // namespace
} // namespace hc::service
