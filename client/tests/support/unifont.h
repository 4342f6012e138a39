#pragma once
// GNU Unifont (Debian package "unifont") for the benchmarks and snapshot
// tools that want glyph tables of the real size. The including target adds
// the tools folder to its include path and defines VOBU_UNIFONT_HEX as the
// path of unifont.hex.

#include <cstddef>
#include <cstdint>
#include <fstream>

#include "ui/font.h"
#include "vobupack/unifont_hex.h"

namespace vobu::testing {

// Reads every glyph of VOBU_UNIFONT_HEX into `font`; false when the file
// cannot be read.
inline bool loadUnifont(Font& font) {
    std::ifstream hex(VOBU_UNIFONT_HEX);
    if (!hex) return false;
    font.glyphs = vobupack::readUnifontHex(hex);
    return true;
}

// Unifont when it is installed, else a stand-in of printable ASCII and a
// filled replacement glyph, so that a benchmark still runs.
inline const Font& unifontOrStandIn() {
    static const Font font = [] {
        Font f;
        if (loadUnifont(f)) return f;
        for (uint32_t cp = 0x20; cp < 0x7F; ++cp) {
            Glyph g;
            g.codePoint = cp;
            for (size_t i = 0; i < 16; ++i) g.bitmap[i] = uint8_t(cp * 5 + i * 29);
            f.glyphs.push_back(g);
        }
        Glyph replacement;
        replacement.codePoint = 0xFFFD;
        replacement.bitmap.fill(0xFF);
        f.glyphs.push_back(replacement);
        return f;
    }();
    return font;
}

}  // namespace vobu::testing
