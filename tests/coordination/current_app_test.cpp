#include "app/form_hardcopy.h"
#include "coordination/turn_taking.h"
#include "db/failure.h"
#include "support/scripted_connection.h"
#include "support/window_fixture.h"

#include <gmock/gmock.h>

namespace hc::coordination {
namespace {

using test::Answer;
using testing::ElementsAre;

const QString kQueryUs = QStringLiteral(
    "select * from   sitecfg.dbo.settings (nolock) where  parameter in ('Dispatch_Freq_US', 'Dispatch_CurrApp_US', "
    "'Dispatch_LastPing_US', 'Dispatch_LastUpd_US', 'Dispatch_Delay_US' )");

QString batchUs(const QString &holder, const QString &stamp)
{
    return QStringLiteral("update sitecfg.dbo.settings set value = '%1' where parameter = 'Dispatch_CurrApp_US' "
                          "update sitecfg.dbo.settings set value = '%2' where parameter = 'Dispatch_LastPing_US' "
                          "update sitecfg.dbo.settings set value = '%2' where parameter = 'Dispatch_LastUpd_US' "
                          "update sitecfg.dbo.settings set value = 'HardCopy Distribution' where parameter = "
                          "'Dispatch_Function_US' ")
        .arg(holder, stamp);
}

Answer settings(std::vector<std::pair<db::Value, db::Value>> settings)
{
    std::vector<db::ResultSet::Row> rows;
    for (auto &[parameter, value] : settings)
        rows.push_back({parameter, value, "extra column"});
    return Answer::rows({"PARAMETER", "VALUE", "DESCRIPTION"}, std::move(rows));
}

// The window of a KORVEL operator, on a clock the test sets.
struct Coordination : testing::Test {
    QDateTime now{QDate(2011, 11, 23), QTime(10, 5, 30)};
    test::WindowFixture fixture{[this](app::Platform &platform) { platform.now = [this] { return now; }; }};
    app::Form_HardCopy &window = *fixture.window;

    Coordination()
    {
        window.sLabCode = "KORVEL";
        fixture.db->executed.clear();
    }

    void presetVariables()
    {
        window.sCurrApp = "before";
        window.sLastPing = "before";
        window.sLastUpd = "before";
        window.sDelay = "before";
        window.sFreq = "before";
    }

    std::vector<std::string> variables() const
    {
        return {window.sCurrApp.toStdString(), window.sLastPing.toStdString(), window.sLastUpd.toStdString(),
                window.sDelay.toStdString(), window.sFreq.toStdString()};
    }

    QStringList executed() const { return fixture.db->executed; }
};

TEST_F(Coordination, SetTimeStampWritesTheWindowsClock)
{
    now = QDateTime(QDate(2011, 11, 23), QTime(14, 5, 59));
    EXPECT_EQ(window.Set_TimeStamp().toStdString(), "11/23/2011 14:05");
    now = QDateTime(QDate(2011, 3, 3), QTime(14, 5));
    EXPECT_THAT(window.Set_TimeStamp().toStdString(), testing::StartsWith("3/3/2011 "));
}

TEST_F(Coordination, TheHolderRefreshesItsRowsWithOneStamp)
{
    fixture.db->on(kQueryUs, settings({{"Dispatch_CurrApp_US", "HARD_COPY  "},
                                       {"Dispatch_LastPing_US", "11/23/2011 10:01"},
                                       {"Dispatch_LastUpd_US", "11/23/2011 10:02"},
                                       {"Dispatch_Delay_US", "5 "},
                                       {"Dispatch_Freq_US", "3"},
                                       {"Dispatch_Function_US", "HardCopy Distribution"}}));
    presetVariables();

    EXPECT_TRUE(window.Get_CurrApp_Info(db::Value("HARD_COPY")));

    EXPECT_THAT(executed(), ElementsAre(kQueryUs, batchUs("HARD_COPY", "11/23/2011 10:05")));
    EXPECT_THAT(variables(), ElementsAre("HARD_COPY", "10:01", "10:02", "5", "3"));
}

TEST_F(Coordination, OtherLabCodesUseTheCanadianRows)
{
    for (const char *labCode : {"", "MAPLETON", "korvel"}) {
        window.sLabCode = labCode;
        fixture.db->executed.clear();
        EXPECT_FALSE(window.Get_CurrApp_Info(db::Value("HARD_COPY")));
        EXPECT_THAT(executed(), ElementsAre(settingsQuery("_CA"))) << labCode;
    }
    fixture.db->on(settingsQuery("_CA"), settings({{"Dispatch_CurrApp_CA", "HARD_COPY"}}));
    fixture.db->executed.clear();
    EXPECT_TRUE(window.Get_CurrApp_Info(db::Value("HARD_COPY")));
    ASSERT_EQ(executed().size(), 2);
    EXPECT_EQ(executed()[1], heartbeatBatch("HARD_COPY", "11/23/2011 10:05", "_CA"));
}

TEST_F(Coordination, ASiblingAliveKeepsTheTurnAndNothingIsWritten)
{
    fixture.db->on(kQueryUs, settings({{"Dispatch_CurrApp_US", "AUTO_EXPORT"},
                                       {"Dispatch_LastUpd_US", "11/23/2011 10:01:00 AM"},
                                       {"Dispatch_Delay_US", "5"}}));
    presetVariables();

    EXPECT_FALSE(window.Get_CurrApp_Info(db::Value("HARD_COPY")));

    EXPECT_THAT(executed(), ElementsAre(kQueryUs));
    EXPECT_THAT(variables(), ElementsAre("AUTO_EXPORT", "", "10:01", "5", ""));
}

TEST_F(Coordination, ASiblingSilentBeforeMidnightIsTakenOver)
{
    now = QDateTime(QDate(2011, 11, 24), QTime(0, 3));
    fixture.db->on(kQueryUs, settings({{"Dispatch_CurrApp_US", "AUTO_EXPORT"},
                                       {"Dispatch_LastUpd_US", "11/23/2011 23:58"},
                                       {"Dispatch_Delay_US", "5"}}));

    EXPECT_TRUE(window.Get_CurrApp_Info(db::Value("HARD_COPY")));

    EXPECT_EQ(window.sCurrApp.toStdString(), "HARD_COPY");
    EXPECT_EQ(window.sLastUpd.toStdString(), "23:58");
    EXPECT_THAT(executed(), ElementsAre(kQueryUs, batchUs("HARD_COPY", "11/24/2011 0:03")));
}

TEST_F(Coordination, CallersThatAreNoDistributionTypeReadNothing)
{
    presetVariables();
    EXPECT_FALSE(window.Get_CurrApp_Info(db::Value()));
    EXPECT_FALSE(window.Get_CurrApp_Info(db::Value("hard_copy")));
    EXPECT_TRUE(executed().isEmpty());
    EXPECT_THAT(variables(), ElementsAre("before", "before", "before", "before", "before"));
}

TEST_F(Coordination, FailuresReachTheCallerWithWhatWasReadAndWriteNothing)
{
    const struct {
        const char *name;
        Answer answer;
        std::vector<std::string> variables;
    } cases[] = {
        {"query failed", Answer::error(208, "Invalid object name 'sitecfg.dbo.settings'."), {"", "", "", "", ""}},
        {"null value",
         settings({{"Dispatch_CurrApp_US", "AUTO_EXPORT"}, {"Dispatch_Freq_US", "3"}, {"Dispatch_Delay_US", {}}}),
         {"AUTO_EXPORT", "", "", "", "3"}},
        {"unreadable stamp",
         settings({{"Dispatch_CurrApp_US", "AUTO_EXPORT"}, {"Dispatch_LastPing_US", "soon"}}),
         {"AUTO_EXPORT", "", "", "", ""}},
        {"delay not numeric",
         settings({{"Dispatch_CurrApp_US", "HARD_COPY"},
                   {"Dispatch_LastUpd_US", "11/23/2011 10:04"},
                   {"Dispatch_Delay_US", "five"},
                   {"Dispatch_Freq_US", "3"}}),
         {"HARD_COPY", "", "10:04", "five", "3"}},
    };
    for (const auto &c : cases) {
        auto script = fixture.db;
        script->executed.clear();
        script->once(kQueryUs, c.answer);
        presetVariables();
        EXPECT_THROW(window.Get_CurrApp_Info(db::Value("HARD_COPY")), Failure) << c.name;
        EXPECT_THAT(executed(), ElementsAre(kQueryUs)) << c.name;
        EXPECT_EQ(variables(), c.variables) << c.name;
    }
}

TEST_F(Coordination, AHeartbeatThatFailedIsNoTurn)
{
    fixture.db->on(kQueryUs, settings({{"Dispatch_CurrApp_US", "HARD_COPY"}}));
    fixture.db->on(batchUs("HARD_COPY", "11/23/2011 10:05"), Answer::error(1205, "Transaction was deadlocked."));

    EXPECT_FALSE(window.Set_CurrApp_Update("HARD_COPY"));
    EXPECT_FALSE(window.Get_CurrApp_Info(db::Value("HARD_COPY")));
    EXPECT_EQ(window.sCurrApp.toStdString(), "HARD_COPY");

    now = now.addSecs(60);
    EXPECT_TRUE(window.Set_CurrApp_Update("HARD_COPY"));
}

} // namespace
} // namespace hc::coordination
