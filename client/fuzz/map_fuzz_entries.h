#pragma once
// Entry points shared by the map reader fuzz targets and by the regression
// test that replays their corpora in the ordinary build. Each feeds one input
// to a reader and checks what must hold afterwards: a fault leaves the target
// exactly as it was and names an "ERR_" code; an accepted asset satisfies
// every limit of its format. They return false when something broke.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "world/map_readers.h"
#include "world/navigation.h"
#include "world/scene.h"

namespace vobu::fuzz {

inline bool isReaderCode(const std::runtime_error& e) { return std::string(e.what()).rfind("ERR_", 0) == 0; }

inline bool sameBytes(const void* a, const void* b, size_t size) { return size == 0 || std::memcmp(a, b, size) == 0; }

inline bool walkMeshReaderHolds(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const WalkTriangle sentinel{1, 2, 3, 4, 5, 6, 7, 8, 9};
    WalkMesh target;
    target.triangles = {sentinel};
    target.walls = {WallSegment{}};
    try {
        readWalkMesh(target, bytes);
    } catch (const std::runtime_error& e) {
        return isReaderCode(e) && target.triangles.size() == 1 &&
               sameBytes(&target.triangles[0], &sentinel, sizeof sentinel) && target.walls.size() == 1 &&
               !target.navigation;
    } catch (const std::bad_alloc&) {
        return target.triangles.size() == 1 && !target.navigation;
    }
    const size_t count = target.triangles.size();
    if (count < 1 || count > size_t(kMaxWalkTriangles) || size != 8 + 36 * count) return false;
    if (!target.navigation || target.navigation->triangleCount != int32_t(count)) return false;
    if (target.walls.size() > 32768) return false;
    for (const WalkTriangle& t : target.triangles) {
        const double* c = &t.x0;
        for (int i = 0; i < 9; ++i)
            if (!std::isfinite(c[i]) || std::fabs(c[i]) > kMaxMapCoordinate) return false;
    }
    return true;
}

inline bool materialIsSound(const RenderMaterial& material, uint32_t position) {
    if (material.number != position || material.vertices.empty() || material.vertices.size() % 11 != 0) return false;
    if (material.indices.empty() || material.indices.size() % 3 != 0) return false;
    const size_t vertexCount = material.vertices.size() / 11;
    for (uint32_t index : material.indices)
        if (index >= vertexCount) return false;
    for (size_t v = 0; v < vertexCount; ++v) {
        const float* f = &material.vertices[v * 11];
        for (int i = 0; i < 11; ++i)
            if (!std::isfinite(f[i]) || std::fabs(f[i]) > kMaxMapCoordinate) return false;
        for (int i = 8; i < 11; ++i)
            if (f[i] < 0.0f || f[i] > 1.0f) return false;
    }
    return true;
}

inline bool renderMeshReaderHolds(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    Scene scene;
    scene.materials.resize(1);
    scene.materials[0].vertices = {1, 2, 3};
    scene.textures.resize(2);
    scene.textures[1].revision = 5;
    scene.meshRevision = 3;
    try {
        readRenderMesh(scene, bytes);
    } catch (const std::runtime_error& e) {
        return isReaderCode(e) && scene.meshRevision == 3 && scene.materials.size() == 1 &&
               scene.materials[0].vertices.size() == 3 && scene.textures.size() == 2 && scene.textures[1].revision == 5;
    } catch (const std::bad_alloc&) {
        return scene.meshRevision == 3 && scene.materials.size() == 1;
    }
    if (scene.meshRevision != 4 || scene.materials.empty() || scene.materials.size() > kMaxRenderMaterials)
        return false;
    if (scene.textures.size() < std::max<size_t>(2, scene.materials.size()) || scene.textures[1].revision != 5)
        return false;
    uint64_t vertices = 0, indices = 0;
    for (uint32_t m = 0; m < scene.materials.size(); ++m) {
        if (!materialIsSound(scene.materials[m], m)) return false;
        vertices += scene.materials[m].vertices.size() / 11;
        indices += scene.materials[m].indices.size();
    }
    if (vertices > kMaxRenderVertices || indices > kMaxRenderIndices) return false;
    // The colour query walks every triangle; probe at each material's first vertex.
    for (const RenderMaterial& material : scene.materials) {
        bool found = false;
        const Color c = colorAt(scene, material.vertices[0], material.vertices[1], material.vertices[2], &found);
        if (!std::isfinite(c.r) || !std::isfinite(c.g) || !std::isfinite(c.b)) return false;
    }
    return true;
}

// The first byte picks the slot (0..17, so that the two past the last slot
// are tried too); the rest is the asset.
inline bool textureReaderHolds(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    const uint32_t slot = data[0] % 18u;
    const std::vector<uint8_t> bytes(data + 1, data + size);
    Scene scene;
    scene.textures.resize(3);
    scene.textures[1].width = 8;
    scene.textures[1].height = 8;
    scene.textures[1].rgba.assign(8 * 8 * 4, 255);
    scene.textures[1].revision = 2;
    const Scene before = scene;
    try {
        readTexture(scene, slot, bytes);
    } catch (const std::runtime_error& e) {
        return isReaderCode(e) && scene.textures.size() == 3 && scene.textures[1].rgba == before.textures[1].rgba &&
               scene.textures[1].revision == 2;
    } catch (const std::bad_alloc&) {
        return scene.textures.size() == 3;
    }
    if (slot >= kMaxTextureSlots || scene.textures.size() < std::max<size_t>(3, slot + 1)) return false;
    const MaterialTexture& t = scene.textures[slot];
    if (slot == 1 && t.revision == 2) return t.rgba == before.textures[1].rgba;  // narrower, dropped
    const int32_t previous = slot < before.textures.size() ? before.textures[slot].revision : 0;
    if (t.revision != previous + 1) return false;
    const bool powerOfTwo = t.width >= 1 && t.width <= 256 && (t.width & (t.width - 1)) == 0 && t.height >= 1 &&
                            t.height <= 256 && (t.height & (t.height - 1)) == 0;
    if (!powerOfTwo || t.rgba.size() != size_t(t.width) * size_t(t.height) * 4) return false;
    bool translucent = false;
    for (size_t i = 3; i < t.rgba.size(); i += 4) translucent = translucent || t.rgba[i] != 255;
    return translucent == t.hasTransparency;
}

}  // namespace vobu::fuzz
