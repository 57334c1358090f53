// OdbcConnection through the driver manager and a real driver that needs no
// server: the SQLite ODBC driver, on a database made for each test.

#include "db/odbc_connection.h"

#include <QTemporaryDir>

#include <gmock/gmock.h>

namespace hc::db {
namespace {

using testing::HasSubstr;

struct SqliteOdbc : testing::Test {
    SqliteOdbc()
    {
        connection.setCommandTimeout(20);
        connection.setConnectionTimeout(5);
        connection.open(QStringLiteral("Driver={SQLite3};Database=%1;").arg(folder.filePath("lab.db")));
    }

    ResultSetPtr run(const QString &statement) { return connection.execute(statement); }

    QTemporaryDir folder;
    OdbcConnection connection;
};

TEST_F(SqliteOdbc, ReadsIntegersTextDateTimesAndNullsByColumnName)
{
    run("create table clients (contact_id integer, contact_name varchar(80), rec_date timestamp, ratio double)");
    run("insert into clients values (41, 'Åsa Öberg-Ñúñez ☃', '2024-03-05 14:07:09', 2.5)");
    run("insert into clients values (-7, '', '1999-12-31 00:00:00', null)");
    run("insert into clients values (null, null, null, -0.125)");

    const ResultSetPtr rs = run("select * from clients order by rowid");
    ASSERT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(rs->field("CONTACT_ID"), Value(41));
    EXPECT_EQ(rs->field("Contact_Name"), Value(QStringLiteral("Åsa Öberg-Ñúñez ☃")));
    EXPECT_EQ(rs->field("rec_date"), Value(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))));
    EXPECT_EQ(rs->field("RATIO"), Value(2.5));
    rs->moveNext();
    EXPECT_EQ(rs->field("CONTACT_ID"), Value(-7));
    EXPECT_TRUE(rs->field("CONTACT_NAME").isText());
    EXPECT_EQ(rs->field("CONTACT_NAME").toText(), "");
    EXPECT_EQ(rs->field("REC_DATE").toText(), "12/31/1999");
    EXPECT_TRUE(rs->field("RATIO").isNull());
    rs->moveNext();
    for (const char *column : {"CONTACT_ID", "CONTACT_NAME", "REC_DATE"})
        EXPECT_TRUE(rs->field(column).isNull()) << column;
    EXPECT_EQ(rs->field("RATIO"), Value(-0.125));
}

TEST_F(SqliteOdbc, TextLongerThanOneReadComesBackWhole)
{
    const QString longText = QString(QStringLiteral("Prüfbericht ✓ ")).repeated(700);
    run("create table pages (body text)");
    run("insert into pages values ('" + longText + "')");
    EXPECT_EQ(run("select body from pages")->field("BODY").toText(), longText);
}

TEST_F(SqliteOdbc, FailingStatementLeavesItsDiagnosticRecordsAndALaterSuccessKeepsThem)
{
    run("create table t (n integer)");
    try {
        run("select * from no_such_table");
        FAIL() << "the statement did not fail";
    } catch (const Failure &failure) {
        EXPECT_THAT(failure.what(), HasSubstr("no such table: no_such_table"));
    }
    ASSERT_FALSE(connection.errors().empty());
    const DbError &entry = connection.errors().front();
    EXPECT_THAT(entry.description.toStdString(), HasSubstr("no such table: no_such_table"));
    EXPECT_EQ(entry.number, entry.nativeError != 0 ? entry.nativeError : kGeneralErrorNumber);
    EXPECT_NE(entry.number, 0);
    EXPECT_EQ(entry.sqlState.size(), 5);
    EXPECT_FALSE(connection.isBroken());

    const std::vector<DbError> failureEntries = connection.errors();
    EXPECT_EQ(run("select n from t")->recordCount(), 0);
    EXPECT_EQ(connection.errors(), failureEntries);
    connection.clearErrors();
    EXPECT_TRUE(connection.errors().empty());
}

TEST(OdbcConnection, OpenThatFailsRaisesTheDriverManagersMessage)
{
    OdbcConnection connection;
    try {
        connection.open("Driver={No Such Driver};Database=x;");
        FAIL() << "the open did not fail";
    } catch (const Failure &failure) {
        EXPECT_THAT(failure.what(), HasSubstr("[unixODBC]"));
    }
    EXPECT_FALSE(connection.isOpen());
    ASSERT_FALSE(connection.errors().empty());
    EXPECT_NE(connection.errors().front().number, 0);
}

TEST(OdbcConnection, StatementOnAConnectionNeverOpenedFails)
{
    OdbcConnection connection;
    EXPECT_THROW(connection.execute("select 1"), Failure);
    ASSERT_EQ(connection.errors().size(), 1u);
    EXPECT_EQ(connection.errors().front().sqlState, "08003");
    EXPECT_FALSE(connection.isBroken());
}

TEST(DiagnosticNumber, TimeOutCancelInformationAndErrorsWithoutANumber)
{
    struct Case {
        const char *state;
        qint32 native;
        bool succeeded;
        bool duringStatement;
        qint32 number;
    };
    const Case cases[] = {
        {"HYT00", 0, false, true, kTimeoutErrorNumber},
        {"HYT00", 0, false, false, kGeneralErrorNumber},
        {"HY008", 0, false, true, 0},
        {"01000", 5701, true, false, 0},
        {"01000", 0, false, false, kGeneralErrorNumber},
        {"01000", 20017, false, true, 20017},
        {"42S02", 208, false, true, 208},
        {"08S01", 0, false, true, kGeneralErrorNumber},
        {"42000", 50000, true, true, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(diagnosticNumber(QString::fromLatin1(c.state), c.native, c.succeeded, c.duringStatement), c.number)
            << c.state << " " << c.native;
}

} // namespace
} // namespace hc::db
