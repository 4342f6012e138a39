#include "ui/graphics.h"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "support/recording_backend.h"

namespace vobu {
namespace {

using testing::RecordedUpload;
using testing::Recording;
using testing::RecordingBackend;

std::vector<uint8_t> pixels(int width, int height, uint8_t fill = 0x11) {
    return std::vector<uint8_t>(size_t(width) * size_t(height) * 4, fill);
}

std::vector<Vertex> triangle() { return std::vector<Vertex>(3); }

class GraphicsTest : public ::testing::Test {
protected:
    Recording rec;
    Graphics graphics{std::make_unique<RecordingBackend>(rec)};

    void drawWith(uint32_t texture) {
        graphics.drawTriangles(triangle(), texture, false, true, false, false, 1, false);
    }
};

TEST_F(GraphicsTest, AllocatedHandlesCountUpFromOne) {
    EXPECT_EQ(graphics.setTexture(1, 1, pixels(1, 1), 0, false, false), 1u);
    EXPECT_EQ(graphics.setTexture(1, 1, pixels(1, 1), 0, false, false), 2u);
    EXPECT_EQ(graphics.nextHandle(), 3u);
}

TEST_F(GraphicsTest, ExplicitHandleIsCreatedAndNeverAllocatedLater) {
    EXPECT_EQ(graphics.setTexture(2, 2, pixels(2, 2), 7, false, false), 7u);
    ASSERT_EQ(graphics.textures().count(7), 1u);
    // Allocations after an explicit handle must skip it, or two owners would share it.
    for (int i = 0; i < 20; ++i) {
        EXPECT_NE(graphics.setTexture(1, 1, pixels(1, 1), 0, false, false), 7u);
    }
}

TEST_F(GraphicsTest, DeleteByOneOwnerLeavesTheExplicitOwnersTextureDrawable) {
    const uint32_t mine = graphics.setTexture(2, 2, pixels(2, 2), 3, false, false);
    std::vector<uint32_t> others;
    for (int i = 0; i < 5; ++i) {
        others.push_back(graphics.setTexture(1, 1, pixels(1, 1), 0, false, false));
    }
    for (uint32_t other : others) {
        graphics.deleteTexture(other);
    }
    EXPECT_NO_THROW(drawWith(mine));
    EXPECT_EQ(graphics.textures().at(mine).width, 2);
}

TEST_F(GraphicsTest, ExplicitHandleBelowTheCounterKeepsTheCounter) {
    for (int i = 0; i < 9; ++i) {
        graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    }
    graphics.setTexture(1, 1, pixels(1, 1), 4, false, false);
    EXPECT_EQ(graphics.nextHandle(), 10u);
}

TEST_F(GraphicsTest, HighestExplicitHandleExhaustsAllocation) {
    graphics.setTexture(1, 1, pixels(1, 1), 0xFFFFFFFFu, false, false);
    EXPECT_THROW(graphics.setTexture(1, 1, pixels(1, 1), 0, false, false), std::runtime_error);
    EXPECT_EQ(graphics.textures().size(), 1u);
    // The explicit entry itself can still be updated.
    EXPECT_EQ(graphics.setTexture(1, 1, pixels(1, 1), 0xFFFFFFFFu, false, false), 0xFFFFFFFFu);
}

struct SizeCase {
    int width;
    int height;
    size_t bytes;
    bool accepted;
};

class GraphicsSizeTest : public GraphicsTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(GraphicsSizeTest, PixelDataMustMatchTheSize) {
    const SizeCase c = GetParam();
    const std::vector<uint8_t> data(c.bytes, 0x5a);
    if (c.accepted) {
        EXPECT_EQ(graphics.setTexture(c.width, c.height, data, 0, false, false), 1u);
        return;
    }
    EXPECT_THROW(graphics.setTexture(c.width, c.height, data, 0, false, false), std::invalid_argument);
    EXPECT_TRUE(graphics.textures().empty());
    EXPECT_EQ(graphics.nextHandle(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Sizes, GraphicsSizeTest,
                         ::testing::Values(SizeCase{2, 2, 16, true}, SizeCase{1024, 1024, 4194304, true},
                                           SizeCase{2, 2, 15, false}, SizeCase{2, 2, 17, false},
                                           SizeCase{2, 2, 0, false}, SizeCase{0, 2, 0, false}, SizeCase{2, 0, 0, false},
                                           SizeCase{-1, -4, 16, false},
                                           // 65536 x 65536 x 4 overflows 32 bits to 0.
                                           SizeCase{65536, 65536, 0, false}));

TEST_F(GraphicsTest, RefusedDataLeavesAnExistingEntryAsItWas) {
    const uint32_t h = graphics.setTexture(2, 2, pixels(2, 2, 0x22), 0, true, true);
    EXPECT_THROW(graphics.setTexture(4, 4, pixels(2, 2), h, false, false), std::invalid_argument);
    const Texture& t = graphics.textures().at(h);
    EXPECT_EQ(t.width, 2);
    EXPECT_EQ(t.version, 1u);
    EXPECT_EQ(t.pixels, pixels(2, 2, 0x22));
    EXPECT_TRUE(t.linear);
}

TEST_F(GraphicsTest, SetTextureStoresEverythingAndUploadsNothing) {
    std::vector<uint8_t> data = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint32_t h = graphics.setTexture(2, 1, data, 0, true, false);
    const Texture& t = graphics.textures().at(h);
    EXPECT_EQ(t.width, 2);
    EXPECT_EQ(t.height, 1);
    EXPECT_EQ(t.pixels, data);
    EXPECT_EQ(t.version, 1u);
    EXPECT_TRUE(t.linear);
    EXPECT_FALSE(t.repeat);
    EXPECT_TRUE(rec.uploads.empty());
}

TEST_F(GraphicsTest, FirstDrawUploadsWithTheTexturesFlags) {
    std::vector<uint8_t> data = {9, 8, 7, 6};
    const uint32_t h = graphics.setTexture(1, 1, data, 0, false, true);
    drawWith(h);
    ASSERT_EQ(rec.uploads.size(), 1u);
    EXPECT_EQ(rec.uploads[0].pixels, data);
    EXPECT_FALSE(rec.uploads[0].linear);
    EXPECT_TRUE(rec.uploads[0].repeat);
    ASSERT_EQ(rec.draws.size(), 1u);
    EXPECT_TRUE(rec.draws[0].state.textured);
    EXPECT_EQ(rec.draws[0].boundObject, rec.uploads[0].object);
    EXPECT_EQ(graphics.uploadCounters().uploads, 1u);
    EXPECT_EQ(graphics.uploadCounters().bytes, 4u);
}

TEST_F(GraphicsTest, UnchangedTextureUploadsOnceOverManyFrames) {
    const uint32_t h = graphics.setTexture(4, 4, pixels(4, 4), 0, false, false);
    for (int frame = 0; frame < 10; ++frame) {
        graphics.beginFrame(100, 100);
        drawWith(h);
    }
    EXPECT_EQ(rec.uploads.size(), 1u);
    EXPECT_EQ(rec.draws.size(), 10u);
}

TEST_F(GraphicsTest, SwitchingTexturesKeepsEachUploadedInItsOwnObject) {
    const uint32_t a = graphics.setTexture(1, 1, pixels(1, 1, 1), 0, false, false);
    const uint32_t b = graphics.setTexture(1, 1, pixels(1, 1, 2), 0, false, false);
    drawWith(a);
    drawWith(b);
    drawWith(a);
    drawWith(b);
    ASSERT_EQ(rec.uploads.size(), 2u);
    EXPECT_NE(rec.uploads[0].object, rec.uploads[1].object);
    ASSERT_EQ(rec.draws.size(), 4u);
    EXPECT_EQ(rec.draws[0].boundObject, rec.draws[2].boundObject);
    EXPECT_EQ(rec.draws[1].boundObject, rec.draws[3].boundObject);
    EXPECT_NE(rec.draws[0].boundObject, rec.draws[1].boundObject);
}

TEST_F(GraphicsTest, SettingIdenticalBytesAgainChangesNothingAndUploadsNothing) {
    const uint32_t h = graphics.setTexture(4, 8, pixels(4, 8), 0, true, false);
    drawWith(h);
    for (int frame = 0; frame < 3; ++frame) {
        graphics.beginFrame(10, 10);
        EXPECT_EQ(graphics.setTexture(4, 8, pixels(4, 8), h, true, false), h);
        drawWith(h);
        EXPECT_EQ(rec.bytesThisFrame(), 0u);
    }
    EXPECT_EQ(graphics.textures().at(h).version, 1u);
    EXPECT_EQ(rec.uploads.size(), 1u);
    EXPECT_EQ(graphics.uploadCounters().bytes, 4u * 8u * 4u);
}

// An 8 x 16 image whose rows are changed between two draws.
struct BandCase {
    const char* name;
    std::vector<int> changedRows;  // rows given a new value before the draw
    RowBand sent;
};

class GraphicsBandTest : public GraphicsTest, public ::testing::WithParamInterface<BandCase> {};

TEST_P(GraphicsBandTest, OnlyTheRowsFromTheFirstToTheLastChangeAreSent) {
    constexpr int kW = 8, kH = 16;
    std::vector<uint8_t> image = pixels(kW, kH, 0x40);
    for (int row = 0; row < kH; ++row) image[size_t(row) * kW * 4] = uint8_t(row);  // rows tell apart
    const uint32_t h = graphics.setTexture(kW, kH, image, 0, true, false);
    drawWith(h);
    graphics.beginFrame(10, 10);
    for (int row : GetParam().changedRows) image[(size_t(row) * kW + 3) * 4 + 1] ^= 0xFF;
    graphics.setTexture(kW, kH, image, h, true, false);
    drawWith(h);
    ASSERT_EQ(rec.uploads.size(), 2u);
    const RecordedUpload& update = rec.uploads[1];
    EXPECT_TRUE(update.inPlace);
    EXPECT_EQ(update.rows.first, GetParam().sent.first);
    EXPECT_EQ(update.rows.end, GetParam().sent.end);
    EXPECT_EQ(rec.bytesThisFrame(), uint64_t(GetParam().sent.rows()) * kW * 4);
    EXPECT_EQ(graphics.uploadCounters().bytes, uint64_t(kW * kH * 4 + GetParam().sent.rows() * kW * 4));
    EXPECT_EQ(rec.images.at(update.object), image) << "the object holds what the table holds";
}

INSTANTIATE_TEST_SUITE_P(Rows, GraphicsBandTest,
                         ::testing::Values(BandCase{"first", {0}, {0, 1}}, BandCase{"last", {15}, {15, 16}},
                                           BandCase{"middle", {7}, {7, 8}}, BandCase{"apart", {3, 11}, {3, 12}},
                                           BandCase{"all", {0, 15}, {0, 16}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(GraphicsTest, ChangesBetweenTwoDrawsAreSentTogether) {
    std::vector<uint8_t> image = pixels(2, 10, 0);
    const uint32_t h = graphics.setTexture(2, 10, image, 0, false, false);
    drawWith(h);
    image[2 * 2 * 4] = 1;  // row 2
    graphics.setTexture(2, 10, image, h, false, false);
    image[8 * 2 * 4] = 1;  // row 8, while row 2 is still waiting
    graphics.setTexture(2, 10, image, h, false, false);
    drawWith(h);
    ASSERT_EQ(rec.uploads.size(), 2u);
    EXPECT_EQ(rec.uploads[1].rows.first, 2);
    EXPECT_EQ(rec.uploads[1].rows.end, 9);
    EXPECT_EQ(rec.images.at(rec.uploads[1].object), image);

    image[2 * 2 * 4] = 0;  // row 2 back and forth before a draw: the object is sent it again
    graphics.setTexture(2, 10, image, h, false, false);
    image[2 * 2 * 4] = 1;
    graphics.setTexture(2, 10, image, h, false, false);
    drawWith(h);
    ASSERT_EQ(rec.uploads.size(), 3u);
    EXPECT_EQ(rec.uploads[2].rows.first, 2);
    EXPECT_EQ(rec.uploads[2].rows.end, 3);
    EXPECT_EQ(rec.images.at(rec.uploads[2].object), image);
}

TEST_F(GraphicsTest, NewFlagsOnTheSamePixelsResampleWithoutSendingRows) {
    const uint32_t h = graphics.setTexture(2, 2, pixels(2, 2), 0, false, false);
    drawWith(h);
    graphics.setTexture(2, 2, pixels(2, 2), h, true, true);
    EXPECT_EQ(graphics.textures().at(h).version, 2u);
    drawWith(h);
    ASSERT_EQ(rec.uploads.size(), 2u);
    EXPECT_TRUE(rec.uploads[1].inPlace);
    EXPECT_TRUE(rec.uploads[1].linear);
    EXPECT_TRUE(rec.uploads[1].repeat);
    EXPECT_EQ(rec.uploads[1].bytes, 0u);
}

TEST_F(GraphicsTest, ChangesBeforeTheFirstDrawAreSentWhole) {
    std::vector<uint8_t> image = pixels(2, 4, 0);
    const uint32_t h = graphics.setTexture(2, 4, image, 0, false, false);
    image[0] = 9;
    graphics.setTexture(2, 4, image, h, false, false);
    drawWith(h);
    ASSERT_EQ(rec.uploads.size(), 1u);
    EXPECT_FALSE(rec.uploads[0].inPlace);
    EXPECT_EQ(rec.uploads[0].bytes, 2u * 4u * 4u);
    EXPECT_EQ(rec.images.at(rec.uploads[0].object), image);
}

TEST_F(GraphicsTest, SameSizeChangesReplacePixelsInPlaceAndNewSizesReallocate) {
    const uint32_t h = graphics.setTexture(2, 2, pixels(2, 2, 1), 0, false, false);
    drawWith(h);
    graphics.setTexture(2, 2, pixels(2, 2, 2), h, true, true);
    drawWith(h);
    graphics.setTexture(4, 1, pixels(4, 1, 3), h, false, false);
    drawWith(h);
    graphics.setTexture(4, 2, pixels(4, 2, 4), h, false, false);
    drawWith(h);
    ASSERT_EQ(rec.uploads.size(), 4u);
    EXPECT_FALSE(rec.uploads[0].inPlace);
    EXPECT_TRUE(rec.uploads[1].inPlace);
    EXPECT_TRUE(rec.uploads[1].linear);  // sampling follows the new flags
    EXPECT_TRUE(rec.uploads[1].repeat);
    EXPECT_FALSE(rec.uploads[2].inPlace);  // 4 x 1 holds as many bytes as 2 x 2 but is another shape
    EXPECT_FALSE(rec.uploads[3].inPlace);
    EXPECT_EQ(rec.uploads[3].pixels, pixels(4, 2, 4));
}

// Sizes (and pictures) a texture goes through: the first is drawn, the rest
// are set before one more draw, which must show the last.
struct SizeStep {
    int width, height;
    uint8_t picture;  // steps with the same number and size set the same pixels
};
struct ResizeCase {
    const char* name;
    std::vector<SizeStep> steps;
    bool inPlace;  // the second draw may send rows into the image the object holds
};
void PrintTo(const ResizeCase& c, std::ostream* out) { *out << c.name; }

class GraphicsResizeTest : public GraphicsTest, public ::testing::WithParamInterface<ResizeCase> {
protected:
    // Every row and every picture differs, so a stale or misplaced row shows.
    static std::vector<uint8_t> picture(const SizeStep& step) {
        std::vector<uint8_t> image(size_t(step.width) * size_t(step.height) * 4);
        for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(step.picture * 61 + i);
        return image;
    }
};

TEST_P(GraphicsResizeTest, TheNextDrawShowsTheLastImageAtItsSize) {
    const std::vector<SizeStep>& steps = GetParam().steps;
    const uint32_t h = graphics.setTexture(steps[0].width, steps[0].height, picture(steps[0]), 0, false, false);
    drawWith(h);
    for (size_t i = 1; i < steps.size(); ++i) {
        graphics.setTexture(steps[i].width, steps[i].height, picture(steps[i]), h, false, false);
    }
    ASSERT_NO_THROW(drawWith(h));
    const SizeStep& last = steps.back();
    EXPECT_TRUE(rec.errors.empty()) << rec.errors.front();
    ASSERT_EQ(rec.uploads.size(), 2u);
    const RecordedUpload& upload = rec.uploads[1];
    EXPECT_EQ(upload.inPlace, GetParam().inPlace);
    EXPECT_EQ(upload.width, last.width);
    EXPECT_EQ(upload.height, last.height);
    EXPECT_EQ(rec.imageSizes.at(upload.object), std::pair(last.width, last.height));
    EXPECT_EQ(rec.images.at(upload.object), picture(last)) << "the object holds the last image";
    if (!upload.inPlace) {
        EXPECT_EQ(upload.rows.first, 0);
        EXPECT_EQ(upload.rows.end, last.height);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, GraphicsResizeTest,
    ::testing::Values(ResizeCase{"same_size", {{4, 2, 0}, {4, 2, 1}}, true},
                      ResizeCase{"new_size_kept", {{4, 2, 0}, {4, 4, 1}}, false},
                      ResizeCase{"taller_and_back", {{4, 2, 0}, {4, 4, 1}, {4, 2, 2}}, false},
                      ResizeCase{"taller_and_back_to_the_drawn_image", {{4, 2, 0}, {4, 4, 1}, {4, 2, 0}}, false},
                      ResizeCase{"shorter_and_back", {{4, 4, 0}, {4, 2, 1}, {4, 4, 2}}, false},
                      ResizeCase{"wider_and_back", {{4, 2, 0}, {8, 2, 1}, {4, 2, 2}}, false},
                      ResizeCase{"taller_changed_and_back", {{4, 2, 0}, {4, 4, 1}, {4, 4, 3}, {4, 2, 2}}, false},
                      ResizeCase{"through_two_sizes_and_back", {{4, 2, 0}, {4, 4, 1}, {4, 8, 2}, {4, 2, 3}}, false},
                      // A sign of one line, three lines and one line again.
                      ResizeCase{"label_heights", {{64, 32, 0}, {64, 64, 1}, {64, 32, 2}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GraphicsTest, RowsSentAfterAResizeLandInTheNewImage) {
    // After a size change and back, later small changes go into the image
    // that was specified anew, not into the one before.
    std::vector<uint8_t> image = pixels(2, 4, 1);
    const uint32_t h = graphics.setTexture(2, 4, image, 0, false, false);
    drawWith(h);
    graphics.setTexture(2, 8, pixels(2, 8, 2), h, false, false);
    image = pixels(2, 4, 3);
    graphics.setTexture(2, 4, image, h, false, false);
    drawWith(h);
    image[3 * 2 * 4] = 9;  // row 3
    graphics.setTexture(2, 4, image, h, false, false);
    ASSERT_NO_THROW(drawWith(h));
    ASSERT_EQ(rec.uploads.size(), 3u);
    EXPECT_TRUE(rec.uploads[2].inPlace);
    EXPECT_EQ(rec.uploads[2].rows.first, 3);
    EXPECT_EQ(rec.uploads[2].rows.end, 4);
    EXPECT_EQ(rec.images.at(rec.uploads[2].object), image);
}

// The recording stands in for OpenGL, so it must refuse what OpenGL refuses
// instead of reading past the texture's pixels.
TEST(RecordingBackendRefuses, RowsOutsideTheImageOrAnImageOfAnotherSize) {
    Recording rec;
    RecordingBackend backend(rec);
    Texture texture;
    texture.width = 2;
    texture.height = 2;
    texture.pixels = pixels(2, 2, 7);
    backend.bindTextureObject(100);
    EXPECT_THROW(backend.updateTextureRows(texture, RowBand{0, 1}), std::logic_error) << "no image yet";
    backend.uploadTexture(texture);
    EXPECT_THROW(backend.updateTextureRows(texture, RowBand{0, 4}), std::logic_error) << "rows past the end";
    EXPECT_THROW(backend.updateTextureRows(texture, RowBand{-1, 1}), std::logic_error) << "rows before the start";
    Texture taller = texture;
    taller.height = 4;
    taller.pixels = pixels(2, 4, 8);
    EXPECT_THROW(backend.updateTextureRows(taller, RowBand{0, 1}), std::logic_error) << "another size";
    EXPECT_EQ(rec.errors.size(), 4u);
    EXPECT_EQ(rec.images.at(100), pixels(2, 2, 7)) << "a refused update leaves the image";
    texture.pixels = pixels(2, 2, 9);
    EXPECT_NO_THROW(backend.updateTextureRows(texture, RowBand{0, 2}));
    EXPECT_EQ(rec.images.at(100), pixels(2, 2, 9));
    EXPECT_EQ(rec.errors.size(), 4u);
}

TEST_F(GraphicsTest, NewTextureAfterDeletingTheUploadedOneIsUploaded) {
    const uint32_t a = graphics.setTexture(1, 1, pixels(1, 1, 1), 0, false, false);
    drawWith(a);
    graphics.deleteTexture(a);
    ASSERT_EQ(rec.deletedObjects.size(), 1u);
    const uint32_t b = graphics.setTexture(1, 1, pixels(1, 1, 2), 0, false, false);
    EXPECT_EQ(graphics.textures().at(b).version, 1u);
    drawWith(b);
    ASSERT_EQ(rec.uploads.size(), 2u);
    EXPECT_EQ(rec.uploads[1].pixels, pixels(1, 1, 2));
}

TEST_F(GraphicsTest, UntexturedDrawKeepsTheUploadedImage) {
    const uint32_t h = graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    drawWith(h);
    drawWith(0);
    EXPECT_FALSE(rec.draws.back().state.textured);
    drawWith(h);
    EXPECT_EQ(rec.uploads.size(), 1u);
    EXPECT_TRUE(rec.draws.back().state.textured);
}

TEST_F(GraphicsTest, EmptyListTouchesNoState) {
    const uint32_t h = graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    graphics.drawTriangles({}, h, true, false, false, true, 0.5f, true);
    graphics.drawTriangles({}, 999, true, false, false, true, 0.5f, true);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(GraphicsTest, DrawingAnUnknownHandleThrowsAndDrawsNothing) {
    EXPECT_THROW(drawWith(42), std::out_of_range);
    const uint32_t h = graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    graphics.deleteTexture(h);
    EXPECT_THROW(drawWith(h), std::out_of_range);
    EXPECT_TRUE(rec.draws.empty());
}

TEST_F(GraphicsTest, DeletingAnAbsentHandleDoesNothing) {
    graphics.deleteTexture(5);
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(GraphicsTest, ClearTexturesReleasesObjectsAndKeepsCounting) {
    const uint32_t a = graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    const uint32_t b = graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    drawWith(a);
    drawWith(b);
    graphics.clearTextures();
    EXPECT_TRUE(graphics.textures().empty());
    EXPECT_EQ(rec.deletedObjects.size(), 2u);
    EXPECT_EQ(graphics.setTexture(1, 1, pixels(1, 1), 0, false, false), 3u);
}

TEST_F(GraphicsTest, VerticesAndAlphaReachTheBackend) {
    std::vector<Vertex> v(3);
    v[1].x = 0.25f;
    v[2].v = 0.75f;
    graphics.drawTriangles(v, 0, false, false, false, true, 0.3f, false);
    ASSERT_EQ(rec.draws.size(), 1u);
    EXPECT_FLOAT_EQ(rec.draws[0].alpha, 0.3f);
    ASSERT_EQ(rec.draws[0].vertices.size(), 3u);
    EXPECT_FLOAT_EQ(rec.draws[0].vertices[1].x, 0.25f);
    EXPECT_FLOAT_EQ(rec.draws[0].vertices[2].v, 0.75f);
}

TEST_F(GraphicsTest, FrameAndScissorReachTheBackend) {
    graphics.beginFrame(640, 480);
    EXPECT_EQ(rec.frameWidth, 640);
    EXPECT_EQ(rec.frameHeight, 480);
    graphics.setScissor(1, 2, 3, 4);
    EXPECT_TRUE(rec.scissorOn);
    EXPECT_EQ(rec.scissor[3], 4);
    // The scissor stays over draws until it is cleared.
    drawWith(0);
    EXPECT_TRUE(rec.scissorOn);
    graphics.clearScissor();
    EXPECT_FALSE(rec.scissorOn);
}

TEST(GraphicsWithoutBackend, KeepsTheTableAndDrawsNowhere) {
    Graphics graphics;
    const uint32_t h = graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    graphics.beginFrame(10, 10);
    EXPECT_NO_THROW(graphics.drawTriangles(triangle(), h, false, true, false, false, 1, false));
    EXPECT_THROW(graphics.drawTriangles(triangle(), h + 1, false, true, false, false, 1, false), std::out_of_range);
    EXPECT_EQ(graphics.uploadCounters().uploads, 0u);
}

TEST(GraphicsInitialize, ANewBackendUploadsTheTableAfresh) {
    Recording first;
    Recording second;
    Graphics graphics{std::make_unique<RecordingBackend>(first)};
    const uint32_t h = graphics.setTexture(1, 1, pixels(1, 1), 0, false, false);
    graphics.drawTriangles(triangle(), h, false, true, false, false, 1, false);
    graphics.initialize(std::make_unique<RecordingBackend>(second));
    EXPECT_EQ(first.deletedObjects.size(), 1u);
    graphics.drawTriangles(triangle(), h, false, true, false, false, 1, false);
    EXPECT_EQ(second.uploads.size(), 1u);
}

struct StateCase {
    const char* name;
    bool cull, overlay, invert, translucent, alphaTest;
    bool depthTest, depthWrite;
    DrawState::Blend blend;
    bool writeAlpha;
};

class GraphicsStateTest : public ::testing::TestWithParam<StateCase> {};

TEST_P(GraphicsStateTest, SwitchesBecomePipelineState) {
    const StateCase c = GetParam();
    Recording rec;
    Graphics graphics{std::make_unique<RecordingBackend>(rec)};
    graphics.drawTriangles(triangle(), 0, c.cull, c.overlay, c.invert, c.translucent, 1, c.alphaTest);
    ASSERT_EQ(rec.draws.size(), 1u);
    const DrawState& s = rec.draws[0].state;
    EXPECT_EQ(s.cull, c.cull) << c.name;
    EXPECT_EQ(s.alphaTest, c.alphaTest) << c.name;
    EXPECT_EQ(s.depthTest, c.depthTest) << c.name;
    EXPECT_EQ(s.depthWrite, c.depthWrite) << c.name;
    EXPECT_EQ(s.blend, c.blend) << c.name;
    EXPECT_EQ(s.writeAlpha, c.writeAlpha) << c.name;
    EXPECT_FALSE(s.textured) << c.name;
}

using B = DrawState::Blend;
INSTANTIATE_TEST_SUITE_P(
    Uses, GraphicsStateTest,
    ::testing::Values(StateCase{"canvas", false, true, false, false, false, false, false, B::Alpha, true},
                      StateCase{"crosshair", false, true, true, false, false, false, false, B::Invert, false},
                      StateCase{"character box", true, false, false, false, false, true, true, B::None, true},
                      StateCase{"cutout map batch", false, false, false, false, true, true, true, B::None, true},
                      StateCase{"label", false, false, false, true, false, true, false, B::Alpha, true},
                      // overlay wins over translucent
                      StateCase{"overlay translucent", false, true, false, true, false, false, false, B::Alpha, true}));

}  // namespace
}  // namespace vobu
