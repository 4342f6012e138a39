#pragma once
// The worlds the test server serves: every asset already encoded, with its
// hash, plus the movement rules, spawn, ambient light, entities and the
// audio stream. The server keeps its own walk mesh read from the very
// bytes it sends, so both sides move on the same floor.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "world/movement_types.h"
#include "world/scene.h"

namespace vobu::testserver {

struct WorldAsset {
    std::string id;
    std::string kind;  // "walkmesh", "mesh", "texture", "audio"
    int32_t material = -1;
    std::vector<uint8_t> bytes;
    std::string hash;
};

struct TestWorld {
    std::vector<WorldAsset> assets;  // in manifest order
    MovementParams movement;
    MoveState spawn;
    nlohmann::json ambient;   // {"level", "color"}
    nlohmann::json entities;  // the "entities" array
    uint32_t entitiesRevision = 1;
    int32_t audioStreamId = 1;
    int32_t audioGeneration = 1;
    std::vector<uint8_t> audioSegment;  // one Ogg Vorbis segment, looped
    double audioSegmentSeconds = 1.0;
    WalkMesh walkMesh;  // read back from the walk mesh asset
    // Points the bots walk between (on the floor, away from the spawn).
    std::vector<std::pair<double, double>> botPath;

    const WorldAsset* find(const std::string& id) const;
    uint64_t totalBytes() const;
};

// "demo": a 20 x 20 floor, a two-material render mesh with two textures,
// two signs and an audio entity. "big": the same kinds of asset adding up
// to just under 2 MiB. Reads "player-join.ogg" and "stream-segment.ogg"
// from dataDir. Throws std::runtime_error for an unknown name or a missing
// file.
TestWorld buildTestWorld(const std::string& name, const std::string& dataDir);

// The movement rules as the welcome's "movement" object.
nlohmann::json movementJson(const MovementParams& params);

}  // namespace vobu::testserver
