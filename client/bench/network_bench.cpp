// The Network's own cost, without sockets: a whole join of a world of just
// under 2 MiB (welcome, every chunk decoded, hashed and applied, the ready
// check), and one frame's update while playing among other players.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "net/network.h"
#include "net/protocol_test_support.h"
#include "net/server_message_session.h"
#include "support/fake_transport.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "world/renderer.h"

namespace {

using namespace vobu;
using namespace vobu::testing;

constexpr size_t kChunkBytes = 12288;

struct World {
    std::vector<ManifestEntry> manifest;
    std::vector<std::vector<uint8_t>> bytes;
    std::vector<std::string> chunkMessages;
};

// A walk-mesh grid, two noise textures and a render mesh of floor tiles
// filling the rest of the 2 MiB budget (the mesh at most 1 MiB).
World largeWorld() {
    World world;
    auto add = [&](const std::string& id, int32_t kind, std::vector<uint8_t> bytes, int32_t material) {
        ManifestEntry entry = entryFor(id, kind, bytes);
        entry.material = material;
        world.manifest.push_back(entry);
        world.bytes.push_back(std::move(bytes));
    };
    add("walkmesh", AssetWalkMesh, mapkit::writeWalkMesh(mapkit::grid(128, 64, 0.5)), -1);
    add("tex-a", AssetTexture, mapkit::rawNoiseTexture(1), 0);
    add("tex-b", AssetTexture, mapkit::rawNoiseTexture(2), 1);
    add("player-join", AssetAudio, patternBytes(40000, 9), -1);
    std::vector<RenderMaterial> materials(2);
    materials[0].number = 0;
    materials[1].number = 1;
    uint64_t used = 0;
    for (const auto& bytes : world.bytes) used += bytes.size();
    const uint64_t perQuad = 4 * mapkit::kRenderVertexBytes + 6 * 4;
    const uint64_t fixed = mapkit::kRenderHeaderBytes + 2 * mapkit::kMaterialHeaderBytes;
    const uint64_t quads =
        std::min<uint64_t>((kMaxTotalAssetBytes - used - fixed) / perQuad, (kMaxWelcomeAssetBytes - fixed) / perQuad);
    for (int q = 0; q < int(quads); ++q) {
        const double x0 = -32 + (q % 128) * 0.5;
        const double y0 = -16 + (q / 128 % 64) * 0.5;
        mapkit::addRenderQuad(materials[(q + q / 128) % 2], x0, y0, x0 + 0.5, y0 + 0.5, 0.001 * (q / 8192), 0.5f, 0.6f,
                              0.7f);
    }
    add("map", AssetMesh, mapkit::writeRenderMesh(materials), -1);
    for (size_t i = 0; i < world.manifest.size(); ++i) {
        const std::vector<uint8_t>& data = world.bytes[i];
        for (size_t offset = 0; offset < data.size(); offset += kChunkBytes) {
            const size_t size = std::min(kChunkBytes, data.size() - offset);
            const std::vector<uint8_t> piece(data.begin() + long(offset), data.begin() + long(offset + size));
            world.chunkMessages.push_back(json{
                {"type", "assetChunk"},
                {"id", world.manifest[i].id},
                {"offset", offset},
                {"data", encodeBase64(piece)},
                {"done", offset + size ==
                             data.size()}}.dump());
        }
    }
    return world;
}

struct Game {
    Scene scene;
    FakeLine wire;
    double clockMs = 100000;
    std::unique_ptr<Network> network;

    Game() {
        network = std::make_unique<Network>(
            scene, [this](TransportCallbacks&& callbacks) { return wire.attach(std::move(callbacks)); });
        network->setClock([this] { return clockMs; });
        network->localCharacter = localCharacter();
        wire.acceptsAtOnce = true;
        network->connect("ws://127.0.0.1:9/");
    }
    void serve(const std::string& text) { wire.serverSends(text); }
    void step(double moveX = 0, double moveY = 0) { network->update(clockMs, moveX, moveY, false); }
};

void BM_JoinOfA2MiBWorld(benchmark::State& state) {
    const World world = largeWorld();
    uint64_t total = 0;
    for (const auto& bytes : world.bytes) total += bytes.size();
    const std::string welcome = welcomeJson(localCharacter(), world.manifest).dump();
    for (auto _ : state) {
        // A fresh Network each time: the store's cache would complete every
        // asset at the welcome otherwise.
        Game game;
        game.serve(welcome);
        for (const std::string& chunk : world.chunkMessages) game.serve(chunk);
        game.step();
        game.network->checkAssetsReady();
        game.serve(R"({"type":"ready"})");
        game.step();
        if (!game.network->joined) state.SkipWithError(("no join: " + game.network->errorCode).c_str());
    }
    state.counters["world_bytes"] = double(total);
    state.counters["chunks"] = double(world.chunkMessages.size());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(total));
}
BENCHMARK(BM_JoinOfA2MiBWorld)->Unit(benchmark::kMillisecond);

// One frame while playing: walking forward, a snapshot of the local player
// and seven others every third frame (50 ms at 60 frames a second).
void BM_PlayingFrame(benchmark::State& state) {
    Game game;
    const std::vector<ManifestEntry> manifest = {
        joinSoundEntry(), entryFor("walkmesh", AssetWalkMesh, mapkit::writeWalkMesh(mapkit::flatFloor()))};
    game.serve(welcomeJson(localCharacter(), manifest).dump());
    game.serve(json{
        {"type", "assetChunk"},
        {"id", "player-join"},
        {"offset", 0},
        {"data", encodeBase64(patternBytes(10, 9))},
        {"done",
         true}}.dump());
    game.serve(json{
        {"type", "assetChunk"},
        {"id", "walkmesh"},
        {"offset", 0},
        {"data", encodeBase64(mapkit::writeWalkMesh(mapkit::flatFloor()))},
        {"done",
         true}}.dump());
    game.step();
    game.network->checkAssetsReady();
    game.serve(R"({"type":"ready"})");
    game.step();
    if (!game.network->joined) {
        state.SkipWithError(("no join: " + game.network->errorCode).c_str());
        return;
    }
    uint64_t frame = 0;
    for (auto _ : state) {
        game.clockMs += 1000.0 / 60;
        if (frame % 3 == 0) {
            json players = json::array();
            const MoveState me = game.network->predictor.state;
            players.push_back({{"id", kLocalId},
                               {"x", me.x},
                               {"y", me.y},
                               {"z", me.z},
                               {"vz", me.vz},
                               {"heading", me.heading},
                               {"vx", me.vx},
                               {"vy", me.vy},
                               {"triangle", me.triangle},
                               {"ack", game.network->predictor.nextSequence - 1}});
            for (int i = 0; i < 7; ++i) players.push_back({{"id", 10 + i}, {"x", i}, {"y", 1}, {"z", 0}, {"vz", 0}});
            game.serve(json{{"type", "snapshot"}, {"players", players}}.dump());
        }
        game.step(0, 1);
        benchmark::DoNotOptimize(game.network->playersForRender(game.clockMs));
        ++frame;
        if (game.wire.sent.size() > 4096) game.wire.sent.clear();
    }
}
BENCHMARK(BM_PlayingFrame)->Unit(benchmark::kMicrosecond);

// One whole frame (update, the players to draw, the renderer without a
// graphics backend) while the server's snapshots list one other player 1000
// times, every third frame. players_drawn tells how many bodies were drawn.
void BM_FrameWithOnePlayerListed1000Times(benchmark::State& state) {
    Game game;
    const std::vector<ManifestEntry> manifest = {joinSoundEntry()};
    game.serve(welcomeJson(localCharacter(), manifest).dump());
    game.serve(json{
        {"type", "assetChunk"},
        {"id", "player-join"},
        {"offset", 0},
        {"data", encodeBase64(patternBytes(10, 9))},
        {"done",
         true}}.dump());
    Character other;
    other.id = "other";
    other.name = "Other";
    game.serve(
        json{{"type", "character"}, {"id", 10}, {"character", json::parse(encodeCharacterJsonRle(other))}}.dump());
    game.step();
    game.network->checkAssetsReady();
    game.serve(R"({"type":"ready"})");
    game.step();
    if (!game.network->joined) {
        state.SkipWithError(("no join: " + game.network->errorCode).c_str());
        return;
    }
    json players = json::array();
    players.push_back({{"id", kLocalId}, {"x", 0}, {"y", 0}, {"z", 0}, {"vz", 0}, {"ack", 0}});
    for (int i = 0; i < 1000; ++i) players.push_back({{"id", 10}, {"x", i % 7}, {"y", 2}, {"z", 0}, {"vz", 0}});
    const std::string snapshot = json{{"type", "snapshot"}, {"players", players}}.dump();

    Graphics graphics;
    const Font font;
    Renderer renderer;
    renderer.initialize(&graphics, &font);
    renderer.setClock([&game] { return game.clockMs; });
    uint64_t frame = 0;
    size_t drawn = 0;
    for (auto _ : state) {
        game.clockMs += 1000.0 / 60;
        if (frame % 3 == 0) game.serve(snapshot);
        game.step();
        const std::vector<Player> shown = game.network->playersForRender(game.clockMs);
        renderer.draw(game.scene, shown, 1020, 680, 1.0 / 60, 0, 0, false);
        drawn = renderer.drawnIds().size();
        ++frame;
        if (game.wire.sent.size() > 4096) game.wire.sent.clear();
    }
    state.counters["players_drawn"] = double(drawn);
}
BENCHMARK(BM_FrameWithOnePlayerListed1000Times)->Unit(benchmark::kMillisecond);

}  // namespace
