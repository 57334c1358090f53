#include "labsim/tds/session.h"

#include "labsim/tds/answers.h"

#include <algorithm>

namespace labsim::tds {

Session::Reply Session::handle(const ClientMessage &message)
{
    using namespace packet_type;
    if (!loggedIn_) {
        if (message.type == kPreLogin && !preLoginSeen_) return preLogin(message);
        if (message.type == kLogin7) return login(message);
        return {{}, true};
    }
    switch (message.type) {
    case kSqlBatch: return batch(message);
    case kAttention:
        cancelled_ = false;
        return {framed(encodeAttentionAck(version_))};
    case kRpc:
    case kTransactionManager:
    case kBulkLoad:
        return {framed(encodeErrorAnswer(version_, {50000, 1, 16, "Only SQL batches are supported by this server.", "", 1}))};
    default: return {{}, true};
    }
}

Session::Reply Session::preLogin(const ClientMessage &message)
{
    preLoginSeen_ = true;
    (void)decodePreLogin(message.payload);
    return {framed(encodePreLoginAnswer())};
}

Session::Reply Session::login(const ClientMessage &message)
{
    const Login7 request = decodeLogin7(message.payload);
    const auto version = negotiateVersion(request.tdsVersion);
    if (!version) {
        version_ = tds_version::k71;
        return {framed(encodeErrorAnswer(version_, {4002, 1, 16,
                                                    "The incoming tabular data stream (TDS) protocol stream is incorrect: "
                                                    "the client's TDS version is not supported.",
                                                    "", 1})),
                true};
    }
    version_ = *version;
    if (!engine_.acceptLogin(request.userName, request.password))
        return {framed(encodeLoginRefusal(version_, request.userName)), true};
    const std::size_t packetSize =
        request.packetSize == 0 ? kDefaultPacketSize : std::clamp<std::size_t>(request.packetSize, kMinPacketSize, kMaxPacketSize);
    // The new packet size holds from the next answer on.
    Reply reply{framed(encodeLoginAnswer(version_, request.database, packetSize))};
    packetSize_ = packetSize;
    loggedIn_ = true;
    return reply;
}

Session::Reply Session::batch(const ClientMessage &message)
{
    const std::string sql = decodeSqlBatch(message.payload, version_);
    try {
        const BatchResult result = engine_.runBatch(connection_, sql, cancelled_);
        // A cancelled batch is answered by the attention's acknowledgement
        // alone: the client discards everything before it.
        if (cancelled_) return {};
        return {framed(encodeBatchResult(result, version_))};
    } catch (const std::exception &failure) {
        return {framed(encodeErrorAnswer(version_, {50000, 1, 16, std::string("The batch failed: ") + failure.what(), "", 1}))};
    }
}

Bytes Session::framed(const Bytes &tokens) const
{
    return framePackets(packet_type::kTabularResult, tokens, packetSize_, static_cast<std::uint16_t>(connection_));
}

} // namespace labsim::tds
