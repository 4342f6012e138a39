// Success paths of the transport and every inclusive size limit with one
// byte past it, against the scripted peer.

#include "net/message_codec.h"
#include "net/socket_transport.h"
#include "net/websocket_frame.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::msgpackHex;
using testing::pumpUntil;
using testing::TestPeer;
using testing::toHex;

using testing::kReply;
using testing::kRequest;

json rawFrame(int opcode, const std::string& payload, bool fin) {
    return {{"opcode", opcode}, {"hex", toHex(payload)}, {"fin", fin}};
}

// A MessagePack map {"data": <bin32>, "type": "assetChunk"} of exactly
// `total` bytes.
std::string assetMessageOfSize(size_t total) {
    const size_t overhead = 1 + 5 + 5 + 5 + 1 + 10;
    std::vector<uint8_t> data(total - overhead);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
    const auto bytes = json::to_msgpack(json{{"type", "assetChunk"}, {"data", json::binary(data)}});
    return std::string(bytes.begin(), bytes.end());
}

// JSON text whose MessagePack form is exactly `total` bytes (above 65545).
std::string jsonTextOfPackedSize(size_t total) {
    // map(1) + "pad"(4) + str32 header(5) + text
    return json{{"pad", std::string(total - 10, 'q')}}.dump();
}

std::string decoded(const std::string& bytes) {
    return decodeMessage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

struct Connection {
    CallbackRecorder recorder;
    std::unique_ptr<SocketTransport> transport;
    explicit Connection(bool withOnError = true)
        : transport(createSocketTransport(recorder.callbacks(withOnError), systemTransportCalls())) {}
    bool open(const std::string& url) {
        transport->connect(url);
        return pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); }) && recorder.opens > 0;
    }
};

TEST(TransportSuccess, FragmentsTrickledByteByByteWithPingBetween) {
    const auto packed = json::to_msgpack(json{{"type", "chat"}, {"text", "hello there, one byte at a time"}});
    const std::string message(packed.begin(), packed.end());
    const std::string ping = "ping-in-the-middle";
    TestPeer peer({{"mode", "raw"},
                   {"actions",
                    {kRequest,
                     kReply,
                     {{"do", "frames"},
                      {"trickle", true},
                      {"list",
                       {rawFrame(2, message.substr(0, 5), false), rawFrame(9, ping, true),
                        rawFrame(0, message.substr(5, 10), false), rawFrame(1, message.substr(15), true)}}},
                     {{"do", "read_frames"}, {"count", 1}}}}});
    Connection c;
    ASSERT_TRUE(c.open(peer.url())) << c.recorder.error();
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return !c.recorder.messages.empty() || c.recorder.ended(); }));
    EXPECT_EQ(c.recorder.error(), "");
    ASSERT_EQ(c.recorder.messages.size(), 1u);
    EXPECT_EQ(c.recorder.messages[0], R"({"text":"hello there, one byte at a time","type":"chat"})");
    TestPeer::Frame pong;
    ASSERT_TRUE(peer.nextFrame(pong)) << peer.allLines();
    EXPECT_EQ(pong.opcode, kOpcodePong);
    EXPECT_TRUE(pong.fin);
    EXPECT_TRUE(pong.masked);
    EXPECT_EQ(pong.key.size(), 4u);
    EXPECT_EQ(pong.payload, ping);
}

TEST(TransportSuccess, FramesInTheSameSegmentAsTheReplyArriveRightAfterOpen) {
    const auto first = json::to_msgpack(json{{"type", "a"}});
    const auto second = json::to_msgpack(json{{"type", "b"}});
    std::string tail =
        toHex(std::string{'\x82', static_cast<char>(first.size())} + std::string(first.begin(), first.end()));
    tail += toHex(std::string{'\x82', static_cast<char>(second.size())} + std::string(second.begin(), second.end()));
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, {{"do", "reply"}, {"tail_hex", tail}}}}});
    Connection c;
    size_t messagesAtOpen = 99;
    c.recorder.afterOpen = [&] { messagesAtOpen = c.recorder.messages.size(); };
    c.transport->connect(peer.url());
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return c.recorder.opens > 0 || c.recorder.ended(); }));
    // Delivered within the very poll that opened the connection.
    EXPECT_EQ(messagesAtOpen, 0u);
    ASSERT_EQ(c.recorder.messages.size(), 2u);
    EXPECT_EQ(c.recorder.messages[0], R"({"type":"a"})");
    EXPECT_EQ(c.recorder.messages[1], R"({"type":"b"})");
}

TEST(TransportSuccess, ReplyHeaderOfExactlyTheLimitOpens) {
    TestPeer peer(
        {{"mode", "raw"}, {"actions", {kRequest, {{"do", "reply"}, {"pad_header_to", kUpgradeHeaderBytes}}}}});
    Connection c;
    EXPECT_TRUE(c.open(peer.url())) << c.recorder.error();
}

struct ReceiveCase {
    const char* name;
    size_t messageBytes;
    std::vector<size_t> fragments;  // empty: one frame
    const char* error;              // empty: delivered
};

class TransportReceiveLimit : public ::testing::TestWithParam<ReceiveCase> {};

TEST_P(TransportReceiveLimit, HoldsInclusively) {
    const ReceiveCase& c = GetParam();
    const std::string message = assetMessageOfSize(c.messageBytes);
    const std::string directory = testing::makeTempDirectory("vobu-message");
    const std::string path = directory + "/message.bin";
    std::ofstream(path, std::ios::binary) << message;
    json send = {{"do", "send"}, {"file", path}};
    if (!c.fragments.empty()) send["fragments"] = c.fragments;
    TestPeer sender({{"mode", "library"}, {"actions", {send}}});
    Connection connection;
    ASSERT_TRUE(connection.open(sender.url())) << connection.recorder.error();
    ASSERT_TRUE(pumpUntil(*connection.transport,
                          [&] { return !connection.recorder.messages.empty() || connection.recorder.ended(); }));
    if (std::string(c.error).empty()) {
        EXPECT_EQ(connection.recorder.error(), "");
        ASSERT_EQ(connection.recorder.messages.size(), 1u);
        EXPECT_EQ(connection.recorder.messages[0], decoded(message));
    } else {
        EXPECT_EQ(connection.recorder.error(), c.error);
        EXPECT_TRUE(connection.recorder.messages.empty());
    }
    std::filesystem::remove_all(directory);
}

// A single frame of the library carries a 10-byte header past 65535 bytes.
INSTANTIATE_TEST_SUITE_P(
    Sizes, TransportReceiveLimit,
    ::testing::Values(ReceiveCase{"MebibyteInTwoFrames", kMessageBytes, {524288, 524288}, ""},
                      ReceiveCase{
                          "MebibytePlusOneInTwoFrames", kMessageBytes + 1, {524288, 524289}, "ERR_MESSAGE_BYTES"},
                      ReceiveCase{"TwoFramesOf600000", 1200000, {600000, 600000}, "ERR_MESSAGE_BYTES"},
                      ReceiveCase{"FrameOfTheLimit", kReceiveFrameBytes - 10, {}, ""},
                      ReceiveCase{"FrameOneBytePastTheLimit", kReceiveFrameBytes - 9, {}, "ERR_RECEIVE_BYTES"},
                      ReceiveCase{"SingleFrameOfAMebibyte", kMessageBytes, {}, "ERR_RECEIVE_BYTES"}),
    [](const ::testing::TestParamInfo<ReceiveCase>& info) { return std::string(info.param.name); });

// One unfragmented binary frame as the server writes it.
std::string serverFrame(const std::string& payload) {
    std::string frame = {'\x82'};
    if (payload.size() < 126) {
        frame.push_back(static_cast<char>(payload.size()));
    } else {
        frame.push_back(static_cast<char>(127));
        for (int shift = 56; shift >= 0; shift -= 8)
            frame.push_back(static_cast<char>(uint64_t(payload.size()) >> shift));
    }
    return frame + payload;
}

// Frames written back to back in one write, so the read that completes one
// frame also brings the start of the next: each frame is judged on its own
// size, whatever arrives with it.
struct BurstCase {
    const char* name;
    std::vector<size_t> messageBytes;
    size_t delivered;
    const char* error;
};

class TransportReceiveBurst : public ::testing::TestWithParam<BurstCase> {};

TEST_P(TransportReceiveBurst, JudgesEachFrameAlone) {
    const BurstCase& c = GetParam();
    std::vector<std::string> messages;
    std::string bytes;
    const auto shortMessage = json::to_msgpack(json{{"type", "short"}});
    messages.emplace_back(shortMessage.begin(), shortMessage.end());
    for (size_t size : c.messageBytes) messages.push_back(assetMessageOfSize(size));
    for (const std::string& message : messages) bytes += serverFrame(message);
    const std::string directory = testing::makeTempDirectory("vobu-burst");
    const std::string path = directory + "/burst.bin";
    std::ofstream(path, std::ios::binary) << bytes;
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, kReply, {{"do", "write"}, {"file", path}}}}});
    Connection connection;
    ASSERT_TRUE(connection.open(peer.url())) << connection.recorder.error();
    ASSERT_TRUE(pumpUntil(
        *connection.transport,
        [&] { return connection.recorder.messages.size() == 1 + c.messageBytes.size() || connection.recorder.ended(); },
        20000));
    EXPECT_EQ(connection.recorder.error(), c.error);
    ASSERT_EQ(connection.recorder.messages.size(), c.delivered);
    for (size_t i = 0; i < c.delivered; ++i) EXPECT_EQ(connection.recorder.messages[i], decoded(messages[i])) << i;
    std::filesystem::remove_all(directory);
}

// A short message first puts the frame ends off the read boundaries.
INSTANTIATE_TEST_SUITE_P(
    Frames, TransportReceiveBurst,
    ::testing::Values(
        BurstCase{"ShortThenTwoJustUnderAMebibyte", {kReceiveFrameBytes - 100, kReceiveFrameBytes - 100}, 3, ""},
        BurstCase{"ShortThenTwoOfTheLimit", {kReceiveFrameBytes - 10, kReceiveFrameBytes - 10}, 3, ""},
        BurstCase{"ShortThenOneBytePastTheLimit", {kReceiveFrameBytes - 9}, 1, "ERR_RECEIVE_BYTES"},
        BurstCase{"LimitThenOneBytePast", {kReceiveFrameBytes - 10, kReceiveFrameBytes - 9}, 2, "ERR_RECEIVE_BYTES"}),
    [](const ::testing::TestParamInfo<BurstCase>& info) { return std::string(info.param.name); });

TEST(TransportSuccess, ControlFrameOfTheLimitIsAnswered) {
    TestPeer peer(
        {{"mode", "library"}, {"actions", {{{"do", "ping"}, {"hex", std::string(2 * kControlPayloadBytes, 'c')}}}}});
    Connection c;
    ASSERT_TRUE(c.open(peer.url()));
    std::string line;
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return peer.waitFor("PONG", line, 1) || c.recorder.ended(); }));
    EXPECT_EQ(c.recorder.error(), "");
}

TEST(TransportSend, PayloadOfTheLimitGoesOutOneBytePastFails) {
    TestPeer peer({{"mode", "library"}, {"actions", {{{"do", "recv"}}}}});
    Connection c;
    ASSERT_TRUE(c.open(peer.url()));
    const std::string text = jsonTextOfPackedSize(kSendPayloadBytes);
    ASSERT_EQ(encodeMessage(text).size(), kSendPayloadBytes);
    c.transport->send(text);
    std::string received;
    ASSERT_TRUE(pumpUntil(*c.transport, [&] {
        std::string line;
        if (peer.waitFor("RECV ", line, 1)) received = testing::fromHex(line.substr(5));
        return !received.empty() || c.recorder.ended();
    }));
    EXPECT_EQ(received, encodeMessage(text));
    EXPECT_EQ(c.recorder.error(), "");

    c.transport->send(jsonTextOfPackedSize(kSendPayloadBytes + 1));
    EXPECT_EQ(c.recorder.error(), "ERR_SEND_BYTES");
}

TEST(TransportSend, MessagesBeforeOpenAreDroppedSilently) {
    TestPeer peer({{"mode", "library"}, {"actions", {{{"do", "recv"}}}}});
    Connection c;
    c.recorder.afterOpen = [&] { c.transport->send(R"({"type":"fromOpen"})"); };
    c.transport->send(R"({"type":"beforeConnect"})");
    c.transport->connect(peer.url());
    c.transport->send(R"({"type":"beforeOpen"})");
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return c.recorder.opens > 0 || c.recorder.ended(); }));
    const std::string first = peer.nextReceived();
    EXPECT_EQ(json::from_msgpack(first.begin(), first.end())["type"], "fromOpen");
    EXPECT_TRUE(c.recorder.errors.empty());
}

TEST(TransportSend, BadJsonTextFailsTheConnection) {
    TestPeer peer({{"mode", "library"}, {"actions", json::array()}});
    Connection c;
    ASSERT_TRUE(c.open(peer.url()));
    c.transport->send("{not json");
    EXPECT_EQ(c.recorder.error().rfind("[json.exception.parse_error", 0), 0u) << c.recorder.error();
}

TEST(TransportLifecycle, CloseCallsNothingAndTheTransportConnectsAgain) {
    TestPeer first(
        {{"mode", "library"},
         {"actions", {{{"do", "sleep"}, {"ms", 200}}, {{"do", "send"}, {"hex", msgpackHex({{"type", "late"}})}}}}});
    Connection c;
    ASSERT_TRUE(c.open(first.url()));
    c.transport->close();
    c.transport->close();
    for (int i = 0; i < 20; ++i) {
        c.transport->poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(15));
    }
    EXPECT_TRUE(c.recorder.messages.empty());
    EXPECT_FALSE(c.recorder.ended());

    TestPeer second({{"mode", "library"}, {"actions", {{{"do", "send"}, {"hex", msgpackHex({{"type", "again"}})}}}}});
    ASSERT_TRUE(c.open(second.url()));
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return !c.recorder.messages.empty() || c.recorder.ended(); }));
    EXPECT_EQ(c.recorder.messages, std::vector<std::string>{R"({"type":"again"})"});
    EXPECT_EQ(c.recorder.opens, 2);
}

TEST(TransportLifecycle, WithoutOnErrorAFailureCallsOnCloseOnce) {
    TestPeer peer({{"mode", "library"}, {"actions", {{{"do", "close"}}}}});
    Connection c(false);
    ASSERT_TRUE(c.open(peer.url()));
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return c.recorder.ended(); }));
    for (int i = 0; i < 10; ++i) c.transport->poll();
    EXPECT_EQ(c.recorder.closes, 1);
    EXPECT_TRUE(c.recorder.errors.empty());
}

TEST(TransportLifecycle, ClosingInsideOnMessageStopsTheFrameLoop) {
    TestPeer peer({{"mode", "raw"},
                   {"actions",
                    {kRequest,
                     kReply,
                     {{"do", "write"},
                      {"hex",
                       "820481a16101"
                       "820481a16202"}}}}});
    Connection c;
    c.recorder.afterMessage = [&](const std::string&) { c.transport->close(); };
    ASSERT_TRUE(c.open(peer.url()));
    // Waits on the wall clock, not a count of polls: a loaded machine may
    // deliver the frames late.
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return !c.recorder.messages.empty() || c.recorder.ended(); }));
    for (int i = 0; i < 10; ++i) c.transport->poll();
    EXPECT_EQ(c.recorder.messages, std::vector<std::string>{R"({"a":1})"});
    EXPECT_FALSE(c.recorder.ended());
}

TEST(TransportLifecycle, AnExceptionFromOnMessageFailsTheConnection) {
    TestPeer peer({{"mode", "library"}, {"actions", {{{"do", "send"}, {"hex", msgpackHex({{"type", "boom"}})}}}}});
    Connection c;
    c.recorder.afterMessage = [](const std::string&) { throw std::runtime_error("owner failed"); };
    ASSERT_TRUE(c.open(peer.url()));
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return c.recorder.ended(); }));
    EXPECT_EQ(c.recorder.error(), "owner failed");
}

TEST(TransportLifecycle, ConnectFromOnErrorStartsAFreshConnection) {
    TestPeer failing({{"mode", "library"}, {"actions", {{{"do", "sleep"}, {"ms", 100}}, {{"do", "abort"}}}}});
    TestPeer next({{"mode", "library"}, {"actions", {{{"do", "send"}, {"hex", msgpackHex({{"type", "fresh"}})}}}}});
    CallbackRecorder recorder;
    std::unique_ptr<SocketTransport> transport;
    TransportCallbacks callbacks = recorder.callbacks();
    callbacks.onError = [&](const std::string& text) {
        recorder.errors.push_back(text);
        transport->connect(next.url());
    };
    transport = createSocketTransport(std::move(callbacks));
    transport->connect(failing.url());
    ASSERT_TRUE(pumpUntil(*transport, [&] { return !recorder.messages.empty(); })) << recorder.error();
    EXPECT_EQ(recorder.errors, std::vector<std::string>{"ERR_DISCONNECTED"});
    EXPECT_EQ(recorder.opens, 2);
    EXPECT_EQ(recorder.messages, std::vector<std::string>{R"({"type":"fresh"})"});
}

}  // namespace
}  // namespace vobu
