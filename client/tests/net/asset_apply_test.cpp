#include "net/asset_apply.h"

#include <gtest/gtest.h>

#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "net/failure_code.h"
#include "net/server_message_session.h"

namespace vobu {
namespace {

using testing::encodeBase64;
using testing::entryFor;

std::vector<uint8_t> walkMeshBytes() { return mapkit::writeWalkMesh(mapkit::flatFloor()); }

std::vector<uint8_t> renderMeshBytes() { return mapkit::writeRenderMesh(mapkit::twoMaterialRenderMap().materials); }

std::vector<uint8_t> textureBytes(int side, uint8_t shade = 200) {
    return mapkit::writeTexture(side, side, std::vector<uint8_t>(size_t(side * side * 4), shade));
}

ManifestEntry textureEntry(const std::string& id, int material, const std::vector<uint8_t>& bytes) {
    ManifestEntry entry = entryFor(id, AssetTexture, bytes);
    entry.material = material;
    return entry;
}

ManifestEntry skinEntry(const std::string& id, int player, const std::string& document, int generation = 1) {
    ManifestEntry entry = entryFor(id, AssetSkin, testing::bytesOf(document));
    entry.playerId = player;
    entry.generation = generation;
    return entry;
}

// A game whose manifest lists the given assets (plus the join sound); the
// assets arrive when `deliver` is called.
struct Game {
    Scene scene;
    AssetStore store;
    std::map<std::string, std::vector<uint8_t>> bytes;

    explicit Game(std::vector<std::pair<ManifestEntry, std::vector<uint8_t>>> assets) {
        scene.localPlayerId = testing::kLocalId;
        assets.push_back({testing::joinSoundEntry(), testing::patternBytes(10, 9)});
        for (auto& [entry, data] : assets) {
            scene.manifest.push_back(entry);
            bytes[entry.id] = data;
        }
        store.setManifest(scene.manifest);
    }

    void deliver(const std::string& id) {
        const auto& data = bytes.at(id);
        for (size_t at = 0; at < data.size(); at += 12288) {
            const size_t size = std::min<size_t>(12288, data.size() - at);
            store.receiveChunk(id, uint32_t(at), encodeBase64({data.begin() + at, data.begin() + at + size}),
                               at + size == data.size());
        }
    }

    std::string apply() {
        try {
            applyAssets(scene, store);
        } catch (const std::exception& error) {
            return failureCode(error.what());
        }
        return "applied";
    }
};

TEST(ApplyAssets, EachKindReachesItsReader) {
    const auto walk = walkMeshBytes();
    const auto mesh = renderMeshBytes();
    const auto texture = textureBytes(8);
    const auto skin = testing::skinDocument("p8", 8, 0x112233);
    Game game({{entryFor("walk", AssetWalkMesh, walk), walk},
               {entryFor("mesh", AssetMesh, mesh), mesh},
               {textureEntry("tex", 1, texture), texture},
               {skinEntry("skin", 8, skin, 4), testing::bytesOf(skin)}});
    for (const char* id : {"walk", "mesh", "tex", "skin", "player-join"}) game.deliver(id);
    EXPECT_EQ(game.apply(), "applied");

    const Scene& scene = game.scene;
    EXPECT_EQ(scene.walkMesh.triangles.size(), mapkit::flatFloor().size());
    EXPECT_NE(scene.walkMesh.navigation, nullptr);
    EXPECT_EQ(scene.materials.size(), 2u);
    EXPECT_EQ(scene.meshRevision, 1);
    ASSERT_GE(scene.textures.size(), 2u);
    EXPECT_EQ(scene.textures[1].width, 8);
    EXPECT_EQ(scene.textures[1].revision, 1);
    ASSERT_EQ(scene.characters.count(8), 1u);
    EXPECT_EQ(scene.characters.at(8).id, "p8");
    EXPECT_EQ(scene.characters.at(8).faceScale, 8);
    EXPECT_EQ(scene.characters.at(8).faces[FaceFront][0], 0x112233u);
    EXPECT_EQ(scene.characterRevisions.at(8), 1);
    EXPECT_EQ(scene.characterGenerations.at(8), 4);
    EXPECT_EQ(scene.appliedAssets, (std::set<std::string>{"walk", "mesh", "tex", "skin", "player-join"}));

    // Nothing is applied twice.
    EXPECT_EQ(game.apply(), "applied");
    EXPECT_EQ(game.scene.meshRevision, 1);
    EXPECT_EQ(game.scene.textures[1].revision, 1);
    EXPECT_EQ(game.scene.characterRevisions.at(8), 1);
}

TEST(ApplyAssets, OnlyCompleteAssetsInManifestOrder) {
    const auto small = textureBytes(8, 10);
    const auto large = textureBytes(16, 20);
    // Slot 0 takes the wider texture after the narrower, but drops a
    // narrower one after a wider: the result shows the order of application.
    Game ordered({{textureEntry("a-small", 0, small), small}, {textureEntry("b-large", 0, large), large}});
    ordered.deliver("b-large");
    ordered.deliver("a-small");
    EXPECT_EQ(ordered.apply(), "applied");
    EXPECT_EQ(ordered.scene.textures[0].width, 16);
    EXPECT_EQ(ordered.scene.textures[0].revision, 2);

    Game reversed({{textureEntry("b-large", 0, large), large}, {textureEntry("a-small", 0, small), small}});
    reversed.deliver("b-large");
    reversed.deliver("a-small");
    EXPECT_EQ(reversed.apply(), "applied");
    EXPECT_EQ(reversed.scene.textures[0].width, 16);
    EXPECT_EQ(reversed.scene.textures[0].revision, 1);

    // An asset later in the manifest is applied by the first call after it
    // completed; an earlier incomplete one waits.
    Game waiting({{textureEntry("first", 0, small), small}, {textureEntry("second", 2, large), large}});
    waiting.deliver("second");
    EXPECT_EQ(waiting.apply(), "applied");
    EXPECT_EQ(waiting.scene.appliedAssets, (std::set<std::string>{"second"}));
    EXPECT_EQ(waiting.scene.textures[2].width, 16);
    waiting.deliver("first");
    EXPECT_EQ(waiting.apply(), "applied");
    EXPECT_EQ(waiting.scene.appliedAssets, (std::set<std::string>{"first", "second"}));
}

TEST(ApplyAssets, SkinRules) {
    const auto skin = testing::skinDocument("p8");
    const auto coarse = testing::skinDocument("p8", 1);

    Game departed({{skinEntry("skin", 8, skin), testing::bytesOf(skin)}});
    departed.scene.departedSkinOwners.insert(8);
    departed.deliver("skin");
    EXPECT_EQ(departed.apply(), "applied");
    EXPECT_EQ(departed.scene.characters.count(8), 0u);
    EXPECT_EQ(departed.scene.appliedAssets.count("skin"), 1u);

    Game scaleOne({{skinEntry("skin", 8, coarse), testing::bytesOf(coarse)}});
    scaleOne.deliver("skin");
    EXPECT_EQ(scaleOne.apply(), "ERR_BAD_SPAWN_SKIN");
    EXPECT_TRUE(scaleOne.scene.characters.empty());
    EXPECT_EQ(scaleOne.scene.appliedAssets.count("skin"), 0u);

    Game ownSkin({{skinEntry("skin", testing::kLocalId, skin), testing::bytesOf(skin)}});
    ownSkin.deliver("skin");
    EXPECT_EQ(ownSkin.apply(), "ERR_BAD_SPAWN_SKIN");

    const std::string broken = "{\"format\":\"rgb24-rle\"";
    Game notADocument({{skinEntry("skin", 8, broken), testing::bytesOf(broken)}});
    notADocument.deliver("skin");
    EXPECT_EQ(notADocument.apply(), "ERR_BAD_SERVER_MESSAGE");

    // A skin after a "character" message replaces it and counts up.
    Game earlier({{skinEntry("skin", 8, skin, 6), testing::bytesOf(skin)}});
    earlier.scene.characters[8] = Character();
    earlier.scene.characterRevisions[8] = 1;
    earlier.scene.characterGenerations[8] = 1;
    earlier.deliver("skin");
    EXPECT_EQ(earlier.apply(), "applied");
    EXPECT_EQ(earlier.scene.characters.at(8).id, "p8");
    EXPECT_EQ(earlier.scene.characterRevisions.at(8), 2);
    EXPECT_EQ(earlier.scene.characterGenerations.at(8), 6);
}

TEST(ApplyAssets, AFaultyAssetLeavesTheSceneAsItWas) {
    const auto walk = walkMeshBytes();
    auto brokenWalk = walk;
    brokenWalk[0] = 'X';  // bad magic; the hash is of these very bytes
    auto truncatedMesh = renderMeshBytes();
    truncatedMesh.resize(truncatedMesh.size() - 3);
    const auto texture = textureBytes(8);

    Game game({{textureEntry("tex", 0, texture), texture},
               {entryFor("walk", AssetWalkMesh, brokenWalk), brokenWalk},
               {entryFor("mesh", AssetMesh, truncatedMesh), truncatedMesh}});
    game.scene.walkMesh.triangles.resize(2);
    game.deliver("tex");
    game.deliver("walk");
    game.deliver("mesh");
    const std::string code = game.apply();
    EXPECT_TRUE(isErrorCode(code) && code != "ERR_BAD_SERVER_MESSAGE") << code;
    EXPECT_EQ(game.scene.walkMesh.triangles.size(), 2u);
    EXPECT_EQ(game.scene.walkMesh.navigation, nullptr);
    EXPECT_EQ(game.scene.appliedAssets, (std::set<std::string>{"tex"}));  // applied before the fault, stays
    EXPECT_EQ(game.scene.textures[0].width, 8);
    EXPECT_TRUE(game.scene.materials.empty());  // never reached

    Game meshOnly({{entryFor("mesh", AssetMesh, truncatedMesh), truncatedMesh}});
    meshOnly.deliver("mesh");
    EXPECT_NE(meshOnly.apply(), "applied");
    EXPECT_EQ(meshOnly.scene.meshRevision, 0);
    EXPECT_TRUE(meshOnly.scene.materials.empty());
}

}  // namespace
}  // namespace vobu
