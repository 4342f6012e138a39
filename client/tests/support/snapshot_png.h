#pragma once
// The snapshot tools' output: a window's RGB pixels as a PNG file, reported
// on standard output. The including target links vobu_stb.

#include <stb_image_write.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vobu::testing {

// `rgb` holds width x height pixels, rows top-down.
inline bool writeWindowPng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height) {
    const bool ok = stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
    std::printf("%s %s\n", ok ? "wrote" : "could not write", path.c_str());
    return ok;
}

}  // namespace vobu::testing
