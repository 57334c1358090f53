#include "printing/report_request.h"

#include "db/failure.h"

#include <gmock/gmock.h>

namespace hc::printing {
namespace {

TEST(ReportPage, BuiltInFormOnTheConfiguredServerOrTheWholeReplacement)
{
    app::Configuration configuration;
    configuration.reportServer = "10.1.2.3:8081";
    EXPECT_EQ(reportPage(configuration),
              "http://10.1.2.3:8081/CommonFiles/reports/RPT_KVO_Distrib.asp?wui=QUILBY_40726");
    configuration.reportUrl = "https://reports.example/page.asp?wui=ABCDEF_12345";
    EXPECT_EQ(reportPage(configuration), "https://reports.example/page.asp?wui=ABCDEF_12345");
}

struct RatingCase {
    const char *name;
    std::vector<RatingOption> options;
    RatingArguments expected;
};

class Rating : public testing::TestWithParam<RatingCase> {};

TEST_P(Rating, FromTheSelectedOptionsTag)
{
    EXPECT_EQ(ratingArguments(GetParam().options), GetParam().expected);
}

const std::vector<RatingOption> kOptions = {{false, ""}, {false, "Severe"}, {false, "Abnormal"}, {false, "CUSTOM"}};

std::vector<RatingOption> selecting(std::initializer_list<int> indexes, std::vector<RatingOption> options = kOptions)
{
    for (int index : indexes)
        options[std::size_t(index)].selected = true;
    return options;
}

INSTANTIATE_TEST_SUITE_P(
    Options, Rating,
    testing::Values(RatingCase{"All", selecting({0}), {0, 0}},
                    RatingCase{"Severe", selecting({1}), {10, 0}},
                    RatingCase{"Abnormal", selecting({2}), {5, 0}},
                    RatingCase{"Custom", selecting({3}), {0, 1}},
                    RatingCase{"NoneSelected", kOptions, {0, 0}},
                    RatingCase{"LowerCaseTagChangesNothing", selecting({0}, {{false, "severe"}}), {0, 0}},
                    RatingCase{"EverySelectedOptionCounts", selecting({1, 2, 3}), {5, 1}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(EndUserIdParameter, TrailingBlanksGoThenAmpersandsBecomePlus32)
{
    EXPECT_EQ(endUserIdParameter("A&B  "), "A+32B");
    EXPECT_EQ(endUserIdParameter("  A & B&"), "  A +32 B+32");
    EXPECT_EQ(endUserIdParameter(""), "");
}

ReportRequest request(bool printReports)
{
    return {"KORVEL", "Smith & Sons ", "1042", "E77", "3/14/2024", {10, 0}, "5 Minutes", printReports};
}

TEST(ReportAddress, ElevenParametersInOrderWithValuesAsTheyAre)
{
    EXPECT_EQ(reportAddress("http://h/p.asp?wui=QUILBY_40726", request(true)),
              "http://h/p.asp?wui=QUILBY_40726&labCode=KORVEL&eid=Smith +32 Sons&cid=1042&pc=Y&en=E77"
              "&sd=3/14/2024&rating=10&cr=0&dt=HARD_COPY&setFrequency=5 Minutes&cb=Y");
}

TEST(ReportAddress, EndsWithTheFrequencyWhenReportsAreNotPrinted)
{
    ReportRequest unprinted = request(false);
    unprinted.rating = {0, 1};
    unprinted.frequency = "Once only";
    EXPECT_EQ(reportAddress("P", unprinted),
              "P&labCode=KORVEL&eid=Smith +32 Sons&cid=1042&pc=Y&en=E77&sd=3/14/2024&rating=0&cr=1"
              "&dt=HARD_COPY&setFrequency=Once only");
}

struct Lists {
    std::optional<std::vector<QString>> ids;
    std::optional<std::vector<QString>> dates;
    qint16 last = -7;
    SentLists view() { return {ids, dates, last}; }
};

TEST(SentLists, ErasedListsRaiseUntouchedAndTheRestartCreatesOneEntry)
{
    Lists lists;
    EXPECT_THROW(addToSentLists(lists.view(), "1", "3/1/2024"), Failure);
    EXPECT_FALSE(lists.ids.has_value());
    EXPECT_EQ(lists.last, -7);

    restartSentLists(lists.view(), "1", "3/1/2024");
    EXPECT_EQ(lists.ids, std::vector<QString>{"1"});
    EXPECT_EQ(lists.dates, std::vector<QString>{"3/1/2024"});
    EXPECT_EQ(lists.last, 0);
}

TEST(SentLists, GrowByDistinctClientsAndSkipAPairAlreadySent)
{
    Lists lists{std::vector<QString>{"1"}, std::vector<QString>{"3/1/2024"}};
    EXPECT_EQ(addToSentLists(lists.view(), "2", "3/1/2024"), SentLookup::Added);
    EXPECT_EQ(lists.last, 1);
    EXPECT_EQ(addToSentLists(lists.view(), "1", "3/2/2024"), SentLookup::Added);
    EXPECT_EQ(lists.last, 2);

    EXPECT_EQ(addToSentLists(lists.view(), "2", "3/1/2024"), SentLookup::AlreadySent);
    EXPECT_EQ(lists.last, 2);
    EXPECT_EQ(lists.ids, (std::vector<QString>{"1", "2", "1"}));
    EXPECT_EQ(lists.dates, (std::vector<QString>{"3/1/2024", "3/1/2024", "3/2/2024"}));

    // Text is compared exactly.
    EXPECT_EQ(addToSentLists(lists.view(), "01", "3/1/2024"), SentLookup::Added);
}

TEST(SentLists, FullListsRaiseBeforeTheIndexWouldOverflow)
{
    Lists lists{std::vector<QString>(32767, "x"), std::vector<QString>(32767, "d")};
    EXPECT_EQ(addToSentLists(lists.view(), "1", "d"), SentLookup::Added);
    EXPECT_EQ(lists.last, 32767);
    EXPECT_THROW(addToSentLists(lists.view(), "2", "d"), Failure);
    EXPECT_THROW(addToSentLists(lists.view(), "1", "d"), Failure);
    EXPECT_EQ(lists.ids->size(), 32768u);
}

TEST(SentLists, ListsOutOfStepRaise)
{
    Lists lists{std::vector<QString>{"1", "2"}, std::vector<QString>{"d"}};
    EXPECT_THROW(addToSentLists(lists.view(), "2", "d"), Failure);
}

} // namespace
} // namespace hc::printing
