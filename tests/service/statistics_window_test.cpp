#include "app/form_hardcopy.h"
#include "support/window_fixture.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace hc::app {
namespace {

QStringList values(const Form_HardCopy &w)
{
    QStringList texts;
    for (const QLabel *label : w.lblStatsValue)
        texts << label->text();
    return texts;
}

TEST(StatisticsLabels, ResetThenTheFirstAndLaterPassesOfARun)
{
    test::WindowFixture f;
    Form_HardCopy &w = *f.window;
    w.arrSentContactIds = std::vector<QString>{"1"};
    w.arrSentRecDates = std::vector<QString>{"3/1/2024"};

    w.Reset_Stats();
    EXPECT_EQ(values(w), (QStringList{"", "00:00:00", "", "00:00:00", "0"}));
    EXPECT_FALSE(w.arrSentContactIds.has_value());
    EXPECT_FALSE(w.arrSentRecDates.has_value());

    const QDateTime start(QDate(2024, 3, 1), QTime(9, 0));
    w.Set_StatsLabels(db::Value(42), w.Get_ElapsedTime(start, start), db::Value(0), {}, {});
    EXPECT_EQ(values(w), (QStringList{"42 reports", "00:00:00", "0", "00:00:00", "0"}));

    w.Set_StatsLabels({}, {}, {}, {}, {});
    EXPECT_EQ(values(w), (QStringList{"42 reports", "00:00:00", "0", "00:00:00", "0"}));

    w.Set_StatsLabels("lots", w.Get_ElapsedTime(start, start.addSecs(75)), "", "", " 6 ");
    EXPECT_EQ(values(w), (QStringList{"42 reports", "00:01:15", "0", "", "6"}));
}

} // namespace
} // namespace hc::app
