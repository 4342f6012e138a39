// The chat log: prefixes, wrapping, which lines are shown, scrolling back
// while new lines arrive, the wheel and the thumb, the log kept between
// rebuilds matching one wrapped from scratch, and the wrapped texts kept
// over a long session.

#include <climits>

#include "game_overlay_test_support.h"
#include "net/asset_store.h"
#include "net/server_messages.h"
#include "ui/text.h"

namespace vobu::testing {
namespace {

using OverlayChatLog = OverlayTest;

TEST_F(OverlayChatLog, PrefixesNameTheSenderOrTheTarget) {
    struct Case {
        ChatEntry entry;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {chatLine(kBob, 0, "Bob", "", "a"), "Bob: "},
        {chatLine(kBob, kLocal, "Bob", "Me", "a"), "From Bob: "},
        {chatLine(kLocal, kBob, "Me", "Bob", "a"), "To Bob: "},
        {chatLine(kLocal, 0, "Me", "", "a"), "Me: "},
        {chatLine(0, 0, "", "", "a", true), ""},
        {chatLine(0, 0, "Server", "", "a"), ""},
        {chatLine(kBob, 0, "", "", "a"), ""},
        {chatLine(kLocal, kBob, "Me", "", "a"), ""},
    };
    for (const Case& c : cases) appendChatLine(scene, c.entry);
    overlay.update(0, scene);
    ASSERT_EQ(overlay.logLines.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(overlay.logLines[i].prefix, cases[i].prefix) << i;
        EXPECT_EQ(overlay.logLines[i].prefixWidth, 8 * int(cases[i].prefix.size())) << i;
        EXPECT_EQ(overlay.logLines[i].entry, i);
    }
}

TEST_F(OverlayChatLog, LongNamesAreFittedAnd340PixelsWrapBehindThePrefix) {
    const std::string longName(40, 'n');  // 320 pixels, fitted to 256
    appendChatLine(scene, chatLine(kBob, 0, longName, "", std::string(30, 'w') + " " + std::string(30, 'v')));
    overlay.update(0, scene);
    ASSERT_GE(overlay.logLines.size(), 2u);
    const ChatLogLine& first = overlay.logLines[0];
    EXPECT_EQ(first.prefix, std::string(29, 'n') + "...: ");
    EXPECT_EQ(first.prefixWidth, (29 + 3 + 2) * 8);
    // 340 - 272 = 68 pixels: no word fits beside the prefix.
    EXPECT_EQ(first.text, "");
    EXPECT_EQ(overlay.logLines[1].text, std::string(30, 'w'));
    EXPECT_EQ(overlay.logLines[1].prefix, "");
    EXPECT_EQ(overlay.logLines[1].prefixWidth, 0);
}

TEST_F(OverlayChatLog, TwelveLinesShowTheNewestTen) {
    addLines(12);
    overlay.update(0, scene);
    std::vector<std::string> shown = shownLines();
    ASSERT_EQ(shown.size(), 10u);
    EXPECT_EQ(shown.front(), "line 3");
    EXPECT_EQ(shown.back(), "line 12");
}

TEST_F(OverlayChatLog, AScrolledBackViewStaysOnTheSameLinesWhileNewOnesArrive) {
    addLines(20);
    frame();
    send(mouseMotion(16 + 100, 12 + 100));
    EXPECT_TRUE(send(mouseWheel(1)));
    ASSERT_EQ(overlay.scroll, 3);
    const std::vector<std::string> before = shownLines();
    EXPECT_EQ(before.front(), "line 8");

    addLines(1);
    frame();
    EXPECT_EQ(overlay.scroll, 4);
    EXPECT_EQ(shownLines(), before);

    // An entry that wraps to three lines moves the view by three.
    ChatEntry longLine = chatLine(kBob, 0, "Bob", "", std::string(40, 'a') + " " + std::string(40, 'b') + " c");
    longLine.seq = 999;
    appendChatLine(scene, longLine);
    frame();
    EXPECT_EQ(overlay.scroll, 7);
    EXPECT_EQ(shownLines(), before);
}

TEST_F(OverlayChatLog, AtTheBottomTheViewFollowsTheNewestLine) {
    addLines(20);
    frame();
    addLines(1);
    frame();
    EXPECT_EQ(overlay.scroll, 0);
    EXPECT_EQ(shownLines().back(), "line 21");
}

TEST_F(OverlayChatLog, AFullLogThatDropsItsOldestKeepsTheScrolledBackView) {
    addLines(200);
    frame();
    send(mouseMotion(16 + 100, 12 + 100));
    send(mouseWheel(1));
    const std::vector<std::string> before = shownLines();
    ASSERT_EQ(before.front(), "line 188");

    addLines(1);
    frame();
    ASSERT_EQ(scene.chat.size(), 200u);
    EXPECT_EQ(overlay.logLines.size(), 200u);
    EXPECT_EQ(overlay.scroll, 4);
    EXPECT_EQ(shownLines(), before);
}

TEST_F(OverlayChatLog, TheWheelMovesThreeLinesAndStopsAtBothEnds) {
    addLines(12);
    frame();
    send(mouseMotion(16 + 100, 12 + 100));
    EXPECT_TRUE(send(mouseWheel(1)));
    EXPECT_EQ(overlay.scroll, 2) << "12 lines scroll back at most 2";
    EXPECT_TRUE(send(mouseWheel(-5)));
    EXPECT_EQ(overlay.scroll, 0);
    EXPECT_TRUE(send(mouseWheel(INT_MAX)));
    EXPECT_EQ(overlay.scroll, 2);
    EXPECT_TRUE(send(mouseWheel(INT_MIN)));
    EXPECT_EQ(overlay.scroll, 0);

    addLines(30);
    frame();
    send(mouseWheel(2));
    EXPECT_EQ(overlay.scroll, 6);
}

TEST_F(OverlayChatLog, TheWheelOutsideTheLogIsLeftToTheCamera) {
    addLines(30);
    frame();
    send(mouseMotion(16 + 360, 12 + 100));
    EXPECT_FALSE(send(mouseWheel(1)));
    send(mouseMotion(16 + 100, 12 + 196));
    EXPECT_FALSE(send(mouseWheel(1)));
    EXPECT_EQ(overlay.scroll, 0);
}

TEST_F(OverlayChatLog, DraggingTheThumbScrolls) {
    addLines(30);
    frame();
    EXPECT_TRUE(send(mouseButton(true, 16 + 355, 12 + 100)));
    EXPECT_TRUE(overlay.scrollDragging);
    EXPECT_TRUE(send(mouseMotion(16 + 355, 12 + 8)));
    EXPECT_EQ(overlay.scroll, 20);
    EXPECT_TRUE(send(mouseMotion(16 + 355, 12 + 98)));
    EXPECT_EQ(overlay.scroll, 10);
    EXPECT_TRUE(send(mouseMotion(16 + 355, 12 + 400)));
    EXPECT_EQ(overlay.scroll, 0);
    EXPECT_TRUE(send(mouseButton(false, 16 + 355, 12 + 400)));
    EXPECT_FALSE(overlay.scrollDragging);
}

TEST_F(OverlayChatLog, ALogKeptAcrossRebuildsEqualsOneWrappedFromScratch) {
    // Lines of every kind and width, with the log overflowing its limit.
    for (int i = 0; i < 260; ++i) {
        ChatEntry entry = chatLine(i % 3 == 0 ? kLocal : kBob, i % 4 == 0 ? kBob : 0, i % 3 == 0 ? "Me" : "Bob", "Bob",
                                   std::string(size_t(i % 90), char('a' + i % 26)) + " end");
        entry.seq = uint32_t(i);
        entry.system = i % 17 == 0;
        entry.formatted = entry.system;
        appendChatLine(scene, entry);
        if (i % 7 == 0) overlay.update(0, scene);
    }
    overlay.update(0, scene);

    GameOverlay fresh;
    fresh.font = &font;
    for (int i = 0; i < 100 && (i == 0 || fresh.unwrappedEntries() > 0); ++i) fresh.update(0, scene);
    ASSERT_EQ(fresh.unwrappedEntries(), 0u);
    for (int i = 0; i < 100 && overlay.unwrappedEntries() > 0; ++i) overlay.update(0, scene);
    ASSERT_EQ(overlay.logLines.size(), fresh.logLines.size());
    for (size_t i = 0; i < fresh.logLines.size(); ++i) {
        EXPECT_EQ(overlay.logLines[i].entry, fresh.logLines[i].entry) << i;
        EXPECT_EQ(overlay.logLines[i].prefix, fresh.logLines[i].prefix) << i;
        EXPECT_EQ(overlay.logLines[i].text, fresh.logLines[i].text) << i;
    }
}

// 200 lines of 2048 bytes: about 45 wrapped lines each.
class OverlayLongLog : public OverlayTest {
protected:
    void SetUp() override {
        OverlayTest::SetUp();
        for (int i = 0; i < 200; ++i) {
            std::string text;
            while (text.size() < 2040) text += "word" + std::to_string(i) + " ";
            ChatEntry entry = chatLine(kBob, 0, "Bob", "", text);
            entry.seq = uint32_t(i + 1);
            appendChatLine(scene, entry);
        }
    }
    // The same log wrapped at once.
    std::vector<ChatLogLine> wholeLog() {
        GameOverlay whole;
        whole.font = &font;
        whole.update(0, scene);
        SDL_Event drag = mouseButton(true, 16 + 355, 12 + 100);
        whole.handleEvent(drag, scene);
        EXPECT_EQ(whole.unwrappedEntries(), 0u);
        return whole.logLines;
    }
};

TEST_F(OverlayLongLog, AFreshLogWrapsTheNewestEntriesFirstAndTheRestFrameByFrame) {
    overlay.update(0, scene);
    EXPECT_GE(overlay.logLines.size(), 11u);
    EXPECT_LT(overlay.logLines.size(), 500u) << "a few entries of 2048 bytes";
    EXPECT_GT(overlay.unwrappedEntries(), 150u);
    const std::vector<ChatLogLine> whole = wholeLog();
    ASSERT_GT(whole.size(), 200u * 10);
    EXPECT_EQ(shownLines().back(), whole.back().text);

    int frames = 1;
    while (overlay.unwrappedEntries() > 0 && frames < 1000) {
        overlay.update(0, scene);
        ++frames;
    }
    EXPECT_LT(frames, 80) << "a full log is complete in a second or so";
    ASSERT_EQ(overlay.logLines.size(), whole.size());
    for (size_t i = 0; i < whole.size(); i += 97) {
        EXPECT_EQ(overlay.logLines[i].text, whole[i].text) << i;
        EXPECT_EQ(overlay.logLines[i].entry, whole[i].entry) << i;
    }
}

TEST_F(OverlayLongLog, NewLinesDuringTheCatchUpKeepTheLogRight) {
    overlay.update(0, scene);
    for (int i = 0; i < 30 && overlay.unwrappedEntries() > 0; ++i) {
        ChatEntry entry = chatLine(kLocal, i % 2 == 0 ? kBob : 0, "Me", "Bob", "new " + std::to_string(i));
        entry.seq = uint32_t(500 + i);
        appendChatLine(scene, entry);
        overlay.update(0, scene);
    }
    ASSERT_EQ(scene.chat.size(), 200u);
    while (overlay.unwrappedEntries() > 0) overlay.update(0, scene);
    const std::vector<ChatLogLine> whole = wholeLog();
    ASSERT_EQ(overlay.logLines.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        ASSERT_EQ(overlay.logLines[i].entry, whole[i].entry) << i;
        ASSERT_EQ(overlay.logLines[i].prefix, whole[i].prefix) << i;
        ASSERT_EQ(overlay.logLines[i].text, whole[i].text) << i;
    }
}

TEST_F(OverlayLongLog, TheViewStaysPutWhileOlderEntriesAreWrapped) {
    overlay.update(0, scene);
    send(mouseMotion(16 + 100, 12 + 100));
    send(mouseWheel(1));
    ASSERT_EQ(overlay.scroll, 3);
    const std::vector<std::string> before = shownLines();
    for (int i = 0; i < 5; ++i) overlay.update(0, scene);
    EXPECT_EQ(shownLines(), before);
}

TEST_F(OverlayLongLog, ScrollingFarBackWrapsWhatItReaches) {
    overlay.update(0, scene);
    send(mouseMotion(16 + 100, 12 + 100));
    send(mouseWheel(300));
    EXPECT_EQ(overlay.scroll, 900);
    const std::vector<ChatLogLine> whole = wholeLog();
    EXPECT_EQ(shownLines().front(), whole[whole.size() - 910].text);

    send(mouseWheel(INT_MAX));
    EXPECT_EQ(overlay.unwrappedEntries(), 0u);
    EXPECT_EQ(overlay.scroll, int(whole.size()) - 10);
    EXPECT_EQ(shownLines().front(), whole.front().text);
}

TEST_F(OverlayLongLog, ANewLineRewrapsOnlyItselfAndKeepsTheScrolledView) {
    overlay.update(0, scene);
    while (overlay.unwrappedEntries() > 0) overlay.update(0, scene);
    send(mouseMotion(16 + 100, 12 + 100));
    send(mouseWheel(1));
    const std::vector<std::string> before = shownLines();
    ChatEntry entry = chatLine(kBob, 0, "Bob", "", "short and new");
    entry.seq = 1000;
    appendChatLine(scene, entry);
    overlay.update(0, scene);
    EXPECT_EQ(overlay.unwrappedEntries(), 0u);
    EXPECT_EQ(overlay.scroll, 4);
    EXPECT_EQ(shownLines(), before);
}

TEST_F(OverlayLongLog, ALogMetAgainWrapsNothingAndTheThumbTakesItWhole) {
    overlay.update(0, scene);
    while (overlay.unwrappedEntries() > 0) overlay.update(0, scene);
    const uint64_t wrapped = overlay.wrappedTextBytes();
    EXPECT_GE(wrapped, 200u * 2040);

    // As at the start of the next game on the same server: the log is
    // rebuilt from nothing, then the thumb asks for every line at once.
    overlay.reset();
    overlay.update(0, scene);
    ASSERT_TRUE(send(mouseButton(true, 16 + 355, 12 + 100)));
    ASSERT_TRUE(overlay.scrollDragging);
    EXPECT_EQ(overlay.unwrappedEntries(), 0u);
    EXPECT_TRUE(send(mouseMotion(16 + 355, 12 + 8)));
    EXPECT_TRUE(send(mouseMotion(16 + 355, 12 + 150)));
    EXPECT_EQ(overlay.wrappedTextBytes(), wrapped) << "no text wrapped twice";

    const std::vector<ChatLogLine> whole = wholeLog();
    ASSERT_EQ(overlay.logLines.size(), whole.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        ASSERT_EQ(overlay.logLines[i].entry, whole[i].entry) << i;
        ASSERT_EQ(overlay.logLines[i].prefix, whole[i].prefix) << i;
        ASSERT_EQ(overlay.logLines[i].text, whole[i].text) << i;
    }
}

TEST_F(OverlayChatLog, ALongSessionKeepsTheWrappedLinesOfTheRecentTextsOnly) {
    // Far more distinct texts than are kept, fifty a frame; the log itself
    // holds the newest 200.
    const int texts = int(GameOverlay::kKeptWrappedTexts) * 5 / 2;
    for (int sent = 0; sent < texts; sent += 50) {
        addLines(50, "session line ");
        frame();
        ASSERT_LE(overlay.wrappedTextsKept(), GameOverlay::kKeptWrappedTexts) << "after " << sent + 50 << " texts";
    }
    EXPECT_EQ(overlay.wrappedTextsKept(), GameOverlay::kKeptWrappedTexts);

    // The texts of the log are among those kept: the log rebuilt from
    // nothing, as at the next game on the same server, wraps none again.
    const uint64_t wrapped = overlay.wrappedTextBytes();
    overlay.reset();
    overlay.update(0, scene);
    while (overlay.unwrappedEntries() > 0) overlay.update(0, scene);
    EXPECT_EQ(overlay.logLines.size(), 200u);
    EXPECT_EQ(overlay.wrappedTextBytes(), wrapped);
}

TEST_F(OverlayChatLog, KeptLinesFollowThePrefixInFrontOfTheText) {
    // One text behind prefixes of different widths, and again after the
    // local player changed (its whisper is then shown "From" it).
    const std::string text = "aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii jjjj kkkk";
    appendChatLine(scene, chatLine(kBob, 0, "Bob", "", text));
    appendChatLine(scene, chatLine(kBob, 0, "Bartholomew", "", text));
    appendChatLine(scene, chatLine(kLocal, kBob, "Me", "Bob", text));
    frame();
    auto expectWrapped = [&](const std::vector<std::string>& prefixes) {
        std::vector<std::string> expected;
        for (const std::string& prefix : prefixes) {
            const int pw = 8 * int(prefix.size());
            for (const std::string& line : wrapText(font, text, 340, 340 - pw, false)) expected.push_back(line);
        }
        std::vector<std::string> got;
        for (const ChatLogLine& line : overlay.logLines) got.push_back(line.text);
        EXPECT_EQ(got, expected);
    };
    expectWrapped({"Bob: ", "Bartholomew: ", "To Bob: "});

    overlay.reset();
    scene.localPlayerId = 99;
    frame();
    expectWrapped({"Bob: ", "Bartholomew: ", "From Me: "});
}

TEST_F(OverlayChatLog, ANewSceneReplacesTheWholeLog) {
    addLines(15);
    frame();
    Scene next;
    next.localPlayerId = 7;
    appendChatLine(next, chatLine(7, 0, "Newcomer", "", "fresh"));
    next.chatRevision = 1;
    overlay.update(0, next);
    ASSERT_EQ(overlay.logLines.size(), 1u);
    EXPECT_EQ(overlay.logLines[0].text, "fresh");
    EXPECT_EQ(overlay.logLines[0].prefix, "Newcomer: ");
}

TEST_F(OverlayChatLog, ANewWorldWithTheSameChatRevisionIsStillRebuilt) {
    addLines(3);
    frame();
    // A second welcome: a fresh Scene whose history reaches the same revision.
    Scene next;
    next.localPlayerId = kLocal;
    for (const char* text : {"other", "lines", "here"}) appendChatLine(next, chatLine(kBob, 0, "Bob", "", text));
    ASSERT_EQ(next.chatRevision, scene.chatRevision);
    overlay.update(0, next);
    EXPECT_EQ(shownLines(), (std::vector<std::string>{"other", "lines", "here"}));
}

TEST_F(OverlayChatLog, ResetForgetsTheLogAndRebuildsOnTheNextUpdate) {
    addLines(3);
    frame();
    overlay.reset();
    EXPECT_TRUE(overlay.logLines.empty());
    EXPECT_EQ(overlay.seenChatRevision, -1);
    overlay.update(0, scene);
    EXPECT_EQ(overlay.logLines.size(), 3u);
}

TEST_F(OverlayChatLog, ASwapErrorShowsItsCodeAsASystemLine) {
    AssetStore assets;
    std::string lastType;
    const std::string message = R"({"type":"swapError","code":"ERR_SWAP_PENDING"})";
    handleServerMessage(message.data(), unsigned(message.size()), scene, Character{}, assets, lastType, 0.0);
    ASSERT_EQ(scene.chat.size(), 1u);
    frame();
    ASSERT_EQ(overlay.logLines.size(), 1u);
    EXPECT_EQ(overlay.logLines[0].prefix, "");
    EXPECT_EQ(overlay.logLines[0].text, "ERR_SWAP_PENDING");
    EXPECT_TRUE(overlay.nameRegions.empty());
    // Drawn in the system colour at the first line's place (texture x 8, y 8).
    const Texture& chat = graphics.textures().at(overlay.chatTexture);
    EXPECT_TRUE(glyphInTexture(chat, font.glyph('E'), 8, 8, 0xff4b6900));
}

}  // namespace
}  // namespace vobu::testing
