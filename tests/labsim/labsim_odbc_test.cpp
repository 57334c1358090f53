// The statements the distribution service sends, composed as it composes
// them, through OdbcConnection, unixODBC and the FreeTDS driver against the
// lab simulator of the test run.

#include "db/failure.h"
#include "db/odbc_connection.h"
#include "support/labsim_client.h"

#include <QJsonArray>
#include <QSet>

#include <gmock/gmock.h>

#include <chrono>

namespace hc::test {
namespace {

using db::OdbcConnection;
using db::ResultSetPtr;
using testing::HasSubstr;

const QString kActiveClients =
    QStringLiteral("select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', '%1', %2, %3) ");

QString settingsQuery(const QString &sfx)
{
    return QStringLiteral("select * from   sitecfg.dbo.settings (nolock) where  parameter in ('Dispatch_Freq%1', "
                          "'Dispatch_CurrApp%1', 'Dispatch_LastPing%1', 'Dispatch_LastUpd%1', 'Dispatch_Delay%1' )")
        .arg(sfx);
}

QString heartbeat(const QString &app, const QString &stamp, const QString &sfx)
{
    return QStringLiteral("update sitecfg.dbo.settings set value = '%1' where parameter = 'Dispatch_CurrApp%3' "
                          "update sitecfg.dbo.settings set value = '%2' where parameter = 'Dispatch_LastPing%3' "
                          "update sitecfg.dbo.settings set value = '%2' where parameter = 'Dispatch_LastUpd%3' "
                          "update sitecfg.dbo.settings set value = 'HardCopy Distribution' where parameter = "
                          "'Dispatch_Function%3' ")
        .arg(app, stamp, sfx);
}

QString cleanup(const QString &labCode)
{
    return QStringLiteral("exec routing.dbo.distrib_cleanup @distributionType = 'HARD_COPY', @labCode = '%1'")
        .arg(labCode);
}

struct Client {
    QString contactId, recDate; // as the grid's values give them in text
    int samples = 0;
};

class LabsimOdbc : public testing::Test {
protected:
    void SetUp() override
    {
        labsim_.reset();
        db_.open(labsim_.connectionString());
    }

    // Whatever else a test checks, the log holds every statement it sent, byte
    // for byte (trailing blanks included), in order.
    void TearDown() override
    {
        EXPECT_EQ(labsim_.sqlLogged().join("\n").toStdString(), sent_.join("\n").toStdString());
    }

    ResultSetPtr run(const QString &statement)
    {
        sent_ << statement;
        return db_.execute(statement);
    }

    std::vector<Client> clients(const QString &statement)
    {
        const ResultSetPtr rows = run(statement);
        std::vector<Client> result;
        for (rows->moveFirst(); !rows->eof(); rows->moveNext())
            result.push_back({rows->field("CONTACT_ID").toText(), rows->field("REC_DATE").toText(),
                              rows->field("SAMPLES").toInt32()});
        return result;
    }

    std::vector<Client> activeClients(const QString &labCode, int level, int custom, const QString &exclusions = {})
    {
        run(cleanup(labCode));
        return clients(kActiveClients.arg(labCode).arg(level).arg(custom) + exclusions +
                       (level == 0 && custom == 0 ? QStringLiteral(" order by contact_id ") : QString()));
    }

    static QSet<QString> keys(const std::vector<Client> &list)
    {
        QSet<QString> result;
        for (const Client &client : list)
            result.insert(client.contactId + "|" + client.recDate);
        return result;
    }

    QJsonArray stateOf(const char *part) { return labsim_.state().value(part).toArray(); }

    LabsimClient labsim_ = LabsimClient::fromEnvironment();
    OdbcConnection db_;
    QStringList sent_;
};

TEST_F(LabsimOdbc, SettingsRowsOfBothLaboratoriesAndTheHeartbeat)
{
    for (const QString &sfx : {QStringLiteral("_US"), QStringLiteral("_CA")}) {
        const ResultSetPtr rows = run(settingsQuery(sfx));
        ASSERT_EQ(rows->recordCount(), 5) << sfx.toStdString();
        QMap<QString, QString> values;
        for (rows->moveFirst(); !rows->eof(); rows->moveNext())
            values[rows->field("PARAMETER").toText()] = rows->field("VALUE").toText();
        EXPECT_EQ(values["Dispatch_CurrApp" + sfx], QString("AUTO_EXPORT").leftJustified(50));
        EXPECT_EQ(values["Dispatch_Delay" + sfx].trimmed(), "5");
        EXPECT_EQ(values["Dispatch_Freq" + sfx].trimmed(), "1");
        EXPECT_EQ(values["Dispatch_LastUpd" + sfx].trimmed(), "3/1/2024 6:00");
    }
    run(heartbeat("HARD_COPY", "3/4/2024 9:05", "_US"));
    const ResultSetPtr after = run(settingsQuery("_US"));
    for (after->moveFirst(); !after->eof(); after->moveNext()) {
        const QString name = after->field("PARAMETER").toText();
        if (name == "Dispatch_CurrApp_US") {
            EXPECT_EQ(after->field("VALUE").toText(), QString("HARD_COPY").leftJustified(50));
        } else if (name == "Dispatch_LastUpd_US" || name == "Dispatch_LastPing_US") {
            EXPECT_EQ(after->field("VALUE").toText().trimmed(), "3/4/2024 9:05");
        }
    }
}

TEST_F(LabsimOdbc, LoginAnswersEachOperatorAndNothingForAnUnknownPassword)
{
    struct Case {
        const char *password;
        int rights;
        const char *labCode;
        const char *employee;
    };
    const Case cases[] = {{"korvel0", 0, "KORVEL", "1001"},   {"korvel200", 200, "KORVEL", "1002"},
                          {"korvel201", 201, "KORVEL", "1003"}, {"tarnby0", 0, "TARNBY", "2001"},
                          {"tarnby200", 200, "TARNBY", "2002"}, {"o''hara", 100, "TARNBY", "2003"}};
    for (const Case &c : cases) {
        const ResultSetPtr rows = run(QStringLiteral("exec lab.dbo.lab_login @password = '%1'").arg(c.password));
        ASSERT_FALSE(rows->eof()) << c.password;
        EXPECT_EQ(rows->field("FG_CUSTSRV_RES").toInt16(), c.rights) << c.password;
        EXPECT_EQ(rows->field("LABCODE").toText(), c.labCode);
        EXPECT_EQ(rows->field("EMP_NUM").toText(), c.employee);
    }
    EXPECT_TRUE(run("exec lab.dbo.lab_login @password = 'KORVEL0'")->eof());
    EXPECT_TRUE(run("exec lab.dbo.lab_login @password = ''")->eof());
    EXPECT_THROW(run("exec lab.dbo.lab_login @password = 'o'hara'"), Failure);
    ASSERT_FALSE(db_.errors().empty());
    EXPECT_THAT(db_.errors().front().description.toStdString(), HasSubstr("Unclosed quotation mark"));
}

TEST_F(LabsimOdbc, EachRatingFilterGivesItsOwnList)
{
    for (const QString &lab : {QStringLiteral("KORVEL"), QStringLiteral("TARNBY")}) {
        const auto all = activeClients(lab, 0, 0);
        const auto severe = activeClients(lab, 10, 0);
        const auto abnormal = activeClients(lab, 5, 0);
        const auto custom = activeClients(lab, 0, 1);
        ASSERT_GT(all.size(), 20u) << lab.toStdString();
        EXPECT_FALSE(severe.empty());
        for (const auto *list : {&severe, &abnormal, &custom})
            EXPECT_TRUE(keys(all).contains(keys(*list)));
        EXPECT_TRUE(keys(abnormal).contains(keys(severe)));
        const std::vector<QSet<QString>> lists{keys(all), keys(severe), keys(abnormal), keys(custom)};
        for (std::size_t i = 0; i < lists.size(); ++i)
            for (std::size_t j = i + 1; j < lists.size(); ++j)
                EXPECT_NE(lists[i], lists[j]) << lab.toStdString() << " filters " << i << " and " << j;
        for (std::size_t i = 1; i < all.size(); ++i)
            EXPECT_LE(all[i - 1].contactId.toInt(), all[i].contactId.toInt()); // the "All" order
    }
}

TEST_F(LabsimOdbc, ActiveClientsHaveTheDocumentedColumns)
{
    run(cleanup("KORVEL"));
    const ResultSetPtr rows = run(kActiveClients.arg("KORVEL").arg(0).arg(0) + " order by contact_id ");
    ASSERT_GE(rows->columnCount(), 8);
    QStringList names;
    for (int i = 0; i < rows->columnCount(); ++i)
        names << rows->columnName(i);
    EXPECT_EQ(names.mid(0, 6),
              QStringList({"CONTACT_ID", "CONTACT_NAME", "ENDUSER_ID", "REC_DATE", "SAMPLES", "TOTAL_REPORTS"}));
    int total = 0;
    QSet<QString> names_seen;
    for (rows->moveFirst(); !rows->eof(); rows->moveNext()) {
        EXPECT_TRUE(rows->field("REC_DATE").isDateTime());
        EXPECT_EQ(rows->field("DISTRIB_TYPE").toText(), "HARD_COPY");
        total += rows->field("SAMPLES").toInt32();
        names_seen << rows->field("CONTACT_NAME").toText();
    }
    rows->moveFirst();
    EXPECT_EQ(rows->field("TOTAL_REPORTS").toInt32(), total);
    EXPECT_TRUE(names_seen.contains("O'Brien Marine Services"));
    EXPECT_TRUE(names_seen.contains("Kestrel & Finch Engineering"));

    const ResultSetPtr none = run(kActiveClients.arg("NOSUCHLAB").arg(0).arg(0));
    EXPECT_EQ(none->recordCount(), 0);
    EXPECT_EQ(none->columnCount(), rows->columnCount()); // typed even when empty
}

TEST_F(LabsimOdbc, ExclusionClausesLeaveOutExactlyTheClientsSent)
{
    const auto all = activeClients("KORVEL", 0, 0);
    // One receive date at midnight and one with a time of day, in the text the
    // grid gives them.
    std::vector<Client> sent;
    for (const Client &client : all) {
        const bool hasTime = client.recDate.contains(':');
        if ((sent.empty() && !hasTime) || (sent.size() == 1 && hasTime))
            sent.push_back(client);
    }
    ASSERT_EQ(sent.size(), 2u);
    QString clauses;
    for (std::size_t i = 0; i < sent.size(); ++i)
        clauses += QStringLiteral("  %1  not(contact_id = %2 and rec_date = '%3') ")
                       .arg(i == 0 ? "where" : "and", sent[i].contactId, sent[i].recDate);
    const auto rest = activeClients("KORVEL", 0, 0, clauses);
    QSet<QString> expected = keys(all);
    for (const Client &client : sent)
        expected.remove(client.contactId + "|" + client.recDate);
    EXPECT_EQ(keys(rest), expected);
}

TEST_F(LabsimOdbc, DeletingAPrintedBatchMovesItToTheHistory)
{
    const auto before = activeClients("KORVEL", 0, 0);
    const Client &first = before.front();
    QString date = first.recDate;
    date.replace(' ', "%20");
    const auto [status, page] = labsim_.get(
        QStringLiteral("/CommonFiles/reports/RPT_KVO_Distrib.asp?wui=QUILBY_40726&labCode=KORVEL&eid=ASHFLT01&cid=%1"
                       "&pc=Y&en=1001&sd=%2&rating=0&cr=0&dt=HARD_COPY&setFrequency=1%20Minute&cb=Y")
            .arg(first.contactId, date));
    ASSERT_EQ(status, 200) << page.toStdString();
    const QString marker = "id=\"BATCH_ID\" value=\"";
    const int at = page.indexOf(marker);
    ASSERT_GE(at, 0);
    const QString batchId = page.mid(at + marker.size(), page.indexOf('"', at + marker.size()) - at - marker.size());
    ASSERT_FALSE(batchId.isEmpty());

    run(QStringLiteral("exec routing.dbo.Distrib_ActiveSamples_DelBatch @batchId = '%1'").arg(batchId));
    EXPECT_FALSE(keys(activeClients("KORVEL", 0, 0)).contains(first.contactId + "|" + first.recDate));
    const QJsonArray history = stateOf("history");
    ASSERT_EQ(history.size(), first.samples);
    for (const auto &row : history) {
        EXPECT_EQ(row.toObject().value("BATCH_ID").toString(), batchId);
        EXPECT_EQ(row.toObject().value("OUTCOME").toString(), "PRINTED");
        EXPECT_FALSE(row.toObject().value("DONE_AT").toString().isEmpty());
    }
    for (const auto &row : stateOf("waiting"))
        EXPECT_NE(row.toObject().value("BATCH_ID").toString(), batchId);
}

TEST_F(LabsimOdbc, StatusChangesHoldOrDeleteTheClientsBatch)
{
    const auto before = activeClients("TARNBY", 0, 1);
    ASSERT_GE(before.size(), 2u);
    const Client held = before[0], deleted = before[1];
    run(QStringLiteral("exec routing.dbo.distrib_UPD_status @ratingString = 'CUSTOM', @contactId = %1, @status = "
                       "'HOLD', @shipmentDate = '%2'")
            .arg(held.contactId, held.recDate));
    run(QStringLiteral("exec routing.dbo.distrib_UPD_status @ratingString = '', @contactId = %1, @status = "
                       "'DELETE', @shipmentDate = '%2'")
            .arg(deleted.contactId, deleted.recDate));
    const auto after = keys(activeClients("TARNBY", 0, 0));
    EXPECT_FALSE(after.contains(held.contactId + "|" + held.recDate));
    EXPECT_FALSE(after.contains(deleted.contactId + "|" + deleted.recDate));
    int deletedRows = 0;
    for (const auto &row : stateOf("history"))
        deletedRows += row.toObject().value("OUTCOME").toString() == "DELETED";
    EXPECT_EQ(deletedRows, deleted.samples);
    const QJsonArray changes = stateOf("statusChanges");
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes[0].toObject().value("RATING_STRING").toString(), "CUSTOM");
    EXPECT_EQ(changes[0].toObject().value("STATUS").toString(), "HOLD");
}

TEST_F(LabsimOdbc, CleanupReleasesABatchThatWasNeverDeleted)
{
    // The demo laboratory holds one batch assigned an hour ago and not deleted.
    const auto hidden = clients(kActiveClients.arg("KORVEL").arg(0).arg(0));
    const auto back = activeClients("KORVEL", 0, 0);
    EXPECT_EQ(back.size(), hidden.size() + 1);
    bool found = false;
    for (const Client &client : back)
        found |= client.contactId == "111" && !keys(hidden).contains(client.contactId + "|" + client.recDate);
    EXPECT_TRUE(found);
}

TEST_F(LabsimOdbc, ErrorsTimeOutsAndBrokenLinks)
{
    EXPECT_THROW(run("select * from sitecfg.dbo.nosuch"), Failure);
    ASSERT_FALSE(db_.errors().empty());
    EXPECT_EQ(db_.errors().front().number, 208);
    EXPECT_THAT(db_.errors().front().description.toStdString(), HasSubstr("Invalid object name 'sitecfg.dbo.nosuch'."));

    db_.setCommandTimeout(2);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(run("waitfor delay '00:00:10'"), Failure);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
    ASSERT_FALSE(db_.errors().empty());
    EXPECT_EQ(db_.errors().front().number, db::kTimeoutErrorNumber);
    EXPECT_FALSE(db_.isBroken());
    EXPECT_EQ(run(settingsQuery("_US"))->recordCount(), 5);

    labsim_.fault(QJsonObject{{"fault", "drop"}});
    EXPECT_THROW(run(settingsQuery("_US")), Failure);
    EXPECT_TRUE(db_.isBroken());
    sent_.removeLast(); // it never reached the server
    OdbcConnection fresh;
    fresh.open(labsim_.connectionString());
    sent_ << settingsQuery("_CA");
    EXPECT_EQ(fresh.execute(settingsQuery("_CA"))->recordCount(), 5);
}

TEST_F(LabsimOdbc, FaultOrdersDelayAndFailTheNextStatements)
{
    labsim_.fault(QJsonObject{{"fault", "fail"}, {"count", 1}, {"number", 1205}, {"text", "Deadlock victim."}});
    EXPECT_THROW(run(settingsQuery("_US")), Failure);
    ASSERT_FALSE(db_.errors().empty());
    EXPECT_EQ(db_.errors().front().number, 1205);
    EXPECT_EQ(run(settingsQuery("_US"))->recordCount(), 5);

    db_.setCommandTimeout(2);
    labsim_.fault(QJsonObject{{"fault", "delay"}, {"count", 1}, {"seconds", 5}});
    EXPECT_THROW(run(heartbeat("HARD_COPY", "3/4/2024 9:05", "_US")), Failure);
    EXPECT_EQ(db_.errors().front().number, db::kTimeoutErrorNumber);
    // The statement that timed out never ran.
    for (const auto &row : stateOf("settings"))
        if (row.toObject().value("PARAMETER").toString() == "Dispatch_CurrApp_US") {
            EXPECT_EQ(row.toObject().value("VALUE").toString().trimmed(), "AUTO_EXPORT");
        }
}

} // namespace
} // namespace hc::test
