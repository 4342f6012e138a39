#pragma once

// A GraphicsBackend that records every call instead of drawing, so tests can
// check what Graphics would have done to OpenGL without a window.

#include <cstdint>
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
    std::vector<uint8_t> pixels;
    bool inPlace = false;  // through updateTexture: the object kept its storage
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
};

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
        r_.uploads.push_back({r_.boundObject, texture.width, texture.height, texture.version, texture.linear,
                              texture.repeat, texture.pixels, false});
    }
    void updateTexture(const Texture& texture) override {
        r_.calls.push_back("update");
        r_.uploads.push_back({r_.boundObject, texture.width, texture.height, texture.version, texture.linear,
                              texture.repeat, texture.pixels, true});
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
    Recording& r_;
};

}  // namespace vobu::testing
