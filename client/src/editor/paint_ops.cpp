#include "editor/paint_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vobu {
namespace {

bool isFace(int face) { return face >= 0 && face < kFaceCount; }

// The face's size, never beyond its 64 x 64 canvas whatever the sizes say.
std::pair<int, int> faceBounds(const Character& character, int face) {
    auto [w, h] = character.faceSize(face);
    return {std::clamp(w, 0, kFaceCanvasSide), std::clamp(h, 0, kFaceCanvasSide)};
}

bool insideFace(const Character& character, int face, int x, int y) {
    auto [w, h] = faceBounds(character, face);
    return x >= 0 && y >= 0 && x < w && y < h;
}

bool insideRect(const FaceRect& rect, int x, int y) {
    // 64-bit sums: a rectangle of the whole int range must not wrap.
    return x >= rect.sx && y >= rect.sy && int64_t(x) < int64_t(rect.sx) + rect.sw &&
           int64_t(y) < int64_t(rect.sy) + rect.sh;
}

uint32_t& texelAt(Character& character, int face, int x, int y) {
    return character.faces[face][static_cast<size_t>(y) * kFaceCanvasSide + x];
}

uint8_t blendChannel(int source, int old, int alpha) {
    return static_cast<uint8_t>((source * alpha + old * (255 - alpha) + 127) / 255);
}

}  // namespace

Color hsvToRgb(float hue, float saturation, float value) {
    if (!std::isfinite(hue)) {
        hue = 0.0f;
    }
    const float h6 = (hue - std::floor(hue)) * 6.0f;
    const float c = value * saturation;
    const float m = value * (1.0f - saturation);
    const float x = c * (1.0f - std::fabs(std::fmod(h6, 2.0f) - 1.0f));
    // A hue just below a whole number wraps to exactly 1.0f in float, which
    // would be a seventh sector; it is red, the same as sector 5's end.
    const int sector = std::clamp(static_cast<int>(std::floor(h6)), 0, 5);
    switch (sector) {
        case 0:
            return {m + c, m + x, m};
        case 1:
            return {m + x, m + c, m};
        case 2:
            return {m, m + c, m + x};
        case 3:
            return {m, m + x, m + c};
        case 4:
            return {m + x, m, m + c};
        default:
            return {m + c, m, m + x};
    }
}

bool brushCovers(int dx, int dy, int size, bool round) {
    if (size <= 0) {
        return false;
    }
    const int low = -(size / 2);
    const int high = size - size / 2 - 1;
    if (dx < low || dx > high || dy < low || dy > high) {
        return false;
    }
    if (!round) {
        return true;
    }
    const double e = size % 2 == 0 ? 0.5 : 0.0;
    const double ex = dx + e;
    const double ey = dy + e;
    return ex * ex + ey * ey <= double(size) * size / 4.0;
}

std::vector<std::pair<int, int>> lineTexels(int x0, int y0, int x1, int y1) {
    // 64-bit error terms: the ends may be far apart (a pointer well off the face).
    const int64_t dx = std::llabs(int64_t(x1) - x0);
    const int64_t dy = -std::llabs(int64_t(y1) - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    std::vector<std::pair<int, int>> points;
    points.reserve(static_cast<size_t>(std::max(dx, -dy)) + 1);
    int x = x0;
    int y = y0;
    while (true) {
        points.emplace_back(x, y);
        if (x == x1 && y == y1) {
            break;
        }
        const int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    return points;
}

void paintStroke(Character& character, int face, int x0, int y0, int x1, int y1, int size, bool round, uint32_t color,
                 const FaceRect& rect) {
    if (size <= 0 || !isFace(face)) {
        return;
    }
    const int low = -(size / 2);
    const int high = size - size / 2 - 1;
    for (auto [px, py] : lineTexels(x0, y0, x1, y1)) {
        for (int dy = low; dy <= high; ++dy) {
            for (int dx = low; dx <= high; ++dx) {
                const int64_t tx = int64_t(px) + dx;
                const int64_t ty = int64_t(py) + dy;
                if (tx < 0 || ty < 0 || tx >= kFaceCanvasSide || ty >= kFaceCanvasSide) {
                    continue;
                }
                const int x = int(tx);
                const int y = int(ty);
                if (brushCovers(dx, dy, size, round) && insideFace(character, face, x, y) && insideRect(rect, x, y)) {
                    texelAt(character, face, x, y) = color;
                }
            }
        }
    }
}

void floodFill(Character& character, int face, int x, int y, uint32_t color, const FaceRect& rect) {
    if (!isFace(face) || !insideFace(character, face, x, y) || !insideRect(rect, x, y)) {
        return;
    }
    const uint32_t target = texelAt(character, face, x, y);
    if (target == color) {
        return;
    }
    // An explicit stack: a whole face of one colour must not recurse 4096 deep.
    std::vector<std::pair<int, int>> stack{{x, y}};
    while (!stack.empty()) {
        auto [cx, cy] = stack.back();
        stack.pop_back();
        if (!insideFace(character, face, cx, cy) || !insideRect(rect, cx, cy)) {
            continue;
        }
        uint32_t& texel = texelAt(character, face, cx, cy);
        if (texel != target) {
            continue;
        }
        texel = color;
        stack.emplace_back(cx - 1, cy);
        stack.emplace_back(cx + 1, cy);
        stack.emplace_back(cx, cy - 1);
        stack.emplace_back(cx, cy + 1);
    }
}

void blendImageOntoFace(Character& character, int face, int x, int y, const RgbaImage& image) {
    if (!isValidImage(image) || !isFace(face)) {
        return;
    }
    auto [fw, fh] = faceBounds(character, face);
    for (int j = 0; j < image.height; ++j) {
        const int64_t ty = int64_t(y) + j;
        if (ty < 0 || ty >= fh) {
            continue;
        }
        for (int i = 0; i < image.width; ++i) {
            const int64_t tx = int64_t(x) + i;
            if (tx < 0 || tx >= fw) {
                continue;
            }
            const uint8_t* p = &image.pixels[(static_cast<size_t>(j) * image.width + i) * 4];
            const int a = p[3];
            if (a == 0) {
                continue;
            }
            uint32_t& texel = texelAt(character, face, int(tx), int(ty));
            const uint8_t r = blendChannel(p[0], (texel >> 16) & 0xFF, a);
            const uint8_t g = blendChannel(p[1], (texel >> 8) & 0xFF, a);
            const uint8_t b = blendChannel(p[2], texel & 0xFF, a);
            texel = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
        }
    }
}

RgbaImage copyFaceRegion(const Character& character, int face, int x, int y, int w, int h) {
    if (!isFace(face)) {
        return {};
    }
    auto [fw, fh] = faceBounds(character, face);
    x = std::max(x, 0);
    y = std::max(y, 0);
    w = std::min(w, fw - std::min(x, fw));
    h = std::min(h, fh - std::min(y, fh));
    if (w <= 0 || h <= 0) {
        return {};
    }
    RgbaImage image;
    image.width = w;
    image.height = h;
    image.pixels.resize(static_cast<size_t>(w) * h * 4);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const uint32_t texel = character.faces[face][static_cast<size_t>(y + j) * kFaceCanvasSide + x + i];
            uint8_t* p = &image.pixels[(static_cast<size_t>(j) * w + i) * 4];
            p[0] = uint8_t(texel >> 16);
            p[1] = uint8_t(texel >> 8);
            p[2] = uint8_t(texel);
            p[3] = 255;
        }
    }
    return image;
}

}  // namespace vobu
