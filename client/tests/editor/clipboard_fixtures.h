#pragma once
// The clipboard image fixtures (made by fixtures/clipboard/make_fixtures.py
// with Pillow, apart from the client's own writer).

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editor/rgba_image.h"

namespace vobu::testing {

inline std::string clipboardFixturePath(const std::string& name) {
    return std::string(VOBU_SOURCE_DIR) + "/client/tests/editor/fixtures/clipboard/" + name;
}

inline std::vector<uint8_t> readClipboardFixture(const std::string& name) {
    std::ifstream in(clipboardFixturePath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline RgbaImage fixtureImage(const std::string& name, int width, int height) {
    return {width, height, readClipboardFixture(name)};
}

// The top-left 64 x 64 of the 200 x 100 picture, alpha 255.
inline RgbaImage pictureCorner() { return fixtureImage("picture_200x100_corner.rgba", 64, 64); }

}  // namespace vobu::testing
