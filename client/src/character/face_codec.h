#pragma once
// Text forms of skin texels and the small colour helpers shared with the
// editor, the scene and the protocol.
//
// Texels are 0x00RRGGBB. Plain hex is six lowercase digits per texel; the
// legacy form is two digits per texel, an RGB332 palette index. A face text
// is "p" + plain hex, or "r" + runs of ten characters (four hex digits of
// run length 1..65535, six of colour). Every reader throws
// std::runtime_error with a short sentence on malformed input.

#include <cstdint>
#include <string>
#include <vector>

#include "ui/vertex.h"

namespace vobu {

// The most texels a decoded face may hold (a 128 x 128 face): it bounds every
// allocation a received text can cause.
constexpr uint32_t kMaxFaceTexels = 16384;
constexpr uint32_t kMaxColorRun = 65535;

// The value of `count` lowercase hex digits at `offset`, first digit most
// significant. "Truncated color data" when they run past the end,
// "Invalid color data" for a character outside 0-9 a-f.
uint32_t parseHexDigits(const std::string& text, size_t offset, size_t count);

// Each channel clamped to 0..255, packed as 0xRRGGBB.
uint32_t packRgb(int r, int g, int b);

// RGB332 palette index (bits 7-5 red, 4-2 green, 1-0 blue) as 0xRRGGBB.
uint32_t expandRgb332(uint8_t index);

// Each channel byte of 0xRRGGBB divided by 255.
Color colorFromRgb(uint32_t rgb);

// The six lowercase hex digits of the low 24 bits.
std::string hexColor(uint32_t rgb);

// A colour typed or sent as six hex digits in any case, with at most one
// leading "#". False (and `out` untouched) on anything else; never throws.
bool parseHexColor(const std::string& text, uint32_t& out);

std::string encodeFacePlain(const std::vector<uint32_t>& texels);
// Exactly `count` texels (at most kMaxFaceTexels) from a text of count x 6
// characters, or count x 2 palette digits when `legacy`.
std::vector<uint32_t> decodeFacePlain(const std::string& text, uint32_t count, bool legacy);

// The shorter of the run form and the plain form; a tie goes to plain.
std::string encodeFace(const std::vector<uint32_t>& texels);
// The texels of a face text that must hold exactly `count` texels.
std::vector<uint32_t> decodeFace(const std::string& text, uint32_t count);

}  // namespace vobu
