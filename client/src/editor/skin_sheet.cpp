#include "editor/skin_sheet.h"

#include <algorithm>
#include <cstring>

#include "editor/paint_ops.h"

namespace vobu {
namespace {

constexpr int kOpaqueAlpha = 128;

bool opaqueAt(const RgbaImage& image, int x, int y) {
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) {
        return false;
    }
    return image.pixels[(static_cast<size_t>(y) * image.width + x) * 4 + 3] >= kOpaqueAlpha;
}

struct Box {
    int minX = 0;
    int minY = 0;
    int maxX = -1;
    int maxY = -1;
};

// Whether any pixel of the row has alpha 128 or more: the alpha bytes' top
// bits, gathered eight bytes at a time. Most rows of a large image hold no
// net at all, so this pass sets the pace of the whole import.
bool rowHasOpaque(const uint8_t* row, int width) {
    static const uint64_t alphaTopBits = [] {
        const uint8_t pattern[8] = {0, 0, 0, 0x80, 0, 0, 0, 0x80};
        uint64_t mask = 0;
        std::memcpy(&mask, pattern, sizeof mask);
        return mask;
    }();
    const size_t bytes = static_cast<size_t>(width) * 4;
    uint64_t seen = 0;
    size_t at = 0;
    for (; at + 8 <= bytes; at += 8) {
        uint64_t word = 0;
        std::memcpy(&word, row + at, sizeof word);
        seen |= word;
    }
    return (seen & alphaTopBits) != 0 || (at < bytes && row[at + 3] >= kOpaqueAlpha);
}

// The bounding box of every opaque pixel; maxX < minX when there is none.
Box opaqueBounds(const RgbaImage& image) {
    Box box{image.width, image.height, -1, -1};
    const size_t stride = static_cast<size_t>(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = image.pixels.data() + y * stride;
        if (!rowHasOpaque(row, image.width)) {
            continue;
        }
        int first = 0;
        while (row[static_cast<size_t>(first) * 4 + 3] < kOpaqueAlpha) {
            ++first;
        }
        int last = image.width - 1;
        while (row[static_cast<size_t>(last) * 4 + 3] < kOpaqueAlpha) {
            --last;
        }
        box.minX = std::min(box.minX, first);
        box.maxX = std::max(box.maxX, last);
        box.minY = std::min(box.minY, y);
        box.maxY = y;
    }
    return box;
}

struct FaceArea {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
};

FaceArea faceArea(const Character& character, int face, int originX, int originY) {
    auto [x, y] = sheetFaceOrigin(character, face);
    auto [w, h] = character.faceSize(face);
    return {originX + x, originY + y, w, h};
}

bool insideAnyFace(const Character& sized, const Box& box, int x, int y) {
    for (int face = 0; face < kFaceCount; ++face) {
        const FaceArea a = faceArea(sized, face, box.minX, box.minY);
        if (x >= a.x && y >= a.y && x < a.x + a.w && y < a.y + a.h) {
            return true;
        }
    }
    return false;
}

// The measurements look only at the net's top row and left column, so they
// accept a net with opaque corner squares or stray opaque pixels inside its
// bounds; such an image is not a sheet this program made or can read back.
bool onlyFacesOpaque(const RgbaImage& image, const Character& sized, const Box& box) {
    for (int y = box.minY; y <= box.maxY; ++y) {
        for (int x = box.minX; x <= box.maxX; ++x) {
            if (opaqueAt(image, x, y) && !insideAnyFace(sized, box, x, y)) {
                return false;
            }
        }
    }
    return true;
}

RgbaImage cutArea(const RgbaImage& image, const FaceArea& area) {
    RgbaImage part;
    part.width = area.w;
    part.height = area.h;
    part.pixels.resize(static_cast<size_t>(area.w) * area.h * 4);
    const size_t rowBytes = static_cast<size_t>(area.w) * 4;
    for (int j = 0; j < area.h; ++j) {
        const uint8_t* from = &image.pixels[(static_cast<size_t>(area.y + j) * image.width + area.x) * 4];
        std::copy(from, from + rowBytes, part.pixels.begin() + j * rowBytes);
    }
    return part;
}

bool sideInRange(int side) { return side >= kMinCharacterSide && side <= kMaxCharacterSide; }

}  // namespace

std::pair<int, int> sheetFaceOrigin(const Character& character, int face) {
    const int w = character.width;
    const int h = character.height;
    const int d = character.depth;
    switch (face) {
        case FaceTop:
            return {d, 0};
        case FaceLeft:
            return {0, d};
        case FaceRight:
            return {w + d, d};
        case FaceBack:
            return {w + 2 * d, d};
        case FaceBottom:
            return {d, h + d};
        default:
            return {d, d};
    }
}

RgbaImage makeSkinSheet(const Character& character) {
    // Faces are read from their 64 x 64 canvases; a box beyond them has no sheet.
    for (int side : {character.width, character.height, character.depth}) {
        if (side < 1 || side > kFaceCanvasSide) {
            return {};
        }
    }
    RgbaImage sheet;
    sheet.width = 2 * (character.width + character.depth);
    sheet.height = character.height + 2 * character.depth;
    sheet.pixels.assign(static_cast<size_t>(sheet.width) * sheet.height * 4, 0);
    for (int face = 0; face < kFaceCount; ++face) {
        const FaceArea a = faceArea(character, face, 0, 0);
        for (int j = 0; j < a.h; ++j) {
            for (int i = 0; i < a.w; ++i) {
                const uint32_t texel = character.faces[face][static_cast<size_t>(j) * kFaceCanvasSide + i];
                uint8_t* p = &sheet.pixels[(static_cast<size_t>(a.y + j) * sheet.width + a.x + i) * 4];
                p[0] = uint8_t(texel >> 16);
                p[1] = uint8_t(texel >> 8);
                p[2] = uint8_t(texel);
                p[3] = 255;
            }
        }
    }
    return sheet;
}

std::pair<int, int> scanOpaqueRun(const RgbaImage& image, int fixed, int start, int limit, bool horizontal) {
    if (start > limit) {
        return {start, start};
    }
    auto opaque = [&](int at) { return horizontal ? opaqueAt(image, at, fixed) : opaqueAt(image, fixed, at); };
    int at = start;
    while (at <= limit && !opaque(at)) {
        ++at;
    }
    if (at > limit) {
        return {limit + 1, limit + 1};
    }
    const int runStart = at;
    while (at <= limit && opaque(at)) {
        ++at;
    }
    return {runStart, at};
}

bool importSkinSheet(const RgbaImage& image, Character& character, std::string& message) {
    message.clear();
    if (!isValidImage(image)) {
        message = kSheetUnreadable;
        return false;
    }
    const Box box = opaqueBounds(image);
    if (box.maxX < box.minX) {
        message = kSheetNoSkin;
        return false;
    }
    auto [a0, a1] = scanOpaqueRun(image, box.minY, box.minX, box.maxX, true);
    auto [b0, b1] = scanOpaqueRun(image, box.minX, box.minY, box.maxY, false);
    const int d = a0 - box.minX;
    const int w = a1 - a0;
    const int h = b1 - b0;
    const bool measured = b0 == box.minY + d && box.maxX - box.minX + 1 == 2 * (w + d) &&
                          box.maxY - box.minY + 1 == d + (b1 - box.minY) && sideInRange(w) && sideInRange(h) &&
                          sideInRange(d);
    Character sized = character;
    if (measured) {
        sized.setSize(w, h, d);
    }
    if (!measured || !onlyFacesOpaque(image, sized, box)) {
        message = kSheetNotASheet;
        return false;
    }
    for (int face = 0; face < kFaceCount; ++face) {
        const FaceArea a = faceArea(sized, face, box.minX, box.minY);
        blendImageOntoFace(sized, face, 0, 0, cutArea(image, a));
    }
    character.width = sized.width;
    character.height = sized.height;
    character.depth = sized.depth;
    character.faces = std::move(sized.faces);
    return true;
}

}  // namespace vobu
