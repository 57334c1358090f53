#pragma once

#include <QObject>
#include <QTimer>

namespace hc::app {

// A timer whose enabled flag and interval are kept apart: it ticks every
// interval milliseconds while enabled, and not at all with an interval of 0.
class Timer : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject *parent = nullptr);

    bool enabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int interval() const { return interval_; }
    void setInterval(int milliseconds);

signals:
    void tick();

private:
    void apply();

    QTimer timer_;
    bool enabled_ = true;
    int interval_ = 1000;
};

} // namespace hc::app
