#include "clients/statement_text.h"

#include <gtest/gtest.h>

namespace hc::clients {
namespace {

using List = std::optional<std::vector<QString>>;

struct FilterCase {
    const char *filter;
    const char *statement;
};

class ActiveClientsFilter : public testing::TestWithParam<FilterCase> {};

TEST_P(ActiveClientsFilter, GivesRatingLevelCustomFlagAndOrdering)
{
    EXPECT_EQ(activeClientsStatement("KORVEL", GetParam().filter, std::nullopt, std::nullopt),
              QString::fromUtf8(GetParam().statement));
}

INSTANTIATE_TEST_SUITE_P(
    EachRatingOption, ActiveClientsFilter,
    testing::Values(
        FilterCase{"", "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 0)  order by contact_id "},
        FilterCase{"Severe", "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 10, 0) "},
        FilterCase{"Abnormal", "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 5, 0) "},
        FilterCase{"CUSTOM", "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 1) "},
        FilterCase{"custom", "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 0) "},
        FilterCase{"severe", "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 0) "}));

TEST(ActiveClientsStatement, ExcludesEverySentClientInListOrderBeforeTheOrdering)
{
    const List ids = std::vector<QString>{"17", "4", "230"};
    const List dates = std::vector<QString>{"3/1/2024", "3/2/2024", "12/31/2023"};
    EXPECT_EQ(activeClientsStatement("XY", "", ids, dates),
              "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'XY', 0, 0) "
              "  where  not(contact_id = 17 and rec_date = '3/1/2024') "
              "  and  not(contact_id = 4 and rec_date = '3/2/2024') "
              "  and  not(contact_id = 230 and rec_date = '12/31/2023') "
              " order by contact_id ");
}

TEST(ActiveClientsStatement, DoublesApostrophesInItsLiterals)
{
    const List ids = std::vector<QString>{"5"};
    const List dates = std::vector<QString>{"1/2/2024'; drop table x --"};
    EXPECT_EQ(activeClientsStatement("O'K", "Severe", ids, dates),
              "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'O''K', 10, 0) "
              "  where  not(contact_id = 5 and rec_date = '1/2/2024''; drop table x --') ");
}

TEST(ExclusionClauses, StopAtTheFirstClientThatCannotBeExcludedSafely)
{
    const List dates = std::vector<QString>{"3/1/2024", "3/2/2024", "3/3/2024"};
    const QString firstOnly = "  where  not(contact_id = 17 and rec_date = '3/1/2024') ";

    EXPECT_EQ(exclusionClauses(std::vector<QString>{"17", "4 or 1=1", "230"}, dates), firstOnly);
    EXPECT_EQ(exclusionClauses(std::vector<QString>{"17", "", "230"}, dates), firstOnly);
    EXPECT_EQ(exclusionClauses(std::vector<QString>{"17", "4", "230"}, std::vector<QString>{"3/1/2024"}), firstOnly);
    EXPECT_EQ(exclusionClauses(std::vector<QString>{"17"}, std::nullopt), "");
}

TEST(ExclusionClauses, AnErasedOrEmptyListAddsNothing)
{
    EXPECT_EQ(exclusionClauses(std::nullopt, std::nullopt), "");
    EXPECT_EQ(exclusionClauses(std::vector<QString>{}, std::vector<QString>{}), "");
}

TEST(CleanupStatement, NamesTheLaboratoryInItsLiteral)
{
    EXPECT_EQ(cleanupStatement("KORVEL"),
              "exec routing.dbo.distrib_cleanup @distributionType = 'HARD_COPY', @labCode = 'KORVEL'");
    EXPECT_EQ(cleanupStatement("A'B"),
              "exec routing.dbo.distrib_cleanup @distributionType = 'HARD_COPY', @labCode = 'A''B'");
}

TEST(TrimBlanks, RemovesOnlyLeadingAndTrailingSpaces)
{
    EXPECT_EQ(trimBlanks("  a b  "), "a b");
    EXPECT_EQ(trimBlanks("   "), "");
    EXPECT_EQ(trimBlanks("\tx\t"), "\tx\t");
}

} // namespace
} // namespace hc::clients
