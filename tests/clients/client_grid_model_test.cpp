#include "clients/client_grid_model.h"

#include "db/failure.h"

#include <gtest/gtest.h>

namespace hc::clients {
namespace {

db::ResultSetPtr clients()
{
    return std::make_shared<db::ResultSet>(
        QStringList{"CONTACT_ID", "CONTACT_NAME", "REC_DATE", "SAMPLES", "NOTE"},
        std::vector<db::ResultSet::Row>{
            {12, "Ames & Sons", QDateTime(QDate(2024, 3, 1), QTime(0, 0)), 4, db::Value()},
            {30, "O'Brien Farms", QDateTime(QDate(2024, 3, 2), QTime(0, 0)), 0, "late"},
        });
}

TEST(ClientGridModel, BindsEveryColumnInResultSetOrderHeadedByItsName)
{
    ClientGridModel model;
    model.setResultSet(clients());

    ASSERT_EQ(model.columnCount(), 5);
    ASSERT_EQ(model.rowCount(), 2);
    QStringList headers;
    for (int column = 0; column < model.columnCount(); ++column)
        headers << model.headerData(column, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"CONTACT_ID", "CONTACT_NAME", "REC_DATE", "SAMPLES", "NOTE"}));

    EXPECT_EQ(model.data(model.index(0, 1)).toString(), "Ames & Sons");
    EXPECT_EQ(model.data(model.index(1, 3)).toString(), "0");
    EXPECT_EQ(model.data(model.index(0, 4)).toString(), "");
    EXPECT_EQ(model.data(model.index(0, 4), Qt::EditRole), QVariant());
    EXPECT_EQ(model.data(model.index(1, 1), Qt::ToolTipRole).toString(), "O'Brien Farms");
}

TEST(ClientGridModel, StandsOnTheFirstRowOfEachBindingAndReadsAnyColumnByName)
{
    const db::ResultSetPtr rows = clients();
    rows->moveNext();
    ClientGridModel model;
    model.setResultSet(rows);
    EXPECT_EQ(model.currentValue("contact_id").toText(), "12");

    rows->setCurrentRow(1);
    EXPECT_EQ(model.currentValue("NOTE").toText(), "late");
    model.setResultSet(rows);
    EXPECT_EQ(model.currentValue("CONTACT_NAME").toText(), "Ames & Sons");
    EXPECT_THROW(model.currentValue("NO_SUCH_COLUMN"), Failure);
}

TEST(ClientGridModel, ShowsNoRowsForAResultSetThatWasNeverOpened)
{
    ClientGridModel model;
    EXPECT_THROW(model.currentValue("CONTACT_ID"), Failure);

    model.setResultSet(clients());
    model.setResultSet(std::make_shared<db::ResultSet>());
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 0);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal), QVariant());
    EXPECT_THROW(model.currentValue("CONTACT_ID"), Failure);
}

} // namespace
} // namespace hc::clients
