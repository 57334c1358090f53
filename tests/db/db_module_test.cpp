#include "db/db_module.h"
#include "support/scripted_connection.h"

#include <gmock/gmock.h>

namespace hc::db {
namespace {

using test::Answer;
using test::ConnectionScript;
using test::ScriptedConnection;
using testing::ElementsAre;
using testing::IsEmpty;

const QString kConnect = QStringLiteral("Driver={SQL Server};SERVER=10.0.0.5;UID=sa;PWD=x;");
const QString kTimeoutText = QStringLiteral("[FreeTDS][SQL Server]Query timeout expired");

QString framed(qint32 number, const QString &description)
{
    return QStringLiteral("Error[%1]\r\n\r\n%2\r\n\r\n").arg(number).arg(description);
}

struct DbModuleTest : testing::Test {
    DbModuleTest()
        : script(std::make_shared<ConnectionScript>()),
          db(std::make_unique<ScriptedConnection>(script), [this](const QString &text) { reports.append(text); })
    {
        db.Open_DB_Connection(kConnect);
    }

    qsizetype executions(const QString &statement) const { return script->executed.count(statement); }

    std::shared_ptr<ConnectionScript> script;
    QStringList reports;
    DbModule db;
};

// The three statement operations, each reporting whether it succeeded.
const std::vector<std::pair<const char *, std::function<bool(DbModule &, const QString &)>>> kOperations = {
    {"Exec_DB_Statement", [](DbModule &db, const QString &s) { return db.Exec_DB_Statement(s, true); }},
    {"Get_Recordset_Client", [](DbModule &db, const QString &s) { return db.Get_Recordset_Client(s, true)->isOpen(); }},
    {"Get_Recordset", [](DbModule &db, const QString &s) { return db.Get_Recordset(s, true)->isOpen(); }},
};

TEST_F(DbModuleTest, OpensWithTheTimeOutsAndTheWholeString)
{
    EXPECT_EQ(script->commandTimeout, 20);
    EXPECT_EQ(script->connectionTimeout, 300);
    EXPECT_THAT(script->opened, ElementsAre(kConnect));
}

TEST(DbModuleOpen, FailingOpenRaisesTheDriversMessage)
{
    auto script = std::make_shared<ConnectionScript>();
    script->openFailure = QStringLiteral("Unable to connect: Adaptive Server is unavailable or does not exist");
    DbModule db(std::make_unique<ScriptedConnection>(script), [](const QString &) {});
    try {
        db.Open_DB_Connection(kConnect);
        FAIL() << "the open did not raise";
    } catch (const Failure &failure) {
        EXPECT_EQ(QString::fromUtf8(failure.what()), *script->openFailure);
    }
}

TEST_F(DbModuleTest, SuccessWithAnEmptyListExecutesOnceAndShowsNothing)
{
    for (const auto &[name, run] : kOperations) {
        script->executed.clear();
        EXPECT_TRUE(run(db, "select 1")) << name;
        EXPECT_THAT(script->executed, ElementsAre("select 1")) << name;
    }
    EXPECT_THAT(reports, IsEmpty());
}

TEST_F(DbModuleTest, AlwaysTimingOutExecutesFiveTimesShowsNothingAndTheNextStatementGetsFiveAgain)
{
    script->on("slow", Answer::timeout());
    script->on("slower", Answer::timeout());
    for (const auto &[name, run] : kOperations) {
        script->executed.clear();
        EXPECT_FALSE(run(db, "slow")) << name;
        EXPECT_FALSE(run(db, "slower")) << name;
        EXPECT_EQ(executions("slow"), 5) << name;
        EXPECT_EQ(executions("slower"), 5) << name;
    }
    EXPECT_THAT(reports, IsEmpty());
}

TEST_F(DbModuleTest, AttemptsDependOnTheTimeOutEntriesEachFailureCarries)
{
    const DbError timeout{kTimeoutErrorNumber, kTimeoutText, "HYT00"};
    const DbError other{208, "Invalid object name 'x'.", "42S02"};
    const std::vector<std::tuple<const char *, std::vector<DbError>, qsizetype>> cases = {
        {"one time-out entry", {timeout}, 5},
        {"two time-out entries", {timeout, timeout}, 3},
        {"time-out beside another error", {other, timeout}, 5},
        {"another error only", {other}, 1},
    };
    for (const auto &[name, entries, expected] : cases) {
        script->executed.clear();
        script->on("stmt", Answer::failure(entries));
        EXPECT_FALSE(db.Exec_DB_Statement("stmt", true)) << name;
        EXPECT_EQ(executions("stmt"), expected) << name;
    }
    EXPECT_THAT(reports, IsEmpty());
}

TEST_F(DbModuleTest, TwoTimeOutsThenSuccessExecutesThreeTimesAndShowsTheTimeOutOnce)
{
    for (const auto &[name, run] : kOperations) {
        script->executed.clear();
        reports.clear();
        script->once("stmt", Answer::timeout());
        script->once("stmt", Answer::timeout());
        script->once("stmt", Answer::rows({"N"}, {{Value(1)}}));
        EXPECT_TRUE(run(db, "stmt")) << name;
        EXPECT_EQ(executions("stmt"), 3) << name;
        EXPECT_THAT(reports, ElementsAre(framed(-2147217871, kTimeoutText))) << name;

        EXPECT_TRUE(run(db, "next")) << name;
        EXPECT_EQ(reports.size(), 1) << name << ": the shown entry was cleared";
    }
}

TEST_F(DbModuleTest, OtherErrorIsShownByTheNextSuccessOnly)
{
    script->on("bad", Answer::error(208, "[FreeTDS][SQL Server]Invalid object name 'x'.", "42S02"));
    EXPECT_FALSE(db.Exec_DB_Statement("bad", true));
    EXPECT_EQ(executions("bad"), 1);
    EXPECT_THAT(reports, IsEmpty());

    EXPECT_TRUE(db.Exec_DB_Statement("good", true));
    EXPECT_THAT(reports, ElementsAre(framed(208, "[FreeTDS][SQL Server]Invalid object name 'x'.")));
    EXPECT_TRUE(db.Get_Recordset("good", true)->isOpen());
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(DbModuleTest, WarningsOfASuccessReplaceTheEntriesOfAnEarlierFailure)
{
    script->on("bad", Answer::error(102, "Incorrect syntax near 'x'."));
    script->on("chatty", Answer::ok({{0, "Changed database context to 'routing'.", "01000"}}));
    db.Exec_DB_Statement("bad", true);
    EXPECT_TRUE(db.Exec_DB_Statement("chatty", true));
    EXPECT_TRUE(db.Exec_DB_Statement("good", true));
    EXPECT_THAT(reports, IsEmpty());
}

TEST_F(DbModuleTest, EntriesOfNonZeroNumberMakeOneReportInListOrder)
{
    script->on("warned", Answer::ok({{102, "First.", "42000"}, {0, "Info.", "01000"}, {-5, "Second.", "42000"}}));
    EXPECT_TRUE(db.Exec_DB_Statement("warned", true));
    EXPECT_THAT(reports, ElementsAre("Error[102]\r\n\r\nFirst.\r\n\r\nError[-5]\r\n\r\nSecond.\r\n\r\n"));
}

TEST_F(DbModuleTest, ReportCountsAndShowsOnlyNonZeroNumbers)
{
    Connection &cn = db.cnShared();
    script->on("zeros", Answer::failure({{0, "a", "01000"}, {0, "b", "01000"}}));
    EXPECT_THROW(cn.execute("zeros"), Failure);
    EXPECT_EQ(db.Report_DB_Errors(cn, true), 0);
    EXPECT_THAT(reports, IsEmpty());

    script->on("two", Answer::failure({{1, "a", "42000"}, {0, "b", "01000"}, {2, "c", "42000"}}));
    EXPECT_THROW(cn.execute("two"), Failure);
    EXPECT_EQ(db.Report_DB_Errors(cn, false), 2);
    EXPECT_THAT(reports, IsEmpty());
    EXPECT_EQ(cn.errors().size(), 3u) << "entries that were not shown stay";

    EXPECT_EQ(db.Report_DB_Errors(cn, true), 2);
    EXPECT_EQ(reports.size(), 1);
    EXPECT_THAT(cn.errors(), IsEmpty());
    EXPECT_EQ(db.Report_DB_Errors(cn, true), 0);
}

TEST_F(DbModuleTest, FailedRecordsetIsAnObjectWhoseReadingRaises)
{
    script->on("bad", Answer::error(208, "Invalid object name 'x'."));
    for (const ResultSetPtr &rs : {db.Get_Recordset("bad", true), db.Get_Recordset_Client("bad", true)}) {
        ASSERT_NE(rs, nullptr);
        EXPECT_THROW((void)rs->eof(), Failure);
        EXPECT_THROW((void)rs->field("N"), Failure);
    }
}

TEST_F(DbModuleTest, RecordsetReturnsTheStatementsRows)
{
    script->on("q", Answer::rows({"CONTACT_ID"}, {{Value(4)}, {Value(5)}}));
    const ResultSetPtr rs = db.Get_Recordset_Client("q", true);
    EXPECT_EQ(rs->recordCount(), 2);
    EXPECT_EQ(rs->field("contact_id"), Value(4));
}

TEST_F(DbModuleTest, BrokenLinkIsReopenedWithTheSameStringBeforeTheNextAttempt)
{
    script->once("update", Answer::brokenLink());
    EXPECT_FALSE(db.Exec_DB_Statement("update", true));
    EXPECT_EQ(executions("update"), 1);
    EXPECT_TRUE(db.cnShared().isBroken());

    EXPECT_TRUE(db.Exec_DB_Statement("update", true));
    EXPECT_THAT(script->opened, ElementsAre(kConnect, kConnect));
    EXPECT_EQ(script->closed, 1);
    EXPECT_EQ(reports.size(), 1) << "the lost link is shown once the statement works again";
    EXPECT_THAT(reports.value(0).toStdString(), testing::HasSubstr("Communication link failure"));
}

TEST_F(DbModuleTest, ReopenThatFailsFailsTheAttemptAndIsTriedAgainNextTime)
{
    script->broken = true;
    script->openFailure = QStringLiteral("Unable to connect");
    EXPECT_FALSE(db.Exec_DB_Statement("update", true));
    EXPECT_EQ(executions("update"), 0);

    script->openFailure.reset();
    EXPECT_TRUE(db.Exec_DB_Statement("update", true));
    EXPECT_EQ(executions("update"), 1);
    EXPECT_EQ(script->opened.size(), 3);
}

TEST_F(DbModuleTest, TimeOutThatBreaksTheLinkIsRetriedOnAReopenedLink)
{
    auto timeoutAndBreak = Answer::timeout();
    timeoutAndBreak.kind = Answer::Kind::BrokenLink;
    script->once("update", timeoutAndBreak);
    EXPECT_TRUE(db.Exec_DB_Statement("update", true));
    EXPECT_EQ(executions("update"), 2);
    EXPECT_EQ(script->opened.size(), 2);
}

} // namespace
} // namespace hc::db
