#pragma once
// The renderer's drawer of the map and of the text signs. The render mesh
// becomes one flat world-space triangle batch per material, rebuilt only
// when the mesh changes; each texture slot keeps one texture; the signs are
// label textures re-rendered only when their text changes.

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "ui/graphics.h"
#include "ui/plot.h"
#include "world/name_tag.h"
#include "world/orbit_camera.h"

namespace vobu {

class Font;
struct Scene;

inline constexpr int kSignTextWidth = 240;
inline constexpr size_t kMaxSignLines = 4;

class WorldLayer {
public:
    struct SlotTexture {
        uint32_t texture = 0;  // 0: none yet
        int32_t revision = 0;
    };

    std::vector<SlotTexture> slotTextures;     // index = material number
    std::map<int32_t, NameTag> signCache;      // by entity id
    std::vector<std::vector<Vertex>> batches;  // per material, world coordinates
    int32_t builtMeshRevision = 0;
    // The Scene the batches and slot textures belong to (0: none).
    uint64_t builtIdentity = 0;

    // Brings batches and slot textures up to date and draws the map; the
    // clip-space triangles of opaque materials are appended to `occluders`.
    void drawMap(Graphics& graphics, const Scene& scene, const PlotFunction& plot, std::vector<Vertex>& occluders);
    // The same with the camera's frozen projection called directly, which
    // spares a callback per map vertex.
    void drawMap(Graphics& graphics, const Scene& scene, const CameraProjector& projector,
                 std::vector<Vertex>& occluders);
    // Draws the "text" entities as camera-facing quads, farthest first.
    void drawSigns(Graphics& graphics, const Font& font, const Scene& scene, const PlotFunction& plot,
                   const std::array<float, 3>& right, const std::array<float, 3>& up,
                   const std::array<float, 3>& viewer);
    // Deletes every texture and forgets everything.
    void release(Graphics& graphics);

private:
    void rebuildGeometry(const Scene& scene);
    void refreshSlotTextures(Graphics& graphics, const Scene& scene);
    void dropSlotTextures(Graphics& graphics, size_t keep);
    void bringUpToDate(Graphics& graphics, const Scene& scene);
    template <typename Project>
    void drawBatches(Graphics& graphics, const Scene& scene, const Project& project, std::vector<Vertex>& occluders);

    std::vector<Vertex> projected_;  // scratch, reused every frame
};

// The label lines of a sign text: each source line wrapped at 240 pixels
// with its colour carried over, at most four in all, one empty line for an
// empty text.
std::vector<std::string> signLines(const Font& font, const std::string& text);

}  // namespace vobu
