#pragma once
// Entry point shared by the skin sheet fuzz target and by the regression
// test that replays its corpus in the ordinary build. Returns false when
// something that must hold broke.
//
// Input: width and height as one byte each (a sheet of the largest box is
// 256 x 192), then the RGBA pixels, repeated to fill the image.

#include <cstddef>
#include <cstdint>
#include <string>

#include "editor/skin_sheet.h"

namespace vobu::fuzz {

inline RgbaImage sheetImageFromBytes(const uint8_t* data, size_t size) {
    RgbaImage image;
    if (size < 3) return image;
    image.width = data[0] + 1;
    image.height = data[1] + 1;
    image.pixels.resize(size_t(image.width) * image.height * 4);
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = data[2 + i % (size - 2)];
    return image;
}

// A refused image leaves the character exactly as it was; an accepted one
// gives a box of 16..64 per side whose own sheet reads back the same.
inline bool sheetImportHolds(const uint8_t* data, size_t size) {
    const RgbaImage image = sheetImageFromBytes(data, size);
    Character character;
    character.name = "Fuzz";
    const Character before = character;
    std::string message;
    if (!importSkinSheet(image, character, message)) {
        const bool known = message == kSheetUnreadable || message == kSheetNoSkin || message == kSheetNotASheet;
        return known && character.width == before.width && character.height == before.height &&
               character.depth == before.depth && character.faces == before.faces;
    }
    for (int side : {character.width, character.height, character.depth}) {
        if (side < kMinCharacterSide || side > kMaxCharacterSide) return false;
    }
    if (!message.empty() || character.name != "Fuzz") return false;
    Character again;
    if (!importSkinSheet(makeSkinSheet(character), again, message)) return false;
    return again.width == character.width && again.height == character.height && again.depth == character.depth &&
           makeSkinSheet(again).pixels == makeSkinSheet(character).pixels;
}

}  // namespace vobu::fuzz
