// The render-mesh reader: byte-level faults with their exact codes, the
// Scene left alone on every fault, round trips and the texture slots.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "map_test_support.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/map_readers.h"

namespace vobu {
namespace {

using maptest::errorOf;
using maptest::sameMaterials;
using maptest::sameTextures;
using namespace mapkit;

// A material of `quads` upward quads, vertex colours (0.25, 0.5, 0.75).
RenderMaterial quadMaterial(uint32_t number, int quads) {
    RenderMaterial material;
    material.number = number;
    for (int q = 0; q < quads; ++q) addRenderQuad(material, q, 0, q + 1, 1, 0, 0.25f, 0.5f, 0.75f);
    return material;
}

// Two materials: block 0 has 4 vertices and 6 indices, block 1 likewise.
std::vector<uint8_t> twoBlocks() { return writeRenderMesh({quadMaterial(0, 1), quadMaterial(1, 1)}); }

constexpr size_t kBlock0 = kRenderHeaderBytes;
constexpr size_t kBlockBytes = kMaterialHeaderBytes + 4 * kRenderVertexBytes + 6 * 4;
constexpr size_t kBlock1 = kBlock0 + kBlockBytes;
constexpr size_t kVertex0 = kBlock0 + kMaterialHeaderBytes;
constexpr size_t kIndices0 = kVertex0 + 4 * kRenderVertexBytes;

// Vertex 0 of block 0 with float `which` (0..10) set to `value`.
std::vector<uint8_t> withVertexFloat(int which, float value) {
    std::vector<uint8_t> bytes = twoBlocks();
    patchF32(bytes, kVertex0 + 4 * size_t(which), value);
    return bytes;
}

std::vector<uint8_t> withNormal(float x, float y, float z) {
    std::vector<uint8_t> bytes = twoBlocks();
    patchF32(bytes, kVertex0 + 12, x);
    patchF32(bytes, kVertex0 + 16, y);
    patchF32(bytes, kVertex0 + 20, z);
    return bytes;
}

std::vector<uint8_t> withWord(size_t offset, uint32_t value) {
    std::vector<uint8_t> bytes = twoBlocks();
    patchU32(bytes, offset, value);
    return bytes;
}

std::vector<uint8_t> prefix(size_t length) {
    std::vector<uint8_t> bytes = twoBlocks();
    bytes.resize(length);
    return bytes;
}

// Header words only: material count, then (number, vc, ic) per block, with
// no vertex or index data at all.
std::vector<uint8_t> headersOnly(std::vector<std::array<uint32_t, 3>> blocks) {
    ByteWriter out;
    out.text("VBM3");
    out.u32(uint32_t(blocks.size()));
    for (const auto& block : blocks)
        for (uint32_t word : block) out.u32(word);
    return out.take();
}

// A first block of 4 vertices and 6 indices in full, then a second block's
// header whose counts push the totals to the given values.
std::vector<uint8_t> secondBlockTotals(uint32_t vertexTotal, uint32_t indexTotal) {
    std::vector<uint8_t> bytes = writeRenderMesh({quadMaterial(0, 1)});
    patchU32(bytes, 4, 2);
    ByteWriter out;
    out.bytes(bytes);
    out.u32(1);
    out.u32(vertexTotal - 4);
    out.u32(indexTotal - 6);
    return out.take();
}

struct FaultCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* code;
};

class RenderMeshFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(RenderMeshFaults, RaisesTheCodeAndKeepsTheScene) {
    Scene scene;
    readRenderMesh(scene, writeRenderMesh({quadMaterial(0, 3)}));
    scene.textures[0].width = 4;  // mark the slot so a silent rewrite would show
    const Scene before = scene;

    EXPECT_EQ(errorOf([&] { readRenderMesh(scene, GetParam().bytes); }), GetParam().code);
    EXPECT_TRUE(sameMaterials(scene.materials, before.materials));
    EXPECT_TRUE(sameTextures(scene.textures, before.textures));
    EXPECT_EQ(scene.meshRevision, before.meshRevision);
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    ByteLevel, RenderMeshFaults,
    ::testing::Values(
        FaultCase{"Empty", {}, "ERR_MAP_TRUNCATED"},
        FaultCase{"ThreeBytes", prefix(3), "ERR_MAP_TRUNCATED"},
        FaultCase{"WrongMagic", withWord(0, 0x34574256u /* "VBW4" */), "ERR_MAP_MAGIC"},
        FaultCase{"CountCut", prefix(7), "ERR_MAP_TRUNCATED"},
        FaultCase{"NoMaterials", withWord(4, 0), "ERR_MAP_MATERIALS"},
        FaultCase{"SeventeenMaterials", withWord(4, 17), "ERR_MAP_MATERIALS"},
        FaultCase{"NoBlockAtAll", prefix(8), "ERR_MAP_TRUNCATED"},
        FaultCase{"NumberWordOnly", prefix(12), "ERR_MAP_TRUNCATED"},
        FaultCase{"IndexCountWordCut", prefix(19), "ERR_MAP_TRUNCATED"},
        FaultCase{"SecondBlockNumberedZero", withWord(kBlock1, 0), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"FirstBlockNumberedOne", withWord(kBlock0, 1), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"NoVertices", withWord(kBlock0 + 4, 0), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"NoIndices", withWord(kBlock0 + 8, 0), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"FourIndices", withWord(kBlock0 + 8, 4), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"VertexTotalOver", secondBlockTotals(65537, 6 + 3), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"VertexTotalAtLimitNeedsBytes", secondBlockTotals(65536, 6 + 3), "ERR_MAP_TRUNCATED"},
        FaultCase{"IndexTotalOver", secondBlockTotals(4 + 1, 196611), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"IndexTotalAtLimitNeedsBytes", secondBlockTotals(4 + 1, 196608), "ERR_MAP_TRUNCATED"},
        FaultCase{"HugeCountsDoNotWrap", headersOnly({{0, 0xFFFFFFFFu, 0xFFFFFFFFu}}), "ERR_MAP_MESH_BUDGET"},
        FaultCase{"BlockOneByteShort", prefix(kBlock1 - 1), "ERR_MAP_TRUNCATED"},
        FaultCase{"LastBlockOneByteShort", prefix(kBlock1 + kBlockBytes - 1), "ERR_MAP_TRUNCATED"},
        FaultCase{"PositionNaN", withVertexFloat(0, kNaN), "ERR_MAP_COORDINATE"},
        FaultCase{"TextureUOver4096", withVertexFloat(6, 4097.0f), "ERR_MAP_COORDINATE"},
        FaultCase{"ColourInfinite", withVertexFloat(9, std::numeric_limits<float>::infinity()), "ERR_MAP_COORDINATE"},
        FaultCase{"ColourHugeIsARangeFault", withVertexFloat(8, 5000.0f), "ERR_MAP_COORDINATE"},
        FaultCase{"ColourOver", withVertexFloat(8, 1.01f), "ERR_MAP_COLOR"},
        FaultCase{"BlueNegative", withVertexFloat(10, -0.01f), "ERR_MAP_COLOR"},
        FaultCase{"NormalLength1006", withNormal(0, 0, 1.006f), "ERR_MAP_VERTEX"},
        FaultCase{"NormalLength0994", withNormal(0, 0.994f, 0), "ERR_MAP_VERTEX"},
        FaultCase{"NormalZero", withNormal(0, 0, 0), "ERR_MAP_VERTEX"},
        FaultCase{"IndexEqualToVertexCount", withWord(kIndices0 + 8, 4), "ERR_MAP_INDEX"},
        FaultCase{"IndexHuge", withWord(kIndices0, 0xFFFFFFFFu), "ERR_MAP_INDEX"},
        FaultCase{"OneByteOver", [] { auto b = twoBlocks(); b.push_back(0); return b; }(), "ERR_MAP_TRAILING_BYTES"}),
    [](const auto& info) { return std::string(info.param.name); });

// Within one vertex the range of every float is checked first, then the
// colour, then the normal; the first faulty vertex decides.
TEST(RenderMeshReader, TheFirstFaultInFileOrderNamesTheError) {
    std::vector<uint8_t> colorAndNormal = withNormal(0, 0, 2);
    patchF32(colorAndNormal, kVertex0 + 32, 1.5f);
    EXPECT_EQ(errorOf([&] {
                  Scene s;
                  readRenderMesh(s, colorAndNormal);
              }),
              "ERR_MAP_COLOR");

    std::vector<uint8_t> rangeLate = withVertexFloat(8, 2.0f);  // colour fault in vertex 0
    patchF32(rangeLate, kVertex0 + 10 * 4, kNaN);               // range fault later in vertex 0
    EXPECT_EQ(errorOf([&] {
                  Scene s;
                  readRenderMesh(s, rangeLate);
              }),
              "ERR_MAP_COORDINATE");

    std::vector<uint8_t> indexThenVertex = withWord(kIndices0, 9);
    patchF32(indexThenVertex, kBlock1 + kMaterialHeaderBytes + 12, 0.0f);  // block 1 normal
    EXPECT_EQ(errorOf([&] {
                  Scene s;
                  readRenderMesh(s, indexThenVertex);
              }),
              "ERR_MAP_INDEX");

    std::vector<uint8_t> vertexThenTrailing = withNormal(0, 0, 0);
    vertexThenTrailing.push_back(1);
    EXPECT_EQ(errorOf([&] {
                  Scene s;
                  readRenderMesh(s, vertexThenTrailing);
              }),
              "ERR_MAP_VERTEX");
}

TEST(RenderMeshReader, LimitValuesAreAccepted) {
    struct Accepted {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const Accepted cases[] = {
        {"colour 1.0 and 0.0",
         [] {
             auto b = withVertexFloat(8, 1.0f);
             patchF32(b, kVertex0 + 36, 0.0f);
             return b;
         }()},
        {"normal length 1.004", withNormal(0, 0, 1.004f)},
        {"normal length 0.996", withNormal(0.996f, 0, 0)},
        {"position 4096", withVertexFloat(0, 4096.0f)},
        {"uv -4096", withVertexFloat(7, -4096.0f)},
        {"last index vc - 1", withWord(kIndices0 + 8, 3)},
    };
    for (const Accepted& c : cases) {
        Scene scene;
        EXPECT_EQ(errorOf([&] { readRenderMesh(scene, c.bytes); }), "no error") << c.name;
    }
}

TEST(RenderMeshReader, SixteenMaterialsAtTheVertexAndIndexLimitsLoad) {
    // 16 blocks of 4096 vertices (65536 in all) and 12288 indices (196608).
    std::vector<RenderMaterial> materials(16);
    for (uint32_t m = 0; m < 16; ++m) {
        materials[m] = quadMaterial(m, 1024);
        materials[m].indices.resize(12288, 0);
    }
    Scene scene;
    readRenderMesh(scene, writeRenderMesh(materials));
    EXPECT_TRUE(sameMaterials(scene.materials, materials));
    EXPECT_EQ(scene.textures.size(), 16u);
}

TEST(RenderMeshReader, TheKitRenderMapRoundTrips) {
    const KitRenderMap kit = twoMaterialRenderMap();
    Scene scene;
    readRenderMesh(scene, writeRenderMesh(kit.materials));
    EXPECT_TRUE(sameMaterials(scene.materials, kit.materials));
    EXPECT_EQ(scene.meshRevision, 1);
    ASSERT_EQ(scene.textures.size(), 2u);
    EXPECT_EQ(scene.textures[0].width, 0);
    EXPECT_EQ(scene.textures[1].revision, 0);
}

TEST(RenderMeshReader, MaterialsAreReplacedWholeAndTheRevisionCounts) {
    Scene scene;
    readRenderMesh(scene, writeRenderMesh({quadMaterial(0, 1), quadMaterial(1, 2), quadMaterial(2, 1)}));
    ASSERT_EQ(scene.materials.size(), 3u);
    readRenderMesh(scene, writeRenderMesh({quadMaterial(0, 5)}));
    ASSERT_EQ(scene.materials.size(), 1u);
    EXPECT_EQ(scene.materials[0].indices.size(), 30u);
    EXPECT_EQ(scene.meshRevision, 2);
    EXPECT_EQ(scene.textures.size(), 3u) << "texture slots never shrink";
}

TEST(RenderMeshReader, TextureSlotsGrowToTheMaterialsAndKeepWhatTheyHold) {
    const std::vector<uint8_t> three = writeRenderMesh({quadMaterial(0, 1), quadMaterial(1, 1), quadMaterial(2, 1)});

    Scene empty;
    readRenderMesh(empty, three);
    ASSERT_EQ(empty.textures.size(), 3u);
    for (const MaterialTexture& slot : empty.textures) {
        EXPECT_EQ(slot.width, 0);
        EXPECT_EQ(slot.revision, 0);
        EXPECT_TRUE(slot.rgba.empty());
    }

    Scene five;
    five.textures.resize(5);
    five.textures[1].width = 8;
    five.textures[1].revision = 3;
    five.textures[4].rgba = {1, 2, 3, 4};
    const std::vector<MaterialTexture> kept = five.textures;
    readRenderMesh(five, three);
    EXPECT_TRUE(sameTextures(five.textures, kept));

    Scene two;
    two.textures.resize(2);
    two.textures[0].revision = 7;
    readRenderMesh(two, three);
    ASSERT_EQ(two.textures.size(), 3u);
    EXPECT_EQ(two.textures[0].revision, 7);
}

}  // namespace
}  // namespace vobu
