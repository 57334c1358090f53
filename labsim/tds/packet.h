#pragma once

// TDS packet framing: every message travels in packets of an 8-byte header
// (type, status, big-endian length with the header, SPID, packet id, window)
// and a payload; the last packet of a message has the end-of-message status.

#include "labsim/tds/bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace labsim::tds {

namespace packet_type {
inline constexpr std::uint8_t kSqlBatch = 0x01;
inline constexpr std::uint8_t kRpc = 0x03;
inline constexpr std::uint8_t kTabularResult = 0x04;
inline constexpr std::uint8_t kAttention = 0x06;
inline constexpr std::uint8_t kBulkLoad = 0x07;
inline constexpr std::uint8_t kTransactionManager = 0x0E;
inline constexpr std::uint8_t kLogin7 = 0x10;
inline constexpr std::uint8_t kPreLogin = 0x12;
} // namespace packet_type

inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kDefaultPacketSize = 4096;
inline constexpr std::size_t kMinPacketSize = 512;
inline constexpr std::size_t kMaxPacketSize = 32767;
// No request of this system comes near; a larger one is an abuse.
inline constexpr std::size_t kMaxMessageSize = 16 * 1024 * 1024;

struct ClientMessage {
    std::uint8_t type = 0;
    Bytes payload;
};

// Joins the packets of a byte stream into messages. An attention packet in the
// middle of a message abandons that message: the client gave up sending it.
class MessageAssembler {
public:
    void feed(ByteView data);
    // The next complete message, if the bytes fed so far hold one; throws
    // ProtocolError on a malformed packet.
    std::optional<ClientMessage> next();

private:
    Bytes buffer_;
    std::size_t start_ = 0;
    std::optional<ClientMessage> pending_;
};

// The message as packets of at most packetSize bytes each, header included,
// ready for one write.
Bytes framePackets(std::uint8_t type, ByteView payload, std::size_t packetSize, std::uint16_t spid);

} // namespace labsim::tds
