#pragma once

// The protocol state of one connection, apart from its socket: pre-login,
// login, then SQL batches and attentions, each answered in packets.

#include "labsim/engine.h"
#include "labsim/tds/packet.h"
#include "labsim/tds/requests.h"

#include <atomic>
#include <cstdint>

namespace labsim::tds {

class Session {
public:
    // cancelled is the flag the reading side sets when an attention arrives
    // or the connection is lost; the session hands it to the engine and
    // clears it once the attention is acknowledged.
    Session(Engine &engine, int connection, std::atomic<bool> &cancelled)
        : engine_(engine), connection_(connection), cancelled_(cancelled)
    {
    }

    struct Reply {
        Bytes packets;      // to send, may be empty
        bool close = false; // the connection ends after they are sent
    };
    // Throws ProtocolError for a malformed request.
    Reply handle(const ClientMessage &message);

private:
    Reply preLogin(const ClientMessage &message);
    Reply login(const ClientMessage &message);
    Reply batch(const ClientMessage &message);
    Bytes framed(const Bytes &tokens) const;

    Engine &engine_;
    int connection_;
    std::atomic<bool> &cancelled_;
    bool preLoginSeen_ = false;
    bool loggedIn_ = false;
    std::uint32_t version_ = tds_version::k74;
    std::size_t packetSize_ = kDefaultPacketSize;
};

} // namespace labsim::tds
