#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "ui/row_band.h"
#include "ui/vertex.h"

namespace vobu {

// One texture of the table. The pixels stay on the CPU; OpenGL only holds a
// copy that is refreshed when `version` moves on, which it does only when
// the pixels, the size or the sampling flags really changed.
struct Texture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width x height x 4 bytes R, G, B, A, top row first
    uint32_t version = 0;
    bool linear = false;
    bool repeat = false;
};

// How a draw treats depth, blending, culling and the alpha channel: the
// switches of Graphics::drawTriangles resolved into plain pipeline state.
struct DrawState {
    enum class Blend { None, Alpha, Invert };
    bool alphaTest = false;
    bool depthTest = true;
    bool depthWrite = true;
    Blend blend = Blend::None;
    bool cull = false;
    bool writeAlpha = true;
    bool textured = false;
};

// The thin layer below Graphics that actually talks to OpenGL. Graphics keeps
// the texture table and decides what must be uploaded; the backend only
// carries it out. Tests give Graphics a recording backend and need no window.
class GraphicsBackend {
public:
    virtual ~GraphicsBackend() = default;
    virtual void beginFrame(int width, int height) = 0;
    // A fresh texture object, never 0.
    virtual uint32_t createTextureObject() = 0;
    virtual void deleteTextureObject(uint32_t object) = 0;
    virtual void bindTextureObject(uint32_t object) = 0;
    // Uploads the pixels into the bound object with its filtering and wrapping.
    virtual void uploadTexture(const Texture& texture) = 0;
    // Replaces the rows of `band` in the bound object, which already holds an
    // image of the texture's size, and applies its filtering and wrapping;
    // an empty band only changes the sampling.
    virtual void updateTextureRows(const Texture& texture, RowBand band) = 0;
    virtual void applyState(const DrawState& state) = 0;
    virtual void drawTriangles(const Vertex* vertices, size_t count, float alpha) = 0;
    virtual void setScissor(int x, int y, int width, int height) = 0;
    virtual void clearScissor() = 0;
};

// The OpenGL 1.1 backend (graphics_gl.cpp). With vertexArrays false it feeds
// every vertex through immediate-mode calls instead (kept for comparison).
std::unique_ptr<GraphicsBackend> createOpenGlBackend(bool vertexArrays = true);

// What went to the GPU so far; the benchmark reads it per frame.
struct UploadCounters {
    uint64_t uploads = 0;
    uint64_t bytes = 0;
};

// The only caller of OpenGL. Textures are named by handles counting up from 1
// (0 means none); whoever obtains a handle owns it and deletes it. Each handle
// has one texture object of its own, uploaded again only when the texture's
// version changed, so switching between textures costs no upload.
class Graphics {
public:
    // Without a backend the table works and draws go nowhere.
    Graphics();
    explicit Graphics(std::unique_ptr<GraphicsBackend> backend);
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    ~Graphics();

    // Attaches the backend (createOpenGlBackend once the context exists).
    void initialize(std::unique_ptr<GraphicsBackend> backend);
    // Detaches the backend (texture objects die with the context).
    void shutdown();

    void beginFrame(int width, int height);
    // Stores a copy of the pixels under `handle` (0 allocates a new handle)
    // and returns the handle. Pixels equal to the stored ones change nothing
    // (the version stays, nothing is uploaded); otherwise only the band of
    // rows that differ is copied, bumps the version and is the part the next
    // draw sends. Refuses (std::invalid_argument) sizes that are not positive
    // and pixel data that is not width x height x 4 bytes, leaving the table
    // unchanged.
    uint32_t setTexture(int width, int height, const std::vector<uint8_t>& rgba, uint32_t handle, bool linear,
                        bool repeat);
    // Throws std::out_of_range for a texture handle that is not in the table.
    void drawTriangles(const std::vector<Vertex>& vertices, uint32_t texture, bool cull, bool overlay, bool invert,
                       bool translucent, float alpha, bool alphaTest);
    void deleteTexture(uint32_t handle);
    void clearTextures();
    void setScissor(int x, int y, int width, int height);
    void clearScissor();

    const std::map<uint32_t, Texture>& textures() const { return textures_; }
    // The next handle an allocation gives out (beyond 32 bits once exhausted).
    uint64_t nextHandle() const { return nextHandle_; }
    const UploadCounters& uploadCounters() const { return counters_; }

    // The pipeline state a draw with these switches uses.
    static DrawState drawState(bool cull, bool overlay, bool invert, bool translucent, bool alphaTest, bool textured);

private:
    // The GPU side of one handle: its texture object and the version it holds.
    struct GpuTexture {
        uint32_t object = 0;
        uint32_t version = 0;
        // The object holds an image of the table's current size, so changed
        // rows can be sent into it. A size change clears it, whatever sizes
        // come and go before the next draw: only a new image of the size
        // then in the table is sure to fit.
        bool sized = false;
        RowBand stale;  // rows of that image the object does not hold yet
    };

    void bindForDraw(uint32_t handle);
    void markStale(uint32_t handle, RowBand band);
    void markResized(uint32_t handle);
    void releaseGpuTexture(uint32_t handle);

    std::map<uint32_t, Texture> textures_;
    uint64_t nextHandle_ = 1;
    std::map<uint32_t, GpuTexture> gpu_;
    uint32_t boundObject_ = 0;
    UploadCounters counters_;
    std::unique_ptr<GraphicsBackend> backend_;
};

}  // namespace vobu
