// The TDS codec on hand-made bytes: framing, PRELOGIN, LOGIN7, batches and
// the token encoders.

#include "labsim/tds/answers.h"
#include "labsim/tds/packet.h"
#include "labsim/tds/requests.h"

#include "tds_raw_client.h"

#include <gtest/gtest.h>

namespace labsim::tds {
namespace {

using test::login7;
using test::Login7Fields;
using test::packet;

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto &part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

TEST(TdsFraming, JoinsThePacketsOfAMessageHoweverTheBytesArrive)
{
    const Bytes stream = concat({packet(0x01, {1, 2, 3}, 0x00), packet(0x01, {4}, 0x00), packet(0x01, {5, 6}, 0x01),
                                 packet(0x06, {}, 0x01)});
    for (const std::size_t chunk : {stream.size(), std::size_t{1}, std::size_t{7}}) {
        MessageAssembler assembler;
        std::vector<ClientMessage> messages;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            assembler.feed(ByteView(stream).subspan(at, std::min(chunk, stream.size() - at)));
            while (auto message = assembler.next()) messages.push_back(std::move(*message));
        }
        ASSERT_EQ(messages.size(), 2u) << "chunk " << chunk;
        EXPECT_EQ(messages[0].type, 0x01);
        EXPECT_EQ(messages[0].payload, (Bytes{1, 2, 3, 4, 5, 6}));
        EXPECT_EQ(messages[1].type, 0x06);
        EXPECT_TRUE(messages[1].payload.empty());
    }
}

TEST(TdsFraming, AttentionAbandonsAHalfSentMessage)
{
    MessageAssembler assembler;
    assembler.feed(concat({packet(0x01, {1, 2}, 0x00), packet(0x06, {}), packet(0x01, {9}, 0x01)}));
    EXPECT_EQ(assembler.next()->type, 0x06);
    EXPECT_EQ(assembler.next()->payload, (Bytes{9}));
    EXPECT_FALSE(assembler.next());
}

TEST(TdsFraming, MalformedPacketsAreRefused)
{
    const std::vector<std::pair<const char *, Bytes>> cases = {
        {"length below the header", {0x01, 0x01, 0x00, 0x07, 0, 0, 1, 0}},
        {"server packet type", packet(0x04, {1})},
        {"unknown packet type", packet(0x55, {1})},
        {"type changes inside a message", concat({packet(0x01, {1}, 0x00), packet(0x10, {2})})},
    };
    for (const auto &[what, bytes] : cases) {
        MessageAssembler assembler;
        assembler.feed(bytes);
        EXPECT_THROW(assembler.next(), ProtocolError) << what;
    }

    MessageAssembler endless;
    const Bytes part = packet(0x01, Bytes(32000, 0), 0x00);
    EXPECT_THROW(
        for (;;) {
            endless.feed(part);
            endless.next();
        },
        ProtocolError);
}

TEST(TdsFraming, AnswersAreSplitAtThePacketSize)
{
    EXPECT_EQ(framePackets(0x04, Bytes{0xAA, 0xBB, 0xCC}, 4096, 7),
              (Bytes{0x04, 0x01, 0x00, 0x0B, 0x00, 0x07, 0x01, 0x00, 0xAA, 0xBB, 0xCC}));

    Bytes payload(10000);
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
    const Bytes framed = framePackets(0x04, payload, 4096, 1);
    ASSERT_EQ(framed.size(), payload.size() + 3 * 8);
    const std::size_t second = 4096, third = 8192;
    EXPECT_EQ((Bytes(framed.begin(), framed.begin() + 8)), (Bytes{0x04, 0x00, 0x10, 0x00, 0x00, 0x01, 0x01, 0x00}));
    EXPECT_EQ((Bytes(framed.begin() + second, framed.begin() + second + 8)), (Bytes{0x04, 0x00, 0x10, 0x00, 0x00, 0x01, 0x02, 0x00}));
    EXPECT_EQ((Bytes(framed.begin() + third, framed.begin() + third + 8)), (Bytes{0x04, 0x01, 0x07, 0x28, 0x00, 0x01, 0x03, 0x00}));
    Bytes joined;
    for (const std::size_t at : {std::size_t{0}, second, third}) {
        const std::size_t length = framed[at + 2] << 8 | framed[at + 3];
        joined.insert(joined.end(), framed.begin() + at + 8, framed.begin() + at + length);
    }
    EXPECT_EQ(joined, payload);
}

TEST(TdsPreLogin, ReadsTheClientsEncryptionAndAnswersNotSupported)
{
    EXPECT_EQ(decodePreLogin(test::preLogin()).encryption, 0x00);
    EXPECT_EQ(decodePreLogin(encodePreLoginAnswer()).encryption, 0x02);
    EXPECT_THROW(decodePreLogin(Bytes{0x01, 0x00, 0x10, 0x00, 0x01, 0xFF}), ProtocolError); // option past the end
    EXPECT_THROW(decodePreLogin(Bytes{0x01, 0x00, 0x05, 0x00, 0x00}), ProtocolError);       // no terminator
}

TEST(TdsLogin7, DecodesTheFieldsAndUnscramblesThePassword)
{
    Login7Fields fields;
    fields.password = {0x73, 0xA5, 0x13, 0xA5, 0x36, 0xA5, 0xA6, 0xA5, 0xD6, 0xA5, 0x96, 0xA5, 0x02, 0xA5, 0x82, 0xA5};
    fields.database = "routing";
    fields.featureExt = {0x0A, 0x01, 0x00, 0x00, 0x00, 0x01, 0xFF};
    const Login7 login = decodeLogin7(login7(fields));
    EXPECT_EQ(login.tdsVersion, tds_version::k74);
    EXPECT_EQ(login.packetSize, 4096u);
    EXPECT_EQ(login.hostName, "bench01");
    EXPECT_EQ(login.userName, "sa");
    EXPECT_EQ(login.password, "mk9073zr");
    EXPECT_EQ(login.appName, "raw");
    EXPECT_EQ(login.serverName, "127.0.0.1");
    EXPECT_EQ(login.libraryName, "raw-client");
    EXPECT_EQ(login.database, "routing");

    EXPECT_EQ(unscramblePassword(Bytes{0xB3, 0xA5}), (Bytes{'a', 0x00}));
    fields.password = test::scramble(test::utf16le("o'hara"));
    EXPECT_EQ(decodeLogin7(login7(fields)).password, "o'hara");
}

TEST(TdsLogin7, RefusesFieldsOutsideTheMessage)
{
    Bytes login = login7({});
    EXPECT_THROW(decodeLogin7(ByteView(login).first(30)), ProtocolError);
    EXPECT_THROW(decodeLogin7(ByteView(login).first(login.size() - 1)), ProtocolError); // declared length too long

    Bytes userOutside = login;
    userOutside[40] = 0xF0; // UserName offset far past the end
    EXPECT_THROW(decodeLogin7(userOutside), ProtocolError);
}

TEST(TdsLogin7, NegotiatesTheVersion)
{
    const std::vector<std::pair<std::uint32_t, std::optional<std::uint32_t>>> cases = {
        {0x70000000, std::nullopt},           {tds_version::k71, tds_version::k71}, {tds_version::k72, tds_version::k72},
        {tds_version::k73A, tds_version::k73A}, {tds_version::k73B, tds_version::k73B}, {tds_version::k74, tds_version::k74},
        {0x75000005, tds_version::k74},
    };
    for (const auto &[requested, spoken] : cases) EXPECT_EQ(negotiateVersion(requested), spoken) << std::hex << requested;
}

TEST(TdsSqlBatch, SkipsAllHeadersFrom72)
{
    EXPECT_EQ(decodeSqlBatch(test::sqlBatch("select 1\n"), tds_version::k74), "select 1\n");
    EXPECT_EQ(decodeSqlBatch(test::utf16le("select 1"), tds_version::k71), "select 1");
    EXPECT_EQ(decodeSqlBatch(Bytes{0x04, 0, 0, 0, 0xE9, 0x00, 0x3D, 0xD8, 0x00, 0xDE}, tds_version::k74), "é😀");
    EXPECT_THROW(decodeSqlBatch(Bytes{0x40, 0, 0, 0, 0x41, 0}, tds_version::k74), ProtocolError);
    EXPECT_THROW(decodeSqlBatch(Bytes{0x0A, 0, 0, 0, 0x20, 0, 0, 0, 0x02, 0}, tds_version::k74), ProtocolError);
}

TEST(TdsDateTime, MillisecondsRoundToTicksAndCarryIntoTheNextDay)
{
    const std::vector<std::pair<DateTime, DateTimeTicks>> cases = {
        {{1900, 1, 1, 0, 0, 0, 0}, {0, 0}},
        {{1899, 12, 31, 0, 0, 0, 0}, {-1, 0}},
        {{1753, 1, 1, 0, 0, 0, 0}, {-53690, 0}},
        {{2000, 3, 1, 12, 0, 0, 0}, {36584, 12960000}},
        {{1900, 1, 1, 0, 0, 0, 1}, {0, 0}},
        {{1900, 1, 1, 0, 0, 0, 2}, {0, 1}},
        {{1900, 1, 1, 0, 0, 0, 5}, {0, 2}},
        {{1900, 1, 1, 0, 0, 1, 998}, {0, 599}},
        {{2024, 2, 29, 23, 59, 59, 998}, {45349, 25919999}},
        {{2024, 2, 29, 23, 59, 59, 999}, {45350, 0}},
    };
    for (const auto &[moment, wire] : cases)
        EXPECT_EQ(toDateTimeTicks(moment), wire) << moment.year << "-" << moment.month << "-" << moment.day << " ms " << moment.millisecond;
}

TEST(TdsTokens, DoneAndMessagesAreNarrowerBefore72)
{
    TokenWriter modern(tds_version::k74), old(tds_version::k71);
    modern.done(0x11, 0xC1, 5);
    old.done(0x11, 0xC1, 5);
    EXPECT_EQ(modern.take(), (Bytes{0xFD, 0x11, 0x00, 0xC1, 0x00, 5, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(old.take(), (Bytes{0xFD, 0x11, 0x00, 0xC1, 0x00, 5, 0, 0, 0}));

    const Message error{208, 1, 16, "No x.", "p", 3};
    modern.message(error);
    old.message({208, 1, 10, "No x.", "p", 3});
    const Bytes server = test::utf16le("LABSIM");
    EXPECT_EQ(modern.take(), concat({{0xAA, 38, 0, 0xD0, 0, 0, 0, 1, 16, 5, 0}, test::utf16le("No x."), {6}, server, {1},
                                     test::utf16le("p"), {3, 0, 0, 0}}));
    EXPECT_EQ(old.take(), concat({{0xAB, 36, 0, 0xD0, 0, 0, 0, 1, 10, 5, 0}, test::utf16le("No x."), {6}, server, {1},
                                  test::utf16le("p"), {3, 0}}));
}

TEST(TdsTokens, ResultSetOfEachTypeWithNulls)
{
    const std::vector<Column> columns = {{"I", ColumnType::Int}, {"F", ColumnType::Float}, {"T", ColumnType::Text},
                                         {"D", ColumnType::DateTime}};
    const std::vector<Row> rows = {{std::int64_t{-2}, 0.5, std::string("é"), DateTime{1900, 1, 2, 0, 0, 1, 0}},
                                   {Cell{}, Cell{}, Cell{}, Cell{}}};
    const auto wire = wireColumns(columns, rows, tds_version::k74);
    TokenWriter out(tds_version::k74);
    out.columnMetadata(wire);
    for (const auto &row : rows) out.row(wire, row);
    const Bytes collation = {0x09, 0x04, 0xD0, 0x00, 0x34};
    EXPECT_EQ(out.take(), concat({
        {0x81, 4, 0},
        {0, 0, 0, 0, 0x09, 0, 0x26, 4, 1, 'I', 0},
        {0, 0, 0, 0, 0x09, 0, 0x6D, 8, 1, 'F', 0},
        {0, 0, 0, 0, 0x09, 0, 0xE7, 0x40, 0x1F}, collation, {1, 'T', 0},
        {0, 0, 0, 0, 0x09, 0, 0x6F, 8, 1, 'D', 0},
        {0xD1, 4, 0xFE, 0xFF, 0xFF, 0xFF, 8, 0, 0, 0, 0, 0, 0, 0xE0, 0x3F, 2, 0, 0xE9, 0x00, 8, 1, 0, 0, 0, 0x2C, 1, 0, 0},
        {0xD1, 0, 0, 0xFF, 0xFF, 0},
    }));
}

TEST(TdsTokens, WideValuesGetWiderTypes)
{
    const std::vector<Column> columns = {{"N", ColumnType::Int}, {"T", ColumnType::Text}};
    const std::string longText(4001, 'a');
    const std::vector<Row> rows = {{std::int64_t{2147483648LL}, longText}, {std::string("12"), std::int64_t{12}}};
    const auto modern = wireColumns(columns, rows, tds_version::k72);
    EXPECT_EQ(modern[0].type, WireType::Int8);
    EXPECT_EQ(modern[1].type, WireType::NVarCharMax);
    EXPECT_EQ(wireColumns(columns, rows, tds_version::k71)[1].type, WireType::NText);
    EXPECT_EQ(wireColumns(columns, {{std::int64_t{-2147483648LL}, std::string(4000, 'b')}}, tds_version::k74)[0].type, WireType::Int4);

    TokenWriter out(tds_version::k74);
    out.row(modern, rows[1]);
    EXPECT_EQ(out.take(), (Bytes{0xD1, 8, 12, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, '1', 0, '2', 0, 0, 0, 0, 0}));
}

TEST(TdsTokens, EachStatementEndsWithItsDone)
{
    StatementResult update;
    update.rowCount = 3;
    StatementResult failed;
    failed.messages.push_back({208, 1, 16, "x", "", 1});
    failed.failed = true;
    StatementResult select;
    select.columns = std::vector<Column>{{"A", ColumnType::Int}};
    select.rowCount = 0;
    const Bytes answer = encodeBatchResult({{update, failed, select}}, tds_version::k74);

    const auto slice = [&](std::size_t at, std::size_t count) { return Bytes(answer.begin() + at, answer.begin() + at + count); };
    EXPECT_EQ(slice(0, 13), (Bytes{0xFD, 0x11, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}));
    ASSERT_EQ(answer[13], 0xAA);
    const std::size_t errorEnd = 13 + 3 + (answer[14] | answer[15] << 8);
    EXPECT_EQ(slice(errorEnd, 13), (Bytes{0xFD, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(answer[errorEnd + 13], 0x81);
    EXPECT_EQ(slice(answer.size() - 13, 13), (Bytes{0xFD, 0x10, 0, 0xC1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    EXPECT_EQ(encodeBatchResult({}, tds_version::k74), (Bytes{0xFD, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(encodeAttentionAck(tds_version::k71), (Bytes{0xFD, 0x20, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace
} // namespace labsim::tds
