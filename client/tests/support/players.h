#pragma once
// Players as a snapshot carries them, for the tests of the snapshot buffer,
// the renderer and picking.

#include <cstdint>

#include "world/scene.h"

namespace vobu::testing {

// A player at (x, y, z), facing heading radians, moving up at vz; it walks
// nowhere and stands on no known walk-mesh triangle.
inline Player playerAt(int32_t id, double x, double y, double z, float heading = 0, double vz = 0) {
    Player player;
    player.id = id;
    player.x = x;
    player.y = y;
    player.z = z;
    player.heading = heading;
    player.vz = vz;
    return player;
}

}  // namespace vobu::testing
