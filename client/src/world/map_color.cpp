#include <limits>

#include "world/map_readers.h"
#include "world/map_render_vertex.h"

namespace vobu {

Color colorAt(const Scene& scene, float x, float y, float z, bool* found) {
    Color result{scene.ambient.r, scene.ambient.g, scene.ambient.b};
    bool hit = false;
    float bestHeight = -std::numeric_limits<float>::infinity();
    const float reach = z + 0.05f;
    for (const RenderMaterial& material : scene.materials) {
        const size_t vertexCount = material.vertices.size() / kRenderVertexFloats;
        const float* vertices = material.vertices.data();
        for (size_t i = 0; i + 2 < material.indices.size(); i += 3) {
            const uint32_t i0 = material.indices[i], i1 = material.indices[i + 1], i2 = material.indices[i + 2];
            // The readers guarantee valid indices; a hand-built Scene may not.
            if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount) continue;
            const float* p0 = vertices + i0 * kRenderVertexFloats;
            const float* p1 = vertices + i1 * kRenderVertexFloats;
            const float* p2 = vertices + i2 * kRenderVertexFloats;
            float rgb[3];
            if (!takeGroundColor(p0, p1, p2, x, y, reach, bestHeight, rgb)) continue;
            result.r = rgb[0];
            result.g = rgb[1];
            result.b = rgb[2];
            hit = true;
        }
    }
    if (found) *found = hit;
    return result;
}

}  // namespace vobu
