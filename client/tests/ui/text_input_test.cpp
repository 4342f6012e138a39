#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <string>

#include "platform/text_clipboard.h"
#include "ui/text_field.h"
#include "ui/text_field_controller.h"
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
    TextFieldController controller;  // with the system's clipboard
    TextField source(64);
    source.setText("hello world");
    source.setCursor(6, false);
    source.setCursor(11, true);
    ASSERT_TRUE(controller.copy(source));
    char* clip = SDL_GetClipboardText();
    ASSERT_NE(clip, nullptr);
    EXPECT_STREQ(clip, "world");
    SDL_free(clip);

    ASSERT_TRUE(controller.cut(source));
    EXPECT_EQ(source.text, "hello ");

    TextField target(8);
    target.setText("ab");
    ASSERT_TRUE(controller.paste(target));
    EXPECT_EQ(target.text, "abworld");
    EXPECT_EQ(target.cursor, 7);
    EXPECT_EQ(target.undoStack.size(), 1u);
}

TEST_F(SdlTextInput, PastedTextIsCleanedAndCutToTheRoomLeft) {
    ASSERT_EQ(SDL_SetClipboardText("line one\nline\ttwo"), 0);
    TextFieldController controller;
    TextField field(12);
    field.setText("> ");
    controller.paste(field);
    EXPECT_EQ(field.text, "> line oneli");
}

TEST_F(SdlTextInput, EmptySelectionCopiesNothing) {
    ASSERT_EQ(SDL_SetClipboardText("kept"), 0);
    TextFieldController controller;
    TextField field(12);
    field.setText("abc");
    EXPECT_FALSE(controller.copy(field));
    EXPECT_FALSE(controller.cut(field));
    EXPECT_EQ(field.text, "abc");
    char* clip = SDL_GetClipboardText();
    EXPECT_STREQ(clip, "kept");
    SDL_free(clip);
}

TEST_F(SdlTextInput, AHugeClipboardTextIsTakenOnlyUpToTheLimit) {
    const std::string huge(size_t(kMaxPastedTextBytes) + 4096, 'q');
    ASSERT_EQ(SDL_SetClipboardText(huge.c_str()), 0);
    std::string taken;
    ASSERT_TRUE(systemTextClipboard().take(taken));
    EXPECT_EQ(taken.size(), size_t(kMaxPastedTextBytes));
    ASSERT_EQ(SDL_SetClipboardText(""), 0);
    EXPECT_FALSE(systemTextClipboard().take(taken)) << "no text is no paste";
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
