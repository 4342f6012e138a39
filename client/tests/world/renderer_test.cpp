// The renderer's frame: spawns and departures, skins and their uploads,
// chat bubbles, the hover name tag, and the lifecycle operations.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "renderer_fixture.h"

namespace vobu {
namespace {

class RendererTest : public presentation::RendererFixture {
protected:
    void SetUp() override {
        presentation::loadTwoMaterialMap(scene);
        scene.spawn.heading = 0.4;
        players = {testing::playerAt(kLocal, -5, 0, 0)};
    }
    // The draw of a player's body in a frame's draws: the one whose texture
    // object is that of the player's skin.
    static size_t mapDraws(const Scene& s) { return s.materials.size(); }
    const PlayerVisual& visual(int id) const { return renderer.visuals().at(id); }
    const testing::RecordedDraw& bodyDraw(const std::vector<testing::RecordedDraw>& draws, size_t index) const {
        return draws.at(mapDraws(scene) + index);
    }
    ChatEntry line(uint32_t seq, int from, std::string text, double ageMs, int to = 0, bool system = false) const {
        ChatEntry e;
        e.seq = seq;
        e.from = from;
        e.to = to;
        e.system = system;
        e.text = std::move(text);
        e.receivedMs = ageMs < 0 ? 0 : nowMs - ageMs;
        return e;
    }
};

TEST_F(RendererTest, TheFirstFrameTakesTheSpawnHeadingAndTheLocalBodyAssembles) {
    auto draws = frame(0.0);
    EXPECT_TRUE(renderer.camera.initialised);
    EXPECT_FLOAT_EQ(renderer.camera.yaw, 0.4f);
    EXPECT_FLOAT_EQ(renderer.camera.targetX, -5.0f);
    ASSERT_EQ(draws.size(), mapDraws(scene) + 1);
    EXPECT_FALSE(bodyDraw(draws, 0).state.cull);  // back faces show while it assembles
    EXPECT_DOUBLE_EQ(visual(kLocal).spawnTimer, 0.65);

    renderer.camera.yaw = 2;  // the user turns; later frames keep it
    frame(0.3);
    EXPECT_FLOAT_EQ(renderer.camera.yaw, 2.0f);
    EXPECT_NEAR(visual(kLocal).spawnTimer, 0.35, 1e-9);
    draws = frame(0.4);
    EXPECT_EQ(visual(kLocal).spawnTimer, 0.0);
    const testing::RecordedDraw& body = bodyDraw(draws, 0);
    EXPECT_TRUE(body.state.cull);
    EXPECT_TRUE(body.state.depthWrite);
    EXPECT_TRUE(body.state.blend == DrawState::Blend::None);
    EXPECT_FALSE(body.state.alphaTest);
    EXPECT_EQ(body.vertices.size(), visual(kLocal).clipMesh.size());
}

TEST_F(RendererTest, PlayersPresentOnArrivalAppearAtOnceLaterOnesAssemble) {
    addCharacter(2, "Present");
    addCharacter(3, "Joined");
    scene.joinedPlayers.insert(3);
    players.push_back(testing::playerAt(2, -3, 2, 0));
    players.push_back(testing::playerAt(3, -7, 2, 0));
    frame();
    EXPECT_EQ(visual(2).spawnTimer, 0.0);
    EXPECT_NEAR(visual(3).spawnTimer, 0.65 - 1.0 / 60, 1e-9);
    EXPECT_EQ(renderer.drawnIds(), (std::vector<int32_t>{kLocal, 2, 3}));
}

TEST_F(RendererTest, ALeavingPlayerShattersForSixtyFiveHundredthsOfASecond) {
    addCharacter(2, "Leaver");
    players.push_back(testing::playerAt(2, -3, 2, 0));
    scene.chat.push_back(line(1, 2, "bye", 10));
    frame();
    ASSERT_EQ(renderer.bubbleStacks().count(2), 1u);
    const uint32_t skin = visual(2).skinTexture;
    const uint32_t bubble = renderer.bubbleStacks().at(2).bubbles[0].texture;

    scene.characters.erase(2);
    players.pop_back();
    auto draws = frame(0.3);
    EXPECT_EQ(renderer.visuals().count(2), 0u);
    ASSERT_EQ(renderer.fadingMeshes().size(), 1u);
    EXPECT_EQ(renderer.fadingMeshes()[0].texture, skin);
    EXPECT_TRUE(renderer.fadingMeshes()[0].ownsTexture);
    EXPECT_EQ(renderer.bubbleStacks().count(2), 0u);  // bubbles go at once
    EXPECT_EQ(rg.graphics.textures().count(bubble), 0u);
    // Map, local body, then the fading body: opaque, not culled, and it occludes.
    const testing::RecordedDraw& fading = draws.at(mapDraws(scene) + 1);
    EXPECT_FALSE(fading.state.cull);
    EXPECT_TRUE(fading.state.depthWrite);
    const size_t mapOccluders = scene.materials[0].indices.size();
    EXPECT_EQ(renderer.occluders().size(), mapOccluders + fading.vertices.size());

    frame(0.3);
    EXPECT_EQ(renderer.fadingMeshes().size(), 1u);
    EXPECT_TRUE(rg.graphics.textures().count(skin));
    frame(0.05);  // 0.65 s old
    EXPECT_TRUE(renderer.fadingMeshes().empty());
    EXPECT_EQ(rg.graphics.textures().count(skin), 0u);
}

TEST_F(RendererTest, ANewGenerationShattersTheOldBodyWhileTheNewOneAssembles) {
    addCharacter(2, "Swapper");
    players.push_back(testing::playerAt(2, -3, 2, 0));
    frame();
    const uint32_t oldSkin = visual(2).skinTexture;
    scene.characterGenerations[2] = 2;
    scene.characters[2].setSize(40, 40, 40);
    scene.characterRevisions[2] = 2;
    frame();
    ASSERT_EQ(renderer.fadingMeshes().size(), 1u);
    EXPECT_EQ(renderer.fadingMeshes()[0].texture, oldSkin);
    EXPECT_NE(visual(2).skinTexture, oldSkin);
    EXPECT_GT(visual(2).spawnTimer, 0.6);
    EXPECT_EQ(visual(2).generation, 2);
}

TEST_F(RendererTest, ThePlayerBodyIsTheTintedPosedBoxAtThePlayer) {
    addCharacter(2, "Box");
    players.push_back(testing::playerAt(2, 5, 5, 0, 0.0f));
    frame();
    const std::vector<Vertex>& mesh = visual(2).worldMesh;
    ASSERT_FALSE(mesh.empty());
    float minX = 1e9f, maxX = -1e9f, maxZ = -1e9f;
    for (const Vertex& v : mesh) {
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        maxZ = std::max(maxZ, v.z);
        // The floor's colour under the player tints every vertex.
        EXPECT_FLOAT_EQ(v.r, 0.25f);
        EXPECT_FLOAT_EQ(v.g, 0.5f);
        EXPECT_FLOAT_EQ(v.b, 0.75f);
        EXPECT_EQ(v.w, 1.0f);
    }
    EXPECT_NEAR(minX, 4.68f, 1e-5);
    EXPECT_NEAR(maxX, 5.32f, 1e-5);
    EXPECT_NEAR(maxZ, 1.28f, 1e-5);
    // Off the map the ambient colour is taken the first time, and then kept.
    addCharacter(3, "Void");
    players.push_back(testing::playerAt(3, 50, 50, 0));
    frame();
    EXPECT_FLOAT_EQ(visual(3).tint.r, scene.ambient.r);
}

// Snapshot values are any double the server sent: a frame of positions or
// headings that are not numbers, infinite or far away draws without harm,
// and once they are sane again every body stands where it belongs.
TEST_F(RendererTest, PositionsNotFiniteOrFarAwayLeaveNoTraceOnceSaneAgain) {
    addCharacter(2, "Box");
    const Player sane = testing::playerAt(2, 5, 5, 0, 0.5f);
    players.push_back(sane);
    for (int i = 0; i < 10; ++i) frame();
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    for (double bad : {nan, inf, -inf, 1e300}) {
        for (int field = 0; field < 5; ++field) {
            SCOPED_TRACE(::testing::Message() << "value " << bad << " field " << field);
            for (Player& p : players) {
                double* const fields[] = {&p.x, &p.y, &p.z, &p.vz, nullptr};
                if (fields[field] != nullptr) {
                    *fields[field] = bad;
                } else {
                    p.heading = float(bad);
                }
            }
            for (int i = 0; i < 4; ++i) frame(1.0 / 60, true, kWidth / 2, kHeight / 2);
            players = {testing::playerAt(kLocal, -5, 0, 0), sane};
            for (int i = 0; i < 60; ++i) frame();
            EXPECT_FLOAT_EQ(renderer.camera.targetX, -5.0f);
            EXPECT_NEAR(renderer.camera.targetZ, 0.0f, 1e-3);
            EXPECT_NEAR(visual(2).smoothedHeading, 0.5f, 1e-3);
            const std::vector<Vertex>& mesh = visual(2).worldMesh;
            ASSERT_FALSE(mesh.empty());
            for (const Vertex& v : mesh) {
                ASSERT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z));
                ASSERT_NEAR(v.x, 5.0f, 0.5f);
                ASSERT_NEAR(v.y, 5.0f, 0.5f);
                ASSERT_GE(v.z, -0.1f);
                ASSERT_LE(v.z, 1.4f);
            }
        }
    }
}

TEST_F(RendererTest, HeadingsAreSmoothedOnEveryFourthFrame) {
    frame();
    players[0].heading = 1.0f;
    std::vector<float> seen;
    for (int i = 0; i < 8; ++i) {
        frame(0.02);
        seen.push_back(visual(kLocal).smoothedHeading);
    }
    EXPECT_EQ(seen[0], 0.0f);
    EXPECT_EQ(seen[2], 0.0f);
    EXPECT_NEAR(seen[3], 1 - std::exp(-0.08 / 0.28), 1e-5);
    EXPECT_EQ(seen[4], seen[3]);
    EXPECT_GT(seen[7], seen[3]);
}

TEST_F(RendererTest, HeadingsTurnTheShortWayRound) {
    players[0].heading = 3.0f;
    frame();
    players[0].heading = -3.0f;  // 0.28 rad further on through pi
    for (int i = 0; i < 4; ++i) frame(0.1);
    EXPECT_GT(visual(kLocal).smoothedHeading, 3.0f);
}

TEST_F(RendererTest, UnchangedFramesUploadNothing) {
    for (int id = 2; id < 12; ++id) {
        addCharacter(id, "P" + std::to_string(id));
        players.push_back(testing::playerAt(id, -8 + id, 3, 0));
        scene.chat.push_back(line(uint32_t(id), id, "hello from " + std::to_string(id), 0));
    }
    SceneEntity sign;
    sign.id = 1;
    sign.type = "text";
    sign.text = "Welcome";
    sign.y = 4;
    sign.z = 1;
    scene.entities.push_back(sign);
    for (int i = 0; i < 5; ++i) frame(1.0 / 60, true, kWidth / 2, kHeight / 2);
    const size_t uploads = rg.uploads();
    const size_t textures = rg.liveTextures();
    nowMs = 101000;
    for (int i = 0; i < 100; ++i) {
        renderer.draw(scene, players, kWidth, kHeight, 0.0, kWidth / 2, kHeight / 2, true);
    }
    EXPECT_EQ(rg.uploads(), uploads);
    EXPECT_EQ(rg.liveTextures(), textures);
    // A revision change with the same skin uploads nothing; a painted one
    // re-uploads just that skin.
    scene.characterRevisions[5] = 2;
    frame();
    EXPECT_EQ(rg.uploads(), uploads);
    scene.characters[5].faces[0][0] = 0x123456;
    scene.characterRevisions[5] = 3;
    frame();
    EXPECT_EQ(rg.uploads(), uploads + 1);
}

TEST_F(RendererTest, OnlyLiveLinesOfKnownPlayersBecomeBubbles) {
    addCharacter(2, "Talker");
    players.push_back(testing::playerAt(2, -3, 2, 0));
    struct Case {
        const char* what;
        ChatEntry entry;
        bool bubble;
    } const cases[] = {
        {"a live line", line(1, 2, "hi", 100), true},
        {"seven seconds old", line(2, 2, "old", 7000), false},
        {"from the chat history", line(3, 2, "history", -1), false},
        {"a system line", line(4, 2, "system", 100, 0, true), false},
        {"from sender 0", line(5, 0, "server", 100), false},
        {"from an unknown player", line(6, 44, "ghost", 100), false},
        {"already seen", line(6, 2, "repeat", 100), false},
        {"a whisper", line(8, 2, "psst", 50, kLocal), true},
    };
    for (const auto& c : cases) scene.chat.push_back(c.entry);
    frame();
    EXPECT_EQ(renderer.lastBubbledSequence(), 8u);
    ASSERT_EQ(renderer.bubbleStacks().size(), 1u);
    const std::vector<Bubble>& bubbles = renderer.bubbleStacks().at(2).bubbles;
    ASSERT_EQ(bubbles.size(), 2u);
    EXPECT_EQ(bubbles[0].createdMs, nowMs - 1000.0 / 60 - 100);
    // The whisper is drawn in its own colour.
    bool whisperColor = false;
    for (size_t i = 0; i < bubbles[1].sprite.pixels.size(); i += 4)
        whisperColor |= bubbles[1].sprite.pixels[i] == 220 && bubbles[1].sprite.pixels[i + 1] == 142;
    EXPECT_TRUE(whisperColor);
    // A line seen once never comes back.
    frame();
    EXPECT_EQ(renderer.bubbleStacks().at(2).bubbles.size(), 2u);
}

TEST_F(RendererTest, BubblesFloatAboveTheirPlayerAndWaitOffScreenPlayersOut) {
    addCharacter(2, "Talker");
    players.push_back(testing::playerAt(2, -3, 2, 0));
    scene.chat.push_back(line(1, 2, "hi", 0));
    auto draws = frame();
    // The last draw is the bubble, its lower edge 0.5 above the head.
    const testing::RecordedDraw& bubble = draws.back();
    EXPECT_TRUE(bubble.state.blend == DrawState::Blend::Alpha);
    EXPECT_FALSE(bubble.state.depthWrite);
    const Vertex expected = renderer.camera.project(
        -3 - renderer.bubbleStacks().at(2).bubbles[0].sprite.contentWidth * 0.0125f / 2 * renderer.camera.right()[0],
        2 - renderer.bubbleStacks().at(2).bubbles[0].sprite.contentWidth * 0.0125f / 2 * renderer.camera.right()[1],
        1.28f + 0.5f, 1, 1, 1, float(kWidth) / kHeight);
    EXPECT_NEAR(bubble.vertices[0].x, expected.x, 1e-4);
    EXPECT_NEAR(bubble.vertices[0].y, expected.y, 1e-4);

    // Out of the player list the stack stays but is not drawn.
    players.pop_back();
    const size_t before = frame().size();
    EXPECT_EQ(renderer.bubbleStacks().count(2), 1u);
    EXPECT_EQ(before, mapDraws(scene) + 1);
    // Seven seconds later the stack is gone.
    nowMs += 7000;
    frame();
    EXPECT_EQ(renderer.bubbleStacks().count(2), 0u);
}

TEST_F(RendererTest, TheHoveredPlayerShowsItsNameOnceRendered) {
    addCharacter(2, "Alice");
    players.push_back(testing::playerAt(2, -5, 3, 0));
    frame(0.7);  // the local body has assembled
    auto [x, y] = bodyOf(players[1]);
    auto draws = frame(1.0 / 60, true, x, y);
    const uint32_t tag = visual(2).nameTag.texture;
    ASSERT_NE(tag, 0u);
    EXPECT_EQ(visual(2).nameTag.text, "Alice");
    const testing::RecordedDraw& d = draws.back();
    EXPECT_TRUE(d.state.blend == DrawState::Blend::Alpha);
    EXPECT_FALSE(d.state.cull);
    // Centred 0.24 above the head.
    const float z = (1.28f + 0.24f);
    const Vertex centre = renderer.camera.project(-5, 3, z, 1, 1, 1, float(kWidth) / kHeight);
    EXPECT_NEAR((d.vertices[0].y + d.vertices[2].y) / 2 / ((d.vertices[0].w + d.vertices[2].w) / 2),
                centre.y / centre.w, 2e-2);

    const uint32_t version = rg.graphics.textures().at(tag).version;
    frame(1.0 / 60, true, x, y);
    frame(1.0 / 60, false, x, y);
    frame(1.0 / 60, true, x, y);
    EXPECT_EQ(rg.graphics.textures().at(tag).version, version);
    scene.characters[2].name = "Alicia";
    frame(1.0 / 60, true, x, y);
    EXPECT_EQ(rg.graphics.textures().at(tag).version, version + 1);
    // Hovering the sky shows nothing, and without hover no tag is drawn.
    const size_t withoutTag = frame(1.0 / 60, false, x, y).size();
    EXPECT_EQ(frame(1.0 / 60, true, 3, 3).size(), withoutTag);
}

TEST_F(RendererTest, TheLocalPlayerBorrowsTheEditorSkinUntilDetached) {
    const uint32_t editorSkin = rg.graphics.setTexture(1, 1, {1, 2, 3, 4}, 0, false, false);
    renderer.localSkinTexture = editorSkin;
    const int atlas = scene.characters[kLocal].skinAtlasSize();
    auto atlases = [&] {
        size_t n = 0;
        for (auto const& [handle, texture] : rg.graphics.textures()) n += texture.width == atlas;
        return n;
    };
    frame();
    EXPECT_TRUE(visual(kLocal).sharesSkin);
    EXPECT_EQ(visual(kLocal).skinTexture, editorSkin);
    EXPECT_EQ(atlases(), 0u);  // nothing built or uploaded for the local body
    const size_t before = rg.liveTextures();

    renderer.detachLocalSkin(scene);
    EXPECT_FALSE(visual(kLocal).sharesSkin);
    EXPECT_NE(visual(kLocal).skinTexture, editorSkin);
    EXPECT_EQ(renderer.localSkinTexture, 0u);
    EXPECT_EQ(rg.liveTextures(), before + 1);
    EXPECT_EQ(atlases(), 1u);
    EXPECT_EQ(rg.graphics.textures().at(visual(kLocal).skinTexture).width, atlas);

    renderer.reset();
    EXPECT_EQ(rg.liveTextures(), 1u);  // only the editor's skin, never owned by the renderer
    EXPECT_TRUE(rg.graphics.textures().count(editorSkin));
}

TEST_F(RendererTest, ClearPlayersLetsTheLocalBodyShatterAndDropsTheOthers) {
    const uint32_t editorSkin = rg.graphics.setTexture(1, 1, {1, 2, 3, 4}, 0, false, false);
    renderer.localSkinTexture = editorSkin;
    addCharacter(2, "Other");
    players.push_back(testing::playerAt(2, -3, 2, 0));
    auto [x, y] = bodyOf(players[1]);
    frame(1.0 / 60, true, x, y);
    frame(1.0 / 60, true, x, y);
    const uint32_t otherSkin = visual(2).skinTexture;
    renderer.clearPlayers(kLocal);
    EXPECT_TRUE(renderer.visuals().empty());
    EXPECT_TRUE(renderer.drawnIds().empty());
    EXPECT_EQ(renderer.localSkinTexture, 0u);
    ASSERT_EQ(renderer.fadingMeshes().size(), 1u);
    EXPECT_EQ(renderer.fadingMeshes()[0].texture, editorSkin);
    EXPECT_FALSE(renderer.fadingMeshes()[0].ownsTexture);
    EXPECT_EQ(rg.graphics.textures().count(otherSkin), 0u);

    // The leave fade: no players; the map and the shattering body still draw.
    const Scene fade = scene;
    players.clear();
    const auto eye = renderer.camera.eyePosition();
    const size_t before = rg.recording.draws.size();
    renderer.draw(fade, players, kWidth, kHeight, 0.1, 0, 0, false);
    EXPECT_EQ(rg.recording.draws.size() - before, mapDraws(scene) + 1);
    EXPECT_EQ(renderer.camera.eyePosition(), eye);  // drawn from where the camera was
    renderer.draw(fade, players, kWidth, kHeight, 0.6, 0, 0, false);
    EXPECT_TRUE(renderer.fadingMeshes().empty());
    EXPECT_TRUE(rg.graphics.textures().count(editorSkin));  // not the renderer's to delete
}

TEST_F(RendererTest, ResetForgetsTheGameAndDeletesEverythingItOwns) {
    addCharacter(2, "Other");
    players.push_back(testing::playerAt(2, -3, 2, 0));
    scene.chat.push_back(line(3, 2, "hi", 0));
    frame();
    scene.characters.erase(2);
    frame();
    ASSERT_EQ(renderer.fadingMeshes().size(), 1u);
    ASSERT_GT(rg.liveTextures(), 0u);
    renderer.reset();
    EXPECT_EQ(rg.liveTextures(), 0u);
    EXPECT_FALSE(renderer.camera.initialised);
    EXPECT_FLOAT_EQ(renderer.camera.yaw, 0.4f);  // carried over
    EXPECT_TRUE(renderer.visuals().empty());
    EXPECT_TRUE(renderer.fadingMeshes().empty());
    EXPECT_TRUE(renderer.bubbleStacks().empty());
    EXPECT_EQ(renderer.lastBubbledSequence(), 0u);
    EXPECT_EQ(renderer.pick(kWidth / 2, kHeight / 2), -1);
    // The next game starts with the new spawn heading.
    scene.spawn.heading = -1;
    frame();
    EXPECT_FLOAT_EQ(renderer.camera.yaw, -1.0f);
}

TEST_F(RendererTest, TheOldestOfMoreThan128FadingMeshesGoesFirst) {
    std::vector<uint32_t> textures;
    for (int i = 0; i < 129; ++i) {
        PlayerVisual v;
        v.worldMesh.assign(6, Vertex{});
        v.skinTexture = rg.graphics.setTexture(1, 1, {0, 0, 0, 255}, 0, false, false);
        textures.push_back(v.skinTexture);
        renderer.addFadingMesh(v);
        EXPECT_EQ(v.skinTexture, 0u);
    }
    ASSERT_EQ(renderer.fadingMeshes().size(), 128u);
    EXPECT_EQ(renderer.fadingMeshes().front().texture, textures[1]);
    EXPECT_EQ(rg.graphics.textures().count(textures[0]), 0u);
    EXPECT_TRUE(rg.graphics.textures().count(textures[1]));
    PlayerVisual empty;
    renderer.addFadingMesh(empty);
    EXPECT_EQ(renderer.fadingMeshes().size(), 128u);
}

TEST_F(RendererTest, ANewWorldRebuildsSkinsWhoseRevisionsRepeat) {
    addCharacter(2, "Before");
    players.push_back(testing::playerAt(2, -3, 2, 0));
    frame();
    const uint32_t skin = visual(2).skinTexture;
    const uint32_t version = rg.graphics.textures().at(skin).version;

    // A second welcome: a fresh Scene with the same ids and revision numbers.
    Scene next;
    presentation::loadTwoMaterialMap(next);
    next.localPlayerId = kLocal;
    next.characters = scene.characters;
    next.characters[2].faces[0].assign(kFaceCanvasTexels, 0x00ff00);
    next.characterRevisions = scene.characterRevisions;
    next.characterGenerations = scene.characterGenerations;
    scene = next;
    frame();
    EXPECT_EQ(rg.graphics.textures().at(visual(2).skinTexture).version, version + 1);
}

TEST(ShatterMesh, WholeAtZeroScatteredAndBlackAtOne) {
    std::vector<Vertex> mesh;
    for (int i = 0; i < 14; ++i)
        mesh.push_back(Vertex{float(i % 3), float(i / 3), float(i % 5), 1, 0.5f, 0.6f, 0.7f, 0.1f, 0.2f});
    const std::vector<Vertex> same = shatterMesh(mesh, 0);
    for (size_t i = 0; i < mesh.size(); ++i) {
        EXPECT_FLOAT_EQ(same[i].x, mesh[i].x);
        EXPECT_FLOAT_EQ(same[i].z, mesh[i].z);
        EXPECT_FLOAT_EQ(same[i].r, 0.5f);
    }
    const std::vector<Vertex> scattered = shatterMesh(mesh, 2.0f);  // clamped to 1
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_FLOAT_EQ(scattered[i].r, 0.0f);
        EXPECT_FLOAT_EQ(scattered[i].u, 0.1f);
    }
    // The trailing group of two vertices stays as it was.
    EXPECT_FLOAT_EQ(scattered[12].x, mesh[12].x);
    EXPECT_FLOAT_EQ(scattered[13].r, 0.5f);
    // Piece 1 falls: its centre moves by dz = 2 (Pz - Cz) + 0.7 - 1.4.
    float cz = 0;
    for (const Vertex& v : mesh) cz += v.z;
    cz /= float(mesh.size());
    float pz = 0, sz = 0;
    for (size_t i = 0; i < 6; ++i) {
        pz += mesh[i].z / 6;
        sz += scattered[i].z / 6;
    }
    EXPECT_NEAR(sz - pz, 2 * (pz - cz) + 0.7f - 1.4f, 1e-4);
    // Fewer than six vertices: unchanged.
    const std::vector<Vertex> small(mesh.begin(), mesh.begin() + 5);
    EXPECT_FLOAT_EQ(shatterMesh(small, 1)[0].r, 0.5f);
}

}  // namespace
}  // namespace vobu
