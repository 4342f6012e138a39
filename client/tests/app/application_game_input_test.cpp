#include <gtest/gtest.h>

#include "app/application.h"
#include "support/sdl_events.h"

namespace vobu {
namespace {

using testing::keyDown;

TEST(MovementAxes, EachDirectionHasTwoKeysAndOppositesCancel) {
    const struct {
        std::vector<SDL_Scancode> held;
        float x, y;
    } cases[] = {
        {{}, 0, 0},
        {{SDL_SCANCODE_D}, 1, 0},
        {{SDL_SCANCODE_RIGHT}, 1, 0},
        {{SDL_SCANCODE_A}, -1, 0},
        {{SDL_SCANCODE_LEFT}, -1, 0},
        {{SDL_SCANCODE_W}, 0, 1},
        {{SDL_SCANCODE_UP}, 0, 1},
        {{SDL_SCANCODE_S}, 0, -1},
        {{SDL_SCANCODE_DOWN}, 0, -1},
        {{SDL_SCANCODE_W, SDL_SCANCODE_D}, 1, 1},
        {{SDL_SCANCODE_W, SDL_SCANCODE_S}, 0, 0},
        {{SDL_SCANCODE_W, SDL_SCANCODE_UP}, 0, 1},  // two keys of one direction count once
        {{SDL_SCANCODE_A, SDL_SCANCODE_RIGHT}, 0, 0},
        {{SDL_SCANCODE_SPACE, SDL_SCANCODE_Q}, 0, 0},
    };
    for (const auto& c : cases) {
        bool keys[512] = {};
        for (SDL_Scancode code : c.held) keys[code] = true;
        float x = 7, y = 7;
        movementAxes(keys, x, y);
        EXPECT_EQ(x, c.x) << c.held.size();
        EXPECT_EQ(y, c.y) << c.held.size();
    }
}

// The game's key routing needs no window.
TEST(GameRouting, KeyRepeatNeverRecordsAKeyOrAJump) {
    Application app;
    app.routeGameEvent(keyDown(SDL_SCANCODE_W, true));
    app.routeGameEvent(keyDown(SDL_SCANCODE_SPACE, true));
    EXPECT_FALSE(app.keys[SDL_SCANCODE_W]);
    EXPECT_FALSE(app.jumpLatch);
    app.routeGameEvent(keyDown(SDL_SCANCODE_W));
    app.routeGameEvent(keyDown(SDL_SCANCODE_SPACE));
    EXPECT_TRUE(app.keys[SDL_SCANCODE_W]);
    EXPECT_TRUE(app.jumpLatch);
}

TEST(GameConditions, TheGameIsShownOnlyWhenJoinedWithEveryAssetAndTheSound) {
    Application app;
    EXPECT_FALSE(app.ready());
    app.gameActive = true;
    app.network.joined = true;
    EXPECT_FALSE(app.ready()) << "the join sound is not decoded";
    app.joinSoundReady = true;
    AssetEntry sound;
    sound.id = "player-join";
    sound.required = true;
    app.network.assets.entries[sound.id] = sound;
    EXPECT_FALSE(app.ready()) << "a required asset is incomplete";
    app.network.assets.entries[sound.id].complete = true;
    EXPECT_TRUE(app.ready());
    EXPECT_TRUE(app.gameShown());
    app.fadeTimer = 0.1;
    EXPECT_FALSE(app.gameShown());
    app.fadeTimer = 0;
    app.editingInGame = true;
    EXPECT_FALSE(app.gameShown());
    EXPECT_FALSE(app.gameInput());
    app.network.joined = false;  // the destructor must not see a half-made game
}

}  // namespace
}  // namespace vobu
