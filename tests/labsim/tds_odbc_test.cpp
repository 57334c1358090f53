// The TDS front end as the FreeTDS ODBC driver sees it, over a fake engine.

#include "tds_fake_engine.h"
#include "tds_odbc_client.h"

#include <gtest/gtest.h>

#include <chrono>

namespace labsim::test {
namespace {

using namespace std::chrono_literals;
using Cells = std::vector<std::optional<std::string>>;

const std::string kTypes = "select types";
const std::string kEmpty = "select empty";
const std::string kSeveral = "update; select; select";
const std::string kMiddleError = "select; select * from x; select";
const std::string kPrint = "print; select";

void script(FakeEngine &engine)
{
    const std::vector<Column> typed = {{"ID", ColumnType::Int}, {"RATIO", ColumnType::Float}, {"NAME", ColumnType::Text},
                                       {"REC_DATE", ColumnType::DateTime}, {"BIG", ColumnType::Int}};
    engine.on(kTypes, {{resultSet(typed, {
        {std::int64_t{7}, 2.5, std::string("O'Hara & Söhne 😀   "), DateTime{2024, 1, 31, 23, 59, 59, 999}, std::int64_t{5000000000}},
        {Cell{}, Cell{}, Cell{}, Cell{}, Cell{}},
        {std::int64_t{-1}, -0.125, std::string(""), DateTime{1900, 1, 1, 0, 0, 0, 3}, std::int64_t{0}},
    })}});
    engine.on(kEmpty, {{resultSet({{"CONTACT_ID", ColumnType::Int}, {"CONTACT_NAME", ColumnType::Text}}, {})}});

    StatementResult update;
    update.rowCount = 2;
    const auto one = resultSet({{"A", ColumnType::Int}}, {{std::int64_t{1}}});
    const auto two = resultSet({{"B", ColumnType::Text}}, {{std::string("x")}, {std::string("y")}});
    engine.on(kSeveral, {{update, one, two}});
    engine.on(kMiddleError, {{one, failure(208, "Invalid object name 'x'."), two}});

    StatementResult print;
    print.messages.push_back({0, 1, 0, "hello from print", "", 1});
    engine.on(kPrint, {{print, one}});
}

class OdbcVersions : public testing::TestWithParam<std::string> {
protected:
    OdbcVersions()
    {
        script(served.engine);
        EXPECT_TRUE(client.connect(OdbcClient::connectionString(served.port, "mk9073zr", GetParam())));
    }
    ServedEngine served;
    OdbcClient client;
};

TEST_P(OdbcVersions, ResultSetOfEveryTypeWithNulls)
{
    const auto parts = client.run(kTypes);
    ASSERT_EQ(parts.size(), 1u);
    const auto &part = parts[0];
    ASSERT_EQ(part.rc, SQL_SUCCESS);
    EXPECT_EQ(part.columnNames, (std::vector<std::string>{"ID", "RATIO", "NAME", "REC_DATE", "BIG"}));
    EXPECT_EQ(part.columnTypes, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_DOUBLE, SQL_WVARCHAR, SQL_TYPE_TIMESTAMP, SQL_BIGINT}));
    ASSERT_EQ(part.rows.size(), 3u);
    EXPECT_EQ(part.rows[0], (Cells{"7", "2.5", "O'Hara & Söhne 😀   ", "2024-02-01 00:00:00.000", "5000000000"}));
    EXPECT_EQ(part.rows[1], (Cells{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(part.rows[2], (Cells{"-1", "-0.125", "", "1900-01-01 00:00:00.003", "0"}));
}

TEST_P(OdbcVersions, EmptyResultKeepsItsColumns)
{
    const auto parts = client.run(kEmpty);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_TRUE(SQL_SUCCEEDED(parts[0].rc));
    EXPECT_EQ(parts[0].columnNames, (std::vector<std::string>{"CONTACT_ID", "CONTACT_NAME"}));
    EXPECT_TRUE(parts[0].rows.empty());
}

TEST_P(OdbcVersions, SeveralResultsOfOneBatchWithTheirCounts)
{
    const auto parts = client.run(kSeveral);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].rowCount, 2);
    EXPECT_TRUE(parts[0].columnNames.empty());
    EXPECT_EQ(parts[1].rows, (std::vector<Cells>{{"1"}}));
    EXPECT_EQ(parts[2].rows, (std::vector<Cells>{{"x"}, {"y"}}));
}

TEST_P(OdbcVersions, ErrorsAndInformationReachTheDiagnostics)
{
    const auto unknown = client.run("select * from x");
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_EQ(unknown[0].rc, SQL_ERROR);
    ASSERT_FALSE(unknown[0].diagnostics.empty());
    EXPECT_EQ(unknown[0].diagnostics[0].state, "42S02");
    EXPECT_EQ(unknown[0].diagnostics[0].native, 208);
    EXPECT_EQ(unknown[0].diagnostics[0].text, "[FreeTDS][SQL Server]Invalid object name 'x'.");

    const auto middle = client.run(kMiddleError);
    ASSERT_EQ(middle.size(), 3u);
    EXPECT_EQ(middle[0].rows, (std::vector<Cells>{{"1"}}));
    EXPECT_EQ(middle[1].rc, SQL_ERROR);
    EXPECT_TRUE(middle[1].hasState("42S02"));
    EXPECT_EQ(middle[2].rows, (std::vector<Cells>{{"x"}, {"y"}}));

    const auto printed = client.run(kPrint);
    bool informed = false;
    for (const auto &part : printed)
        for (const auto &d : part.diagnostics)
            informed |= d.state == "01000" && d.text.ends_with("hello from print");
    EXPECT_TRUE(informed);
    EXPECT_EQ(printed.back().rows, (std::vector<Cells>{{"1"}}));

    EXPECT_FALSE(client.dead());
}

TEST_P(OdbcVersions, LongTextsAndRequestsSpanSeveralPackets)
{
    const std::string longText(9000, 'z');
    const std::string longBatch = "select long /*" + std::string(6000, 'c') + "é*/";
    served.engine.on(longBatch, {{resultSet({{"TEXT", ColumnType::Text}}, {{longText}, {Cell{}}})}});
    const auto parts = client.run(longBatch);
    ASSERT_EQ(parts.size(), 1u);
    ASSERT_EQ(parts[0].rows.size(), 2u);
    EXPECT_EQ(parts[0].rows[0][0], longText);
    EXPECT_EQ(parts[0].rows[1][0], std::nullopt);
    EXPECT_EQ(served.engine.batches().back(), longBatch);
}

INSTANTIATE_TEST_SUITE_P(Tds, OdbcVersions, testing::Values("7.1", "7.2", "7.3", "7.4", ""),
                         [](const auto &info) { return info.param.empty() ? std::string("Default") : "V" + std::string(1, info.param[0]) + std::string(1, info.param[2]); });

TEST(TdsOdbc, LoginIsCheckedAndRefusedWith18456)
{
    ServedEngine served;
    OdbcClient client;
    EXPECT_FALSE(client.connect(OdbcClient::connectionString(served.port, "wrong")));
    bool refused = false;
    for (const auto &d : client.connectDiagnostics)
        refused |= d.native == 18456 && d.text.ends_with("Login failed for user 'sa'.");
    EXPECT_TRUE(refused);

    ASSERT_TRUE(client.connect(OdbcClient::connectionString(served.port)));
    EXPECT_EQ(served.engine.logins(), (std::vector<std::string>{"sa/wrong", "sa/mk9073zr"}));
    EXPECT_TRUE(served.engine.waitFor([](const FakeEngine &e) { return e.closed().size() == 1; }));
}

TEST(TdsOdbc, QueryTimeOutCancelsTheStatementAndTheConnectionStaysUsable)
{
    ServedEngine served;
    script(served.engine);
    OdbcClient client;
    ASSERT_TRUE(client.connect(OdbcClient::connectionString(served.port)));

    const auto started = std::chrono::steady_clock::now();
    const auto timedOut = client.run("waitfor 20", 2);
    const auto took = std::chrono::steady_clock::now() - started;
    ASSERT_EQ(timedOut.size(), 1u);
    EXPECT_EQ(timedOut[0].rc, SQL_ERROR);
    EXPECT_TRUE(timedOut[0].hasState("HYT00"));
    EXPECT_LT(took, 5s);
    EXPECT_TRUE(served.engine.waitFor([](const FakeEngine &e) { return e.cancelledBatches() == 1; }));

    EXPECT_FALSE(client.dead());
    const auto after = client.run(kSeveral);
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[2].rows, (std::vector<Cells>{{"x"}, {"y"}}));
}

TEST(TdsOdbc, DroppedConnectionIsReportedDeadAndANewOneWorks)
{
    ServedEngine served;
    script(served.engine);
    OdbcClient idle, busy;
    ASSERT_TRUE(idle.connect(OdbcClient::connectionString(served.port)));
    ASSERT_TRUE(busy.connect(OdbcClient::connectionString(served.port)));

    std::thread dropper([&] {
        served.engine.waitFor([](const FakeEngine &e) { return e.batches().size() == 1; });
        std::this_thread::sleep_for(100ms);
        served.server.dropAllConnections();
    });
    const auto during = busy.run("waitfor 20");
    dropper.join();
    EXPECT_EQ(during[0].rc, SQL_ERROR);
    EXPECT_TRUE(busy.dead());

    const auto afterwards = idle.run(kEmpty);
    EXPECT_EQ(afterwards[0].rc, SQL_ERROR);
    EXPECT_TRUE(idle.dead());

    ASSERT_TRUE(idle.connect(OdbcClient::connectionString(served.port)));
    EXPECT_EQ(idle.run(kEmpty)[0].columnNames.size(), 2u);
    EXPECT_TRUE(served.engine.waitFor([](const FakeEngine &e) { return e.closed().size() == 2; }));
}

} // namespace
} // namespace labsim::test
