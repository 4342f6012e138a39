#include "editor/paint_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

namespace vobu {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kInk = 0x123456;

Character plainCharacter(int w, int h, int d, uint32_t color) {
    Character c;
    c.setSize(w, h, d);
    for (auto& face : c.faces) std::fill(face.begin(), face.end(), color);
    return c;
}

uint32_t texel(const Character& c, int face, int x, int y) { return c.faces[face][y * kFaceCanvasSide + x]; }

int countColor(const Character& c, int face, uint32_t color) {
    return int(std::count(c.faces[face].begin(), c.faces[face].end(), color));
}

FaceRect wholeFace(const Character& c, int face) {
    auto [w, h] = c.faceSize(face);
    return {0, 0, w, h};
}

// -- hsvToRgb ----------------------------------------------------------------

void expectColor(const Color& c, float r, float g, float b) {
    EXPECT_NEAR(c.r, r, 1e-5f);
    EXPECT_NEAR(c.g, g, 1e-5f);
    EXPECT_NEAR(c.b, b, 1e-5f);
}

TEST(HsvToRgb, PrimaryHuesAndWrapping) {
    expectColor(hsvToRgb(0.0f, 1.0f, 1.0f), 1, 0, 0);
    expectColor(hsvToRgb(1.0f / 3.0f, 1.0f, 1.0f), 0, 1, 0);
    expectColor(hsvToRgb(2.0f / 3.0f, 1.0f, 1.0f), 0, 0, 1);
    expectColor(hsvToRgb(0.5f, 1.0f, 1.0f), 0, 1, 1);
    expectColor(hsvToRgb(1.5f, 1.0f, 1.0f), 0, 1, 1);
    expectColor(hsvToRgb(-0.5f, 1.0f, 1.0f), 0, 1, 1);
    expectColor(hsvToRgb(1.0f / 6.0f, 1.0f, 0.5f), 0.5f, 0.5f, 0);
}

TEST(HsvToRgb, NoSaturationIsGrey) {
    for (float hue : {0.0f, 0.2f, 0.7f, 3.9f, -2.3f}) {
        expectColor(hsvToRgb(hue, 0.0f, 0.25f), 0.25f, 0.25f, 0.25f);
    }
}

TEST(HsvToRgb, HueJustBelowAWholeNumberIsRedNotASeventhSector) {
    // -1e-9 - floor(-1e-9) rounds to exactly 1.0f.
    for (float hue : {-1e-9f, 0.99999999f, 2.9999999f, -3e-8f}) {
        expectColor(hsvToRgb(hue, 1.0f, 1.0f), 1, 0, 0);
    }
}

TEST(HsvToRgb, ChannelsStayBetweenMinimumAndValueAllAroundTheWheel) {
    for (int step = -600; step <= 1200; ++step) {
        const Color c = hsvToRgb(step / 600.0f, 0.75f, 0.8f);
        for (float channel : {c.r, c.g, c.b}) {
            EXPECT_GE(channel, 0.8f * 0.25f - 1e-5f) << step;
            EXPECT_LE(channel, 0.8f + 1e-5f) << step;
        }
        EXPECT_NEAR(std::max({c.r, c.g, c.b}), 0.8f, 1e-5f) << step;
    }
}

TEST(HsvToRgb, NonFiniteHueStillGivesAColour) {
    const Color c = hsvToRgb(std::nanf(""), 1.0f, 1.0f);
    expectColor(c, 1, 0, 0);
}

// -- brushCovers -------------------------------------------------------------

// An independent integer form of the footprint: doubling every coordinate
// turns the half-texel centre of even brushes into whole numbers.
bool bruteForceCovers(int dx, int dy, int size, bool round) {
    const int low = -(size / 2);
    const int high = low + size - 1;
    if (dx < low || dx > high || dy < low || dy > high) return false;
    if (!round) return true;
    const int shift = size % 2 == 0 ? 1 : 0;
    const int ex = 2 * dx + shift;
    const int ey = 2 * dy + shift;
    return ex * ex + ey * ey <= size * size;
}

TEST(BrushCovers, FootprintsOfEverySizeMatchABruteForceCount) {
    for (bool round : {false, true}) {
        for (int size = 1; size <= 16; ++size) {
            int covered = 0;
            int expected = 0;
            for (int dy = -20; dy <= 20; ++dy) {
                for (int dx = -20; dx <= 20; ++dx) {
                    const bool got = brushCovers(dx, dy, size, round);
                    EXPECT_EQ(got, bruteForceCovers(dx, dy, size, round))
                        << "size " << size << " round " << round << " at " << dx << "," << dy;
                    covered += got;
                    expected += bruteForceCovers(dx, dy, size, round);
                }
            }
            EXPECT_EQ(covered, expected);
            if (!round) {
                EXPECT_EQ(covered, size * size);
            }
        }
    }
}

TEST(BrushCovers, StampedFootprintEqualsTheCoveredCount) {
    for (bool round : {false, true}) {
        for (int size = 1; size <= 16; ++size) {
            Character c = plainCharacter(64, 64, 64, kWhite);
            paintStroke(c, FaceFront, 32, 32, 32, 32, size, round, kInk, wholeFace(c, FaceFront));
            int expected = 0;
            for (int dy = -8; dy <= 8; ++dy) {
                for (int dx = -8; dx <= 8; ++dx) {
                    const bool covers = bruteForceCovers(dx, dy, size, round);
                    expected += covers;
                    EXPECT_EQ(texel(c, FaceFront, 32 + dx, 32 + dy) == kInk, covers) << size << " " << round;
                }
            }
            EXPECT_EQ(countColor(c, FaceFront, kInk), expected);
        }
    }
}

TEST(BrushCovers, RoundBrushCorners) {
    for (auto [dx, dy] : {std::pair{-2, -2}, {1, -2}, {-2, 1}, {1, 1}}) EXPECT_FALSE(brushCovers(dx, dy, 4, true));
    EXPECT_TRUE(brushCovers(-1, -2, 4, true));
    EXPECT_TRUE(brushCovers(0, 1, 4, true));
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) EXPECT_TRUE(brushCovers(dx, dy, 3, true));
    }
    for (int dy = -2; dy <= 2; ++dy) {
        for (int dx = -2; dx <= 2; ++dx) {
            EXPECT_EQ(brushCovers(dx, dy, 5, true), std::abs(dx) != 2 || std::abs(dy) != 2) << dx << "," << dy;
        }
    }
    EXPECT_FALSE(brushCovers(0, 0, 0, false));
    EXPECT_FALSE(brushCovers(0, 0, -3, true));
}

// -- lineTexels --------------------------------------------------------------

void expectSoundLine(int x0, int y0, int x1, int y1) {
    SCOPED_TRACE(testing::Message() << "(" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ")");
    const auto points = lineTexels(x0, y0, x1, y1);
    const int dx = std::abs(x1 - x0);
    const int dy = std::abs(y1 - y0);
    ASSERT_EQ(points.size(), size_t(std::max(dx, dy) + 1));
    EXPECT_EQ(points.front(), std::make_pair(x0, y0));
    EXPECT_EQ(points.back(), std::make_pair(x1, y1));
    std::set<std::pair<int, int>> distinct(points.begin(), points.end());
    EXPECT_EQ(distinct.size(), points.size());
    for (size_t i = 1; i < points.size(); ++i) {
        const int stepX = points[i].first - points[i - 1].first;
        const int stepY = points[i].second - points[i - 1].second;
        // 8-connected, and always moving toward the far end.
        EXPECT_LE(std::abs(stepX), 1);
        EXPECT_LE(std::abs(stepY), 1);
        EXPECT_TRUE(stepX == 0 || stepX == (x1 > x0 ? 1 : -1));
        EXPECT_TRUE(stepY == 0 || stepY == (y1 > y0 ? 1 : -1));
    }
    // Every point lies within half a texel of the ideal line along its minor axis.
    for (auto [x, y] : points) {
        if (dx >= dy) {
            const double ideal = y0 + double(y1 - y0) * (x - x0) / (x1 - x0);
            EXPECT_LE(std::fabs(y - ideal), 0.5 + 1e-9);
        } else {
            const double ideal = x0 + double(x1 - x0) * (y - y0) / (y1 - y0);
            EXPECT_LE(std::fabs(x - ideal), 0.5 + 1e-9);
        }
    }
}

TEST(LineTexels, AllEightOctantsAndTheAxes) {
    const std::pair<int, int> ends[] = {{7, 3},  {3, 7},  {-3, 7},  {-7, 3}, {-7, -3}, {-3, -7},
                                        {3, -7}, {7, -3}, {9, 0},   {0, 9},  {-9, 0},  {0, -9},
                                        {5, 5},  {-5, 5}, {-5, -5}, {5, -5}, {13, 1},  {1, -13}};
    for (auto [ex, ey] : ends) {
        expectSoundLine(10, 20, 10 + ex, 20 + ey);
    }
}

TEST(LineTexels, KnownShallowLineAndSinglePoint) {
    const std::vector<std::pair<int, int>> expected = {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}, {5, 2}};
    EXPECT_EQ(lineTexels(0, 0, 5, 2), expected);
    EXPECT_EQ(lineTexels(4, -3, 4, -3), (std::vector<std::pair<int, int>>{{4, -3}}));
}

// -- paintStroke -------------------------------------------------------------

TEST(PaintStroke, PenFollowsTheLineAndEqualEndsStampOnce) {
    Character c = plainCharacter(32, 64, 32, kWhite);
    paintStroke(c, FaceFront, 0, 0, 5, 2, 1, false, kInk, wholeFace(c, FaceFront));
    EXPECT_EQ(countColor(c, FaceFront, kInk), 6);
    for (auto [x, y] : lineTexels(0, 0, 5, 2)) EXPECT_EQ(texel(c, FaceFront, x, y), kInk);

    Character once = plainCharacter(32, 64, 32, kWhite);
    paintStroke(once, FaceFront, 10, 10, 10, 10, 3, false, kInk, wholeFace(once, FaceFront));
    EXPECT_EQ(countColor(once, FaceFront, kInk), 9);
}

TEST(PaintStroke, LargeBrushAtTheCornerStaysInsideFaceAndRectangle) {
    Character c = plainCharacter(20, 30, 16, kWhite);
    // Top face is 20 x 16; nothing beyond it in the 64 x 64 canvas may change.
    paintStroke(c, FaceTop, 19, 15, 19, 15, 16, false, kInk, wholeFace(c, FaceTop));
    // Offsets -8..7 around (19, 15): columns 11..19 and rows 7..15 lie on the face.
    for (int y = 0; y < kFaceCanvasSide; ++y) {
        for (int x = 0; x < kFaceCanvasSide; ++x) {
            const bool inside = x >= 11 && x < 20 && y >= 7 && y < 16;
            EXPECT_EQ(texel(c, FaceTop, x, y), inside ? kInk : kWhite) << x << "," << y;
        }
    }

    Character r = plainCharacter(32, 64, 32, kWhite);
    paintStroke(r, FaceFront, 0, 0, 0, 0, 16, true, kInk, FaceRect{0, 0, 3, 2});
    EXPECT_EQ(countColor(r, FaceFront, kInk), 6);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(texel(r, FaceFront, x, y), kInk);
    }
}

TEST(PaintStroke, NothingForSizeZeroOrABadFace) {
    Character c = plainCharacter(32, 64, 32, kWhite);
    const Character before = c;
    paintStroke(c, FaceFront, 0, 0, 10, 10, 0, true, kInk, wholeFace(c, FaceFront));
    paintStroke(c, 6, 0, 0, 10, 10, 4, true, kInk, wholeFace(c, FaceFront));
    paintStroke(c, -1, 0, 0, 10, 10, 4, true, kInk, wholeFace(c, FaceFront));
    EXPECT_EQ(c.faces, before.faces);
}

TEST(PaintStroke, SizesBeyondTheCanvasNeverReachPastIt) {
    // Sizes set around setSize's clamp: the operations still stay on the 64 x 64 canvas.
    Character c = plainCharacter(64, 64, 64, kWhite);
    c.width = 200;
    c.height = 90;
    const FaceRect all{0, 0, 1000, 1000};
    paintStroke(c, FaceFront, 60, 60, 150, 80, 16, false, kInk, all);
    floodFill(c, FaceFront, 0, 0, 0x00FF00, all);
    EXPECT_EQ(countColor(c, FaceFront, 0x00FF00) + countColor(c, FaceFront, kInk), kFaceCanvasTexels);
    RgbaImage big{100, 100, std::vector<uint8_t>(100 * 100 * 4, 255)};
    blendImageOntoFace(c, FaceFront, 0, 0, big);
    EXPECT_EQ(countColor(c, FaceFront, 0xFFFFFF), kFaceCanvasTexels);
    const RgbaImage copy = copyFaceRegion(c, FaceFront, 0, 0, 500, 500);
    EXPECT_EQ(copy.width, 64);
    EXPECT_EQ(copy.height, 64);
}

// -- floodFill ---------------------------------------------------------------

// A one-texel-wide corridor spiralling in from the outer corner of a
// 64 x 64 face, walls between its turns: the longest region a face can hold.
Character spiralCharacter(int& corridorTexels) {
    constexpr uint32_t kWall = 0x000000;
    Character c = plainCharacter(64, 64, 64, kWall);
    corridorTexels = 0;
    int x = 0, y = 0, left = 0, top = 0, right = 63, bottom = 63;
    auto carve = [&](int cx, int cy) {
        uint32_t& t = c.faces[FaceFront][cy * kFaceCanvasSide + cx];
        if (t != kWhite) ++corridorTexels;
        t = kWhite;
    };
    while (left <= right && top <= bottom) {
        for (x = left; x <= right; ++x) carve(x, top);
        for (y = top; y <= bottom; ++y) carve(right, y);
        if (top + 2 > bottom || left + 2 > right) break;
        for (x = right; x >= left; --x) carve(x, bottom);
        for (y = bottom; y >= top + 2; --y) carve(left, y);
        carve(left + 1, top + 2);
        left += 2;
        top += 2;
        right -= 2;
        bottom -= 2;
    }
    return c;
}

TEST(FloodFill, FillsAWholeFaceSpiralWithoutRecursion) {
    int corridor = 0;
    Character c = spiralCharacter(corridor);
    const Character before = c;
    ASSERT_GT(corridor, 2000);
    floodFill(c, FaceFront, 0, 0, kInk, wholeFace(c, FaceFront));
    EXPECT_EQ(countColor(c, FaceFront, kInk), corridor);
    EXPECT_EQ(countColor(c, FaceFront, kWhite), 0);
    EXPECT_EQ(countColor(c, FaceFront, 0x000000), countColor(before, FaceFront, 0x000000));

    // All 4096 texels of one colour.
    Character plain = plainCharacter(64, 64, 64, kWhite);
    floodFill(plain, FaceFront, 63, 63, kInk, wholeFace(plain, FaceFront));
    EXPECT_EQ(countColor(plain, FaceFront, kInk), 4096);
}

TEST(FloodFill, ExactColourFourNeighboursOnly) {
    Character c = plainCharacter(32, 64, 32, kWhite);
    // A diagonal wall splits the corner; the other side touches only corner to corner.
    for (int i = 0; i < 8; ++i) c.faces[FaceFront][i * kFaceCanvasSide + (7 - i)] = 0x000000;
    c.faces[FaceFront][1 * kFaceCanvasSide + 1] = kWhite - 1;  // near-equal is not equal
    floodFill(c, FaceFront, 0, 0, kInk, wholeFace(c, FaceFront));
    EXPECT_EQ(countColor(c, FaceFront, kInk), 28 - 1);
    EXPECT_EQ(texel(c, FaceFront, 1, 1), kWhite - 1);
    EXPECT_EQ(texel(c, FaceFront, 7, 7), kWhite);
}

TEST(FloodFill, SelectionLimitsAndNoOps) {
    Character c = plainCharacter(32, 64, 32, kWhite);
    floodFill(c, FaceFront, 12, 12, kInk, FaceRect{10, 10, 10, 10});
    EXPECT_EQ(countColor(c, FaceFront, kInk), 100);
    for (int y = 10; y < 20; ++y) {
        for (int x = 10; x < 20; ++x) EXPECT_EQ(texel(c, FaceFront, x, y), kInk);
    }

    const Character before = c;
    floodFill(c, FaceFront, 12, 12, kInk, FaceRect{10, 10, 10, 10});    // already that colour
    floodFill(c, FaceFront, 5, 5, 0x00FF00, FaceRect{10, 10, 10, 10});  // outside the selection
    floodFill(c, FaceFront, 40, 5, 0x00FF00, FaceRect{0, 0, 64, 64});   // outside the 32-wide face
    floodFill(c, FaceFront, -1, 5, 0x00FF00, FaceRect{-10, -10, 64, 64});
    EXPECT_EQ(c.faces, before.faces);
}

// -- blendImageOntoFace ------------------------------------------------------

RgbaImage onePixel(uint8_t r, uint8_t g, uint8_t b, uint8_t a) { return RgbaImage{1, 1, {r, g, b, a}}; }

TEST(BlendImageOntoFace, AlphaTable) {
    struct Case {
        int alpha;
        uint32_t overWhite;  // red (255, 0, 0) over 0xFFFFFF
        uint32_t overBlack;  // (200, 200, 200) over 0x000000
    };
    const Case cases[] = {
        {0, 0xFFFFFF, 0x000000},   {1, 0xFFFEFE, 0x010101},   {127, 0xFF8080, 0x646464},
        {128, 0xFF7F7F, 0x646464}, {254, 0xFF0101, 0xC7C7C7}, {255, 0xFF0000, 0xC8C8C8},
    };
    for (const Case& k : cases) {
        Character white = plainCharacter(32, 64, 32, kWhite);
        blendImageOntoFace(white, FaceFront, 3, 4, onePixel(255, 0, 0, uint8_t(k.alpha)));
        EXPECT_EQ(texel(white, FaceFront, 3, 4), k.overWhite) << "alpha " << k.alpha;
        Character black = plainCharacter(32, 64, 32, 0x000000);
        blendImageOntoFace(black, FaceFront, 3, 4, onePixel(200, 200, 200, uint8_t(k.alpha)));
        EXPECT_EQ(texel(black, FaceFront, 3, 4), k.overBlack) << "alpha " << k.alpha;
        EXPECT_EQ(countColor(white, FaceFront, kWhite), kFaceCanvasTexels - (k.alpha ? 1 : 0));
    }
}

TEST(BlendImageOntoFace, ClipsToTheFaceNotTheSelection) {
    Character c = plainCharacter(16, 16, 16, kWhite);
    RgbaImage image{4, 3, std::vector<uint8_t>(4 * 3 * 4, 0)};
    for (size_t i = 0; i < image.pixels.size(); i += 4) image.pixels[i + 3] = 255;
    blendImageOntoFace(c, FaceFront, -2, 14, image);  // only 2 x 2 of it lands on the face
    EXPECT_EQ(countColor(c, FaceFront, 0x000000), 4);
    EXPECT_EQ(texel(c, FaceFront, 0, 14), 0x000000u);
    EXPECT_EQ(texel(c, FaceFront, 1, 15), 0x000000u);
    EXPECT_EQ(texel(c, FaceFront, 2, 14), kWhite);
    EXPECT_EQ(texel(c, FaceFront, 0, 16), kWhite);  // beyond the face, inside the canvas
}

TEST(BlendImageOntoFace, InvalidImagesChangeNothing) {
    Character c = plainCharacter(32, 64, 32, kWhite);
    const Character before = c;
    blendImageOntoFace(c, FaceFront, 0, 0, RgbaImage{});
    blendImageOntoFace(c, FaceFront, 0, 0, RgbaImage{2, 2, std::vector<uint8_t>(15, 0)});
    blendImageOntoFace(c, FaceFront, 0, 0, RgbaImage{4097, 1, std::vector<uint8_t>(4097 * 4, 255)});
    EXPECT_EQ(c.faces, before.faces);
}

// -- copyFaceRegion ----------------------------------------------------------

Character gradientCharacter() {
    Character c;  // 32 x 64 x 32
    for (int y = 0; y < kFaceCanvasSide; ++y) {
        for (int x = 0; x < kFaceCanvasSide; ++x)
            c.faces[FaceFront][y * kFaceCanvasSide + x] = (x << 16) | (y << 8) | 7;
    }
    return c;
}

void expectCopied(const RgbaImage& image, int x0, int y0) {
    for (int j = 0; j < image.height; ++j) {
        for (int i = 0; i < image.width; ++i) {
            const uint8_t* p = &image.pixels[(j * image.width + i) * 4];
            EXPECT_EQ(p[0], x0 + i);
            EXPECT_EQ(p[1], y0 + j);
            EXPECT_EQ(p[2], 7);
            EXPECT_EQ(p[3], 255);
        }
    }
}

TEST(CopyFaceRegion, CutsToTheFace) {
    const Character c = gradientCharacter();
    const RgbaImage corner = copyFaceRegion(c, FaceFront, 30, 60, 10, 10);
    ASSERT_TRUE(isValidImage(corner));
    EXPECT_EQ(corner.width, 2);
    EXPECT_EQ(corner.height, 4);
    expectCopied(corner, 30, 60);

    const RgbaImage beyond = copyFaceRegion(c, FaceFront, 40, 0, 5, 5);
    EXPECT_EQ(beyond.width, 0);
    EXPECT_EQ(beyond.height, 0);
    EXPECT_TRUE(beyond.pixels.empty());
    EXPECT_FALSE(isValidImage(copyFaceRegion(c, FaceFront, 0, 0, 0, 5)));
    EXPECT_FALSE(isValidImage(copyFaceRegion(c, 7, 0, 0, 5, 5)));
}

TEST(CopyFaceRegion, NegativeOriginRaisesToZeroWithoutShrinking) {
    const Character c = gradientCharacter();
    const RgbaImage image = copyFaceRegion(c, FaceFront, -5, -3, 10, 6);
    ASSERT_TRUE(isValidImage(image));
    EXPECT_EQ(image.width, 10);
    EXPECT_EQ(image.height, 6);
    expectCopied(image, 0, 0);

    const RgbaImage whole = copyFaceRegion(c, FaceFront, -100, -100, 1000, 1000);
    EXPECT_EQ(whole.width, 32);
    EXPECT_EQ(whole.height, 64);
    expectCopied(whole, 0, 0);
}

TEST(CopyFaceRegion, BlendingTheCopyBackRestoresTheFace) {
    Character c = gradientCharacter();
    const Character before = c;
    const RgbaImage image = copyFaceRegion(c, FaceFront, 0, 0, 32, 64);
    for (auto& t : c.faces[FaceFront]) t = 0;
    blendImageOntoFace(c, FaceFront, 0, 0, image);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x) EXPECT_EQ(texel(c, FaceFront, x, y), texel(before, FaceFront, x, y));
    }
}

}  // namespace
}  // namespace vobu
