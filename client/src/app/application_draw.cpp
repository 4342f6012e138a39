// Exactly one screen a frame, then the software cursor where that screen
// wants it.

#include <algorithm>

#include "app/application.h"
#include "ui/ui_canvas.h"
#include "ui/ui_layout.h"

namespace vobu {

bool Application::insideEditorCanvas(int x, int y, int width, int height) {
    const UiLayout layout = UiLayout::forDrawable(width, height);
    return x >= layout.x && x < layout.x + UiCanvas::kVisibleWidth && y >= layout.y &&
           y < layout.y + UiCanvas::kVisibleHeight;
}

void Application::drawLeaveFade(int width, int height) {
    fadeTimer = std::max(fadeTimer - frameSeconds, 0.0);
    renderer.draw(fadeScene, {}, width, height, frameSeconds, 0, 0, false);
    cursor.draw(graphics, width, height);
    if (fadeTimer == 0) {
        renderer.reset();
        overlay.reset();
        editingInGame = false;
        browserShown = true;
        editor.showLibrary();
        editor.setChoosingForJoin(false);
        refreshTitleScreen();
    }
}

void Application::drawTitleScreen(int width, int height) {
    browser.draw(width, height, editor.library.characters, editor.library.revision);
    cursor.draw(graphics, width, height);
}

void Application::drawGame(int width, int height) {
    const std::vector<Player> players = network.playersForRender(clock());
    const bool hover = cursor.visible && !relativeMouse;
    renderer.draw(scene, players, width, height, frameSeconds, cursor.x, cursor.y, hover);
    overlay.draw(scene);
    if (!relativeMouse) {
        cursor.draw(graphics, width, height);
    }
}

void Application::drawEditor(int width, int height) {
    // A pointer that has left the window is over no part of the editor: its
    // own arrow must not stay behind at the edge where the pointer went out.
    if (cursor.visible) {
        editor.updatePointer(cursor.x, cursor.y);
    } else {
        editor.updatePointer(-1, -1);
    }
    editor.draw(width, height);
    // Inside its canvas the editor draws its own pointer.
    if (!insideEditorCanvas(cursor.x, cursor.y, width, height)) {
        cursor.draw(graphics, width, height);
    }
}

ShownScreen Application::drawScreen(int width, int height) {
    const ShownScreen screen = shownScreen();
    switch (screen) {
        case ShownScreen::LeaveFade:
            drawLeaveFade(width, height);
            break;
        case ShownScreen::TitleScreen:
            drawTitleScreen(width, height);
            break;
        case ShownScreen::Game:
            drawGame(width, height);
            break;
        case ShownScreen::Editor:
            drawEditor(width, height);
            break;
    }
    return screen;
}

}  // namespace vobu
