#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace labsim::lab {

struct LogEntry {
    std::string time; // ISO 8601, UTC, milliseconds
    int connection = 0;
    std::string kind; // "sql" or "page"
    std::string text; // exactly as received
};

// Every statement batch and every page request, in the order they arrived.
class Log {
public:
    void add(int connection, std::string kind, std::string text);
    std::vector<LogEntry> entries() const;
    void clear();

    // One JSON object a line: {"t": ..., "conn": ..., "kind": ..., "text": ...}
    std::string jsonLines() const;

private:
    mutable std::mutex mutex_;
    std::vector<LogEntry> entries_;
};

std::string isoTimeNow();

} // namespace labsim::lab
