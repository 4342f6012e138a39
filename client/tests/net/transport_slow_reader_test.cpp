// A peer that stops reading while the client sends: everything queued
// arrives in order once it reads again, and the queue limit holds. Plain and
// over TLS (where a would-block write must be retried with the same length).

#include "net/socket_transport.h"
#include "net/websocket_frame.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <filesystem>
#include <memory>
#include <string>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::pumpUntil;
using testing::TestPeer;

constexpr int kSmallBuffer = 4096;
constexpr size_t kPadBytes = 30000;

std::string numbered(int n) { return json{{"n", n}, {"pad", std::string(kPadBytes, 'p')}, {"type", "input"}}.dump(); }

class TransportSlowReader : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (GetParam()) certificates_ = testing::makeTestCertificates();
    }
    void TearDown() override {
        if (!certificates_.empty()) std::filesystem::remove_all(certificates_);
    }

    json script(int frames) const {
        json value = {{"mode", "raw"},
                      {"rcvbuf", kSmallBuffer},
                      {"actions",
                       {{{"do", "request"}},
                        {{"do", "reply"}},
                        {{"do", "sleep"}, {"ms", 600}},
                        {{"do", "read_frames"}, {"count", frames}}}}};
        if (GetParam()) value["tls"] = {{"cert", certificates_ + "/good.crt"}, {"key", certificates_ + "/good.key"}};
        return value;
    }

    // Small socket buffers so the kernel stops taking bytes early, and a
    // count of the writes that would have blocked.
    TransportCalls platform() {
        TransportCalls calls =
            GetParam() ? testing::callsWithTrustBundle(certificates_ + "/bundle.pem") : systemTransportCalls();
        auto open = calls.openSocket;
        calls.openSocket = [open] {
            const int socket = open();
            int size = kSmallBuffer;
            setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
            return socket;
        };
        auto send = calls.send;
        auto blocked = wouldBlocks_;
        calls.send = [send, blocked](int socket, const uint8_t* data, size_t length) {
            const long result = send(socket, data, length);
            if (result == kSocketWouldBlock) ++*blocked;
            return result;
        };
        return calls;
    }

    std::string url(const TestPeer& peer) const { return peer.url(GetParam() ? "wss" : "ws", "localhost"); }

    std::string certificates_;
    std::shared_ptr<int> wouldBlocks_ = std::make_shared<int>(0);
};

TEST_P(TransportSlowReader, EverythingArrivesInOrderAfterwards) {
    constexpr int kMessages = 12;  // about 360 KB, under the queue limit
    TestPeer peer(script(kMessages));
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), platform());
    transport->connect(url(peer));
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); })) << recorder.error();
    for (int n = 0; n < kMessages; ++n) transport->send(numbered(n));
    ASSERT_EQ(recorder.error(), "");

    for (int n = 0; n < kMessages; ++n) {
        TestPeer::Frame frame;
        ASSERT_TRUE(pumpUntil(
            *transport, [&] { return peer.nextFrame(frame, 1) || recorder.ended(); }, 10000))
            << n << " " << recorder.error();
        ASSERT_EQ(frame.opcode, kOpcodeBinary);
        const json message = json::from_msgpack(frame.payload.begin(), frame.payload.end());
        ASSERT_EQ(message["n"], n);
        ASSERT_EQ(message["pad"].get<std::string>().size(), kPadBytes);
    }
    EXPECT_EQ(recorder.error(), "");
    EXPECT_GT(*wouldBlocks_, 0) << "the peer never pushed back";
}

TEST_P(TransportSlowReader, TheQueueLimitGivesSendBytes) {
    TestPeer peer(script(1));
    CallbackRecorder recorder;
    auto transport = createSocketTransport(recorder.callbacks(), platform());
    transport->connect(url(peer));
    ASSERT_TRUE(pumpUntil(*transport, [&] { return recorder.opens > 0 || recorder.ended(); })) << recorder.error();
    int sent = 0;
    while (!recorder.ended() && sent < 100) transport->send(numbered(sent++));
    EXPECT_EQ(recorder.error(), "ERR_SEND_BYTES");
    // 524288 bytes of queue hold about 17 of these; the kernel takes a few more.
    EXPECT_GT(sent, static_cast<int>(kSendQueueBytes / (kPadBytes + 64)));
    EXPECT_LT(sent, 60);
}

INSTANTIATE_TEST_SUITE_P(Transports, TransportSlowReader, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Tls" : "Plain"; });

}  // namespace
}  // namespace vobu
