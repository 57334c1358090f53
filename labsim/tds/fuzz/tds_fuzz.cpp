// libFuzzer harness: the bytes a client could send on one connection, fed to
// the framing in uneven chunks; each message decoded by every decoder that
// fits its type (PRELOGIN, LOGIN7, SQL batches of both header layouts), and
// the whole sequence served by a session over an engine that echoes.

#include "labsim/tds/answers.h"
#include "labsim/tds/packet.h"
#include "labsim/tds/requests.h"
#include "labsim/tds/session.h"

#include <cstddef>
#include <cstdint>

using namespace labsim::tds;

namespace {

// Lets the built-in user in (whatever the password, so that mutated logins
// still reach the batches) and answers each batch with its own text.
class EchoEngine : public labsim::Engine {
public:
    bool acceptLogin(const std::string &user, const std::string &) override { return user == "sa"; }
    labsim::BatchResult runBatch(int, const std::string &sql, const std::atomic<bool> &) override
    {
        labsim::StatementResult echo;
        echo.columns = std::vector<labsim::Column>{{sql.substr(0, 300), labsim::ColumnType::Text},
                                                   {"N", labsim::ColumnType::Int}};
        echo.rows.push_back({sql, static_cast<std::int64_t>(sql.size())});
        echo.rowCount = 1;
        echo.messages.push_back({102, 1, 15, "Incorrect syntax near '" + sql + "'.", "", 1});
        return {{echo, echo}, false};
    }
};

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
    EchoEngine engine;
    std::atomic<bool> cancelled{false};
    Session session(engine, 1, cancelled);
    bool sessionOpen = true;
    try {
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            assembler.feed(stream.subspan(at, std::min(chunk, stream.size() - at)));
            while (auto message = assembler.next()) {
                decode(*message);
                if (!sessionOpen) continue;
                try {
                    sessionOpen = !session.handle(*message).close;
                } catch (const ProtocolError &) {
                    sessionOpen = false;
                }
            }
        }
    } catch (const ProtocolError &) {
    }
    return 0;
}
