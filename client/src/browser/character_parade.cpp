#include "browser/character_parade.h"

#include <algorithm>
#include <cmath>

#include "world/character_box.h"

namespace vobu {

namespace {

constexpr float kHeading = 1.5707964f;
constexpr int kDetailLevel = 2;

}  // namespace

void CharacterParade::prepare(Graphics& graphics, const std::vector<Character>& characters, uint32_t libraryRevision) {
    if (libraryRevision == revision) return;
    for (const ParadeEntry& entry : entries) graphics.deleteTexture(entry.texture);
    entries.clear();
    poses.clear();
    revision = libraryRevision;
    lastTime = -1;
    for (const Character& character : characters) {
        const int size = character.skinAtlasSize();
        ParadeEntry entry{character, 0};
        entry.texture = graphics.setTexture(size, size, character.buildSkinAtlas(), 0, false, false);
        entries.push_back(std::move(entry));
    }
    if (!entries.empty()) poses.resize(std::max<size_t>(2, entries.size()));
}

double CharacterParade::takeStep(double t, int width, bool& restart) {
    const double dt = t - lastTime;
    double step;
    if (lastTime < 0 || dt < 0) {
        step = 0;
        restart = true;
    } else if (dt > 0.25) {
        step = 0.1;
        restart = true;
    } else {
        step = std::min(dt, 0.1);
        restart = width != lastWidth;
    }
    lastWidth = width;
    lastTime = t;
    return step;
}

Vertex CharacterParade::project(float x, float y, float z, const Color& color, double walkerX, const UiLayout& layout,
                                int width, int height) {
    const double d = 0.98 * y + 18 - 0.2 * z;
    const double sx = kFocalLength * (x + walkerX) / d + width / 2.0;
    const double sy = layout.y + 164 - kFocalLength * (0.2 * y + 0.98 * z) / d;
    Vertex vertex;
    vertex.x = float(d * (2 * sx / width - 1));
    vertex.y = float(d * (1 - 2 * sy / height));
    vertex.z = float((40.1 * d - 8) / 39.9);
    vertex.w = float(d);
    vertex.r = color.r;
    vertex.g = color.g;
    vertex.b = color.b;
    vertex.u = 0;
    vertex.v = 0;
    return vertex;
}

bool CharacterParade::buildWalker(int i, double t, double step, bool restart, const UiLayout& layout, int width,
                                  int height, std::vector<Vertex>& out) {
    const double s = spacing(width);
    const double p = 1.5 * t + s * i + 0.06 * std::sin(8 * t + i);
    const double walkerX = std::fmod(p, trackLength_) - trackLength_ / 2;
    const Character& character = entries[size_t(i) % entries.size()].character;
    MoveState state;
    state.x = p;
    CharacterPose& pose = poses[size_t(i)];
    if (restart) CharacterPose::reset(pose, state);
    CharacterPose::update(pose, state, step, character, nullptr);

    auto plot = [&](float x, float y, float z, const Color& c) {
        return project(x, y, z, c, walkerX, layout, width, height);
    };
    CharacterBoxArgs args{out, character, kHeading, plot, true, {-0.3f, -0.6f, 0.74f}, kDetailLevel, pose.shape};
    drawCharacterBox(args);
    if (out.empty()) return false;
    float lowest = out[0].x / out[0].w;
    float highest = lowest;
    for (const Vertex& vertex : out) {
        lowest = std::min(lowest, vertex.x / vertex.w);
        highest = std::max(highest, vertex.x / vertex.w);
    }
    return !(highest < -1 || lowest > 1);
}

void CharacterParade::draw(Graphics& graphics, const UiLayout& layout, int width, int height, double t) {
    if (entries.empty() || width <= 0 || height <= 0) return;
    bool restart = false;
    const double step = takeStep(t, width, restart);
    trackLength_ = spacing(width) * walkerCount();
    graphics.setScissor(0, height - layout.y - kBandHeight, width, kBandHeight);
    int drawn = 0;
    std::vector<Vertex> vertices;
    for (int i = 0; i < walkerCount(); ++i) {
        vertices.clear();
        // Every pose advances, also of walkers that are not drawn.
        bool visible = buildWalker(i, t, step, restart, layout, width, height, vertices);
        if (!visible || drawn >= kMaxDrawnWalkers) continue;
        graphics.drawTriangles(vertices, entries[size_t(i) % entries.size()].texture, true, false, false, false, 1.0f,
                               false);
        ++drawn;
    }
    graphics.clearScissor();
}

}  // namespace vobu
