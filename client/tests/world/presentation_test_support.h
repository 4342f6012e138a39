#pragma once
// Shared pieces of the presentation tests: a Graphics that records what it
// would send to OpenGL, scenes built from the kit maps through the readers,
// and small geometry helpers.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "support/players.h"
#include "support/recording_backend.h"
#include "support/test_font.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "world/map_readers.h"
#include "world/scene.h"

namespace vobu::presentation {

// Graphics over a recording backend; the recording survives the Graphics.
struct RecordedGraphics {
    testing::Recording recording;
    Graphics graphics{std::make_unique<testing::RecordingBackend>(recording)};

    size_t uploads() const { return recording.uploads.size(); }
    size_t deletes() const { return recording.deletedObjects.size(); }
    size_t liveTextures() const { return graphics.textures().size(); }
};

// The kit's two-material map (floor with a checker slot 0, a half
// transparent platform with slot 1) read through the real readers.
inline void loadTwoMaterialMap(Scene& scene) {
    mapkit::KitRenderMap map = mapkit::twoMaterialRenderMap();
    readRenderMesh(scene, mapkit::writeRenderMesh(map.materials));
    for (const mapkit::KitTexture& t : map.textures)
        readTexture(scene, t.slot, mapkit::writeTexture(t.width, t.height, t.rgba));
    readWalkMesh(scene.walkMesh, mapkit::writeWalkMesh(mapkit::flatFloor()));
}

// An upward-facing render quad of one colour as material `number`.
inline RenderMaterial quadMaterial(uint32_t number, float x0, float y0, float x1, float y1, float z,
                                   std::array<float, 3> color = {1, 1, 1}) {
    RenderMaterial m;
    m.number = number;
    mapkit::addRenderQuad(m, x0, y0, x1, y1, z, color[0], color[1], color[2]);
    return m;
}

// A vertical wall in the plane y = at, spanning x0..x1 and z0..z1 (facing -y).
inline RenderMaterial wallMaterial(uint32_t number, float at, float x0, float x1, float z0, float z1) {
    RenderMaterial m;
    m.number = number;
    auto vertex = [&](float x, float z) {
        m.vertices.insert(m.vertices.end(), {x, at, z, 0, -1, 0, 0, 0, 0.5f, 0.5f, 0.5f});
    };
    vertex(x0, z0);
    vertex(x1, z0);
    vertex(x1, z1);
    vertex(x0, z1);
    m.indices = {0, 1, 2, 0, 2, 3};
    return m;
}

inline double length(const std::array<float, 3>& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

}  // namespace vobu::presentation
