// The active-client query of the main window through OdbcConnection, unixODBC
// and the FreeTDS driver against the lab simulator of the test run.

#include "access/form_password.h"
#include "app/form_hardcopy.h"
#include "clients/client_grid_model.h"
#include "support/labsim_client.h"
#include "support/window_fixture.h"

#include <QLabel>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTableView>

#include <gmock/gmock.h>

#include <algorithm>

namespace hc::app {
namespace {

using test::LabsimClient;
using testing::ElementsAre;

const QString kKorvelCleanup =
    "exec routing.dbo.distrib_cleanup @distributionType = 'HARD_COPY', @labCode = 'KORVEL'";

struct Filter {
    int option;
    const char *query;
    int rows;         // as the demo laboratory defines them after the first cleanup
    int lowestRating; // of every listed batch
};

void PrintTo(const Filter &filter, std::ostream *os)
{
    *os << "option " << filter.option;
}

class LabsimActiveClients : public testing::TestWithParam<Filter> {
protected:
    void SetUp() override
    {
        labsim.reset();
        fixture = std::make_unique<test::WindowFixture>([this](Platform &platform) {
            test::connectThroughOdbc(platform, labsim.connectionString());
        });
        login("korvel0");
    }

    Form_HardCopy &window() { return *fixture->window; }

    void login(const QString &password)
    {
        fixture->prompts.answerNextDialog([password](QDialog &dialog) {
            auto *form = dynamic_cast<access::Form_Password *>(&dialog);
            ASSERT_NE(form, nullptr);
            form->password = password;
            dialog.accept();
        });
        window().cmd_Access_Click();
        ASSERT_EQ(window().sLabCode, "KORVEL");
    }

    // One column of every row of the grid, as the grid delivers it.
    QStringList gridColumn(const char *name)
    {
        const clients::ClientGridModel &model = *window().gridModel();
        const int column = window().rsClients->columnIndex(QLatin1String(name));
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.data(model.index(row, column)).toString();
        return texts;
    }

    LabsimClient labsim = LabsimClient::fromEnvironment();
    std::unique_ptr<test::WindowFixture> fixture;
};

TEST_P(LabsimActiveClients, EachRatingOptionCleansUpThenListsItsClients)
{
    const Filter &filter = GetParam();
    Form_HardCopy &w = window();
    const std::size_t mark = labsim.log().size();
    ASSERT_TRUE(test::clickByPosition(w.opt_FilterRating[std::size_t(filter.option)]));

    EXPECT_THAT(labsim.sqlLogged(mark), ElementsAre(kKorvelCleanup, QString::fromUtf8(filter.query)));
    EXPECT_TRUE(fixture->prompts.messages.isEmpty()) << fixture->prompts.messages.join('|').toStdString();
    ASSERT_EQ(w.gridModel()->rowCount(), filter.rows);

    QStringList shown;
    for (int column = 0; column < w.gridModel()->columnCount(); ++column)
        if (!w.DataGrid1->isColumnHidden(column))
            shown << w.gridModel()->headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(shown, (QStringList{"CONTACT_NAME", "ENDUSER_ID", "REC_DATE", "SAMPLES"}));

    int samples = 0;
    for (const QString &count : gridColumn("SAMPLES"))
        samples += count.toInt();
    EXPECT_EQ(w.lblStatsValue[0]->text(), QStringLiteral("%1 reports").arg(samples));
    for (const QString &lab : gridColumn("LABCODE"))
        EXPECT_EQ(lab, "KORVEL");
    for (const QString &type : gridColumn("DISTRIB_TYPE"))
        EXPECT_EQ(type, "HARD_COPY");
    for (const QString &rating : gridColumn("MAX_RATING"))
        EXPECT_GE(rating.toInt(), filter.lowestRating);
    EXPECT_FALSE(gridColumn("CONTACT_ID").contains("115")) << "a batch on hold is never listed";
}

INSTANTIATE_TEST_SUITE_P(
    DemoLaboratory, LabsimActiveClients,
    testing::Values(
        Filter{0, "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 0)  order by contact_id ", 28, 0},
        Filter{1, "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 10, 0) ", 11, 10},
        Filter{2, "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 5, 0) ", 15, 5},
        Filter{3, "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 0, 1) ", 22, 0}));

TEST_F(LabsimActiveClients, AllListsEveryContactInOrderAndLeavesOutTheSentOnes)
{
    Form_HardCopy &w = window();
    w.opt_FilterRating_Click(0);
    const QStringList ids = gridColumn("CONTACT_ID");
    std::vector<int> numbers;
    for (const QString &id : ids)
        numbers.push_back(id.toInt());
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    EXPECT_TRUE(ids.contains("111")) << "the first cleanup released its stale batch";

    // Two clients sent in this run, named as the grid delivered them: one
    // received at midnight, one at a time of day.
    const QStringList dates = gridColumn("REC_DATE");
    const qsizetype withTime = dates.indexOf(QRegularExpression(".* [AP]M"));
    const qsizetype atMidnight = dates.indexOf(QRegularExpression("[0-9/]+"));
    ASSERT_GE(withTime, 0);
    ASSERT_GE(atMidnight, 0);
    w.arrSentContactIds = std::vector<QString>{ids[withTime], ids[atMidnight]};
    w.arrSentRecDates = std::vector<QString>{dates[withTime], dates[atMidnight]};

    const std::size_t mark = labsim.log().size();
    w.opt_FilterRating_Click(0);
    EXPECT_THAT(labsim.sqlLogged(mark),
                ElementsAre(kKorvelCleanup,
                            QStringLiteral("select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', "
                                           "'KORVEL', 0, 0)   where  not(contact_id = %1 and rec_date = '%2')   and  "
                                           "not(contact_id = %3 and rec_date = '%4')  order by contact_id ")
                                .arg(ids[withTime], dates[withTime], ids[atMidnight], dates[atMidnight])));
    EXPECT_EQ(w.gridModel()->rowCount(), ids.size() - 2);
    const QStringList after = gridColumn("CONTACT_ID");
    const QStringList afterDates = gridColumn("REC_DATE");
    for (int row = 0; row < after.size(); ++row) {
        EXPECT_FALSE(after[row] == ids[withTime] && afterDates[row] == dates[withTime]);
        EXPECT_FALSE(after[row] == ids[atMidnight] && afterDates[row] == dates[atMidnight]);
    }
}

} // namespace
} // namespace hc::app
