#include "editor/clipboard_image.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <map>

#include "editor/clipboard_fixtures.h"
#include "editor/dib.h"
#include "support/fake_image_clipboard.h"

namespace vobu {
namespace {

using testing::FakeImageClipboard;
using testing::pictureCorner;
using testing::readClipboardFixture;

class ClipboardImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        installImageClipboard(clipboard.calls());
        RgbaImage image;
        std::string status;
        takeClipboardImage(image, status);
    }
    void TearDown() override { installImageClipboard(unavailableImageClipboardCalls()); }

    // Takes the waiting result; fails the test when there is none.
    std::pair<RgbaImage, std::string> take() {
        RgbaImage image{7, 7, {}};
        std::string status = "untouched";
        EXPECT_TRUE(takeClipboardImage(image, status));
        return {image, status};
    }

    FakeImageClipboard clipboard;
};

RgbaImage threeByTwo() { return testing::fixtureImage("copy_3x2.rgba", 3, 2); }

// Decodes with libspng directly: the PNG form must be 8-bit RGB.
RgbaImage decodeRgbPng(const std::vector<uint8_t>& png) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_set_png_buffer(ctx, png.data(), png.size());
    spng_ihdr ihdr = {};
    RgbaImage out;
    if (spng_get_ihdr(ctx, &ihdr) == 0 && ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR && ihdr.bit_depth == 8) {
        out.width = int(ihdr.width);
        out.height = int(ihdr.height);
        out.pixels.resize(size_t(out.width) * out.height * 4);
        spng_decode_image(ctx, out.pixels.data(), out.pixels.size(), SPNG_FMT_RGBA8, 0);
    }
    spng_ctx_free(ctx);
    return out;
}

TEST_F(ClipboardImageTest, CopyOffersTheBitmapFileAndAnRgbPng) {
    copyImageToClipboard(threeByTwo());
    auto [image, status] = take();
    EXPECT_EQ(status, "Image copied.");
    EXPECT_EQ(image.width, 0);
    EXPECT_TRUE(image.pixels.empty());
    ASSERT_EQ(clipboard.offered.size(), 2u);
    EXPECT_EQ(clipboard.offered[0].target, "image/bmp");
    EXPECT_EQ(clipboard.offered[0].bytes, readClipboardFixture("copy_3x2.bmp"));
    EXPECT_EQ(clipboard.offered[1].target, "image/png");
    const RgbaImage png = decodeRgbPng(clipboard.offered[1].bytes);
    ASSERT_EQ(png.width, 3);
    ASSERT_EQ(png.height, 2);
    RgbaImage opaque = threeByTwo();
    for (size_t i = 3; i < opaque.pixels.size(); i += 4) opaque.pixels[i] = 255;
    EXPECT_EQ(png.pixels, opaque.pixels);
}

TEST_F(ClipboardImageTest, CopyFailuresReportTheirTexts) {
    struct Case {
        bool focus;
        ClipboardOffer result;
        const char* status;
    } const cases[] = {
        {false, ClipboardOffer::Taken, "Clipboard is busy."},
        {true, ClipboardOffer::Busy, "Clipboard is busy."},
        {true, ClipboardOffer::Refused, "Image copy failed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        clipboard.focused = c.focus;
        clipboard.offerResult = c.result;
        const int offersBefore = clipboard.offers;
        copyImageToClipboard(threeByTwo());
        auto [image, status] = take();
        EXPECT_EQ(status, c.status);
        EXPECT_TRUE(image.pixels.empty());
        // Without focus the clipboard is never touched.
        EXPECT_EQ(clipboard.offers - offersBefore, c.focus ? 1 : 0);
    }
}

TEST_F(ClipboardImageTest, InvalidImageIsIgnoredWithoutReport) {
    copyImageToClipboard(RgbaImage{});
    copyImageToClipboard(RgbaImage{2, 2, std::vector<uint8_t>(12)});
    RgbaImage image;
    std::string status;
    EXPECT_FALSE(takeClipboardImage(image, status));
    EXPECT_EQ(clipboard.offers, 0);
}

TEST_F(ClipboardImageTest, OwnCopyPastesBackOpaque) {
    copyImageToClipboard(threeByTwo());
    take();
    pasteImageFromClipboard();
    auto [image, status] = take();
    EXPECT_EQ(status, "");
    ASSERT_EQ(image.width, 3);
    ASSERT_EQ(image.height, 2);
    EXPECT_EQ(image.pixels[4 * 4 + 3], 255);
    EXPECT_EQ(image.pixels[4 * 4 + 0], 40);
    EXPECT_EQ(clipboard.fetched, (std::vector<std::string>{"image/bmp"}));
}

TEST_F(ClipboardImageTest, PastesTheCornerOfEveryOfferedForm) {
    struct Case {
        const char* target;
        const char* fixture;
        const char* corner;
    } const cases[] = {
        {"image/bmp", "picture_200x100_24.bmp", "picture_200x100_corner.rgba"},
        {"image/bmp", "picture_200x100_topdown.bmp", "picture_200x100_corner.rgba"},
        {"image/bmp", "picture_200x100_32.bmp", "picture_200x100_corner.rgba"},
        {"image/png", "picture_200x100.png", "picture_200x100_corner.rgba"},
        {"image/png", "picture_200x100_interlaced.png", "picture_200x100_corner.rgba"},
        {"image/png", "picture_200x100_grey.png", "picture_200x100_grey_corner.rgba"},
        // The transparent palette entry comes out opaque like every other.
        {"image/png", "picture_200x100_palette.png", "picture_200x100_palette_corner.rgba"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        clipboard.held = {{c.target, readClipboardFixture(c.fixture)}, {"UTF8_STRING", {'h', 'i'}}};
        pasteImageFromClipboard();
        auto [image, status] = take();
        EXPECT_EQ(status, "");
        ASSERT_EQ(image.width, 64);
        ASSERT_EQ(image.height, 64);
        EXPECT_EQ(image.pixels, readClipboardFixture(c.corner));
    }
}

TEST_F(ClipboardImageTest, UnusableBitmapFallsBackToThePng) {
    std::vector<uint8_t> bmp16 = readClipboardFixture("picture_200x100_24.bmp");
    bmp16[14 + 14] = 16;
    clipboard.held = {{"image/bmp", bmp16}, {"image/png", readClipboardFixture("picture_200x100.png")}};
    pasteImageFromClipboard();
    auto [image, status] = take();
    EXPECT_EQ(status, "");
    EXPECT_EQ(image.pixels, pictureCorner().pixels);
    EXPECT_EQ(clipboard.fetched, (std::vector<std::string>{"image/bmp", "image/png"}));
}

TEST_F(ClipboardImageTest, PasteFailuresReportTheirTexts) {
    std::vector<uint8_t> truncatedPng = readClipboardFixture("picture_200x100.png");
    truncatedPng.resize(truncatedPng.size() / 2);
    struct Case {
        const char* what;
        std::map<std::string, std::vector<uint8_t>> held;
        bool busy;
        const char* status;
    } const cases[] = {
        {"text only",
         {{"UTF8_STRING", {'h', 'i'}}, {"STRING", {'h', 'i'}}},
         false,
         "Clipboard does not contain a supported bitmap."},
        {"empty clipboard", {}, false, "Clipboard does not contain a supported bitmap."},
        {"no service", {}, true, "Clipboard is busy."},
        {"not a bitmap file",
         {{"image/bmp", {'B', 'X', 0, 0}}},
         false,
         "Clipboard does not contain a supported bitmap."},
        {"PNG claiming 60000 x 60000",
         {{"image/png", readClipboardFixture("huge_header.png")}},
         false,
         "Clipboard does not contain a supported bitmap."},
        {"truncated PNG", {{"image/png", truncatedPng}}, false, "Clipboard does not contain a supported bitmap."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clipboard.held = c.held;
        clipboard.busy = c.busy;
        pasteImageFromClipboard();
        auto [image, status] = take();
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(image.width, 0);
        EXPECT_TRUE(image.pixels.empty());
    }
}

TEST_F(ClipboardImageTest, TakeHandsOverOnceAndALaterResultReplacesAnEarlier) {
    clipboard.held = {{"UTF8_STRING", {'x'}}};
    pasteImageFromClipboard();
    clipboard.held = {{"image/png", readClipboardFixture("picture_200x100.png")}};
    pasteImageFromClipboard();
    auto [image, status] = take();
    EXPECT_EQ(status, "");
    EXPECT_EQ(image.width, 64);
    RgbaImage again;
    std::string againStatus = "kept";
    EXPECT_FALSE(takeClipboardImage(again, againStatus));
    EXPECT_EQ(againStatus, "kept");
    EXPECT_EQ(again.width, 0);
}

TEST(ClipboardImageDefault, WithoutAServiceEverythingIsBusy) {
    installImageClipboard(unavailableImageClipboardCalls());
    RgbaImage image;
    std::string status;
    copyImageToClipboard(RgbaImage{1, 1, {1, 2, 3, 4}});
    ASSERT_TRUE(takeClipboardImage(image, status));
    EXPECT_EQ(status, "Clipboard is busy.");
    pasteImageFromClipboard();
    ASSERT_TRUE(takeClipboardImage(image, status));
    EXPECT_EQ(status, "Clipboard is busy.");
    startClipboardSupport();
    updateClipboardSupport(true);
    EXPECT_FALSE(takeClipboardImage(image, status));
}

}  // namespace
}  // namespace vobu
