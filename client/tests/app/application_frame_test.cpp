// Whole frames of the Application through its frame seam: the game path
// from the join to the leave fade.

#include <gtest/gtest.h>

#include <SDL.h>

#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/frame_fixture.h"
#include "support/sdl_events.h"

namespace vobu {
namespace {

using nlohmann::json;
using namespace vobu::testing;

TEST_F(FrameTest, QuickJoinReachesTheGameWithAScriptedServer) {
    ASSERT_GT(soundBytes.size(), 100u);
    start(true);
    EXPECT_EQ(app->shownScreen(), ShownScreen::Editor) << "the join overlay, connecting";
    EXPECT_EQ(frame(), ShownScreen::Editor);
    joinToReady();
    EXPECT_EQ(wire.sentTypes().front(), "hello");
    EXPECT_TRUE(app->joinSoundReady);
    // The status lines come from the Application, not from a screen.
    EXPECT_EQ(log.count("Join status: Connecting 0%"), 1);
    EXPECT_EQ(log.count("Join status: Downloading assets 0%"), 1);
    EXPECT_EQ(log.count("Join status: Downloading assets 100%"), 1);
    EXPECT_EQ(log.count("Game ready: player 3"), 1);
    // The game frame drew the world at the drawable size.
    ASSERT_FALSE(recording.frames.empty());
    EXPECT_EQ(recording.frames.back(), std::make_pair(kWidth, kHeight));
    EXPECT_EQ(frame(), ShownScreen::Game);
    EXPECT_EQ(log.count("Game ready"), 1) << "logged once per game";
}

TEST_F(FrameTest, WithoutQuickJoinTheTitleScreenComesFirstAndTheLibraryJoins) {
    start(false);
    EXPECT_TRUE(app->browserInitialized);
    EXPECT_EQ(frame(), ShownScreen::TitleScreen);
    EXPECT_FALSE(app->gameActive);
    EXPECT_TRUE(wire.connects.empty());
    ASSERT_EQ(directory.lines.size(), 1u);
    EXPECT_EQ(directory.directory().connects, std::vector<std::string>{kGameUrl});
    joinFromTitleScreen();
    EXPECT_EQ(wire.connects, std::vector<std::string>{kGameUrl}) << "the directory's own entry";
    joinToReady();
}

TEST_F(FrameTest, TheGameEndingByTheServerLogsTheReasonFromTheApplication) {
    start(true);
    frame();
    joinToReady();
    serve({{"type", "disconnect"}, {"code", "ERR_KICKED"}, {"reason", "Server restarting"}});
    EXPECT_EQ(frame(), ShownScreen::Editor);
    EXPECT_FALSE(app->gameActive);
    EXPECT_EQ(log.count("Disconnected: Server restarting"), 1);
    EXPECT_TRUE(app->editor.disconnected);
    EXPECT_EQ(app->editor.disconnectReason, "Server restarting");
    // Without a reason the code is shown. The main menu sets up the title
    // screen the quick join skipped.
    EXPECT_FALSE(app->browserInitialized);
    EXPECT_EQ(frame(click(app->editor.controls, "join.cancel")), ShownScreen::TitleScreen);
    EXPECT_TRUE(app->browserInitialized);
    joinFromTitleScreen();
    joinToReady();
    serve({{"type", "error"}, {"code", "ERR_FULL"}});
    frame();
    EXPECT_EQ(log.count("Disconnected: ERR_FULL"), 1);
    EXPECT_EQ(app->editor.disconnectReason, "ERR_FULL");
}

// The connection refuses such an address before any lookup with nothing
// but its code: the log names the address and why, and the screens say it
// is not valid (no server was reached, so none "says" anything).
TEST_F(FrameTest, AServerAddressThatCannotBeDialledIsSaidInTheLogAndOnTheTitleScreen) {
    const std::string url = "ws://127.0.0.1:99999/vobu";
    start(false, url);
    EXPECT_EQ(frame(), ShownScreen::TitleScreen);
    ASSERT_EQ(log.count("Server address "), 1);
    EXPECT_EQ(log.lines[0], R"(Server address "ws://127.0.0.1:99999/vobu" is not valid: )"
                            "its port is not a number from 1 to 65535");
    EXPECT_EQ(app->browser.directoryStatus, "Invalid server address");
    EXPECT_TRUE(app->browser.rows.empty());
}

TEST_F(FrameTest, AQuickJoinToAnAddressThatCannotBeDialledSaysSoInTheJoinOverlay) {
    const struct {
        const char* url;
        const char* error;  // what the connection reports at once
        const char* status;
        const char* reason;
    } cases[] = {
        {"ws://[::1]:8080/vobu", "ERR_URL_SCHEME", "Invalid server address", ""},
        {"ws://127.0.0.1:0/vobu", "ERR_URL_SCHEME", "Invalid server address", ""},
        // A server that cannot be reached is still named by the code.
        {"ws://127.0.0.1:1/vobu", "ERR_CONNECT_REFUSED", "You were disconnected", "ERR_CONNECT_REFUSED"},
    };
    for (const auto& c : cases) {
        log.lines.clear();
        wire = FakeLine();
        wire.connectError = c.error;
        start(true, c.url);
        EXPECT_EQ(frame(), ShownScreen::Editor) << c.url;
        EXPECT_FALSE(app->gameActive) << c.url;
        EXPECT_TRUE(app->editor.disconnected) << c.url;
        EXPECT_EQ(app->editor.joinStatus, c.status) << c.url;
        EXPECT_EQ(app->editor.disconnectReason, c.reason) << c.url;
        EXPECT_EQ(log.count(std::string("Join status: ") + c.status), c.reason[0] ? 0 : 1) << c.url;
        EXPECT_EQ(log.count("Server address "), c.reason[0] ? 0 : 1) << c.url;
        EXPECT_EQ(log.count(std::string("Disconnected: ") + c.error), 1) << c.url;
        // The main menu shows the title screen, which says it again.
        EXPECT_EQ(frame(click(app->editor.controls, "join.cancel")), ShownScreen::TitleScreen) << c.url;
        EXPECT_EQ(app->browser.directoryStatus, c.reason[0] ? "" : "Invalid server address") << c.url;
        app.reset();
    }
}

TEST_F(FrameTest, TheSceneAudioJudgesSegmentsOnTheClockOfTheFrames) {
    // Far past any performance counter: a segment that is over by this
    // clock is still to come by the counter.
    nowMs = 1e12;
    start(true);
    frame();
    joinToReady();
    SceneEntity emitter;
    emitter.type = "audio";
    emitter.streamId = 1;
    emitter.generation = 1;  // radius 0: heard everywhere
    app->scene.entities.push_back(emitter);
    frame();
    ASSERT_EQ(app->sceneAudio.streams().count(1), 1u);

    app->scene.audioSegments.push_back(AudioSegment{1, 1, 1, nowMs - 5000, 2.0, {}});
    frame();
    EXPECT_TRUE(app->scene.audioSegments.empty());
    EXPECT_EQ(app->sceneAudio.streams().at(1).lastSeq, -1) << "ended 3 s ago: dropped";
    app->scene.audioSegments.push_back(AudioSegment{1, 1, 2, nowMs + 100, 2.0, {}});
    frame();
    EXPECT_EQ(app->sceneAudio.streams().at(1).lastSeq, 2) << "still to come: taken";
}

TEST_F(FrameTest, TheJoinSoundIsStampedOnTheClockOfTheFrames) {
    // Far past any performance counter, as above.
    nowMs = 1e12;
    start(true);
    EXPECT_EQ(app->joinSound.clock()(), nowMs);
    nowMs += 40;
    EXPECT_EQ(app->joinSound.clock()(), nowMs);
}

TEST_F(FrameTest, TheFrameTimesItsSwapCallForThePacer) {
    // Paced frames whose swaps wait for a 59.94 Hz display: the pacer lets
    // go only when it is shown how long the swap call itself lasts.
    start(false);
    app->pacer = FramePacer(false, 60);
    const double periodMs = 1000 / 59.94;
    app->swapWindow = [&](SDL_Window*) { nowMs = (std::floor(nowMs / periodMs) + 1) * periodMs + 0.1; };
    int frames = 0;
    for (; frames < 300 && app->pacer.pacing(); ++frames) {
        nowMs += 2;  // the frame's work
        app->frame();
        nowMs += std::floor(app->pacer.sleepMs(nowMs));
    }
    EXPECT_FALSE(app->pacer.pacing()) << "still paced after " << frames << " frames";
}

TEST_F(FrameTest, MouseLookTurnsTheCameraAndFreezesTheCursor) {
    start(true);
    frame();
    joinToReady();
    frame({mouseMotion(300, 200)});
    const float yaw = app->renderer.camera.yaw;
    frame({mouseDown(300, 200, SDL_BUTTON_RIGHT)});
    EXPECT_TRUE(app->relativeMouse);
    frame({mouseMotion(360, 260, 60, 0), windowEvent(SDL_WINDOWEVENT_LEAVE)});
    EXPECT_NE(app->renderer.camera.yaw, yaw);
    EXPECT_EQ(app->cursor.x, 300) << "the pointer turns the camera, not the cursor";
    EXPECT_TRUE(app->cursor.visible) << "leaving the window does not hide it";
    frame({mouseUp(360, 260, SDL_BUTTON_RIGHT)});
    EXPECT_FALSE(app->relativeMouse);
    const float turned = app->renderer.camera.yaw;
    frame({mouseMotion(400, 300, 40, 0)});
    EXPECT_EQ(app->renderer.camera.yaw, turned);
    EXPECT_EQ(app->cursor.x, 400);
    // Escape ends it too, even on a key repeat.
    frame({mouseDown(400, 300, SDL_BUTTON_RIGHT)});
    frame({keyDown(SDL_SCANCODE_ESCAPE, true)});
    EXPECT_FALSE(app->relativeMouse);
}

TEST_F(FrameTest, FocusLossReleasesTheKeysAndTheGameRunsOnWithoutInput) {
    start(true);
    frame();
    joinToReady();
    frame({keyDown(SDL_SCANCODE_W), keyDown(SDL_SCANCODE_D), mouseDown(10, 10, SDL_BUTTON_RIGHT)});
    EXPECT_TRUE(app->keys[SDL_SCANCODE_W]);
    EXPECT_TRUE(app->gameInput());
    // Space and the focus loss in one frame: the window still counted as
    // focused when the frame began, so only the focus loss keeps the jump
    // from going out.
    const size_t beforeLoss = wire.sentOfType("input").size();
    frame({keyDown(SDL_SCANCODE_SPACE), windowEvent(SDL_WINDOWEVENT_FOCUS_LOST)});
    focused = false;
    for (bool key : app->keys) EXPECT_FALSE(key);
    EXPECT_FALSE(app->relativeMouse);
    // Unfocused, the game still runs: the network is updated, with no
    // movement and no jump.
    const size_t inputs = wire.sentOfType("input").size();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(frame({}, 30), ShownScreen::Game);
    EXPECT_FALSE(app->gameInput());
    const std::vector<json> sent = wire.sentOfType("input");
    ASSERT_GT(sent.size(), inputs);
    for (size_t i = beforeLoss; i < sent.size(); ++i) {
        for (const json& command : sent[i].at("commands")) {
            EXPECT_FALSE(command.value("jump", false)) << command;
            if (i < inputs) continue;
            EXPECT_EQ(command.value("x", 0.0), 0.0) << command;
            EXPECT_EQ(command.value("y", 0.0), 0.0) << command;
        }
    }
}

TEST_F(FrameTest, TheLeaveFadeLastsSevenTenthsOfASecondOfFrameTime) {
    start(true);
    frame();
    joinToReady();
    EXPECT_EQ(frame(overlayDisconnect()), ShownScreen::LeaveFade);
    EXPECT_EQ(log.count("Left the game"), 1);
    EXPECT_FALSE(app->gameActive);
    EXPECT_FALSE(wire.open);
    // The leaving frame counted 0.016 s; frames 250 ms apart count 0.1 s
    // each, so the seventh of them reaches 0.7 s (and still draws the
    // fade).
    int fadeFrames = 0;
    while (frame({}, 250) == ShownScreen::LeaveFade) {
        ++fadeFrames;
        if (fadeFrames == 6) {
            EXPECT_NEAR(app->fadeTimer, 0.084, 1e-9);
        }
        ASSERT_LT(fadeFrames, 20);
    }
    EXPECT_EQ(fadeFrames, 7);
    EXPECT_EQ(app->shownScreen(), ShownScreen::TitleScreen);
    EXPECT_TRUE(app->browserInitialized) << "the title screen is set up on the way back";
    EXPECT_TRUE(app->editor.libraryShown);
    EXPECT_FALSE(app->editor.choosingCharacter);
}

// What a user may do while the fade runs. The editor's join overlay lies
// hidden under it (Return, Space and Escape press its main-menu button, and
// the button itself is still in its place), and the title screen's
// controls are not shown yet.
enum class FadeInput { Return, Space, Escape, JoinOverlayButton };

std::string fadeInputName(const ::testing::TestParamInfo<FadeInput>& info) {
    const char* const names[] = {"Return", "Space", "Escape", "JoinOverlayButton"};
    return names[int(info.param)];
}

class LeaveFadeInputTest : public FrameTest, public ::testing::WithParamInterface<FadeInput> {
protected:
    std::vector<SDL_Event> input() {
        switch (GetParam()) {
            case FadeInput::Return:
                return {keyDown(SDL_SCANCODE_RETURN), keyUp(SDL_SCANCODE_RETURN)};
            case FadeInput::Space:
                return {keyDown(SDL_SCANCODE_SPACE), keyUp(SDL_SCANCODE_SPACE)};
            case FadeInput::Escape:
                return {keyDown(SDL_SCANCODE_ESCAPE), keyUp(SDL_SCANCODE_ESCAPE)};
            case FadeInput::JoinOverlayButton:
                return click(app->editor.controls, "join.cancel");
        }
        return {};
    }
};

TEST_P(LeaveFadeInputTest, DoesNothingAndTheTitleScreenComesBackOnceAndWorks) {
    start(true);
    frame();
    joinToReady();
    ASSERT_EQ(frame(overlayDisconnect()), ShownScreen::LeaveFade);
    EXPECT_EQ(frame(input(), 100), ShownScreen::LeaveFade);
    EXPECT_FALSE(app->browserShown) << "no screen change under the fade";
    EXPECT_FALSE(app->browserInitialized) << "the quick join's title screen waits for the fade's end";
    // Where the title screen's "Characters" will be.
    EXPECT_EQ(frame(clickAt(306, 640), 100), ShownScreen::LeaveFade);
    for (int fadeFrames = 0; app->shownScreen() == ShownScreen::LeaveFade; ++fadeFrames) {
        ASSERT_LT(fadeFrames, 20);
        EXPECT_EQ(frame(input(), 250), ShownScreen::LeaveFade);
    }
    EXPECT_EQ(app->shownScreen(), ShownScreen::TitleScreen);
    EXPECT_EQ(directory.lines.size(), 1u);
    EXPECT_EQ(directory.directory().connects.size(), 1u) << "the title screen is set up once";
    EXPECT_EQ(wire.connects.size(), 1u) << "nothing joined";
    EXPECT_FALSE(app->editor.takeMainMenuRequest());
    // It works: it lists the server and opens the library.
    directoryListsItself();
    ASSERT_EQ(frame(), ShownScreen::TitleScreen);
    EXPECT_EQ(frame(click(app->browser.controls, "servers.characters")), ShownScreen::Editor);
    EXPECT_TRUE(app->editor.libraryShown);
    EXPECT_FALSE(app->editor.choosingCharacter);
}

INSTANTIATE_TEST_SUITE_P(Fade, LeaveFadeInputTest,
                         ::testing::Values(FadeInput::Return, FadeInput::Space, FadeInput::Escape,
                                           FadeInput::JoinOverlayButton),
                         fadeInputName);

TEST_F(FrameTest, QuitInTheMiddleOfABurstEndsTheFrameBeforeAnythingIsDrawn) {
    start(true);
    frame();
    joinToReady();
    const size_t drawnFrames = recording.frames.size();
    EXPECT_EQ(frame({keyDown(SDL_SCANCODE_W), quitEvent(), keyDown(SDL_SCANCODE_A)}), std::nullopt);
    EXPECT_FALSE(app->running);
    EXPECT_TRUE(app->keys[SDL_SCANCODE_W]);
    EXPECT_FALSE(app->keys[SDL_SCANCODE_A]) << "the events after the quit are not handled";
    EXPECT_EQ(recording.frames.size(), drawnFrames);
}

TEST_F(FrameTest, TheLibraryDrawsNoArrowOfItsOwnOnceThePointerHasLeftTheWindow) {
    start(false);
    directoryListsItself();
    ASSERT_EQ(frame(), ShownScreen::TitleScreen);
    ASSERT_EQ(frame(click(app->browser.controls, "servers.characters")), ShownScreen::Editor);
    auto arrowAt = [&](int x, int y) {
        for (const RecordedDraw& draw : recording.draws) {
            if (drawnRect(draw, 1020, 680) == PixelRect{x, y, x + 32, y + 32}) return true;
        }
        return false;
    };
    recording.draws.clear();
    frame({mouseMotion(600, 640)});
    EXPECT_EQ(app->editor.pointerX, 600);
    EXPECT_TRUE(arrowAt(600, 640)) << "the editor's arrow";
    // SDL moves the pointer to the window's edge as it leaves.
    recording.draws.clear();
    frame({mouseMotion(0, 0), windowEvent(SDL_WINDOWEVENT_LEAVE)});
    EXPECT_LT(app->editor.pointerX, 0);
    EXPECT_LT(app->editor.pointerY, 0);
    EXPECT_FALSE(arrowAt(0, 0)) << "no arrow left at the edge";
    EXPECT_FALSE(arrowAt(600, 640));
    recording.draws.clear();
    frame({windowEvent(SDL_WINDOWEVENT_ENTER), mouseMotion(40, 50)});
    EXPECT_EQ(app->editor.pointerX, 40);
    EXPECT_TRUE(arrowAt(40, 50));
}

// One function chooses the screen; its precedence is the drawing's.
TEST_F(FrameTest, OneScreenIsShownInOrderOfPrecedence) {
    start(false);
    EXPECT_EQ(app->shownScreen(), ShownScreen::TitleScreen);
    app->fadeTimer = 0.2;
    EXPECT_EQ(app->shownScreen(), ShownScreen::LeaveFade);
    app->fadeTimer = 0;
    joinFromTitleScreen();
    EXPECT_EQ(app->shownScreen(), ShownScreen::Editor);
    joinToReady();
    EXPECT_EQ(app->shownScreen(), ShownScreen::Game);
    app->joinSoundReady = false;
    EXPECT_EQ(app->shownScreen(), ShownScreen::Editor) << "not ready";
    app->joinSoundReady = true;
    app->editingInGame = true;
    EXPECT_EQ(app->shownScreen(), ShownScreen::Editor) << "the library over the game";
    app->editingInGame = false;
    app->fadeTimer = 0.1;
    EXPECT_EQ(app->shownScreen(), ShownScreen::LeaveFade);
}

}  // namespace
}  // namespace vobu
