#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/font.h"

namespace vobupack {

inline constexpr int kLogoMaxWidth = 972;
inline constexpr int kLogoMaxHeight = 141;

struct LogoImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // R, G, B, A rows from the top
};

// The title logo: the text in large outlined glyphs with a warm vertical
// gradient and a soft shadow, transparent around it, at the largest whole
// scale that fits 972 x 141 pixels.
LogoImage drawLogo(const vobu::Font& font, const std::string& text);

// The "logo.rgba" entry: little-endian width and height, then the pixels.
std::vector<uint8_t> encodeLogo(const LogoImage& logo);

}  // namespace vobupack
