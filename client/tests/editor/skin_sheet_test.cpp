#include "editor/skin_sheet.h"

#include <random>

#include <gtest/gtest.h>

#include "editor/paint_ops.h"

namespace vobu {
namespace {

Character randomCharacter(int w, int h, int d, uint32_t seed) {
    Character c;
    c.setSize(w, h, d);
    std::mt19937 random(seed);
    for (auto& face : c.faces) {
        for (auto& texel : face) texel = random() & 0xFFFFFF;
    }
    return c;
}

uint32_t texel(const Character& c, int face, int x, int y) { return c.faces[face][y * kFaceCanvasSide + x]; }

void expectSameFaces(const Character& got, const Character& want) {
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    ASSERT_EQ(got.depth, want.depth);
    for (int face = 0; face < kFaceCount; ++face) {
        auto [w, h] = want.faceSize(face);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(texel(got, face, x, y), texel(want, face, x, y)) << face << " " << x << "," << y;
            }
        }
    }
}

uint8_t* pixelAt(RgbaImage& image, int x, int y) { return &image.pixels[(size_t(y) * image.width + x) * 4]; }

// The sheet pasted into a larger transparent image at (left, top).
RgbaImage placed(const RgbaImage& sheet, int width, int height, int left, int top) {
    RgbaImage out{width, height, std::vector<uint8_t>(size_t(width) * height * 4, 0)};
    for (int y = 0; y < sheet.height; ++y) {
        for (int x = 0; x < sheet.width; ++x) {
            std::copy_n(&sheet.pixels[(size_t(y) * sheet.width + x) * 4], 4, pixelAt(out, left + x, top + y));
        }
    }
    return out;
}

// A net of any size painted straight from the layout, opaque grey.
RgbaImage opaqueNet(int w, int h, int d) {
    RgbaImage net{2 * (w + d), h + 2 * d, {}};
    net.pixels.assign(size_t(net.width) * net.height * 4, 0);
    struct Rect {
        int x, y, w, h;
    };
    for (Rect r :
         {Rect{d, 0, w, d}, {0, d, d, h}, {d, d, w, h}, {w + d, d, d, h}, {w + 2 * d, d, w, h}, {d, h + d, w, d}}) {
        for (int y = r.y; y < r.y + r.h; ++y) {
            for (int x = r.x; x < r.x + r.w; ++x) {
                uint8_t* p = pixelAt(net, x, y);
                p[0] = p[1] = p[2] = 90;
                p[3] = 255;
            }
        }
    }
    return net;
}

void expectRefused(const RgbaImage& image, const char* text) {
    Character c = randomCharacter(20, 30, 40, 9);
    const Character before = c;
    std::string message = "stale";
    EXPECT_FALSE(importSkinSheet(image, c, message));
    EXPECT_EQ(message, text);
    EXPECT_EQ(c.width, before.width);
    EXPECT_EQ(c.height, before.height);
    EXPECT_EQ(c.depth, before.depth);
    EXPECT_EQ(c.faces, before.faces);
}

TEST(SkinSheet, DefaultCharacterLayout) {
    const Character c;
    const RgbaImage sheet = makeSkinSheet(c);
    ASSERT_TRUE(isValidImage(sheet));
    EXPECT_EQ(sheet.width, 128);
    EXPECT_EQ(sheet.height, 128);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 128; ++x) {
            const uint8_t* p = &sheet.pixels[(size_t(y) * 128 + x) * 4];
            const bool middleBand = y >= 32 && y < 96;
            const bool column = x >= 32 && x < 64;
            if (middleBand || column) {
                EXPECT_EQ(p[3], 255);
                ASSERT_EQ((p[0] << 16) | (p[1] << 8) | p[2], int(kDefaultSkinColor)) << x << "," << y;
            } else {
                ASSERT_EQ(p[0] | p[1] | p[2] | p[3], 0) << x << "," << y;
            }
        }
    }
}

TEST(SkinSheet, FacesSitWhereTheNetPutsThem) {
    Character c = randomCharacter(17, 63, 29, 1);
    const RgbaImage sheet = makeSkinSheet(c);
    EXPECT_EQ(sheet.width, 2 * (17 + 29));
    EXPECT_EQ(sheet.height, 63 + 2 * 29);
    struct Spot {
        int face, x, y;
    };
    // Top-left texel of each face, by the layout's own numbers.
    for (Spot s : {Spot{FaceTop, 29, 0},
                   {FaceLeft, 0, 29},
                   {FaceFront, 29, 29},
                   {FaceRight, 46, 29},
                   {FaceBack, 75, 29},
                   {FaceBottom, 29, 92}}) {
        const uint8_t* p = &sheet.pixels[(size_t(s.y) * sheet.width + s.x) * 4];
        EXPECT_EQ(uint32_t((p[0] << 16) | (p[1] << 8) | p[2]), texel(c, s.face, 0, 0)) << s.face;
        EXPECT_EQ(p[3], 255);
    }
    // Last texel of the Back face: no mirroring.
    const uint8_t* p = &sheet.pixels[(size_t(29 + 62) * sheet.width + 75 + 16) * 4];
    EXPECT_EQ(uint32_t((p[0] << 16) | (p[1] << 8) | p[2]), texel(c, FaceBack, 16, 62));
}

TEST(SkinSheet, RoundTripsKeepTheOtherCharactersIdentity) {
    struct Size {
        int w, h, d;
    };
    for (Size s : {Size{16, 16, 16}, {64, 64, 64}, {17, 63, 29}}) {
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h << "x" << s.d);
        const Character source = randomCharacter(s.w, s.h, s.d, uint32_t(s.w * 7 + s.h * 3 + s.d));
        Character target = randomCharacter(40, 20, 50, 77);
        target.id = "abc";
        target.name = "Other";
        target.faceScale = 4;
        std::string message = "stale";
        ASSERT_TRUE(importSkinSheet(makeSkinSheet(source), target, message));
        EXPECT_EQ(message, "");
        expectSameFaces(target, source);
        EXPECT_EQ(target.id, "abc");
        EXPECT_EQ(target.name, "Other");
        EXPECT_EQ(target.faceScale, 4);

        Character offset = randomCharacter(40, 20, 50, 78);
        ASSERT_TRUE(importSkinSheet(placed(makeSkinSheet(source), 400, 300, 100, 50), offset, message));
        expectSameFaces(offset, source);
    }
}

TEST(SkinSheet, ScanOpaqueRun) {
    RgbaImage row{10, 2, std::vector<uint8_t>(10 * 2 * 4, 0)};
    for (int x = 3; x < 7; ++x) pixelAt(row, x, 0)[3] = 200;
    pixelAt(row, 4, 0)[3] = 127;  // below the opaque threshold: ends the run
    pixelAt(row, 9, 0)[3] = 128;
    pixelAt(row, 2, 1)[3] = 255;
    EXPECT_EQ(scanOpaqueRun(row, 0, 0, 9, true), std::make_pair(3, 4));
    EXPECT_EQ(scanOpaqueRun(row, 0, 4, 9, true), std::make_pair(5, 7));
    EXPECT_EQ(scanOpaqueRun(row, 0, 7, 9, true), std::make_pair(9, 10));
    EXPECT_EQ(scanOpaqueRun(row, 0, 7, 8, true), std::make_pair(9, 9));  // nothing: limit + 1
    EXPECT_EQ(scanOpaqueRun(row, 0, 6, 5, true), std::make_pair(6, 6));  // start beyond limit
    EXPECT_EQ(scanOpaqueRun(row, 2, 0, 1, false), std::make_pair(1, 2));
    EXPECT_EQ(scanOpaqueRun(row, 3, 0, 1, false), std::make_pair(0, 1));
    EXPECT_EQ(scanOpaqueRun(row, 0, 5, 20, true), std::make_pair(5, 7));  // beyond the image is transparent
}

TEST(SkinSheet, RefusedImagesLeaveTheCharacterAlone) {
    expectRefused(RgbaImage{}, kSheetUnreadable);
    expectRefused(RgbaImage{5000, 10, std::vector<uint8_t>(5000 * 10 * 4, 255)}, kSheetUnreadable);
    expectRefused(RgbaImage{4, 4, std::vector<uint8_t>(63, 255)}, kSheetUnreadable);

    RgbaImage faint = makeSkinSheet(Character{});
    for (size_t i = 3; i < faint.pixels.size(); i += 4) faint.pixels[i] = std::min<uint8_t>(faint.pixels[i], 127);
    expectRefused(faint, kSheetNoSkin);

    // Nets 10 texels wide and 65 high: every other measurement holds.
    expectRefused(opaqueNet(10, 30, 16), kSheetNotASheet);
    expectRefused(opaqueNet(32, 65, 32), kSheetNotASheet);
    expectRefused(opaqueNet(16, 16, 15), kSheetNotASheet);
    Character control;
    std::string message;
    EXPECT_TRUE(importSkinSheet(opaqueNet(16, 64, 17), control, message)) << message;
}

TEST(SkinSheet, NoSheetForABoxBeyondTheCanvas) {
    Character c;
    c.height = 65;
    EXPECT_FALSE(isValidImage(makeSkinSheet(c)));
    c.height = 0;
    EXPECT_FALSE(isValidImage(makeSkinSheet(c)));
}

TEST(SkinSheet, OpaquePixelsOutsideTheFacesAreRefused) {
    const RgbaImage sheet = makeSkinSheet(Character{});  // 128 x 128, corner squares 32 x 32
    struct Stray {
        int x, y;
    };
    // Inside each corner square, and on the edges of the corner squares next to faces.
    for (Stray s : {Stray{0, 0}, {31, 31}, {100, 10}, {127, 0}, {64, 31}, {0, 127}, {31, 96}, {127, 127}, {64, 96}}) {
        RgbaImage stray = sheet;
        pixelAt(stray, s.x, s.y)[3] = 255;
        SCOPED_TRACE(testing::Message() << s.x << "," << s.y);
        expectRefused(stray, kSheetNotASheet);
    }
    // A whole opaque corner square.
    RgbaImage corner = sheet;
    for (int y = 0; y < 32; ++y) {
        for (int x = 96; x < 128; ++x) pixelAt(corner, x, y)[3] = 255;
    }
    expectRefused(corner, kSheetNotASheet);
    // A stray pixel outside the net in a larger image.
    RgbaImage far = placed(sheet, 400, 300, 100, 50);
    pixelAt(far, 390, 290)[3] = 255;
    expectRefused(far, kSheetNotASheet);
    // Faint pixels outside the net do not count.
    RgbaImage faint = placed(sheet, 400, 300, 100, 50);
    pixelAt(faint, 390, 290)[3] = 127;
    pixelAt(faint, 101, 51)[3] = 127;
    Character c;
    std::string message;
    EXPECT_TRUE(importSkinSheet(faint, c, message)) << message;
}

TEST(SkinSheet, PartialAlphaBlendsWithTheOldTexels) {
    const Character source = randomCharacter(32, 64, 32, 5);
    RgbaImage sheet = makeSkinSheet(source);
    // Front face texel (3, 4) at alpha 100; texel (5, 4) at alpha 0.
    uint8_t* mixed = pixelAt(sheet, 32 + 3, 32 + 4);
    mixed[0] = 250, mixed[1] = 10, mixed[2] = 0, mixed[3] = 100;
    pixelAt(sheet, 32 + 5, 32 + 4)[3] = 0;
    Character target = randomCharacter(32, 64, 32, 6);
    for (auto& face : target.faces) std::fill(face.begin(), face.end(), 0x0080FFu);
    std::string message;
    ASSERT_TRUE(importSkinSheet(sheet, target, message)) << message;
    // (250*100 + 0*155 + 127)/255 = 98, (10*100 + 128*155 + 127)/255 = 82, (0 + 255*155 + 127)/255 = 155
    EXPECT_EQ(texel(target, FaceFront, 3, 4), 0x62529Bu);
    EXPECT_EQ(texel(target, FaceFront, 5, 4), 0x0080FFu);
    EXPECT_EQ(texel(target, FaceFront, 6, 4), texel(source, FaceFront, 6, 4));
}

}  // namespace
}  // namespace vobu
