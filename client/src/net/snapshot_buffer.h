#pragma once
// The last 32 snapshots of the other players with their arrival times,
// sampled 100 ms in the past so that players move smoothly between them.

#include <deque>
#include <vector>

#include "world/scene.h"

namespace vobu {

struct Snapshot {
    double timeMs = 0;  // the client's clock when the message was handled
    std::vector<Player> players;
};

class SnapshotBuffer {
public:
    static constexpr size_t kCapacity = 32;
    static constexpr double kDelayMs = 100;

    void push(double timeMs, const std::vector<Player>& players);
    // The players as of nowMs - 100: between the two snapshots around that
    // time, x, y, z and vz interpolated for players both list (matched by
    // id, the first in the older one); the rest as the newer one has them.
    std::vector<Player> sample(double nowMs) const;
    void clear();

    const std::deque<Snapshot>& snapshots() const { return snapshots_; }

private:
    std::deque<Snapshot> snapshots_;
};

}  // namespace vobu
