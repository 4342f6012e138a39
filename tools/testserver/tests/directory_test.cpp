// The directory request as the test server answers it: itself and the
// listed servers, at once, late, never, or at once and then hanging up.

#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "game_server.h"
#include "server_runner.h"
#include "test_client.h"

namespace vobu::testserver::test {
namespace {

class RecordingLink : public ClientLink {
public:
    void send(Outgoing item) override { items.push_back(std::move(item)); }
    std::vector<json> messages() const {
        std::vector<json> out;
        for (const Outgoing& item : items)
            if (item.kind == Outgoing::Kind::Message) out.push_back(json::from_msgpack(item.bytes));
        return out;
    }
    bool closed() const { return !items.empty() && items.back().kind == Outgoing::Kind::Close; }
    std::vector<Outgoing> items;
};

std::string pack(const json& message) {
    const std::vector<uint8_t> bytes = json::to_msgpack(message);
    return std::string(bytes.begin(), bytes.end());
}

ServerOptions directoryOptions(DirectoryReply reply) {
    ServerOptions options =
        parseServerOptions({"--bots", "0", "--title", "Here", "--motd", "hi", "--list",
                            "Other|elsewhere|ws://other.test:1/vobu", "--list", "Third||wss://t/x"});
    options.directoryReply = reply;
    options.directoryDelayMs = 1500;
    return options;
}

class DirectoryTest : public ::testing::Test {
protected:
    void startServer(DirectoryReply reply) {
        ServerOptions options = directoryOptions(reply);
        server =
            std::make_unique<GameServer>(options, buildTestWorld("demo", options.dataDir), [this] { return nowMs; });
        connection = server->onOpen(&link);
        server->onMessage(connection, pack({{"type", "directory"}}));
    }
    // Directory replies received so far (the challenge comes first).
    std::vector<json> replies() const {
        std::vector<json> out;
        for (const json& m : link.messages())
            if (m.at("type") == "directory") out.push_back(m);
        return out;
    }
    void tickTo(double ms) {
        while (nowMs < ms) {
            nowMs += 50;
            server->tick();
        }
    }

    double nowMs = 0;
    RecordingLink link;
    std::unique_ptr<GameServer> server;
    int connection = 0;
};

TEST_F(DirectoryTest, ReplyListsThisServerThenTheListedOnes) {
    startServer(DirectoryReply::Answer);
    ASSERT_EQ(replies().size(), 1u);
    const json expected = json::parse(R"([{"motd":"hi","title":"Here","url":""},
        {"motd":"elsewhere","title":"Other","url":"ws://other.test:1/vobu"},
        {"motd":"","title":"Third","url":"wss://t/x"}])");
    EXPECT_EQ(replies()[0].at("servers"), expected);
    tickTo(10000);
    EXPECT_FALSE(link.closed());  // held open
    server->onMessage(connection, pack({{"type", "directory"}}));
    EXPECT_EQ(replies().size(), 2u);
}

TEST_F(DirectoryTest, LateReplyComesAfterTheDelay) {
    startServer(DirectoryReply::Late);
    tickTo(1450);
    EXPECT_TRUE(replies().empty());
    tickTo(1500);
    EXPECT_EQ(replies().size(), 1u);
    tickTo(5000);
    EXPECT_EQ(replies().size(), 1u);
}

TEST_F(DirectoryTest, LateReplyToAConnectionThatLeftIsDropped) {
    startServer(DirectoryReply::Late);
    server->onClosed(connection, "gone");
    const size_t before = link.items.size();
    tickTo(3000);
    EXPECT_EQ(link.items.size(), before);
}

TEST_F(DirectoryTest, NeverAnswersAndKeepsTheConnection) {
    startServer(DirectoryReply::Never);
    tickTo(20000);
    EXPECT_TRUE(replies().empty());
    EXPECT_FALSE(link.closed());
}

TEST_F(DirectoryTest, AnswerAndCloseQueuesTheCloseAfterTheReply) {
    startServer(DirectoryReply::AnswerAndClose);
    ASSERT_EQ(replies().size(), 1u);
    EXPECT_TRUE(link.closed());
}

TEST_F(DirectoryTest, CloseAfterADelayComesWithATick) {
    ServerOptions options = directoryOptions(DirectoryReply::AnswerAndClose);
    options.directoryCloseDelayMs = 200;
    server = std::make_unique<GameServer>(options, buildTestWorld("demo", options.dataDir), [this] { return nowMs; });
    connection = server->onOpen(&link);
    server->onMessage(connection, pack({{"type", "directory"}}));
    ASSERT_EQ(replies().size(), 1u);
    tickTo(150);
    EXPECT_FALSE(link.closed());
    tickTo(200);
    EXPECT_TRUE(link.closed());
}

TEST(DirectoryOptions, CommandLine) {
    ServerOptions options = directoryOptions(DirectoryReply::Answer);
    ASSERT_EQ(options.listed.size(), 2u);
    EXPECT_EQ(options.listed[1].motd, "");
    EXPECT_EQ(parseServerOptions({"--directory-reply", "close"}).directoryReply, DirectoryReply::AnswerAndClose);
    EXPECT_EQ(parseServerOptions({"--directory-reply", "late", "--directory-delay-ms", "250"}).directoryDelayMs, 250);
    EXPECT_EQ(parseServerOptions({"--directory-close-delay-ms", "300"}).directoryCloseDelayMs, 300);
    EXPECT_THROW(parseServerOptions({"--directory-reply", "sometimes"}), std::invalid_argument);
    EXPECT_THROW(parseServerOptions({"--list", "only|two"}), std::invalid_argument);
}

// Over a real socket: the reply arrives, then the server ends the connection.
TEST(DirectorySocket, AnswerAndCloseEndsTheConnectionAfterTheReply) {
    ServerOptions options = directoryOptions(DirectoryReply::AnswerAndClose);
    options.difficulty = 6;
    ServerRunner runner(options);
    std::thread thread([&] { runner.run(false); });
    {
        TestClient client(runner.port());
        client.send({{"type", "directory"}});
        const json reply = client.receiveType("directory");
        EXPECT_EQ(reply.at("servers").size(), 3u);
        EXPECT_ANY_THROW(client.receive(3000));
    }
    runner.stop();
    thread.join();
}

}  // namespace
}  // namespace vobu::testserver::test
