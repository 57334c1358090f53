#pragma once

#include <deque>
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

// Every statement batch and every page request, in the order they arrived;
// the latest kLimit of them, so that a simulator left running for weeks
// keeps its memory.
class Log {
public:
    static constexpr std::size_t kLimit = 100000;

    void add(int connection, std::string kind, std::string text);
    std::vector<LogEntry> entries() const;
    void clear();

    // One JSON object a line: {"t": ..., "conn": ..., "kind": ..., "text": ...}
    std::string jsonLines() const;

private:
    mutable std::mutex mutex_;
    std::deque<LogEntry> entries_;
};

std::string isoTimeNow();

} // namespace labsim::lab
