#include "coordination/turn_taking.h"

#include "db/failure.h"

#include <gmock/gmock.h>

#include <optional>
#include <utility>
#include <vector>

namespace hc::coordination {
namespace {

using Settings = std::vector<std::pair<db::Value, db::Value>>;

db::ResultSet settingsRows(const Settings &settings)
{
    std::vector<db::ResultSet::Row> rows;
    for (const auto &[parameter, value] : settings)
        rows.push_back({parameter, value});
    return db::ResultSet({QStringLiteral("PARAMETER"), QStringLiteral("VALUE")}, std::move(rows));
}

SettingsRead read(const Settings &settings, const QString &suffix = QStringLiteral("_US"))
{
    db::ResultSet rows = settingsRows(settings);
    SettingsRead result;
    readSettings(rows, suffix, result);
    return result;
}

QDateTime at(int year, int month, int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

TEST(LabSuffix, OnlyTheExactLabCodeKorvelUsesTheUsRows)
{
    EXPECT_EQ(labSuffix("KORVEL").toStdString(), "_US");
    for (const char *other : {"", "korvel", "KORVEL ", " KORVEL", "MAPLETON"})
        EXPECT_EQ(labSuffix(other).toStdString(), "_CA") << '"' << other << '"';
}

TEST(StatementTexts, SettingsQueryKeepsItsBlanks)
{
    EXPECT_EQ(settingsQuery("_US").toStdString(),
              "select * from   sitecfg.dbo.settings (nolock) where  parameter in ('Dispatch_Freq_US', "
              "'Dispatch_CurrApp_US', 'Dispatch_LastPing_US', 'Dispatch_LastUpd_US', 'Dispatch_Delay_US' )");
}

TEST(StatementTexts, HeartbeatBatchIsFourUpdatesEndingInABlank)
{
    EXPECT_EQ(heartbeatBatch("HARD_COPY", "11/23/2011 14:05", "_CA").toStdString(),
              "update sitecfg.dbo.settings set value = 'HARD_COPY' where parameter = 'Dispatch_CurrApp_CA' "
              "update sitecfg.dbo.settings set value = '11/23/2011 14:05' where parameter = 'Dispatch_LastPing_CA' "
              "update sitecfg.dbo.settings set value = '11/23/2011 14:05' where parameter = 'Dispatch_LastUpd_CA' "
              "update sitecfg.dbo.settings set value = 'HardCopy Distribution' where parameter = "
              "'Dispatch_Function_CA' ");
}

TEST(StatementTexts, HeartbeatBatchDoublesApostrophesOfItsValues)
{
    const QString batch = heartbeatBatch("O'NEIL %2", "1/2/2011 3:04'", "_US");
    EXPECT_THAT(batch.toStdString(), testing::StartsWith("update sitecfg.dbo.settings set value = 'O''NEIL %2' "
                                                         "where parameter = 'Dispatch_CurrApp_US' "));
    EXPECT_THAT(batch.toStdString(), testing::HasSubstr("set value = '1/2/2011 3:04''' where parameter = "
                                                        "'Dispatch_LastPing_US' "));
}

TEST(TimeStamp, MonthDayYearAndTwentyFourHourTimeWithoutSeconds)
{
    EXPECT_EQ(timeStamp(at(2011, 11, 23, 14, 5)).toStdString(), "11/23/2011 14:05");
    EXPECT_EQ(timeStamp(at(2011, 3, 3, 9, 7, 59)).toStdString(), "3/3/2011 9:07");
    EXPECT_EQ(timeStamp(at(2011, 12, 31, 0, 0)).toStdString(), "12/31/2011 0:00");
}

TEST(ReadSettings, MatchesTrimmedNamesExactlyAndKeepsTheLaterDuplicate)
{
    const SettingsRead result = read({
        {"  Dispatch_CurrApp_US  ", "AUTO_EXPORT   "},
        {"dispatch_currapp_US", "HARD_COPY"},         // letter case differs
        {"Dispatch_CurrApp_CA", "HARD_COPY"},         // the other laboratory
        {db::Value(), "HARD_COPY"},                   // no name at all
        {"Dispatch_Function_US", db::Value()},         // not read, so its Null is harmless
        {"Dispatch_LastPing_US", "11/23/2011 9:30"},
        {"Dispatch_LastUpd_US", "11/22/2011 23:58"},
        {"Dispatch_LastUpd_US", " 11/23/2011 14:05:42 "},
        {"Dispatch_Delay_US", " 5 "},
        {"Dispatch_Freq_US", "3  "},
    });
    EXPECT_EQ(result.currApp.toStdString(), "AUTO_EXPORT");
    EXPECT_EQ(result.lastPing.toStdString(), "9:30");
    EXPECT_EQ(result.lastUpd.toStdString(), "14:05");
    EXPECT_EQ(result.lastUpdStamp, at(2011, 11, 23, 14, 5, 42));
    EXPECT_EQ(result.delay.toStdString(), " 5");
    EXPECT_EQ(result.freq.toStdString(), "3");
}

TEST(ReadSettings, StampsInOtherFormsReadAsTheirTimeOfDay)
{
    const struct {
        db::Value stamp;
        const char *timeOfDay;
    } cases[] = {
        {"11/23/2011 2:05:00 PM", "14:05"},
        {"2011-11-23 08:15:00", "8:15"},
        {"23:58", "23:58"},
        {"11/23/2011", "0:00"},
        {at(2011, 11, 23, 7, 1), "7:01"},
    };
    for (const auto &c : cases) {
        const SettingsRead result = read({{"Dispatch_LastUpd_US", c.stamp}, {"Dispatch_LastPing_US", c.stamp}});
        EXPECT_EQ(result.lastUpd.toStdString(), c.timeOfDay) << c.timeOfDay;
        EXPECT_EQ(result.lastPing.toStdString(), c.timeOfDay) << c.timeOfDay;
    }
}

TEST(ReadSettings, FailuresKeepWhatWasReadBeforeThem)
{
    const struct {
        const char *parameter;
        db::Value value;
    } failing[] = {
        {"Dispatch_CurrApp_US", db::Value()},
        {"Dispatch_Delay_US", db::Value()},
        {"Dispatch_Freq_US", db::Value()},
        {"Dispatch_LastPing_US", db::Value()},
        {"Dispatch_LastPing_US", "yesterday"},
        {"Dispatch_LastUpd_US", ""},
        {"Dispatch_LastUpd_US", "   "},
        {"Dispatch_LastUpd_US", "11/23/2011 25:00"},
    };
    for (const auto &f : failing) {
        db::ResultSet rows = settingsRows({
            {"Dispatch_Freq_US", "3"},
            {f.parameter, f.value},
            {"Dispatch_Delay_US", "7"},
        });
        SettingsRead result;
        EXPECT_THROW(readSettings(rows, "_US", result), Failure) << f.parameter;
        EXPECT_EQ(result.freq.toStdString(), "3") << f.parameter;
        EXPECT_TRUE(result.delay.isEmpty()) << f.parameter;
    }
}

TEST(ReadSettings, AResultSetThatWasNeverOpenedFails)
{
    db::ResultSet neverOpened;
    SettingsRead result;
    EXPECT_THROW(readSettings(neverOpened, "_US", result), Failure);
}

TEST(DelayMinutes, RoundsHalvesToEvenAndRejectsWhatIsNoWholeNumber)
{
    EXPECT_EQ(delayMinutes("5"), 5);
    EXPECT_EQ(delayMinutes(" 5"), 5);
    EXPECT_EQ(delayMinutes("4.5"), 4);
    EXPECT_EQ(delayMinutes("5.5"), 6);
    EXPECT_EQ(delayMinutes("-0.5"), 0);
    for (const char *bad : {"", "five", "5 minutes", "40000"})
        EXPECT_THROW(delayMinutes(bad), Failure) << '"' << bad << '"';
}

TEST(MinutesSince, CountsWallClockMinutesAcrossDaysAndWithinTheDayForATimeAlone)
{
    const QDate zero(1899, 12, 30);
    EXPECT_EQ(minutesSince(at(2011, 11, 23, 23, 58), at(2011, 11, 24, 0, 3)), 5);
    EXPECT_EQ(minutesSince(at(2011, 11, 23, 10, 0, 59), at(2011, 11, 23, 10, 5, 0)), 5);
    EXPECT_EQ(minutesSince(at(2011, 11, 24, 0, 3), at(2011, 11, 23, 23, 58)), -5);
    EXPECT_EQ(minutesSince(at(2011, 2, 28, 12, 0), at(2012, 2, 28, 12, 0)), 365 * 24 * 60);
    EXPECT_EQ(minutesSince(QDateTime(zero, QTime(23, 58)), at(2011, 11, 24, 0, 3)), -1435);
    EXPECT_EQ(minutesSince(QDateTime(zero, QTime(10, 0)), at(2011, 11, 24, 10, 5)), 5);
}

enum class Outcome { Yes, No, Fails };

struct TurnCase {
    const char *name;
    Settings rows;
    std::optional<QString> caller;
    QDateTime now;
    Outcome outcome;
    const char *currApp = ""; // sCurrApp after the question, unless it fails
};

void PrintTo(const TurnCase &c, std::ostream *os)
{
    *os << c.name;
}

Settings held(const char *holder, db::Value lastUpd, const char *delay = "5")
{
    return {{"Dispatch_CurrApp_US", holder}, {"Dispatch_LastUpd_US", std::move(lastUpd)}, {"Dispatch_Delay_US", delay}};
}

const QDateTime kTen5 = at(2011, 11, 23, 10, 5);

class TurnRule : public testing::TestWithParam<TurnCase> {};

TEST_P(TurnRule, DecidesFromTheRowsTheCallerAndTheClock)
{
    const TurnCase &c = GetParam();
    const auto question = [&c] { return decideTurn(c.caller, read(c.rows), c.now); };
    if (c.outcome == Outcome::Fails) {
        EXPECT_THROW(question(), Failure);
        return;
    }
    const TurnDecision turn = question();
    EXPECT_EQ(turn.currApp.toStdString(), c.currApp);
    if (c.outcome == Outcome::Yes) {
        ASSERT_TRUE(turn.holdsTurn());
        EXPECT_EQ(*turn.heartbeat, *c.caller);
    } else {
        EXPECT_FALSE(turn.holdsTurn());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TurnRule,
    testing::Values(
        TurnCase{"HolderRefreshesItsTurn", held("HARD_COPY", "11/23/2011 10:04"), kHardCopy, kTen5, Outcome::Yes,
                 "HARD_COPY"},
        TurnCase{"HolderWithTrailingBlanks", held("HARD_COPY   ", "11/23/2011 10:04"), kHardCopy, kTen5,
                 Outcome::Yes, "HARD_COPY"},
        TurnCase{"HolderWithLeadingBlankIsSomeoneElse", held(" HARD_COPY", "11/23/2011 10:04"), kHardCopy, kTen5,
                 Outcome::No, " HARD_COPY"},
        TurnCase{"HolderInOtherLetterCaseIsSomeoneElse", held("hard_copy", "11/23/2011 10:04"), kHardCopy, kTen5,
                 Outcome::No, "hard_copy"},
        TurnCase{"SiblingSilentForDelayIsTakenOver", held("AUTO_EXPORT", "11/23/2011 10:00"), kHardCopy, kTen5,
                 Outcome::Yes, "HARD_COPY"},
        TurnCase{"SiblingOneMinuteTooYoung", held("AUTO_EXPORT", "11/23/2011 10:00"), kHardCopy,
                 at(2011, 11, 23, 10, 4), Outcome::No, "AUTO_EXPORT"},
        TurnCase{"SecondsOfTheStampAndOfNowDoNotCount", held("AUTO_EXPORT", "11/23/2011 10:00:59 AM"), kHardCopy,
                 at(2011, 11, 23, 10, 4, 59), Outcome::No, "AUTO_EXPORT"},
        TurnCase{"SiblingSilentSinceBeforeMidnightIsTakenOver", held("AUTO_EXPORT", "11/23/2011 23:58"),
                 kHardCopy, at(2011, 11, 24, 0, 3), Outcome::Yes, "HARD_COPY"},
        TurnCase{"BeforeMidnightStillTooYoung", held("AUTO_EXPORT", "11/23/2011 23:58"), kHardCopy,
                 at(2011, 11, 24, 0, 2), Outcome::No, "AUTO_EXPORT"},
        TurnCase{"StampFromAnEarlierDayEarlierInTheDay", held("AUTO_EXPORT", "11/20/2011 10:00"), kHardCopy, kTen5,
                 Outcome::Yes, "HARD_COPY"},
        TurnCase{"StampFromAnEarlierDayLaterInTheDay", held("AUTO_EXPORT", "11/22/2011 15:00"), kHardCopy, kTen5,
                 Outcome::Yes, "HARD_COPY"},
        TurnCase{"StampLaterTheSameDay", held("AUTO_EXPORT", "11/23/2011 10:10"), kHardCopy, kTen5, Outcome::No,
                 "AUTO_EXPORT"},
        TurnCase{"StampFromTomorrow", held("AUTO_EXPORT", "11/24/2011 9:00"), kHardCopy, kTen5, Outcome::No,
                 "AUTO_EXPORT"},
        TurnCase{"TimeOfDayAloneWithinTheDay", held("AUTO_EXPORT", "10:00"), kHardCopy, kTen5, Outcome::Yes,
                 "HARD_COPY"},
        TurnCase{"TimeOfDayAloneBeforeMidnightIsLaterInTheDay", held("AUTO_EXPORT", "23:58"), kHardCopy,
                 at(2011, 11, 24, 0, 3), Outcome::No, "AUTO_EXPORT"},
        TurnCase{"DelayZeroAtTheSameMinute", held("AUTO_EXPORT", "11/23/2011 10:05", "0"), kHardCopy, kTen5,
                 Outcome::Yes, "HARD_COPY"},
        TurnCase{"DelayZeroLaterInTheDay", held("AUTO_EXPORT", "11/23/2011 10:06", "0"), kHardCopy, kTen5,
                 Outcome::No, "AUTO_EXPORT"},
        TurnCase{"DelayHalfRoundsDownToEven", held("AUTO_EXPORT", "11/23/2011 10:01", "4.5"), kHardCopy, kTen5,
                 Outcome::Yes, "HARD_COPY"},
        TurnCase{"DelayHalfRoundsUpToEven", held("AUTO_EXPORT", "11/23/2011 10:00", "5.5"), kHardCopy, kTen5,
                 Outcome::No, "AUTO_EXPORT"},
        TurnCase{"LastUpdMissing", {{"Dispatch_CurrApp_US", "AUTO_EXPORT"}, {"Dispatch_Delay_US", "x"}}, kHardCopy,
                 kTen5, Outcome::No, "AUTO_EXPORT"},
        TurnCase{"LastUpdEmptyFails", held("AUTO_EXPORT", ""), kHardCopy, kTen5, Outcome::Fails},
        TurnCase{"DelayNotNumericFails", held("AUTO_EXPORT", "11/23/2011 10:00", "five"), kHardCopy, kTen5,
                 Outcome::Fails},
        TurnCase{"DelayMissingFails", {{"Dispatch_CurrApp_US", "HARD_COPY"}, {"Dispatch_LastUpd_US", "10:00"}},
                 kHardCopy, kTen5, Outcome::Fails},
        TurnCase{"NoRows", {}, kHardCopy, kTen5, Outcome::No, ""},
        TurnCase{"RowsOfTheOtherLaboratoryOnly", {{"Dispatch_CurrApp_CA", "HARD_COPY"}}, kHardCopy, kTen5,
                 Outcome::No, ""},
        TurnCase{"NullCallerDecidesNothing", held("AUTO_EXPORT", "11/23/2011 9:00", "five"), std::nullopt, kTen5,
                 Outcome::No, "AUTO_EXPORT"},
        TurnCase{"SiblingTakesOverByTheSameRule", held("HARD_COPY", "11/23/2011 10:00"), kAutoExport, kTen5,
                 Outcome::Yes, "AUTO_EXPORT"}),
    [](const testing::TestParamInfo<TurnCase> &info) { return std::string(info.param.name); });

} // namespace
} // namespace hc::coordination
