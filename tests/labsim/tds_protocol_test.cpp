// The TDS server at the byte level: attention in every state, what ends a
// connection (and only that one), clients that vanish, and stopping.

#include "tds_fake_engine.h"
#include "tds_raw_client.h"

#include <gtest/gtest.h>

#include <chrono>

namespace labsim::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kBatch = 0x01, kRpc = 0x03, kAttention = 0x06, kLogin = 0x10;

const std::string kSelect = "select a";

struct Logged {
    ServedEngine served;
    RawClient client{served.port};
    Logged()
    {
        served.engine.on(kSelect, {{resultSet({{"A", ColumnType::Int}}, {{std::int64_t{1}}})}});
        const auto answer = client.logIn();
        EXPECT_TRUE(answer && lastDone(*answer) && lastDone(*answer)->status == 0);
    }
};

TEST(TdsProtocol, AttentionIsAcknowledgedIdleAfterTheResultAndDuringABatch)
{
    Logged logged;
    auto &client = logged.client;

    client.send(packet(kAttention, {}));
    auto ack = client.receive();
    ASSERT_TRUE(ack);
    EXPECT_EQ(*ack, (Bytes{0xFD, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    client.send(packet(kBatch, sqlBatch(kSelect)));
    auto result = client.receive();
    ASSERT_TRUE(result);
    EXPECT_EQ(lastDone(*result)->status, 0x10);
    client.send(packet(kAttention, {}));
    ack = client.receive();
    ASSERT_TRUE(ack);
    EXPECT_EQ(lastDone(*ack)->status, 0x20);

    client.send(packet(kBatch, sqlBatch("waitfor 30")));
    ASSERT_TRUE(logged.served.engine.waitFor([](const FakeEngine &e) { return e.batches().size() == 2; }));
    const auto sent = std::chrono::steady_clock::now();
    client.send(packet(kAttention, {}));
    ack = client.receive();
    ASSERT_TRUE(ack);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, 2s);
    EXPECT_EQ(*ack, (Bytes{0xFD, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0})); // the cancelled batch says nothing
    EXPECT_EQ(logged.served.engine.cancelledBatches(), 1);

    client.send(packet(kBatch, sqlBatch(kSelect)));
    result = client.receive();
    ASSERT_TRUE(result);
    EXPECT_EQ(lastDone(*result)->rowCount, 1u);
}

TEST(TdsProtocol, WhatEndsAConnectionEndsOnlyThatOne)
{
    Logged bystander;
    const auto port = bystander.served.port;
    const std::vector<std::pair<const char *, std::function<void(RawClient &)>>> cases = {
        {"malformed packet", [](RawClient &c) { c.logIn(); c.send({0x01, 0x01, 0x00, 0x02, 0, 0, 0, 0}); }},
        {"garbage instead of a login", [](RawClient &c) { c.send(packet(kLogin, {1, 2, 3})); }},
        {"batch before the login", [](RawClient &c) { c.send(packet(kBatch, sqlBatch(kSelect))); }},
        {"second login", [](RawClient &c) { c.logIn(); c.send(packet(kLogin, login7({}))); }},
        {"refused login", [](RawClient &c) {
             Login7Fields wrong;
             wrong.password = scramble(utf16le("guess"));
             const auto answer = c.logIn(wrong);
             ASSERT_TRUE(answer);
             EXPECT_EQ((*answer)[0], 0xAA);
             EXPECT_EQ(lastDone(*answer)->status, 0x02);
         }},
        {"TDS 7.0", [](RawClient &c) {
             Login7Fields old;
             old.version = 0x70000000;
             const auto answer = c.logIn(old);
             ASSERT_TRUE(answer);
             EXPECT_EQ((*answer)[0], 0xAA);
         }},
        {"flood of requests", [](RawClient &c) {
             c.logIn();
             Bytes many;
             for (int i = 0; i < 40; ++i) {
                 const Bytes one = packet(kBatch, sqlBatch("waitfor 1"));
                 many.insert(many.end(), one.begin(), one.end());
             }
             c.send(many);
         }},
    };
    for (const auto &[what, act] : cases) {
        RawClient client(port);
        act(client);
        EXPECT_TRUE(client.closedByServer()) << what;

        bystander.client.send(packet(kBatch, sqlBatch(kSelect)));
        const auto result = bystander.client.receive();
        ASSERT_TRUE(result) << what;
        EXPECT_EQ(lastDone(*result)->rowCount, 1u) << what;
    }
}

TEST(TdsProtocol, OtherRequestsAreRefusedAndTheConnectionGoesOn)
{
    Logged logged;
    logged.client.send(packet(kRpc, {0x0A, 0x00, 's', 0, 'p', 0}));
    const auto refusal = logged.client.receive();
    ASSERT_TRUE(refusal);
    EXPECT_EQ((*refusal)[0], 0xAA);
    EXPECT_EQ(lastDone(*refusal)->status, 0x02);

    logged.client.send(packet(kBatch, sqlBatch(kSelect)));
    EXPECT_TRUE(logged.client.receive());
}

TEST(TdsProtocol, AnswersAreSplitAtTheNegotiatedPacketSize)
{
    ServedEngine served;
    std::vector<Row> rows(200, Row{std::string(40, 'r')});
    served.engine.on(kSelect, {{resultSet({{"R", ColumnType::Text}}, rows)}});
    RawClient client(served.port);
    Login7Fields small;
    small.packetSize = 512;
    ASSERT_TRUE(client.logIn(small));
    client.send(packet(kBatch, sqlBatch(kSelect)));
    const auto result = client.receive();
    ASSERT_TRUE(result);
    EXPECT_GT(result->size(), 200u * 80);
    EXPECT_EQ(client.largestPacket, 512u);
}

TEST(TdsProtocol, AClientThatVanishesCancelsItsBatchAndClosesItsConnection)
{
    ServedEngine served;
    {
        RawClient client(served.port);
        ASSERT_TRUE(client.logIn());
        client.send(packet(kBatch, sqlBatch("waitfor 30")));
        ASSERT_TRUE(served.engine.waitFor([](const FakeEngine &e) { return e.batches().size() == 1; }));
    }
    EXPECT_TRUE(served.engine.waitFor([](const FakeEngine &e) { return e.cancelledBatches() == 1 && e.closed() == std::set<int>{1}; }, 3s));
}

TEST(TdsProtocol, StopEndsRunningBatchesAndIdleClients)
{
    ServedEngine served;
    RawClient idle(served.port), busy(served.port), silent(served.port);
    ASSERT_TRUE(idle.logIn());
    ASSERT_TRUE(busy.logIn());
    busy.send(packet(kBatch, sqlBatch("waitfor 30")));
    ASSERT_TRUE(served.engine.waitFor([](const FakeEngine &e) { return e.batches().size() == 1; }));

    const auto started = std::chrono::steady_clock::now();
    served.server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
    EXPECT_TRUE(idle.closedByServer(1000));
    EXPECT_TRUE(busy.closedByServer(1000));
    EXPECT_TRUE(silent.closedByServer(1000));
    EXPECT_EQ(served.engine.closed(), (std::set<int>{1, 2, 3}));
    EXPECT_FALSE(RawClient(served.port).connected());
}

} // namespace
} // namespace labsim::test
