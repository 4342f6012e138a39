// What the overlay paints and uploads: the two textures, their quads, the
// colours of every state, and no repaint or upload on frames where nothing
// shown changed (mouse look moves the pointer every frame).

#include "game_overlay_test_support.h"

namespace vobu::testing {
namespace {

using OverlayPainting = OverlayTest;

constexpr uint32_t kHighlight = 0xffa9bdce;
constexpr uint32_t kBody = 0xff9694a8;

class OverlayUploads : public OverlayTest {
protected:
    // Mouse look: the pointer moves a little every frame.
    void look(int frames, int x, int y) {
        for (int i = 0; i < frames; ++i) {
            send(mouseMotion(x + i % 23, y + i % 7, 3, -1));
            send(mouseMotion(x + i % 19, y + i % 5, -2, 1));
            frame();
        }
    }
    // The backend object of a handle: the one bound when it was first drawn.
    uint32_t objectOf(uint32_t handle) const {
        if (handle == overlay.chatTexture) return recording.draws.empty() ? 0 : recording.draws[0].boundObject;
        return recording.draws.size() < 2 ? 0 : recording.draws[1].boundObject;
    }
};

TEST_F(OverlayUploads, LookingAroundUploadsNothingAfterTheFirstFrame) {
    addLines(30);
    frame();
    ASSERT_EQ(uploadCount(), 2u) << "the chat area and the strip, once";
    ASSERT_EQ(recording.uploads[0].width * recording.uploads[0].height * 4, 512 * 512 * 4);
    const uint64_t bytes = graphics.uploadCounters().bytes;

    look(120, 500, 400);
    EXPECT_EQ(uploadCount(), 2u);
    EXPECT_EQ(graphics.uploadCounters().bytes, bytes);
    EXPECT_FALSE(overlay.dirty);
    EXPECT_EQ(recording.draws.size(), 2u * 121u) << "two quads a frame";
}

TEST_F(OverlayUploads, HoverChangesReuploadOnlyTheStripOncePerChange) {
    frame();
    const uint32_t stripObject = objectOf(overlay.stripTexture);
    look(10, 644 + 20, 12 + 5);  // over "Characters"
    look(10, 644 + 30, 12 + 8);  // still over it
    ASSERT_EQ(uploadCount(), 3u);
    EXPECT_EQ(recording.uploads.back().object, stripObject);
    EXPECT_EQ(recording.uploads.back().width, 512);
    EXPECT_EQ(recording.uploads.back().height, 32);
    look(10, 500, 400);
    EXPECT_EQ(uploadCount(), 4u);
    EXPECT_EQ(recording.uploads.back().object, stripObject);
}

TEST_F(OverlayUploads, TheThumbAppearingOverTheLogReuploadsOnlyTheChatArea) {
    addLines(30);
    frame();
    const uint32_t chatObject = objectOf(overlay.chatTexture);
    look(5, 16 + 100, 12 + 100);
    ASSERT_EQ(uploadCount(), 3u);
    EXPECT_EQ(recording.uploads.back().object, chatObject);
    look(5, 16 + 10, 12 + 20);
    EXPECT_EQ(uploadCount(), 3u);
}

TEST_F(OverlayUploads, KeysThatChangeNothingShownUploadNothing) {
    pressReturn();
    frame();
    const size_t before = uploadCount();
    tap(SDLK_LEFT, SDL_SCANCODE_LEFT);  // at position 0 already
    frame(0.0);
    EXPECT_EQ(uploadCount(), before);
}

TEST_F(OverlayUploads, ClicksIntoTheWorldAndResizingRepaintNothing) {
    frame();
    look(1, 500, 400);
    const size_t before = uploadCount();
    EXPECT_FALSE(send(mouseButton(true, 500, 400)));
    EXPECT_FALSE(send(mouseButton(false, 500, 400)));
    frame();
    for (int width = 1020; width < 1100; width += 8) {
        overlay.setLayout(width - 376, 16, width, 700);
        frame();
    }
    EXPECT_EQ(uploadCount(), before);
    EXPECT_FALSE(overlay.dirty);
}

TEST_F(OverlayUploads, TheCaretBlinksTwiceASecondInTheChatAreaOnly) {
    pressReturn();
    frame(0.0);
    const size_t opened = uploadCount();
    const uint32_t chatObject = objectOf(overlay.chatTexture);
    for (int i = 0; i < 8; ++i) frame(0.125);  // one second: two blink steps
    EXPECT_EQ(uploadCount(), opened + 2);
    for (size_t i = opened; i < uploadCount(); ++i) {
        const RecordedUpload& blink = recording.uploads[i];
        EXPECT_EQ(blink.object, chatObject);
        // The caret runs from y 208 to 226: only its rows are sent.
        EXPECT_EQ(blink.rows.first, 208);
        EXPECT_EQ(blink.rows.end, 227);
        EXPECT_EQ(blink.bytes, 19u * 512u * 4u);
    }
    EXPECT_EQ(recording.images.at(chatObject), graphics.textures().at(overlay.chatTexture).pixels);
}

TEST_F(OverlayUploads, TypingSendsTheChatLinesRowsOnly) {
    pressReturn();
    frame(0.0);
    const size_t opened = uploadCount();
    type("hello");
    frame(0.0);
    ASSERT_EQ(uploadCount(), opened + 1);
    EXPECT_GE(recording.uploads.back().rows.first, 204);
    EXPECT_LE(recording.uploads.back().rows.end, 230);
}

TEST_F(OverlayPainting, QuadsSitAtTheChatAreaAndTheStrip) {
    frame();
    ASSERT_EQ(recording.draws.size(), 2u);
    const RecordedDraw& chat = recording.draws[0];
    const RecordedDraw& strip = recording.draws[1];
    ASSERT_EQ(chat.vertices.size(), 6u);
    EXPECT_FLOAT_EQ(chat.vertices[0].x, 2.0f * 16 / 1020 - 1);
    EXPECT_FLOAT_EQ(chat.vertices[0].y, 1 - 2.0f * 12 / 680);
    EXPECT_FLOAT_EQ(chat.vertices[2].x, 2.0f * (16 + 512) / 1020 - 1);
    EXPECT_FLOAT_EQ(chat.vertices[2].y, 1 - 2.0f * (12 + 512) / 680);
    EXPECT_FLOAT_EQ(chat.vertices[2].u, 1.0f);
    EXPECT_FLOAT_EQ(strip.vertices[0].x, 2.0f * 644 / 1020 - 1);
    EXPECT_FLOAT_EQ(strip.vertices[2].y, 1 - 2.0f * (12 + 32) / 680);
    for (const RecordedDraw& draw : recording.draws) {
        EXPECT_FALSE(draw.state.depthTest);
        EXPECT_EQ(draw.state.blend, DrawState::Blend::Alpha);
        EXPECT_FLOAT_EQ(draw.alpha, 1.0f);
    }
    const Texture& stripTexture = graphics.textures().at(overlay.stripTexture);
    EXPECT_TRUE(stripTexture.linear);
    EXPECT_FALSE(stripTexture.repeat);
}

TEST_F(OverlayPainting, ButtonFillsFollowPressFocusAndHover) {
    struct Case {
        const char* what;
        std::function<void(OverlayTest&)> setUp;
        uint32_t characters;
        uint32_t disconnect;
    };
    const int y = 12 + 20;
    const std::vector<Case> cases = {
        {"idle", [](OverlayTest&) {}, 0x91000000, 0x91000000},
        {"hover", [&](OverlayTest&) { send(mouseMotion(644 + 180 + 2, y)); }, 0x91000000, 0xbe000000},
        {"focus", [&](OverlayTest&) { overlay.focus = 1; }, 0xbe000000, 0x91000000},
        {"held", [&](OverlayTest&) { send(mouseButton(true, 644 + 2, y)); }, 0xdc000000, 0x91000000},
        {"held, then cancelled",
         [&](OverlayTest&) {
             send(mouseButton(true, 644 + 2, y));
             send(mouseMotion(644 + 30, y));
         },
         0xbe000000, 0x91000000},
    };
    for (const Case& c : cases) {
        overlay.reset();
        send(mouseMotion(500, 400));
        c.setUp(*this);
        frame();
        const Texture& strip = graphics.textures().at(overlay.stripTexture);
        EXPECT_EQ(texel(strip, 1, 1), c.characters) << c.what;
        EXPECT_EQ(texel(strip, 181, 1), c.disconnect) << c.what;
        EXPECT_EQ(texel(strip, 175, 1), 0u) << c.what << ": the gap stays clear";
        EXPECT_EQ(texel(strip, 1, 26), 0u) << c.what << ": buttons are 26 high";
    }
}

TEST_F(OverlayPainting, LabelsAreCentred) {
    frame();
    const Texture& strip = graphics.textures().at(overlay.stripTexture);
    // "Characters" and "Disconnect" are 80 pixels wide.
    EXPECT_TRUE(glyphInTexture(strip, font.glyph('C'), (172 - 80) / 2, 5, kHighlight));
    EXPECT_TRUE(glyphInTexture(strip, font.glyph('D'), 180 + 50, 5, kHighlight));
}

TEST_F(OverlayPainting, TheClosedLineShowsTheHintAndTheOpenLineItsBox) {
    frame();
    const Texture* chat = &graphics.textures().at(overlay.chatTexture);
    EXPECT_TRUE(glyphInTexture(*chat, font.glyph('C'), 8, 209, kBody));
    EXPECT_EQ(texel(*chat, 2, 2), 0u);
    EXPECT_EQ(texel(*chat, 2, 206), 0u);

    pressReturn();
    frame(0.0);
    chat = &graphics.textures().at(overlay.chatTexture);
    EXPECT_EQ(texel(*chat, 2, 2), 0xa0000000u) << "the log is shaded while the line is open";
    EXPECT_EQ(texel(*chat, 2, 206), 0xaa000000u);
    EXPECT_EQ(texel(*chat, 8, 210), kHighlight) << "the caret";
    EXPECT_FALSE(glyphInTexture(*chat, font.glyph('C'), 8, 209, kBody));
}

TEST_F(OverlayPainting, TheWhisperTargetShowsInTheLineAndShadesItsLines) {
    appendChatLine(scene, chatLine(kBob, kLocal, "Bob", "Me", "hey"));
    appendChatLine(scene, chatLine(3, 0, "Cy", "", "hello"));
    appendChatLine(scene, chatLine(kLocal, kBob, "Me", "Bob", "yes?"));
    overlay.toggleWhisper(kBob, "Bob");
    type("hi");
    frame(0.0);
    const Texture& chat = graphics.textures().at(overlay.chatTexture);
    EXPECT_EQ(texel(chat, 360 - 2, 8 + 1), 0x41ff00ffu);
    EXPECT_EQ(texel(chat, 360 - 2, 8 + 18 + 1), 0xa0000000u) << "a line of someone else";
    EXPECT_EQ(texel(chat, 360 - 2, 8 + 36 + 1), 0x41ff00ffu) << "one's own whisper to the target";
    EXPECT_TRUE(glyphInTexture(chat, font.glyph('F'), 8, 8, 0xffd28edc)) << "a whisper's prefix";
    EXPECT_TRUE(glyphInTexture(chat, font.glyph('C'), 8, 8 + 18, kHighlight)) << "a public prefix";
    EXPECT_TRUE(glyphInTexture(chat, font.glyph('h'), 8 + 32, 8 + 18, kBody));
    EXPECT_TRUE(glyphInTexture(chat, font.glyph('T'), 8, 209, 0xffd28edc)) << "\"To Bob: \" before the line";
    EXPECT_TRUE(glyphInTexture(chat, font.glyph('h'), 8 + 64, 209, kHighlight));
}

TEST_F(OverlayPainting, TheThumbShowsWhereTheViewIs) {
    addLines(30);
    pressReturn();
    frame(0.0);
    const Texture* chat = &graphics.textures().at(overlay.chatTexture);
    // 30 lines: 60 pixels high, at the bottom of the 180-pixel track.
    EXPECT_EQ(texel(*chat, 356, 127), 0xa0000000u);
    EXPECT_EQ(texel(*chat, 356, 128), 0xb4ffffffu);
    EXPECT_EQ(texel(*chat, 356, 187), 0xb4ffffffu);
    EXPECT_EQ(texel(*chat, 356, 188), 0xa0000000u);

    send(mouseMotion(16 + 100, 12 + 100));
    send(mouseWheel(100));
    frame(0.0);
    chat = &graphics.textures().at(overlay.chatTexture);
    EXPECT_EQ(texel(*chat, 356, 8), 0xb4ffffffu);
    EXPECT_EQ(texel(*chat, 356, 68), 0xa0000000u);
}

TEST_F(OverlayPainting, ASelectionIsShaded) {
    pressReturn();
    type("abcdef");
    overlay.chatField.setCursor(1, false);
    overlay.chatField.setCursor(3, true);
    frame(0.0);
    const Texture& chat = graphics.textures().at(overlay.chatTexture);
    EXPECT_EQ(texel(chat, 8 + 8, 208), 0x41ff00ffu);
    EXPECT_EQ(texel(chat, 8 + 23, 208), 0x41ff00ffu);
    EXPECT_EQ(texel(chat, 8 + 24, 208), kHighlight) << "the caret after the selection";
    EXPECT_EQ(texel(chat, 8 + 25, 208), 0xaa000000u);
}

TEST_F(OverlayPainting, LinesWhoseEntryIsGoneAreDrawnAsPlainText) {
    addLines(3);
    frame();
    Scene emptied = scene;
    emptied.chat.clear();
    overlay.dirty = true;
    overlay.draw(emptied);
    EXPECT_TRUE(overlay.nameRegions.empty());
    const Texture& chat = graphics.textures().at(overlay.chatTexture);
    EXPECT_TRUE(glyphInTexture(chat, font.glyph('l'), 8, 8, kBody)) << "\"line 1\" without its prefix";
}

TEST_F(OverlayPainting, NothingIsDrawnWithoutGraphicsOrFont) {
    GameOverlay bare;
    bare.draw(scene);
    bare.update(0.1, scene);
    EXPECT_TRUE(bare.dirty);
    EXPECT_EQ(bare.chatTexture, 0u);
}

}  // namespace
}  // namespace vobu::testing
