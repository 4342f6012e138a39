// Closing against a peer that keeps sending: what was written last still
// reaches it, followed by an orderly end instead of a reset.

#include "net/message_codec.h"
#include "net/socket_transport.h"
#include "net/websocket_frame.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <string>

namespace vobu {
namespace {

using json = nlohmann::json;
using testing::CallbackRecorder;
using testing::pumpUntil;
using testing::TestPeer;
using testing::toHex;

using testing::kReply;
using testing::kRequest;

class TransportClose : public ::testing::Test {
protected:
    TransportClose()
        : peer_({{"mode", "raw"}, {"actions", {kRequest, kReply, {{"do", "flood"}, {"hex", toHex(noise())}}}}}),
          transport_(createSocketTransport(recorder_.callbacks())) {}

    static std::string noise() {
        const auto bytes = json::to_msgpack(json{{"type", "snapshot"}, {"players", json::array()}});
        return std::string(bytes.begin(), bytes.end());
    }

    // Open, with the peer's messages flowing and more of them unread.
    void openWhileFlooded() {
        transport_->connect(peer_.url());
        ASSERT_TRUE(pumpUntil(*transport_, [&] { return recorder_.messages.size() >= 20 || recorder_.ended(); }));
        ASSERT_EQ(recorder_.error(), "");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    // The payloads of the client's frames up to the end of the connection,
    // and how it ended ("EOF" or "RESET").
    std::string endAfterFrames(std::vector<std::string>& payloads) {
        for (;;) {
            TestPeer::Frame frame;
            if (!peer_.nextFrame(frame, 300)) break;
            payloads.push_back(frame.payload);
        }
        std::string line;
        if (peer_.waitFor("EOF", line, 3000)) return "EOF";
        if (peer_.waitFor("RESET", line, 10)) return "RESET";
        return "<none>";
    }

    TestPeer peer_;
    CallbackRecorder recorder_;
    std::unique_ptr<SocketTransport> transport_;
};

TEST_F(TransportClose, TheLastMessageArrivesBeforeAnOrderlyEnd) {
    openWhileFlooded();
    const std::string last = R"({"code":"ERR_UNEXPECTED_READY","lastType":"ready","type":"clientError"})";
    transport_->send(last);
    transport_->close();
    std::vector<std::string> payloads;
    EXPECT_EQ(endAfterFrames(payloads), "EOF") << peer_.allLines();
    EXPECT_EQ(payloads, std::vector<std::string>{encodeMessage(last)});
    EXPECT_FALSE(recorder_.ended());
}

TEST_F(TransportClose, AFailureEndsTheConnectionInOrderToo) {
    openWhileFlooded();
    // Closing from inside a message callback, as the game does when a
    // message breaks a rule; the pause lets more of the peer's messages
    // arrive unread, as a slow frame would.
    const std::string last = R"({"code":"ERR_BAD_SERVER_MESSAGE","lastType":"snapshot","type":"clientError"})";
    bool closed = false;
    recorder_.afterMessage = [&](const std::string&) {
        if (closed) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        transport_->send(last);
        transport_->close();
        closed = true;
    };
    ASSERT_TRUE(pumpUntil(*transport_, [&] { return closed; }));
    std::vector<std::string> payloads;
    EXPECT_EQ(endAfterFrames(payloads), "EOF") << peer_.allLines();
    EXPECT_EQ(payloads, std::vector<std::string>{encodeMessage(last)});
}

}  // namespace
}  // namespace vobu
