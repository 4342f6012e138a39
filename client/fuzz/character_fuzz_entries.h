#pragma once
// Entry points shared by the character fuzz targets and by the regression
// test that replays their corpora in the ordinary build. They return false
// when something that must hold broke.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "character/character_json.h"
#include "character/face_codec.h"

namespace vobu::fuzz {

inline bool characterIsSound(const Character& c) {
    for (int side : {c.width, c.height, c.depth}) {
        if (side < kMinCharacterSide || side > kMaxCharacterSide) return false;
    }
    if (c.faceScale != 1 && c.faceScale != 2 && c.faceScale != 4 && c.faceScale != 8) return false;
    for (const auto& face : c.faces) {
        if (face.size() != size_t(kFaceCanvasTexels)) return false;
    }
    return c.buildSkinAtlas().size() == size_t(c.skinAtlasSize()) * c.skinAtlasSize() * 4;
}

// The first byte chooses the mode (odd: strict, as for a server's
// character); the rest is the document. A strictly admitted character must
// travel on: its network form is admitted again with the same texels inside
// every face.
inline bool characterDocumentHolds(const uint8_t* data, size_t size) {
    if (size == 0) return true;
    const bool strict = data[0] & 1;
    std::string const text(reinterpret_cast<const char*>(data + 1), size - 1);
    Character c;
    try {
        c = decodeCharacterJson(text, strict);
    } catch (const std::exception&) {
        return true;
    }
    if (!characterIsSound(c)) return false;
    if (!strict) return true;
    Character again;
    try {
        again = decodeCharacterJson(encodeCharacterJsonRle(c), true);
    } catch (const std::exception&) {
        return false;
    }
    if (again.id != c.id || again.name != c.name || again.width != c.width || again.height != c.height ||
        again.depth != c.depth || again.faceScale != 1) {
        return false;
    }
    for (int i = 0; i < kFaceCount; ++i) {
        auto [w, h] = c.faceSize(i);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                if (again.faces[i][y * kFaceCanvasSide + x] != (c.faces[i][y * kFaceCanvasSide + x] & 0xFFFFFF))
                    return false;
            }
        }
    }
    return true;
}

// The first two bytes give the expected count (big-endian, up to 65535, so
// counts beyond the limit are tried too); the rest is the face text. A face
// that decodes must encode to a text no longer than its plain form that
// decodes to the same texels.
inline bool faceTextHolds(const uint8_t* data, size_t size) {
    if (size < 2) return true;
    const uint32_t count = (uint32_t(data[0]) << 8) | data[1];
    std::string const text(reinterpret_cast<const char*>(data + 2), size - 2);
    std::vector<uint32_t> texels;
    try {
        texels = decodeFace(text, count);
    } catch (const std::exception&) {
        return true;
    }
    if (texels.size() != count || count > kMaxFaceTexels) return false;
    std::string const encoded = encodeFace(texels);
    if (encoded.size() > size_t(count) * 6 + 1) return false;
    try {
        return decodeFace(encoded, count) == texels;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace vobu::fuzz
