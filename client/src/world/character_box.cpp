#include "world/character_box.h"

#include <algorithm>
#include <cmath>

#include "character/character.h"

namespace vobu {

namespace {

constexpr float kTexel = 0.02f;

constexpr std::array<std::array<float, 3>, kFaceCount> kFaceNormals = {{
    {0, -1, 0}, {0, 1, 0}, {-1, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, -1},
}};
constexpr std::array<float, kFaceCount> kFaceShades = {0.8f, 0.85f, 0.72f, 0.9f, 1.0f, 0.65f};

std::array<float, 3> lerp(std::array<float, 3> const& a, std::array<float, 3> const& b, float t) {
    return {a[0] * (1 - t) + b[0] * t, a[1] * (1 - t) + b[1] * t, a[2] * (1 - t) + b[2] * t};
}

float faceBrightness(CharacterBoxArgs const& args, int face, float shade) {
    std::array<float, 3> const& l = args.light;
    if (l[0] == 0 && l[1] == 0 && l[2] == 0) return shade;
    float const c = std::cos(args.yaw), s = std::sin(args.yaw);
    std::array<float, 3> const& n = kFaceNormals[face];
    float const nx = n[0] * c - n[1] * s;
    float const ny = n[0] * s + n[1] * c;
    return std::max(l[0] * nx + l[1] * ny + l[2] * n[2], 0.0f) * 0.75f + 0.25f;
}

} // namespace

void drawCharacterFace(CharacterBoxArgs const& args, int face, FaceCorners const& corners, float shade) {
    Character const& ch = args.character;
    float const brightness = faceBrightness(args, face, shade);
    Color const color = args.shaded ? Color{brightness, brightness, brightness} : Color{1, 1, 1};

    float const atlas = float(ch.skinAtlasSize());
    int const cell = ch.skinAtlasCellSize();
    auto const [gw, gh] = ch.scaledFaceSize(face);
    float const uLeft = float((face % 3) * cell + 1) / atlas;
    float const vTop = float((face / 3) * cell + 1) / atlas;
    float const uRight = uLeft + float(gw) / atlas;
    float const vSpan = float(gh) / atlas;

    int const strips = face < FaceTop ? std::clamp(args.subdivision, 1, 16) : 1;
    float const H = float(ch.height) * kTexel;
    float const c = std::cos(args.yaw), s = std::sin(args.yaw);
    auto emit = [&](std::array<float, 3> const& p, float u, float t) {
        float const x = p[0] * c - p[1] * s;
        float const y = p[0] * s + p[1] * c;
        std::array<float, 3> const bent = CharacterPose::deform(args.shape, x, y, p[2], H);
        Vertex v = args.plot(bent[0], bent[1], bent[2], color);
        v.u = u;
        v.v = vTop + vSpan * (1 - t);
        return v;
    };
    for (int k = 1; k <= strips; ++k) {
        float const t0 = float(k - 1) / float(strips);
        float const t1 = float(k) / float(strips);
        Vertex const v0 = emit(lerp(corners[0], corners[3], t0), uLeft, t0);
        Vertex const v1 = emit(lerp(corners[1], corners[2], t0), uRight, t0);
        Vertex const v2 = emit(lerp(corners[1], corners[2], t1), uRight, t1);
        Vertex const v3 = emit(lerp(corners[0], corners[3], t1), uLeft, t1);
        args.out.insert(args.out.end(), {v0, v1, v2, v0, v2, v3});
    }
}

void drawCharacterBox(CharacterBoxArgs const& args) {
    Character const& ch = args.character;
    float const w = float(ch.width) * kTexel / 2;
    float const d = float(ch.depth) * kTexel / 2;
    float const h = float(ch.height) * kTexel;
    std::array<FaceCorners, kFaceCount> const faces = {{
        {{{-w, -d, 0}, {w, -d, 0}, {w, -d, h}, {-w, -d, h}}},
        {{{w, d, 0}, {-w, d, 0}, {-w, d, h}, {w, d, h}}},
        {{{-w, d, 0}, {-w, -d, 0}, {-w, -d, h}, {-w, d, h}}},
        {{{w, -d, 0}, {w, d, 0}, {w, d, h}, {w, -d, h}}},
        {{{-w, -d, h}, {w, -d, h}, {w, d, h}, {-w, d, h}}},
        {{{-w, d, 0}, {w, d, 0}, {w, -d, 0}, {-w, -d, 0}}},
    }};
    for (int face = 0; face < kFaceCount; ++face) drawCharacterFace(args, face, faces[face], kFaceShades[face]);
}

} // namespace vobu
