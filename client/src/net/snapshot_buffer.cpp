#include "net/snapshot_buffer.h"

#include <unordered_map>

namespace vobu {

void SnapshotBuffer::push(double timeMs, const std::vector<Player>& players) {
    snapshots_.push_back(Snapshot{timeMs, players});
    while (snapshots_.size() > kCapacity) snapshots_.pop_front();
}

void SnapshotBuffer::clear() { snapshots_.clear(); }

std::vector<Player> SnapshotBuffer::sample(double nowMs) const {
    if (snapshots_.empty()) return {};
    const double target = nowMs - kDelayMs;
    if (snapshots_.front().timeMs >= target) return snapshots_.front().players;

    for (size_t i = 1; i < snapshots_.size(); ++i) {
        const Snapshot& next = snapshots_[i];
        if (next.timeMs < target) continue;
        const Snapshot& prev = snapshots_[i - 1];
        const float f = static_cast<float>((target - prev.timeMs) / (next.timeMs - prev.timeMs));

        // The first player of prev with each id. A snapshot's list is only
        // bounded by the message size, so the lookup is by hash, not by a
        // search of prev for every player of next.
        std::unordered_map<int32_t, const Player*> previous;
        previous.reserve(prev.players.size());
        for (const Player& player : prev.players) previous.emplace(player.id, &player);  // keeps the first of an id

        std::vector<Player> result = next.players;
        for (Player& player : result) {
            auto found = previous.find(player.id);
            if (found == previous.end()) continue;
            const Player& before = *found->second;
            player.x = before.x + f * (player.x - before.x);
            player.y = before.y + f * (player.y - before.y);
            player.z = before.z + f * (player.z - before.z);
            player.vz = before.vz + f * (player.vz - before.vz);
        }
        return result;
    }
    return snapshots_.back().players;
}

}  // namespace vobu
