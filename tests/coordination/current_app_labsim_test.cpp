// The turn-taking of the main window through OdbcConnection, unixODBC and the
// FreeTDS driver against the lab simulator of the test run, whose sibling
// export service holds the turn or falls silent on request.

#include "app/form_hardcopy.h"
#include "coordination/turn_taking.h"
#include "db/odbc_connection.h"
#include "support/labsim_client.h"
#include "support/window_fixture.h"

#include <QJsonArray>
#include <QTest>

#include <gmock/gmock.h>

#include <map>

namespace hc::coordination {
namespace {

using test::LabsimClient;
using testing::ElementsAre;

struct Laboratory {
    const char *labCode;
    const char *suffix;
    const char *otherSuffix;
};

void PrintTo(const Laboratory &laboratory, std::ostream *os)
{
    *os << '"' << laboratory.labCode << '"';
}

class LabsimCoordination : public testing::TestWithParam<Laboratory> {
protected:
    void SetUp() override
    {
        labsim.reset();
        fixture = std::make_unique<test::WindowFixture>([this](app::Platform &platform) {
            test::connectThroughOdbc(platform, labsim.connectionString());
            platform.now = [this] { return clock; };
        });
        window().sLabCode = GetParam().labCode;
    }

    app::Form_HardCopy &window() { return *fixture->window; }
    QString suffix() const { return GetParam().suffix; }

    // The settings rows as the simulator holds them, trailing blanks removed.
    std::map<QString, QString> settings() const
    {
        std::map<QString, QString> rows;
        for (const QJsonValue &row : labsim.state().value("settings").toArray()) {
            QString value = row["VALUE"].toString();
            while (value.endsWith(u' '))
                value.chop(1);
            rows[row["PARAMETER"].toString()] = value;
        }
        return rows;
    }

    QString setting(const char *name) const { return settings()[QLatin1String(name) + suffix()]; }

    // The sibling's own statements are not logged: what the log holds since a
    // mark is the window's alone.
    QStringList sqlLoggedSince(std::size_t mark) const { return labsim.sqlLogged(mark); }

    std::size_t logSize() const { return labsim.log().size(); }

    // A statement of the test's own, on a connection apart from the window's.
    void runApart(const QString &statement)
    {
        db::OdbcConnection connection;
        connection.open(labsim.connectionString());
        connection.execute(statement);
    }

    LabsimClient labsim = LabsimClient::fromEnvironment();
    QDateTime clock = QDateTime::currentDateTime();
    std::unique_ptr<test::WindowFixture> fixture;
};

TEST_P(LabsimCoordination, ASiblingAliveKeepsTheTurnAndASilentOneLosesItAfterTheDelay)
{
    const QString seeded = setting("Dispatch_LastUpd");
    labsim.sibling("hold");
    ASSERT_TRUE(QTest::qWaitFor([&] { return setting("Dispatch_LastUpd") != seeded; }, 10000));
    ASSERT_EQ(setting("Dispatch_CurrApp").toStdString(), "AUTO_EXPORT");

    std::size_t mark = logSize();
    EXPECT_FALSE(window().Get_CurrApp_Info(db::Value("HARD_COPY")));
    EXPECT_THAT(sqlLoggedSince(mark), ElementsAre(settingsQuery(suffix())));
    EXPECT_EQ(setting("Dispatch_CurrApp").toStdString(), "AUTO_EXPORT");

    labsim.sibling("silent");
    QTest::qWait(300); // a question the sibling had begun before it fell silent
    const QString siblingStamp = setting("Dispatch_LastUpd");
    const QDateTime siblingUpdate = QDateTime::fromString(siblingStamp, "M/d/yyyy H:mm");
    ASSERT_TRUE(siblingUpdate.isValid()) << siblingStamp.toStdString();
    EXPECT_EQ(window().sLastUpd, timeOfDayText(siblingUpdate.time()));

    clock = siblingUpdate.addSecs(4 * 60 + 59);
    mark = logSize();
    EXPECT_FALSE(window().Get_CurrApp_Info(db::Value("HARD_COPY")));
    EXPECT_THAT(sqlLoggedSince(mark), ElementsAre(settingsQuery(suffix())));

    clock = siblingUpdate.addSecs(5 * 60);
    const QString stamp = timeStamp(clock);
    mark = logSize();
    EXPECT_TRUE(window().Get_CurrApp_Info(db::Value("HARD_COPY")));
    EXPECT_THAT(sqlLoggedSince(mark),
                ElementsAre(settingsQuery(suffix()), heartbeatBatch("HARD_COPY", stamp, suffix())));

    const std::map<QString, QString> rows = settings();
    EXPECT_EQ(rows.at("Dispatch_CurrApp" + suffix()).toStdString(), "HARD_COPY");
    EXPECT_EQ(rows.at("Dispatch_LastPing" + suffix()), stamp);
    EXPECT_EQ(rows.at("Dispatch_LastUpd" + suffix()), stamp);
    EXPECT_EQ(rows.at("Dispatch_Function" + suffix()).toStdString(), "HardCopy Distribution");
    const QString other = GetParam().otherSuffix;
    EXPECT_EQ(rows.at("Dispatch_CurrApp" + other).toStdString(), "AUTO_EXPORT");
    EXPECT_NE(rows.at("Dispatch_LastUpd" + other), stamp);
}

TEST_P(LabsimCoordination, AStampWrittenBeforeMidnightIsTakenOverAfterTheDelay)
{
    runApart(QStringLiteral("update sitecfg.dbo.settings set value = '11/23/2011 23:58' where parameter = "
                            "'Dispatch_LastUpd%1'")
                 .arg(suffix()));

    clock = QDateTime(QDate(2011, 11, 24), QTime(0, 2));
    EXPECT_FALSE(window().Get_CurrApp_Info(db::Value("HARD_COPY")));
    EXPECT_EQ(window().sLastUpd.toStdString(), "23:58");

    clock = QDateTime(QDate(2011, 11, 24), QTime(0, 3));
    EXPECT_TRUE(window().Get_CurrApp_Info(db::Value("HARD_COPY")));
    EXPECT_EQ(setting("Dispatch_CurrApp").toStdString(), "HARD_COPY");
    EXPECT_EQ(setting("Dispatch_LastUpd").toStdString(), "11/24/2011 0:03");
}

TEST_P(LabsimCoordination, RowsMissingForTheLaboratoryGiveNoAndWriteNothing)
{
    runApart(QStringLiteral("delete from sitecfg.dbo.settings where parameter in ('Dispatch_CurrApp%1', "
                            "'Dispatch_LastPing%1', 'Dispatch_LastUpd%1', 'Dispatch_Function%1', "
                            "'Dispatch_Delay%1', 'Dispatch_Freq%1')")
                 .arg(suffix()));
    const std::map<QString, QString> before = settings();

    const std::size_t mark = logSize();
    EXPECT_FALSE(window().Get_CurrApp_Info(db::Value("HARD_COPY")));
    EXPECT_THAT(sqlLoggedSince(mark), ElementsAre(settingsQuery(suffix())));
    EXPECT_EQ(settings(), before);
    EXPECT_TRUE(window().sCurrApp.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Laboratories, LabsimCoordination,
                         testing::Values(Laboratory{"KORVEL", "_US", "_CA"}, Laboratory{"TARNBY", "_CA", "_US"},
                                         Laboratory{"", "_CA", "_US"}),
                         [](const testing::TestParamInfo<Laboratory> &info) {
                             return *info.param.labCode ? std::string(info.param.labCode) : std::string("Empty");
                         });

} // namespace
} // namespace hc::coordination
