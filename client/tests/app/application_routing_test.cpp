// The screen hand-overs of the frame, row by row: the title screen's Join
// and "Characters", the library's choice, "Back", the overlay's
// "Characters" (with the swap), "Disconnect" and chat, the join overlay's
// main-menu button, and a game that ends under the library.

#include <gtest/gtest.h>

#include <SDL.h>

#include <nlohmann/json.hpp>

#include "app/frame_fixture.h"
#include "character/character_json.h"
#include "support/sdl_events.h"

namespace vobu {
namespace {

using nlohmann::json;
using namespace vobu::testing;

class RoutingTest : public FrameTest {
protected:
    // From the title screen into a game that is shown.
    void playFromTitleScreen() {
        start(false);
        joinFromTitleScreen();
        joinToReady();
    }

    // The overlay's "Characters": the library over the game, choosing.
    void openLibraryOverGame() {
        ASSERT_EQ(frame(overlayCharacters()), ShownScreen::Editor);
        ASSERT_TRUE(app->editingInGame);
        ASSERT_TRUE(app->editor.libraryShown);
        ASSERT_TRUE(app->editor.choosingCharacter);
    }

    size_t sentSwaps() const { return wire.sentOfType("swap").size(); }
};

TEST_F(RoutingTest, TitleScreenJoinAndCharactersOpenTheLibraryAndBackReturns) {
    start(false);
    directory.directory().serverOpens();
    directory.directory().serverSends(testing::directoryReply({{"Elsewhere", "Far away", "ws://elsewhere.test/vobu"}}));
    EXPECT_EQ(frame(), ShownScreen::TitleScreen);
    ASSERT_EQ(app->browser.rows.size(), 1u);

    // "Characters": the library, not choosing, keys released.
    app->keys[SDL_SCANCODE_W] = true;
    EXPECT_EQ(frame(click(app->browser.controls, "servers.characters")), ShownScreen::Editor);
    EXPECT_FALSE(app->browserShown);
    EXPECT_TRUE(app->editor.libraryShown);
    EXPECT_FALSE(app->editor.choosingCharacter);
    EXPECT_FALSE(app->keys[SDL_SCANCODE_W]);
    // "Back" with no game: the title screen.
    EXPECT_EQ(frame(click(app->editor.controls, "library.resume")), ShownScreen::TitleScreen);

    // Join: the library, choosing, with the server's address kept.
    EXPECT_EQ(frame(click(app->browser.controls, "servers.join")), ShownScreen::Editor);
    EXPECT_EQ(app->serverUrl, "ws://elsewhere.test/vobu");
    EXPECT_TRUE(app->editor.choosingCharacter);
    EXPECT_TRUE(wire.connects.empty()) << "nothing is joined before a character is chosen";
    EXPECT_EQ(frame(click(app->editor.controls, "library.join")), ShownScreen::Editor);
    EXPECT_EQ(wire.connects, std::vector<std::string>{"ws://elsewhere.test/vobu"});
    EXPECT_TRUE(app->editor.joinOverlayShown);
    EXPECT_EQ(app->editor.joinStatus, "Connecting");
    EXPECT_EQ(app->network.localCharacter.id, app->editor.library.characters.at(0).id);
}

TEST_F(RoutingTest, JoinOverlayFollowsTheStatusAndItsMainMenuLeavesAJoinThatNeverBecameReady) {
    start(false);
    joinFromTitleScreen();
    serve({{"type", "challenge"}, {"challenge", "00112233445566778899aabbccddeeff"}, {"difficulty", 4}});
    serve(testing::welcomeJson(app->network.localCharacter, {sound}));
    EXPECT_EQ(frame(), ShownScreen::Editor);
    EXPECT_EQ(app->editor.joinStatus, "Downloading assets");
    ASSERT_TRUE(wire.open);
    const int directoryConnects = directory.connectsTo(kGameUrl);

    // The sound never comes; the player gives up.
    EXPECT_EQ(frame(click(app->editor.controls, "join.cancel")), ShownScreen::TitleScreen);
    EXPECT_FALSE(app->gameActive);
    EXPECT_FALSE(wire.open) << "the connection is closed";
    EXPECT_TRUE(app->editor.libraryShown);
    EXPECT_FALSE(app->editor.choosingCharacter);
    EXPECT_GT(directory.connectsTo(kGameUrl), directoryConnects) << "the title screen is refreshed";
    // A frame later nothing of the old game runs.
    const size_t polls = size_t(wire.polls);
    EXPECT_EQ(frame(), ShownScreen::TitleScreen);
    EXPECT_EQ(size_t(wire.polls), polls);
}

TEST_F(RoutingTest, CharactersThenTheSameCharacterOrBackReturnsToTheGameWithoutASwap) {
    playFromTitleScreen();
    openLibraryOverGame();
    EXPECT_EQ(app->renderer.localSkinTexture, 0u) << "the editor's skin is detached from the game";
    // The game keeps running under the library.
    const size_t inputs = wire.sentOfType("input").size();
    frame({}, 100);
    EXPECT_GT(wire.sentOfType("input").size(), inputs);

    EXPECT_EQ(frame(click(app->editor.controls, "library.join")), ShownScreen::Game);
    EXPECT_FALSE(app->editingInGame);
    EXPECT_EQ(sentSwaps(), 0u) << "the character being played is not sent again";

    openLibraryOverGame();
    EXPECT_EQ(frame(click(app->editor.controls, "library.resume")), ShownScreen::Game);
    EXPECT_EQ(sentSwaps(), 0u);
    EXPECT_TRUE(app->gameActive);
}

TEST_F(RoutingTest, AnotherCharacterIsSwappedAndASwapErrorKeepsTheOldOne) {
    playFromTitleScreen();
    const Character played = app->network.localCharacter;
    openLibraryOverGame();
    EXPECT_EQ(frame(click(app->editor.controls, "library.duplicate")), ShownScreen::Editor);
    ASSERT_EQ(app->editor.library.characters.size(), 2u);
    EXPECT_EQ(frame(click(app->editor.controls, "library.join")), ShownScreen::Game);
    ASSERT_EQ(sentSwaps(), 1u);
    EXPECT_EQ(wire.sentOfType("swap")[0].at("character").at("name"), played.name + " copy");
    EXPECT_FALSE(app->editingInGame);

    // While that swap waits for its answer another one cannot go out: the
    // library stays open, and choosing again retries.
    openLibraryOverGame();
    EXPECT_EQ(frame(click(app->editor.controls, "library.join")), ShownScreen::Editor);
    EXPECT_TRUE(app->editingInGame);
    EXPECT_EQ(sentSwaps(), 1u);
    EXPECT_EQ(frame(click(app->editor.controls, "library.resume")), ShownScreen::Game);

    serve({{"type", "swapError"}, {"code", "ERR_SWAP_REFUSED"}});
    EXPECT_EQ(frame(), ShownScreen::Game);
    EXPECT_TRUE(app->gameActive);
    EXPECT_EQ(encodeCharacterJson(app->network.localCharacter), encodeCharacterJson(played));
    ASSERT_FALSE(app->scene.chat.empty());
    EXPECT_TRUE(app->scene.chat.back().system);
    EXPECT_EQ(app->scene.chat.back().text, "ERR_SWAP_REFUSED");
    // The code shows in the overlay's log.
    bool shown = false;
    for (const ChatLogLine& line : app->overlay.logLines) shown = shown || line.text == "ERR_SWAP_REFUSED";
    EXPECT_TRUE(shown);
}

TEST_F(RoutingTest, CharactersIsIgnoredUntilTheGameIsReady) {
    start(false);
    joinFromTitleScreen();
    app->overlay.charactersRequested = true;
    EXPECT_EQ(frame(), ShownScreen::Editor);
    EXPECT_FALSE(app->overlay.charactersRequested) << "taken and cleared";
    EXPECT_FALSE(app->editingInGame);
    EXPECT_TRUE(app->editor.joinOverlayShown);
}

TEST_F(RoutingTest, AGameThatEndsWhileTheLibraryIsOpenOverItShowsTheReason) {
    playFromTitleScreen();
    openLibraryOverGame();
    serve({{"type", "disconnect"}, {"code", "ERR_KICKED"}, {"reason", "Kicked"}});
    EXPECT_EQ(frame(), ShownScreen::Editor);
    EXPECT_FALSE(app->gameActive);
    EXPECT_FALSE(app->editingInGame);
    EXPECT_TRUE(app->editor.joinOverlayShown);
    EXPECT_TRUE(app->editor.disconnected);
    EXPECT_EQ(app->editor.disconnectReason, "Kicked");
    EXPECT_EQ(frame(click(app->editor.controls, "join.cancel")), ShownScreen::TitleScreen);
}

TEST_F(RoutingTest, DisconnectFadesTheWorldForSevenTenthsOfASecondThenTheRefreshedTitleScreen) {
    playFromTitleScreen();
    const int directoryConnects = directory.connectsTo(kGameUrl);
    frame({mouseDown(500, 400, SDL_BUTTON_RIGHT)});
    ASSERT_TRUE(app->relativeMouse);
    frame({mouseUp(500, 400, SDL_BUTTON_RIGHT)});
    EXPECT_EQ(frame(overlayDisconnect()), ShownScreen::LeaveFade);
    EXPECT_FALSE(app->gameActive);
    EXPECT_FALSE(wire.open);
    EXPECT_FALSE(app->relativeMouse);
    EXPECT_NEAR(app->fadeTimer, 0.7 - 0.016, 1e-9);
    // 0.1 s frames: six more fade frames leave 0.084 s, the seventh ends it.
    for (int i = 0; i < 6; ++i) ASSERT_EQ(frame({}, 100), ShownScreen::LeaveFade) << i;
    EXPECT_EQ(frame({}, 100), ShownScreen::LeaveFade) << "the last fade frame is still drawn";
    EXPECT_EQ(app->fadeTimer, 0);
    EXPECT_EQ(frame(), ShownScreen::TitleScreen);
    EXPECT_GT(directory.connectsTo(kGameUrl), directoryConnects) << "refreshed";
    // A second join from there.
    directoryListsItself();
    frame();
    EXPECT_EQ(frame(click(app->browser.controls, "servers.join")), ShownScreen::Editor);
    EXPECT_EQ(frame(click(app->editor.controls, "library.join")), ShownScreen::Editor);
    joinToReady();
    EXPECT_EQ(wire.connects.size(), 2u);
}

TEST_F(RoutingTest, ChatLinesCommittedInOneFrameAreAllSentInOrder) {
    playFromTitleScreen();
    frame({keyDown(SDL_SCANCODE_W), keyDown(SDL_SCANCODE_SPACE), mouseDown(500, 400, SDL_BUTTON_RIGHT)});
    ASSERT_TRUE(app->keys[SDL_SCANCODE_W]);
    ASSERT_TRUE(app->relativeMouse);
    // "/" opens the line: mouse look ends and the keys are let go in the
    // same event, and the game gets no movement while typing.
    app->jumpLatch = true;
    frame({keyEvent(true, SDLK_SLASH, SDL_SCANCODE_SLASH)});
    EXPECT_TRUE(app->overlay.typing);
    EXPECT_FALSE(app->relativeMouse);
    EXPECT_FALSE(app->keys[SDL_SCANCODE_W]);
    EXPECT_FALSE(app->jumpLatch);
    EXPECT_FALSE(app->gameInput());
    frame({keyDown(SDL_SCANCODE_D)});
    EXPECT_FALSE(app->keys[SDL_SCANCODE_D]) << "typing records no movement key";

    const SDL_Event slash = keyEvent(true, SDLK_SLASH, SDL_SCANCODE_SLASH);
    const SDL_Event slashUp = keyEvent(false, SDLK_SLASH, SDL_SCANCODE_SLASH);
    const SDL_Event enter = keyEvent(true, SDLK_RETURN, SDL_SCANCODE_RETURN);
    const SDL_Event enterUp = keyEvent(false, SDLK_RETURN, SDL_SCANCODE_RETURN);
    frame({slashUp, keyUp(SDL_SCANCODE_D), textInput("first"), enter, enterUp, slash, slashUp, textInput("second"),
           enter});
    const std::vector<json> chat = wire.sentOfType("chat");
    ASSERT_EQ(chat.size(), 2u);
    EXPECT_EQ(chat[0].at("text"), "first");
    EXPECT_EQ(chat[1].at("text"), "second");
}

// A focused button does not take the movement keys as text does: the
// overlay lets them through, and the game must not record them.
TEST_F(RoutingTest, AFocusedOverlayButtonTakesTheMovementKeysFromTheGame) {
    playFromTitleScreen();
    frame({keyDown(SDL_SCANCODE_W), keyDown(SDL_SCANCODE_SPACE), mouseDown(500, 400, SDL_BUTTON_RIGHT)});
    ASSERT_TRUE(app->keys[SDL_SCANCODE_W]);
    ASSERT_TRUE(app->relativeMouse);
    app->jumpLatch = true;
    // Shift+Tab from no focus: "Disconnect".
    frame({keyEvent(true, SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT)});
    ASSERT_EQ(app->overlay.focus, 2);
    EXPECT_FALSE(app->overlay.typing);
    EXPECT_FALSE(app->relativeMouse);
    EXPECT_FALSE(app->keys[SDL_SCANCODE_W]);
    EXPECT_FALSE(app->jumpLatch);
    EXPECT_FALSE(app->gameInput());
    frame({keyEvent(false, SDLK_TAB, SDL_SCANCODE_TAB, KMOD_LSHIFT), keyDown(SDL_SCANCODE_D)});
    EXPECT_FALSE(app->keys[SDL_SCANCODE_D]) << "a focused button records no movement key";
    // Escape gives the keyboard back.
    frame({keyUp(SDL_SCANCODE_D), keyDown(SDL_SCANCODE_ESCAPE), keyUp(SDL_SCANCODE_ESCAPE)});
    EXPECT_EQ(app->overlay.focus, -1);
    frame({keyDown(SDL_SCANCODE_D)});
    EXPECT_TRUE(app->keys[SDL_SCANCODE_D]);
    EXPECT_TRUE(app->gameInput());
    EXPECT_TRUE(app->gameActive) << "no key pressed the focused button";
}

TEST_F(RoutingTest, ClickingAnotherPlayerTogglesTheWhisperAndEndsMouseLook) {
    playFromTitleScreen();
    Character bot;
    bot.id = "bot-char";
    bot.name = "Bot";
    serve({{"type", "character"}, {"id", 7}, {"character", json::parse(encodeCharacterJsonRle(bot))}});
    const int local = app->scene.localPlayerId;
    for (int i = 0; i < 30; ++i) {
        serve({{"type", "snapshot"},
               {"players",
                {{{"id", local}, {"x", 1.5}, {"y", -2}, {"z", 0.25}, {"vz", 0}, {"heading", 1}, {"ack", 0}},
                 {{"id", 7}, {"x", 1.5}, {"y", 0}, {"z", 0.25}, {"vz", 0}, {"heading", 1}}}}});
        ASSERT_EQ(frame(), ShownScreen::Game) << app->network.errorCode << " " << app->joinStatus;
    }
    // Where each box is drawn, as the renderer picks it.
    int botX = -1, botY = -1, ownX = -1, ownY = -1;
    for (int y = 0; y < kHeight; y += 4) {
        for (int x = 0; x < kWidth; x += 4) {
            const int id = app->renderer.pick(x, y);
            if (id == 7 && botX < 0) botX = x, botY = y;
            if (id == local && ownX < 0) ownX = x, ownY = y;
        }
    }
    ASSERT_GE(botX, 0) << "the bot is on screen";
    frame({mouseDown(botX, botY, SDL_BUTTON_RIGHT)});
    ASSERT_TRUE(app->relativeMouse);
    app->keys[SDL_SCANCODE_W] = true;
    frame({mouseUp(botX, botY, SDL_BUTTON_RIGHT)});
    frame({mouseDown(500, 400, SDL_BUTTON_RIGHT), mouseDown(botX, botY)});
    EXPECT_FALSE(app->relativeMouse);
    EXPECT_FALSE(app->keys[SDL_SCANCODE_W]);
    EXPECT_EQ(app->overlay.whisperTarget, 7);
    EXPECT_EQ(app->overlay.whisperName, "Bot");
    frame({mouseUp(botX, botY), mouseDown(botX, botY), mouseUp(botX, botY)});
    EXPECT_EQ(app->overlay.whisperTarget, 0) << "a second click ends the whisper";
    ASSERT_GE(ownX, 0) << "the local box is on screen";
    frame({mouseDown(ownX, ownY), mouseUp(ownX, ownY)});
    EXPECT_EQ(app->overlay.whisperTarget, 0) << "one's own box does nothing";
}

TEST_F(RoutingTest, AfterAQuickJoinTheTitleScreenIsSetUpTheFirstTimeItIsShown) {
    start(true);
    EXPECT_FALSE(app->browserInitialized);
    EXPECT_TRUE(directory.lines.empty());
    EXPECT_EQ(frame(), ShownScreen::Editor);
    EXPECT_TRUE(app->editor.joinOverlayShown);
    serve({{"type", "error"}, {"code", "ERR_FULL"}});
    EXPECT_EQ(frame(), ShownScreen::Editor);
    // A "Back" from the library with no game and no title screen yet sets
    // it up rather than showing a screen that was never started.
    app->editor.leaveLibraryRequested = true;
    EXPECT_EQ(frame(), ShownScreen::TitleScreen);
    EXPECT_TRUE(app->browserInitialized);
    EXPECT_EQ(directory.lines.size(), 1u);
}

TEST(EditorCursor, TheSoftwareCursorIsDrawnOnlyOutsideTheCentredCanvas) {
    const struct {
        int x, y, width, height;
        bool inside;
    } cases[] = {
        {89, 100, 1200, 800, false},  {1110, 100, 1200, 800, false}, {90, 60, 1200, 800, true},
        {1109, 739, 1200, 800, true}, {90, 59, 1200, 800, false},    {90, 740, 1200, 800, false},
        {0, 0, 1020, 680, true},      {1019, 679, 1020, 680, true},  {1020, 10, 1020, 680, false},
        {0, 0, 800, 600, true},       {900, 10, 800, 600, true},     {1021, 10, 1021, 681, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Application::insideEditorCanvas(c.x, c.y, c.width, c.height), c.inside)
            << c.x << "," << c.y << " in " << c.width << "x" << c.height;
    }
}

}  // namespace
}  // namespace vobu
