#include "browser/title_logo.h"

#include <algorithm>
#include <cmath>

#include "ui/ui_canvas.h"

namespace vobu {

namespace {

uint32_t readLittleEndian32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

}  // namespace

void TitleLogo::loadLogoRgba(Graphics& graphics, const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 8) return;
    uint32_t width = readLittleEndian32(bytes, 0);
    uint32_t height = readLittleEndian32(bytes, 4);
    // Stored as read (an int32 view of the header words), also when refused.
    imageWidth = int32_t(width);
    imageHeight = int32_t(height);
    if (width < 1 || width > uint32_t(kMaxWidth) || height < 1 || height > uint32_t(kMaxHeight)) return;
    while (textureWidth < imageWidth) textureWidth *= 2;
    while (textureHeight < imageHeight) textureHeight *= 2;
    uint64_t needed = 8 + uint64_t(width) * uint64_t(height) * 4;
    if (uint64_t(bytes.size()) < needed) return;
    std::vector<uint8_t> buffer(size_t(textureWidth) * size_t(textureHeight) * 4, 0);
    size_t rowBytes = size_t(width) * 4;
    for (size_t row = 0; row < height; ++row) {
        std::copy_n(bytes.begin() + 8 + ptrdiff_t(row * rowBytes), rowBytes,
                    buffer.begin() + ptrdiff_t(row * size_t(textureWidth) * 4));
    }
    texture = graphics.setTexture(textureWidth, textureHeight, buffer, 0, true, false);
}

void TitleLogo::drawWavingLogo(Graphics& graphics, const UiLayout& layout, int width, int height, double t) {
    if (texture == 0 || width <= 0 || height <= 0) return;
    vertices_.clear();
    layout_ = &layout;
    width_ = width;
    height_ = height;
    const int w = imageWidth;
    const double x0 = std::floor((UiCanvas::kVisibleWidth - w) * 0.5);
    for (int i = 0; i < kSlices; ++i) {
        int a = w * i / kSlices;
        int b = w * (i + 1) / kSlices;
        emitLogoSlice(x0 + a, 24 + 9 * std::sin(2 * t + 0.35 * i), b - a, imageHeight, double(a) / textureWidth,
                      double(b) / textureWidth);
    }
    graphics.drawTriangles(vertices_, texture, false, true, false, false, 1.0f, false);
}

void TitleLogo::emitLogoSlice(double x, double y, double w, double h, double u0, double u1) {
    const double left = std::floor(x);
    const double top = std::floor(y);
    const double right = left + std::floor(w);
    const double bottom = top + std::floor(h);
    const double x1 = std::max(left, double(kBandLeft));
    const double x2 = std::min(right, double(kBandRight));
    const double y1 = std::max(top, double(kBandTop));
    const double y2 = std::min(bottom, double(kBandBottom));
    if (x1 >= x2 || y1 >= y2) return;
    auto u = [&](double edge) { return right > left ? u0 + (u1 - u0) * (edge - left) / (right - left) : u0; };
    auto v = [&](double edge) { return (edge - top) / textureHeight; };
    auto corner = [&](double cx, double cy) {
        Vertex vertex;
        vertex.x = float((cx + layout_->x) * 2 / width_ - 1);
        vertex.y = float(1 - (cy + layout_->y) * 2 / height_);
        vertex.u = float(u(cx));
        vertex.v = float(v(cy));
        return vertex;
    };
    const Vertex topLeft = corner(x1, y1), topRight = corner(x2, y1);
    const Vertex bottomLeft = corner(x1, y2), bottomRight = corner(x2, y2);
    vertices_.insert(vertices_.end(), {topLeft, bottomLeft, bottomRight, topLeft, bottomRight, topRight});
}

}  // namespace vobu
