#pragma once

#include <istream>
#include <vector>

#include "ui/font.h"

namespace vobupack {

// Reads GNU Unifont's .hex format: per line a hexadecimal code point, a
// colon and 32 or 64 hex digits (16 rows from the top, 8 or 16 pixels each,
// most significant bit leftmost). Returns the glyphs in strictly ascending
// code-point order. Throws std::runtime_error naming the line for a broken
// line or a repeated code point, and when U+FFFD is missing.
std::vector<vobu::Glyph> readUnifontHex(std::istream& in);

}  // namespace vobupack
