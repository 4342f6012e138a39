// Faults of the platform calls (injected through the transport's call
// table), the opening deadline on a manual clock, and real refused and
// unresolvable connects.

#include "net/socket_transport.h"
#include "platform/random.h"
#include "support/authority_cases.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::callsWithClock;
using testing::ManualClock;
using testing::msgpackHex;
using testing::pumpUntil;
using testing::TestPeer;

using testing::kReply;
using testing::kRequest;

// A port on which nothing listens (bound, then closed again).
int closedPort() {
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
    close(probe);
    return ntohs(address.sin_port);
}

std::string errorAfterConnect(TransportCalls platform, const std::string& url, int polls = 200) {
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), std::move(platform));
    transport->connect(url);
    pumpUntil(
        *transport, [&] { return recorder.ended(); }, polls * 5);
    return recorder.error();
}

TEST(TransportFault, RefusedConnect) {
    EXPECT_EQ(errorAfterConnect(systemTransportCalls(), "ws://127.0.0.1:" + std::to_string(closedPort()) + "/"),
              "ERR_CONNECT_REFUSED");
}

TEST(TransportFault, FailedNameLookup) {
    // Fails inside getaddrinfo without asking any name server.
    EXPECT_EQ(errorAfterConnect(systemTransportCalls(), "ws://:80/"), "ERR_DNS");
}

TEST(TransportFault, AddressRulesFailBeforeAnyCall) {
    int calls = 0;
    TransportCalls platform = systemTransportCalls();
    platform.resolve = [&](const std::string&, const std::string&, Ipv4Endpoint&) { return ++calls, false; };
    // A zero byte would have the lookup dial the host before it, and any
    // control byte would travel into the upgrade request.
    const std::string urls[] = {
        "WS://127.0.0.1/",  "http://x/",   "ws://a/\nb",   std::string("ws://127.0.0.1\0.evil.example:80/", 32),
        "ws://a\x01b/vobu", "ws://a/\x1f", "wss://a/\x7f", "ws://a/\tb"};
    for (const std::string& url : urls) {
        EXPECT_EQ(errorAfterConnect(platform, url), "ERR_URL_SCHEME") << ::testing::PrintToString(url);
    }
    EXPECT_EQ(calls, 0);
}

TEST(TransportFault, AnAuthorityThatCannotBeDialledIsRefusedBeforeTheLookup) {
    for (const testing::AuthorityCase& c : testing::kAuthorityCases) {
        const std::string url = std::string("ws://") + c.authority + "/vobu";
        int lookups = 0;
        TransportCalls platform = systemTransportCalls();
        platform.resolve = [&](const std::string&, const std::string&, Ipv4Endpoint&) { return ++lookups, false; };
        EXPECT_EQ(errorAfterConnect(platform, url), c.dialable() ? "ERR_DNS" : "ERR_URL_SCHEME") << url;
        EXPECT_EQ(lookups, c.dialable() ? 1 : 0) << url;
    }
}

TEST(TransportFault, EmptyAddressMeansTheDefaultServerOverTls) {
    std::string host, port;
    bool bundleRead = false;
    TransportCalls platform = systemTransportCalls();
    platform.readTrustBundle = [&](std::string& pem) {
        bundleRead = true;
        pem.clear();
        return true;
    };
    platform.resolve = [&](const std::string& h, const std::string& p, Ipv4Endpoint&) {
        host = h;
        port = p;
        return false;
    };
    EXPECT_EQ(errorAfterConnect(platform, ""), "ERR_DNS");
    EXPECT_TRUE(bundleRead);
    EXPECT_EQ(host, "play.vobugame.net");
    EXPECT_EQ(port, "443");
}

struct InjectedCase {
    const char* name;
    std::function<void(TransportCalls&)> inject;
    const char* error;
};

class TransportInjectedFault : public ::testing::TestWithParam<InjectedCase> {};

TEST_P(TransportInjectedFault, OpeningReportsTheCode) {
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, kReply}}});
    TransportCalls platform = systemTransportCalls();
    GetParam().inject(platform);
    EXPECT_EQ(errorAfterConnect(platform, peer.url()), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, TransportInjectedFault,
    ::testing::Values(
        InjectedCase{"NoSocket", [](TransportCalls& p) { p.openSocket = [] { return -1; }; }, "ERR_SOCKET_CREATE"},
        InjectedCase{
            "ConnectFailsAtOnce",
            [](TransportCalls& p) { p.startConnect = [](int, const Ipv4Endpoint&) { return ConnectStart::Failed; }; },
            "ERR_CONNECT"},
        InjectedCase{"ReadinessCheckFails",
                     [](TransportCalls& p) { p.checkConnect = [](int) { return ConnectProgress::Failed; }; },
                     "ERR_SOCKET_SELECT"},
        InjectedCase{"ConnectErrorOtherThanRefused",
                     [](TransportCalls& p) { p.pendingError = [](int) { return ETIMEDOUT; }; }, "ERR_CONNECT"},
        InjectedCase{"NoRandomKey", [](TransportCalls& p) { p.randomBytes = [](uint8_t*, size_t) { return false; }; },
                     "ERR_RANDOM"},
        InjectedCase{"RequestWriteFails",
                     [](TransportCalls& p) { p.send = [](int, const uint8_t*, size_t) { return kSocketFailed; }; },
                     "ERR_SEND"},
        InjectedCase{"RequestWriteTakesNothing",
                     [](TransportCalls& p) { p.send = [](int, const uint8_t*, size_t) { return 0L; }; }, "ERR_SEND"},
        InjectedCase{"ReadFails",
                     [](TransportCalls& p) { p.receive = [](int, uint8_t*, size_t) { return kSocketFailed; }; },
                     "ERR_DISCONNECTED"}),
    [](const ::testing::TestParamInfo<InjectedCase>& info) { return std::string(info.param.name); });

TEST(TransportFault, NoRandomMaskWhenSending) {
    TestPeer peer({{"mode", "library"}, {"actions", json::array()}});
    auto randomWorks = std::make_shared<bool>(true);
    TransportCalls platform = systemTransportCalls();
    platform.randomBytes = [randomWorks](uint8_t* data, size_t length) {
        return *randomWorks && fillRandomBytes(data, length);
    };
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), platform);
    transport->connect(peer.url());
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); }));
    *randomWorks = false;
    transport->send(R"({"type":"x"})");
    EXPECT_EQ(recorder.error(), "ERR_RANDOM");
}

TEST(TransportFault, FreshMaskForEveryFrame) {
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, kReply, {{"do", "read_frames"}, {"count", 3}}}}});
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks());
    transport->connect(peer.url());
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); }));
    for (int i = 0; i < 3; ++i) transport->send(R"({"type":"same"})");
    std::vector<std::string> keys;
    for (int i = 0; i < 3; ++i) {
        TestPeer::Frame frame;
        ASSERT_TRUE(pumpUntil(*transport, [&] { return peer.nextFrame(frame, 1); }));
        EXPECT_TRUE(frame.masked);
        EXPECT_EQ(frame.opcode, 2);
        const std::string payload = frame.payload;
        EXPECT_EQ(json::from_msgpack(payload.begin(), payload.end())["type"], "same");
        keys.push_back(frame.key);
    }
    EXPECT_TRUE(keys[0] != keys[1] || keys[1] != keys[2]);
}

TEST(TransportDeadline, FailsAtFiveSecondsNotBefore) {
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, {{"do", "sleep"}, {"ms", 3000}}}}});
    ManualClock clock;
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), callsWithClock(clock));
    transport->connect(peer.url());
    std::string line;
    ASSERT_TRUE(pumpUntil(*transport, [&] { return peer.waitFor("REQUEST ", line, 1); }));
    clock.advance(4999);
    transport->poll();
    EXPECT_FALSE(recorder.ended());
    clock.advance(1);
    transport->poll();
    EXPECT_EQ(recorder.error(), "ERR_HANDSHAKE_TIMEOUT");
}

TEST(TransportDeadline, ComesBeforeAReplyThatHasJustArrived) {
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, {{"do", "sleep"}, {"ms", 300}}, kReply}}});
    ManualClock clock;
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), callsWithClock(clock));
    transport->connect(peer.url());
    std::string line;
    // Poll until the request went out, then let the reply arrive unread.
    ASSERT_TRUE(pumpUntil(*transport, [&] { return peer.waitFor("REQUEST ", line, 1); }));
    ASSERT_TRUE(peer.waitFor("DONE", line));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(recorder.opens, 0);
    clock.advance(5000);
    transport->poll();
    EXPECT_EQ(recorder.opens, 0);
    EXPECT_EQ(recorder.error(), "ERR_HANDSHAKE_TIMEOUT");
}

TEST(TransportDeadline, SurvivesTheTickCounterWrapping) {
    for (uint32_t start : {0xFFFFFFFFu - 2000u, 0x7FFFFFFFu - 10u, 0u}) {
        TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, {{"do", "sleep"}, {"ms", 300}}, kReply}}});
        ManualClock clock;
        *clock.now = start;
        CallbackRecorder recorder;
        auto transport = createSocketTransport(recorder.callbacks(), callsWithClock(clock));
        transport->connect(peer.url());
        clock.advance(4000);
        ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); })) << start;
        EXPECT_EQ(recorder.error(), "") << start;
        // Once open there is no deadline.
        clock.advance(60000);
        transport->poll();
        EXPECT_FALSE(recorder.ended()) << start;
    }
}

TEST(TransportDeadline, WithoutOnErrorTheTimeoutArrivesAsOneClose) {
    TestPeer peer({{"mode", "raw"}, {"actions", {kRequest, {{"do", "sleep"}, {"ms", 2000}}}}});
    ManualClock clock;
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(false), callsWithClock(clock));
    transport->connect(peer.url());
    clock.advance(5000);
    transport->poll();
    transport->poll();
    EXPECT_EQ(recorder.closes, 1);
}

}  // namespace
}  // namespace vobu

namespace vobu {
namespace {

TEST(TransportFault, AThrowingOwnerCallbackDoesNotEscape) {
    TransportCallbacks callbacks;
    int errors = 0;
    callbacks.onOpen = [] {};
    callbacks.onMessage = [](const char*, unsigned) {};
    callbacks.onError = [&](const std::string&) {
        ++errors;
        throw std::runtime_error("owner failed while handling the failure");
    };
    auto transport = createSocketTransport(std::move(callbacks));
    EXPECT_NO_THROW(transport->connect("ftp://nowhere/"));
    EXPECT_EQ(errors, 1);
    EXPECT_NO_THROW(transport->poll());
    EXPECT_NO_THROW(transport->send("{}"));
    EXPECT_EQ(errors, 1);
}

}  // namespace
}  // namespace vobu
