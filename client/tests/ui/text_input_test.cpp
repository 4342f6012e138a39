#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "ui/text_field.h"
#include "ui/text_input.h"

namespace vobu {
namespace {

// These need a display (the clipboard belongs to a window system). ctest
// runs them once more under Xvfb with VOBU_REQUIRE_DISPLAY set, where a
// missing display is a failure instead of a skip.
class SdlTextInput : public ::testing::Test {
protected:
    void SetUp() override {
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            if (std::getenv("VOBU_REQUIRE_DISPLAY") != nullptr) {
                FAIL() << "no display for SDL: " << SDL_GetError();
            }
            GTEST_SKIP() << "no display: " << SDL_GetError();
        }
        // X11 clipboard ownership needs a window of ours.
        window_ = SDL_CreateWindow("clipboard", 0, 0, 16, 16, SDL_WINDOW_HIDDEN);
        ASSERT_NE(window_, nullptr) << SDL_GetError();
    }
    void TearDown() override {
        if (window_ != nullptr) SDL_DestroyWindow(window_);
        SDL_Quit();
    }
    SDL_Window* window_ = nullptr;
};

TEST_F(SdlTextInput, CopyCutAndPasteGoThroughTheClipboard) {
    TextField source(64);
    source.setText("hello world");
    source.setCursor(6, false);
    source.setCursor(11, true);
    ASSERT_TRUE(copyFieldSelection(source));
    char* clip = SDL_GetClipboardText();
    ASSERT_NE(clip, nullptr);
    EXPECT_STREQ(clip, "world");
    SDL_free(clip);

    ASSERT_TRUE(cutFieldSelection(source));
    EXPECT_EQ(source.text, "hello ");

    TextField target(8);
    target.setText("ab");
    ASSERT_TRUE(pasteIntoField(target));
    EXPECT_EQ(target.text, "abworld");
    EXPECT_EQ(target.cursor, 7);
    EXPECT_EQ(target.undoStack.size(), 1u);
}

TEST_F(SdlTextInput, PastedTextIsCleanedAndCutToTheRoomLeft) {
    ASSERT_EQ(SDL_SetClipboardText("line one\nline\ttwo"), 0);
    TextField field(12);
    field.setText("> ");
    pasteIntoField(field);
    EXPECT_EQ(field.text, "> line oneli");
}

TEST_F(SdlTextInput, EmptySelectionCopiesNothing) {
    ASSERT_EQ(SDL_SetClipboardText("kept"), 0);
    TextField field(12);
    field.setText("abc");
    EXPECT_FALSE(copyFieldSelection(field));
    EXPECT_FALSE(cutFieldSelection(field));
    EXPECT_EQ(field.text, "abc");
    char* clip = SDL_GetClipboardText();
    EXPECT_STREQ(clip, "kept");
    SDL_free(clip);
}

TEST_F(SdlTextInput, TextInputSwitchesAndCompositionHooks) {
    startTextInput();
    EXPECT_TRUE(SDL_IsTextInputActive());
    stopTextInput();
    EXPECT_FALSE(SDL_IsTextInputActive());
    std::string text;
    int cursor = 0;
    int anchor = 0;
    setTextInputCaret(1, 2);
    EXPECT_FALSE(compositionText(text, cursor, anchor));
    EXPECT_FALSE(compositionActive());
    SDL_SetModState(KMOD_RSHIFT);
    EXPECT_TRUE(isShiftHeld());
    SDL_SetModState(KMOD_LCTRL);
    EXPECT_FALSE(isShiftHeld());
    SDL_SetModState(KMOD_NONE);
}

}  // namespace
}  // namespace vobu
