#include <gtest/gtest.h>

#include "app/application.h"

namespace vobu {
namespace {

SDL_Event motion(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    return e;
}

SDL_Event press(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.x = x;
    e.button.y = y;
    return e;
}

SDL_Event windowEvent(Uint8 what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    return e;
}

SDL_Event keyUp(SDL_Scancode code) {
    SDL_Event e{};
    e.type = SDL_KEYUP;
    e.key.keysym.scancode = code;
    return e;
}

// The Application touches no SDL until initialize, so its event bookkeeping
// runs without a window.
TEST(ApplicationEvents, PointerMovesAndShowsTheCursor) {
    Application app;
    EXPECT_FALSE(app.cursor.visible);
    app.noteEvent(motion(12, 34));
    EXPECT_EQ(app.cursor.x, 12);
    EXPECT_EQ(app.cursor.y, 34);
    EXPECT_TRUE(app.cursor.visible);
    app.noteEvent(windowEvent(SDL_WINDOWEVENT_LEAVE));
    EXPECT_FALSE(app.cursor.visible);
    // Re-entering shows it at the last known position until the next motion.
    app.noteEvent(windowEvent(SDL_WINDOWEVENT_ENTER));
    EXPECT_TRUE(app.cursor.visible);
    EXPECT_EQ(app.cursor.x, 12);
    app.noteEvent(windowEvent(SDL_WINDOWEVENT_LEAVE));
    app.noteEvent(press(50, 60));
    EXPECT_TRUE(app.cursor.visible);
    EXPECT_EQ(app.cursor.x, 50);
    EXPECT_EQ(app.cursor.y, 60);
}

TEST(ApplicationEvents, MouseLookFreezesTheCursor) {
    Application app;
    app.noteEvent(motion(5, 6));
    app.relativeMouse = true;
    app.noteEvent(motion(100, 200));
    app.noteEvent(press(300, 400));
    EXPECT_EQ(app.cursor.x, 5);
    EXPECT_EQ(app.cursor.y, 6);
    app.noteEvent(windowEvent(SDL_WINDOWEVENT_LEAVE));
    EXPECT_TRUE(app.cursor.visible);
}

TEST(ApplicationEvents, KeyUpReleasesAndFocusLossReleasesAll) {
    Application app;
    app.keys[SDL_SCANCODE_W] = true;
    app.keys[SDL_SCANCODE_A] = true;
    app.keys[SDL_SCANCODE_RIGHT] = true;
    app.noteEvent(keyUp(SDL_SCANCODE_W));
    EXPECT_FALSE(app.keys[SDL_SCANCODE_W]);
    EXPECT_TRUE(app.keys[SDL_SCANCODE_A]);
    app.noteEvent(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    for (bool key : app.keys) {
        EXPECT_FALSE(key);
    }
    // A scancode beyond the table is ignored, not written past it.
    app.noteEvent(keyUp(SDL_Scancode(512)));
}

}  // namespace
}  // namespace vobu
