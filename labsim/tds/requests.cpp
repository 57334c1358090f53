#include "labsim/tds/requests.h"

namespace labsim::tds {

std::optional<std::uint32_t> negotiateVersion(std::uint32_t requested)
{
    if (requested < 0x71000000) return std::nullopt;
    if (requested >= 0x75000000) return tds_version::k74;
    return requested;
}

PreLogin decodePreLogin(ByteView payload)
{
    constexpr std::uint8_t kEncryption = 0x01;
    constexpr std::uint8_t kTerminator = 0xFF;
    PreLogin result;
    ByteReader options(payload);
    for (;;) {
        const std::uint8_t option = options.u8();
        if (option == kTerminator) break;
        const std::uint16_t offset = options.u16be();
        const std::uint16_t length = options.u16be();
        if (std::size_t{offset} + length > payload.size()) throw ProtocolError("PRELOGIN option out of bounds");
        if (option == kEncryption && length >= 1) result.encryption = payload[offset];
    }
    return result;
}

Bytes unscramblePassword(ByteView scrambled)
{
    Bytes clear(scrambled.size());
    for (std::size_t i = 0; i < scrambled.size(); ++i) {
        const unsigned x = scrambled[i] ^ 0xA5u;
        clear[i] = static_cast<std::uint8_t>((x << 4 | x >> 4) & 0xFF);
    }
    return clear;
}

Login7 decodeLogin7(ByteView payload)
{
    constexpr std::size_t kFixedSize = 36;
    ByteReader fixed(payload);
    const std::uint32_t declaredLength = fixed.u32le();
    if (declaredLength > payload.size() || declaredLength < kFixedSize) throw ProtocolError("LOGIN7 length mismatch");
    const ByteView data = payload.first(declaredLength);

    Login7 login;
    ByteReader reader(data);
    reader.skip(4);
    login.tdsVersion = reader.u32le();
    login.packetSize = reader.u32le();
    reader.skip(kFixedSize - 12); // program version, PID, connection id, flags, time zone, LCID

    // Offsets count bytes from the start of LOGIN7, lengths count UTF-16 units.
    const auto field = [&](bool scrambled = false) {
        const std::uint16_t offset = reader.u16le();
        const std::uint16_t length = reader.u16le();
        if (length == 0) return std::string();
        const std::size_t size = std::size_t{length} * 2;
        if (std::size_t{offset} + size > data.size()) throw ProtocolError("LOGIN7 field out of bounds");
        const ByteView bytes = data.subspan(offset, size);
        return scrambled ? utf16leToUtf8(unscramblePassword(bytes)) : utf16leToUtf8(bytes);
    };
    login.hostName = field();
    login.userName = field();
    login.password = field(true);
    login.appName = field();
    login.serverName = field();
    reader.skip(4); // extension (FeatureExt) or unused: nothing of it is needed
    login.libraryName = field();
    login.language = field();
    login.database = field();
    return login;
}

std::string decodeSqlBatch(ByteView payload, std::uint32_t tdsVersion)
{
    if (!isTds72OrLater(tdsVersion)) return utf16leToUtf8(payload);
    ByteReader reader(payload);
    const std::uint32_t headersLength = reader.u32le();
    if (headersLength < 4 || headersLength > payload.size()) throw ProtocolError("ALL_HEADERS length out of bounds");
    std::size_t at = 4;
    while (at < headersLength) {
        ByteReader header(payload.subspan(at, headersLength - at));
        const std::uint32_t length = header.u32le();
        if (length < 6 || length > headersLength - at) throw ProtocolError("ALL_HEADERS entry out of bounds");
        at += length;
    }
    return utf16leToUtf8(payload.subspan(headersLength));
}

} // namespace labsim::tds
