// TLS: certificates made for each run, verified against a test bundle that
// replaces the system one through the transport's call table.

#include "net/socket_transport.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::msgpackHex;
using testing::platformWithTrustBundle;
using testing::pumpUntil;
using testing::TestPeer;

class TransportTls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { certificates_ = testing::makeTestCertificates(); }
  static void TearDownTestSuite() { std::filesystem::remove_all(certificates_); }

  static json tls(const char* name) {
    return {{"cert", certificates_ + "/" + name + ".crt"}, {"key", certificates_ + "/" + name + ".key"}};
  }
  static TransportPlatform trustingTestRoot() { return platformWithTrustBundle(certificates_ + "/bundle.pem"); }

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

TEST_F(TransportTls, MissingBundle) {
  CallbackRecorder recorder;
  auto transport = createSocketTransport(recorder.callbacks(), platformWithTrustBundle(certificates_ + "/absent.pem"));
  transport->connect("wss://localhost:1/");
  EXPECT_EQ(recorder.error(), "ERR_TLS_ROOTS");
}

TEST_F(TransportTls, PlainClientAgainstTlsServerFailsCleanly) {
  TestPeer peer({{"mode", "library"}, {"tls", tls("good")}, {"actions", json::array()}});
  CallbackRecorder recorder;
  auto transport = createSocketTransport(recorder.callbacks(), trustingTestRoot());
  transport->connect(peer.url("ws", "localhost"));
  ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.ended(); }));
  EXPECT_TRUE(recorder.error() == "ERR_DISCONNECTED" || recorder.error() == "ERR_UPGRADE_REJECTED") << recorder.error();
}

}  // namespace
}  // namespace vobu
