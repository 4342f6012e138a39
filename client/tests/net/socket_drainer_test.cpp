// The drainer over real socket pairs with a clock that only the test moves:
// a socket stays until its peer ends or its time is over, never longer, and
// only a bounded number at once.

#include "net/socket_drainer.h"
#include "transport_test_peer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vobu {
namespace {

using testing::ManualClock;

// One connection: our end (handed to the drainer, its sending side shut as
// the transport leaves it) and the peer's.
struct SocketPair {
    int ours = -1;
    int theirs = -1;
    SocketPair() {
        int ends[2];
        if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
            throw std::runtime_error("socketpair failed");
        }
        ours = ends[0];
        theirs = ends[1];
        shutdown(ours, SHUT_WR);
    }
    ~SocketPair() { close(theirs); }
    SocketPair(const SocketPair&) = delete;
    SocketPair& operator=(const SocketPair&) = delete;

    // Writes until the pipe is full or `bytes` are written.
    size_t send(size_t bytes) {
        const std::string block(4096, 'x');
        size_t written = 0;
        while (written < bytes) {
            const ssize_t n = write(theirs, block.data(), std::min(block.size(), bytes - written));
            if (n <= 0) break;
            written += static_cast<size_t>(n);
        }
        return written;
    }
    void end() { shutdown(theirs, SHUT_WR); }
};

class SocketDrainerTest : public ::testing::Test {
protected:
    SocketDrainerTest() : drainer(calls()) {}

    TransportCalls calls() {
        TransportCalls result = testing::callsWithClock(clock);
        const auto closeSocket = result.closeSocket;
        result.closeSocket = [this, closeSocket](int socket) {
            closed.push_back(socket);
            closeSocket(socket);
        };
        // Sleeping is the clock running on.
        result.waitForInput = [this](const std::vector<int>&, uint32_t timeoutMs) {
            waits.push_back(timeoutMs);
            clock.advance(timeoutMs);
        };
        return result;
    }

    bool isClosed(int socket) const { return std::count(closed.begin(), closed.end(), socket) == 1; }

    ManualClock clock;
    std::vector<int> closed;
    std::vector<uint32_t> waits;
    SocketDrainer drainer;
};

TEST_F(SocketDrainerTest, APeerThatEndsIsLetGoOnceItsEndIsRead) {
    // Less than one poll's reads, and more: the end is only seen behind
    // everything sent before it.
    for (const size_t bytes : {size_t(0), size_t(1000), size_t(150000)}) {
        SCOPED_TRACE(bytes);
        closed.clear();
        SocketPair pair;
        drainer.adopt(pair.ours);
        ASSERT_EQ(pair.send(bytes), bytes);
        pair.end();
        int polls = 0;
        while (drainer.size() > 0 && polls < 10) {
            drainer.poll();
            ++polls;
        }
        EXPECT_TRUE(isClosed(pair.ours));
        EXPECT_EQ(polls, bytes > 8 * 8192 ? 3 : 1);
    }
}

TEST_F(SocketDrainerTest, APeerThatKeepsSendingIsHeldUntilTheDrainTimeIsOver) {
    SocketPair pair;
    drainer.adopt(pair.ours);
    for (uint32_t step = 0; step < SocketDrainer::kDrainMs; step += 100) {
        pair.send(20000);
        drainer.poll();
        ASSERT_EQ(drainer.size(), 1u) << step;
        clock.advance(100);
    }
    drainer.poll();
    EXPECT_TRUE(isClosed(pair.ours));
    EXPECT_EQ(drainer.size(), 0u);
}

TEST_F(SocketDrainerTest, AQuietPeerIsHeldUntilTheDrainTimeIsOver) {
    SocketPair pair;
    drainer.adopt(pair.ours);
    clock.advance(SocketDrainer::kDrainMs - 1);
    drainer.poll();
    EXPECT_EQ(drainer.size(), 1u);
    clock.advance(1);
    drainer.poll();
    EXPECT_TRUE(isClosed(pair.ours));
}

TEST_F(SocketDrainerTest, BeyondTheLimitTheOldestSocketIsClosedAtOnce) {
    std::vector<std::unique_ptr<SocketPair>> pairs;
    std::vector<uint32_t> adopted;
    for (size_t i = 0; i <= SocketDrainer::kMaxSockets; ++i) {
        pairs.push_back(std::make_unique<SocketPair>());
        adopted.push_back(clock.now->load());
        drainer.adopt(pairs.back()->ours);
        clock.advance(10);
    }
    EXPECT_EQ(drainer.size(), SocketDrainer::kMaxSockets);
    EXPECT_EQ(closed, std::vector<int>{pairs.front()->ours});
    // The others keep their own times: the second one goes first.
    *clock.now = adopted[1] + SocketDrainer::kDrainMs;
    drainer.poll();
    EXPECT_EQ(closed, (std::vector<int>{pairs[0]->ours, pairs[1]->ours}));
}

TEST_F(SocketDrainerTest, FinishWaitsAtMostTheTimeGivenForAPeerThatKeepsSending) {
    SocketPair flooding;
    SocketPair ending;
    drainer.adopt(flooding.ours);
    drainer.adopt(ending.ours);
    flooding.send(1000);
    ending.end();
    const uint32_t start = clock.now->load();
    drainer.finish(SocketDrainer::kExitWaitMs);
    EXPECT_EQ(clock.now->load() - start, SocketDrainer::kExitWaitMs);
    EXPECT_TRUE(isClosed(flooding.ours));
    EXPECT_TRUE(isClosed(ending.ours));
    EXPECT_EQ(drainer.size(), 0u);
}

TEST_F(SocketDrainerTest, FinishDoesNotWaitWhenEveryPeerHasEnded) {
    SocketPair pair;
    drainer.adopt(pair.ours);
    pair.send(1000);
    pair.end();
    drainer.finish(SocketDrainer::kExitWaitMs);
    EXPECT_TRUE(waits.empty());
    EXPECT_TRUE(isClosed(pair.ours));
}

TEST_F(SocketDrainerTest, DestroyingItClosesEverySocketAtOnce) {
    SocketPair first;
    SocketPair second;
    {
        SocketDrainer local(calls());
        local.adopt(first.ours);
        local.adopt(second.ours);
    }
    EXPECT_TRUE(isClosed(first.ours));
    EXPECT_TRUE(isClosed(second.ours));
    EXPECT_TRUE(waits.empty());
}

}  // namespace
}  // namespace vobu
