// Speech bubbles: text layout, the stack's timing and settling, drawing;
// and the name tag's texture reuse.
#include <gtest/gtest.h>

#include "presentation_test_support.h"
#include "ui/text.h"
#include "world/name_tag.h"
#include "world/speech_bubbles.h"

namespace vobu {
namespace {

using presentation::RecordedGraphics;

Vertex flat(float x, float y, float z, const Color& c) { return Vertex{x, y, z, 1, c.r, c.g, c.b, 0, 0}; }

class BubbleTest : public ::testing::Test {
protected:
    // One line of test-font text (8 pixels a glyph) is 18 label pixels high.
    float lineHeight(int lines) const { return float(18 * lines + 2) * kLabelWorldScale; }
    std::string words(int count) const {
        std::string out;
        for (int i = 0; i < count; ++i) out += (i ? " " : "") + std::string("word") + char('a' + i % 26);
        return out;
    }
    // Updates at 60 frames a second until `ms` have passed.
    void run(double fromMs, double ms) {
        for (double t = fromMs; t < fromMs + ms; t += 1000.0 / 60) stack.update(rg.graphics, t, 1.0 / 60);
    }

    Font font = testing::testFont();
    RecordedGraphics rg;
    ChatBubbles stack;
};

TEST_F(BubbleTest, LongTextShowsThreeLinesTheLastShortenedWithDots) {
    // 5 characters a word, 22 words: about six lines of 176 pixels.
    const LabelSprite sprite = layoutBubbleText(font, words(22), std::nullopt);
    EXPECT_EQ(sprite.contentHeight, 18 * 3 + 2);
    std::vector<std::string> lines = wrapText(font, words(22), 176, 176, false);
    ASSERT_GT(lines.size(), 3u);

    // The shortened third line fits with its dots, and one more glyph would not.
    std::string third = lines[2];
    while (textWidth(font, third + "...", false) > 176) third.pop_back();
    EXPECT_LE(textWidth(font, third + "...", false), 176);
    const LabelSprite expected = renderLabelLines(font, {lines[0], lines[1], third + "..."}, std::nullopt, false);
    EXPECT_EQ(sprite.pixels, expected.pixels);
}

TEST_F(BubbleTest, ExactlyThreeLinesGetNoDots) {
    const std::vector<std::string> lines = {std::string(22, 'a'), std::string(22, 'b'), std::string(22, 'c')};
    std::string const text = lines[0] + " " + lines[1] + " " + lines[2];
    ASSERT_EQ(wrapText(font, text, 176, 176, false).size(), 3u);
    const LabelSprite sprite = layoutBubbleText(font, text, std::nullopt);
    EXPECT_EQ(sprite.pixels, renderLabelLines(font, lines, std::nullopt, false).pixels);
}

TEST_F(BubbleTest, ShorteningRemovesWholeCodePointsAndStrayBytes) {
    // A third line of two-byte characters: cut by whole characters only.
    std::string const e = "\xC3\xA9";  // U+00E9, 8 pixels in the test font
    std::string longLine;
    for (int i = 0; i < 30; ++i) longLine += e;
    std::string const text = std::string(22, 'a') + " " + std::string(22, 'b') + " " + longLine + " more words";
    const LabelSprite sprite = layoutBubbleText(font, text, std::nullopt);
    std::string third;
    for (int i = 0; i < 19; ++i) third += e;  // 19 x 8 + 24 = 176
    const LabelSprite expected =
        renderLabelLines(font, {std::string(22, 'a'), std::string(22, 'b'), third + "..."}, std::nullopt, false);
    EXPECT_EQ(sprite.pixels, expected.pixels);
}

TEST_F(BubbleTest, CaretsShowAsTypedAndWhispersTakeTheirColor) {
    const LabelSprite coded = layoutBubbleText(font, "^#ff0000red", std::nullopt);
    EXPECT_EQ(coded.contentWidth, textWidth(font, "^#ff0000red", false) + 4);
    const LabelSprite whisper = layoutBubbleText(font, "psst", kWhisperColor);
    bool sawWhisperColor = false;
    for (size_t i = 0; i < whisper.pixels.size(); i += 4) {
        if (whisper.pixels[i + 3] == 255 && whisper.pixels[i] != 0) {
            EXPECT_EQ(whisper.pixels[i], 220);
            EXPECT_EQ(whisper.pixels[i + 1], 142);
            EXPECT_EQ(whisper.pixels[i + 2], 210);
            sawWhisperColor = true;
        }
    }
    EXPECT_TRUE(sawWhisperColor);
}

TEST_F(BubbleTest, AFourthLinePushesTheOldestOutAndDeletesItsTexture) {
    for (int i = 0; i < 3; ++i) stack.add(rg.graphics, font, "line " + std::to_string(i), 1000.0 + i, nullptr);
    ASSERT_EQ(stack.bubbles.size(), 3u);
    const uint32_t oldest = stack.bubbles[0].texture;
    stack.add(rg.graphics, font, "line 3", 1003.0, nullptr);
    ASSERT_EQ(stack.bubbles.size(), 3u);
    EXPECT_EQ(rg.graphics.textures().count(oldest), 0u);
    EXPECT_EQ(stack.bubbles[0].createdMs, 1001.0);
    EXPECT_EQ(stack.bubbles[2].createdMs, 1003.0);
    EXPECT_EQ(rg.liveTextures(), 3u);
    // Each bubble was uploaded once, with linear filtering and no repeat.
    EXPECT_EQ(rg.graphics.textures().at(stack.bubbles[2].texture).linear, true);
    EXPECT_EQ(rg.graphics.textures().at(stack.bubbles[2].texture).repeat, false);
}

TEST_F(BubbleTest, ASecondBubbleWaitsUntilTheFirstHasRisenOutOfItsWay) {
    stack.add(rg.graphics, font, "first", 0, nullptr);
    EXPECT_TRUE(stack.bubbles[0].shown);
    stack.update(rg.graphics, 10, 0.01);
    stack.add(rg.graphics, font, "second", 10, nullptr);
    EXPECT_FALSE(stack.bubbles[1].shown);
    const float rise = lineHeight(1) + 0.08f;
    EXPECT_FLOAT_EQ(stack.targets()[0], rise);
    EXPECT_FLOAT_EQ(stack.targets()[1], 0.0f);

    // Offsets move only on every sixth update, by 2.2 units a second of the
    // time gathered meanwhile.
    int updates = 0;
    double t = 10;
    while (!stack.bubbles[1].shown && updates < 1000) {
        const float before = stack.bubbles[0].offset;
        t += 10;
        stack.update(rg.graphics, t, 0.01);
        ++updates;
        if (stack.updateCount % 6 != 0) {
            EXPECT_EQ(stack.bubbles[0].offset, before);
        } else {
            EXPECT_NEAR(stack.bubbles[0].offset - before, std::min(0.06f * 2.2f, rise - before), 1e-5);
        }
    }
    EXPECT_TRUE(stack.bubbles[1].shown);
    EXPECT_NEAR(stack.bubbles[0].offset, rise, 1e-4);
    // 2.2 units a second at 10 ms an update: about rise / 0.022 updates.
    EXPECT_NEAR(updates, rise / 0.022, 8);
}

TEST_F(BubbleTest, BubblesFadeOverTheirLastSevenHundredFiftyMillisecondsThenGo) {
    stack.add(rg.graphics, font, "hello", 0, nullptr);
    const uint32_t texture = stack.bubbles[0].texture;
    Vertex (*plot)(float, float, float, const Color&) = flat;
    struct Case {
        double ageMs;
        float alpha;
        float rise;
    } const cases[] = {{6250, 1.0f, 0.0f}, {6625, 0.5f, 0.15f}, {6999, 1.0f / 750, 0.3f * 749 / 750}};
    for (const Case& c : cases) {
        const size_t before = rg.recording.draws.size();
        stack.draw(rg.graphics, c.ageMs, {0, 0, 2}, {1, 0, 0}, {0, 0, 1}, plot);
        ASSERT_EQ(rg.recording.draws.size(), before + 1);
        const testing::RecordedDraw& d = rg.recording.draws.back();
        EXPECT_NEAR(d.alpha, c.alpha, 1e-5) << c.ageMs;
        EXPECT_NEAR(d.vertices[0].z, 2 + c.rise, 1e-5) << c.ageMs;  // lower left
        EXPECT_NEAR(d.vertices[2].z, 2 + c.rise + lineHeight(1), 1e-5);
        EXPECT_NEAR(d.vertices[1].x - d.vertices[0].x, stack.bubbles[0].sprite.contentWidth * kLabelWorldScale, 1e-5);
        EXPECT_TRUE(d.state.blend == DrawState::Blend::Alpha);
        EXPECT_FALSE(d.state.depthWrite);
        EXPECT_TRUE(d.state.depthTest);
        EXPECT_FALSE(d.state.cull);
        EXPECT_FALSE(d.state.alphaTest);
        EXPECT_EQ(d.vertices[0].v, stack.bubbles[0].sprite.vMax);
        EXPECT_EQ(d.vertices[2].u, stack.bubbles[0].sprite.uMax);
    }
    stack.update(rg.graphics, 6999, 0.016);
    EXPECT_EQ(stack.bubbles.size(), 1u);
    stack.update(rg.graphics, 7000, 0.016);
    EXPECT_TRUE(stack.bubbles.empty());
    EXPECT_EQ(rg.graphics.textures().count(texture), 0u);
}

TEST_F(BubbleTest, HiddenBubblesAreNotDrawn) {
    stack.add(rg.graphics, font, "one", 0, nullptr);
    stack.add(rg.graphics, font, "two", 0, nullptr);
    stack.draw(rg.graphics, 100, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}, flat);
    EXPECT_EQ(rg.recording.draws.size(), 1u);
    stack.release(rg.graphics);
    EXPECT_TRUE(stack.bubbles.empty());
    EXPECT_EQ(rg.liveTextures(), 0u);
}

TEST(NameTag, RendersOnceAndOnlyAgainWhenTheTextChanges) {
    const Font font = testing::testFont();
    RecordedGraphics rg;
    NameTag tag;
    auto draw = [&](const std::string& text) {
        tag.draw(rg.graphics, font, text, 1, 2, 3, {1, 0, 0}, {0, 0, 1}, flat, 1.0f);
        rg.graphics.beginFrame(10, 10);  // uploads happen when drawn
    };
    draw("");
    EXPECT_EQ(tag.texture, 0u);
    EXPECT_TRUE(rg.recording.draws.empty());
    draw("Alice");
    const uint32_t texture = tag.texture;
    EXPECT_NE(texture, 0u);
    const uint32_t version = rg.graphics.textures().at(texture).version;
    for (int i = 0; i < 5; ++i) draw("Alice");
    EXPECT_EQ(rg.graphics.textures().at(texture).version, version);
    EXPECT_EQ(rg.uploads(), 1u);
    draw("Bob");
    EXPECT_EQ(tag.texture, texture);  // the same handle, new pixels
    EXPECT_EQ(rg.graphics.textures().at(texture).version, version + 1);
    EXPECT_EQ(tag.text, "Bob");
    const testing::RecordedDraw& d = rg.recording.draws.back();
    EXPECT_EQ(d.vertices.size(), 6u);
    EXPECT_TRUE(d.state.blend == DrawState::Blend::Alpha);
    EXPECT_FALSE(d.state.depthWrite);
    EXPECT_FLOAT_EQ(d.vertices[0].x, 0.0f);  // centred on x = 1, one unit to each side
    EXPECT_FLOAT_EQ(d.vertices[1].x, 2.0f);
    tag.release(rg.graphics);
    EXPECT_EQ(rg.liveTextures(), 0u);
}

}  // namespace
}  // namespace vobu
