#include "labsim/lab/turn.h"

#include "labsim/tsql/datetime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace labsim::lab {

std::string stampText(const DateTime &moment)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%d/%d/%d %d:%02d", moment.month, moment.day, moment.year, moment.hour,
                  moment.minute);
    return buffer;
}

bool silentFor(const std::string &lastUpdate, const std::string &delayMinutes, const DateTime &now)
{
    const tsql::ParsedDateTime stamp = tsql::parseDateTime(lastUpdate);
    if (stamp.status != tsql::DateTimeParse::Ok)
        return false;
    char *end = nullptr;
    const std::string trimmed = delayMinutes.substr(0, delayMinutes.find_last_not_of(' ') + 1);
    const double delay = std::strtod(trimmed.c_str(), &end);
    if (trimmed.empty() || end != trimmed.c_str() + trimmed.size())
        return false;
    const long nowMinutes = now.hour * 60L + now.minute;
    const long stampMinutes = stamp.value.hour * 60L + stamp.value.minute;
    const bool timeOnly = stamp.value.year == 1900 && stamp.value.month == 1 && stamp.value.day == 1;
    const long days = timeOnly ? 0 : tsql::daysFrom1900(now) - tsql::daysFrom1900(stamp.value);
    const long age = days * 1440L + nowMinutes - stampMinutes;
    return static_cast<double>(age) >= std::nearbyint(delay);
}

} // namespace labsim::lab
