#include "character/character.h"

#include <algorithm>

namespace vobu {

Character::Character() : name("Vobu"), width(32), height(64), depth(32), faceScale(1) {
    for (auto& face : faces) {
        face.assign(kFaceCanvasTexels, kDefaultSkinColor);
    }
}

std::pair<int, int> Character::faceSize(int face) const {
    switch (face) {
        case FaceTop:
        case FaceBottom:
            return {width, depth};
        case FaceLeft:
        case FaceRight:
            return {depth, height};
        default:
            return {width, height};
    }
}

std::pair<int, int> Character::scaledFaceSize(int face) const {
    auto [w, h] = faceSize(face);
    int s = faceScale;
    return {(w + s - 1) / s, (h + s - 1) / s};
}

int Character::skinAtlasCellSize() const { return kFaceCanvasSide / faceScale + 2; }

int Character::skinAtlasSize() const {
    int needed = 3 * skinAtlasCellSize();
    int side = 1;
    while (side < needed) {
        side *= 2;
    }
    return side;
}

void Character::setSize(int newWidth, int newHeight, int newDepth) {
    width = std::clamp(newWidth, kMinCharacterSide, kMaxCharacterSide);
    height = std::clamp(newHeight, kMinCharacterSide, kMaxCharacterSide);
    depth = std::clamp(newDepth, kMinCharacterSide, kMaxCharacterSide);
}

std::vector<uint8_t> Character::buildSkinAtlas() const {
    const int cell = skinAtlasCellSize();
    const int side = skinAtlasSize();
    const int s = faceScale;
    std::vector<uint8_t> rgba(static_cast<size_t>(side) * side * 4, 255);
    for (int i = 0; i < kFaceCount; ++i) {
        const int left = (i % 3) * cell;
        const int top = (i / 3) * cell;
        auto [sw, sh] = scaledFaceSize(i);
        const std::vector<uint32_t>& face = faces[i];
        for (int cy = 0; cy < cell; ++cy) {
            // Cell pixel 0 and everything past the grid repeat the edge texel,
            // so bilinear sampling never bleeds a neighbour cell in.
            const int ty = std::clamp(cy - 1, 0, sh - 1) * s;
            for (int cx = 0; cx < cell; ++cx) {
                const int tx = std::clamp(cx - 1, 0, sw - 1) * s;
                uint32_t texel = kDefaultSkinColor;
                size_t index = static_cast<size_t>(ty) * kFaceCanvasSide + tx;
                if (ty < kFaceCanvasSide && tx < kFaceCanvasSide && index < face.size()) {
                    texel = face[index];
                }
                uint8_t* pixel = &rgba[(static_cast<size_t>(top + cy) * side + left + cx) * 4];
                pixel[0] = static_cast<uint8_t>(texel >> 16);
                pixel[1] = static_cast<uint8_t>(texel >> 8);
                pixel[2] = static_cast<uint8_t>(texel);
            }
        }
    }
    return rgba;
}

}  // namespace vobu
