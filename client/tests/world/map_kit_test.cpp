// The map kit and the writers: the geometry the movement tests rely on, and
// the writers refusing what the readers would reject.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <set>
#include <stdexcept>
#include <tuple>

#include "map_test_support.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/map_readers.h"

namespace vobu {
namespace {

using namespace mapkit;

double groundArea(const WalkTriangle& t) { return (t.x1 - t.x0) * (t.y2 - t.y0) - (t.y1 - t.y0) * (t.x2 - t.x0); }

bool isLevel(const WalkTriangle& t) { return t.z0 == t.z1 && t.z1 == t.z2; }

// Heights of the level, counter-clockwise triangles, each once.
std::set<double> floorHeights(const std::vector<WalkTriangle>& triangles) {
    std::set<double> heights;
    for (const WalkTriangle& t : triangles)
        if (groundArea(t) > 0 && isLevel(t)) heights.insert(t.z0);
    return heights;
}

double totalFloorArea(const std::vector<WalkTriangle>& triangles) {
    double area = 0;
    for (const WalkTriangle& t : triangles)
        if (groundArea(t) > 0) area += groundArea(t) / 2;
    return area;
}

int verticalCount(const std::vector<WalkTriangle>& triangles) {
    int count = 0;
    for (const WalkTriangle& t : triangles)
        if (groundArea(t) == 0) ++count;
    return count;
}

TEST(MapKit, EveryCoordinateIsAFloat) {
    for (const std::string& name : kitWalkMeshNames()) {
        for (const WalkTriangle& t : kitWalkMesh(name)) {
            const double* c = &t.x0;
            for (int i = 0; i < 9; ++i) ASSERT_EQ(c[i], double(float(c[i]))) << name;
        }
    }
}

struct KitShape {
    const char* name;
    size_t triangles;
    int vertical;
    double floorArea;
    std::set<double> heights;
};

TEST(MapKit, ShapesAreAsDocumented) {
    const float rise55 = 0.55f, drop6 = 0.6f;
    const KitShape shapes[] = {
        {"flat", 2, 0, 400, {0}},
        {"step-0.5", 6, 2, 100, {0, 0.5}},
        {"step-0.55", 6, 2, 100, {0, double(rise55)}},
        {"ledge-0.5", 6, 2, 100, {-0.5, 0}},
        {"ledge-0.6", 6, 2, 100, {-double(drop6), 0}},
        {"room", 40, 8, 100, {0}},
        {"low-wall", 10, 4, 200, {0, double(0.3f)}},
        {"half-border", 4, 0, 24, {0, double(0.3f)}},
        {"seam", 4, 0, 105, {0}},
        {"fan", 24, 0, -1, {0}},
    };
    for (const KitShape& s : shapes) {
        SCOPED_TRACE(s.name);
        const std::vector<WalkTriangle> mesh = kitWalkMesh(s.name);
        EXPECT_EQ(mesh.size(), s.triangles);
        EXPECT_EQ(verticalCount(mesh), s.vertical);
        if (s.floorArea > 0) {
            EXPECT_NEAR(totalFloorArea(mesh), s.floorArea, 1e-9);
        }
        EXPECT_EQ(floorHeights(mesh), s.heights);
    }
}

TEST(MapKit, RampsRiseAtTheirAngle) {
    const std::tuple<const char*, double, double> ramps[] = {{"ramp-30", 30, 4}, {"slope-75", 75, 2}};
    for (const auto& [name, degrees, run] : ramps) {
        SCOPED_TRACE(name);
        const std::vector<WalkTriangle> mesh = kitWalkMesh(name);
        ASSERT_EQ(mesh.size(), 6u);
        // Triangles 2 and 3 are the slope: from x = 0 at z = 0 to x = run.
        for (int i : {2, 3}) {
            const WalkTriangle& t = mesh[size_t(i)];
            EXPECT_GT(groundArea(t), 0);
            const double dz = std::max({t.z0, t.z1, t.z2}) - std::min({t.z0, t.z1, t.z2});
            EXPECT_NEAR(std::atan2(dz, run) * 180 / std::numbers::pi, degrees, 1e-5);
        }
        EXPECT_NEAR(*floorHeights(mesh).rbegin(), run * std::tan(degrees * std::numbers::pi / 180), 1e-6);
    }
}

TEST(MapKit, TheFanSharesOneCentre) {
    for (int segments : {3, 17, 24}) {
        const std::vector<WalkTriangle> fan = triangleFan(segments);
        ASSERT_EQ(fan.size(), size_t(segments));
        for (size_t k = 0; k < fan.size(); ++k) {
            EXPECT_EQ(fan[k].x0, 0.0);
            EXPECT_EQ(fan[k].y0, 0.0);
            EXPECT_GT(groundArea(fan[k]), 0);
            // Rim vertices weld: each triangle's last vertex is the next one's first rim vertex.
            const WalkTriangle& next = fan[(k + 1) % fan.size()];
            EXPECT_EQ(fan[k].x2, next.x1);
            EXPECT_EQ(fan[k].y2, next.y1);
        }
    }
    EXPECT_THROW(triangleFan(2), std::invalid_argument);
}

TEST(MapKit, TheLargeGridIsWalkableRollingTerrain) {
    const std::vector<WalkTriangle> grid = largeGrid();
    ASSERT_EQ(grid.size(), 16384u);
    double lowest = 1, highest = -1;
    for (const WalkTriangle& t : grid) {
        ASSERT_GT(groundArea(t), 0);
        // Upward normal of the triangle; walkable means its vertical share is at least 0.35.
        const double ux = t.x1 - t.x0, uy = t.y1 - t.y0, uz = t.z1 - t.z0;
        const double vx = t.x2 - t.x0, vy = t.y2 - t.y0, vz = t.z2 - t.z0;
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        ASSERT_GE(nz / std::sqrt(nx * nx + ny * ny + nz * nz), 0.35);
        lowest = std::min({lowest, t.z0, t.z1, t.z2});
        highest = std::max({highest, t.z0, t.z1, t.z2});
    }
    EXPECT_GE(lowest, -0.125);
    EXPECT_LE(highest, 0.125);
    EXPECT_GT(highest - lowest, 0.2) << "the terrain is not flat";
    EXPECT_NEAR(totalFloorArea(grid), 64.0 * 32.0, 1e-6);
    EXPECT_TRUE(maptest::sameTriangles(grid, largeGrid())) << "the terrain is the same on every call";
}

TEST(MapKit, TheSoupSharesNoVertex) {
    const std::vector<WalkTriangle> soup = unweldedSoup(4, 3, 1.0, 0.001);
    ASSERT_EQ(soup.size(), 24u);
    std::set<std::tuple<float, float, float>> seen;
    for (const WalkTriangle& t : soup) {
        EXPECT_GT(groundArea(t), 0);
        for (int v = 0; v < 3; ++v) {
            const double* p = &t.x0 + 3 * v;
            EXPECT_TRUE(seen.insert({float(p[0]), float(p[1]), float(p[2])}).second);
        }
    }
}

TEST(MapKit, UnknownNamesAreRefused) { EXPECT_THROW(kitWalkMesh("volcano"), std::invalid_argument); }

TEST(MapKit, TheRenderMapHasAnOpaqueAndATranslucentTexture) {
    const KitRenderMap kit = twoMaterialRenderMap();
    ASSERT_EQ(kit.materials.size(), 2u);
    ASSERT_EQ(kit.textures.size(), 2u);
    Scene scene;
    readRenderMesh(scene, writeRenderMesh(kit.materials));
    for (const KitTexture& t : kit.textures) readTexture(scene, t.slot, writeTexture(t.width, t.height, t.rgba));
    EXPECT_FALSE(scene.textures[0].hasTransparency);
    EXPECT_TRUE(scene.textures[1].hasTransparency);
    EXPECT_EQ(scene.textures[0].width, 16);
    EXPECT_EQ(scene.textures[1].width, 8);
}

TEST(MapWriter, WritesLittleEndianLayouts) {
    ByteWriter out;
    out.u16(0x0102);
    out.u32(0x03040506u);
    out.i32(-2);
    out.f32(1.0f);
    EXPECT_EQ(out.data(), (std::vector<uint8_t>{2, 1, 6, 5, 4, 3, 0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0x80, 0x3F}));

    const std::vector<uint8_t> walk = writeWalkMesh(flatFloor());
    ASSERT_EQ(walk.size(), kWalkHeaderBytes + 2 * kWalkTriangleBytes);
    EXPECT_EQ(std::string(walk.begin(), walk.begin() + 4), "VBW4");
    EXPECT_EQ(walk[4], 2);

    const std::vector<uint8_t> texture = writeTexture(2, 1, {1, 2, 3, 4, 1, 2, 3, 4});
    EXPECT_EQ(texture, (std::vector<uint8_t>{'V', 'B', 'T', '2', 2, 0, 1, 0, 1, 2, 0, 1, 2, 3, 4}));
}

TEST(MapWriter, LongRunsAreSplitAtTheCountLimit) {
    const std::vector<uint8_t> rgba(256 * 256 * 4, 9);
    const std::vector<uint8_t> bytes = writeTexture(256, 256, rgba);
    ASSERT_EQ(bytes.size(), kTextureHeaderBytes + 2 * 6);
    EXPECT_EQ(bytes[9] | bytes[10] << 8, 65535);
    EXPECT_EQ(bytes[15] | bytes[16] << 8, 1);
}

TEST(MapWriter, RefusesWhatTheReadersReject) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto material = [] {
        RenderMaterial m;
        addRenderQuad(m, 0, 0, 1, 1, 0, 0.5f, 0.5f, 0.5f);
        return m;
    };
    const std::vector<std::pair<const char*, std::function<void()>>> refusals = {
        {"no walk triangles", [] { writeWalkMesh({}); }},
        {"too many walk triangles", [] { writeWalkMesh(std::vector<WalkTriangle>(16385)); }},
        {"walk coordinate 4097",
         [] {
             writeWalkMesh({WalkTriangle{0, 0, 4097}});
         }},
        {"walk coordinate NaN",
         [nan] {
             writeWalkMesh({WalkTriangle{0, 0, 0, nan}});
         }},
        {"no materials", [] { writeRenderMesh({}); }},
        {"seventeen materials",
         [&] {
             std::vector<RenderMaterial> many(17, material());
             for (uint32_t i = 0; i < 17; ++i) many[i].number = i;
             writeRenderMesh(many);
         }},
        {"misnumbered",
         [&] {
             auto m = material();
             m.number = 1;
             writeRenderMesh({m});
         }},
        {"ragged vertices",
         [&] {
             auto m = material();
             m.vertices.pop_back();
             writeRenderMesh({m});
         }},
        {"four indices",
         [&] {
             auto m = material();
             m.indices.resize(4);
             writeRenderMesh({m});
         }},
        {"index past the vertices",
         [&] {
             auto m = material();
             m.indices[2] = 4;
             writeRenderMesh({m});
         }},
        {"colour over 1",
         [&] {
             auto m = material();
             m.vertices[8] = 1.01f;
             writeRenderMesh({m});
         }},
        {"normal too long",
         [&] {
             auto m = material();
             m.vertices[5] = 1.01f;
             writeRenderMesh({m});
         }},
        {"texture width 3", [] { writeTexture(3, 1, std::vector<uint8_t>(12)); }},
        {"texture width 512", [] { writeTexture(512, 1, std::vector<uint8_t>(2048)); }},
        {"texture bytes short", [] { writeTexture(2, 2, std::vector<uint8_t>(15)); }},
    };
    for (const auto& [name, call] : refusals) EXPECT_THROW(call(), std::invalid_argument) << name;
}

}  // namespace
}  // namespace vobu
