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

// The meta-object code of this file's classes is built here, not with that of
// the other subsystems, so that linking the window never needs theirs.
#include "moc_timer.cpp"
