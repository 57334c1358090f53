#include "app/timer.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace hc::app {
namespace {

TEST(Timer, TicksOnlyWhileEnabledWithAnInterval)
{
    Timer timer;
    EXPECT_TRUE(timer.enabled()) << "a timer runs from its creation";
    QSignalSpy ticks(&timer, &Timer::tick);
    timer.setInterval(10);
    EXPECT_TRUE(ticks.wait(1000));

    timer.setInterval(0);
    ticks.clear();
    EXPECT_FALSE(ticks.wait(100)) << "interval 0 while enabled";
    EXPECT_TRUE(timer.enabled());

    timer.setEnabled(false);
    timer.setInterval(10);
    EXPECT_FALSE(ticks.wait(100)) << "disabled with an interval";
    EXPECT_EQ(timer.interval(), 10);

    timer.setEnabled(true);
    EXPECT_TRUE(ticks.wait(1000));
}

} // namespace
} // namespace hc::app
