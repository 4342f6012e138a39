// The saved servers' subscriptions against hand-driven transports and a
// clock the test sets: pace, time-out, failure marks, the back-off of a
// server that answers and hangs up, and what Join and Delete close.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser_fixture.h"

namespace vobu::testing {
namespace {

const std::vector<std::string> kThree = {"ws://one.test/vobu", "ws://two.test/vobu", "ws://three.test/vobu"};

class SubscriptionTest : public BrowserTest {
protected:
    // The clock time of every subscription start, by URL order of starting.
    std::vector<std::pair<std::string, double>> starts;
    void recordFrames(double totalMs, double stepMs = 10) {
        size_t seen = net.lines.size();
        for (double t = 0; t < totalMs; t += stepMs) {
            advance(stepMs);
            frame();
            for (; seen < net.lines.size(); ++seen) starts.emplace_back(net.lines[seen]->connects.at(0), nowMs);
        }
    }
    void answer(const std::string& url, const std::string& title) {
        FakeLine* line = net.lineFor(url);
        ASSERT_NE(line, nullptr);
        line->serverOpens();
        line->serverSends(selfReply(title, "motd of " + title));
    }
};

TEST_F(SubscriptionTest, SavedServersStart150MsApartInListOrder) {
    start(kThree);
    starts.emplace_back("", 0);
    recordFrames(600);
    starts.erase(starts.begin());
    ASSERT_EQ(starts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(starts[i].first, kThree[i]);
    EXPECT_DOUBLE_EQ(starts[1].second - starts[0].second, 150);
    EXPECT_DOUBLE_EQ(starts[2].second - starts[1].second, 150);
    // each asks with the directory request once it opens
    answer(kThree[0], "One");
    frame();
    EXPECT_EQ(net.lineFor(kThree[0])->sent, std::vector<std::string>{R"({"type":"directory"})"});
    EXPECT_EQ(browser.rows[0].title, "One");
    EXPECT_EQ(browser.rows[0].motd, "motd of One");
}

// The pace counts from the end of a start: a name lookup of one second
// pushes the next start back by that second.
TEST_F(SubscriptionTest, PaceIsMeasuredFromTheEndOfTheLookup) {
    start(kThree);
    std::vector<double> connectTimes;
    net.onConnect = [this, &connectTimes] {
        connectTimes.push_back(nowMs);
        nowMs += 1000;
    };
    run(2800, 10);
    ASSERT_EQ(connectTimes.size(), 3u);
    EXPECT_GE(connectTimes[1] - connectTimes[0], 1150);
    EXPECT_LT(connectTimes[1] - connectTimes[0], 1170);
    EXPECT_GE(connectTimes[2] - connectTimes[1], 1150);
}

TEST_F(SubscriptionTest, SilentServerIsClosedAfterSixSecondsAndAskedAgainOnlyAfterRefresh) {
    start({kThree[0]});
    frame();
    FakeLine* line = net.lineFor(kThree[0]);
    ASSERT_NE(line, nullptr);
    line->serverOpens();
    advance(6000);
    frame();
    EXPECT_EQ(line->closes, 0);  // 6000 ms exactly: not yet
    advance(1);
    frame();
    EXPECT_EQ(line->closes, 1);
    EXPECT_EQ(browser.failedUrls.count(kThree[0]), 1u);
    run(60000, 500);
    EXPECT_EQ(net.connectsTo(kThree[0]), 1);
    browser.refresh();
    frame();
    EXPECT_EQ(net.connectsTo(kThree[0]), 2);
}

TEST_F(SubscriptionTest, ReplyOfAnotherTypeIsNoAnswerAndNoEntryIsMarkedFailedAtOnce) {
    start({kThree[0], kThree[1]});
    run(300);
    FakeLine* other = net.lineFor(kThree[0]);
    other->serverOpens();
    other->serverSends(R"({"type":"challenge"})");
    FakeLine* none = net.lineFor(kThree[1]);
    none->serverOpens();
    none->serverSends(directoryReply({{"X", "", "ws://elsewhere.test/vobu"}}));
    frame();
    EXPECT_EQ(browser.failedUrls.count(kThree[1]), 1u);
    EXPECT_EQ(browser.failedUrls.count(kThree[0]), 0u);
    advance(6001);
    frame();
    EXPECT_EQ(browser.failedUrls.count(kThree[0]), 1u);
}

TEST_F(SubscriptionTest, ConnectFailingAtOnceCountsAsFailedAtTheNextPoll) {
    net.failingUrls = {kThree[0]};
    start({kThree[0], kThree[1]});
    frame();
    ASSERT_EQ(browser.subscriptions.count(kThree[0]), 1u);
    EXPECT_TRUE(browser.subscriptions.at(kThree[0])->closed);
    advance(150);
    frame();
    EXPECT_EQ(browser.failedUrls.count(kThree[0]), 1u);
    EXPECT_EQ(browser.subscriptions.count(kThree[0]), 0u);
    EXPECT_EQ(browser.subscriptions.count(kThree[1]), 1u);
    run(10000, 500);
    EXPECT_EQ(net.connectsTo(kThree[0]), 1);
}

// A server that answers and then hangs up is asked again after 10 s, then
// 20 s, 40 s ... up to 5 minutes; its title stays shown meanwhile.
TEST_F(SubscriptionTest, AnswerThenCloseIsAskedAgainAfterTheBackOffNotBefore) {
    start({kThree[0]});
    frame();
    double delay = 10000;
    for (int round = 1; round <= 7; ++round) {
        FakeLine* line = net.lineFor(kThree[0]);
        answer(kThree[0], "One");
        line->serverCloses();
        frame();
        ASSERT_TRUE(browser.subscriptions.empty()) << "round " << round;
        EXPECT_EQ(browser.failedUrls.count(kThree[0]), 0u);
        EXPECT_EQ(browser.rows.at(0).title, "One");
        advance(delay - 1);
        frame();
        EXPECT_EQ(net.connectsTo(kThree[0]), round) << "asked again before " << delay << " ms";
        advance(1);
        frame();
        EXPECT_EQ(net.connectsTo(kThree[0]), round + 1) << "not asked again after " << delay << " ms";
        delay = std::min(delay * 2, 300000.0);
    }
    EXPECT_EQ(browser.backOff.at(kThree[0]).delayMs, 300000);
}

// A server that stayed connected for five minutes or more before it hung up
// starts over at the shortest delay.
TEST_F(SubscriptionTest, LongStayResetsTheBackOff) {
    start({kThree[0]});
    frame();
    for (int round = 0; round < 3; ++round) {  // 10 s, 20 s, 40 s
        FakeLine* line = net.lineFor(kThree[0]);
        answer(kThree[0], "One");
        line->serverCloses();
        frame();
        advance(browser.backOff.at(kThree[0]).delayMs);
        frame();
    }
    ASSERT_EQ(browser.backOff.at(kThree[0]).delayMs, 40000);
    answer(kThree[0], "One");
    frame();
    advance(300000);
    net.lineFor(kThree[0])->serverCloses();
    frame();
    EXPECT_EQ(browser.backOff.at(kThree[0]).delayMs, 10000);
}

TEST_F(SubscriptionTest, RefreshAsksAWaitingServerAtOnce) {
    start({kThree[0]});
    frame();
    FakeLine* line = net.lineFor(kThree[0]);
    answer(kThree[0], "One");
    line->serverCloses();
    frame();
    advance(100);
    frame();
    EXPECT_EQ(net.connectsTo(kThree[0]), 1);
    browser.refresh();
    frame();
    EXPECT_EQ(net.connectsTo(kThree[0]), 2);
}

TEST_F(SubscriptionTest, AnsweredServerStaysOpenAndOnlyChangedAnswersRebuild) {
    start({kThree[0]});
    frame();
    answer(kThree[0], "One");
    frame();
    run(20000, 1000);
    EXPECT_EQ(net.connectsTo(kThree[0]), 1);
    EXPECT_EQ(net.lineFor(kThree[0])->closes, 0);
    net.lineFor(kThree[0])->serverSends(selfReply("One renamed", ""));
    frame();
    EXPECT_EQ(browser.rows[0].title, "One renamed");
}

TEST_F(SubscriptionTest, JoinClosesTheSubscriptionsOnly) {
    start(kThree);
    directoryAnswers({{"Dir", "", "ws://dir-listed.test/vobu"}});
    run(600);
    ASSERT_EQ(browser.subscriptions.size(), 3u);
    browser.list.select(0);
    key(SDLK_RETURN);
    std::string url;
    ASSERT_TRUE(browser.takeJoinRequest(url));
    EXPECT_EQ(url, "ws://dir-listed.test/vobu");
    EXPECT_TRUE(browser.subscriptions.empty());
    EXPECT_TRUE(browser.subscribeQueue.empty());
    EXPECT_TRUE(browser.failedUrls.empty());
    for (const std::string& saved : kThree) EXPECT_EQ(net.lineFor(saved)->closes, 1);
    EXPECT_EQ(net.directory().closes, 0);
    EXPECT_FALSE(browser.takeJoinRequest(url));
}

TEST_F(SubscriptionTest, CharactersRequestClosesTheSubscriptions) {
    start(kThree);
    run(600);
    click(216 + 90, 624 + 16);
    EXPECT_TRUE(browser.takeCharactersRequest());
    EXPECT_TRUE(browser.subscriptions.empty());
    EXPECT_FALSE(browser.takeCharactersRequest());
}

TEST_F(SubscriptionTest, AtMostOneStartPerFrame) {
    start(kThree);
    advance(10000);
    frame();
    EXPECT_EQ(net.lines.size(), 2u);  // the directory and one subscription
}

}  // namespace
}  // namespace vobu::testing
