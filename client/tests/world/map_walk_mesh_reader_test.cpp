// The walk-mesh reader: byte-level faults with their exact codes, the Scene
// left alone on every fault, and writer-to-reader round trips of the kit.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "map_test_support.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/map_readers.h"
#include "world/navigation.h"

namespace vobu {
namespace {

using maptest::errorOf;
using maptest::sameTriangles;
using namespace mapkit;

std::vector<uint8_t> header(const char* magic, int32_t count) {
    ByteWriter out;
    out.text(magic);
    out.i32(count);
    return out.take();
}

// The asset of n copies of one floor triangle, built by hand so that counts
// and sizes can disagree.
std::vector<uint8_t> walkAsset(int32_t declared, int32_t written) {
    ByteWriter out;
    out.bytes(header("VBW4", declared));
    for (int32_t i = 0; i < written; ++i)
        for (float f : {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f}) out.f32(f);
    return out.take();
}

// A one-triangle asset whose coordinate number `which` (0..8) is `value`.
std::vector<uint8_t> withCoordinate(int which, float value) {
    std::vector<uint8_t> bytes = walkAsset(1, 1);
    patchF32(bytes, kWalkHeaderBytes + 4 * size_t(which), value);
    return bytes;
}

std::vector<uint8_t> appended(std::vector<uint8_t> bytes, size_t extra) {
    bytes.resize(bytes.size() + extra, 0);
    return bytes;
}

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t drop) {
    bytes.resize(bytes.size() - drop);
    return bytes;
}

struct FaultCase {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* code;
};

class WalkMeshFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(WalkMeshFaults, RaisesTheCodeAndKeepsThePreviousMesh) {
    WalkMesh target;
    readWalkMesh(target, writeWalkMesh(stepUp(0.5)));
    const std::vector<WalkTriangle> triangles = target.triangles;
    const std::vector<WallSegment> walls = target.walls;
    const rpg::WalkMesh* navigation = target.navigation.get();
    ASSERT_NE(navigation, nullptr);

    EXPECT_EQ(errorOf([&] { readWalkMesh(target, GetParam().bytes); }), GetParam().code);
    EXPECT_TRUE(sameTriangles(target.triangles, triangles));
    EXPECT_EQ(target.navigation.get(), navigation);
    EXPECT_EQ(target.walls.size(), walls.size());
}

const float kJustOver = std::nextafter(4096.0f, 5000.0f);
const float kInfinity = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    ByteLevel, WalkMeshFaults,
    ::testing::Values(
        FaultCase{"Empty", {}, "ERR_MAP_TRUNCATED"}, FaultCase{"ThreeBytes", {'V', 'B', 'W'}, "ERR_MAP_TRUNCATED"},
        FaultCase{"WrongMagic", header("VBW3", 1), "ERR_MAP_MAGIC"},
        FaultCase{"RenderMeshMagic", header("VBM3", 1), "ERR_MAP_MAGIC"},
        FaultCase{"MagicBeforeLength", {'V', 'B', 'W', '5', 1}, "ERR_MAP_MAGIC"},
        FaultCase{"MagicOnly", {'V', 'B', 'W', '4'}, "ERR_MAP_TRUNCATED"},
        FaultCase{"CountCut", {'V', 'B', 'W', '4', 1, 0, 0}, "ERR_MAP_TRUNCATED"},
        FaultCase{"ZeroTriangles", header("VBW4", 0), "ERR_WALKMESH_BUDGET"},
        FaultCase{"NegativeCount", header("VBW4", -1), "ERR_WALKMESH_BUDGET"},
        FaultCase{"CountMinimum", header("VBW4", std::numeric_limits<int32_t>::min()), "ERR_WALKMESH_BUDGET"},
        FaultCase{"OverBudgetBeforeSize", header("VBW4", 16385), "ERR_WALKMESH_BUDGET"},
        FaultCase{"BudgetAtMaximumNeedsBytes", header("VBW4", 16384), "ERR_MAP_TRUNCATED"},
        FaultCase{"OneTriangleShort", walkAsset(2, 1), "ERR_MAP_TRUNCATED"},
        FaultCase{"OneByteShort", cut(walkAsset(2, 2), 1), "ERR_MAP_TRUNCATED"},
        FaultCase{"OneByteOver", appended(walkAsset(2, 2), 1), "ERR_MAP_TRAILING_BYTES"},
        FaultCase{"AWholeTriangleOver", walkAsset(1, 2), "ERR_MAP_TRAILING_BYTES"},
        FaultCase{"JustOver4096", withCoordinate(0, kJustOver), "ERR_MAP_COORDINATE"},
        FaultCase{"JustUnderMinus4096", withCoordinate(4, -kJustOver), "ERR_MAP_COORDINATE"},
        FaultCase{"Infinity", withCoordinate(2, kInfinity), "ERR_MAP_COORDINATE"},
        FaultCase{"MinusInfinity", withCoordinate(7, -kInfinity), "ERR_MAP_COORDINATE"},
        FaultCase{"NaNLastCoordinate", withCoordinate(8, kNaN), "ERR_MAP_COORDINATE"},
        FaultCase{"CoordinateBeforeTrailing", appended(withCoordinate(1, kNaN), 3), "ERR_MAP_COORDINATE"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WalkMeshReader, TheSmallestWellFormedAssetLoads) {
    WalkMesh target;
    EXPECT_EQ(errorOf([&] { readWalkMesh(target, walkAsset(1, 1)); }), "no error");
    ASSERT_EQ(target.triangles.size(), 1u);
    EXPECT_EQ(target.triangles[0].x1, 1.0);
    EXPECT_EQ(target.triangles[0].y2, 1.0);
}

TEST(WalkMeshReader, CoordinatesOfExactly4096AreAccepted) {
    ByteWriter out;
    out.text("VBW4");
    out.i32(1);
    for (float f : {-4096.0f, -4096.0f, 4096.0f, 4096.0f, -4096.0f, -4096.0f, -4096.0f, 4096.0f, 4096.0f}) out.f32(f);
    WalkMesh target;
    readWalkMesh(target, out.take());
    ASSERT_EQ(target.triangles.size(), 1u);
    EXPECT_EQ(target.triangles[0].x0, -4096.0);
    EXPECT_EQ(target.triangles[0].z0, 4096.0);
    EXPECT_EQ(target.triangles[0].z2, 4096.0);
}

TEST(WalkMeshReader, FloatsWidenToDoublesInFileOrder) {
    ByteWriter out;
    out.text("VBW4");
    out.i32(2);
    const float values[18] = {0.1f, 0.2f, 0.3f, 1.1f, 0.2f, 0.3f, 0.1f, 1.2f, -0.3f,
                              5.5f, 6.5f, 7.5f, 8.5f, 6.5f, 7.5f, 5.5f, 9.5f, -1e-30f};
    for (float f : values) out.f32(f);
    WalkMesh target;
    readWalkMesh(target, out.take());
    ASSERT_EQ(target.triangles.size(), 2u);
    const double* read = &target.triangles[0].x0;
    for (int i = 0; i < 18; ++i) EXPECT_TRUE(maptest::sameBits(read[i], double(values[i]))) << i;
}

TEST(WalkMeshReader, TheLargestMeshIsAccepted) {
    const std::vector<WalkTriangle> grid = largeGrid();
    ASSERT_EQ(grid.size(), 16384u);
    WalkMesh target;
    readWalkMesh(target, writeWalkMesh(grid));
    EXPECT_TRUE(sameTriangles(target.triangles, grid));
    ASSERT_NE(target.navigation, nullptr);
    EXPECT_EQ(target.navigation->triangleCount, 16384);
}

TEST(WalkMeshReader, EveryKitMapRoundTripsBitForBit) {
    for (const std::string& name : kitWalkMeshNames()) {
        SCOPED_TRACE(name);
        const std::vector<WalkTriangle> kit = kitWalkMesh(name);
        WalkMesh target;
        readWalkMesh(target, writeWalkMesh(kit));
        EXPECT_TRUE(sameTriangles(target.triangles, kit));
        ASSERT_NE(target.navigation, nullptr);
        EXPECT_EQ(target.navigation->triangleCount, int32_t(kit.size()));
    }
}

TEST(WalkMeshReader, ASuccessfulReadReplacesTrianglesNavigationAndWalls) {
    WalkMesh target;
    readWalkMesh(target, writeWalkMesh(walledRoom()));
    const std::weak_ptr<rpg::WalkMesh> oldNavigation = target.navigation;
    EXPECT_FALSE(target.walls.empty());

    readWalkMesh(target, writeWalkMesh(flatFloor()));
    EXPECT_TRUE(sameTriangles(target.triangles, flatFloor()));
    EXPECT_TRUE(oldNavigation.expired()) << "the previous navigation mesh must be released";
    ASSERT_NE(target.navigation, nullptr);
    EXPECT_EQ(target.navigation->triangleCount, 2);
    // The four outer edges of the lone square stand open with nothing beyond.
    ASSERT_EQ(target.walls.size(), 4u);
    for (const WallSegment& wall : target.walls) EXPECT_TRUE(std::isinf(wall.top0) && std::isinf(wall.top1));
}

TEST(WalkMeshReader, ASharedNavigationMeshSurvivesTheReplacement) {
    Scene live;
    readWalkMesh(live.walkMesh, writeWalkMesh(stepUp(0.5)));
    const Scene fade = live;
    readWalkMesh(live.walkMesh, writeWalkMesh(flatFloor()));
    ASSERT_NE(fade.walkMesh.navigation, nullptr);
    EXPECT_EQ(fade.walkMesh.navigation->triangleCount, 6);
    EXPECT_NE(fade.walkMesh.navigation, live.walkMesh.navigation);
}

// Thousands of isolated triangles within every limit of the format still
// give more boundary walls than a walk mesh may hold: the budget code of the
// wall extraction passes through the reader and nothing is replaced.
TEST(WalkMeshReader, AWallBudgetFaultLeavesThePreviousMesh) {
    WalkMesh target;
    readWalkMesh(target, writeWalkMesh(flatFloor()));
    const rpg::WalkMesh* navigation = target.navigation.get();

    const std::vector<WalkTriangle> soup = unweldedSoup(128, 64, 0.5, 0.25);
    ASSERT_EQ(soup.size(), 16384u);
    EXPECT_EQ(errorOf([&] { readWalkMesh(target, writeWalkMesh(soup)); }), "ERR_WALKMESH_BUDGET");
    EXPECT_TRUE(sameTriangles(target.triangles, flatFloor()));
    EXPECT_EQ(target.navigation.get(), navigation);
    EXPECT_EQ(target.walls.size(), 4u);
}

}  // namespace
}  // namespace vobu
