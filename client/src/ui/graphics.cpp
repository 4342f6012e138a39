#include "ui/graphics.h"

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <utility>

namespace vobu {

namespace {

constexpr uint64_t kLastHandle = 0xFFFFFFFFu;

}  // namespace

Graphics::Graphics() = default;

Graphics::Graphics(std::unique_ptr<GraphicsBackend> backend) : backend_(std::move(backend)) {}

Graphics::~Graphics() = default;

void Graphics::initialize(std::unique_ptr<GraphicsBackend> backend) {
    // Objects of a previous backend mean nothing to the new one; the table
    // stays and is uploaded afresh on first use.
    while (!gpu_.empty()) {
        releaseGpuTexture(gpu_.begin()->first);
    }
    backend_ = std::move(backend);
    boundObject_ = 0;
}

void Graphics::shutdown() {
    clearTextures();
    backend_.reset();
    boundObject_ = 0;
}

void Graphics::beginFrame(int width, int height) {
    if (backend_) {
        backend_->beginFrame(width, height);
    }
}

uint32_t Graphics::setTexture(int width, int height, const std::vector<uint8_t>& rgba, uint32_t handle, bool linear,
                              bool repeat) {
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("Texture size must be positive");
    }
    // Checked before anything is stored: an upload of a short buffer would
    // read past its end.
    const uint64_t expected = uint64_t(width) * uint64_t(height) * 4u;
    if (rgba.size() != expected) {
        throw std::invalid_argument("Texture pixel data does not match its size");
    }
    if (handle == 0) {
        if (nextHandle_ > kLastHandle) {
            throw std::runtime_error("No texture handles left");
        }
        handle = uint32_t(nextHandle_++);
    } else if (handle >= nextHandle_) {
        // An explicit handle is taken out of the allocation range for good, so
        // a later allocation can never give a second owner the same texture.
        nextHandle_ = uint64_t(handle) + 1;
    }
    Texture& texture = textures_[handle];
    const size_t rowBytes = size_t(width) * 4u;
    if (texture.width != width || texture.height != height) {
        texture.width = width;
        texture.height = height;
        texture.pixels = rgba;
        markResized(handle);
    } else {
        // Screens repaint whole canvases for every pointer move; mostly
        // nothing or a few rows differ, and only those are copied and sent.
        const RowBand band = differingRows(texture.pixels.data(), rgba.data(), rowBytes, height);
        if (band.empty() && texture.linear == linear && texture.repeat == repeat) {
            return handle;
        }
        std::copy(rgba.begin() + ptrdiff_t(size_t(band.first) * rowBytes),
                  rgba.begin() + ptrdiff_t(size_t(band.end) * rowBytes),
                  texture.pixels.begin() + ptrdiff_t(size_t(band.first) * rowBytes));
        markStale(handle, band);
    }
    texture.linear = linear;
    texture.repeat = repeat;
    ++texture.version;
    return handle;
}

void Graphics::markStale(uint32_t handle, RowBand band) {
    auto gpu = gpu_.find(handle);
    if (gpu != gpu_.end()) {
        gpu->second.stale = gpu->second.stale.joined(band);
    }
}

void Graphics::markResized(uint32_t handle) {
    auto gpu = gpu_.find(handle);
    if (gpu != gpu_.end()) {
        gpu->second.sized = false;
        gpu->second.stale = RowBand{};
    }
}

DrawState Graphics::drawState(bool cull, bool overlay, bool invert, bool translucent, bool alphaTest, bool textured) {
    DrawState state;
    state.alphaTest = alphaTest;
    if (overlay) {
        state.depthTest = false;
        state.depthWrite = false;
        state.blend = invert ? DrawState::Blend::Invert : DrawState::Blend::Alpha;
    } else if (translucent) {
        state.depthTest = true;
        state.depthWrite = false;
        state.blend = DrawState::Blend::Alpha;
    } else {
        state.depthTest = true;
        state.depthWrite = true;
        state.blend = DrawState::Blend::None;
    }
    state.cull = cull;
    state.writeAlpha = !invert;
    state.textured = textured;
    return state;
}

void Graphics::drawTriangles(const std::vector<Vertex>& vertices, uint32_t texture, bool cull, bool overlay,
                             bool invert, bool translucent, float alpha, bool alphaTest) {
    if (vertices.empty()) {
        return;
    }
    if (texture != 0 && textures_.find(texture) == textures_.end()) {
        throw std::out_of_range("Texture handle is not in the table");
    }
    if (!backend_) {
        return;
    }
    backend_->applyState(drawState(cull, overlay, invert, translucent, alphaTest, texture != 0));
    if (texture != 0) {
        bindForDraw(texture);
    }
    backend_->drawTriangles(vertices.data(), vertices.size() - vertices.size() % 3, alpha);
}

void Graphics::bindForDraw(uint32_t handle) {
    const Texture& texture = textures_.at(handle);
    GpuTexture& gpu = gpu_[handle];
    if (gpu.object == 0) {
        gpu.object = backend_->createTextureObject();
    }
    if (boundObject_ != gpu.object) {
        backend_->bindTextureObject(gpu.object);
        boundObject_ = gpu.object;
    }
    if (!gpu.sized || gpu.version != texture.version) {
        const uint64_t rowBytes = uint64_t(texture.width) * 4u;
        if (gpu.sized) {
            // The object holds every row outside the stale band already.
            backend_->updateTextureRows(texture, gpu.stale);
            counters_.bytes += uint64_t(gpu.stale.rows()) * rowBytes;
        } else {
            backend_->uploadTexture(texture);
            counters_.bytes += texture.pixels.size();
        }
        gpu.sized = true;
        gpu.version = texture.version;
        gpu.stale = RowBand{};
        counters_.uploads += 1;
    }
}

void Graphics::releaseGpuTexture(uint32_t handle) {
    auto it = gpu_.find(handle);
    if (it == gpu_.end()) {
        return;
    }
    if (backend_ && it->second.object != 0) {
        if (boundObject_ == it->second.object) {
            boundObject_ = 0;
        }
        backend_->deleteTextureObject(it->second.object);
    }
    gpu_.erase(it);
}

void Graphics::deleteTexture(uint32_t handle) {
    releaseGpuTexture(handle);
    textures_.erase(handle);
}

void Graphics::clearTextures() {
    while (!gpu_.empty()) {
        releaseGpuTexture(gpu_.begin()->first);
    }
    textures_.clear();
}

void Graphics::setScissor(int x, int y, int width, int height) {
    if (backend_) {
        backend_->setScissor(x, y, width, height);
    }
}

void Graphics::clearScissor() {
    if (backend_) {
        backend_->clearScissor();
    }
}

}  // namespace vobu
