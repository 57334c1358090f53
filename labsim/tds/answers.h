#pragma once

// Encoders of the server's answers: the PRELOGIN answer and token streams
// (login acknowledgement, result sets, messages, DONE). Token layouts depend
// on the TDS version of the connection.

#include "labsim/engine.h"
#include "labsim/tds/bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace labsim::tds {

namespace done_status {
inline constexpr std::uint16_t kFinal = 0x00;
inline constexpr std::uint16_t kMore = 0x01;
inline constexpr std::uint16_t kError = 0x02;
inline constexpr std::uint16_t kCount = 0x10;
inline constexpr std::uint16_t kAttention = 0x20;
} // namespace done_status

// DATETIME on the wire: days since 1900-01-01 and 1/300 s ticks since
// midnight. Milliseconds round to the nearest tick, which can reach the next
// day.
struct DateTimeTicks {
    std::int32_t days = 0;
    std::uint32_t ticks = 0;
    bool operator==(const DateTimeTicks &) const = default;
};
DateTimeTicks toDateTimeTicks(const DateTime &value);

// How a column travels, chosen from its type and, for integers and text, from
// the values it carries (so nothing is ever truncated).
enum class WireType { Int4, Int8, Float8, NVarChar, NVarCharMax, NText, DateTime };
struct WireColumn {
    std::string name;
    WireType type;
};
std::vector<WireColumn> wireColumns(const std::vector<Column> &columns, const std::vector<Row> &rows, std::uint32_t tdsVersion);

Bytes encodePreLoginAnswer();

class TokenWriter {
public:
    explicit TokenWriter(std::uint32_t tdsVersion) : version_(tdsVersion) {}

    void envChange(std::uint8_t type, const std::string &newValue, const std::string &oldValue);
    void collationChange();
    // INFO for severity 10 and below, ERROR above.
    void message(const Message &message);
    void loginAck();
    void columnMetadata(const std::vector<WireColumn> &columns);
    void row(const std::vector<WireColumn> &columns, const Row &row);
    void done(std::uint16_t status, std::uint16_t command, std::uint64_t rowCount);

    Bytes take() { return out_.take(); }

private:
    void bVarchar(const std::string &text);
    void usVarchar(const std::string &text);
    void cell(WireType type, const Cell &cell);

    std::uint32_t version_;
    ByteWriter out_;
};

// The whole answer to a successful login.
Bytes encodeLoginAnswer(std::uint32_t tdsVersion, const std::string &database, std::size_t packetSize);
// ERROR 18456 and a DONE with the error status.
Bytes encodeLoginRefusal(std::uint32_t tdsVersion, const std::string &user);
// Each statement's messages, result set and DONE, in order.
Bytes encodeBatchResult(const BatchResult &result, std::uint32_t tdsVersion);
// One error message as a complete answer.
Bytes encodeErrorAnswer(std::uint32_t tdsVersion, const Message &error);
Bytes encodeAttentionAck(std::uint32_t tdsVersion);

} // namespace labsim::tds
