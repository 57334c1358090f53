#pragma once

// A hand-driven TDS client for tests that need exact bytes on the wire:
// requests built field by field, answers read packet by packet.

#include "labsim/tds/bytes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace labsim::test {

using tds::Bytes;
using tds::ByteWriter;

// The client's side of the password rule: nibbles swapped, then 0xA5.
inline Bytes scramble(const Bytes &clear)
{
    Bytes out;
    for (const std::uint8_t b : clear) out.push_back(static_cast<std::uint8_t>(((b << 4) | (b >> 4)) ^ 0xA5));
    return out;
}

inline Bytes utf16le(const std::string &ascii)
{
    Bytes out;
    for (const char c : ascii) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    return out;
}

struct Login7Fields {
    std::uint32_t version = 0x74000004;
    std::uint32_t packetSize = 4096;
    std::string host = "bench01";
    std::string user = "sa";
    Bytes password = scramble(utf16le("mk9073zr"));
    std::string app = "raw";
    std::string server = "127.0.0.1";
    std::string library = "raw-client";
    std::string language;
    std::string database;
    Bytes featureExt; // appended after the variable part, pointed to by the extension field
};

// LOGIN7 laid out as a client lays it out: fixed part, offset/length pairs,
// then the strings in order.
inline Bytes login7(const Login7Fields &f)
{
    constexpr std::uint16_t kVariableStart = 94;
    ByteWriter data;
    ByteWriter pairs;
    const auto field = [&](const Bytes &bytes, std::uint16_t units) {
        pairs.u16le(static_cast<std::uint16_t>(kVariableStart + data.size()));
        pairs.u16le(units);
        data.append(bytes);
    };
    const auto text = [&](const std::string &value) { field(utf16le(value), static_cast<std::uint16_t>(value.size())); };
    text(f.host);
    text(f.user);
    field(f.password, static_cast<std::uint16_t>(f.password.size() / 2));
    text(f.app);
    text(f.server);
    const std::size_t extensionAt = pairs.size();
    pairs.u32le(0);
    text(f.library);
    text(f.language);
    text(f.database);

    ByteWriter out;
    const std::size_t total = kVariableStart + data.size() + (f.featureExt.empty() ? 0 : 4 + f.featureExt.size());
    out.u32le(static_cast<std::uint32_t>(total));
    out.u32le(f.version);
    out.u32le(f.packetSize);
    out.u32le(7);    // client program version
    out.u32le(4242); // client PID
    out.u32le(0);    // connection id
    out.u8(0xE0);
    out.u8(0x03);
    out.u8(0);
    out.u8(f.featureExt.empty() ? 0 : 0x10);
    out.u32le(0);     // time zone
    out.u32le(0x409); // LCID
    Bytes pairBytes = pairs.take();
    if (!f.featureExt.empty()) {
        const std::uint16_t pointer = static_cast<std::uint16_t>(kVariableStart + data.size());
        pairBytes[extensionAt] = static_cast<std::uint8_t>(pointer);
        pairBytes[extensionAt + 1] = static_cast<std::uint8_t>(pointer >> 8);
        pairBytes[extensionAt + 2] = 4;
    }
    out.append(pairBytes);
    out.append(Bytes(6, 0x11)); // client id
    for (int i = 0; i < 3; ++i) out.u32le(static_cast<std::uint32_t>(total)); // SSPI, attach file, change password: empty
    out.u32le(0);                                                             // long SSPI
    out.append(data.bytes());
    if (!f.featureExt.empty()) {
        out.u32le(static_cast<std::uint32_t>(kVariableStart + data.size() + 4));
        out.append(f.featureExt);
    }
    return out.take();
}

// PRELOGIN as FreeTDS sends it: version, encryption off, instance, thread id, MARS.
inline Bytes preLogin()
{
    return {0x00, 0x00, 0x1A, 0x00, 0x06, 0x01, 0x00, 0x20, 0x00, 0x01, 0x02, 0x00, 0x21, 0x00, 0x01,
            0x03, 0x00, 0x22, 0x00, 0x04, 0x04, 0x00, 0x26, 0x00, 0x01, 0xFF, 0x08, 0x00, 0x01, 0x55,
            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0x34, 0x00};
}

// SQL_BATCH payload of TDS 7.2 and later: ALL_HEADERS with a transaction
// descriptor, then the text as UTF-16LE.
inline Bytes sqlBatch(const std::string &ascii)
{
    Bytes out = {0x16, 0, 0, 0, 0x12, 0, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0};
    const Bytes text = utf16le(ascii);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

inline Bytes packet(std::uint8_t type, const Bytes &payload, std::uint8_t status = 0x01)
{
    ByteWriter out;
    out.u8(type);
    out.u8(status);
    out.u16be(static_cast<std::uint16_t>(payload.size() + 8));
    out.u16be(0);
    out.u8(1);
    out.u8(0);
    out.append(payload);
    return out.take();
}

class RawClient {
public:
    explicit RawClient(std::uint16_t port)
    {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool connected() const { return connected_; }

    std::size_t largestPacket = 0; // of every answer received so far

    void send(const Bytes &bytes) { (void)!::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    // The payload of the next whole server message, or none when the server
    // closed the connection (or said nothing within the limit).
    std::optional<Bytes> receive(int timeoutMs = 10000)
    {
        Bytes payload;
        for (;;) {
            std::uint8_t header[8];
            if (!readExactly(header, 8, timeoutMs)) return std::nullopt;
            const std::size_t length = static_cast<std::size_t>(header[2] << 8 | header[3]);
            if (length < 8) return std::nullopt;
            largestPacket = std::max(largestPacket, length);
            Bytes body(length - 8);
            if (!readExactly(body.data(), body.size(), timeoutMs)) return std::nullopt;
            payload.insert(payload.end(), body.begin(), body.end());
            if (header[1] & 0x01) return payload;
        }
    }

    // Whether the server closed the connection (EOF) within the limit.
    bool closedByServer(int timeoutMs = 10000)
    {
        std::uint8_t byte;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return false;
            const ssize_t n = ::recv(fd_, &byte, 1, 0);
            if (n <= 0) return true;
        }
    }

    // Pre-login and login with the given fields; returns the login answer.
    std::optional<Bytes> logIn(const Login7Fields &fields = {})
    {
        send(packet(0x12, preLogin()));
        if (!receive()) return std::nullopt;
        send(packet(0x10, login7(fields)));
        return receive();
    }

private:
    bool readExactly(std::uint8_t *into, std::size_t count, int timeoutMs)
    {
        std::size_t got = 0;
        while (got < count) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return false;
            const ssize_t n = ::recv(fd_, into + got, count - got, 0);
            if (n <= 0) return false;
            got += static_cast<std::size_t>(n);
        }
        return true;
    }

    int fd_ = -1;
    bool connected_ = false;
};

// The last DONE token of an answer: its status and row count (TDS 7.2+).
struct DoneToken {
    std::uint16_t status = 0;
    std::uint64_t rowCount = 0;
};
inline std::optional<DoneToken> lastDone(const Bytes &answer)
{
    if (answer.size() < 13 || answer[answer.size() - 13] != 0xFD) return std::nullopt;
    const std::uint8_t *done = answer.data() + answer.size() - 13;
    DoneToken token;
    token.status = static_cast<std::uint16_t>(done[1] | done[2] << 8);
    for (int i = 7; i >= 0; --i) token.rowCount = token.rowCount << 8 | done[5 + i];
    return token;
}

} // namespace labsim::test
