#include "net/snapshot_buffer.h"

#include <gtest/gtest.h>

#include <random>

#include "support/players.h"

namespace vobu {
namespace {

using testing::playerAt;

// The fields a snapshot buffer carries but does not interpolate, made from
// the id, so that one copied from the wrong player, or left zero, shows.
Player tagged(Player player) {
    player.vx = player.id * 0.5;
    player.vy = -player.id * 0.25;
    player.triangle = player.id + 100;
    return player;
}

bool samePlayer(const Player& a, const Player& b) {
    return a.id == b.id && a.x == b.x && a.y == b.y && a.z == b.z && a.vz == b.vz && a.heading == b.heading &&
           a.vx == b.vx && a.vy == b.vy && a.triangle == b.triangle;
}

// The sampling as first described: every player of next searched for in
// prev, one linear search each.
std::vector<Player> quadraticSample(const std::deque<Snapshot>& snapshots, double now) {
    if (snapshots.empty()) return {};
    const double target = now - 100;
    if (snapshots.front().timeMs >= target) return snapshots.front().players;
    for (size_t i = 1; i < snapshots.size(); ++i) {
        if (snapshots[i].timeMs < target) continue;
        const Snapshot& prev = snapshots[i - 1];
        const Snapshot& next = snapshots[i];
        std::vector<Player> result = next.players;
        const float f = float((target - prev.timeMs) / (next.timeMs - prev.timeMs));
        for (Player& p : result) {
            for (const Player& q : prev.players) {
                if (q.id != p.id) continue;
                p.x = q.x + f * (p.x - q.x);
                p.y = q.y + f * (p.y - q.y);
                p.z = q.z + f * (p.z - q.z);
                p.vz = q.vz + f * (p.vz - q.vz);
                break;
            }
        }
        return result;
    }
    return snapshots.back().players;
}

TEST(SnapshotBuffer, EmptyAndSingleSnapshots) {
    SnapshotBuffer buffer;
    EXPECT_TRUE(buffer.sample(1000).empty());
    buffer.push(1000, {tagged(playerAt(1, 3, 0, 0))});
    for (double now : {0.0, 1000.0, 1100.0, 5000.0}) {
        const auto players = buffer.sample(now);
        ASSERT_EQ(players.size(), 1u);
        EXPECT_EQ(players[0].x, 3) << now;
    }
    buffer.clear();
    EXPECT_TRUE(buffer.sample(1000).empty());
}

TEST(SnapshotBuffer, KeepsTheLast32) {
    SnapshotBuffer buffer;
    for (int i = 0; i < 33; ++i) buffer.push(i * 10.0, {tagged(playerAt(1, i, 0, 0))});
    ASSERT_EQ(buffer.snapshots().size(), 32u);
    EXPECT_EQ(buffer.snapshots().front().timeMs, 10.0);
    // Before every snapshot: the oldest kept, which is the second pushed.
    EXPECT_EQ(buffer.sample(0)[0].x, 1);
}

TEST(SnapshotBuffer, InterpolatesPositionsAndKeepsTheNewerRest) {
    SnapshotBuffer buffer;
    buffer.push(1000, {tagged(playerAt(1, 0, 2, 4, 0.5f, -8))});
    buffer.push(1100, {tagged(playerAt(1, 10, 4, 8, 1.5f, 4))});

    const auto middle = buffer.sample(1150);  // target 1050
    ASSERT_EQ(middle.size(), 1u);
    EXPECT_DOUBLE_EQ(middle[0].x, 5);
    EXPECT_DOUBLE_EQ(middle[0].y, 3);
    EXPECT_DOUBLE_EQ(middle[0].z, 6);
    EXPECT_DOUBLE_EQ(middle[0].vz, -2) << "halfway from -8 to 4, not a vz left zero";
    EXPECT_EQ(middle[0].heading, 1.5f);

    EXPECT_EQ(buffer.sample(1300)[0].x, 10);  // target later than every snapshot
    EXPECT_EQ(buffer.sample(1000)[0].x, 0);   // target before every snapshot
    EXPECT_EQ(buffer.sample(1200)[0].x, 10);  // target exactly on the newest
    EXPECT_EQ(buffer.sample(1100)[0].x, 0);   // exactly on the oldest
}

TEST(SnapshotBuffer, PlayersOfOnlyOneSnapshot) {
    SnapshotBuffer buffer;
    buffer.push(1000, {tagged(playerAt(1, 0, 0, 0)), tagged(playerAt(2, 50, 0, 0))});
    buffer.push(1100, {tagged(playerAt(3, 20, 0, 0)), tagged(playerAt(1, 10, 0, 0))});
    const auto players = buffer.sample(1150);
    ASSERT_EQ(players.size(), 2u);  // 2 is gone from the newer snapshot
    EXPECT_EQ(players[0].id, 3);
    EXPECT_EQ(players[0].x, 20);  // only in the newer one: its newer position
    EXPECT_EQ(players[1].id, 1);
    EXPECT_DOUBLE_EQ(players[1].x, 5);
}

TEST(SnapshotBuffer, ARepeatedIdMatchesItsFirstEntryInTheOlderSnapshot) {
    SnapshotBuffer buffer;
    buffer.push(1000, {tagged(playerAt(4, 0, 0, 0)), tagged(playerAt(4, 100, 0, 0))});
    buffer.push(1100, {tagged(playerAt(4, 10, 0, 0)), tagged(playerAt(4, 20, 0, 0))});
    const auto players = buffer.sample(1150);
    ASSERT_EQ(players.size(), 2u);
    EXPECT_DOUBLE_EQ(players[0].x, 5);
    EXPECT_DOUBLE_EQ(players[1].x, 10);
}

TEST(SnapshotBuffer, MatchesTheOneByOneSearchOnRandomSnapshots) {
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        SnapshotBuffer buffer;
        double time = 1000;
        for (int s = 0; s < 40; ++s) {
            std::vector<Player> players;
            const int count = int(random() % 30);
            for (int p = 0; p < count; ++p)
                players.push_back(
                    tagged(playerAt(int32_t(random() % 20) - 2, double(random() % 1000) / 7, double(random() % 100),
                                    double(random() % 50), float(random() % 10), double(random() % 9))));
            buffer.push(time, players);
            time += 10 + random() % 50;
        }
        for (int probe = 0; probe < 30; ++probe) {
            const double now = 900 + double(random() % 3000);
            const auto fast = buffer.sample(now);
            const auto slow = quadraticSample(buffer.snapshots(), now);
            ASSERT_EQ(fast.size(), slow.size());
            for (size_t i = 0; i < fast.size(); ++i)
                ASSERT_TRUE(samePlayer(fast[i], slow[i])) << "round " << round << " now " << now << " player " << i;
        }
    }
}

}  // namespace
}  // namespace vobu
