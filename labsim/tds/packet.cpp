#include "labsim/tds/packet.h"

#include <algorithm>

namespace labsim::tds {

namespace {
constexpr std::uint8_t kEndOfMessage = 0x01;

bool isClientType(std::uint8_t type)
{
    using namespace packet_type;
    return type == kSqlBatch || type == kRpc || type == kAttention || type == kBulkLoad || type == kTransactionManager ||
        type == kLogin7 || type == kPreLogin;
}
} // namespace

void MessageAssembler::feed(ByteView data)
{
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > kMaxPacketSize) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data.begin(), data.end());
}

std::optional<ClientMessage> MessageAssembler::next()
{
    while (buffer_.size() - start_ >= kHeaderSize) {
        ByteReader header(ByteView(buffer_).subspan(start_, kHeaderSize));
        const std::uint8_t type = header.u8();
        const std::uint8_t status = header.u8();
        const std::uint16_t length = header.u16be();
        if (!isClientType(type)) throw ProtocolError("unknown packet type");
        if (length < kHeaderSize) throw ProtocolError("packet shorter than its header");
        if (buffer_.size() - start_ < length) return std::nullopt;

        const auto payload = ByteView(buffer_).subspan(start_ + kHeaderSize, length - kHeaderSize);
        start_ += length;

        if (pending_ && pending_->type != type) {
            if (type != packet_type::kAttention) throw ProtocolError("packet of another message type inside a message");
            pending_.reset();
        }
        if (!pending_) pending_ = ClientMessage{type, {}};
        if (pending_->payload.size() + payload.size() > kMaxMessageSize) throw ProtocolError("message too large");
        pending_->payload.insert(pending_->payload.end(), payload.begin(), payload.end());

        if (status & kEndOfMessage) {
            ClientMessage message = std::move(*pending_);
            pending_.reset();
            return message;
        }
    }
    return std::nullopt;
}

Bytes framePackets(std::uint8_t type, ByteView payload, std::size_t packetSize, std::uint16_t spid)
{
    const std::size_t chunk = std::clamp(packetSize, kMinPacketSize, kMaxPacketSize) - kHeaderSize;
    const std::size_t packets = std::max<std::size_t>(1, (payload.size() + chunk - 1) / chunk);
    ByteWriter out;
    std::uint8_t packetId = 1;
    for (std::size_t i = 0; i < packets; ++i) {
        const auto part = payload.subspan(i * chunk, std::min(chunk, payload.size() - i * chunk));
        out.u8(type);
        out.u8(i + 1 == packets ? kEndOfMessage : 0);
        out.u16be(static_cast<std::uint16_t>(part.size() + kHeaderSize));
        out.u16be(spid);
        out.u8(packetId++);
        out.u8(0);
        out.append(part);
    }
    return out.take();
}

} // namespace labsim::tds
