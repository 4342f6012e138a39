#pragma once
// Whole frames of the Application without a window: a scripted game server
// on the game's transport, fake directory lines for the title screen, the
// recording Graphics backend, synthesised events, a clock the test moves
// and a per-user folder of its own. A test starts the parts, then runs
// frames.

#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/application.h"
#include "browser/browser_fixture.h"
#include "net/server_message_session.h"
#include "support/fake_transport.h"
#include "support/log_capture.h"
#include "support/press_control.h"
#include "support/recording_backend.h"

namespace vobu::testing {

// The join sound the test server plays, a real Ogg Vorbis stream.
inline std::vector<uint8_t> joinSoundBytes() {
    std::ifstream in(std::string(VOBU_SOURCE_DIR) + "/tools/testserver/data/player-join.ogg", std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class FrameTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 1020;
    static constexpr int kHeight = 680;

    void SetUp() override {
        char pattern[] = "/tmp/vobu-frames-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        userRoot = made;
        ::setenv("XDG_DATA_HOME", userRoot.c_str(), 1);
    }

    void TearDown() override {
        app.reset();
        std::error_code ignored;
        std::filesystem::remove_all(userRoot, ignored);
    }

    void start(bool quickJoin, const std::string& serverUrl = kGameUrl) {
        wire.acceptsAtOnce = true;
        app = std::make_unique<Application>(
            [this](TransportCallbacks&& callbacks) { return wire.attach(std::move(callbacks)); }, directory.factory());
        app->setClock([this] { return nowMs; });
        app->serverUrl = serverUrl;
        app->graphics.initialize(std::make_unique<RecordingBackend>(recording));
        app->initializeParts(quickJoin, false);
    }

    // The title screen lists the game server: the directory answers with
    // itself (an empty url) on the next frame.
    void directoryListsItself() {
        directory.directory().serverOpens();
        directory.directory().serverSends(testing::directoryReply({{"Test World", "Welcome", ""}}));
    }

    // A press and release on a control of the screen drawn last, at the
    // drawable's canvas placement.
    std::vector<SDL_Event> click(const UiControls& controls, const std::string& id) {
        std::vector<SDL_Event> events;
        EXPECT_TRUE(pressControl(
            controls, id, [&](const SDL_Event& event) { events.push_back(event); },
            UiLayout::forDrawable(kWidth, kHeight)))
            << id;
        return events;
    }
    static std::vector<SDL_Event> clickAt(int x, int y) { return {mouseMotion(x, y), mouseDown(x, y), mouseUp(x, y)}; }

    // From the title screen through Join and the library's "Use" to the
    // join overlay.
    void joinFromTitleScreen() {
        directoryListsItself();
        ASSERT_EQ(frame(), ShownScreen::TitleScreen);
        ASSERT_EQ(frame(click(app->browser.controls, "servers.join")), ShownScreen::Editor);
        ASSERT_EQ(frame(click(app->editor.controls, "library.join")), ShownScreen::Editor);
        ASSERT_TRUE(app->gameActive);
    }

    // The overlay's two buttons at the start-up layout (1020 wide).
    static std::vector<SDL_Event> overlayCharacters() { return clickAt(730, 28); }
    static std::vector<SDL_Event> overlayDisconnect() { return clickAt(914, 28); }

    // One frame stepMs after the previous one.
    std::optional<ShownScreen> frame(std::vector<SDL_Event> events = {}, double stepMs = 16) {
        nowMs += stepMs;
        FrameInput input;
        input.events = std::move(events);
        input.width = kWidth;
        input.height = kHeight;
        input.nowMs = nowMs;
        input.inputFocus = focused;
        return app->runFrame(input);
    }

    void serve(const nlohmann::json& message) { wire.serverSends(message.dump()); }

    // The scripted server's side of a join, a frame per round trip: the
    // challenge and the welcome, the join sound sent when asked for (a
    // later game of the run has it cached), and "ready" once the client
    // said "assetsReady".
    void joinToReady() {
        ASSERT_TRUE(app->gameActive);
        const size_t requests = wire.sentOfType("assetRequest").size();
        const size_t readies = wire.sentOfType("assetsReady").size();
        serve({{"type", "challenge"}, {"challenge", "00112233445566778899aabbccddeeff"}, {"difficulty", 4}});
        serve(testing::welcomeJson(app->network.localCharacter, {sound}));
        EXPECT_EQ(frame(), ShownScreen::Editor);
        if (wire.sentOfType("assetRequest").size() > requests) {
            serve({{"type", "assetChunk"},
                   {"id", "player-join"},
                   {"offset", 0},
                   {"data", testing::encodeBase64(soundBytes)},
                   {"done", true}});
            EXPECT_EQ(frame(), ShownScreen::Editor);
        }
        ASSERT_EQ(wire.sentOfType("assetsReady").size(), readies + 1) << app->network.errorCode << app->audioError;
        serve({{"type", "ready"}});
        ASSERT_EQ(frame(), ShownScreen::Game) << app->network.errorCode;
    }

    static inline const std::string kGameUrl = "ws://game.test/vobu";

    std::string userRoot;
    LogCapture log;
    // The game server, which accepts every connect.
    testing::FakeLine wire;
    testing::FakeNet directory;
    double nowMs = 100000;
    bool focused = true;
    Recording recording;
    std::vector<uint8_t> soundBytes = joinSoundBytes();
    ManifestEntry sound = testing::entryFor("player-join", AssetAudio, soundBytes);
    std::unique_ptr<Application> app;
};

}  // namespace vobu::testing
