#include "labsim/tsql/values.h"

#include "labsim/tsql/datetime.h"
#include "labsim/tsql/error.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace labsim::tsql {

namespace {

std::string trimmed(const std::string &text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

const char *typeName(const SqlType &type)
{
    switch (type.base) {
    case SqlType::Base::Int:
        return "int";
    case SqlType::Base::Float:
        return "float";
    case SqlType::Base::DateTime:
        return "datetime";
    default:
        return "varchar";
    }
}

SqlError conversionError(const std::string &text, const SqlType &type, Conversion conversion)
{
    if (conversion == Conversion::Parameter)
        return SqlError(8114, 16, std::string("Error converting data type varchar to ") + typeName(type) + ".");
    if (type.base == SqlType::Base::DateTime)
        return errors::dateConversion();
    if (type.base == SqlType::Base::Int)
        return errors::intConversion(text);
    return SqlError(8114, 16, "Error converting data type varchar to float.");
}

std::int64_t intFromText(const std::string &text, const SqlType &type, Conversion conversion)
{
    const std::string digits = trimmed(text);
    if (digits.empty())
        return 0; // '' converts to 0, as in SQL Server
    std::size_t i = digits[0] == '+' || digits[0] == '-' ? 1 : 0;
    if (i == digits.size())
        throw conversionError(text, type, conversion);
    for (std::size_t j = i; j < digits.size(); ++j)
        if (digits[j] < '0' || digits[j] > '9')
            throw conversionError(text, type, conversion);
    errno = 0;
    const long long value = std::strtoll(digits.c_str(), nullptr, 10);
    if (errno == ERANGE || value > std::numeric_limits<std::int32_t>::max() ||
        value < std::numeric_limits<std::int32_t>::min())
        throw SqlError(248, 16, "The conversion of the varchar value '" + text + "' overflowed an int column.");
    return value;
}

double floatFromText(const std::string &text, const SqlType &type, Conversion conversion)
{
    const std::string digits = trimmed(text);
    if (digits.empty())
        return 0.0;
    char *end = nullptr;
    const double value = std::strtod(digits.c_str(), &end);
    if (end != digits.c_str() + digits.size() || !std::isfinite(value))
        throw conversionError(text, type, conversion);
    return value;
}

DateTime dateFromText(const std::string &text, const SqlType &type, Conversion conversion)
{
    const ParsedDateTime parsed = parseDateTime(text);
    if (parsed.status == DateTimeParse::Ok)
        return parsed.value;
    if (conversion == Conversion::Parameter)
        throw conversionError(text, type, conversion);
    if (parsed.status == DateTimeParse::OutOfRange)
        throw errors::dateOutOfRange();
    throw errors::dateConversion();
}

DateTime dateFromDays(double days)
{
    const double whole = std::floor(days);
    const long milliseconds = std::lround((days - whole) * 86400000.0);
    return fromDays1900(static_cast<long>(whole), milliseconds);
}

// Text cut or checked to the column's length, and padded for char.
std::string fitted(std::string text, const SqlType &type, Conversion conversion)
{
    const std::size_t length = static_cast<std::size_t>(type.length);
    std::size_t count = characterCount(text);
    if (count > length) {
        // Find the byte where the allowed characters end.
        std::size_t bytes = 0, seen = 0;
        while (bytes < text.size() && seen < length) {
            ++bytes;
            while (bytes < text.size() && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
                ++bytes;
            ++seen;
        }
        const bool onlyBlanks = text.find_first_not_of(' ', bytes) == std::string::npos;
        if (conversion == Conversion::Assignment && !onlyBlanks)
            throw errors::truncation();
        text.resize(bytes);
        count = length;
    }
    if (type.base == SqlType::Base::Char)
        text.append(length - count, ' ');
    return text;
}

} // namespace

std::size_t characterCount(const std::string &text)
{
    std::size_t count = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++count;
    return count;
}

std::string textOf(const Cell &value)
{
    if (!value)
        return {};
    if (const auto *number = std::get_if<std::int64_t>(&*value))
        return std::to_string(*number);
    if (const auto *real = std::get_if<double>(&*value)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", *real);
        return buffer;
    }
    if (const auto *text = std::get_if<std::string>(&*value))
        return *text;
    const DateTime &moment = std::get<DateTime>(*value);
    static constexpr const char *months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int hour12 = moment.hour % 12 == 0 ? 12 : moment.hour % 12;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s %2d %d %2d:%02d%s", months[moment.month - 1], moment.day, moment.year,
                  hour12, moment.minute, moment.hour < 12 ? "AM" : "PM");
    return buffer;
}

Cell convertCell(const Cell &value, const SqlType &type, Conversion conversion)
{
    if (!value)
        return std::nullopt;
    const auto &held = *value;
    switch (type.base) {
    case SqlType::Base::Int:
        if (const auto *number = std::get_if<std::int64_t>(&held))
            return *number;
        if (const auto *real = std::get_if<double>(&held))
            return static_cast<std::int64_t>(std::trunc(*real));
        if (const auto *text = std::get_if<std::string>(&held))
            return intFromText(*text, type, conversion);
        return std::int64_t{daysFrom1900(std::get<DateTime>(held))};
    case SqlType::Base::Float:
        if (const auto *number = std::get_if<std::int64_t>(&held))
            return static_cast<double>(*number);
        if (const auto *real = std::get_if<double>(&held))
            return *real;
        if (const auto *text = std::get_if<std::string>(&held))
            return floatFromText(*text, type, conversion);
        return static_cast<double>(daysFrom1900(std::get<DateTime>(held)));
    case SqlType::Base::DateTime:
        if (const auto *moment = std::get_if<DateTime>(&held))
            return *moment;
        if (const auto *text = std::get_if<std::string>(&held))
            return dateFromText(*text, type, conversion);
        if (const auto *number = std::get_if<std::int64_t>(&held))
            return dateFromDays(static_cast<double>(*number));
        return dateFromDays(std::get<double>(held));
    case SqlType::Base::Char:
    case SqlType::Base::VarChar:
        return fitted(textOf(value), type, conversion);
    }
    return value;
}

} // namespace labsim::tsql
