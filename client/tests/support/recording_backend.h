#pragma once

// A GraphicsBackend that records every call instead of drawing, so tests can
// check what Graphics would have done to OpenGL without a window.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "ui/graphics.h"

namespace vobu::testing {

struct RecordedDraw {
    DrawState state;
    uint32_t boundObject = 0;
    std::vector<Vertex> vertices;
    float alpha = 1.0f;
};

struct RecordedUpload {
    uint32_t object = 0;
    int width = 0;
    int height = 0;
    uint32_t version = 0;
    bool linear = false;
    bool repeat = false;
    std::vector<uint8_t> pixels;  // the whole image the object holds afterwards
    bool inPlace = false;         // through updateTextureRows: the object kept its storage
    RowBand rows;                 // the rows sent: all of them for a new image
    uint64_t bytes = 0;           // pixel bytes sent
    size_t frame = 0;             // beginFrame calls before it
};

struct Recording {
    std::vector<std::string> calls;  // call names in order
    std::vector<RecordedDraw> draws;
    std::vector<RecordedUpload> uploads;
    std::vector<uint32_t> deletedObjects;
    uint32_t boundObject = 0;
    uint32_t nextObject = 100;
    DrawState state;
    bool scissorOn = false;
    int scissor[4] = {0, 0, 0, 0};
    int frameWidth = 0;
    int frameHeight = 0;
    std::vector<std::pair<int, int>> frames;  // every beginFrame's size, in order
    // What each texture object holds, built only from the rows that were sent.
    std::map<uint32_t, std::vector<uint8_t>> images;
    std::map<uint32_t, std::pair<int, int>> imageSizes;  // width and height of each of those images
    // Calls OpenGL would refuse (and so keep the old picture), described.
    std::vector<std::string> errors;

    // Pixel bytes sent after the last beginFrame (before the first one when
    // no frame began yet).
    uint64_t bytesThisFrame() const {
        uint64_t sum = 0;
        for (const RecordedUpload& upload : uploads) {
            if (upload.frame == frames.size()) sum += upload.bytes;
        }
        return sum;
    }
};

// The drawable pixels a draw covers, as left, top, right, bottom (rounded),
// for draws of screen-aligned quads in a drawable of this size.
struct PixelRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const PixelRect&) const = default;
};
inline PixelRect drawnRect(const RecordedDraw& draw, int width, int height) {
    float minX = 1e30f, maxX = -1e30f, minY = 1e30f, maxY = -1e30f;
    for (const Vertex& v : draw.vertices) {
        minX = std::min(minX, v.x / v.w);
        maxX = std::max(maxX, v.x / v.w);
        minY = std::min(minY, v.y / v.w);
        maxY = std::max(maxY, v.y / v.w);
    }
    auto px = [&](float x) { return int(std::lround((x + 1) * 0.5f * float(width))); };
    auto py = [&](float y) { return int(std::lround((1 - y) * 0.5f * float(height))); };
    return {px(minX), py(maxY), px(maxX), py(minY)};
}

class RecordingBackend final : public GraphicsBackend {
public:
    // The recording outlives the backend, which Graphics owns.
    explicit RecordingBackend(Recording& recording) : r_(recording) {}

    void beginFrame(int width, int height) override {
        r_.calls.push_back("beginFrame");
        r_.frameWidth = width;
        r_.frameHeight = height;
        r_.frames.emplace_back(width, height);
    }
    uint32_t createTextureObject() override {
        r_.calls.push_back("create");
        return r_.nextObject++;
    }
    void deleteTextureObject(uint32_t object) override {
        r_.calls.push_back("delete");
        r_.deletedObjects.push_back(object);
    }
    void bindTextureObject(uint32_t object) override {
        r_.calls.push_back("bind");
        r_.boundObject = object;
    }
    void uploadTexture(const Texture& texture) override {
        r_.calls.push_back("upload");
        r_.images[r_.boundObject] = texture.pixels;
        r_.imageSizes[r_.boundObject] = {texture.width, texture.height};
        record(texture, RowBand{0, texture.height}, false);
    }
    // Throws std::logic_error, after recording it in `errors`, for what
    // glTexSubImage2D refuses: an object without an image of the texture's
    // size, or rows outside it. Nothing is read then, and the object keeps
    // its old image, as it does on OpenGL.
    void updateTextureRows(const Texture& texture, RowBand band) override {
        r_.calls.push_back("update");
        const auto size = r_.imageSizes.find(r_.boundObject);
        if (size == r_.imageSizes.end() || size->second != std::pair(texture.width, texture.height)) {
            refuse("update of object " + std::to_string(r_.boundObject) + " that holds no " + sizeText(texture) +
                   " image");
        }
        if (!band.empty() && (band.first < 0 || band.end > texture.height)) {
            refuse("update of rows " + std::to_string(band.first) + " to " + std::to_string(band.end) + " of a " +
                   sizeText(texture) + " texture");
        }
        std::vector<uint8_t>& image = r_.images[r_.boundObject];
        const size_t rowBytes = size_t(texture.width) * 4;
        if (!band.empty()) {
            std::copy(texture.pixels.begin() + ptrdiff_t(band.first * rowBytes),
                      texture.pixels.begin() + ptrdiff_t(band.end * rowBytes),
                      image.begin() + ptrdiff_t(band.first * rowBytes));
        }
        record(texture, band, true);
    }
    void applyState(const DrawState& state) override {
        r_.calls.push_back("state");
        r_.state = state;
    }
    void drawTriangles(const Vertex* vertices, size_t count, float alpha) override {
        r_.calls.push_back("draw");
        r_.draws.push_back({r_.state, r_.state.textured ? r_.boundObject : 0u,
                            std::vector<Vertex>(vertices, vertices + count), alpha});
    }
    void setScissor(int x, int y, int width, int height) override {
        r_.calls.push_back("scissor");
        r_.scissorOn = true;
        r_.scissor[0] = x;
        r_.scissor[1] = y;
        r_.scissor[2] = width;
        r_.scissor[3] = height;
    }
    void clearScissor() override {
        r_.calls.push_back("noScissor");
        r_.scissorOn = false;
    }

private:
    static std::string sizeText(const Texture& texture) {
        return std::to_string(texture.width) + " x " + std::to_string(texture.height);
    }
    [[noreturn]] void refuse(const std::string& what) {
        r_.errors.push_back(what);
        throw std::logic_error("RecordingBackend: " + what);
    }

    void record(const Texture& texture, RowBand band, bool inPlace) {
        r_.uploads.push_back({r_.boundObject, texture.width, texture.height, texture.version, texture.linear,
                              texture.repeat, r_.images[r_.boundObject], inPlace, band,
                              uint64_t(band.rows()) * uint64_t(texture.width) * 4u, r_.frames.size()});
    }

    Recording& r_;
};

}  // namespace vobu::testing
