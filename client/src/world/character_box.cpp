#include "world/character_box.h"

#include <algorithm>
#include <cmath>

#include "character/character.h"

namespace vobu {

namespace {

constexpr float kTexel = 0.02f;

constexpr std::array<std::array<float, 3>, kFaceCount> kFaceNormals = {{
    {0, -1, 0},
    {0, 1, 0},
    {-1, 0, 0},
    {1, 0, 0},
    {0, 0, 1},
    {0, 0, -1},
}};
constexpr std::array<float, kFaceCount> kFaceShades = {0.8f, 0.85f, 0.72f, 0.9f, 1.0f, 0.65f};

std::array<float, 3> lerp(const std::array<float, 3>& a, const std::array<float, 3>& b, float t) {
    return {a[0] * (1 - t) + b[0] * t, a[1] * (1 - t) + b[1] * t, a[2] * (1 - t) + b[2] * t};
}

float faceBrightness(const CharacterBoxArgs& args, int face, float shade) {
    const std::array<float, 3>& l = args.light;
    if (l[0] == 0 && l[1] == 0 && l[2] == 0) return shade;
    const float c = std::cos(args.yaw), s = std::sin(args.yaw);
    const std::array<float, 3>& n = kFaceNormals[face];
    const float nx = n[0] * c - n[1] * s;
    const float ny = n[0] * s + n[1] * c;
    return std::max(l[0] * nx + l[1] * ny + l[2] * n[2], 0.0f) * 0.75f + 0.25f;
}

}  // namespace

void drawCharacterFace(const CharacterBoxArgs& args, int face, const FaceCorners& corners, float shade) {
    const Character& ch = args.character;
    const float brightness = faceBrightness(args, face, shade);
    const Color color = args.shaded ? Color{brightness, brightness, brightness} : Color{1, 1, 1};

    const float atlas = float(ch.skinAtlasSize());
    const int cell = ch.skinAtlasCellSize();
    const auto [gw, gh] = ch.scaledFaceSize(face);
    const float uLeft = float((face % 3) * cell + 1) / atlas;
    const float vTop = float((face / 3) * cell + 1) / atlas;
    const float uRight = uLeft + float(gw) / atlas;
    const float vSpan = float(gh) / atlas;

    const int strips = face < FaceTop ? std::clamp(args.subdivision, 1, 16) : 1;
    const float H = float(ch.height) * kTexel;
    const float c = std::cos(args.yaw), s = std::sin(args.yaw);
    auto emit = [&](const std::array<float, 3>& p, float u, float t) {
        float const x = p[0] * c - p[1] * s;
        float const y = p[0] * s + p[1] * c;
        std::array<float, 3> const bent = CharacterPose::deform(args.shape, x, y, p[2], H);
        Vertex v = args.plot(bent[0], bent[1], bent[2], color);
        v.u = u;
        v.v = vTop + vSpan * (1 - t);
        return v;
    };
    for (int k = 1; k <= strips; ++k) {
        const float t0 = float(k - 1) / float(strips);
        const float t1 = float(k) / float(strips);
        const Vertex v0 = emit(lerp(corners[0], corners[3], t0), uLeft, t0);
        const Vertex v1 = emit(lerp(corners[1], corners[2], t0), uRight, t0);
        const Vertex v2 = emit(lerp(corners[1], corners[2], t1), uRight, t1);
        const Vertex v3 = emit(lerp(corners[0], corners[3], t1), uLeft, t1);
        args.out.insert(args.out.end(), {v0, v1, v2, v0, v2, v3});
    }
}

void drawCharacterBox(const CharacterBoxArgs& args) {
    const Character& ch = args.character;
    const float w = float(ch.width) * kTexel / 2;
    const float d = float(ch.depth) * kTexel / 2;
    const float h = float(ch.height) * kTexel;
    const std::array<FaceCorners, kFaceCount> faces = {{
        {{{-w, -d, 0}, {w, -d, 0}, {w, -d, h}, {-w, -d, h}}},
        {{{w, d, 0}, {-w, d, 0}, {-w, d, h}, {w, d, h}}},
        {{{-w, d, 0}, {-w, -d, 0}, {-w, -d, h}, {-w, d, h}}},
        {{{w, -d, 0}, {w, d, 0}, {w, d, h}, {w, -d, h}}},
        {{{-w, -d, h}, {w, -d, h}, {w, d, h}, {-w, d, h}}},
        {{{-w, d, 0}, {w, d, 0}, {w, -d, 0}, {-w, -d, 0}}},
    }};
    for (int face = 0; face < kFaceCount; ++face) drawCharacterFace(args, face, faces[face], kFaceShades[face]);
}

}  // namespace vobu
