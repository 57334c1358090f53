#include "labsim/lab/log.h"

#include "labsim/lab/json.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace labsim::lab {

std::string isoTimeNow()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    const long milliseconds =
        static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03ldZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, milliseconds);
    return buffer;
}

void Log::add(int connection, std::string kind, std::string text)
{
    LogEntry entry{isoTimeNow(), connection, std::move(kind), std::move(text)};
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
    if (entries_.size() > kLimit)
        entries_.pop_front();
}

std::vector<LogEntry> Log::entries() const
{
    std::lock_guard lock(mutex_);
    return {entries_.begin(), entries_.end()};
}

void Log::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::string Log::jsonLines() const
{
    std::string result;
    for (const LogEntry &entry : entries())
        result += "{\"t\": " + json::quote(entry.time) + ", \"conn\": " + std::to_string(entry.connection) +
                  ", \"kind\": " + json::quote(entry.kind) + ", \"text\": " + json::quote(entry.text) + "}\n";
    return result;
}

} // namespace labsim::lab
