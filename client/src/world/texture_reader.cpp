#include <cstring>
#include <utility>

#include "world/map_byte_reader.h"
#include "world/map_readers.h"

namespace vobu {

namespace {

enum TextureEncoding : uint8_t { EncodingRaw = 0, EncodingRunLength = 1 };

bool isTextureSide(uint16_t side) { return side >= 1 && side <= kMaxTextureSide && (side & (side - 1)) == 0; }

void fillRun(uint8_t* out, uint32_t count, const uint8_t (&texel)[4]) {
    for (uint32_t i = 0; i < count; ++i, out += 4) std::memcpy(out, texel, 4);
}

void readTexel(MapByteReader& reader, uint8_t (&texel)[4]) {
    reader.require(4);
    for (uint8_t& c : texel) c = reader.u8();
}

std::vector<uint8_t> readTexels(MapByteReader& reader, uint8_t encoding, uint32_t texelCount) {
    std::vector<uint8_t> rgba(size_t(texelCount) * 4);
    uint32_t filled = 0;
    while (filled < texelCount) {
        uint32_t count = 1;
        if (encoding == EncodingRunLength) {
            count = reader.nextU16();
        }
        uint8_t texel[4];
        readTexel(reader, texel);
        if (count == 0 || count > texelCount - filled) failMapAsset(kErrTextureRun);
        fillRun(rgba.data() + size_t(filled) * 4, count, texel);
        filled += count;
    }
    return rgba;
}

bool anyTranslucent(const std::vector<uint8_t>& rgba) {
    for (size_t i = 3; i < rgba.size(); i += 4)
        if (rgba[i] != 255) return true;
    return false;
}

}  // namespace

void readTexture(Scene& scene, uint32_t slot, const std::vector<uint8_t>& bytes) {
    MapByteReader reader(bytes);
    readMapMagic(reader, "VBT2");
    const uint16_t width = reader.nextU16();
    const uint16_t height = reader.nextU16();
    const uint8_t encoding = reader.nextU8();
    if (slot >= kMaxTextureSlots || !isTextureSide(width) || !isTextureSide(height) || encoding > EncodingRunLength)
        failMapAsset(kErrTextureSize);

    std::vector<uint8_t> rgba = readTexels(reader, encoding, uint32_t(width) * height);
    reader.expectEnd();

    if (scene.textures.size() <= slot) scene.textures.resize(size_t(slot) + 1);
    MaterialTexture& target = scene.textures[slot];
    if (width < target.width) return;  // a lower-detail copy of what the slot already shows
    target.width = width;
    target.height = height;
    target.hasTransparency = anyTranslucent(rgba);
    target.rgba = std::move(rgba);
    ++target.revision;
}

}  // namespace vobu
