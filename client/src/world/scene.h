#pragma once
// The client's picture of the world of one game connection. A plain record:
// the network fills it from server messages, the map readers and the
// navigation build fill its map part, everything else reads it.

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "character/character.h"
#include "world/manifest_entry.h"
#include "world/movement_types.h"

namespace rpg {
struct WalkMesh;
}

namespace vobu {

// One material of the render mesh.
struct RenderMaterial {
    uint32_t number = 0;  // equals the material's index in Scene::materials
    // 11 floats per vertex: position xyz, normal xyz, texture uv, colour rgb.
    std::vector<float> vertices;
    std::vector<uint32_t> indices;  // three per triangle
};

// The texture of one material slot.
struct MaterialTexture {
    int32_t revision = 0;
    int32_t width = 0;  // power of two 1..256; 0 while the slot is empty
    int32_t height = 0;
    bool hasTransparency = false;
    std::vector<uint8_t> rgba;
};

struct AmbientColor {
    float r = 0.48f;
    float g = 0.48f;
    float b = 0.48f;
};

// A walk-mesh triangle in world coordinates (Z up).
struct WalkTriangle {
    double x0 = 0, y0 = 0, z0 = 0;
    double x1 = 0, y1 = 0, z1 = 0;
    double x2 = 0, y2 = 0, z2 = 0;
};

// A boundary wall along an open edge of the walk mesh.
struct WallSegment {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    double floor0 = 0, top0 = 0, floor1 = 0, top1 = 0;  // top is +inf where nothing lies beyond
    double side = 1;                                    // +1 when the walkable side lies to the left of start->end
};

struct WalkMesh {
    std::vector<WalkTriangle> triangles;
    std::shared_ptr<rpg::WalkMesh> navigation;  // null until prepared
    std::vector<WallSegment> walls;             // at most 32768
};

// One player of a snapshot.
struct Player {
    int32_t id = 0;
    double x = 0, y = 0, z = 0, vz = 0, vx = 0, vy = 0;
    float heading = 0;
    int32_t triangle = -1;
};

// A player's movement state as the snapshot holds it, and a movement state
// as the player with that id.
inline MoveState moveStateOf(const Player& player) {
    MoveState state;
    state.x = player.x;
    state.y = player.y;
    state.z = player.z;
    state.vz = player.vz;
    state.heading = double(player.heading);
    state.vx = player.vx;
    state.vy = player.vy;
    state.triangle = player.triangle;
    return state;
}

inline Player playerOf(int32_t id, const MoveState& state) {
    Player player;
    player.id = id;
    player.x = state.x;
    player.y = state.y;
    player.z = state.z;
    player.vz = state.vz;
    player.vx = state.vx;
    player.vy = state.vy;
    player.heading = float(state.heading);
    player.triangle = state.triangle;
    return player;
}

struct SceneEntity {
    int32_t id = 0;
    std::string type;  // "text" or "audio"
    std::string text;
    float x = 0, y = 0, z = 0;
    float visibleRange = 0;
    float radius = 0;
    int32_t streamId = 0;
    int32_t generation = 0;
};

struct AudioSegment {
    int32_t streamId = 0;
    int32_t generation = 0;
    uint32_t seq = 0;
    double startMs = 0;         // performance-counter milliseconds
    double duration = 0;        // seconds
    std::vector<uint8_t> data;  // Ogg Vorbis
};

struct ChatEntry {
    uint32_t seq = 0;
    bool system = false;
    bool formatted = false;
    double receivedMs = 0;
    int32_t from = 0;
    int32_t to = 0;
    std::string name;
    std::string toName;
    std::string text;
};

// A number no Scene of this run had before. A fresh Scene (a new welcome)
// starts its revisions at 0 again; its identity is what tells its map apart
// from the previous world's when the revisions happen to repeat.
inline uint64_t nextSceneIdentity() {
    static std::atomic<uint64_t> last{0};
    return ++last;
}

struct Scene {
    std::vector<RenderMaterial> materials;
    std::vector<MaterialTexture> textures;
    int32_t meshRevision = 0;
    AmbientColor ambient;
    WalkMesh walkMesh;
    std::vector<SceneEntity> entities;
    int32_t entitiesRevision = 0;
    std::vector<AudioSegment> audioSegments;
    int32_t localPlayerId = -1;
    std::map<int, Character> characters;
    std::map<int, int> characterRevisions;
    std::map<int, int> characterGenerations;
    std::vector<ChatEntry> chat;
    int32_t chatRevision = 0;
    std::set<int> joinedPlayers;
    // The joined players that left since, oldest first; bounded, so that
    // joinedPlayers is too.
    std::deque<int> departedPlayers;
    MoveState swapState;
    uint32_t swapAck = 0;
    MoveState spawn;
    MovementParams movement;
    std::vector<ManifestEntry> manifest;
    std::set<std::string> appliedAssets;
    std::set<int> departedSkinOwners;
    std::string errorCode;
    std::string disconnectReason;
    std::string powChallenge;
    int32_t powDifficulty = 0;
    uint32_t lastAck = 0;
    std::vector<Player> players;
    uint64_t identity = nextSceneIdentity();  // copies share it: they show the same world
};

}  // namespace vobu
