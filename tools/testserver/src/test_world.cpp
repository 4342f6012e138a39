#include "test_world.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "game_server.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "net/sha256.h"
#include "world/map_readers.h"

namespace vobu::testserver {

namespace {

constexpr uint64_t kWorldBudget = 2097152;

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void addAsset(TestWorld& world, std::string id, std::string kind, std::vector<uint8_t> bytes, int32_t material = -1) {
    WorldAsset asset;
    asset.id = std::move(id);
    asset.kind = std::move(kind);
    asset.material = material;
    asset.hash = sha256Hex(bytes);
    asset.bytes = std::move(bytes);
    world.assets.push_back(std::move(asset));
}

void addCommonEntities(TestWorld& world) {
    world.entities = nlohmann::json::array({
        {{"id", 1},
         {"type", "text"},
         {"x", -3.0},
         {"y", 2.5},
         {"z", 1.6},
         {"text", "Welcome to the Vobu test world"},
         {"visibleRange", 40.0}},
        {{"id", 2},
         {"type", "text"},
         {"x", 3.0},
         {"y", -2.5},
         {"z", 1.6},
         {"text", "Bots walk here\nSay hello"},
         {"visibleRange", 40.0}},
        {{"id", 3},
         {"type", "audio"},
         {"x", 4.0},
         {"y", 4.0},
         {"z", 0.5},
         {"radius", 15.0},
         {"streamId", world.audioStreamId},
         {"generation", world.audioGeneration}},
    });
}

void buildDemo(TestWorld& world, const std::vector<uint8_t>& joinSound) {
    mapkit::KitRenderMap kit = mapkit::twoMaterialRenderMap();
    std::vector<RenderMaterial> materials(2);
    materials[0].number = 0;
    mapkit::addRenderQuad(materials[0], -10, -10, 10, 10, 0, 0.55f, 0.6f, 0.65f);
    materials[1].number = 1;
    mapkit::addRenderQuad(materials[1], 1, -1.5, 4, 1.5, 0.01, 1.0f, 0.5f, 0.0f);

    // Manifest order differs from request order on purpose: the client
    // sorts (walk mesh, mesh, textures, the rest).
    addAsset(world, "player-join", "audio", joinSound);
    addAsset(world, "tex-rug", "texture",
             mapkit::writeTexture(kit.textures[1].width, kit.textures[1].height, kit.textures[1].rgba), 1);
    addAsset(world, "map", "mesh", mapkit::writeRenderMesh(materials));
    addAsset(world, "tex-floor", "texture",
             mapkit::writeTexture(kit.textures[0].width, kit.textures[0].height, kit.textures[0].rgba), 0);
    addAsset(world, "walkmesh", "walkmesh", mapkit::writeWalkMesh(mapkit::flatFloor()));
    world.botPath = {{1.0, -3.0}, {5.0, -3.0}, {5.0, 3.0}, {1.0, 3.0}};
}

// The skins of the bots present at a welcome join its manifest: room for
// as many as a server can run, so the big world joins with any --bots.
uint64_t botSkinRoom() {
    uint64_t room = 0;
    for (int n = 1; n <= kMaxBots; ++n) {
        room += skinDocument(botCharacter(n)).size();
    }
    return room;
}

void buildBig(TestWorld& world, const std::vector<uint8_t>& joinSound) {
    // grid(128, 64, 0.5): 16384 triangles over x in [-32, 32], y in [-16, 16].
    addAsset(world, "walkmesh", "walkmesh", mapkit::writeWalkMesh(mapkit::grid(128, 64, 0.5)));
    addAsset(world, "tex-a", "texture", mapkit::rawNoiseTexture(1), 0);
    addAsset(world, "tex-b", "texture", mapkit::rawNoiseTexture(2), 1);
    addAsset(world, "player-join", "audio", joinSound);

    // Tiles of the floor, alternating materials, until the budget is used.
    const uint64_t used = world.totalBytes();
    std::vector<RenderMaterial> materials(2);
    materials[0].number = 0;
    materials[1].number = 1;
    const uint64_t perQuad = 4 * mapkit::kRenderVertexBytes + 6 * 4;
    const uint64_t fixed = mapkit::kRenderHeaderBytes + 2 * mapkit::kMaterialHeaderBytes;
    const uint64_t room = kWorldBudget - used - fixed - 64 - botSkinRoom();
    const uint64_t quads = std::min<uint64_t>(room / perQuad, 1048576 / perQuad - 1);
    const int columns = 128;
    for (uint64_t q = 0; q < quads; ++q) {
        const int column = static_cast<int>(q % columns);
        const int row = static_cast<int>(q / columns);
        const double x0 = -32 + column * 0.5;
        const double y0 = -16 + (row % 64) * 0.5;
        const double z = 0.001 * static_cast<double>(row / 64);
        RenderMaterial& material = materials[(column + row) % 2];
        mapkit::addRenderQuad(material, x0, y0, x0 + 0.5, y0 + 0.5, z, 0.5f, 0.6f, 0.7f);
    }
    addAsset(world, "map", "mesh", mapkit::writeRenderMesh(materials));
    if (world.totalBytes() > kWorldBudget) {
        throw std::runtime_error("the big world is over its budget");
    }
    world.botPath = {{1.0, -3.0}, {6.0, -3.0}, {6.0, 3.0}, {1.0, 3.0}};
}

}  // namespace

const WorldAsset* TestWorld::find(const std::string& id) const {
    for (const auto& asset : assets) {
        if (asset.id == id) {
            return &asset;
        }
    }
    return nullptr;
}

uint64_t TestWorld::totalBytes() const {
    uint64_t total = 0;
    for (const auto& asset : assets) {
        total += asset.bytes.size();
    }
    return total;
}

TestWorld buildTestWorld(const std::string& name, const std::string& dataDir) {
    TestWorld world;
    const std::vector<uint8_t> joinSound = readFile(dataDir + "/player-join.ogg");
    world.audioSegment = readFile(dataDir + "/stream-segment.ogg");
    world.audioSegmentSeconds = 1.0;
    if (name == "demo") {
        buildDemo(world, joinSound);
    } else if (name == "big") {
        buildBig(world, joinSound);
    } else {
        throw std::runtime_error("unknown world " + name);
    }
    world.spawn.x = -3;
    world.spawn.y = 0;
    world.spawn.z = 0;
    world.ambient = {{"level", 0.85}, {"color", "#fff4e0"}};
    addCommonEntities(world);
    readWalkMesh(world.walkMesh, world.find("walkmesh")->bytes);
    return world;
}

nlohmann::json movementJson(const MovementParams& p) {
    return {{"height", p.height},
            {"acceleration", p.acceleration},
            {"friction", p.friction},
            {"stopSpeed", p.stopSpeed},
            {"airAcceleration", p.airAcceleration},
            {"speed", p.speed},
            {"radius", p.radius},
            {"step", p.step},
            {"jumpSpeed", p.jumpSpeed},
            {"gravity", p.gravity},
            {"halfWidth", p.halfWidth},
            {"halfDepth", p.halfDepth}};
}

}  // namespace vobu::testserver
