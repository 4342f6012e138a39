// colorAt: the render-mesh colour under a point, the ambient colour where no
// triangle lies at or below it.

#include <gtest/gtest.h>

#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/map_readers.h"

namespace vobu {
namespace {

using namespace mapkit;

void pushVertex(RenderMaterial& m, float x, float y, float z, float r, float g, float b) {
    m.vertices.insert(m.vertices.end(), {x, y, z, 0, 0, 1, 0, 0, r, g, b});
}

void pushTriangle(RenderMaterial& m, uint32_t a, uint32_t b, uint32_t c) {
    m.indices.insert(m.indices.end(), {a, b, c});
}

Scene kitScene() {
    Scene scene;
    scene.ambient = {0.1f, 0.2f, 0.3f};
    readRenderMesh(scene, writeRenderMesh(twoMaterialRenderMap().materials));
    return scene;
}

struct Probe {
    const char* name;
    float x, y, z;
    bool found;
    float r, g, b;
};

TEST(ColorAt, PicksTheHighestTriangleWithinReachOfThePoint) {
    const Scene scene = kitScene();
    const Probe probes[] = {
        {"floor far from the platform", 5, 5, 0, true, 0.25f, 0.5f, 0.75f},
        {"floor 0.04 above the point", 5, 5, -0.04f, true, 0.25f, 0.5f, 0.75f},
        {"floor 0.06 above the point", 5, 5, -0.06f, false, 0.1f, 0.2f, 0.3f},
        {"under the platform", 0, 0, 0.5f, true, 0.25f, 0.5f, 0.75f},
        {"just below the platform top", 0, 0, 0.96f, true, 1.0f, 0.5f, 0.0f},
        {"high above the platform", 1, -1, 50, true, 1.0f, 0.5f, 0.0f},
        {"on the platform's corner", 2, 2, 1, true, 1.0f, 0.5f, 0.0f},
        {"outside every triangle", 11, 0, 0, false, 0.1f, 0.2f, 0.3f},
        {"below everything", 0, 0, -1, false, 0.1f, 0.2f, 0.3f},
    };
    for (const Probe& p : probes) {
        bool found = !p.found;
        const Color c = colorAt(scene, p.x, p.y, p.z, &found);
        EXPECT_EQ(found, p.found) << p.name;
        EXPECT_FLOAT_EQ(c.r, p.r) << p.name;
        EXPECT_FLOAT_EQ(c.g, p.g) << p.name;
        EXPECT_FLOAT_EQ(c.b, p.b) << p.name;
    }
}

TEST(ColorAt, FoundMayBeNull) {
    const Color c = colorAt(kitScene(), 5, 5, 0, nullptr);
    EXPECT_FLOAT_EQ(c.b, 0.75f);
}

TEST(ColorAt, AnEmptySceneGivesTheDefaultAmbient) {
    bool found = true;
    const Color c = colorAt(Scene{}, 0, 0, 0, &found);
    EXPECT_FALSE(found);
    EXPECT_FLOAT_EQ(c.r, 0.48f);
    EXPECT_FLOAT_EQ(c.g, 0.48f);
    EXPECT_FLOAT_EQ(c.b, 0.48f);
}

TEST(ColorAt, VertexColorsAreWeightedByPosition) {
    Scene scene;
    RenderMaterial m;
    pushVertex(m, 0, 0, 0, 1, 0, 0);
    pushVertex(m, 4, 0, 0, 0, 1, 0);
    pushVertex(m, 0, 4, 0, 0, 0, 1);
    pushTriangle(m, 0, 1, 2);
    scene.materials.push_back(m);

    bool found = false;
    const Color c = colorAt(scene, 1, 2, 0, &found);
    ASSERT_TRUE(found);
    EXPECT_FLOAT_EQ(c.r, 0.25f);
    EXPECT_FLOAT_EQ(c.g, 0.25f);
    EXPECT_FLOAT_EQ(c.b, 0.5f);
}

TEST(ColorAt, ClockwiseAndDegenerateTrianglesNeverCount) {
    Scene scene;
    RenderMaterial m;
    pushVertex(m, -5, -5, 0, 1, 0, 0);
    pushVertex(m, 5, -5, 0, 1, 0, 0);
    pushVertex(m, 0, 5, 0, 1, 0, 0);
    pushVertex(m, -5, 0, 0.5f, 0, 1, 0);
    pushVertex(m, 5, 0, 0.5f, 0, 1, 0);
    pushVertex(m, 0, 0, 3, 0, 1, 0);
    pushTriangle(m, 0, 2, 1);  // clockwise seen from above
    pushTriangle(m, 3, 4, 5);  // vertical: no area on the ground
    scene.materials.push_back(m);
    bool found = true;
    colorAt(scene, 0, 0, 5, &found);
    EXPECT_FALSE(found);

    scene.materials[0].indices = {0, 1, 2};
    colorAt(scene, 0, 0, 5, &found);
    EXPECT_TRUE(found);
}

TEST(ColorAt, TiesKeepTheEarlierTriangleAcrossMaterials) {
    Scene scene;
    for (float red : {0.0f, 1.0f}) {
        RenderMaterial m;
        m.number = uint32_t(scene.materials.size());
        addRenderQuad(m, -1, -1, 1, 1, 0, red, 0, 0);
        scene.materials.push_back(m);
    }
    EXPECT_FLOAT_EQ(colorAt(scene, 0.5f, 0.5f, 0, nullptr).r, 0.0f);
    EXPECT_FLOAT_EQ(colorAt(scene, -0.5f, 0.2f, 0, nullptr).r, 0.0f);
}

TEST(ColorAt, EdgesCountWithinTheTolerance) {
    Scene scene;
    RenderMaterial m;
    addRenderQuad(m, 0, 0, 1, 1, 0, 0.5f, 0.5f, 0.5f);
    scene.materials.push_back(m);
    bool found = false;
    colorAt(scene, 1.00005f, 0.5f, 0, &found);
    EXPECT_TRUE(found);
    colorAt(scene, 1.001f, 0.5f, 0, &found);
    EXPECT_FALSE(found);
}

TEST(ColorAt, IndicesPastTheVerticesOfAHandBuiltMeshAreSkipped) {
    Scene scene;
    RenderMaterial m;
    pushVertex(m, -5, -5, 0, 1, 1, 1);
    pushVertex(m, 5, -5, 0, 1, 1, 1);
    pushVertex(m, 0, 5, 0, 1, 1, 1);
    pushTriangle(m, 0, 1, 7);
    scene.materials.push_back(m);
    bool found = true;
    colorAt(scene, 0, 0, 0, &found);
    EXPECT_FALSE(found);
}

}  // namespace
}  // namespace vobu
