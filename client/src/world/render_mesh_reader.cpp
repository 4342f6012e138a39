#include <cmath>
#include <utility>

#include "world/map_byte_reader.h"
#include "world/map_readers.h"
#include "world/map_render_vertex.h"

namespace vobu {

namespace {

constexpr uint64_t kVertexBytes = 44;
constexpr uint64_t kIndexBytes = 4;

bool isUnitColor(float c) { return c >= 0.0f && c <= 1.0f; }

// One vertex: the range of every float first, then the colour, then the
// normal, so the first fault in file order names the error.
void readRenderVertex(MapByteReader& reader, std::vector<float>& out) {
    float v[kRenderVertexFloats];
    for (float& f : v) {
        f = reader.f32();
        if (!isMapCoordinate(f)) failMapAsset(kErrMapCoordinate);
    }
    if (!isUnitColor(v[8]) || !isUnitColor(v[9]) || !isUnitColor(v[10])) failMapAsset(kErrMapColor);
    const double squared = double(v[3]) * v[3] + double(v[4]) * v[4] + double(v[5]) * v[5];
    if (!(squared >= 0.99 && squared <= 1.01)) failMapAsset(kErrMapVertex);
    out.insert(out.end(), v, v + kRenderVertexFloats);
}

struct MeshTotals {
    uint64_t vertices = 0;
    uint64_t indices = 0;
};

RenderMaterial readMaterialBlock(MapByteReader& reader, uint32_t position, MeshTotals& totals) {
    const uint32_t number = reader.nextU32();
    const uint32_t vertexCount = reader.nextU32();
    const uint32_t indexCount = reader.nextU32();

    totals.vertices += vertexCount;
    totals.indices += indexCount;
    if (number != position || vertexCount == 0 || indexCount == 0 || indexCount % 3 != 0 ||
        totals.vertices > kMaxRenderVertices || totals.indices > kMaxRenderIndices)
        failMapAsset(kErrMapMeshBudget);
    reader.require(kVertexBytes * vertexCount + kIndexBytes * indexCount);

    RenderMaterial material;
    material.number = number;
    material.vertices.reserve(size_t(vertexCount) * kRenderVertexFloats);
    material.indices.reserve(indexCount);
    for (uint32_t v = 0; v < vertexCount; ++v) readRenderVertex(reader, material.vertices);
    for (uint32_t i = 0; i < indexCount; ++i) {
        const uint32_t index = reader.u32();
        if (index >= vertexCount) failMapAsset(kErrMapIndex);
        material.indices.push_back(index);
    }
    return material;
}

}  // namespace

void readRenderMesh(Scene& scene, const std::vector<uint8_t>& bytes) {
    MapByteReader reader(bytes);
    readMapMagic(reader, "VBM3");
    const uint32_t materialCount = reader.nextU32();
    if (materialCount < 1 || materialCount > kMaxRenderMaterials) failMapAsset(kErrMapMaterials);

    std::vector<RenderMaterial> materials;
    materials.reserve(materialCount);
    MeshTotals totals;
    for (uint32_t m = 0; m < materialCount; ++m) materials.push_back(readMaterialBlock(reader, m, totals));
    reader.expectEnd();

    // Growing the slots is the last step that can fail; it leaves the list
    // as it was when it does, and nothing after it throws.
    if (scene.textures.size() < materials.size()) scene.textures.resize(materials.size());
    scene.materials = std::move(materials);
    ++scene.meshRevision;
}

}  // namespace vobu
