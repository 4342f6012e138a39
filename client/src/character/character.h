#pragma once
// A player's character: a box of width x height x depth texels with six
// painted faces, an identifier and a display name.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vobu {

// Face indices, in the order the faces are stored, drawn and sent.
enum CharacterFace : int {
    FaceFront = 0,
    FaceBack = 1,
    FaceLeft = 2,
    FaceRight = 3,
    FaceTop = 4,
    FaceBottom = 5,
};

constexpr int kFaceCount = 6;
constexpr int kFaceCanvasSide = 64;
constexpr int kFaceCanvasTexels = kFaceCanvasSide * kFaceCanvasSide;
constexpr int kMinCharacterSide = 16;
constexpr int kMaxCharacterSide = 64;
constexpr uint32_t kDefaultSkinColor = 0xFFDBAA;

class Character {
public:
    Character();

    // (width, height) of a face in texels.
    std::pair<int, int> faceSize(int face) const;
    // The face size divided by faceScale, rounded up: its grid in the atlas.
    std::pair<int, int> scaledFaceSize(int face) const;
    int skinAtlasCellSize() const;
    int skinAtlasSize() const;
    // Clamps each side to 16..64; the faces are left as they are.
    void setSize(int width, int height, int depth);
    // RGBA bytes of the square skin atlas, rows top-down.
    std::vector<uint8_t> buildSkinAtlas() const;

    std::string id;
    std::string name;
    int32_t width;
    int32_t height;
    int32_t depth;
    int32_t faceScale;
    // Each face is the whole 64 x 64 canvas, row by row; texels 0x00RRGGBB.
    std::array<std::vector<uint32_t>, kFaceCount> faces;
};

}  // namespace vobu
