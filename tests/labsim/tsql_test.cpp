#include "labsim/tsql/datetime.h"
#include "labsim/tsql/error.h"
#include "labsim/tsql/executor.h"
#include "labsim/tsql/parser.h"
#include "labsim/tsql/tokenizer.h"

#include <gmock/gmock.h>

#include <chrono>
#include <thread>

namespace labsim::tsql {
namespace {

using testing::ElementsAre;

// --- date-time text -------------------------------------------------------

struct DateCase {
    const char *text;
    const char *canonical; // nullptr: not a date
};

TEST(DateTimeText, ReadsTheFormsOfUsEnglish)
{
    const DateCase cases[] = {
        {"3/3/2011", "2011-03-03 00:00:00.000"},
        {"3/3/2011 2:05:00 PM", "2011-03-03 14:05:00.000"},
        {"12/31/2011 12:00:00 AM", "2011-12-31 00:00:00.000"},
        {"1/2/2011 12:30 PM", "2011-01-02 12:30:00.000"},
        {"11/23/2011 14:05", "2011-11-23 14:05:00.000"},
        {"  3/3/11  ", "2011-03-03 00:00:00.000"},
        {"3-3-2011", "2011-03-03 00:00:00.000"},
        {"3.3.2011 9:05:07", "2011-03-03 09:05:07.000"},
        {"2011-03-04 14:05:00", "2011-03-04 14:05:00.000"},
        {"2011-03-04T14:05:00.123", "2011-03-04 14:05:00.123"},
        {"20110304", "2011-03-04 00:00:00.000"},
        {"Mar  3 2011  2:05PM", "2011-03-03 14:05:00.000"},
        {"3 March 2011", "2011-03-03 00:00:00.000"},
        {"2/29/2012", "2012-02-29 00:00:00.000"},
        {"14:05", "1900-01-01 14:05:00.000"},
        {"2011-03-04 23:59:59.999", "2011-03-05 00:00:00.000"}, // 1/300 second ticks carry into the next day
        {"2011-03-04 10:00:00.002", "2011-03-04 10:00:00.003"},
        {"2/29/2011", nullptr},
        {"13/1/2011", nullptr},
        {"3/3/2011 25:00", nullptr},
        {"3/3/2011 13:00 PM", nullptr},
        {"3/3", nullptr},
        {"", nullptr},
        {"yesterday", nullptr},
        {"3/3/2011 x", nullptr},
    };
    for (const DateCase &c : cases) {
        const ParsedDateTime parsed = parseDateTime(c.text);
        if (c.canonical) {
            ASSERT_EQ(parsed.status, DateTimeParse::Ok) << c.text;
            EXPECT_EQ(canonicalText(parsed.value), c.canonical) << c.text;
        } else {
            EXPECT_EQ(parsed.status, DateTimeParse::Malformed) << c.text;
        }
    }
    EXPECT_EQ(parseDateTime("1/1/1752").status, DateTimeParse::OutOfRange);
}

TEST(DateTimeText, GeneralDateFormRoundTrips)
{
    EXPECT_EQ(generalDateText(parseDateTime("2011-03-03").value), "3/3/2011");
    EXPECT_EQ(generalDateText(parseDateTime("2011-03-03 14:05").value), "3/3/2011 2:05:00 PM");
    EXPECT_EQ(generalDateText(parseDateTime("2011-03-03 00:00:01").value), "3/3/2011 12:00:01 AM");
    EXPECT_EQ(generalDateText(parseDateTime("2011-03-03 12:00").value), "3/3/2011 12:00:00 PM");
    for (const char *text : {"3/3/2011", "11/30/2024 11:59:59 PM", "1/1/2000 12:00:01 AM"})
        EXPECT_EQ(generalDateText(parseDateTime(text).value), text);
}

// --- tokens and statements ------------------------------------------------

TEST(Tokenizer, UndoesDoubledApostrophesAndDropsComments)
{
    const auto tokens = tokenize("exec p @a = 'o''hara', @b = N'x' -- note\n/* a /* nested */ c */ [my col]");
    ASSERT_EQ(tokens.size(), 11u);
    EXPECT_EQ(tokens.back().kind, Token::Kind::End);
    EXPECT_EQ(tokens[4].value, "o'hara");
    EXPECT_EQ(tokens[4].text, "'o''hara'");
    EXPECT_EQ(tokens[8].value, "x");
    EXPECT_EQ(tokens[9].kind, Token::Kind::QuotedIdentifier);
    EXPECT_EQ(tokens[9].value, "my col");
}

TEST(Tokenizer, UnclosedQuotationGivesBothMessages)
{
    try {
        tokenize("exec lab.dbo.lab_login @password = 'o'hara'");
        FAIL();
    } catch (const SqlError &error) {
        ASSERT_EQ(error.messages().size(), 2u);
        EXPECT_EQ(error.messages()[0].number, 105);
        EXPECT_EQ(error.messages()[0].text, "Unclosed quotation mark after the character string ''.");
        EXPECT_EQ(error.messages()[1].number, 102);
    }
}

TEST(Parser, SplitsStatementsThatHaveNoSeparators)
{
    const auto statements = parseBatch(
        "update sitecfg.dbo.settings set value = 'HARD_COPY' where parameter = 'Dispatch_CurrApp_US' "
        "update sitecfg.dbo.settings set value = '3/4/2024 9:05' where parameter = 'Dispatch_LastPing_US' "
        "select 1; print 'x' waitfor delay '00:00:01'\nexec p");
    ASSERT_EQ(statements.size(), 6u);
    EXPECT_TRUE(std::holds_alternative<Update>(statements[0].body));
    EXPECT_TRUE(std::holds_alternative<Update>(statements[1].body));
    EXPECT_TRUE(std::holds_alternative<Select>(statements[2].body));
    EXPECT_TRUE(std::holds_alternative<Print>(statements[3].body));
    EXPECT_TRUE(std::holds_alternative<WaitFor>(statements[4].body));
    EXPECT_EQ(statements[5].line, 2);
}

TEST(Parser, ReportsTheTokenNearASyntaxError)
{
    const std::pair<const char *, const char *> cases[] = {
        {"select * form t", "form"},
        {"select * from", "from"},
        {"selec 1", "selec"},
        {"select * from x.dbo.y where", "where"},
        {"select * from x.dbo.y where a = = 1", "="},
        {"update x.dbo.y value = 1", "value"},
        {"select * from x.dbo.y where not(a = 1 and b = 2", "2"},
        {"exec p @a = 1 @b = 2", "@b"},
        {"select $", "$"},
    };
    for (const auto &[sql, token] : cases) {
        try {
            parseBatch(sql);
            ADD_FAILURE() << sql;
        } catch (const SqlError &error) {
            EXPECT_EQ(error.number(), 102) << sql;
            EXPECT_EQ(error.messages().front().text, std::string("Incorrect syntax near '") + token + "'.") << sql;
        }
    }
}

// --- running batches ------------------------------------------------------

// A small catalog: one table, one function over it, one procedure.
class Batches : public testing::Test {
protected:
    Batches() : database_(":memory:"), executor_(database_, catalog_)
    {
        catalog_.add(TableDef{"shop",
                              "items",
                              {{"ID", SqlType::integer(), false},
                               {"NAME", SqlType::varchar(10), true},
                               {"CODE", SqlType::character(5), true},
                               {"AT", SqlType::datetime(), true},
                               {"PRICE", SqlType::real(), true}},
                              {"ID"}});
        FunctionDef cheap;
        cheap.database = "shop";
        cheap.name = "cheaper_than";
        cheap.parameters = {{"@limit", SqlType::real()}};
        cheap.columns = {{"ID", SqlType::integer(), true}, {"NAME", SqlType::varchar(10), true}};
        cheap.body = "SELECT ID, NAME FROM \"shop_items\", \"args\" WHERE PRICE < \"args\".\"limit\"";
        cheap.defaultOrder = {"ID"};
        catalog_.add(std::move(cheap));
        ProcedureDef echo;
        echo.database = "shop";
        echo.name = "echo";
        echo.parameters = {{"@text", SqlType::varchar(6)}, {"@when", SqlType::datetime()},
                           {"@count", SqlType::integer(), std::int64_t{7}}};
        echo.body = [](Access &, const std::vector<Cell> &arguments) {
            StatementResult result;
            result.columns = {{"TEXT", ColumnType::Text}, {"WHEN", ColumnType::DateTime}, {"COUNT", ColumnType::Int}};
            result.rows.push_back(arguments);
            return std::vector<StatementResult>{std::move(result)};
        };
        catalog_.add(std::move(echo));
        Access access = database_.access();
        access.script("CREATE TABLE \"shop_items\" (\"ID\" INT NOT NULL PRIMARY KEY, \"NAME\" VARCHAR(10) COLLATE "
                      "tsql, \"CODE\" CHAR(5) COLLATE tsql, \"AT\" DATETIME, \"PRICE\" FLOAT)");
        access.script("INSERT INTO shop_items VALUES (1, 'Bolt', 'B    ', '2011-03-03 00:00:00.000', 0.5), "
                      "(2, 'Nut', 'N    ', '2011-03-03 14:05:00.000', 0.2), "
                      "(3, 'O''Ring', 'O    ', '2011-03-04 00:00:00.000', 1.5)");
    }

    BatchResult run(const std::string &sql) { return executor_.run(sql, never_); }

    // The first statement's rows, each cell as text; fails on an error.
    std::vector<std::string> firstColumn(const std::string &sql)
    {
        const BatchResult result = run(sql);
        std::vector<std::string> values;
        if (result.statements.empty() || result.statements.front().failed) {
            ADD_FAILURE() << sql << ": "
                          << (result.statements.empty() ? "no result" : result.statements.front().messages.front().text);
            return values;
        }
        for (const Row &row : result.statements.front().rows) {
            const Cell &cell = row.front();
            if (!cell)
                values.push_back("NULL");
            else if (const auto *number = std::get_if<std::int64_t>(&*cell))
                values.push_back(std::to_string(*number));
            else if (const auto *text = std::get_if<std::string>(&*cell))
                values.push_back(*text);
            else if (const auto *moment = std::get_if<DateTime>(&*cell))
                values.push_back(canonicalText(*moment));
            else
                values.push_back(std::to_string(std::get<double>(*cell)));
        }
        return values;
    }

    Message error(const std::string &sql)
    {
        const BatchResult result = run(sql);
        if (result.statements.empty() || !result.statements.back().failed) {
            ADD_FAILURE() << sql << " did not fail";
            return {};
        }
        return result.statements.back().messages.back();
    }

    Catalog catalog_;
    Database database_;
    Executor executor_;
    std::atomic<bool> never_{false};
};

TEST_F(Batches, ResultColumnsAreTypedFromTheDeclarationsAlsoWhenEmpty)
{
    for (const char *sql : {"select * from shop.dbo.items", "select * from shop.dbo.items (nolock) where id = 99"}) {
        const BatchResult result = run(sql);
        ASSERT_EQ(result.statements.size(), 1u);
        const auto &columns = *result.statements.front().columns;
        ASSERT_EQ(columns.size(), 5u);
        EXPECT_EQ(columns[0].type, ColumnType::Int);
        EXPECT_EQ(columns[1].type, ColumnType::Text);
        EXPECT_EQ(columns[2].type, ColumnType::Text);
        EXPECT_EQ(columns[3].type, ColumnType::DateTime);
        EXPECT_EQ(columns[4].type, ColumnType::Float);
        EXPECT_EQ(columns[3].name, "AT");
    }
    const BatchResult some = run("select name as n, id, getdate() from shop..items with (nolock) where id = 1");
    const auto &columns = *some.statements.front().columns;
    EXPECT_EQ(columns[0].name, "n");
    EXPECT_EQ(columns[1].name, "id");
    EXPECT_EQ(columns[2].type, ColumnType::DateTime);
    EXPECT_EQ(some.statements.front().rowCount, 1u);
}

TEST_F(Batches, DateTimeColumnsCompareWithTextAsSqlServerConvertsIt)
{
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where at = '3/3/2011'"), ElementsAre("1"));
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where at = '3/3/2011 2:05:00 PM'"), ElementsAre("2"));
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where at = '2011-03-03 14:05:00'"), ElementsAre("2"));
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where at >= 'Mar 3 2011 12:00PM' order by id"),
                ElementsAre("2", "3"));
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where not(id = 1 and at = '3/3/2011') and "
                            "not(id = 3 and at = '3/4/2011') order by id"),
                ElementsAre("2"));
    EXPECT_EQ(error("select id from shop.dbo.items where at = '3/32/2011'").number, 241);
    EXPECT_EQ(error("select id from shop.dbo.items where at = '1/1/1600'").number, 242);
}

TEST_F(Batches, TextComparesWithoutCaseAndTrailingBlanks)
{
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where code = 'b'"), ElementsAre("1"));
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where name in ('NUT  ', 'bolt') order by name"),
                ElementsAre("1", "2"));
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where name = 'O''Ring'"), ElementsAre("3"));
    // A literal stays a value: the apostrophe cannot end it.
    EXPECT_TRUE(firstColumn("select id from shop.dbo.items where name = 'x'' or 1=1 --'").empty());
    EXPECT_THAT(firstColumn("select id from shop.dbo.items where id = '2'"), ElementsAre("2"));
    EXPECT_EQ(error("select id from shop.dbo.items where id = 'two'").number, 245);
}

TEST_F(Batches, StoredTextIsPaddedForCharAndChecked)
{
    const BatchResult update = run("update shop.dbo.items set code = 'XY', name = 'Washer' where id = 1 "
                                   "update shop.dbo.items set code = 'Z' where id > 1");
    ASSERT_EQ(update.statements.size(), 2u);
    EXPECT_EQ(update.statements[0].rowCount, 1u);
    EXPECT_EQ(update.statements[1].rowCount, 2u);
    EXPECT_THAT(firstColumn("select code from shop.dbo.items where id = 1"), ElementsAre("XY   "));
    EXPECT_EQ(error("update shop.dbo.items set name = 'much too long' where id = 1").number, 8152);
    EXPECT_EQ(error("update shop.dbo.items set id = null where id = 1").number, 515);
    EXPECT_EQ(error("insert into shop.dbo.items (id) values (1)").number, 2627);
    const BatchResult insert = run("insert into shop.dbo.items (id, name, at) values (4, 'Pin', '3/5/2011 1:00 PM')");
    EXPECT_EQ(insert.statements.front().rowCount, 1u);
    EXPECT_THAT(firstColumn("select at from shop.dbo.items where id = 4"), ElementsAre("2011-03-05 13:00:00.000"));
}

TEST_F(Batches, UnknownNamesAnswerWithSqlServerErrors)
{
    const Message unknownTable = error("select * from shop.dbo.nothing");
    EXPECT_EQ(unknownTable.number, 208);
    EXPECT_EQ(unknownTable.text, "Invalid object name 'shop.dbo.nothing'.");
    EXPECT_EQ(error("select * from items").text, "Invalid object name 'items'.");
    EXPECT_EQ(error("select * from dbo.items").text, "Invalid object name 'dbo.items'.");
    EXPECT_EQ(error("select * from shop.other.items").number, 208);
    EXPECT_EQ(error("select colour from shop.dbo.items").text, "Invalid column name 'colour'.");
    EXPECT_EQ(error("select x.id from shop.dbo.items").number, 4104);
    EXPECT_EQ(error("select * from shop.dbo.items (fastest)").number, 321);
    EXPECT_EQ(error("exec shop.dbo.nothing").text, "Could not find stored procedure 'shop.dbo.nothing'.");
}

TEST_F(Batches, TableValuedFunctionTakesConvertedArguments)
{
    EXPECT_THAT(firstColumn("select * from shop.dbo.cheaper_than(1)"), ElementsAre("1", "2"));
    EXPECT_THAT(firstColumn("select * from shop.dbo.cheaper_than('1.0') where not(id = 1) order by id desc"),
                ElementsAre("2"));
    EXPECT_EQ(error("select * from shop.dbo.cheaper_than()").number, 313);
    EXPECT_EQ(error("select * from shop.dbo.cheaper_than(1, 2)").number, 8144);
    EXPECT_EQ(error("select * from shop.dbo.cheaper_than").number, 216);
    EXPECT_EQ(error("update shop.dbo.cheaper_than set name = 'x'").number, 4406);
}

TEST_F(Batches, ExecBindsNamedAndPositionalArguments)
{
    const BatchResult named = run("exec shop.dbo.echo @when = '3/3/2011 2:05:00 PM', @text = 'o''hara'");
    ASSERT_EQ(named.statements.size(), 1u);
    const Row &row = named.statements.front().rows.front();
    EXPECT_EQ(std::get<std::string>(*row[0]), "o'hara");
    EXPECT_EQ(canonicalText(std::get<DateTime>(*row[1])), "2011-03-03 14:05:00.000");
    EXPECT_EQ(std::get<std::int64_t>(*row[2]), 7);
    const BatchResult positional = run("execute shop.dbo.echo 'truncated', '2011-03-03', @count = '12'");
    EXPECT_EQ(std::get<std::string>(*positional.statements.front().rows.front()[0]), "trunca");

    EXPECT_EQ(error("exec shop.dbo.echo @text = 'a'").number, 201);
    EXPECT_EQ(error("exec shop.dbo.echo @text = 'a', @when = 'soon'").number, 8114);
    EXPECT_EQ(error("exec shop.dbo.echo @text = 'a', @colour = 1").number, 8145);
    EXPECT_EQ(error("exec shop.dbo.echo @text = 'a', 'b'").number, 119);
    EXPECT_EQ(error("exec shop.dbo.echo 'a', '3/3/2011', 1, 2").number, 8144);
}

TEST_F(Batches, ASyntaxErrorRunsNothingAndAFailureEndsTheBatch)
{
    EXPECT_EQ(error("update shop.dbo.items set name = 'A' where id = 1 select * frm x").number, 102);
    EXPECT_THAT(firstColumn("select name from shop.dbo.items where id = 1"), ElementsAre("Bolt"));

    const BatchResult result = run("update shop.dbo.items set name = 'A' where id = 1 "
                                   "select * from shop.dbo.nothing update shop.dbo.items set name = 'B' where id = 2");
    ASSERT_EQ(result.statements.size(), 2u);
    EXPECT_FALSE(result.statements[0].failed);
    EXPECT_TRUE(result.statements[1].failed);
    EXPECT_EQ(result.statements[1].messages.front().line, 1);
    EXPECT_THAT(firstColumn("select name from shop.dbo.items order by id"), ElementsAre("A", "Nut", "O'Ring"));
}

TEST_F(Batches, PrintGivesAnInformationMessage)
{
    const BatchResult result = run("print 'it''s done'");
    ASSERT_EQ(result.statements.size(), 1u);
    const Message &message = result.statements.front().messages.front();
    EXPECT_EQ(message.text, "it's done");
    EXPECT_LE(message.severity, 10);
    EXPECT_FALSE(result.statements.front().failed);
}

TEST_F(Batches, WaitforSleepsAndEndsEarlyWhenCancelled)
{
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(run("waitfor delay '00:00:00.200' select 1").cancelled);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));

    std::atomic<bool> cancelled{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancelled = true;
    });
    start = std::chrono::steady_clock::now();
    const BatchResult result = executor_.run("waitfor delay '00:01:00' update shop.dbo.items set name = 'late'", cancelled);
    canceller.join();
    EXPECT_TRUE(result.cancelled);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_THAT(firstColumn("select count(*) from shop.dbo.items where name = 'late'"), ElementsAre("0"));
    EXPECT_EQ(error("waitfor delay '3/3/2011'").number, 148);
}

} // namespace
} // namespace labsim::tsql
