#include "app/timer.h"

namespace hc::app {

Timer::Timer(QObject *parent) : QObject(parent)
{
    connect(&timer_, &QTimer::timeout, this, &Timer::tick);
    apply();
}

void Timer::setEnabled(bool enabled)
{
    enabled_ = enabled;
    apply();
}

void Timer::setInterval(int milliseconds)
{
    interval_ = milliseconds;
    apply();
}

void Timer::apply()
{
    if (enabled_ && interval_ > 0)
        timer_.start(interval_);
    else
        timer_.stop();
}

} // namespace hc::app
