// The world layer: map batches, slot textures, occluders and signs.
#include <gtest/gtest.h>

#include "presentation_test_support.h"
#include "ui/label_sprite.h"
#include "ui/text.h"
#include "world/world_layer.h"

namespace vobu {
namespace {

using presentation::RecordedGraphics;

// Keeps world coordinates; the depth (w) grows with y so signs can be sorted.
Vertex depthAlongY(float x, float y, float z, const Color& c) { return Vertex{x, y, z, 10 + y, c.r, c.g, c.b, 0, 0}; }

class WorldLayerTest : public ::testing::Test {
protected:
    void frame(const Scene& scene) {
        occluders.clear();
        rg.graphics.beginFrame(100, 100);
        const size_t before = rg.recording.draws.size();
        layer.drawMap(rg.graphics, scene, depthAlongY, occluders);
        draws.assign(rg.recording.draws.begin() + long(before), rg.recording.draws.end());
    }
    void signs(const Scene& scene, std::array<float, 3> viewer = {0, 0, 0}) {
        const size_t before = rg.recording.draws.size();
        layer.drawSigns(rg.graphics, font, scene, depthAlongY, {1, 0, 0}, {0, 0, 1}, viewer);
        draws.assign(rg.recording.draws.begin() + long(before), rg.recording.draws.end());
    }
    static SceneEntity sign(int id, std::string text, float x = 0, float y = 0, float z = 0, float range = 0) {
        SceneEntity e;
        e.id = id;
        e.type = "text";
        e.text = std::move(text);
        e.x = x;
        e.y = y;
        e.z = z;
        e.visibleRange = range;
        return e;
    }

    Font font = testing::testFont();
    RecordedGraphics rg;
    WorldLayer layer;
    std::vector<Vertex> occluders;
    std::vector<testing::RecordedDraw> draws;
};

TEST_F(WorldLayerTest, OpaqueBatchesAreCulledAndOccludeTransparentOnesAreAlphaTested) {
    Scene scene;
    presentation::loadTwoMaterialMap(scene);
    frame(scene);
    ASSERT_EQ(draws.size(), 2u);
    const testing::RecordedDraw& floor = draws[0];
    const testing::RecordedDraw& platform = draws[1];
    EXPECT_EQ(floor.vertices.size(), scene.materials[0].indices.size());
    EXPECT_TRUE(floor.state.cull);
    EXPECT_FALSE(floor.state.alphaTest);
    EXPECT_TRUE(floor.state.depthWrite);
    EXPECT_TRUE(floor.state.blend == DrawState::Blend::None);
    EXPECT_TRUE(floor.state.textured);
    EXPECT_FALSE(platform.state.cull);
    EXPECT_TRUE(platform.state.alphaTest);
    EXPECT_TRUE(platform.state.depthWrite);
    EXPECT_NE(floor.boundObject, platform.boundObject);
    // Only the opaque floor hides players.
    ASSERT_EQ(occluders.size(), floor.vertices.size());
    for (size_t i = 0; i < occluders.size(); ++i) EXPECT_EQ(occluders[i].x, floor.vertices[i].x);
    // Vertices keep their colour and texture coordinates.
    EXPECT_FLOAT_EQ(floor.vertices[0].r, 0.25f);
    EXPECT_FLOAT_EQ(floor.vertices[0].b, 0.75f);
    EXPECT_FLOAT_EQ(platform.vertices[0].g, 0.5f);
    // Slot textures repeat and filter linearly.
    const Texture& checker = rg.graphics.textures().at(layer.slotTextures[0].texture);
    EXPECT_TRUE(checker.repeat);
    EXPECT_TRUE(checker.linear);
    EXPECT_EQ(checker.width, 16);
}

TEST_F(WorldLayerTest, TrianglesWhollyOutsideTheViewAreNeitherDrawnNorKept) {
    Scene scene;
    RenderMaterial m = presentation::quadMaterial(0, -0.5f, -0.5f, 0.5f, 0.5f, 0);  // in view
    mapkit::addRenderQuad(m, 20, -0.5, 21, 0.5, 0, 1, 1, 1);                        // right of the view
    mapkit::addRenderQuad(m, 5, -0.5, 30, 0.5, 0, 1, 1, 1);                         // reaches into it
    scene.materials.push_back(m);
    scene.materials.push_back(presentation::quadMaterial(1, 60, 30, 61, 31, 0));  // wholly outside
    scene.meshRevision = 1;
    frame(scene);
    // depthAlongY: w = 10 + y, so x beyond +-(10 + y) lies outside.
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].vertices.size(), 12u);
    EXPECT_EQ(occluders.size(), 12u);
    EXPECT_EQ(layer.batches[0].size(), 18u);  // the batch itself keeps everything
}

TEST_F(WorldLayerTest, MaterialsWithoutALoadedSlotDrawUntexturedAndOpaque) {
    Scene scene;
    scene.materials.push_back(presentation::quadMaterial(0, -1, -1, 1, 1, 0));
    scene.materials.push_back(presentation::quadMaterial(1, -1, -1, 1, 1, 1));
    scene.textures.resize(1);                  // slot 0 announced, not loaded; no slot 1 at all
    scene.textures[0].hasTransparency = true;  // would be alpha-tested, were it loaded
    scene.meshRevision = 1;
    frame(scene);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_FALSE(draws[0].state.textured);
    EXPECT_TRUE(draws[0].state.alphaTest);
    EXPECT_FALSE(draws[1].state.textured);
    EXPECT_TRUE(draws[1].state.cull);
    EXPECT_EQ(occluders.size(), 6u);  // material 1 only
    EXPECT_EQ(layer.slotTextures.size(), 1u);
    EXPECT_EQ(layer.slotTextures[0].texture, 0u);
    EXPECT_EQ(rg.uploads(), 0u);
}

TEST_F(WorldLayerTest, UnchangedFramesUploadNothingAndATextureArrivingLaterShowsNextFrame) {
    Scene scene;
    mapkit::KitRenderMap const map = mapkit::twoMaterialRenderMap();
    readRenderMesh(scene, mapkit::writeRenderMesh(map.materials));
    readTexture(scene, 0, mapkit::writeTexture(map.textures[0].width, map.textures[0].height, map.textures[0].rgba));
    frame(scene);
    const size_t uploads = rg.uploads();
    EXPECT_EQ(uploads, 1u);
    const std::vector<Vertex> batch0 = layer.batches[0];
    for (int i = 0; i < 100; ++i) frame(scene);
    EXPECT_EQ(rg.uploads(), uploads);
    EXPECT_EQ(layer.batches[0].size(), batch0.size());

    readTexture(scene, 1, mapkit::writeTexture(map.textures[1].width, map.textures[1].height, map.textures[1].rgba));
    frame(scene);
    EXPECT_EQ(rg.uploads(), uploads + 1);
    EXPECT_TRUE(draws[1].state.textured);
    EXPECT_TRUE(draws[1].state.alphaTest);
}

TEST_F(WorldLayerTest, ANewMeshRevisionRebuildsTheBatches) {
    Scene scene;
    scene.materials.push_back(presentation::quadMaterial(0, -1, -1, 1, 1, 0, {1, 0, 0}));
    scene.meshRevision = 1;
    frame(scene);
    EXPECT_FLOAT_EQ(draws[0].vertices[0].r, 1.0f);
    scene.materials[0] = presentation::quadMaterial(0, -1, -1, 1, 1, 0, {0, 1, 0});
    frame(scene);  // same revision: the built batches stay
    EXPECT_FLOAT_EQ(draws[0].vertices[0].r, 1.0f);
    scene.meshRevision = 2;
    frame(scene);
    EXPECT_FLOAT_EQ(draws[0].vertices[0].r, 0.0f);
    EXPECT_FLOAT_EQ(draws[0].vertices[0].g, 1.0f);
}

// A fresh Scene (a second welcome) counts its revisions from 0 again; when
// the new world reaches the old numbers it must still show its own map.
TEST_F(WorldLayerTest, ANewWorldWithRepeatedRevisionsReplacesTheOldMapAndItsTextures) {
    Scene first;
    presentation::loadTwoMaterialMap(first);
    frame(first);
    const uint32_t oldChecker = layer.slotTextures[0].texture;
    const uint32_t oldPlatform = layer.slotTextures[1].texture;
    ASSERT_EQ(rg.liveTextures(), 2u);

    Scene second;  // one red quad with a one-slot texture: same revision numbers
    second.materials.push_back(presentation::quadMaterial(0, -3, -3, 3, 3, 0, {1, 0, 0}));
    readRenderMesh(second, mapkit::writeRenderMesh(second.materials));
    readTexture(second, 0, mapkit::writeTexture(2, 2, std::vector<uint8_t>(16, 200)));
    ASSERT_EQ(second.meshRevision, first.meshRevision);
    ASSERT_EQ(second.textures[0].revision, first.textures[0].revision);

    frame(second);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_FLOAT_EQ(draws[0].vertices[0].r, 1.0f);
    EXPECT_FLOAT_EQ(draws[0].vertices[0].g, 0.0f);
    EXPECT_EQ(rg.graphics.textures().count(oldChecker), 0u);
    EXPECT_EQ(rg.graphics.textures().count(oldPlatform), 0u);
    ASSERT_EQ(layer.slotTextures.size(), 1u);
    EXPECT_EQ(rg.graphics.textures().at(layer.slotTextures[0].texture).width, 2);
    EXPECT_EQ(rg.liveTextures(), 1u);

    // A copy of the Scene (the leave fade's) is the same world: nothing is rebuilt.
    const Scene copy = second;
    const size_t uploads = rg.uploads();
    frame(copy);
    EXPECT_EQ(rg.uploads(), uploads);
    EXPECT_EQ(rg.liveTextures(), 1u);
}

TEST_F(WorldLayerTest, SlotsTheSceneDropsGiveTheirTexturesBack) {
    Scene scene;
    presentation::loadTwoMaterialMap(scene);
    frame(scene);
    const uint32_t platform = layer.slotTextures[1].texture;
    scene.textures.resize(1);
    frame(scene);
    EXPECT_EQ(layer.slotTextures.size(), 1u);
    EXPECT_EQ(rg.graphics.textures().count(platform), 0u);
    EXPECT_EQ(rg.liveTextures(), 1u);
}

TEST_F(WorldLayerTest, ReleaseDeletesEverythingAndTheNextFrameRebuilds) {
    Scene scene;
    presentation::loadTwoMaterialMap(scene);
    scene.entities.push_back(sign(7, "hello"));
    frame(scene);
    signs(scene);
    EXPECT_EQ(rg.liveTextures(), 3u);
    layer.release(rg.graphics);
    EXPECT_EQ(rg.liveTextures(), 0u);
    EXPECT_TRUE(layer.batches.empty());
    EXPECT_TRUE(layer.signCache.empty());
    EXPECT_EQ(layer.builtMeshRevision, 0);
    frame(scene);
    EXPECT_EQ(draws.size(), 2u);
    EXPECT_EQ(rg.liveTextures(), 2u);
}

TEST_F(WorldLayerTest, SignTextsKeepAtMostFourLines) {
    struct Case {
        const char* what;
        std::string text;
        size_t lines;
    } const cases[] = {
        {"six lines", "a\nb\nc\nd\ne\nf", 4}, {"one line wrapping into five", std::string(29 * 5, 'x'), 4},
        {"two lines", "one\ntwo", 2},         {"empty", "", 1},
        {"only a line feed", "\n", 2},
    };
    for (const auto& c : cases) EXPECT_EQ(signLines(font, c.text).size(), c.lines) << c.what;
    const std::vector<std::string> six = signLines(font, "a\nb\nc\nd\ne\nf");
    EXPECT_EQ(parseColorCodes(six.back()).plain, "d");
    EXPECT_EQ(signLines(font, "")[0], "");
}

TEST_F(WorldLayerTest, AColorAtTheEndOfALineColorsTheNext) {
    const std::vector<std::string> lines = signLines(font, "first^#00ff00\nsecond");
    ASSERT_EQ(lines.size(), 2u);
    const ColorCodedText second = parseColorCodes(lines[1]);
    EXPECT_EQ(second.plain, "second");
    EXPECT_EQ(second.codes[0], "^#00ff00");
}

TEST_F(WorldLayerTest, SignsOutsideTheirRangeAreHiddenButStayCached) {
    struct Case {
        float range;
        float distance;
        bool shown;
    } const cases[] = {{10, 10.5f, false}, {10, 9.5f, true}, {0, 1000, true}};
    for (const auto& c : cases) {
        Scene scene;
        scene.entities.push_back(sign(1, "far", 0, 0, 0, c.range));
        signs(scene, {c.distance, 0, 0});
        EXPECT_EQ(draws.size(), c.shown ? 1u : 0u) << c.range << " at " << c.distance;
        EXPECT_NE(layer.signCache.at(1).texture, 0u);
    }
}

TEST_F(WorldLayerTest, SignsRenderOnceFollowTheirTextAndLeaveWithTheirEntity) {
    Scene scene;
    scene.entities.push_back(sign(1, "one"));
    scene.entities.push_back(sign(2, "two", 3));
    SceneEntity audio;
    audio.id = 3;
    audio.type = "audio";
    scene.entities.push_back(audio);
    signs(scene);
    EXPECT_EQ(draws.size(), 2u);
    EXPECT_EQ(layer.signCache.size(), 2u);
    const uint32_t one = layer.signCache.at(1).texture;
    const uint32_t version = rg.graphics.textures().at(one).version;

    scene.entities[0].x = 5;  // moving keeps the label
    signs(scene);
    EXPECT_EQ(rg.graphics.textures().at(one).version, version);
    scene.entities[0].text = "uno";
    signs(scene);
    EXPECT_EQ(rg.graphics.textures().at(one).version, version + 1);
    EXPECT_EQ(layer.signCache.at(1).texture, one);

    scene.entities.erase(scene.entities.begin());
    signs(scene);
    EXPECT_EQ(rg.graphics.textures().count(one), 0u);
    EXPECT_EQ(layer.signCache.count(1), 0u);

    // The quad: centred, 80 label pixels a unit, translucent without culling.
    const testing::RecordedDraw& d = draws[0];
    const LabelSprite& sprite = layer.signCache.at(2).sprite;
    EXPECT_NEAR(d.vertices[0].x, 3 - sprite.contentWidth * 0.0125f / 2, 1e-5);
    EXPECT_NEAR(d.vertices[2].z, sprite.contentHeight * 0.0125f / 2, 1e-5);
    EXPECT_TRUE(d.state.blend == DrawState::Blend::Alpha);
    EXPECT_FALSE(d.state.depthWrite);
    EXPECT_FALSE(d.state.cull);
    EXPECT_FLOAT_EQ(d.alpha, 1.0f);
}

TEST_F(WorldLayerTest, SignsDrawFarthestFirstAndEqualDepthsInEntityOrder) {
    Scene scene;
    scene.entities.push_back(sign(1, "near", 0, 1));
    scene.entities.push_back(sign(2, "far", 0, 9));
    scene.entities.push_back(sign(3, "tie a", 0, 4));
    scene.entities.push_back(sign(4, "tie b", 2, 4));
    signs(scene);
    ASSERT_EQ(draws.size(), 4u);
    // Each quad is identified by its centre.
    std::vector<int> order;
    for (const auto& d : draws) {
        const float cx = (d.vertices[0].x + d.vertices[1].x) / 2;
        for (const SceneEntity& e : scene.entities) {
            if (std::abs(cx - e.x) < 1e-4f && std::abs(d.vertices[0].y - e.y) < 1e-4f) order.push_back(e.id);
        }
    }
    EXPECT_EQ(order, (std::vector<int>{2, 3, 4, 1}));
}

}  // namespace
}  // namespace vobu
