// The last words of a failing game against servers that keep sending: the
// socket of the closed connection is drained, so the report reaches a peer
// that reads only now and then, both when the peer keeps sending longer
// than the drain lasts and when it stops at the client's end. Several
// connections at once, each with a peer of its own.

#include "net/message_codec.h"
#include "net/socket_drainer.h"
#include "net/socket_transport.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::ManualClock;
using testing::pumpUntil;
using testing::TestPeer;

using testing::kReply;
using testing::kRequest;

constexpr int kConnections = 6;
constexpr const char* kReport = R"({"code":"ERR_CHARACTER_LIMIT","lastType":"character","type":"clientError"})";

std::string noiseHex() { return testing::msgpackHex(json{{"type", "snapshot"}, {"players", json::array()}}); }

// A server busy elsewhere: it writes every millisecond but looks at its
// input only every 150 ms, and gives up at the first reset it meets.
json floodScript(int afterEofMs, const json& tls = nullptr) {
    json script = {{"mode", "raw"},
                   {"actions",
                    {kRequest,
                     kReply,
                     {{"do", "flood"}, {"hex", noiseHex()}, {"read_every_ms", 150}, {"after_eof_ms", afterEofMs}}}}};
    if (!tls.is_null()) script["tls"] = tls;
    return script;
}

struct Connection {
    explicit Connection(const json& script, TransportCalls calls, SocketDrainer& drainer)
        : peer(script), transport(createSocketTransport(recorder.callbacks(), std::move(calls), &drainer)) {}
    TestPeer peer;
    CallbackRecorder recorder;
    std::unique_ptr<SocketTransport> transport;
};

class TransportDrain : public ::testing::Test {
protected:
    TransportDrain() : drainer(testing::callsWithClock(drainClock)) {}

    // Opens, takes some of the flood, then sends the report and closes, as a
    // failing game does, while more of the flood is on its way.
    void reportAndClose(Connection& c, const std::string& url, const std::function<void()>& beforeReport = {}) {
        c.transport->connect(url);
        ASSERT_TRUE(pumpUntil(*c.transport, [&] { return c.recorder.messages.size() >= 5 || c.recorder.ended(); }))
            << c.peer.allLines();
        ASSERT_EQ(c.recorder.error(), "");
        if (beforeReport) beforeReport();
        c.transport->send(kReport);
        c.transport->close();
    }

    // Every frame the peer read, in order, up to its end.
    static std::vector<std::string> framesRead(TestPeer& peer) {
        std::vector<std::string> payloads;
        TestPeer::Frame frame;
        while (peer.nextFrame(frame, 1000)) payloads.push_back(frame.payload);
        return payloads;
    }

    // Polls the drainer as the frame loop does, until it holds `count`
    // sockets or three seconds have passed.
    bool drainUntil(size_t count) {
        for (int i = 0; i < 3000 && drainer.size() != count; ++i) {
            drainer.poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return drainer.size() == count;
    }

    // The drain time only passes when a test moves it.
    ManualClock drainClock;
    ManualClock transportClock;
    SocketDrainer drainer;
};

TEST_F(TransportDrain, APeerThatKeepsSendingReadsTheReportBeforeTheDrainEnds) {
    std::vector<std::unique_ptr<Connection>> connections;
    for (int i = 0; i < kConnections; ++i) {
        connections.push_back(
            std::make_unique<Connection>(floodScript(6000), testing::callsWithClock(transportClock), drainer));
        reportAndClose(*connections.back(), connections.back()->peer.url());
    }
    // The closes returned with every socket still open.
    EXPECT_EQ(drainer.size(), size_t(kConnections));
    for (auto& c : connections) {
        TestPeer::Frame frame;
        ASSERT_TRUE(c->peer.nextFrame(frame, 3000)) << c->peer.allLines();
        EXPECT_EQ(frame.payload, encodeMessage(kReport));
        drainer.poll();
    }
    // The peers are still sending; the drain ends on its time alone, and
    // the peers meet the reset well before they would have stopped.
    EXPECT_EQ(drainer.size(), size_t(kConnections));
    drainClock.advance(SocketDrainer::kDrainMs);
    drainer.poll();
    EXPECT_EQ(drainer.size(), 0u);
    for (auto& c : connections) {
        std::string line;
        EXPECT_TRUE(c->peer.waitFor("RESET", line, 3000)) << c->peer.allLines();
        EXPECT_TRUE(framesRead(c->peer).empty());
    }
}

TEST_F(TransportDrain, APeerThatStopsAtOurEndReadsTheReportAndEndsTheDrain) {
    std::vector<std::unique_ptr<Connection>> connections;
    for (int i = 0; i < kConnections; ++i) {
        connections.push_back(
            std::make_unique<Connection>(floodScript(0), testing::callsWithClock(transportClock), drainer));
        reportAndClose(*connections.back(), connections.back()->peer.url());
    }
    EXPECT_EQ(drainer.size(), size_t(kConnections));
    // No drain time passes: every socket goes once its peer has hung up.
    EXPECT_TRUE(drainUntil(0));
    for (auto& c : connections) {
        EXPECT_EQ(framesRead(c->peer), std::vector<std::string>{encodeMessage(kReport)});
        std::string line;
        EXPECT_TRUE(c->peer.waitFor("EOF", line, 10)) << c->peer.allLines();
    }
}

TEST_F(TransportDrain, OverTlsTheCloseNotificationComesBeforeTheEnd) {
    const std::string certificates = testing::makeTestCertificates();
    TransportCalls calls = testing::callsWithTrustBundle(certificates + "/bundle.pem");
    const json tls = {{"cert", certificates + "/good.crt"}, {"key", certificates + "/good.key"}, {"strict_eof", true}};
    Connection c(floodScript(0, tls), calls, drainer);
    reportAndClose(c, c.peer.url("wss", "localhost"));
    EXPECT_EQ(drainer.size(), 1u);
    EXPECT_TRUE(drainUntil(0));
    EXPECT_EQ(framesRead(c.peer), std::vector<std::string>{encodeMessage(kReport)});
    std::string line;
    EXPECT_TRUE(c.peer.waitFor("EOF", line, 10)) << c.peer.allLines();
    std::filesystem::remove_all(certificates);
}

// A full socket at the report: the given number of writes, starting with
// the report's, would block. The TLS library then still holds part of the
// report's record when the close begins, and the close notification must
// follow it all the same.
class TransportDrainBlockedTls : public TransportDrain, public ::testing::WithParamInterface<int> {};

TEST_P(TransportDrainBlockedTls, TheCloseNotificationFollowsAReportThatHadToWait) {
    const std::string certificates = testing::makeTestCertificates();
    TransportCalls calls = testing::callsWithTrustBundle(certificates + "/bundle.pem");
    auto blockedSends = std::make_shared<int>(0);
    calls.send = [send = calls.send, blockedSends](int socket, const uint8_t* data, size_t length) {
        if (*blockedSends > 0) {
            --*blockedSends;
            return kSocketWouldBlock;
        }
        return send(socket, data, length);
    };
    const json tls = {{"cert", certificates + "/good.crt"}, {"key", certificates + "/good.key"}, {"strict_eof", true}};
    Connection c(floodScript(0, tls), calls, drainer);
    reportAndClose(c, c.peer.url("wss", "localhost"), [&] { *blockedSends = GetParam(); });
    EXPECT_EQ(*blockedSends, 0);
    EXPECT_TRUE(drainUntil(0));
    EXPECT_EQ(framesRead(c.peer), std::vector<std::string>{encodeMessage(kReport)});
    std::string line;
    EXPECT_TRUE(c.peer.waitFor("EOF", line, 10)) << c.peer.allLines();
    std::filesystem::remove_all(certificates);
}

// One: the report goes out at the close. Two: the close's first write of
// the queued report blocks too. Three: the first try of the notification
// itself meets the full socket as well.
INSTANTIATE_TEST_SUITE_P(BlockedSends, TransportDrainBlockedTls, ::testing::Values(1, 2, 3));

}  // namespace
}  // namespace vobu
