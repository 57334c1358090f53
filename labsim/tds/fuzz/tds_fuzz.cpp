// libFuzzer harness: the bytes a client could send on one connection, fed to
// the framing in uneven chunks, and each message decoded as the server would
// decode it (PRELOGIN, LOGIN7, SQL batches of both header layouts), with the
// answers that carry client text encoded too.

#include "labsim/tds/answers.h"
#include "labsim/tds/packet.h"
#include "labsim/tds/requests.h"

#include <cstddef>
#include <cstdint>

using namespace labsim::tds;

namespace {

void decode(const ClientMessage &message)
{
    try {
        switch (message.type) {
        case packet_type::kPreLogin: (void)decodePreLogin(message.payload); break;
        case packet_type::kLogin7: {
            const Login7 login = decodeLogin7(message.payload);
            const auto version = negotiateVersion(login.tdsVersion);
            (void)encodeLoginRefusal(version.value_or(tds_version::k71), login.userName);
            (void)encodeLoginAnswer(version.value_or(tds_version::k74), login.database, login.packetSize);
            break;
        }
        case packet_type::kSqlBatch:
            for (const std::uint32_t version : {tds_version::k71, tds_version::k74}) {
                const std::string sql = decodeSqlBatch(message.payload, version);
                labsim::StatementResult echo;
                echo.columns = std::vector<labsim::Column>{{sql.substr(0, 300), labsim::ColumnType::Text}};
                echo.rows.push_back({sql});
                echo.messages.push_back({102, 1, 15, "Incorrect syntax near '" + sql + "'.", "", 1});
                (void)encodeBatchResult({{echo}}, version);
            }
            break;
        default: break;
        }
    } catch (const ProtocolError &) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The first byte picks the chunk size, so packets also arrive split.
    if (size == 0) return 0;
    const std::size_t chunk = 1 + data[0] % 64 * 64;
    const ByteView stream(data + 1, size - 1);
    MessageAssembler assembler;
    try {
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            assembler.feed(stream.subspan(at, std::min(chunk, stream.size() - at)));
            while (auto message = assembler.next()) decode(*message);
        }
    } catch (const ProtocolError &) {
    }
    return 0;
}
