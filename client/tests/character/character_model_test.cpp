#include <gtest/gtest.h>

#include "character/character.h"

namespace vobu {
namespace {

uint32_t atlasPixel(const std::vector<uint8_t>& atlas, int side, int x, int y) {
    size_t i = (static_cast<size_t>(y) * side + x) * 4;
    EXPECT_EQ(atlas[i + 3], 255) << "alpha at " << x << "," << y;
    return (uint32_t{atlas[i]} << 16) | (uint32_t{atlas[i + 1]} << 8) | atlas[i + 2];
}

// A face whose texel encodes its own position, so a wrong pick shows.
std::vector<uint32_t> positionFace(int face) {
    std::vector<uint32_t> texels(kFaceCanvasTexels);
    for (int y = 0; y < kFaceCanvasSide; ++y) {
        for (int x = 0; x < kFaceCanvasSide; ++x) {
            texels[y * kFaceCanvasSide + x] = (uint32_t(face) << 16) | (uint32_t(y) << 8) | uint32_t(x);
        }
    }
    return texels;
}

TEST(CharacterModel, DefaultCharacter) {
    Character c;
    EXPECT_EQ(c.id, "");
    EXPECT_EQ(c.name, "Vobu");
    EXPECT_EQ(c.width, 32);
    EXPECT_EQ(c.height, 64);
    EXPECT_EQ(c.depth, 32);
    EXPECT_EQ(c.faceScale, 1);
    for (const auto& face : c.faces) {
        ASSERT_EQ(face.size(), 4096u);
        for (uint32_t texel : face) {
            ASSERT_EQ(texel, 0xFFDBAAu);
        }
    }
}

TEST(CharacterModel, FaceSizesFollowTheBox) {
    Character c;
    c.setSize(20, 50, 30);
    struct Case {
        int face;
        int w;
        int h;
    };
    for (Case k : {Case{FaceFront, 20, 50}, Case{FaceBack, 20, 50}, Case{FaceLeft, 30, 50}, Case{FaceRight, 30, 50},
                   Case{FaceTop, 20, 30}, Case{FaceBottom, 20, 30}}) {
        EXPECT_EQ(c.faceSize(k.face), std::make_pair(k.w, k.h)) << "face " << k.face;
    }
    c.faceScale = 8;
    EXPECT_EQ(c.scaledFaceSize(FaceFront), std::make_pair(3, 7));  // 20/8, 50/8 rounded up
    EXPECT_EQ(c.scaledFaceSize(FaceTop), std::make_pair(3, 4));
}

TEST(CharacterModel, SetSizeClampsAndKeepsPaint) {
    Character c;
    c.faces[FaceFront][63 * 64 + 63] = 0x123456;
    c.setSize(10, 100, 40);
    EXPECT_EQ(c.width, 16);
    EXPECT_EQ(c.height, 64);
    EXPECT_EQ(c.depth, 40);
    c.setSize(64, 64, 64);
    EXPECT_EQ(c.faces[FaceFront][63 * 64 + 63], 0x123456u);
}

TEST(CharacterModel, AtlasCellAndSideForEachScale) {
    struct Case {
        int scale;
        int cell;
        int side;
    };
    for (Case k : {Case{1, 66, 256}, Case{2, 34, 128}, Case{4, 18, 64}, Case{8, 10, 32}}) {
        Character c;
        c.faceScale = k.scale;
        EXPECT_EQ(c.skinAtlasCellSize(), k.cell);
        EXPECT_EQ(c.skinAtlasSize(), k.side);
        EXPECT_EQ(c.buildSkinAtlas().size(), size_t(k.side) * k.side * 4);
    }
}

TEST(CharacterModel, DefaultAtlasIsSkinInCellsAndWhiteBeyond) {
    Character c;
    std::vector<uint8_t> atlas = c.buildSkinAtlas();
    for (int y = 0; y < 66; ++y) {
        for (int x = 0; x < 66; ++x) {
            ASSERT_EQ(atlasPixel(atlas, 256, x, y), 0xFFDBAAu);
        }
    }
    for (int y = 0; y < 256; ++y) {
        for (int x = 198; x < 256; ++x) {
            ASSERT_EQ(atlasPixel(atlas, 256, x, y), 0xFFFFFFu) << x << "," << y;
        }
    }
    for (int y = 132; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            ASSERT_EQ(atlasPixel(atlas, 256, x, y), 0xFFFFFFu) << x << "," << y;
        }
    }
}

TEST(CharacterModel, AtlasPlacesEveryFaceAndRepeatsEdges) {
    Character c;
    c.setSize(64, 40, 24);
    for (int i = 0; i < kFaceCount; ++i) {
        c.faces[i] = positionFace(i);
    }
    std::vector<uint8_t> atlas = c.buildSkinAtlas();
    for (int i = 0; i < kFaceCount; ++i) {
        int left = (i % 3) * 66;
        int top = (i / 3) * 66;
        auto [w, h] = c.faceSize(i);
        auto expect = [&](int cx, int cy, int tx, int ty) {
            uint32_t want = (uint32_t(i) << 16) | (uint32_t(ty) << 8) | uint32_t(tx);
            EXPECT_EQ(atlasPixel(atlas, 256, left + cx, top + cy), want)
                << "face " << i << " cell pixel " << cx << "," << cy;
        };
        expect(1, 1, 0, 0);            // grid starts one pixel in
        expect(0, 0, 0, 0);            // border repeats the corner
        expect(w, h, w - 1, h - 1);    // last grid texel
        expect(65, 65, w - 1, h - 1);  // the rest of the cell repeats the edge
        expect(5, 65, 4, h - 1);
        expect(65, 3, w - 1, 2);
    }
}

TEST(CharacterModel, AtlasAtFaceScaleEightTakesBlockCorners) {
    Character c;
    c.faceScale = 8;
    c.setSize(16, 64, 32);
    c.faces[FaceFront] = positionFace(0);
    std::vector<uint8_t> atlas = c.buildSkinAtlas();
    ASSERT_EQ(atlas.size(), 32u * 32u * 4u);
    EXPECT_EQ(atlasPixel(atlas, 32, 1, 1), 0x000000u);  // texel (0, 0)
    EXPECT_EQ(atlasPixel(atlas, 32, 2, 1), 0x000008u);  // texel (8, 0)
    for (int cx = 3; cx <= 9; ++cx) {
        EXPECT_EQ(atlasPixel(atlas, 32, cx, 1), 0x000008u) << cx;
    }
    EXPECT_EQ(atlasPixel(atlas, 32, 1, 8), 0x003800u);  // row 7 of the grid is texel row 56
}

}  // namespace
}  // namespace vobu
