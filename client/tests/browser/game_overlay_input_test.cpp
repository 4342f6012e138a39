// The overlay driven by event scripts: the chat line and its keys, the
// history, the send queue, whisper targets, the focus cycle and the buttons.

#include <climits>

#include "game_overlay_test_support.h"

namespace vobu::testing {
namespace {

using OverlayChatLine = OverlayTest;

TEST_F(OverlayChatLine, TheSlashThatOpensTheLineDoesNotTypeIntoIt) {
    // SDL reports the key down before its text arrives.
    fakeKeyboard[SDL_SCANCODE_SLASH] = 1;
    EXPECT_TRUE(send(keyEvent(true, SDLK_SLASH, SDL_SCANCODE_SLASH)));
    EXPECT_TRUE(overlay.typing);
    EXPECT_TRUE(overlay.chatOpen);
    EXPECT_TRUE(send(textInput("/")));
    // Auto-repeat of the held key types nothing either.
    EXPECT_TRUE(send(keyEvent(true, SDLK_SLASH, SDL_SCANCODE_SLASH, 0, true)));
    EXPECT_TRUE(send(textInput("/")));
    EXPECT_EQ(overlay.chatField.text, "");

    fakeKeyboard[SDL_SCANCODE_SLASH] = 0;
    EXPECT_TRUE(send(keyEvent(false, SDLK_SLASH, SDL_SCANCODE_SLASH)));
    type("hi/");
    EXPECT_EQ(overlay.chatField.text, "hi/");
}

TEST_F(OverlayChatLine, TheSlashTypesNothingWhenItsReleaseCameInTheSameBatch) {
    // A quick tap during a slow frame: SDL has read the press, its text and
    // the release before the frame handles the press, so the keyboard state
    // shows no key down when the line opens.
    EXPECT_TRUE(send(keyEvent(true, SDLK_SLASH, SDL_SCANCODE_SLASH)));
    ASSERT_TRUE(overlay.typing);
    EXPECT_TRUE(send(textInput("/")));
    EXPECT_TRUE(send(keyEvent(false, SDLK_SLASH, SDL_SCANCODE_SLASH)));
    EXPECT_EQ(overlay.chatField.text, "");
    type("hi");
    EXPECT_EQ(overlay.chatField.text, "hi");

    // Return opens the line the same way and leaves nothing held after it.
    overlay.closeChat();
    pressReturn();
    ASSERT_TRUE(overlay.typing);
    EXPECT_TRUE(overlay.heldKeys.empty());
    type("/");
    EXPECT_EQ(overlay.chatField.text, "hi/");
}

TEST_F(OverlayChatLine, TypingWithShiftHeldSinceOpeningInsertsNothingUntilReleased) {
    fakeKeyboard[SDL_SCANCODE_LSHIFT] = 1;
    pressReturn();
    ASSERT_TRUE(overlay.typing);
    send(keyEvent(true, SDLK_a, SDL_SCANCODE_A, KMOD_LSHIFT));
    send(textInput("A"));
    send(keyEvent(false, SDLK_a, SDL_SCANCODE_A));
    EXPECT_EQ(overlay.chatField.text, "");

    send(keyEvent(false, SDLK_LSHIFT, SDL_SCANCODE_LSHIFT));
    send(textInput("b"));
    EXPECT_EQ(overlay.chatField.text, "b");
}

TEST_F(OverlayChatLine, OpeningAgainWhileTypingKeepsTheHeldKeys) {
    fakeKeyboard[SDL_SCANCODE_SLASH] = 1;
    send(keyEvent(true, SDLK_SLASH, SDL_SCANCODE_SLASH));
    fakeKeyboard[SDL_SCANCODE_SLASH] = 0;
    overlay.openChat();
    EXPECT_EQ(overlay.heldKeys.count(SDL_SCANCODE_SLASH), 1u);
}

TEST_F(OverlayChatLine, HistoryKeepsNoConsecutiveDuplicatesAndThePendingLine) {
    sendLines({"one", "two", "two"});
    EXPECT_EQ(overlay.history, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(overlay.historyPos, 2u);
    EXPECT_TRUE(overlay.typing) << "sending keeps the line open";

    type("draft");
    tap(SDLK_UP, SDL_SCANCODE_UP);
    EXPECT_EQ(overlay.chatField.text, "two");
    EXPECT_EQ(overlay.pendingLine, "draft");
    tap(SDLK_UP, SDL_SCANCODE_UP);
    EXPECT_EQ(overlay.chatField.text, "one");
    tap(SDLK_UP, SDL_SCANCODE_UP);
    EXPECT_EQ(overlay.chatField.text, "one") << "the oldest line is the end";
    tap(SDLK_DOWN, SDL_SCANCODE_DOWN);
    EXPECT_EQ(overlay.chatField.text, "two");
    tap(SDLK_DOWN, SDL_SCANCODE_DOWN);
    EXPECT_EQ(overlay.chatField.text, "draft");
    tap(SDLK_DOWN, SDL_SCANCODE_DOWN);
    EXPECT_EQ(overlay.chatField.text, "draft");

    // A line sent again after other lines is stored again.
    overlay.chatField.setText("one");
    pressReturn();
    EXPECT_EQ(overlay.history, (std::vector<std::string>{"one", "two", "one"}));
    EXPECT_EQ(overlay.pendingLine, "");
}

TEST_F(OverlayChatLine, UpAfterSendingShowsItAndDownReturnsToTheEmptyLine) {
    sendLines({"hello", "hello"});
    EXPECT_EQ(overlay.history.size(), 1u);
    tap(SDLK_UP, SDL_SCANCODE_UP);
    EXPECT_EQ(overlay.chatField.text, "hello");
    tap(SDLK_DOWN, SDL_SCANCODE_DOWN);
    EXPECT_EQ(overlay.chatField.text, "");
}

TEST_F(OverlayChatLine, EmptyRepeatedAndKeypadReturnsSendNothing) {
    pressReturn();
    pressReturn();
    type("x");
    send(keyEvent(true, SDLK_RETURN, SDL_SCANCODE_RETURN, 0, true));
    send(keyEvent(true, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER));
    EXPECT_TRUE(drainSends().empty());
    EXPECT_EQ(overlay.chatField.text, "x");
}

TEST_F(OverlayChatLine, TwoReturnsInOneFrameSendBothLinesInOrder) {
    sendLines({"first"});
    overlay.toggleWhisper(kBob, "Bob");
    sendLines({"second"});
    ASSERT_TRUE(overlay.sendRequested);
    EXPECT_EQ(overlay.outgoingText, "first");

    std::vector<OutgoingChat> sent = drainSends();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].text, "first");
    EXPECT_EQ(sent[0].target, 0);
    EXPECT_EQ(sent[1].text, "second");
    EXPECT_EQ(sent[1].target, kBob);
    EXPECT_FALSE(overlay.sendRequested);
    EXPECT_TRUE(drainSends().empty());
}

TEST_F(OverlayChatLine, OneLineCanBeTakenThroughTheFlags) {
    sendLines({"only"});
    ASSERT_TRUE(overlay.sendRequested);
    EXPECT_EQ(overlay.outgoingText, "only");
    EXPECT_EQ(overlay.outgoingTarget, 0);
    overlay.sendRequested = false;  // taken as a plain one-shot

    sendLines({"next"});
    EXPECT_EQ(overlay.outgoingText, "next") << "the line taken through the flags is not offered again";
    std::vector<OutgoingChat> sent = drainSends();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].text, "next");
}

TEST_F(OverlayChatLine, ResetDropsLinesOfTheGameThatEnded) {
    sendLines({"late"});
    overlay.reset();
    EXPECT_TRUE(drainSends().empty());
    EXPECT_FALSE(overlay.typing);
    EXPECT_TRUE(overlay.history.empty());
}

TEST_F(OverlayChatLine, EscapeClosesAndAClickIntoTheWorldClosesWithoutTakingTheClick) {
    pressReturn();
    tap(SDLK_ESCAPE, SDL_SCANCODE_ESCAPE);
    EXPECT_FALSE(overlay.chatOpen);
    EXPECT_FALSE(overlay.typing);

    pressReturn();
    EXPECT_FALSE(send(mouseButton(true, 600, 400)));
    EXPECT_FALSE(overlay.typing);
    EXPECT_FALSE(send(mouseButton(false, 600, 400)));
}

TEST_F(OverlayChatLine, FocusLossClosesTheLineAndDropsPresses) {
    pressReturn();
    send(mouseButton(true, 644 + 10, 12 + 10));
    EXPECT_FALSE(send(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST)));
    EXPECT_FALSE(overlay.typing);
    EXPECT_FALSE(overlay.buttonPresses[0].pressed);
}

TEST_F(OverlayChatLine, KeysAreNotConsumedWhileClosedExceptTheOpeners) {
    EXPECT_FALSE(send(keyEvent(true, SDLK_w, SDL_SCANCODE_W)));
    EXPECT_FALSE(send(keyEvent(false, SDLK_w, SDL_SCANCODE_W)));
    EXPECT_FALSE(send(textInput("w")));
    EXPECT_FALSE(send(keyEvent(true, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE)));
    EXPECT_TRUE(send(keyEvent(true, SDLK_RETURN, SDL_SCANCODE_RETURN)));
    EXPECT_TRUE(send(keyEvent(false, SDLK_RETURN, SDL_SCANCODE_RETURN)));
}

TEST_F(OverlayChatLine, EditingKeysReachTheField) {
    pressReturn();
    type("hello world");
    tap(SDLK_LEFT, SDL_SCANCODE_LEFT, KMOD_LCTRL);
    EXPECT_EQ(overlay.chatField.cursor, 6);
    tap(SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE, KMOD_LCTRL);
    EXPECT_EQ(overlay.chatField.text, "world");
    tap(SDLK_z, SDL_SCANCODE_Z, KMOD_LCTRL);
    EXPECT_EQ(overlay.chatField.text, "hello world");
    tap(SDLK_z, SDL_SCANCODE_Z, KMOD_LCTRL | KMOD_LSHIFT);
    EXPECT_EQ(overlay.chatField.text, "world");
    tap(SDLK_a, SDL_SCANCODE_A, KMOD_LCTRL);
    type("new");
    EXPECT_EQ(overlay.chatField.text, "new");
    tap(SDLK_HOME, SDL_SCANCODE_HOME);
    tap(SDLK_DELETE, SDL_SCANCODE_DELETE);
    EXPECT_EQ(overlay.chatField.text, "ew");
}

using OverlayWhisper = OverlayTest;

TEST_F(OverlayWhisper, ClickingANameTogglesTheTargetAndOpensTheLine) {
    appendChatLine(scene, chatLine(kBob, 0, "Bob", "", "hi all"));
    frame();
    ASSERT_EQ(overlay.nameRegions.size(), 1u);
    EXPECT_EQ(overlay.nameRegions[0].w, 40) << "\"Bob: \" is five 8-pixel glyphs";

    click(10, 10);
    EXPECT_EQ(overlay.whisperTarget, kBob);
    EXPECT_EQ(overlay.whisperName, "Bob");
    EXPECT_TRUE(overlay.typing);
    frame();
    click(10, 10);
    EXPECT_EQ(overlay.whisperTarget, 0);
    EXPECT_EQ(overlay.whisperName, "");
}

TEST_F(OverlayWhisper, ClickingOnesOwnNameClearsTheTarget) {
    appendChatLine(scene, chatLine(kLocal, 0, "Me", "", "my line"));
    overlay.toggleWhisper(kBob, "Bob");
    frame();
    ASSERT_EQ(overlay.nameRegions.size(), 1u);
    EXPECT_EQ(overlay.nameRegions[0].playerId, kLocal);
    click(10, 10);
    EXPECT_EQ(overlay.whisperTarget, 0);
    EXPECT_EQ(overlay.whisperName, "");
    frame();
    click(10, 10);
    EXPECT_EQ(overlay.whisperTarget, 0) << "one's own name never becomes the target";
}

TEST_F(OverlayWhisper, TheNameOfAnOwnWhisperIsItsTarget) {
    appendChatLine(scene, chatLine(kLocal, kBob, "Me", "Bob", "psst"));
    frame();
    ASSERT_EQ(overlay.nameRegions.size(), 1u);
    EXPECT_EQ(overlay.logLines[0].prefix, "To Bob: ");
    click(10, 10);
    EXPECT_EQ(overlay.whisperTarget, kBob);
    EXPECT_EQ(overlay.whisperName, "Bob");
}

TEST_F(OverlayWhisper, ToggleWhisperWithTheSameIdClears) {
    overlay.toggleWhisper(kBob, "Bob");
    EXPECT_EQ(overlay.whisperTarget, kBob);
    EXPECT_TRUE(overlay.typing);
    overlay.toggleWhisper(kBob, "Bob");
    EXPECT_EQ(overlay.whisperTarget, 0);
    overlay.toggleWhisper(3, "Cy");
    overlay.closeChat();
    EXPECT_EQ(overlay.whisperTarget, 3) << "the target survives closing the line";
}

TEST_F(OverlayWhisper, BackspaceAtTheStartClearsTheTargetElseDeletes) {
    overlay.toggleWhisper(kBob, "Bob");
    type("ab");
    tap(SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE);
    EXPECT_EQ(overlay.chatField.text, "a");
    EXPECT_EQ(overlay.whisperTarget, kBob);
    tap(SDLK_HOME, SDL_SCANCODE_HOME);
    tap(SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE);
    EXPECT_EQ(overlay.whisperTarget, 0);
    EXPECT_EQ(overlay.chatField.text, "a");

    // With a selection that starts at 0 the key deletes the selection.
    overlay.toggleWhisper(kBob, "Bob");
    overlay.chatField.setCursor(0, false);
    overlay.chatField.setCursor(1, true);
    overlay.chatField.anchor = 0;
    tap(SDLK_BACKSPACE, SDL_SCANCODE_BACKSPACE);
    EXPECT_EQ(overlay.chatField.text, "");
    EXPECT_EQ(overlay.whisperTarget, kBob);
}

TEST_F(OverlayWhisper, TheTargetFollowsItsCharactersRenameAndKeepsTheLastName) {
    overlay.toggleWhisper(kBob, "Bob");
    scene.characters[kBob].name = "Robert";
    frame();
    EXPECT_EQ(overlay.whisperName, "Robert");
    scene.characters.erase(kBob);
    frame();
    EXPECT_EQ(overlay.whisperName, "Robert");
}

TEST_F(OverlayWhisper, SentLinesCarryTheTarget) {
    overlay.toggleWhisper(kBob, "Bob");
    type("secret");
    pressReturn();
    std::vector<OutgoingChat> sent = drainSends();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].target, kBob);
}

using OverlayFocus = OverlayTest;

TEST_F(OverlayFocus, TabCyclesLineCharactersDisconnectAndBack) {
    EXPECT_TRUE(send(keyEvent(true, SDLK_TAB, SDL_SCANCODE_TAB)));
    EXPECT_EQ(overlay.focus, 0);
    EXPECT_TRUE(overlay.typing);
    send(keyEvent(false, SDLK_TAB, SDL_SCANCODE_TAB));
    tap(SDLK_TAB, SDL_SCANCODE_TAB);
    EXPECT_EQ(overlay.focus, 1);
    EXPECT_FALSE(overlay.typing);
    EXPECT_FALSE(overlay.chatOpen);
    tap(SDLK_TAB, SDL_SCANCODE_TAB);
    EXPECT_EQ(overlay.focus, 2);
    tap(SDLK_TAB, SDL_SCANCODE_TAB);
    EXPECT_EQ(overlay.focus, 0);
    EXPECT_TRUE(overlay.typing);
}

TEST_F(OverlayFocus, ShiftTabGoesBackwardsAndFromNoFocusToDisconnect) {
    tap(SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT);
    EXPECT_EQ(overlay.focus, 2);
    tap(SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT);
    EXPECT_EQ(overlay.focus, 1);
    tap(SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT);
    EXPECT_EQ(overlay.focus, 0);
    EXPECT_TRUE(overlay.typing);
    tap(SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT);
    EXPECT_EQ(overlay.focus, 2) << "leaving the line backwards";
    EXPECT_FALSE(overlay.typing);
}

TEST_F(OverlayFocus, TabFromALineOpenedWithSlashGoesToCharacters) {
    pressReturn();
    EXPECT_EQ(overlay.focus, -1);
    tap(SDLK_TAB, SDL_SCANCODE_TAB);
    EXPECT_EQ(overlay.focus, 1);
}

TEST_F(OverlayFocus, TabFromALineOpenedOverAFocusedButtonMovesOneStep) {
    struct Case {
        int startFocus;
        uint16_t mod;
        int expected;
    };
    const Case cases[] = {{1, 0, 2}, {1, KMOD_LSHIFT, 0}, {2, KMOD_LSHIFT, 1}, {2, 0, 0}};
    for (const Case& c : cases) {
        overlay.reset();
        overlay.focus = c.startFocus;
        tap(SDLK_SLASH, SDL_SCANCODE_SLASH);
        ASSERT_TRUE(overlay.typing);
        ASSERT_EQ(overlay.focus, c.startFocus) << "the slash keeps the button's focus";
        tap(SDLK_TAB, SDL_SCANCODE_TAB, c.mod);
        EXPECT_EQ(overlay.focus, c.expected) << "from " << c.startFocus << " mod " << c.mod;
        EXPECT_EQ(overlay.typing, c.expected == 0) << "from " << c.startFocus << " mod " << c.mod;
    }
}

TEST_F(OverlayFocus, RepeatedTabDoesNotMove) {
    tap(SDLK_TAB, SDL_SCANCODE_TAB);
    tap(SDLK_TAB, SDL_SCANCODE_TAB);
    ASSERT_EQ(overlay.focus, 1);
    EXPECT_FALSE(send(keyEvent(true, SDLK_TAB, SDL_SCANCODE_TAB, 0, true)));
    EXPECT_EQ(overlay.focus, 1);
}

TEST_F(OverlayFocus, ReturnOrSpaceActivatesTheFocusedButton) {
    struct Case {
        int focus;
        SDL_Keycode sym;
        SDL_Scancode scancode;
        bool characters;
        bool disconnect;
    };
    const Case cases[] = {
        {1, SDLK_RETURN, SDL_SCANCODE_RETURN, true, false},
        {1, SDLK_SPACE, SDL_SCANCODE_SPACE, true, false},
        {2, SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, false, true},
        {2, SDLK_SPACE, SDL_SCANCODE_SPACE, false, true},
    };
    for (const Case& c : cases) {
        overlay.reset();
        overlay.focus = c.focus;
        EXPECT_TRUE(send(keyEvent(true, c.sym, c.scancode)));
        EXPECT_EQ(overlay.charactersRequested, c.characters) << "focus " << c.focus << " key " << c.sym;
        EXPECT_EQ(overlay.disconnectRequested, c.disconnect) << "focus " << c.focus << " key " << c.sym;
        EXPECT_EQ(overlay.focus, -1);
        EXPECT_FALSE(overlay.typing);
    }
    // A key held since before the button had focus repeats: no press.
    for (const Case& c : cases) {
        overlay.reset();
        overlay.focus = c.focus;
        send(keyEvent(true, c.sym, c.scancode, 0, true));
        EXPECT_FALSE(overlay.charactersRequested) << "focus " << c.focus << " key " << c.sym;
        EXPECT_FALSE(overlay.disconnectRequested) << "focus " << c.focus << " key " << c.sym;
        EXPECT_EQ(overlay.focus, c.focus);
    }
}

TEST_F(OverlayFocus, EscapeDropsTheButtonFocus) {
    overlay.focus = 2;
    EXPECT_TRUE(send(keyEvent(true, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE)));
    EXPECT_EQ(overlay.focus, -1);
    EXPECT_FALSE(overlay.disconnectRequested);
}

using OverlayButtons = OverlayTest;

TEST_F(OverlayButtons, ClicksFollowTheToolkitRules) {
    struct Case {
        const char* what;
        int releaseDx;
        int releaseDy;
        double heldSeconds;
        int wanderX;  // a motion in between (window x), 0 for none
        bool clicks;
    };
    const Case cases[] = {
        {"quick click", 0, 0, 0.30, 0, true},        {"held 0.35 s", 0, 0, 0.35, 0, true},
        {"held 0.40 s", 0, 0, 0.40, 0, false},       {"released 4 px away", 4, 4, 0.1, 0, true},
        {"released 5 px away", 5, 0, 0.1, 0, false}, {"dragged out and back", 0, 0, 0.1, 400, false},
    };
    const int x = 644 + 40;  // inside "Characters", window coordinates
    const int y = 12 + 10;
    for (const Case& c : cases) {
        overlay.reset();
        fakeSeconds = 10.0;
        EXPECT_TRUE(send(mouseButton(true, x, y)));
        if (c.wanderX != 0) {
            send(mouseMotion(c.wanderX, y));
            send(mouseMotion(x, y));
        }
        fakeSeconds += c.heldSeconds;
        EXPECT_TRUE(send(mouseButton(false, x + c.releaseDx, y + c.releaseDy)));
        EXPECT_EQ(overlay.charactersRequested, c.clicks) << c.what;
        EXPECT_FALSE(overlay.disconnectRequested) << c.what;
    }
}

TEST_F(OverlayButtons, DisconnectIsTheRightButtonAndTheGapBetweenIsNeither) {
    click(644 - 16 + 180 + 90, 10);
    EXPECT_TRUE(overlay.disconnectRequested);
    EXPECT_FALSE(overlay.charactersRequested);
    overlay.reset();
    // Between the buttons (strip x 172..179) nothing is pressed; the click goes to the world.
    EXPECT_FALSE(send(mouseButton(true, 644 + 175, 12 + 10)));
    EXPECT_FALSE(send(mouseButton(false, 644 + 175, 12 + 10)));
}

TEST_F(OverlayButtons, InANarrowWindowTheButtonsStartAtZero) {
    overlay.setLayout(std::max(0, 300 - 376), 16, 300, 400);
    EXPECT_TRUE(send(mouseButton(true, 2, 12 + 5)));
    EXPECT_TRUE(send(mouseButton(false, 2, 12 + 5)));
    EXPECT_TRUE(overlay.charactersRequested);
}

TEST_F(OverlayButtons, ARightClickIsLeftToTheGame) {
    EXPECT_FALSE(send(mouseButton(true, 644 + 40, 12 + 10, SDL_BUTTON_RIGHT)));
    EXPECT_FALSE(overlay.buttonPresses[0].pressed);
}

using OverlayPointer = OverlayTest;

TEST_F(OverlayPointer, ClicksInTheLinePlaceTheCaretAndSelect) {
    pressReturn();
    type("alpha beta");
    // Panel x 8 + 20: the middle of the third glyph is at 8 + 20 (16..24).
    click(8 + 21, 215);
    EXPECT_EQ(overlay.chatField.cursor, 3);
    EXPECT_FALSE(overlay.chatField.hasSelection());
    click(8 + 52, 215, 2);
    EXPECT_EQ(overlay.chatField.selectedText(), "beta");
    click(8 + 4, 215, 3);
    EXPECT_EQ(overlay.chatField.selectedText(), "alpha beta");
}

TEST_F(OverlayPointer, DraggingInTheLineSelects) {
    pressReturn();
    type("alpha beta");
    EXPECT_TRUE(send(mouseButton(true, 16 + 8, 12 + 215)));
    EXPECT_TRUE(send(mouseMotion(16 + 8 + 40, 12 + 215)));
    EXPECT_EQ(overlay.chatField.selectedText(), "alpha");
    EXPECT_TRUE(send(mouseButton(false, 16 + 48, 12 + 215)));
    EXPECT_FALSE(send(mouseMotion(16 + 80, 12 + 215)));
    EXPECT_EQ(overlay.chatField.selectedText(), "alpha");
}

TEST_F(OverlayPointer, AClickInTheLineOpensIt) {
    click(100, 215);
    EXPECT_TRUE(overlay.typing);
    EXPECT_TRUE(overlay.chatOpen);
}

TEST_F(OverlayPointer, CaretFromXCountsWideGlyphsAndCombiningMarks) {
    // e (8), a combining acute (0), a CJK ideograph (16), b (8).
    overlay.chatField.setText(
        "e\xcc\x81\xe4\xb8\x80"
        "b");
    ASSERT_EQ(overlay.chatField.length(), 4);
    EXPECT_EQ(overlay.caretFromX(8 + 3), 0);
    EXPECT_EQ(overlay.caretFromX(8 + 4), 1);
    EXPECT_EQ(overlay.caretFromX(8 + 15), 2);
    EXPECT_EQ(overlay.caretFromX(8 + 16), 3);
    EXPECT_EQ(overlay.caretFromX(8 + 100), 4);
}

TEST_F(OverlayPointer, CaretFromXWithAWhisperPrefix) {
    overlay.toggleWhisper(kBob, "Bob");
    overlay.chatField.setText("abc");
    // "Bob" is 24 wide: the text starts at 8 + 24 + 40.
    EXPECT_EQ(overlay.whisperPrefixWidth(), 64);
    EXPECT_EQ(overlay.caretFromX(72), 0);
    EXPECT_EQ(overlay.caretFromX(72 + 3), 0);
    EXPECT_EQ(overlay.caretFromX(72 + 4), 1) << "from the middle of a glyph on, the caret goes after it";
    EXPECT_EQ(overlay.caretFromX(72 + 19), 2);
    EXPECT_EQ(overlay.caretFromX(72 + 100), 3);
    EXPECT_EQ(overlay.caretFromX(0), 0);
}

}  // namespace
}  // namespace vobu::testing
