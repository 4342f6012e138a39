// The browser with its real transports against the test game server over
// loopback: a directory that hangs up after answering, and a saved server
// that does the same.

#include <chrono>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "browser/server_browser.h"
#include "browser_fixture.h"
#include "platform/performance_clock.h"
#include "server_runner.h"

namespace vobu::testing {
namespace {

using testserver::DirectoryReply;
using testserver::ServerOptions;
using testserver::ServerRunner;

class LiveServer {
public:
    explicit LiveServer(DirectoryReply reply) {
        ServerOptions options =
            testserver::parseServerOptions({"--bots", "0", "--title", "Live", "--motd", "over loopback", "--list",
                                            "Other|listed|ws://127.0.0.1:1/vobu"});
        options.directoryReply = reply;
        // The hang-up in a later read than the reply: the transport drops a
        // message that arrives in the same read as the end of the stream.
        options.directoryCloseDelayMs = 200;
        runner = std::make_unique<ServerRunner>(options);
        thread = std::thread([this] { runner->run(false); });
    }
    ~LiveServer() {
        runner->stop();
        thread.join();
    }
    std::string url() const { return "ws://127.0.0.1:" + std::to_string(runner->port()) + "/vobu"; }

    std::unique_ptr<ServerRunner> runner;
    std::thread thread;
};

class LiveBrowserTest : public ::testing::Test {
protected:
    LiveBrowserTest() : graphics(std::make_unique<testing::RecordingBackend>(recording)), font(testing::testFont()) {}

    // Frames of about 5 ms until `done` holds or two seconds have passed.
    bool framesUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 400 && !done(); ++i) {
            browser.update();
            browser.draw(1020, 680, {}, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    UserFolder folder;
    testing::Recording recording;
    Graphics graphics;
    Font font;
    ServerBrowser browser;
};

TEST_F(LiveBrowserTest, DirectoryThatAnswersAndHangsUpStaysListed) {
    LiveServer server(DirectoryReply::AnswerAndClose);
    browser.initialize(graphics, font, server.url(), {});
    ASSERT_TRUE(framesUntil([&] { return browser.rows.size() == 2; }));
    EXPECT_EQ(browser.rows[0].title, "Live");
    EXPECT_EQ(browser.rows[0].url, server.url());
    EXPECT_EQ(browser.rows[1].url, "ws://127.0.0.1:1/vobu");
    // the hang-up has arrived by now; the list stays
    framesUntil([] { return false; });
    EXPECT_EQ(browser.rows.size(), 2u);
}

TEST_F(LiveBrowserTest, SavedServerThatAnswersAndHangsUpWaitsBeforeItIsAskedAgain) {
    LiveServer directory(DirectoryReply::Never);
    LiveServer saved(DirectoryReply::AnswerAndClose);
    folder.put("[\"" + saved.url() + "\"]");
    browser.initialize(graphics, font, directory.url(), {});
    ASSERT_TRUE(framesUntil([&] { return browser.backOff.count(saved.url()) == 1; }));
    EXPECT_EQ(browser.rows.at(0).title, "Live");
    EXPECT_EQ(browser.rows.at(0).motd, "over loopback");
    EXPECT_TRUE(browser.subscriptions.empty());
    EXPECT_TRUE(browser.failedUrls.empty());
    framesUntil([] { return false; });
    EXPECT_TRUE(browser.subscriptions.empty());  // not dialled again within the back-off
    EXPECT_EQ(browser.rows.at(0).title, "Live");
}

}  // namespace
}  // namespace vobu::testing
