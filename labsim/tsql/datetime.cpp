#include "labsim/tsql/datetime.h"

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>

namespace labsim::tsql {

namespace {

bool isLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month)
{
    static constexpr std::array<int, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
}

// Days from 1970-01-01 of a proleptic Gregorian date.
long daysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void civilFromDays(long days, int &year, int &month, int &day)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

const long kDays1900 = daysFromCivil(1900, 1, 1);

// A cursor over the text being read; every reader leaves it unchanged on failure.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    std::size_t position() const { return pos_; }
    void rewind(std::size_t position) { pos_ = position; }

    void skipBlanks()
    {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }
    bool blankFollows() const
    {
        return pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]));
    }

    // A run of digits; its value and how many digits it had.
    bool number(int &value, int &digits)
    {
        std::size_t end = pos_;
        long result = 0;
        while (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end])) && end - pos_ < 9) {
            result = result * 10 + (text_[end] - '0');
            ++end;
        }
        if (end == pos_ || (end < text_.size() && std::isdigit(static_cast<unsigned char>(text_[end]))))
            return false;
        digits = static_cast<int>(end - pos_);
        value = static_cast<int>(result);
        pos_ = end;
        return true;
    }

    bool symbol(char c)
    {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }

    // A run of letters, upper-cased.
    std::string word()
    {
        std::string result;
        while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_])))
            result += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
        return result;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

int monthFromName(const std::string &word)
{
    static constexpr std::array<const char *, 12> names{"JANUARY", "FEBRUARY", "MARCH",     "APRIL",
                                                        "MAY",     "JUNE",     "JULY",      "AUGUST",
                                                        "SEPTEMBER", "OCTOBER", "NOVEMBER", "DECEMBER"};
    if (word.size() < 3)
        return 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string_view name = names[i];
        if (word.size() <= name.size() && name.substr(0, word.size()) == word)
            return static_cast<int>(i + 1);
    }
    return 0;
}

int fullYear(int year, int digits)
{
    if (digits == 2)
        return year < 50 ? 2000 + year : 1900 + year; // two-digit year cutoff 2049
    return year;
}

struct Parts {
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
};

bool readNumericDate(Reader &in, Parts &parts)
{
    const std::size_t start = in.position();
    int first = 0, firstDigits = 0;
    if (!in.number(first, firstDigits))
        return false;
    if (firstDigits == 8 && (in.atEnd() || in.blankFollows())) { // YYYYMMDD
        parts.year = first / 10000;
        parts.month = first / 100 % 100;
        parts.day = first % 100;
        return true;
    }
    const char separator = in.peek();
    if (separator != '/' && separator != '-' && separator != '.') {
        in.rewind(start);
        return false;
    }
    in.symbol(separator);
    int second = 0, secondDigits = 0, third = 0, thirdDigits = 0;
    if (!in.number(second, secondDigits) || !in.symbol(separator) || !in.number(third, thirdDigits)) {
        in.rewind(start);
        return false;
    }
    if (firstDigits == 4) { // year first: year, month, day
        if (secondDigits > 2 || thirdDigits > 2) {
            in.rewind(start);
            return false;
        }
        parts.year = first;
        parts.month = second;
        parts.day = third;
        return true;
    }
    if (firstDigits > 2 || secondDigits > 2 || (thirdDigits != 2 && thirdDigits != 4)) {
        in.rewind(start);
        return false;
    }
    parts.month = first;
    parts.day = second;
    parts.year = fullYear(third, thirdDigits);
    return true;
}

bool readAlphabeticDate(Reader &in, Parts &parts)
{
    const std::size_t start = in.position();
    int day = 0, digits = 0, year = 0, yearDigits = 0;
    int month = monthFromName(in.word());
    if (month != 0) { // "Mar 3 2011", "March 3, 2011"
        in.skipBlanks();
        if (!in.number(day, digits) || digits > 2) {
            in.rewind(start);
            return false;
        }
    } else {
        in.rewind(start);
        if (!in.number(day, digits) || digits > 2) { // "3 Mar 2011"
            in.rewind(start);
            return false;
        }
        in.skipBlanks();
        month = monthFromName(in.word());
        if (month == 0) {
            in.rewind(start);
            return false;
        }
    }
    in.symbol(',');
    in.skipBlanks();
    if (!in.number(year, yearDigits) || (yearDigits != 2 && yearDigits != 4)) {
        in.rewind(start);
        return false;
    }
    parts.year = fullYear(year, yearDigits);
    parts.month = month;
    parts.day = day;
    return true;
}

// "h:mm[:ss[.fff]]" or "h" followed by AM/PM, blanks allowed before the marker.
bool readTime(Reader &in, Parts &parts)
{
    const std::size_t start = in.position();
    int hour = 0, digits = 0;
    if (!in.number(hour, digits) || digits > 2) {
        in.rewind(start);
        return false;
    }
    int minute = 0, second = 0, millisecond = 0;
    bool hasMinutes = false;
    if (in.symbol(':')) {
        int minuteDigits = 0;
        if (!in.number(minute, minuteDigits) || minuteDigits > 2) {
            in.rewind(start);
            return false;
        }
        hasMinutes = true;
        if (in.symbol(':')) {
            int secondDigits = 0;
            if (!in.number(second, secondDigits) || secondDigits > 2) {
                in.rewind(start);
                return false;
            }
            if (in.symbol('.') || in.symbol(':')) {
                int fraction = 0, fractionDigits = 0;
                if (!in.number(fraction, fractionDigits)) {
                    in.rewind(start);
                    return false;
                }
                double scaled = fraction;
                for (int i = 0; i < fractionDigits; ++i)
                    scaled /= 10.0;
                millisecond = static_cast<int>(scaled * 1000.0 + 0.5);
            }
        }
    }
    const std::size_t beforeMarker = in.position();
    in.skipBlanks();
    const std::string marker = in.word();
    if (marker == "AM" || marker == "PM") {
        if (hour < 1 || hour > 12) {
            in.rewind(start);
            return false;
        }
        hour = hour % 12 + (marker == "PM" ? 12 : 0);
    } else {
        in.rewind(beforeMarker);
        if (!hasMinutes) {
            in.rewind(start);
            return false;
        }
    }
    if (hour > 23 || minute > 59 || second > 59 || millisecond > 999) {
        in.rewind(start);
        return false;
    }
    parts.hour = hour;
    parts.minute = minute;
    parts.second = second;
    parts.millisecond = millisecond;
    return true;
}

// The datetime type keeps time in ticks of 1/300 second.
DateTime normalised(long days1900, long millisecondsOfDay)
{
    long ticks = (millisecondsOfDay * 3 + 5) / 10;
    if (ticks >= 300L * 86400L) {
        ticks -= 300L * 86400L;
        ++days1900;
    }
    return fromDays1900(days1900, (ticks * 10 + 1) / 3);
}

} // namespace

long daysFrom1900(const DateTime &value) { return daysFromCivil(value.year, value.month, value.day) - kDays1900; }

DateTime fromDays1900(long days, long millisecondsOfDay)
{
    DateTime result;
    civilFromDays(days + kDays1900, result.year, result.month, result.day);
    result.hour = static_cast<int>(millisecondsOfDay / 3600000);
    result.minute = static_cast<int>(millisecondsOfDay / 60000 % 60);
    result.second = static_cast<int>(millisecondsOfDay / 1000 % 60);
    result.millisecond = static_cast<int>(millisecondsOfDay % 1000);
    return result;
}

ParsedDateTime parseDateTime(std::string_view text)
{
    Reader in(text);
    Parts parts;
    in.skipBlanks();
    const bool hasDate = readNumericDate(in, parts) || readAlphabeticDate(in, parts);
    if (hasDate) {
        if (in.symbol('T')) {
            if (!readTime(in, parts))
                return {};
        } else {
            in.skipBlanks();
            if (!in.atEnd() && !readTime(in, parts))
                return {};
        }
    } else if (!readTime(in, parts)) {
        return {};
    }
    in.skipBlanks();
    if (!in.atEnd())
        return {};
    if (parts.month < 1 || parts.month > 12 || parts.day < 1 || parts.day > daysInMonth(parts.year, parts.month))
        return {};
    if (parts.year < 1753 || parts.year > 9999)
        return {DateTimeParse::OutOfRange, {}};
    const long millisecondsOfDay =
        ((parts.hour * 60L + parts.minute) * 60L + parts.second) * 1000L + parts.millisecond;
    const DateTime value =
        normalised(daysFrom1900({parts.year, parts.month, parts.day, 0, 0, 0, 0}), millisecondsOfDay);
    if (value.year > 9999)
        return {DateTimeParse::OutOfRange, {}};
    return {DateTimeParse::Ok, value};
}

std::string canonicalText(const DateTime &value)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%03d", value.year, value.month, value.day,
                  value.hour, value.minute, value.second, value.millisecond);
    return buffer;
}

std::optional<DateTime> fromCanonicalText(std::string_view text)
{
    DateTime value;
    const std::string copy(text);
    int consumed = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d%n", &value.year, &value.month, &value.day,
                    &value.hour, &value.minute, &value.second, &value.millisecond, &consumed) != 7 ||
        static_cast<std::size_t>(consumed) != copy.size())
        return std::nullopt;
    return value;
}

std::string generalDateText(const DateTime &value)
{
    char buffer[48];
    if (value.hour == 0 && value.minute == 0 && value.second == 0) {
        std::snprintf(buffer, sizeof buffer, "%d/%d/%d", value.month, value.day, value.year);
    } else {
        const int hour12 = value.hour % 12 == 0 ? 12 : value.hour % 12;
        std::snprintf(buffer, sizeof buffer, "%d/%d/%d %d:%02d:%02d %s", value.month, value.day, value.year, hour12,
                      value.minute, value.second, value.hour < 12 ? "AM" : "PM");
    }
    return buffer;
}

DateTime addMilliseconds(const DateTime &value, long long milliseconds)
{
    constexpr long long kDay = 86400000LL;
    long long total = daysFrom1900(value) * kDay +
                      ((value.hour * 60LL + value.minute) * 60LL + value.second) * 1000LL + value.millisecond +
                      milliseconds;
    long long days = total / kDay;
    long long rest = total % kDay;
    if (rest < 0) {
        rest += kDay;
        --days;
    }
    return fromDays1900(static_cast<long>(days), static_cast<long>(rest));
}

DateTime localNow()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const long milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    const DateTime date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 0, 0, 0, 0};
    return normalised(daysFrom1900(date),
                      ((local.tm_hour * 60L + local.tm_min) * 60L + local.tm_sec) * 1000L + milliseconds);
}

} // namespace labsim::tsql
