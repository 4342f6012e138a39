#pragma once
// Skin sheets: a character's six faces unfolded as a cube net in one RGBA
// image, so that skins can be painted in any image program and brought back.
//
// For a box of W x H x D texels the net is 2 (W + D) wide and H + 2 D high:
//
//          Top
//   Left  Front  Right  Back
//          Bottom
//
// Face pixels are opaque; everything else is transparent black.

#include <string>
#include <utility>

#include "character/character.h"
#include "editor/rgba_image.h"

namespace vobu {

inline constexpr const char* kSheetUnreadable = "That image could not be read.";
inline constexpr const char* kSheetNoSkin = "That image has no visible skin.";
inline constexpr const char* kSheetNotASheet = "That image is not a vobu skin sheet.";

// Top-left pixel of a face in a net of the character's size.
std::pair<int, int> sheetFaceOrigin(const Character& character, int face);

RgbaImage makeSkinSheet(const Character& character);

// The first run of opaque pixels (alpha 128 or more) along row `fixed`
// (horizontal) or column `fixed`, looking at positions start..limit
// inclusive: (first opaque position, position after the run). Both are
// limit + 1 when nothing is opaque there, both start when start > limit.
std::pair<int, int> scanOpaqueRun(const RgbaImage& image, int fixed, int start, int limit, bool horizontal);

// Measures the net anywhere inside the image, takes its box size and blends
// its faces over the character's texels by their alpha; id, name and
// faceScale stay. On failure the character is untouched and `message` says
// why; on success `message` is empty.
bool importSkinSheet(const RgbaImage& image, Character& character, std::string& message);

}  // namespace vobu
