#pragma once
// One asset of a world's manifest, as the Scene holds it: the network fills
// it from the welcome, the asset store downloads what it names.

#include <cstdint>
#include <string>

namespace vobu {

enum AssetKind : int32_t {
    AssetAudio = 0,
    AssetSkin = 1,
    AssetMesh = 2,
    AssetWalkMesh = 3,
    AssetTexture = 4,
};

struct ManifestEntry {
    std::string id;
    std::string hash;  // SHA-256 as 64 lowercase hex digits (JSON "revision")
    uint32_t bytes = 0;
    int32_t kind = AssetAudio;
    int32_t playerId = -1;
    int32_t generation = 1;
    bool required = true;
    int32_t material = -1;
};

}  // namespace vobu
