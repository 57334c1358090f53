#include "app/configuration.h"

#include <gtest/gtest.h>

namespace hc::app {
namespace {

QProcessEnvironment environment(std::initializer_list<std::pair<const char *, const char *>> variables)
{
    QProcessEnvironment result;
    for (const auto &[name, value] : variables)
        result.insert(QString::fromLatin1(name), QString::fromLatin1(value));
    return result;
}

TEST(Configuration, DefaultsWhenNothingIsSet)
{
    const Configuration configuration = readConfiguration(environment({}));
    EXPECT_EQ(connectionString(configuration), QStringLiteral("Driver={SQL Server};SERVER=127.0.0.1;UID=sa;PWD=mk9073zr;"));
    EXPECT_EQ(configuration.reportServer, QStringLiteral("127.0.0.1:8080"));
    EXPECT_EQ(configuration.reportUrl, QString());
    EXPECT_EQ(configuration.pageTimeoutSeconds, 120);
    EXPECT_EQ(configuration.printTimeoutSeconds, 300);
}

TEST(Configuration, ServerGoesIntoTheBuiltInStringAndAWholeStringReplacesIt)
{
    Configuration configuration = readConfiguration(environment({{"HARDCOPY_DB_SERVER", "lims-db,1433"}}));
    EXPECT_EQ(connectionString(configuration),
              QStringLiteral("Driver={SQL Server};SERVER=lims-db,1433;UID=sa;PWD=mk9073zr;"));

    configuration = readConfiguration(environment(
        {{"HARDCOPY_DB_SERVER", "ignored"}, {"HARDCOPY_DB_CONNECT", "Driver={SQLite3};Database=/tmp/x.db"}}));
    EXPECT_EQ(connectionString(configuration), QStringLiteral("Driver={SQLite3};Database=/tmp/x.db"));

    configuration = readConfiguration(environment({{"HARDCOPY_DB_SERVER", ""}}));
    EXPECT_EQ(configuration.dbServer, QStringLiteral("127.0.0.1"));
}

TEST(Configuration, TimeoutsTakeOnlyPositiveWholeSeconds)
{
    struct Case {
        const char *text;
        int seconds;
    };
    for (const Case &c : {Case{"5", 5}, Case{" 30 ", 30}, Case{"0", 120}, Case{"-4", 120}, Case{"ten", 120},
                          Case{"2.5", 120}, Case{"", 120}}) {
        const Configuration configuration =
            readConfiguration(environment({{"HARDCOPY_PAGE_TIMEOUT", c.text}, {"HARDCOPY_PRINT_TIMEOUT", c.text}}));
        EXPECT_EQ(configuration.pageTimeoutSeconds, c.seconds) << '"' << c.text << '"';
        EXPECT_EQ(configuration.printTimeoutSeconds, c.seconds == 120 ? 300 : c.seconds) << '"' << c.text << '"';
    }
}

} // namespace
} // namespace hc::app
