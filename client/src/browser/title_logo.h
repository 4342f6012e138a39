#pragma once
// The waving title logo: the package's raw RGBA image cut into 24 vertical
// slices that bob on a sine wave, clipped to the band above the server list.

#include <cstdint>
#include <vector>

#include "ui/graphics.h"
#include "ui/ui_layout.h"

namespace vobu {

class TitleLogo {
public:
    static constexpr int kSlices = 24;
    static constexpr int kMaxWidth = 2048;
    static constexpr int kMaxHeight = 1024;
    // The band the slices are clipped to, in canvas coordinates.
    static constexpr int kBandLeft = 24;
    static constexpr int kBandRight = 996;
    static constexpr int kBandTop = 16;
    static constexpr int kBandBottom = 174;

    // "logo.rgba": little-endian width and height, then the RGBA rows. A
    // refused header or short data leaves no logo; bytes after the last row
    // are ignored.
    void loadLogoRgba(Graphics& graphics, const std::vector<uint8_t>& bytes);
    // Nothing without a logo; otherwise one draw of at most 48 triangles.
    void drawWavingLogo(Graphics& graphics, const UiLayout& layout, int width, int height, double t);

    uint32_t texture = 0;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    int32_t textureWidth = 1;
    int32_t textureHeight = 1;

private:
    // Appends one slice quad clipped to the band, in clip space.
    void emitLogoSlice(double x, double y, double w, double h, double u0, double u1);

    std::vector<Vertex> vertices_;
    const UiLayout* layout_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace vobu
