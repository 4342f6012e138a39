// The texture reader: byte-level faults with their exact codes, the slot
// left alone on every fault, both encodings, and the slot rules.

#include <gtest/gtest.h>

#include "map_test_support.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/map_readers.h"

namespace vobu {
namespace {

using maptest::errorOf;
using maptest::sameTextures;
using namespace mapkit;

std::vector<uint8_t> header(uint16_t width, uint16_t height, uint8_t encoding) {
    ByteWriter out;
    out.text("VBT2");
    out.u16(width);
    out.u16(height);
    out.u8(encoding);
    return out.take();
}

std::vector<uint8_t> solid(int width, int height, uint8_t alpha) {
    std::vector<uint8_t> rgba;
    for (int i = 0; i < width * height; ++i) rgba.insert(rgba.end(), {10, 20, 30, alpha});
    return rgba;
}

// A 2 x 2 run-length texture written run by run: (count, colour) pairs.
std::vector<uint8_t> runs(std::initializer_list<uint16_t> counts) {
    ByteWriter out;
    out.bytes(header(2, 2, 1));
    for (uint16_t count : counts) {
        out.u16(count);
        for (uint8_t c : {1, 2, 3, 255}) out.u8(c);
    }
    return out.take();
}

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

std::vector<uint8_t> plusByte(std::vector<uint8_t> bytes) {
    bytes.push_back(0);
    return bytes;
}

struct FaultCase {
    const char* name;
    uint32_t slot;
    std::vector<uint8_t> bytes;
    const char* code;
};

class TextureFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(TextureFaults, RaisesTheCodeAndKeepsTheSlots) {
    Scene scene;
    readTexture(scene, 1, writeTexture(4, 4, solid(4, 4, 255)));
    const std::vector<MaterialTexture> before = scene.textures;

    EXPECT_EQ(errorOf([&] { readTexture(scene, GetParam().slot, GetParam().bytes); }), GetParam().code);
    EXPECT_TRUE(sameTextures(scene.textures, before));
}

INSTANTIATE_TEST_SUITE_P(
    ByteLevel, TextureFaults,
    ::testing::Values(FaultCase{"Empty", 0, {}, "ERR_MAP_TRUNCATED"},
                      FaultCase{"ThreeBytes", 0, {'V', 'B', 'T'}, "ERR_MAP_TRUNCATED"},
                      FaultCase{"WrongMagic", 0, {'V', 'B', 'T', '1', 1, 0, 1, 0, 0}, "ERR_MAP_MAGIC"},
                      FaultCase{"WidthCut", 0, cut(header(2, 2, 0), 4), "ERR_MAP_TRUNCATED"},
                      FaultCase{"HeightCut", 0, cut(header(2, 2, 0), 2), "ERR_MAP_TRUNCATED"},
                      FaultCase{"EncodingMissing", 0, cut(header(2, 2, 0), 1), "ERR_MAP_TRUNCATED"},
                      FaultCase{"TruncationBeforeSlot", 16, cut(header(2, 2, 0), 1), "ERR_MAP_TRUNCATED"},
                      FaultCase{"Slot16", 16, writeTexture(2, 2, solid(2, 2, 255)), "ERR_TEXTURE_SIZE"},
                      FaultCase{"SlotHuge", 0xFFFFFFFFu, writeTexture(2, 2, solid(2, 2, 255)), "ERR_TEXTURE_SIZE"},
                      FaultCase{"HeaderOnlySlot16", 16, header(2, 2, 0), "ERR_TEXTURE_SIZE"},
                      FaultCase{"Width3", 0, header(3, 2, 0), "ERR_TEXTURE_SIZE"},
                      FaultCase{"Width0", 0, header(0, 2, 0), "ERR_TEXTURE_SIZE"},
                      FaultCase{"Width512", 0, header(512, 2, 0), "ERR_TEXTURE_SIZE"},
                      FaultCase{"Height6", 0, header(2, 6, 0), "ERR_TEXTURE_SIZE"},
                      FaultCase{"Height65535", 0, header(2, 65535, 1), "ERR_TEXTURE_SIZE"},
                      FaultCase{"Encoding2", 0, header(2, 2, 2), "ERR_TEXTURE_SIZE"},
                      FaultCase{"RawNoTexels", 0, header(2, 2, 0), "ERR_MAP_TRUNCATED"},
                      FaultCase{"RawOneByteShort", 0,
                                cut(writeTexture(2, 2, solid(2, 2, 255), TextureEncoding::Raw), 1),
                                "ERR_MAP_TRUNCATED"},
                      FaultCase{"RawOneByteOver", 0,
                                plusByte(writeTexture(2, 2, solid(2, 2, 255), TextureEncoding::Raw)),
                                "ERR_MAP_TRAILING_BYTES"},
                      FaultCase{"RunNoCount", 0, header(2, 2, 1), "ERR_MAP_TRUNCATED"},
                      FaultCase{"RunHalfACount", 0, plusByte(header(2, 2, 1)), "ERR_MAP_TRUNCATED"},
                      FaultCase{"RunColourCut", 0, cut(runs({4}), 1), "ERR_MAP_TRUNCATED"},
                      FaultCase{"RunCountZero", 0, runs({0, 4}), "ERR_TEXTURE_RUN"},
                      FaultCase{"RunTooLong", 0, runs({5}), "ERR_TEXTURE_RUN"},
                      FaultCase{"SecondRunTooLong", 0, runs({3, 2}), "ERR_TEXTURE_RUN"},
                      FaultCase{"ColourMissingBeforeCountZero", 0, cut(runs({0}), 1), "ERR_MAP_TRUNCATED"},
                      FaultCase{"RunsStopShort", 0, runs({1, 2}), "ERR_MAP_TRUNCATED"},
                      FaultCase{"RunOneByteOver", 0, plusByte(runs({1, 3})), "ERR_MAP_TRAILING_BYTES"},
                      FaultCase{"ExtraRunAfterTheLast", 0, runs({4, 1}), "ERR_MAP_TRAILING_BYTES"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextureReader, RawAndRunLengthGiveTheSameTexels) {
    for (const KitTexture& kit : twoMaterialRenderMap().textures) {
        Scene raw, packed;
        readTexture(raw, kit.slot, writeTexture(kit.width, kit.height, kit.rgba, TextureEncoding::Raw));
        readTexture(packed, kit.slot, writeTexture(kit.width, kit.height, kit.rgba, TextureEncoding::RunLength));
        ASSERT_EQ(raw.textures.size(), kit.slot + 1);
        EXPECT_EQ(raw.textures[kit.slot].rgba, kit.rgba);
        EXPECT_TRUE(sameTextures(raw.textures, packed.textures));
        EXPECT_EQ(raw.textures[kit.slot].width, kit.width);
        EXPECT_EQ(raw.textures[kit.slot].height, kit.height);
        EXPECT_EQ(raw.textures[kit.slot].revision, 1);
    }
}

TEST(TextureReader, RunsFillTexelsInOrder) {
    ByteWriter out;
    out.bytes(header(4, 1, 1));
    out.u16(1);
    for (uint8_t c : {9, 8, 7, 255}) out.u8(c);
    out.u16(3);
    for (uint8_t c : {1, 2, 3, 4}) out.u8(c);
    Scene scene;
    readTexture(scene, 0, out.take());
    EXPECT_EQ(scene.textures[0].rgba, (std::vector<uint8_t>{9, 8, 7, 255, 1, 2, 3, 4, 1, 2, 3, 4, 1, 2, 3, 4}));
}

TEST(TextureReader, TheLargestTextureLoadsIntoTheLastSlot) {
    std::vector<uint8_t> rgba = solid(256, 256, 255);
    Scene scene;
    readTexture(scene, 15, writeTexture(256, 256, rgba));
    ASSERT_EQ(scene.textures.size(), 16u);
    EXPECT_EQ(scene.textures[15].rgba, rgba);
    for (int s = 0; s < 15; ++s) EXPECT_EQ(scene.textures[s].width, 0);
}

TEST(TextureReader, TransparencyIsAnyAlphaOtherThan255) {
    Scene scene;
    readTexture(scene, 0, writeTexture(8, 8, solid(8, 8, 255)));
    EXPECT_FALSE(scene.textures[0].hasTransparency);

    std::vector<uint8_t> oneTexel = solid(8, 8, 255);
    oneTexel[4 * 63 + 3] = 254;
    readTexture(scene, 0, writeTexture(8, 8, oneTexel));
    EXPECT_TRUE(scene.textures[0].hasTransparency);

    readTexture(scene, 0, writeTexture(8, 8, solid(8, 8, 255)));
    EXPECT_FALSE(scene.textures[0].hasTransparency) << "a new texture decides afresh";
}

TEST(TextureReader, ANarrowerTextureIsDroppedAndAWiderOneReplaces) {
    Scene scene;
    readTexture(scene, 2, writeTexture(128, 2, solid(128, 2, 255)));
    ASSERT_EQ(scene.textures[2].revision, 1);
    const std::vector<MaterialTexture> wide = scene.textures;

    EXPECT_EQ(errorOf([&] { readTexture(scene, 2, writeTexture(64, 4, solid(64, 4, 0))); }), "no error");
    EXPECT_TRUE(sameTextures(scene.textures, wide));

    readTexture(scene, 2, writeTexture(128, 1, solid(128, 1, 7)));
    EXPECT_EQ(scene.textures[2].revision, 2) << "an equally wide texture replaces";
    EXPECT_EQ(scene.textures[2].height, 1);

    readTexture(scene, 2, writeTexture(256, 1, solid(256, 1, 255)));
    EXPECT_EQ(scene.textures[2].revision, 3);
    EXPECT_EQ(scene.textures[2].width, 256);
    EXPECT_FALSE(scene.textures[2].hasTransparency);
}

TEST(TextureReader, ADroppedTextureStillGrowsTheSlotList) {
    Scene scene;
    scene.textures.resize(1);
    scene.textures[0].width = 256;
    scene.textures[0].revision = 4;
    readTexture(scene, 0, writeTexture(1, 1, solid(1, 1, 255)));
    EXPECT_EQ(scene.textures[0].revision, 4);
    readTexture(scene, 3, writeTexture(1, 1, solid(1, 1, 255)));
    ASSERT_EQ(scene.textures.size(), 4u);
    EXPECT_EQ(scene.textures[3].revision, 1);
    EXPECT_EQ(scene.textures[0].revision, 4);
}

}  // namespace
}  // namespace vobu
