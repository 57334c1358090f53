#include "app/controls.h"
#include "app/form_hardcopy.h"
#include "clients/client_grid_model.h"
#include "clients/statement_text.h"
#include "db/failure.h"
#include "support/window_fixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace hc::app {
namespace {

using test::Answer;
using test::clickByPosition;
using test::WindowFixture;

const QStringList kColumns{"CONTACT_ID", "LAB_NOTE", "CONTACT_NAME", "ENDUSER_ID",
                           "REC_DATE",   "SAMPLES",  "TOTAL_REPORTS", "PRIORITY"};
const QString kCleanup = clients::cleanupStatement("KORVEL");

QString query(const QString &filter)
{
    return clients::activeClientsStatement("KORVEL", filter, std::nullopt, std::nullopt);
}

std::vector<db::ResultSet::Row> clientRows(int count, int total)
{
    std::vector<db::ResultSet::Row> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({100 + i, "n", QStringLiteral("Client %1").arg(i), QStringLiteral("EU-%1").arg(i),
                        QDateTime(QDate(2024, 3, 1 + i), QTime(0, 0)), 3 + i, total, 1});
    return rows;
}

// A logged-in, stopped window whose queries answer from the script.
struct ActiveClients : testing::Test {
    ActiveClients()
    {
        Form_HardCopy &w = *f.window;
        w.sLabCode = "KORVEL";
        for (QRadioButton *option : w.opt_FilterRating)
            option->setEnabled(true);
        w.DataGrid1->setEnabled(true);
        f.db->on(query("CUSTOM"), Answer::rows(kColumns, clientRows(3, 30)));
        f.db->on(query("Severe"), Answer::rows(kColumns, clientRows(1, 7)));
        f.db->on(query(""), Answer::rows(kColumns, clientRows(2, 12)));
    }
    QStringList shownColumns() const
    {
        QStringList shown;
        for (int column = 0; column < f.window->gridModel()->columnCount(); ++column) {
            if (!f.window->DataGrid1->isColumnHidden(column))
                shown << f.window->gridModel()->headerData(column, Qt::Horizontal).toString();
        }
        return shown;
    }
    WindowFixture f;
};

TEST_F(ActiveClients, RatingClickWhileStoppedCleansUpThenQueries)
{
    Form_HardCopy &w = *f.window;
    ASSERT_TRUE(clickByPosition(w.opt_FilterRating[1]));
    EXPECT_EQ(f.db->executed, (QStringList{kCleanup, query("Severe")}));
    EXPECT_EQ(w.sRatingFilter, "Severe");
    EXPECT_EQ(w.sRatingString, "Severe");
    EXPECT_EQ(w.gridModel()->rowCount(), 1);
    EXPECT_EQ(w.lblStatsValue[0]->text(), "7 reports");

    ASSERT_TRUE(clickByPosition(w.opt_FilterRating[0]));
    EXPECT_EQ(f.db->executed.mid(2), (QStringList{kCleanup, query("")}));
    EXPECT_TRUE(w.opt_FilterRating[0]->isChecked());
    EXPECT_EQ(w.gridModel()->rowCount(), 2);
    EXPECT_EQ(shownColumns(), (QStringList{"CONTACT_NAME", "ENDUSER_ID", "REC_DATE", "SAMPLES"}));
    EXPECT_EQ(w.lblStatsValue[0]->text(), "12 reports");
}

TEST_F(ActiveClients, RatingClickDuringARunQueriesOnlyWhileCountingDown)
{
    Form_HardCopy &w = *f.window;
    w.cmd_Automation->setText("Stop Services");
    w.lbl_ServDesc->setText("Hardcopy services enabled");
    ASSERT_TRUE(clickByPosition(w.opt_FilterRating[1]));
    EXPECT_TRUE(f.db->executed.isEmpty());
    EXPECT_EQ(w.sRatingFilter, "");

    w.lbl_ServDesc->setText("Services restart in..... 00:04:59");
    ASSERT_TRUE(clickByPosition(w.opt_FilterRating[3]));
    EXPECT_EQ(f.db->executed, (QStringList{kCleanup, query("CUSTOM")}));

    w.lbl_ServDesc->setText("Services Restart in.....");
    ASSERT_TRUE(clickByPosition(w.opt_FilterRating[1]));
    EXPECT_EQ(f.db->executed.size(), 2) << "the countdown test is case-sensitive";
}

TEST_F(ActiveClients, TotalIsShownOnlyWhileIdleAndWhenThereAreRows)
{
    Form_HardCopy &w = *f.window;
    w.sServiceState = "ACTIVE";
    w.Get_ActiveClients("CUSTOM");
    EXPECT_EQ(w.lblStatsValue[0]->text(), "");

    w.sServiceState = "IDLE";
    w.Get_ActiveClients("CUSTOM");
    EXPECT_EQ(w.lblStatsValue[0]->text(), "30 reports");

    f.db->on(query("Abnormal"), Answer::rows(kColumns, {}));
    w.Get_ActiveClients("Abnormal");
    EXPECT_EQ(w.lblStatsValue[0]->text(), "30 reports");
    EXPECT_EQ(w.gridModel()->rowCount(), 0);
}

TEST_F(ActiveClients, GridAndResultSetShareTheCurrentRow)
{
    Form_HardCopy &w = *f.window;
    w.Get_ActiveClients("CUSTOM");
    EXPECT_EQ(w.DataGrid1->currentIndex().row(), 0);
    EXPECT_EQ(w.rsClients->currentRow(), 0);

    const int nameColumn = w.rsClients->columnIndex("CONTACT_NAME");
    const QRect third = w.DataGrid1->visualRect(w.gridModel()->index(2, nameColumn));
    ASSERT_TRUE(clickByPosition(w.DataGrid1->viewport(), third.center()));
    EXPECT_EQ(w.rsClients->currentRow(), 2);
    EXPECT_EQ(w.gridModel()->currentValue("CONTACT_ID").toText(), "102");

    w.Get_ActiveClients("CUSTOM");
    EXPECT_EQ(w.DataGrid1->currentIndex().row(), 0) << "each query stands on the first row";
    EXPECT_EQ(w.gridModel()->currentValue("CONTACT_ID").toText(), "100");
}

TEST_F(ActiveClients, SentClientsAreLeftOutOfTheQuery)
{
    Form_HardCopy &w = *f.window;
    w.arrSentContactIds = std::vector<QString>{"100", "x1"};
    w.arrSentRecDates = std::vector<QString>{"3/1/2024", "3/2/2024"};
    w.Get_ActiveClients("Severe");
    EXPECT_EQ(f.db->executed.value(1),
              "select   * from     routing.dbo.tbl_Distrib_ActiveClients('HARD_COPY', 'KORVEL', 10, 0)"
              "   where  not(contact_id = 100 and rec_date = '3/1/2024') ");
}

TEST_F(ActiveClients, AFailedCleanupLeavesEverythingAsItWas)
{
    Form_HardCopy &w = *f.window;
    w.Get_ActiveClients("CUSTOM");
    const db::ResultSetPtr before = w.rsClients;

    f.db->once(kCleanup, Answer::error(1205, "Transaction was deadlocked."));
    EXPECT_THROW(w.Get_ActiveClients("Severe"), Failure);
    EXPECT_EQ(f.db->executed.size(), 3) << "the query is not sent";
    EXPECT_EQ(w.sRatingFilter, "CUSTOM");
    EXPECT_EQ(w.sRatingString, "CUSTOM");
    EXPECT_EQ(w.rsClients, before);
    EXPECT_EQ(w.gridModel()->resultSet(), before);
    EXPECT_EQ(w.gridModel()->rowCount(), 3);
}

TEST_F(ActiveClients, AFailedQueryEmptiesTheGridAndKeepsTheTotal)
{
    Form_HardCopy &w = *f.window;
    w.Get_ActiveClients("CUSTOM");
    f.db->on(query("Severe"), Answer::error(208, "Invalid object name 'routing.dbo.tbl_Distrib_ActiveClients'."));
    w.Get_ActiveClients("Severe");
    EXPECT_FALSE(w.rsClients->isOpen());
    EXPECT_EQ(w.gridModel()->rowCount(), 0);
    EXPECT_EQ(w.gridModel()->columnCount(), 0);
    EXPECT_EQ(w.lblStatsValue[0]->text(), "30 reports");
    EXPECT_EQ(w.sRatingFilter, "Severe");
}

} // namespace
} // namespace hc::app
