#include "editor/dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "editor/clipboard_fixtures.h"

namespace vobu {
namespace {

using testing::pictureCorner;
using testing::readClipboardFixture;

std::vector<uint8_t> dibOf(const std::string& bmpFixture) {
    std::vector<uint8_t> file = readClipboardFixture(bmpFixture);
    EXPECT_GT(file.size(), kBmpFileHeaderSize) << bmpFixture;
    return {file.begin() + kBmpFileHeaderSize, file.end()};
}

void putU32(std::vector<uint8_t>& block, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) block[at + i] = uint8_t(value >> (8 * i));
}

void putU16(std::vector<uint8_t>& block, size_t at, uint16_t value) {
    block[at] = uint8_t(value);
    block[at + 1] = uint8_t(value >> 8);
}

void expectSameImage(const RgbaImage& got, const RgbaImage& want) {
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    ASSERT_EQ(got.pixels.size(), want.pixels.size());
    for (size_t i = 0; i < want.pixels.size(); ++i) {
        ASSERT_EQ(int(got.pixels[i]), int(want.pixels[i])) << "pixel " << i / 4 << " channel " << i % 4;
    }
}

TEST(DibWriter, ThreeByTwoIsTheBottomRowFirstWithPaddedRows) {
    const RgbaImage image = testing::fixtureImage("copy_3x2.rgba", 3, 2);
    const std::vector<uint8_t> dib = writeDib(image);
    EXPECT_EQ(dib.size(), 40u + 2 * 12);
    EXPECT_EQ(dib, dibOf("copy_3x2.bmp"));
    EXPECT_EQ(bmpFileFromDib(dib), readClipboardFixture("copy_3x2.bmp"));
}

TEST(DibWriter, InvalidImageGivesNothing) {
    EXPECT_TRUE(writeDib(RgbaImage{}).empty());
    EXPECT_TRUE(writeDib(RgbaImage{2, 2, std::vector<uint8_t>(15)}).empty());
    EXPECT_TRUE(writeDib(RgbaImage{4097, 1, std::vector<uint8_t>(4097 * 4)}).empty());
}

TEST(DibReader, ReadsTheTopLeftCornerOfEveryAdmittedForm) {
    for (const char* fixture : {"picture_200x100_24.bmp", "picture_200x100_32.bmp", "picture_200x100_topdown.bmp",
                                "picture_200x100_topdown_32.bmp"}) {
        SCOPED_TRACE(fixture);
        const std::vector<uint8_t> dib = dibOf(fixture);
        RgbaImage image;
        ASSERT_TRUE(readDib(dib.data(), dib.size(), image));
        expectSameImage(image, pictureCorner());
    }
}

TEST(DibReader, SmallImageKeepsItsSizeAndSkipsRowPadding) {
    const std::vector<uint8_t> dib = dibOf("copy_3x2.bmp");
    RgbaImage image;
    ASSERT_TRUE(readDib(dib.data(), dib.size(), image));
    RgbaImage want = testing::fixtureImage("copy_3x2.rgba", 3, 2);
    for (size_t i = 3; i < want.pixels.size(); i += 4) want.pixels[i] = 255;
    expectSameImage(image, want);
}

TEST(DibReader, WholeBlockMayEndRightAfterTheLastRow) {
    std::vector<uint8_t> dib = dibOf("picture_200x100_24.bmp");
    ASSERT_EQ(dib.size(), 40u + 600 * 100);
    RgbaImage image;
    EXPECT_TRUE(readDib(dib.data(), dib.size(), image));
    dib.pop_back();
    EXPECT_FALSE(readDib(dib.data(), dib.size(), image));
}

struct Refused {
    const char* what;
    void (*damage)(std::vector<uint8_t>& block);
};

// Each damaged copy of a sound 200 x 100 24-bit block must be refused
// without reading past its end.
const Refused kRefused[] = {
    {"16 bits per pixel", [](std::vector<uint8_t>& b) { putU16(b, 14, 16); }},
    {"8 bits per pixel", [](std::vector<uint8_t>& b) { putU16(b, 14, 8); }},
    {"bitfield compression", [](std::vector<uint8_t>& b) { putU32(b, 16, 3); }},
    {"run-length compression", [](std::vector<uint8_t>& b) { putU32(b, 16, 1); }},
    {"two planes", [](std::vector<uint8_t>& b) { putU16(b, 12, 2); }},
    {"truncated by one byte", [](std::vector<uint8_t>& b) { b.pop_back(); }},
    {"truncated inside the header", [](std::vector<uint8_t>& b) { b.resize(39); }},
    {"empty", [](std::vector<uint8_t>& b) { b.clear(); }},
    {"header size 0xFFFFFFF0", [](std::vector<uint8_t>& b) { putU32(b, 0, 0xFFFFFFF0u); }},
    {"header size beyond the block", [](std::vector<uint8_t>& b) { putU32(b, 0, uint32_t(b.size() + 1)); }},
    {"header size pushing the rows past the end", [](std::vector<uint8_t>& b) { putU32(b, 0, 44); }},
    {"header size 39", [](std::vector<uint8_t>& b) { putU32(b, 0, 39); }},
    {"height INT32_MIN", [](std::vector<uint8_t>& b) { putU32(b, 8, 0x80000000u); }},
    {"height 0", [](std::vector<uint8_t>& b) { putU32(b, 8, 0); }},
    {"height 32769", [](std::vector<uint8_t>& b) { putU32(b, 8, 32769); }},
    {"height -32769", [](std::vector<uint8_t>& b) { putU32(b, 8, uint32_t(-32769)); }},
    {"width 0", [](std::vector<uint8_t>& b) { putU32(b, 4, 0); }},
    {"width -200", [](std::vector<uint8_t>& b) { putU32(b, 4, uint32_t(-200)); }},
    {"width 32769", [](std::vector<uint8_t>& b) { putU32(b, 4, 32769); }},
    // 32768 x 32768 x 4 bytes is 2^32: a 32-bit product wraps to 0.
    {"pixel size wrapping 32 bits",
     [](std::vector<uint8_t>& b) {
         putU32(b, 4, 32768);
         putU32(b, 8, 32768);
         putU16(b, 14, 32);
     }},
    {"rows claimed beyond the block, top-down", [](std::vector<uint8_t>& b) { putU32(b, 8, uint32_t(-32768)); }},
};

TEST(DibReader, RefusesEveryUnusableBlockAndLeavesTheImageAlone) {
    const std::vector<uint8_t> sound = dibOf("picture_200x100_24.bmp");
    for (const Refused& c : kRefused) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> block = sound;
        c.damage(block);
        // An exact-size copy, so that the address sanitizer sees any overread.
        std::vector<uint8_t> exact(block.begin(), block.end());
        RgbaImage image{1, 1, {9, 9, 9, 9}};
        EXPECT_FALSE(readDib(exact.data(), exact.size(), image));
        EXPECT_EQ(image.width, 1);
        EXPECT_EQ(image.pixels, (std::vector<uint8_t>{9, 9, 9, 9}));
    }
}

TEST(DibReader, LargerHeaderMovesThePixelsBack) {
    // A 44-byte header: four more bytes before the same rows.
    std::vector<uint8_t> block = dibOf("picture_200x100_24.bmp");
    block.insert(block.begin() + 40, 4, 0xEE);
    putU32(block, 0, 44);
    RgbaImage image;
    ASSERT_TRUE(readDib(block.data(), block.size(), image));
    expectSameImage(image, pictureCorner());
}

TEST(BmpFile, FindsTheBlockBehindTheFileHeader) {
    const std::vector<uint8_t> file = readClipboardFixture("copy_3x2.bmp");
    const uint8_t* dib = nullptr;
    size_t size = 0;
    ASSERT_TRUE(dibInsideBmpFile(file.data(), file.size(), dib, size));
    EXPECT_EQ(dib, file.data() + 14);
    EXPECT_EQ(size, file.size() - 14);
    std::vector<uint8_t> notBmp = file;
    notBmp[0] = 'X';
    EXPECT_FALSE(dibInsideBmpFile(notBmp.data(), notBmp.size(), dib, size));
    EXPECT_FALSE(dibInsideBmpFile(file.data(), 13, dib, size));
}

}  // namespace
}  // namespace vobu
