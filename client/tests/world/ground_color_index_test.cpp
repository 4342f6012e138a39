// The grid-backed ground colour gives exactly what the full walk gives.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "presentation_test_support.h"
#include "world/ground_color_index.h"

namespace vobu {
namespace {

void expectSameAsFullWalk(const Scene& scene, const GroundColorIndex& index, float x, float y, float z) {
    bool foundFull = false, foundIndex = false;
    const Color full = colorAt(scene, x, y, z, &foundFull);
    const Color fast = index.colorAt(scene, x, y, z, &foundIndex);
    ASSERT_EQ(foundFull, foundIndex) << x << ", " << y << ", " << z;
    ASSERT_EQ(std::memcmp(&full, &fast, sizeof full), 0) << x << ", " << y << ", " << z;
}

// A rough terrain of overlapping layers, odd triangles included: slivers,
// clockwise ones, huge ones crossing every cell, and shared edges.
Scene roughScene(uint32_t seed) {
    Scene scene;
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> coordinate(-20, 20), height(-2, 2), color(0, 1);
    for (uint32_t m = 0; m < 3; ++m) {
        RenderMaterial material;
        material.number = m;
        for (int i = 0; i < 300; ++i) {
            material.vertices.insert(material.vertices.end(),
                                     {coordinate(random), coordinate(random), height(random), 0, 0, 1, 0, 0,
                                      color(random), color(random), color(random)});
        }
        std::uniform_int_distribution<uint32_t> vertex(0, 299);
        for (int t = 0; t < 400; ++t)
            material.indices.insert(material.indices.end(), {vertex(random), vertex(random), vertex(random)});
        scene.materials.push_back(std::move(material));
    }
    scene.materials.push_back(presentation::quadMaterial(3, -100, -100, 100, 100, -1, {0.1f, 0.2f, 0.3f}));
    scene.materials.push_back(presentation::quadMaterial(4, -5, -5, 5, 5, 0.5f, {0.9f, 0.8f, 0.7f}));
    scene.meshRevision = 1;
    return scene;
}

TEST(GroundColorIndex, AgreesWithTheFullWalkEverywhere) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        const Scene scene = roughScene(seed);
        GroundColorIndex index;
        index.update(scene);
        std::mt19937 random(seed * 77);
        std::uniform_real_distribution<float> coordinate(-30, 30), height(-3, 3);
        for (int i = 0; i < 3000; ++i)
            expectSameAsFullWalk(scene, index, coordinate(random), coordinate(random), height(random));
        // Exactly on vertices and edges of the quads.
        for (float x : {-5.0f, 0.0f, 5.0f, 100.0f, -100.0f})
            for (float y : {-5.0f, 0.0f, 5.0f, 100.0f}) expectSameAsFullWalk(scene, index, x, y, 0.5f);
    }
}

TEST(GroundColorIndex, FollowsTheMeshAndTheWorld) {
    Scene scene;
    presentation::loadTwoMaterialMap(scene);
    GroundColorIndex index;
    index.update(scene);
    expectSameAsFullWalk(scene, index, 0, 0, 1);
    expectSameAsFullWalk(scene, index, 5, 5, 0);
    expectSameAsFullWalk(scene, index, 50, 50, 0);  // off the map: ambient

    scene.materials[1] = presentation::quadMaterial(1, 3, 3, 8, 8, 0.2f, {0, 1, 0});
    scene.meshRevision += 1;
    index.update(scene);
    expectSameAsFullWalk(scene, index, 5, 5, 0.3f);
    expectSameAsFullWalk(scene, index, 0, 0, 1);

    Scene next;  // a fresh world with the same revision number
    next.materials.push_back(presentation::quadMaterial(0, -1, -1, 1, 1, 0, {1, 0, 0}));
    next.meshRevision = scene.meshRevision;
    index.update(next);
    expectSameAsFullWalk(next, index, 0, 0, 0);
    expectSameAsFullWalk(next, index, 5, 5, 0.3f);

    Scene empty;
    index.update(empty);
    expectSameAsFullWalk(empty, index, 0, 0, 0);
}

}  // namespace
}  // namespace vobu
