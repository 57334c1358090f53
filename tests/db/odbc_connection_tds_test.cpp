// OdbcConnection and DbModule through the FreeTDS ODBC driver, against the
// lab simulator's TDS front end over a small engine of this test's own.

#include "db/db_module.h"
#include "db/odbc_connection.h"
#include "labsim/engine.h"
#include "labsim/tds/server.h"

#include <gmock/gmock.h>

#include <chrono>
#include <map>
#include <mutex>
#include <thread>

namespace hc::db {
namespace {

using namespace std::chrono_literals;
using labsim::BatchResult;
using labsim::Cell;
using labsim::ColumnType;
using labsim::StatementResult;
using testing::HasSubstr;

StatementResult rows(std::vector<labsim::Column> columns, std::vector<labsim::Row> cells)
{
    StatementResult result;
    result.rowCount = cells.size();
    result.columns = std::move(columns);
    result.rows = std::move(cells);
    return result;
}

StatementResult updated(std::uint64_t count)
{
    StatementResult result;
    result.rowCount = count;
    return result;
}

StatementResult failed(std::int32_t number, std::string text)
{
    StatementResult result;
    result.messages.push_back({number, 1, 16, std::move(text), "", 1});
    result.failed = true;
    return result;
}

// Answers exact batch texts; "waitfor" waits until the client cancels.
class Laboratory : public labsim::Engine {
public:
    void on(const std::string &sql, std::vector<StatementResult> statements)
    {
        std::lock_guard lock(mutex_);
        answers_[sql] = BatchResult{std::move(statements), false};
    }

    std::vector<std::string> batches() const
    {
        std::lock_guard lock(mutex_);
        return batches_;
    }

    bool acceptLogin(const std::string &user, const std::string &password) override
    {
        return user == "sa" && password == "pw";
    }

    BatchResult runBatch(int, const std::string &sql, const std::atomic<bool> &cancelled) override
    {
        {
            std::lock_guard lock(mutex_);
            batches_.push_back(sql);
            if (auto answer = answers_.find(sql); answer != answers_.end())
                return answer->second;
        }
        if (sql == "waitfor") {
            for (int waited = 0; waited < 500 && !cancelled; ++waited)
                std::this_thread::sleep_for(20ms);
            return BatchResult{{}, true};
        }
        return BatchResult{{updated(0)}, false};
    }

private:
    mutable std::mutex mutex_;
    std::map<std::string, BatchResult> answers_;
    std::vector<std::string> batches_;
};

struct TdsOdbc : testing::Test {
    TdsOdbc()
    {
        port = server.start();
        connection.setCommandTimeout(20);
        connection.setConnectionTimeout(10);
        connection.open(connectString());
    }

    QString connectString(const char *password = "pw") const
    {
        return QStringLiteral("Driver={SQL Server};SERVER=127.0.0.1,%1;UID=sa;PWD=%2;").arg(port).arg(password);
    }

    Laboratory lab;
    labsim::tds::Server server{lab, {"127.0.0.1", 0}};
    std::uint16_t port = 0;
    OdbcConnection connection;
};

TEST_F(TdsOdbc, ReadsEveryColumnTypeByName)
{
    lab.on("select clients", {rows({{"CONTACT_ID", ColumnType::Int}, {"CONTACT_NAME", ColumnType::Text},
                                    {"REC_DATE", ColumnType::DateTime}, {"RATIO", ColumnType::Float},
                                    {"BIG", ColumnType::Int}},
                                   {{std::int64_t{41}, std::string("Åsa Öberg ☃ 😀"),
                                     labsim::DateTime{2024, 3, 5, 14, 7, 9, 0}, 2.5, std::int64_t{5000000000}},
                                    {Cell{}, Cell{}, Cell{}, Cell{}, Cell{}}})});
    const ResultSetPtr rs = connection.execute("select clients");
    ASSERT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->field("contact_id"), Value(41));
    EXPECT_EQ(rs->field("Contact_Name"), Value(QStringLiteral("Åsa Öberg ☃ 😀")));
    EXPECT_EQ(rs->field("REC_DATE"), Value(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))));
    EXPECT_EQ(rs->field("RATIO"), Value(2.5));
    EXPECT_EQ(rs->field("BIG"), Value(qint64{5000000000}));
    rs->moveNext();
    for (const char *column : {"CONTACT_ID", "CONTACT_NAME", "REC_DATE", "RATIO", "BIG"})
        EXPECT_TRUE(rs->field(column).isNull()) << column;
}

TEST_F(TdsOdbc, BatchReturnsItsFirstResultWithColumnsAndConsumesTheRest)
{
    const auto one = rows({{"A", ColumnType::Int}}, {{std::int64_t{1}}});
    const auto two = rows({{"B", ColumnType::Text}}, {{std::string("x")}, {std::string("y")}});
    lab.on("update; select; select", {updated(4), one, two});
    lab.on("update; update", {updated(1), updated(1)});

    const ResultSetPtr rs = connection.execute("update; select; select");
    EXPECT_EQ(rs->columnName(0), "A");
    EXPECT_EQ(rs->recordCount(), 1);
    const ResultSetPtr none = connection.execute("update; update");
    EXPECT_TRUE(none->isOpen());
    EXPECT_EQ(none->columnCount(), 0);
    EXPECT_EQ(connection.execute("update; select; select")->field("A"), Value(1));

    lab.on("set nocount on", {StatementResult{}});
    EXPECT_EQ(connection.execute("set nocount on")->columnCount(), 0) << "a batch that returns nothing succeeds";
    EXPECT_TRUE(connection.errors().empty());
}

TEST_F(TdsOdbc, ErrorInTheMiddleOfABatchFailsItAfterTheRestWasWalked)
{
    const auto one = rows({{"A", ColumnType::Int}}, {{std::int64_t{1}}});
    lab.on("select; select * from x; update", {one, failed(208, "Invalid object name 'x'."), updated(1)});
    lab.on("select; bad; bad", {one, failed(102, "Incorrect syntax near 'a'."),
                                failed(156, "Incorrect syntax near the keyword 'b'.")});

    EXPECT_THROW(connection.execute("select; select * from x; update"), Failure);
    ASSERT_EQ(connection.errors().size(), 1u);
    EXPECT_EQ(connection.errors()[0],
              (DbError{208, "[FreeTDS][SQL Server]Invalid object name 'x'.", "42S02", 208}));

    EXPECT_THROW(connection.execute("select; bad; bad"), Failure);
    ASSERT_EQ(connection.errors().size(), 2u);
    EXPECT_EQ(connection.errors()[0].number, 102);
    EXPECT_EQ(connection.errors()[1].number, 156);
    EXPECT_FALSE(connection.isBroken());
    EXPECT_EQ(connection.execute("update")->columnCount(), 0);
}

TEST_F(TdsOdbc, InformationalMessagesEnterTheListWithNumberZero)
{
    StatementResult print = updated(0);
    print.messages.push_back({5701, 1, 10, "Changed database context to 'routing'.", "", 1});
    lab.on("use routing; select", {print, rows({{"N", ColumnType::Int}}, {{std::int64_t{3}}})});

    EXPECT_EQ(connection.execute("use routing; select")->field("N"), Value(3));
    ASSERT_FALSE(connection.errors().empty());
    const DbError &entry = connection.errors().back();
    EXPECT_EQ(entry.number, 0);
    EXPECT_EQ(entry.nativeError, 5701);
    EXPECT_THAT(entry.description.toStdString(), HasSubstr("Changed database context to 'routing'."));
}

TEST_F(TdsOdbc, TimeOutEntersOneTimeOutEntryAndTheConnectionStaysUsable)
{
    connection.setCommandTimeout(1);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_THROW(connection.execute("waitfor"), Failure);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    const auto &errors = connection.errors();
    EXPECT_EQ(std::count_if(errors.begin(), errors.end(), [](const DbError &e) { return e.number == kTimeoutErrorNumber; }), 1);
    EXPECT_FALSE(connection.isBroken());
    EXPECT_TRUE(connection.execute("update")->isOpen());
}

TEST_F(TdsOdbc, DroppedLinkIsBrokenAndTheModuleReopensIt)
{
    QStringList reports;
    auto owned = std::make_unique<OdbcConnection>();
    OdbcConnection &link = *owned;
    DbModule db(std::move(owned), [&](const QString &text) { reports.append(text); });
    db.Open_DB_Connection(connectString());
    EXPECT_TRUE(db.Exec_DB_Statement("update", true));

    server.dropAllConnections();
    EXPECT_FALSE(db.Exec_DB_Statement("update", true));
    EXPECT_TRUE(link.isBroken());
    EXPECT_TRUE(db.Exec_DB_Statement("update", true));
    EXPECT_FALSE(link.isBroken());
    EXPECT_EQ(reports.size(), 1) << "the lost link is reported once the statement works again";
}

TEST_F(TdsOdbc, OpenThatIsRefusedRaisesTheServersMessage)
{
    OdbcConnection refused;
    refused.setConnectionTimeout(10);
    try {
        refused.open(connectString("wrong"));
        FAIL() << "the login was not refused";
    } catch (const Failure &failure) {
        EXPECT_THAT(failure.what(), HasSubstr("Login failed for user 'sa'."));
    }
    EXPECT_FALSE(refused.isOpen());
}

} // namespace
} // namespace hc::db
