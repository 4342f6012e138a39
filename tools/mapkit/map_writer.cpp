#include "mapkit/map_writer.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace vobu::mapkit {

namespace {

constexpr int32_t kMaxWalkTriangles = 16384;
constexpr size_t kMaxMaterials = 16;
constexpr uint64_t kMaxVertices = 65536;
constexpr uint64_t kMaxIndices = 196608;
constexpr float kMaxCoordinate = 4096.0f;
constexpr int kMaxTextureSide = 256;
constexpr size_t kMaxRunLength = 65535;

[[noreturn]] void refuse(const std::string& why) { throw std::invalid_argument("mapkit: " + why); }

bool inCoordinateRange(float value) { return std::isfinite(value) && std::fabs(value) <= kMaxCoordinate; }

bool isPowerOfTwoSide(int side) { return side >= 1 && side <= kMaxTextureSide && (side & (side - 1)) == 0; }

void checkMaterial(const RenderMaterial& material, size_t position) {
    if (material.number != position)
        refuse("material " + std::to_string(position) + " carries number " + std::to_string(material.number));
    if (material.vertices.empty() || material.vertices.size() % kFloatsPerRenderVertex != 0)
        refuse("material vertices must be a positive multiple of 11 floats");
    if (material.indices.empty() || material.indices.size() % 3 != 0)
        refuse("material indices must be a positive multiple of 3");
    const size_t vertexCount = material.vertices.size() / kFloatsPerRenderVertex;
    for (size_t v = 0; v < vertexCount; ++v) {
        const float* f = &material.vertices[v * kFloatsPerRenderVertex];
        for (size_t i = 0; i < kFloatsPerRenderVertex; ++i)
            if (!inCoordinateRange(f[i])) refuse("vertex float out of range");
        for (size_t i = 8; i < 11; ++i)
            if (f[i] < 0.0f || f[i] > 1.0f) refuse("vertex colour outside 0..1");
        const double squared = double(f[3]) * f[3] + double(f[4]) * f[4] + double(f[5]) * f[5];
        if (squared < 0.99 || squared > 1.01) refuse("vertex normal is not of unit length");
    }
    for (uint32_t index : material.indices)
        if (index >= vertexCount) refuse("index past the material's vertices");
}

void writeRun(ByteWriter& out, size_t count, const uint8_t* texel) {
    out.u16(static_cast<uint16_t>(count));
    for (int c = 0; c < 4; ++c) out.u8(texel[c]);
}

}  // namespace

void ByteWriter::u8(uint8_t value) { data_.push_back(value); }

void ByteWriter::u16(uint16_t value) {
    data_.push_back(uint8_t(value));
    data_.push_back(uint8_t(value >> 8));
}

void ByteWriter::u32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) data_.push_back(uint8_t(value >> shift));
}

void ByteWriter::i32(int32_t value) { u32(static_cast<uint32_t>(value)); }

void ByteWriter::f32(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    u32(bits);
}

void ByteWriter::text(std::string_view bytes) { data_.insert(data_.end(), bytes.begin(), bytes.end()); }

void ByteWriter::bytes(const std::vector<uint8_t>& bytes) { data_.insert(data_.end(), bytes.begin(), bytes.end()); }

void patchU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value) {
    if (offset + 2 > bytes.size()) refuse("patch past the end");
    bytes[offset] = uint8_t(value);
    bytes[offset + 1] = uint8_t(value >> 8);
}

void patchU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    if (offset + 4 > bytes.size()) refuse("patch past the end");
    for (int i = 0; i < 4; ++i) bytes[offset + i] = uint8_t(value >> (8 * i));
}

void patchF32(std::vector<uint8_t>& bytes, size_t offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    patchU32(bytes, offset, bits);
}

std::vector<uint8_t> writeWalkMesh(const std::vector<WalkTriangle>& triangles) {
    if (triangles.empty() || triangles.size() > size_t(kMaxWalkTriangles))
        refuse("a walk mesh holds 1..16384 triangles");
    ByteWriter out;
    out.text("VBW4");
    out.i32(static_cast<int32_t>(triangles.size()));
    for (const WalkTriangle& t : triangles) {
        const double coordinates[9] = {t.x0, t.y0, t.z0, t.x1, t.y1, t.z1, t.x2, t.y2, t.z2};
        for (double c : coordinates) {
            const float narrowed = static_cast<float>(c);
            if (!inCoordinateRange(narrowed)) refuse("walk coordinate out of range");
            out.f32(narrowed);
        }
    }
    return out.take();
}

std::vector<uint8_t> writeRenderMesh(const std::vector<RenderMaterial>& materials) {
    if (materials.empty() || materials.size() > kMaxMaterials) refuse("a render mesh holds 1..16 materials");
    uint64_t vertexTotal = 0;
    uint64_t indexTotal = 0;
    for (size_t m = 0; m < materials.size(); ++m) {
        checkMaterial(materials[m], m);
        vertexTotal += materials[m].vertices.size() / kFloatsPerRenderVertex;
        indexTotal += materials[m].indices.size();
    }
    if (vertexTotal > kMaxVertices || indexTotal > kMaxIndices) refuse("render mesh over its vertex or index budget");

    ByteWriter out;
    out.text("VBM3");
    out.u32(static_cast<uint32_t>(materials.size()));
    for (const RenderMaterial& material : materials) {
        out.u32(material.number);
        out.u32(static_cast<uint32_t>(material.vertices.size() / kFloatsPerRenderVertex));
        out.u32(static_cast<uint32_t>(material.indices.size()));
        for (float f : material.vertices) out.f32(f);
        for (uint32_t index : material.indices) out.u32(index);
    }
    return out.take();
}

std::vector<uint8_t> writeTexture(int width, int height, const std::vector<uint8_t>& rgba, TextureEncoding encoding) {
    if (!isPowerOfTwoSide(width) || !isPowerOfTwoSide(height)) refuse("texture sides must be powers of two 1..256");
    const size_t texels = size_t(width) * size_t(height);
    if (rgba.size() != texels * 4) refuse("texture needs width * height RGBA texels");

    ByteWriter out;
    out.text("VBT2");
    out.u16(static_cast<uint16_t>(width));
    out.u16(static_cast<uint16_t>(height));
    out.u8(static_cast<uint8_t>(encoding));
    if (encoding == TextureEncoding::Raw) {
        out.bytes(rgba);
        return out.take();
    }
    size_t start = 0;
    while (start < texels) {
        size_t end = start + 1;
        while (end < texels && end - start < kMaxRunLength && std::memcmp(&rgba[end * 4], &rgba[start * 4], 4) == 0)
            ++end;
        writeRun(out, end - start, &rgba[start * 4]);
        start = end;
    }
    return out.take();
}

}  // namespace vobu::mapkit
