// The transport against the scripted peer: the ordinary paths on the
// websockets package, malformed and oddly segmented input from raw scripts.

#include "net/socket_transport.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::msgpackHex;
using testing::pumpUntil;
using testing::TestPeer;

json frameAction(int opcode, const std::string& payloadHex, bool fin = true) {
    return {{"do", "frame"}, {"opcode", opcode}, {"hex", payloadHex}, {"fin", fin}};
}

// The one-byte length code of a short unmasked frame, as hex.
std::string toHexLength(const std::string& payloadHex) {
    return testing::toHex(std::string(1, static_cast<char>(payloadHex.size() / 2)));
}

using testing::kReply;
using testing::kRequest;

struct Connection {
    CallbackRecorder recorder;
    std::unique_ptr<SocketTransport> transport;
    explicit Connection(bool withOnError = true, TransportCalls platform = systemTransportCalls())
        : transport(createSocketTransport(recorder.callbacks(withOnError), std::move(platform))) {}
};

TEST(TransportPeer, ExchangesMessagesWithALibraryServer) {
    TestPeer peer(
        {{"mode", "library"},
         {"actions",
          {{{"do", "recv"}},
           {{"do", "send"}, {"hex", msgpackHex({{"type", "welcome"}, {"n", 1}})}},
           {{"do", "ping"}, {"hex", "70696e67"}},
           {{"do", "send"}, {"hex", msgpackHex({{"type", "audioSegment"}, {"data", json::binary({1, 2, 3})}})}}}}});
    Connection c;
    c.transport->connect(peer.url("ws", "127.0.0.1", "/game?room=1"));
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return c.recorder.opens == 1 || c.recorder.ended(); }))
        << c.recorder.error();
    c.transport->send(R"({"character":{"faces":["pffdbaa","r"]},"type":"hello"})");
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return c.recorder.messages.size() == 2 || c.recorder.ended(); }))
        << peer.allLines();
    EXPECT_EQ(c.recorder.error(), "");

    const std::string received = peer.nextReceived();
    const json hello = json::from_msgpack(received.begin(), received.end());
    ASSERT_TRUE(hello["character"]["faces"][0].is_binary());
    EXPECT_EQ(hello["character"]["faces"][0].get_binary(), (std::vector<uint8_t>{0x70, 0xFF, 0xDB, 0xAA}));
    EXPECT_EQ(c.recorder.messages[0], R"({"n":1,"type":"welcome"})");
    EXPECT_EQ(c.recorder.messages[1], R"({"data":"AQID","type":"audioSegment"})");
    std::string line;
    EXPECT_TRUE(peer.waitFor("PONG", line));
    EXPECT_EQ(c.recorder.opens, 1);
}

TEST(TransportPeer, SendsTheUpgradeRequestOfTheAddress) {
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest}}});
    Connection c;
    c.transport->connect("ws://127.0.0.1:" + std::to_string(peer.port()));
    std::string line;
    ASSERT_TRUE(pumpUntil(*c.transport, [&] { return peer.waitFor("REQUEST ", line, 1); }));
    const std::string request = testing::fromHex(line.substr(8));
    const std::string expectedStart = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(peer.port()) +
                                      "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
                                      "Sec-WebSocket-Key: ";
    ASSERT_EQ(request.substr(0, expectedStart.size()), expectedStart);
    const std::string key = request.substr(expectedStart.size(), 24);
    EXPECT_EQ(testing::fromHex(testing::toHex(key)).size(), 24u);
    EXPECT_EQ(key.back(), '=');
    EXPECT_EQ(request.substr(expectedStart.size() + 24), "\r\n\r\n");
}

struct FailureCase {
    const char* name;
    json actions;
    const char* error;
};

class TransportPeerFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(TransportPeerFailure, ReportsTheCode) {
    const FailureCase& c = GetParam();
    TestPeer peer({{"mode", "raw"}, {"actions", c.actions}});
    Connection connection;
    connection.transport->connect(peer.url());
    ASSERT_TRUE(pumpUntil(*connection.transport, [&] { return connection.recorder.ended(); })) << peer.allLines();
    const std::string expected = c.error;
    // Library errors are matched by their code prefix, our own codes exactly.
    if (expected.front() == '[') {
        EXPECT_EQ(connection.recorder.error().substr(0, expected.size()), expected);
    } else {
        EXPECT_EQ(connection.recorder.error(), expected);
    }
    EXPECT_EQ(connection.recorder.errors.size(), 1u);
    EXPECT_EQ(connection.recorder.closes, 0);
    // The transport closed itself: polling and sending do nothing more.
    connection.transport->poll();
    connection.transport->send(R"({"type":"x"})");
    EXPECT_EQ(connection.recorder.errors.size(), 1u);
}

const std::string kHello = msgpackHex({{"type", "hello"}});

// {"a": [[[...1...]]]} with `depth` levels in all.
std::string nestedArraysHex(int depth) {
    std::string hex = "81a161";
    for (int level = 1; level < depth; ++level) hex += "91";
    return hex + "01";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, TransportPeerFailure,
    ::testing::Values(
        FailureCase{
            "UpgradeRejected", {kRequest, {{"do", "reply"}, {"status", "HTTP/1.1 200 OK"}}}, "ERR_UPGRADE_REJECTED"},
        FailureCase{
            "AcceptInOtherCase",
            {kRequest,
             {{"do", "reply"},
              {"headers", {"Upgrade: websocket", "Connection: Upgrade", "Sec-WebSocket-Accept: {accept_swapcase}"}}}},
            "ERR_BAD_UPGRADE"},
        FailureCase{
            "NoUpgradeHeader",
            {kRequest, {{"do", "reply"}, {"headers", {"Connection: Upgrade", "Sec-WebSocket-Accept: {accept}"}}}},
            "ERR_BAD_UPGRADE"},
        FailureCase{
            "HeaderOneBytePastLimit", {kRequest, {{"do", "reply"}, {"pad_header_to", 8193}}}, "ERR_HEADER_BYTES"},
        FailureCase{"HeaderWithoutEnd",
                    {kRequest, {{"do", "reply"}, {"pad_header_to", 8196}, {"omit_terminator", true}}},
                    "ERR_HEADER_BYTES"},
        FailureCase{"ServerClose", {kRequest, kReply, frameAction(8, "03e8")}, "ERR_SERVER_CLOSED"},
        FailureCase{"Disconnect", {kRequest, kReply, {{"do", "close_tcp"}}}, "ERR_DISCONNECTED"},
        FailureCase{"DisconnectDuringUpgrade", {kRequest, {{"do", "close_tcp"}}}, "ERR_DISCONNECTED"},
        FailureCase{
            "ReservedBit", {kRequest, kReply, {{"do", "frame"}, {"rsv", 4}, {"hex", kHello}}}, "ERR_FRAME_FLAGS"},
        FailureCase{"MaskedServerFrame",
                    {kRequest, kReply, {{"do", "frame"}, {"mask", true}, {"hex", kHello}}},
                    "ERR_FRAME_FLAGS"},
        FailureCase{"Opcode3", {kRequest, kReply, frameAction(3, "")}, "ERR_FRAME_OPCODE"},
        FailureCase{"Opcode11", {kRequest, kReply, frameAction(11, "")}, "ERR_FRAME_OPCODE"},
        FailureCase{"PingOf126", {kRequest, kReply, frameAction(9, std::string(252, 'a'))}, "ERR_CONTROL_FRAME"},
        FailureCase{"PingWithoutFin", {kRequest, kReply, frameAction(9, "00", false)}, "ERR_CONTROL_FRAME"},
        FailureCase{"ContinuationFirst", {kRequest, kReply, frameAction(0, kHello)}, "ERR_FRAME_SEQUENCE"},
        FailureCase{"TextFirst", {kRequest, kReply, frameAction(1, kHello)}, "ERR_FRAME_SEQUENCE"},
        FailureCase{"BinaryInsideMessage",
                    {kRequest, kReply, frameAction(2, "81", false), frameAction(2, kHello)},
                    "ERR_FRAME_SEQUENCE"},
        // The declared length alone fails, before any payload arrives.
        FailureCase{
            "DeclaredLengthPastLimit",
            {kRequest, kReply, {{"do", "write"}, {"hex", "827f0000000000100001"}}, {{"do", "sleep"}, {"ms", 3000}}},
            "ERR_RECEIVE_BYTES"},
        FailureCase{"NotAMap", {kRequest, kReply, frameAction(2, "9101")}, "ERR_BAD_MESSAGE"},
        FailureCase{
            "TrailingByte", {kRequest, kReply, frameAction(2, kHello + "00")}, "[json.exception.parse_error.110]"},
        FailureCase{"TooDeep", {kRequest, kReply, frameAction(2, nestedArraysHex(70))}, "ERR_BAD_MESSAGE"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// A server that answers and hangs up at once: the last messages and the end
// of the stream come in one read, and the messages must still be delivered,
// in order, before the disconnect is reported. The client is not polled
// while the peer writes, so everything is waiting in the socket when it is.
struct EndOfStreamCase {
    const char* name;
    json actions;    // after the request and before the hang-up
    bool afterOpen;  // the bytes come once the connection is open, not with the reply
    std::vector<std::string> messages;
};

void PrintTo(const EndOfStreamCase& c, std::ostream* out) { *out << c.name; }

class TransportPeerEndOfStream : public ::testing::TestWithParam<std::tuple<EndOfStreamCase, bool>> {};

const std::string kDirectory = msgpackHex({{"type", "directory"}, {"servers", json::array({"a", "b"})}});

TEST_P(TransportPeerEndOfStream, DeliversTheBufferedMessagesFirst) {
    const auto& [c, withOnError] = GetParam();
    // The pause lets the test stop polling before the peer writes.
    json actions = json::array({kRequest});
    if (c.afterOpen) actions.push_back(kReply);
    actions.push_back({{"do", "sleep"}, {"ms", 500}});
    for (const json& action : c.actions) actions.push_back(action);
    actions.push_back({{"do", "close_tcp"}});
    TestPeer peer({{"mode", "raw"}, {"actions", actions}});
    Connection connection(withOnError);
    SocketTransport& transport = *connection.transport;
    CallbackRecorder& recorder = connection.recorder;
    transport.connect(peer.url());
    std::string line;
    if (c.afterOpen) {
        ASSERT_TRUE(pumpUntil(transport, [&] { return recorder.opens == 1 || recorder.ended(); })) << peer.allLines();
    } else {
        ASSERT_TRUE(pumpUntil(transport, [&] { return peer.waitFor("REQUEST ", line, 1); })) << peer.allLines();
    }
    ASSERT_TRUE(peer.waitFor("DONE", line)) << peer.allLines();
    ASSERT_FALSE(recorder.ended());

    ASSERT_TRUE(pumpUntil(transport, [&] { return recorder.ended(); })) << peer.allLines();
    EXPECT_EQ(recorder.opens, 1);
    EXPECT_EQ(recorder.messages, c.messages);
    if (withOnError) {
        EXPECT_EQ(recorder.errors, std::vector<std::string>{"ERR_DISCONNECTED"});
        EXPECT_EQ(recorder.closes, 0);
    } else {
        EXPECT_EQ(recorder.closes, 1);
    }
    // Closed for good: nothing more is reported.
    transport.poll();
    EXPECT_EQ(recorder.errors.size() + recorder.closes, 1u);
}

const std::string kDirectoryJson = R"({"servers":["a","b"],"type":"directory"})";
const std::string kHelloJson = R"({"type":"hello"})";

INSTANTIATE_TEST_SUITE_P(
    Cases, TransportPeerEndOfStream,
    ::testing::Combine(
        ::testing::Values(
            EndOfStreamCase{"WithTheReply",
                            json::array({{{"do", "reply"}, {"tail_hex", "82" + toHexLength(kDirectory) + kDirectory}}}),
                            false,
                            {kDirectoryJson}},
            EndOfStreamCase{
                "OnAnOpenConnection",
                json::array({{{"do", "frames"}, {"list", {frameAction(2, kDirectory), frameAction(2, kHello)}}}}),
                true,
                {kDirectoryJson, kHelloJson}},
            // A ping that came with the end is not answered: the write could
            // only fail and hide the disconnect.
            EndOfStreamCase{"WithAPing",
                            json::array({{{"do", "frames"}, {"list", {frameAction(9, "01"), frameAction(2, kHello)}}}}),
                            true,
                            {kHelloJson}},
            // A message whose last fragment never came is dropped.
            EndOfStreamCase{"BeforeAnUnfinishedMessage",
                            json::array({{{"do", "frames"},
                                          {"list", {frameAction(2, kHello), frameAction(2, kDirectory, false)}}}}),
                            true,
                            {kHelloJson}}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<EndOfStreamCase, bool>>& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "" : "WithoutOnError");
    });

// An owner that closes the transport on a message hears nothing of the end
// that came with it.
TEST(TransportPeer, AClosingOwnerHearsNothingOfTheEndOfStream) {
    TestPeer peer({{"mode", "raw"},
                   {"actions",
                    {kRequest,
                     kReply,
                     {{"do", "sleep"}, {"ms", 500}},
                     {{"do", "frames"}, {"list", {frameAction(2, kHello), frameAction(2, kDirectory)}}},
                     {{"do", "close_tcp"}}}}});
    Connection connection;
    connection.recorder.afterMessage = [&](const std::string&) { connection.transport->close(); };
    connection.transport->connect(peer.url());
    ASSERT_TRUE(pumpUntil(*connection.transport, [&] { return connection.recorder.opens == 1; })) << peer.allLines();
    std::string line;
    ASSERT_TRUE(peer.waitFor("DONE", line)) << peer.allLines();
    for (int poll = 0; poll < 20; ++poll) connection.transport->poll();
    EXPECT_EQ(connection.recorder.messages, std::vector<std::string>{kHelloJson});
    EXPECT_FALSE(connection.recorder.ended());
}

// What CPython takes for another installation first in PATH (a pyenv one,
// say): a python3 in bin/ and the landmark of its standard library, here
// with nothing else in it. The peer's interpreter must still find its own
// library, whatever PATH says.
class OtherPythonFirstInPath {
public:
    OtherPythonFirstInPath() : root_(testing::makeTempDirectory("vobu-other-python")) {
        std::filesystem::create_directories(root_ + "/bin");
        std::filesystem::create_directories(root_ + "/lib/" + systemPythonName());
        std::ofstream(root_ + "/bin/python3").close();
        std::filesystem::permissions(root_ + "/bin/python3", std::filesystem::perms::owner_all);
        std::ofstream(root_ + "/lib/" + systemPythonName() + "/os.py").close();
        const char* path = std::getenv("PATH");
        savedPath_ = path != nullptr ? path : "";
        setenv("PATH", (root_ + "/bin:" + savedPath_).c_str(), 1);
    }
    ~OtherPythonFirstInPath() {
        setenv("PATH", savedPath_.c_str(), 1);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    OtherPythonFirstInPath(const OtherPythonFirstInPath&) = delete;
    OtherPythonFirstInPath& operator=(const OtherPythonFirstInPath&) = delete;

private:
    // "python3.11" for the system's 3.11: the folder of its library.
    static std::string systemPythonName() {
        FILE* pipe = popen("/usr/bin/python3 -c 'import sys; print(\"python%d.%d\" % sys.version_info[:2])'", "r");
        if (pipe == nullptr) throw std::runtime_error("popen failed");
        char name[64] = {};
        const bool read = std::fgets(name, sizeof name, pipe) != nullptr;
        pclose(pipe);
        if (!read) throw std::runtime_error("no system python3");
        std::string text(name);
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    std::string root_;
    std::string savedPath_;
};

TEST(TestPeerStart, AnotherPythonFirstInPathIsNotUsed) {
    std::unique_ptr<TestPeer> peer;
    {
        OtherPythonFirstInPath other;
        ASSERT_NO_THROW(peer = std::make_unique<TestPeer>(json{{"mode", "raw"}, {"actions", {kRequest, kReply}}}));
    }
    Connection connection;
    connection.transport->connect(peer->url());
    EXPECT_TRUE(pumpUntil(*connection.transport, [&] { return connection.recorder.opens == 1; })) << peer->allLines();
}

}  // namespace
}  // namespace vobu
