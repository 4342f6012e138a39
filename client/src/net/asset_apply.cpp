#include "net/asset_apply.h"

#include <stdexcept>
#include <string>

#include "character/character_json.h"
#include "net/asset_store.h"
#include "net/player_records.h"
#include "world/map_readers.h"
#include "world/scene.h"

namespace vobu {
namespace {

// Other players' skins come at the scale the server draws them with.
constexpr int kSkinFaceScale = 8;

void applySkin(Scene& scene, const ManifestEntry& entry, const std::vector<uint8_t>& bytes) {
    const std::string text(bytes.begin(), bytes.end());
    Character character = decodeCharacterJson(text, true);
    if (character.faceScale != kSkinFaceScale || entry.playerId == scene.localPlayerId)
        throw std::runtime_error("ERR_BAD_SPAWN_SKIN");
    if (scene.departedSkinOwners.count(entry.playerId) != 0) return;  // the player left before the skin arrived
    storeCharacter(scene, entry.playerId, std::move(character), entry.generation);
}

void applyOne(Scene& scene, const ManifestEntry& entry, const std::vector<uint8_t>& bytes) {
    switch (entry.kind) {
        case AssetMesh:
            readRenderMesh(scene, bytes);
            break;
        case AssetWalkMesh:
            readWalkMesh(scene.walkMesh, bytes);
            break;
        case AssetTexture:
            readTexture(scene, uint32_t(entry.material), bytes);
            break;
        case AssetSkin:
            applySkin(scene, entry, bytes);
            break;
        default:
            break;  // sounds: the join sound is decoded from the store itself
    }
}

}  // namespace

void applyAssets(Scene& scene, const AssetStore& store) {
    // By index: a reader never changes the manifest, but the loop must not
    // hold a reference into a vector that the Scene owns while it is written.
    for (size_t i = 0; i < scene.manifest.size(); ++i) {
        const ManifestEntry entry = scene.manifest[i];
        if (scene.appliedAssets.count(entry.id) != 0 || !store.isComplete(entry.id)) continue;
        applyOne(scene, entry, store.data(entry.id));
        scene.appliedAssets.insert(entry.id);
    }
}

}  // namespace vobu
