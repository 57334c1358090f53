#include "db/result_set.h"

#include <gmock/gmock.h>

#include <functional>

namespace hc::db {
namespace {

ResultSet clients()
{
    return ResultSet({"CONTACT_ID", "Contact_Name"}, {{Value(7), Value("Åsa Öberg")}, {Value(9), Value()}});
}

TEST(ResultSet, NeverOpenedRaisesOnEveryRead)
{
    ResultSet never;
    const std::vector<std::pair<const char *, std::function<void()>>> reads = {
        {"eof", [&] { (void)never.eof(); }},
        {"bof", [&] { (void)never.bof(); }},
        {"moveFirst", [&] { never.moveFirst(); }},
        {"moveNext", [&] { never.moveNext(); }},
        {"currentRow", [&] { (void)never.currentRow(); }},
        {"setCurrentRow", [&] { never.setCurrentRow(0); }},
        {"recordCount", [&] { (void)never.recordCount(); }},
        {"columnCount", [&] { (void)never.columnCount(); }},
        {"columnName", [&] { (void)never.columnName(0); }},
        {"columnIndex", [&] { (void)never.columnIndex("X"); }},
        {"field", [&] { (void)never.field("X"); }},
        {"value", [&] { (void)never.value(0, 0); }},
        {"close", [&] { never.close(); }},
    };
    EXPECT_FALSE(never.isOpen());
    for (const auto &[name, read] : reads)
        EXPECT_THROW(read(), Failure) << name;
}

TEST(ResultSet, ClosedRaisesLikeNeverOpened)
{
    ResultSet rs = clients();
    rs.close();
    EXPECT_THROW((void)rs.eof(), Failure);
    EXPECT_THROW((void)rs.field("CONTACT_ID"), Failure);
}

TEST(ResultSet, ColumnsByNameWithoutRegardToCase)
{
    ResultSet rs = clients();
    EXPECT_EQ(rs.field("contact_id"), Value(7));
    EXPECT_EQ(rs.field("CONTACT_NAME"), Value("Åsa Öberg"));
    EXPECT_EQ(rs.columnIndex("Contact_ID"), 0);
    EXPECT_EQ(rs.columnIndex("missing"), -1);
    EXPECT_THROW((void)rs.field("missing"), Failure);
}

TEST(ResultSet, WalksRowsToEndOfData)
{
    ResultSet rs = clients();
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_FALSE(rs.bof());
    rs.moveNext();
    EXPECT_EQ(rs.currentRow(), 1);
    EXPECT_TRUE(rs.field("Contact_Name").isNull());
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_THROW((void)rs.field("CONTACT_ID"), Failure);
    EXPECT_THROW(rs.moveNext(), Failure);
    rs.moveFirst();
    EXPECT_EQ(rs.field("CONTACT_ID"), Value(7));
    rs.setCurrentRow(2);
    EXPECT_TRUE(rs.eof());
    EXPECT_THROW(rs.setCurrentRow(3), Failure);
}

TEST(ResultSet, OpenWithoutRowsOrColumnsIsAtBothEnds)
{
    ResultSet empty(QStringList{}, std::vector<ResultSet::Row>{});
    EXPECT_TRUE(empty.eof());
    EXPECT_TRUE(empty.bof());
    EXPECT_EQ(empty.recordCount(), 0);
    EXPECT_EQ(ResultSet::fromCells({}, {}).recordCount(), 0);
}

TEST(ResultSet, CellsAndRowsMustMatchTheColumns)
{
    EXPECT_THROW(ResultSet({"A", "B"}, {{Value(1)}}), Failure);
    EXPECT_THROW(ResultSet::fromCells({"A", "B"}, {Value(1), Value(2), Value(3)}), Failure);
    const ResultSet rs = ResultSet::fromCells({"A", "B"}, {Value(1), Value(2), Value(3), Value(4)});
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.value(1, 0), Value(3));
}

} // namespace
} // namespace hc::db
