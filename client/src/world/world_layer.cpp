#include "world/world_layer.h"

#include <algorithm>

#include "ui/font.h"
#include "ui/label_sprite.h"
#include "ui/text.h"
#include "world/scene.h"
#include "world/speech_bubbles.h"

namespace vobu {

namespace {

constexpr size_t kFloatsPerVertex = 11;

bool isTransparent(const Scene& scene, uint32_t number) {
    return number < scene.textures.size() && scene.textures[number].hasTransparency;
}

// True when all three clip-space vertices lie beyond the same plane of the
// view volume (left, right, bottom, top, near, far).
bool outsideView(const Vertex& a, const Vertex& b, const Vertex& c) {
    auto beyond = [&](auto distance) { return distance(a) < 0 && distance(b) < 0 && distance(c) < 0; };
    return beyond([](const Vertex& v) { return v.w + v.x; }) || beyond([](const Vertex& v) { return v.w - v.x; }) ||
           beyond([](const Vertex& v) { return v.w + v.y; }) || beyond([](const Vertex& v) { return v.w - v.y; }) ||
           beyond([](const Vertex& v) { return v.w + v.z; }) || beyond([](const Vertex& v) { return v.w - v.z; });
}

}  // namespace

void WorldLayer::rebuildGeometry(const Scene& scene) {
    batches.clear();
    batches.reserve(scene.materials.size());
    for (const RenderMaterial& material : scene.materials) {
        std::vector<Vertex>& batch = batches.emplace_back();
        const size_t vertexCount = material.vertices.size() / kFloatsPerVertex;
        const size_t usable = material.indices.size() - material.indices.size() % 3;
        batch.reserve(usable);
        for (size_t i = 0; i < usable; i += 3) {
            // The reader checks every index; a hand-made Scene might not.
            if (material.indices[i] >= vertexCount || material.indices[i + 1] >= vertexCount ||
                material.indices[i + 2] >= vertexCount)
                continue;
            for (size_t k = 0; k < 3; ++k) {
                const float* p = material.vertices.data() + size_t(material.indices[i + k]) * kFloatsPerVertex;
                batch.push_back(Vertex{p[0], p[1], p[2], 1.0f, p[8], p[9], p[10], p[6], p[7]});
            }
        }
    }
    builtMeshRevision = scene.meshRevision;
}

void WorldLayer::dropSlotTextures(Graphics& graphics, size_t keep) {
    for (size_t i = keep; i < slotTextures.size(); ++i) {
        if (slotTextures[i].texture != 0) graphics.deleteTexture(slotTextures[i].texture);
    }
    if (slotTextures.size() > keep) slotTextures.resize(keep);
}

void WorldLayer::refreshSlotTextures(Graphics& graphics, const Scene& scene) {
    // Slots the Scene no longer has give their textures back.
    dropSlotTextures(graphics, scene.textures.size());
    slotTextures.resize(scene.textures.size());
    for (size_t i = 0; i < scene.textures.size(); ++i) {
        const MaterialTexture& slot = scene.textures[i];
        SlotTexture& entry = slotTextures[i];
        if (slot.revision == 0 || slot.revision == entry.revision) continue;
        entry.texture = graphics.setTexture(slot.width, slot.height, slot.rgba, entry.texture, true, true);
        entry.revision = slot.revision;
    }
}

void WorldLayer::bringUpToDate(Graphics& graphics, const Scene& scene) {
    // A new world may repeat the revision numbers of the old one: nothing
    // built for the old world is kept.
    if (scene.identity != builtIdentity) {
        dropSlotTextures(graphics, 0);
        rebuildGeometry(scene);
        builtIdentity = scene.identity;
    } else if (scene.meshRevision != builtMeshRevision) {
        rebuildGeometry(scene);
    }
    refreshSlotTextures(graphics, scene);
}

template <typename Project>
void WorldLayer::drawBatches(Graphics& graphics, const Scene& scene, const Project& project,
                             std::vector<Vertex>& occluders) {
    for (size_t m = 0; m < batches.size() && m < scene.materials.size(); ++m) {
        const std::vector<Vertex>& batch = batches[m];
        if (batch.empty()) continue;
        // Triangles wholly beyond one side of the view volume give no pixel
        // and cover no point, so they are neither drawn nor kept.
        projected_.resize(batch.size());
        size_t kept = 0;
        for (size_t i = 0; i + 2 < batch.size(); i += 3) {
            Vertex* out = &projected_[kept];
            for (size_t k = 0; k < 3; ++k) {
                const Vertex& v = batch[i + k];
                out[k] = project(v);
                out[k].u = v.u;
                out[k].v = v.v;
            }
            if (!outsideView(out[0], out[1], out[2])) kept += 3;
        }
        projected_.resize(kept);
        if (kept == 0) continue;
        const uint32_t number = scene.materials[m].number;
        const bool transparent = isTransparent(scene, number);
        const uint32_t texture = number < slotTextures.size() ? slotTextures[number].texture : 0;
        graphics.drawTriangles(projected_, texture, !transparent, false, false, false, 1.0f, transparent);
        if (!transparent) occluders.insert(occluders.end(), projected_.begin(), projected_.end());
    }
}

void WorldLayer::drawMap(Graphics& graphics, const Scene& scene, const PlotFunction& plot,
                         std::vector<Vertex>& occluders) {
    bringUpToDate(graphics, scene);
    drawBatches(
        graphics, scene,
        [&plot](const Vertex& v) {
            return plot(v.x, v.y, v.z, Color{v.r, v.g, v.b});
        },
        occluders);
}

void WorldLayer::drawMap(Graphics& graphics, const Scene& scene, const CameraProjector& projector,
                         std::vector<Vertex>& occluders) {
    bringUpToDate(graphics, scene);
    drawBatches(
        graphics, scene, [&projector](const Vertex& v) { return projector(v.x, v.y, v.z, v.r, v.g, v.b); }, occluders);
}

std::vector<std::string> signLines(const Font& font, const std::string& text) {
    const ColorCodedText parsed = parseColorCodes(text);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= parsed.plain.size() && lines.size() < kMaxSignLines) {
        size_t end = parsed.plain.find('\n', start);
        if (end == std::string::npos) end = parsed.plain.size();
        // Encoding the range again carries a colour set on an earlier line.
        std::string const coded = encodeColorCodes(parsed, start, end - start);
        for (std::string& piece : wrapText(font, coded, kSignTextWidth, kSignTextWidth, true)) {
            if (lines.size() == kMaxSignLines) break;
            lines.push_back(std::move(piece));
        }
        start = end + 1;
    }
    if (lines.empty()) lines.emplace_back();
    return lines;
}

void WorldLayer::drawSigns(Graphics& graphics, const Font& font, const Scene& scene, const PlotFunction& plot,
                           const std::array<float, 3>& right, const std::array<float, 3>& up,
                           const std::array<float, 3>& viewer) {
    const Color white{1, 1, 1};
    struct Sign {
        const SceneEntity* entity;
        float depth;
    };
    std::vector<Sign> signs;
    for (const SceneEntity& entity : scene.entities) {
        if (entity.type == "text") signs.push_back({&entity, plot(entity.x, entity.y, entity.z, white).w});
    }
    // Farthest first, so nearer signs blend over farther ones.
    std::stable_sort(signs.begin(), signs.end(), [](const Sign& a, const Sign& b) { return a.depth > b.depth; });

    std::set<int32_t> seen;
    for (const Sign& sign : signs) {
        const SceneEntity& e = *sign.entity;
        seen.insert(e.id);
        NameTag& tag = signCache[e.id];
        if (tag.texture == 0 || tag.text != e.text) {
            tag.sprite = renderLabelLines(font, signLines(font, e.text), std::nullopt, true);
            tag.texture = graphics.setTexture(tag.sprite.textureWidth, tag.sprite.textureHeight, tag.sprite.pixels,
                                              tag.texture, true, false);
            tag.text = e.text;
        }
        if (e.visibleRange > 0) {
            const float dx = viewer[0] - e.x, dy = viewer[1] - e.y, dz = viewer[2] - e.z;
            if (dx * dx + dy * dy + dz * dz > e.visibleRange * e.visibleRange) continue;
        }
        const float w = float(tag.sprite.contentWidth) * kLabelWorldScale;
        const float h = float(tag.sprite.contentHeight) * kLabelWorldScale;
        auto corner = [&](float along, float lift, float u, float v) {
            Vertex vertex = plot(e.x + along * right[0] + lift * up[0], e.y + along * right[1] + lift * up[1],
                                 e.z + along * right[2] + lift * up[2], white);
            vertex.u = u;
            vertex.v = v;
            return vertex;
        };
        const LabelSprite& s = tag.sprite;
        const Vertex lowerLeft = corner(-w / 2, -h / 2, 0, s.vMax);
        const Vertex lowerRight = corner(w / 2, -h / 2, s.uMax, s.vMax);
        const Vertex upperRight = corner(w / 2, h / 2, s.uMax, 0);
        const Vertex upperLeft = corner(-w / 2, h / 2, 0, 0);
        graphics.drawTriangles({lowerLeft, lowerRight, upperRight, lowerLeft, upperRight, upperLeft}, tag.texture,
                               false, false, false, true, 1.0f, false);
    }
    for (auto it = signCache.begin(); it != signCache.end();) {
        if (seen.count(it->first) == 0) {
            it->second.release(graphics);
            it = signCache.erase(it);
        } else {
            ++it;
        }
    }
}

void WorldLayer::release(Graphics& graphics) {
    dropSlotTextures(graphics, 0);
    for (auto& [id, tag] : signCache) tag.release(graphics);
    signCache.clear();
    batches.clear();
    builtMeshRevision = 0;
    builtIdentity = 0;
}

}  // namespace vobu
