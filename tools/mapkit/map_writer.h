#pragma once
// Writers of the three map asset formats: walk mesh "VBW4", render mesh
// "VBM3" and texture "VBT2". They refuse (std::invalid_argument) anything
// the client's readers would reject, so every asset they produce loads.
// ByteWriter and the patch helpers let tests craft broken assets on purpose.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "world/scene.h"

namespace vobu::mapkit {

// Sizes of the fixed parts of the formats, for tests that poke at offsets.
constexpr size_t kWalkHeaderBytes = 8;
constexpr size_t kWalkTriangleBytes = 36;
constexpr size_t kRenderHeaderBytes = 8;
constexpr size_t kMaterialHeaderBytes = 12;
constexpr size_t kRenderVertexBytes = 44;
constexpr size_t kTextureHeaderBytes = 9;
constexpr size_t kFloatsPerRenderVertex = 11;

// Appends little-endian values to a growing byte string.
class ByteWriter {
public:
    void u8(uint8_t value);
    void u16(uint16_t value);
    void u32(uint32_t value);
    void i32(int32_t value);
    void f32(float value);
    void text(std::string_view bytes);
    void bytes(const std::vector<uint8_t>& bytes);

    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t> take() { return std::move(data_); }

private:
    std::vector<uint8_t> data_;
};

// Overwrite a value in place (the byte string must already hold it).
void patchU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
void patchU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value);
void patchF32(std::vector<uint8_t>& bytes, size_t offset, float value);

// Walk mesh: 1..16384 triangles, coordinates narrowed to float, finite and
// at most 4096 in absolute value.
std::vector<uint8_t> writeWalkMesh(const std::vector<WalkTriangle>& triangles);

// Render mesh: 1..16 materials numbered by position, each with at least one
// vertex and a positive multiple of 3 indices below its vertex count; at most
// 65536 vertices and 196608 indices in all; finite floats of at most 4096 in
// absolute value, colours 0..1, normals of squared length 0.99..1.01.
std::vector<uint8_t> writeRenderMesh(const std::vector<RenderMaterial>& materials);

enum class TextureEncoding : uint8_t { Raw = 0, RunLength = 1 };

// Texture: power-of-two sides 1..256, width * height RGBA texels.
// Run-length encoding packs runs of equal texels (at most 65535 a run).
std::vector<uint8_t> writeTexture(int width, int height, const std::vector<uint8_t>& rgba,
                                  TextureEncoding encoding = TextureEncoding::RunLength);

}  // namespace vobu::mapkit
