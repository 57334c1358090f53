#pragma once

// The seam between the lab simulator's TDS front end (labsim/tds) and the
// laboratory that runs the statements (labsim/tsql, labsim/lab).

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace labsim {

enum class ColumnType { Int, Float, Text, DateTime };

// Int columns travel as INT when every value fits 32 bits, else as BIGINT;
// Float as FLOAT; Text as NVARCHAR (NVARCHAR(MAX) when a value is longer than
// 4000 UTF-16 units); DateTime as DATETIME (milliseconds rounded to 1/300 s).
struct Column {
    std::string name; // UTF-8
    ColumnType type;
};

struct DateTime {
    int year = 1900, month = 1, day = 1;
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    bool operator==(const DateTime &) const = default;
};

// A cell: empty optional is NULL; text is UTF-8. A value of another type than
// its column's is converted where it reads as one (a number as text, text that
// is a number), and otherwise sent as NULL.
using Cell = std::optional<std::variant<std::int64_t, double, std::string, DateTime>>;
using Row = std::vector<Cell>;

// An ERROR (severity above 10) or INFO (10 and below) message.
struct Message {
    std::int32_t number = 0;
    std::uint8_t state = 1;
    std::uint8_t severity = 16;
    std::string text;      // UTF-8
    std::string procedure; // UTF-8, may be empty
    std::int32_t line = 1;
};

// What one statement of a batch produced, in order.
struct StatementResult {
    std::vector<Message> messages;        // sent before the statement's result
    std::optional<std::vector<Column>> columns; // set when the statement returns a result set
    std::vector<Row> rows;
    std::optional<std::uint64_t> rowCount; // rows affected or returned, when counted
    bool failed = false;                   // the statement ended in an error (its message is in messages)
};

struct BatchResult {
    std::vector<StatementResult> statements;
    bool cancelled = false; // the batch was interrupted by an attention
};

// The laboratory behind the TDS port. Called from many connection threads at
// once; implementations are thread-safe.
class Engine {
public:
    virtual ~Engine() = default;

    // Whether user and password may log in; on refusal the TDS layer answers
    // error 18456 "Login failed for user '<user>'.".
    virtual bool acceptLogin(const std::string &user, const std::string &password) = 0;

    // Runs one SQL batch (UTF-8) for the connection with the given number.
    // cancelled is set when the client sends an attention (its query time-out)
    // or the connection ends; the TDS layer then discards the result. Long
    // waits (waitfor, injected delays) end early once it is set: check it in
    // short sleeps (say every 20 ms), and return cancelled = true.
    virtual BatchResult runBatch(int connection, const std::string &sql, const std::atomic<bool> &cancelled) = 0;

    // Called once when a connection ends, for whatever reason (a refused
    // login included), after its last runBatch has returned.
    virtual void connectionClosed(int connection) { (void)connection; }
};

} // namespace labsim
