#pragma once

// Decoders of what a client sends: PRELOGIN, LOGIN7 and SQL_BATCH payloads.
// Every decoder takes any byte sequence: malformed input throws ProtocolError.

#include "labsim/tds/bytes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace labsim::tds {

// TDS versions as LOGIN7 carries them (read as a little-endian u32).
namespace tds_version {
inline constexpr std::uint32_t k71 = 0x71000001;
inline constexpr std::uint32_t k72 = 0x72090002;
inline constexpr std::uint32_t k73A = 0x730A0003;
inline constexpr std::uint32_t k73B = 0x730B0003;
inline constexpr std::uint32_t k74 = 0x74000004;
} // namespace tds_version

// The version the server speaks with a client that asked for this one: the
// client's own from 7.1 to 7.4, 7.4 for anything newer, none below 7.1.
std::optional<std::uint32_t> negotiateVersion(std::uint32_t requested);
// From 7.2 on, several token fields are wider and batches carry ALL_HEADERS.
inline bool isTds72OrLater(std::uint32_t version) { return version >= 0x72000000; }

struct PreLogin {
    std::optional<std::uint8_t> encryption; // the client's ENCRYPTION option
};
PreLogin decodePreLogin(ByteView payload);

struct Login7 {
    std::uint32_t tdsVersion = 0;
    std::uint32_t packetSize = 0;
    std::string hostName;
    std::string userName;
    std::string password;
    std::string appName;
    std::string serverName;
    std::string libraryName;
    std::string language;
    std::string database;
};
Login7 decodeLogin7(ByteView payload);

// LOGIN7 password bytes to the clear UTF-16LE bytes: each byte has its nibbles
// swapped and then 0xA5 applied by the client.
Bytes unscramblePassword(ByteView scrambled);

// The statement text of an SQL_BATCH, UTF-8; from 7.2 the text follows the
// ALL_HEADERS block, which is skipped.
std::string decodeSqlBatch(ByteView payload, std::uint32_t tdsVersion);

} // namespace labsim::tds
