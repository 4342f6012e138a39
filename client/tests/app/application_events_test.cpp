#include <gtest/gtest.h>

#include "app/application.h"
#include "support/sdl_events.h"

namespace vobu {
namespace {

using namespace vobu::testing;

// The Application touches no SDL until initialize, so its event bookkeeping
// runs without a window.
TEST(ApplicationEvents, PointerMovesAndShowsTheCursor) {
    Application app;
    EXPECT_FALSE(app.cursor.visible);
    app.noteEvent(mouseMotion(12, 34));
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
    app.noteEvent(mouseDown(50, 60));
    EXPECT_TRUE(app.cursor.visible);
    EXPECT_EQ(app.cursor.x, 50);
    EXPECT_EQ(app.cursor.y, 60);
}

TEST(ApplicationEvents, MouseLookFreezesTheCursor) {
    Application app;
    app.noteEvent(mouseMotion(5, 6));
    app.relativeMouse = true;
    app.noteEvent(mouseMotion(100, 200));
    app.noteEvent(mouseDown(300, 400));
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
    app.noteEvent(keyEvent(false, SDLK_w, SDL_Scancode(512)));
}

}  // namespace
}  // namespace vobu
