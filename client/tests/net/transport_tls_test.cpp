// TLS: certificates made for each run, verified against a test bundle that
// replaces the system one through the transport's call table.

#include "net/socket_transport.h"
#include "platform/trust_store.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::callsWithTrustBundle;
using testing::msgpackHex;
using testing::pumpUntil;
using testing::TestPeer;

class TransportTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() { certificates_ = testing::makeTestCertificates(); }
    static void TearDownTestSuite() { std::filesystem::remove_all(certificates_); }

    static json tls(const char* name) {
        return {{"cert", certificates_ + "/" + name + ".crt"}, {"key", certificates_ + "/" + name + ".key"}};
    }
    static TransportCalls trustingTestRoot() { return callsWithTrustBundle(certificates_ + "/bundle.pem"); }

    static std::string certificates_;
};

std::string TransportTls::certificates_;

TEST_F(TransportTls, TrustedCertificateForTheHostConnects) {
    TestPeer peer({{"mode", "library"},
                   {"tls", tls("good")},
                   {"actions", {{{"do", "recv"}}, {{"do", "send"}, {"hex", msgpackHex({{"type", "overTls"}})}}}}});
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), trustingTestRoot());
    transport->connect(peer.url("wss", "localhost", "/secure"));
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); })) << peer.allLines();
    ASSERT_EQ(recorder.error(), "");
    transport->send(R"({"type":"hello"})");
    ASSERT_TRUE(pumpUntil(*transport, [&] { return !recorder.messages.empty() || recorder.ended(); }));
    EXPECT_EQ(recorder.messages, std::vector<std::string>{R"({"type":"overTls"})"});
    const std::string hello = peer.nextReceived();
    EXPECT_EQ(json::from_msgpack(hello.begin(), hello.end())["type"], "hello");
}

TEST_F(TransportTls, UntrustedCertificatesAreRefused) {
    for (const char* name : {"self", "other", "expired"}) {
        TestPeer peer({{"mode", "library"}, {"tls", tls(name)}, {"actions", json::array()}});
        CallbackRecorder recorder;
        auto transport = createSocketTransport(recorder.callbacks(), trustingTestRoot());
        transport->connect(peer.url("wss", "localhost"));
        ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.ended(); })) << name;
        EXPECT_EQ(recorder.error(), "ERR_TLS_CONNECT") << name;
        EXPECT_EQ(recorder.opens, 0) << name;
    }
}

TEST_F(TransportTls, TheSystemBundleDoesNotTrustTheTestRoot) {
    TestPeer peer({{"mode", "library"}, {"tls", tls("good")}, {"actions", json::array()}});
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks());
    transport->connect(peer.url("wss", "localhost"));
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.ended(); }));
    // Either the machine has a bundle (which lacks our root) or it has none.
    EXPECT_TRUE(recorder.error() == "ERR_TLS_CONNECT" || recorder.error() == "ERR_TLS_ROOTS") << recorder.error();
}

// The shipped call table reads the system bundle itself: in a private mount
// namespace the test bundle is bound over it, so the real reading path is
// the one that trusts the test root.
TEST_F(TransportTls, SystemBundlePathIsReadByTheShippedCalls) {
    if (!std::filesystem::exists(kSystemTrustBundlePath)) GTEST_SKIP() << "no system bundle";
    TestPeer peer({{"mode", "library"}, {"tls", tls("good")}, {"actions", json::array()}});
    const std::string bundle = certificates_ + "/bundle.pem";
    const std::string url = peer.url("wss", "localhost");
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(bundle.c_str(), kSystemTrustBundlePath, nullptr, MS_BIND, nullptr) != 0) {
            _exit(77);
        }
        CallbackRecorder recorder;
        auto transport = createSocketTransport(recorder.callbacks());
        transport->connect(url);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (recorder.opens == 0 && !recorder.ended() && std::chrono::steady_clock::now() < deadline) {
            transport->poll();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        _exit(recorder.opens == 1 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mount namespace here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(TransportTls, ServerDroppingTheConnectionIsADisconnect) {
    TestPeer peer(
        {{"mode", "library"}, {"tls", tls("good")}, {"actions", {{{"do", "sleep"}, {"ms", 100}}, {{"do", "abort"}}}}});
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), trustingTestRoot());
    transport->connect(peer.url("wss", "localhost"));
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.ended(); }));
    EXPECT_EQ(recorder.opens, 1);
    EXPECT_EQ(recorder.error(), "ERR_DISCONNECTED");
}

TEST_F(TransportTls, HostNameTheTlsLibraryRefuses) {
    int lookups = 0;
    TransportCalls platform = trustingTestRoot();
    platform.resolve = [&](const std::string&, const std::string&, Ipv4Endpoint&) { return ++lookups, false; };
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), platform);
    transport->connect("wss://" + std::string(300, 'a') + "/");
    EXPECT_EQ(recorder.error(), "ERR_TLS_INIT");
    EXPECT_EQ(lookups, 0);
}

// After a would-block the same length must be handed to the TLS library
// again, even though a larger frame was queued meanwhile; a longer length
// would make it report bytes as written that never were.
TEST_F(TransportTls, BlockedWriteIsRetriedWithTheSameLength) {
    TestPeer peer({{"mode", "raw"},
                   {"tls", tls("good")},
                   {"actions", {{{"do", "request"}}, {{"do", "reply"}}, {{"do", "read_frames"}, {"count", 2}}}}});
    auto blocked = std::make_shared<bool>(false);
    auto lengths = std::make_shared<std::vector<size_t>>();
    TransportCalls platform = trustingTestRoot();
    auto send = platform.send;
    platform.send = [send, blocked, lengths](int socket, const uint8_t* data, size_t length) {
        if (*blocked) {
            lengths->push_back(length);
            return kSocketWouldBlock;
        }
        return send(socket, data, length);
    };
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), platform);
    transport->connect(peer.url("wss", "localhost"));
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); })) << recorder.error();

    *blocked = true;
    transport->send(R"({"n":1,"type":"small"})");
    transport->send(json{{"n", 2}, {"pad", std::string(30000, 'p')}, {"type", "large"}}.dump());
    transport->poll();
    ASSERT_GE(lengths->size(), 2u);
    // Every attempt while blocked offered the same encrypted record.
    for (size_t length : *lengths) EXPECT_EQ(length, lengths->front());
    *blocked = false;

    for (int n = 1; n <= 2; ++n) {
        TestPeer::Frame frame;
        ASSERT_TRUE(pumpUntil(*transport, [&] { return peer.nextFrame(frame, 1) || recorder.ended(); })) << n;
        ASSERT_EQ(recorder.error(), "");
        const json message = json::from_msgpack(frame.payload.begin(), frame.payload.end());
        EXPECT_EQ(message["n"], n);
    }
}

TEST_F(TransportTls, MissingBundle) {
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), callsWithTrustBundle(certificates_ + "/absent.pem"));
    transport->connect("wss://localhost:1/");
    EXPECT_EQ(recorder.error(), "ERR_TLS_ROOTS");
}

TEST_F(TransportTls, PlainClientAgainstTlsServerFailsCleanly) {
    TestPeer peer({{"mode", "library"}, {"tls", tls("good")}, {"actions", json::array()}});
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), trustingTestRoot());
    transport->connect(peer.url("ws", "localhost"));
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.ended(); }));
    EXPECT_TRUE(recorder.error() == "ERR_DISCONNECTED" || recorder.error() == "ERR_UPGRADE_REJECTED")
        << recorder.error();
}

}  // namespace
}  // namespace vobu
