#include "labsim/lab/json.h"
#include "labsim/lab/laboratory.h"
#include "labsim/lab/turn.h"
#include "labsim/tsql/datetime.h"
#include "labsim/web/report_request.h"

#include <gmock/gmock.h>

#include <chrono>
#include <thread>

namespace labsim {
namespace {

using testing::ElementsAre;
using testing::Pair;

// --- the report page request ----------------------------------------------

TEST(ReportRequest, ReadsTheRawQueryKeepingPlusSigns)
{
    const auto parameters = web::queryParameters(
        "/CommonFiles/reports/RPT_KVO_Distrib.asp?wui=QUILBY_40726&eid=R+32D-07&sd=3/5/2024%202:05:00%20PM&cb=Y&bid=");
    EXPECT_THAT(parameters, ElementsAre(Pair("wui", "QUILBY_40726"), Pair("eid", "R+32D-07"),
                                        Pair("sd", "3/5/2024 2:05:00 PM"), Pair("cb", "Y"), Pair("bid", "")));
    EXPECT_EQ(web::endUserIdOf("R+32D-07"), "R&D-07");
    EXPECT_EQ(web::endUserIdOf("A+32B+32"), "A&B&");
    EXPECT_EQ(web::percentDecoded("100%25%2"), "100%%2");
}

web::Parameters complete()
{
    return {{"wui", "QUILBY_40726"}, {"labCode", "KORVEL"}, {"eid", "A+32B"},        {"cid", "103"},
            {"pc", "Y"},             {"en", "1001"},        {"sd", "3/5/2024"},       {"rating", "10"},
            {"cr", "0"},             {"dt", "HARD_COPY"},   {"setFrequency", "1 Minute"}};
}

TEST(ReportRequest, ChecksEveryParameterTheServiceSends)
{
    const auto read = web::readReportRequest(complete(), web::kWebUser);
    ASSERT_TRUE(std::holds_alternative<web::ReportRequest>(read));
    const auto &request = std::get<web::ReportRequest>(read);
    EXPECT_EQ(request.endUserId, "A&B");
    EXPECT_EQ(request.contactId, 103);
    EXPECT_EQ(request.rating, 10);
    EXPECT_FALSE(request.assignBatch);
    EXPECT_FALSE(request.batchId.has_value());

    struct Case {
        const char *name;
        const char *value; // nullptr: left out
        int status;
    };
    const Case wrong[] = {{"wui", "OTHER_00001", 403}, {"wui", nullptr, 400},  {"cid", "1x", 400},
                          {"sd", "3/32/2024", 400},    {"rating", "7", 400},   {"cr", "2", 400},
                          {"dt", "AUTO_EXPORT", 400},  {"pc", "N", 400},       {"setFrequency", nullptr, 400}};
    for (const Case &c : wrong) {
        web::Parameters parameters;
        for (const auto &[name, value] : complete()) {
            if (name != c.name)
                parameters.emplace_back(name, value);
            else if (c.value)
                parameters.emplace_back(name, c.value);
        }
        const auto problem = web::readReportRequest(parameters, web::kWebUser);
        ASSERT_TRUE(std::holds_alternative<web::RequestProblem>(problem)) << c.name;
        EXPECT_EQ(std::get<web::RequestProblem>(problem).status, c.status) << c.name;
    }
    auto withPage = complete();
    withPage.emplace_back("pt", "COVER");
    EXPECT_TRUE(std::holds_alternative<web::RequestProblem>(web::readReportRequest(withPage, web::kWebUser)));
    auto withBatch = complete();
    withBatch.emplace_back("bid", "  HC100004 ");
    EXPECT_EQ(*std::get<web::ReportRequest>(web::readReportRequest(withBatch, web::kWebUser)).batchId, "HC100004");
}

TEST(ReportRequest, PageKindFollowsTheContactsFlow)
{
    using web::PageKind;
    struct Case {
        bool cover, twoStep, bid, samples;
        PageKind kind;
    };
    const Case cases[] = {
        {false, false, false, false, PageKind::Samples}, // sample page first
        {true, false, false, false, PageKind::Cover},    // cover sheet first ...
        {true, false, true, false, PageKind::Cover},     // ... again for &bid=
        {true, false, true, true, PageKind::Samples},    // ... then &pt=SAMPLES&bid=
        {false, true, false, false, PageKind::Request},  // two-step: asks again
        {false, true, true, false, PageKind::Samples},
        {true, true, false, false, PageKind::Request},
        {true, true, true, false, PageKind::Cover},
        {true, true, true, true, PageKind::Samples},
    };
    for (const Case &c : cases)
        EXPECT_EQ(web::pageKind(c.cover, c.twoStep, c.bid, c.samples), c.kind)
            << c.cover << c.twoStep << c.bid << c.samples;
}

// --- the turn rule and the sibling -----------------------------------------

DateTime at(const char *text) { return tsql::parseDateTime(text).value; }

TEST(TurnRule, TakesOverOnceTheLastUpdateIsDelayMinutesOld)
{
    struct Case {
        const char *lastUpdate, *delay, *now;
        bool silent;
    };
    const Case cases[] = {
        {"3/4/2024 10:00", "5", "3/4/2024 10:05", true},
        {"3/4/2024 10:00", "5", "3/4/2024 10:04:59", false},
        {"3/4/2024 23:58", "5", "3/5/2024 0:03", true}, // across midnight
        {"3/3/2024 10:00", "5", "3/4/2024 9:00", true},  // an earlier day
        {"3/4/2024 10:00", "0", "3/4/2024 10:00", true},
        {"3/4/2024 10:06", "5", "3/4/2024 10:05", false}, // a stamp from the future
        {"10:00", "5", "3/9/2024 10:05", true},            // a time of day alone
        {"", "5", "3/4/2024 10:05", false},
        {"3/4/2024 10:00", "five", "3/4/2024 11:00", false},
        {"3/4/2024 10:00", "5   ", "3/4/2024 10:05", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lab::silentFor(c.lastUpdate, c.delay, at(c.now)), c.silent) << c.lastUpdate << " " << c.now;
    EXPECT_EQ(lab::stampText(at("2011-11-23 14:05:59")), "11/23/2011 14:05");
    EXPECT_EQ(lab::stampText(at("2011-03-03 09:05")), "3/3/2011 9:05");
}

// A stamp written within the last minute or so.
bool fresh(const std::string &stamp)
{
    return tsql::parseDateTime(stamp).status == tsql::DateTimeParse::Ok && !lab::silentFor(stamp, "2", tsql::localNow());
}

class LaboratoryTest : public testing::Test {
protected:
    lab::Laboratory laboratory_{lab::LaboratoryOptions{":memory:"}};
    std::atomic<bool> never_{false};

    std::string setting(const std::string &name)
    {
        const BatchResult result = laboratory_.runBatch(
            1, "select value from sitecfg.dbo.settings where parameter = '" + name + "'", never_);
        const auto &text = std::get<std::string>(*result.statements.at(0).rows.at(0).at(0));
        return text.substr(0, text.find_last_not_of(' ') + 1);
    }
};

TEST_F(LaboratoryTest, SiblingTakesTheStaleTurnAndKeepsItsOwn)
{
    EXPECT_TRUE(laboratory_.sibling().ask("_US"));
    EXPECT_EQ(setting("Dispatch_CurrApp_US"), "AUTO_EXPORT");
    EXPECT_EQ(setting("Dispatch_Function_US"), "AutoExport Distribution");
    EXPECT_TRUE(fresh(setting("Dispatch_LastUpd_US")));
    EXPECT_EQ(setting("Dispatch_LastUpd_CA"), "3/1/2024 6:00"); // the other laboratory's rows are its own

    // A hard-copy holder with a fresh stamp keeps the turn.
    const std::string fresh = lab::stampText(tsql::localNow());
    laboratory_.runBatch(1,
                         "update sitecfg.dbo.settings set value = 'HARD_COPY' where parameter = 'Dispatch_CurrApp_CA' "
                         "update sitecfg.dbo.settings set value = '" + fresh +
                             "' where parameter = 'Dispatch_LastUpd_CA' ",
                         never_);
    EXPECT_FALSE(laboratory_.sibling().ask("_CA"));
    EXPECT_EQ(setting("Dispatch_CurrApp_CA"), "HARD_COPY");
}

TEST_F(LaboratoryTest, HoldAsksAtOnceAndResetRestoresTheDemoLaboratory)
{
    laboratory_.sibling().setMode(lab::Sibling::Mode::Hold);
    for (int i = 0; i < 200 && setting("Dispatch_LastUpd_CA") == "3/1/2024 6:00"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fresh(setting("Dispatch_LastUpd_CA")));
    EXPECT_TRUE(fresh(setting("Dispatch_LastUpd_US")));
    laboratory_.runBatch(1, "update sitecfg.dbo.settings set value = 'x' where parameter = 'Dispatch_Delay_US'", never_);

    laboratory_.reset();
    EXPECT_TRUE(laboratory_.log().entries().empty());
    EXPECT_EQ(laboratory_.sibling().mode(), lab::Sibling::Mode::Silent);
    EXPECT_EQ(setting("Dispatch_Delay_US"), "5");
    EXPECT_EQ(setting("Dispatch_LastUpd_CA"), "3/1/2024 6:00");
}

TEST_F(LaboratoryTest, FaultOrdersCountDown)
{
    laboratory_.faults().order(json::parse(R"({"fault": "fail", "count": 2, "number": 1205, "text": "Deadlock."})"));
    for (int i = 0; i < 2; ++i) {
        const BatchResult failed = laboratory_.runBatch(1, "select 1", never_);
        ASSERT_TRUE(failed.statements.at(0).failed);
        EXPECT_EQ(failed.statements[0].messages.at(0).number, 1205);
    }
    EXPECT_FALSE(laboratory_.runBatch(1, "select 1", never_).statements.at(0).failed);

    laboratory_.faults().order(json::parse(R"({"fault": "delay", "seconds": 30})"));
    std::atomic<bool> cancelled{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        cancelled = true;
    });
    EXPECT_TRUE(laboratory_.runBatch(1, "update sitecfg.dbo.settings set value = 'y'", cancelled).cancelled);
    canceller.join();
    EXPECT_EQ(setting("Dispatch_Delay_US"), "5");

    laboratory_.faults().order(json::parse(R"({"fault": "strip-pages", "count": 1})"));
    EXPECT_EQ(laboratory_.faults().nextPage(), lab::Faults::PageFault::Strip);
    EXPECT_EQ(laboratory_.faults().nextPage(), lab::Faults::PageFault::None);
    for (const char *bad : {R"({"fault": "melt"})", R"({"count": 1})", R"({"fault": "delay"})",
                            R"({"fault": "fail", "count": -1, "number": 1, "text": "x"})"})
        EXPECT_THROW(laboratory_.faults().order(json::parse(bad)), std::invalid_argument) << bad;
    EXPECT_THROW(json::parse("{\"fault\": "), std::runtime_error);

    const auto log = laboratory_.log().entries();
    ASSERT_EQ(log.size(), 5u); // the cancelled batch too
    EXPECT_EQ(log[0].kind, "sql");
    EXPECT_EQ(log[0].text, "select 1");
}

} // namespace
} // namespace labsim
