#include "world/renderer.h"

#include <algorithm>
#include <cmath>

#include "character/character.h"
#include "platform/performance_clock.h"
#include "ui/font.h"
#include "world/character_box.h"
#include "world/scene.h"

namespace vobu {

namespace {

constexpr float kTexel = 0.02f;

const Player* findPlayer(const std::vector<Player>& players, int id) {
    for (const Player& p : players) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

MoveState restState(const Player& p) {
    MoveState s;
    s.x = p.x;
    s.y = p.y;
    s.z = p.z;
    s.vz = p.vz;
    s.triangle = -1;
    return s;
}

template <typename Map>
int valueOr(const Map& map, int key, int fallback) {
    auto it = map.find(key);
    return it == map.end() ? fallback : it->second;
}

}  // namespace

std::vector<Vertex> shatterMesh(const std::vector<Vertex>& mesh, float t) {
    t = std::clamp(t, 0.0f, 1.0f);
    if (mesh.size() < 6) return mesh;
    double cx = 0, cy = 0, cz = 0;
    for (const Vertex& v : mesh) {
        cx += v.x;
        cy += v.y;
        cz += v.z;
    }
    const float n = float(mesh.size());
    const float centreX = float(cx) / n, centreY = float(cy) / n, centreZ = float(cz) / n;
    const float drop = 1.4f * t * t;
    std::vector<Vertex> out = mesh;
    for (size_t start = 0, k = 1; start + 6 <= out.size(); start += 6, ++k) {
        float px = 0, py = 0, pz = 0;
        for (size_t i = start; i < start + 6; ++i) {
            px += out[i].x;
            py += out[i].y;
            pz += out[i].z;
        }
        px /= 6;
        py /= 6;
        pz /= 6;
        const float kf = float(k);
        const float a = t * (3 * std::sin(2.3f * kf) + 2);
        const float dx = t * (3 * (px - centreX) + 0.65f * std::sin(3.7f * kf));
        const float dy = t * (3 * (py - centreY) + 0.65f * std::cos(2.1f * kf));
        const float dz = t * (2 * (pz - centreZ) + 0.7f);
        const float ca = std::cos(a), sa = std::sin(a);
        for (size_t i = start; i < start + 6; ++i) {
            Vertex& v = out[i];
            const float rx = v.x - px, ry = v.y - py, rz = v.z - pz;
            const float x1 = ca * rx - sa * ry;
            const float y1 = sa * rx + ca * ry;
            const float y2 = ca * y1 - sa * rz;
            const float z2 = sa * y1 + ca * rz;
            v.x = px + x1 + dx;
            v.y = py + y2 + dy;
            v.z = pz + z2 + dz - drop;
            v.r *= 1 - t;
            v.g *= 1 - t;
            v.b *= 1 - t;
        }
    }
    return out;
}

Renderer::Renderer() { projector_ = camera.projector(1.0f); }

void Renderer::initialize(Graphics* graphics, const Font* font) {
    graphics_ = graphics;
    font_ = font;
}

PlotFunction Renderer::projecting() const {
    const CameraProjector projector = projector_;
    return [projector](float x, float y, float z, const Color& c) { return projector(x, y, z, c.r, c.g, c.b); };
}

std::vector<Vertex> Renderer::projectTriangles(const std::vector<Vertex>& mesh) const {
    std::vector<Vertex> out(mesh.size());
    for (size_t i = 0; i < mesh.size(); ++i) {
        const Vertex& v = mesh[i];
        out[i] = projector_(v.x, v.y, v.z, v.r, v.g, v.b);
        out[i].u = v.u;
        out[i].v = v.v;
    }
    return out;
}

void Renderer::draw(const Scene& scene, const std::vector<Player>& players, int width, int height, double dt,
                    int mouseX, int mouseY, bool hover) {
    if (width < 1 || height < 1 || !graphics_) return;  // minimised: nothing drawn, nothing changes
    graphics_->beginFrame(width, height);
    frameWidth_ = width;
    frameHeight_ = height;
    const float aspect = float(width) / float(height);

    // Skin revisions start again in a new world: they say nothing about the
    // textures built for the previous one.
    if (scene.identity != drawnWorld_) {
        if (drawnWorld_ != 0) {
            for (auto& [id, visual] : visuals_) visual.skinRevision = -1;
        }
        drawnWorld_ = scene.identity;
    }

    const Player* local = findPlayer(players, scene.localPlayerId);
    if (local != nullptr) {
        if (!camera.initialised) {
            camera.yaw = float(scene.spawn.heading);
            camera.initialised = true;
        }
        camera.update(float(local->x), float(local->y), float(local->z), float(dt), &scene);
    }
    projector_ = camera.projector(aspect);
    const PlotFunction plot = projecting();

    groundColors_.update(scene);
    occluders_.clear();
    worldLayer_.drawMap(*graphics_, scene, projector_, occluders_);
    drawnIds_.clear();

    // Players whose character left the Scene shatter away.
    for (auto it = visuals_.begin(); it != visuals_.end();) {
        if (scene.characters.count(it->first) == 0) {
            addFadingMesh(it->second);
            releaseVisual(it->second);
            it = visuals_.erase(it);
        } else {
            ++it;
        }
    }

    for (const Player& player : players) {
        if (scene.characters.count(player.id) == 0) continue;
        drawPlayer(scene, player, dt, player.id == scene.localPlayerId);
    }
    drawFadingMeshes(dt);

    const std::array<float, 3> viewer = local != nullptr
                                            ? std::array<float, 3>{float(local->x), float(local->y), float(local->z)}
                                            : camera.eyePosition();
    worldLayer_.drawSigns(*graphics_, *font_, scene, plot, camera.right(), camera.up(), viewer);
    drawBubbles(scene, players, dt);
    if (hover) drawHoverTag(scene, players, mouseX, mouseY);
}

void Renderer::drawPlayer(const Scene& scene, const Player& player, double dt, bool isLocal) {
    const Character& character = scene.characters.at(player.id);
    PlayerVisual& visual = visuals_[player.id];
    drawnIds_.push_back(player.id);
    const int generation = valueOr(scene.characterGenerations, player.id, 1);

    if (!visual.initialised) {
        visual.generation = generation;
        visual.spawnTimer = isLocal || scene.joinedPlayers.count(player.id) ? kSpawnSeconds : 0.0;
        visual.smoothedHeading = player.heading;
        visual.headingTime = 0;
        visual.headingCounter = 0;
        CharacterPose::reset(visual.pose, restState(player));
    } else {
        if (generation != visual.generation) {
            // A new body: the old one shatters while the new one assembles.
            addFadingMesh(visual);
            visual.spawnTimer = kSpawnSeconds;
            CharacterPose::reset(visual.pose, restState(player));
            visual.generation = generation;
        }
        // The heading is smoothed on every fourth frame with the time gathered.
        const double step = std::min(dt, 0.1);
        if (step > 0) visual.headingTime += step;
        if (++visual.headingCounter > 3) {
            visual.headingCounter = 0;
            const double s = visual.smoothedHeading;
            const double d = std::atan2(std::sin(player.heading - s), std::cos(player.heading - s));
            visual.smoothedHeading = float(s + (1 - std::exp(-visual.headingTime / 0.28)) * d);
            // A heading that is not a number would stay in the smoothing for good.
            if (!std::isfinite(visual.smoothedHeading)) visual.smoothedHeading = player.heading;
            visual.headingTime = 0;
        }
    }

    CharacterPose::update(visual.pose, moveStateOf(player), dt, character, &scene.walkMesh);
    visual.initialised = true;

    updateSkin(visual, scene, player, isLocal);

    // Fewer strips for a body small on screen.
    const float headZ = float(player.z) + float(character.height) * kTexel;
    const Vertex feet = projector_(float(player.x), float(player.y), float(player.z), 1, 1, 1);
    const Vertex head = projector_(float(player.x), float(player.y), headZ, 1, 1, 1);
    float pixels = 200.0f;
    if (feet.w > 0 && head.w > 0) pixels = std::fabs(head.y / head.w - feet.y / feet.w) * float(frameHeight_) * 0.5f;

    const float ox = float(player.x), oy = float(player.y), oz = float(player.z);
    const PlotFunction offset = [ox, oy, oz](float x, float y, float z, const Color& c) {
        return Vertex{x + ox, y + oy, z + oz, 1.0f, c.r, c.g, c.b, 0.0f, 0.0f};
    };
    visual.worldMesh.clear();
    drawCharacterBox(CharacterBoxArgs{visual.worldMesh,
                                      character,
                                      visual.smoothedHeading,
                                      offset,
                                      false,
                                      {0, 0, 0},
                                      poseDetailLevel(pixels),
                                      visual.pose.shape});

    // The box is built white, so the tint of the ground multiplies the skin.
    bool found = false;
    const Color ground = groundColors_.colorAt(scene, ox, oy, oz, &found);
    if (!visual.tintInitialised) {
        visual.tint = found ? ground : Color{scene.ambient.r, scene.ambient.g, scene.ambient.b};
        visual.tintInitialised = true;
    } else if (found) {
        const float k = float(1 - std::exp(-dt / 0.08));
        visual.tint.r += k * (ground.r - visual.tint.r);
        visual.tint.g += k * (ground.g - visual.tint.g);
        visual.tint.b += k * (ground.b - visual.tint.b);
    }
    for (Vertex& v : visual.worldMesh) {
        v.r = visual.tint.r;
        v.g = visual.tint.g;
        v.b = visual.tint.b;
    }

    visual.spawnTimer = std::max(0.0, visual.spawnTimer - dt);
    const bool assembled = visual.spawnTimer == 0;
    visual.clipMesh = projectTriangles(
        assembled ? visual.worldMesh : shatterMesh(visual.worldMesh, float(visual.spawnTimer / kSpawnSeconds)));
    graphics_->drawTriangles(visual.clipMesh, visual.skinTexture, assembled, false, false, false, 1.0f, false);
}

void Renderer::updateSkin(PlayerVisual& visual, const Scene& scene, const Player& player, bool isLocal) {
    const int revision = valueOr(scene.characterRevisions, player.id, 0);
    if (visual.sharesSkin || (visual.skinTexture != 0 && visual.skinRevision == revision)) return;
    if (visual.skinTexture == 0 && isLocal && localSkinTexture != 0) {
        visual.skinTexture = localSkinTexture;
        visual.sharesSkin = true;
        visual.skinRevision = revision;
        return;
    }
    const Character& character = scene.characters.at(player.id);
    const int side = character.skinAtlasSize();
    visual.skinTexture = graphics_->setTexture(side, side, character.buildSkinAtlas(), visual.skinTexture,
                                               character.faceScale > 1, false);
    visual.skinRevision = revision;
}

void Renderer::drawFadingMeshes(double dt) {
    for (auto it = fading_.begin(); it != fading_.end();) {
        it->age += dt;
        if (it->age >= kSpawnSeconds) {
            if (it->ownsTexture) graphics_->deleteTexture(it->texture);
            it = fading_.erase(it);
            continue;
        }
        const std::vector<Vertex> clip = projectTriangles(shatterMesh(it->worldMesh, float(it->age / kSpawnSeconds)));
        graphics_->drawTriangles(clip, it->texture, false, false, false, false, 1.0f, false);
        occluders_.insert(occluders_.end(), clip.begin(), clip.end());
        ++it;
    }
}

void Renderer::drawBubbles(const Scene& scene, const std::vector<Player>& players, double dt) {
    const double now = clock_();
    for (const ChatEntry& line : scene.chat) {
        if (line.seq <= lastBubbled_) continue;
        lastBubbled_ = line.seq;
        if (line.from == 0 || line.system || !(line.receivedMs > 0) || !(now - line.receivedMs < kBubbleLifeMs) ||
            scene.characters.count(line.from) == 0)
            continue;
        bubbles_[line.from].add(*graphics_, *font_, line.text, line.receivedMs,
                                line.to != 0 ? &kWhisperColor : nullptr);
    }

    const PlotFunction plot = projecting();
    for (auto it = bubbles_.begin(); it != bubbles_.end();) {
        auto character = scene.characters.find(it->first);
        if (character == scene.characters.end()) {
            it->second.release(*graphics_);
            it = bubbles_.erase(it);
            continue;
        }
        it->second.update(*graphics_, now, dt);
        if (it->second.bubbles.empty()) {
            it = bubbles_.erase(it);
            continue;
        }
        const Player* player = findPlayer(players, it->first);
        auto visual = visuals_.find(it->first);
        if (player != nullptr && visual != visuals_.end()) {
            const float lift = visual->second.pose.shape.lift;
            const std::array<float, 3> base{float(player->x), float(player->y),
                                            float(player->z) + float(character->second.height) * kTexel + lift + 0.5f};
            it->second.draw(*graphics_, now, base, camera.right(), camera.up(), plot);
        }
        ++it;
    }
}

void Renderer::drawHoverTag(const Scene& scene, const std::vector<Player>& players, int mouseX, int mouseY) {
    const int id = pick(mouseX, mouseY);
    if (id < 0) return;
    auto character = scene.characters.find(id);
    auto visual = visuals_.find(id);
    const Player* player = findPlayer(players, id);
    if (character == scene.characters.end() || visual == visuals_.end() || player == nullptr) return;
    const float z =
        float(player->z) + float(character->second.height) * kTexel + visual->second.pose.shape.lift + 0.24f;
    visual->second.nameTag.draw(*graphics_, *font_, character->second.name, float(player->x), float(player->y), z,
                                camera.right(), camera.up(), projecting(), 1.0f);
}

void Renderer::addFadingMesh(PlayerVisual& visual) {
    if (visual.worldMesh.empty()) return;
    if (fading_.size() >= kMaxFadingMeshes) {
        if (fading_.front().ownsTexture) graphics_->deleteTexture(fading_.front().texture);
        fading_.erase(fading_.begin());
    }
    fading_.push_back(FadingMesh{visual.worldMesh, visual.skinTexture, !visual.sharesSkin, 0.0});
    visual.skinTexture = 0;
    visual.sharesSkin = false;
}

// Deletes what a visual owns: its name tag and, unless it borrows the local
// skin (or handed it to a fading mesh), its skin texture.
void Renderer::releaseVisual(PlayerVisual& visual) {
    visual.nameTag.release(*graphics_);
    if (!visual.sharesSkin && visual.skinTexture != 0) graphics_->deleteTexture(visual.skinTexture);
    visual.skinTexture = 0;
    visual.sharesSkin = false;
}

void Renderer::clearPlayers(int id) {
    for (auto& [visualId, visual] : visuals_) {
        if (visualId == id) addFadingMesh(visual);
        releaseVisual(visual);
    }
    visuals_.clear();
    drawnIds_.clear();
    localSkinTexture = 0;
}

void Renderer::reset() {
    camera.initialised = false;
    if (!graphics_) return;  // nothing was drawn, so nothing is owned
    worldLayer_.release(*graphics_);
    for (auto& [id, stack] : bubbles_) stack.release(*graphics_);
    bubbles_.clear();
    for (const FadingMesh& mesh : fading_) {
        if (mesh.ownsTexture) graphics_->deleteTexture(mesh.texture);
    }
    fading_.clear();
    for (auto& [id, visual] : visuals_) releaseVisual(visual);
    visuals_.clear();
    localSkinTexture = 0;
    drawnIds_.clear();
    lastBubbled_ = 0;
    drawnWorld_ = 0;
}

void Renderer::detachLocalSkin(const Scene& scene) {
    auto visual = visuals_.find(scene.localPlayerId);
    auto character = scene.characters.find(scene.localPlayerId);
    if (visual == visuals_.end() || !visual->second.sharesSkin || character == scene.characters.end()) return;
    const int side = character->second.skinAtlasSize();
    visual->second.skinTexture = graphics_->setTexture(side, side, character->second.buildSkinAtlas(), 0,
                                                       character->second.faceScale > 1, false);
    visual->second.sharesSkin = false;
    localSkinTexture = 0;
}

}  // namespace vobu
