#pragma once

#include "db/value.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace hc::service {

// A span of whole seconds as hours, minutes and seconds joined by colons,
// each part at least two digits ("100:00:00"); a negative span is the span
// with a leading minus ("-00:01:30").
QString elapsedTimeText(qint64 seconds);

// The whole seconds from one moment to another, counted in second
// boundaries, as elapsedTimeText shows them.
QString Get_ElapsedTime(const QDateTime &dtFrom, const QDateTime &dtTo);

// What a statistics value label shows for a value, or nothing when the value
// leaves the label as it is. Counts qualify when numeric, time texts when not
// Null.
std::optional<QString> totalLabelText(const db::Value &total);
std::optional<QString> countLabelText(const db::Value &count);
std::optional<QString> timeLabelText(const db::Value &time);

} // namespace hc::service
