#pragma once

// Date-times as SQL Server's datetime type holds them, and the text forms it
// reads under the us_english language (date order month/day/year).

#include "labsim/engine.h"

#include <optional>
#include <string>
#include <string_view>

namespace labsim::tsql {

enum class DateTimeParse { Ok, Malformed, OutOfRange };

struct ParsedDateTime {
    DateTimeParse status = DateTimeParse::Malformed;
    DateTime value;
};

// Reads text the way a conversion to datetime does under us_english:
// "M/D/YYYY", "M-D-YYYY", "M.D.YYYY" (two-digit years too), each optionally
// followed by a time "h:mm[:ss[.fff]] [AM|PM]"; ISO "YYYY-MM-DD[ hh:mm[:ss[.fff]]]"
// and "YYYY-MM-DDThh:mm:ss[.fff]"; "YYYYMMDD[ time]"; month names
// ("Mar 3 2011 2:05PM", "3 March 2011"); a time alone, on 1/1/1900.
// Milliseconds are rounded to the type's 1/300 second.
ParsedDateTime parseDateTime(std::string_view text);

// The storage form: "YYYY-MM-DD hh:mm:ss.mmm", which orders like the values.
std::string canonicalText(const DateTime &value);
std::optional<DateTime> fromCanonicalText(std::string_view text);

// The general date form of a US workstation: "3/3/2011" at midnight, else
// "3/3/2011 2:05:00 PM".
std::string generalDateText(const DateTime &value);

// Whole days since 1/1/1900 and the milliseconds of the day; for arithmetic.
long daysFrom1900(const DateTime &value);
DateTime fromDays1900(long days, long millisecondsOfDay);

// The moment moved by a number of milliseconds (negative: earlier).
DateTime addMilliseconds(const DateTime &value, long long milliseconds);

// The local time now, rounded to the type's precision.
DateTime localNow();

} // namespace labsim::tsql
