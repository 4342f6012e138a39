// Events: the bookkeeping every screen gets, then exactly one screen.

#include "app/application.h"

namespace vobu {

namespace {

bool inKeyTable(SDL_Scancode code) { return code >= 0 && code < 512; }

}  // namespace

void Application::noteEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_MOUSEMOTION:
            if (!relativeMouse) {
                cursor.x = event.motion.x;
                cursor.y = event.motion.y;
                cursor.visible = true;
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (!relativeMouse) {
                cursor.x = event.button.x;
                cursor.y = event.button.y;
                cursor.visible = true;
            }
            joinSound.handleEvent();
            break;
        case SDL_KEYDOWN:
            joinSound.handleEvent();
            break;
        case SDL_KEYUP:
            if (inKeyTable(event.key.keysym.scancode)) {
                keys[event.key.keysym.scancode] = false;
            }
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_ENTER) {
                cursor.visible = true;
            } else if (event.window.event == SDL_WINDOWEVENT_LEAVE) {
                if (!relativeMouse) {
                    cursor.visible = false;
                }
            } else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                clearKeys();
            } else if (event.window.event == SDL_WINDOWEVENT_DISPLAY_CHANGED) {
                // Pacing, where it is needed, follows the display the window
                // is on, and swaps that wait for a faster display are judged
                // against its own period.
                pacer.setRefreshHz(refreshRateOf(event.window.data1));
            }
            break;
        default:
            break;
    }
}

void Application::routeGameEvent(const SDL_Event& event) {
    const bool panelWasOpen = panelOpen();
    const bool consumed = overlay.handleEvent(event, scene);
    if (!panelWasOpen && panelOpen()) {
        // Typing or a focused button takes the keyboard from the game.
        endMouseLook();
        clearKeys();
        jumpLatch = false;
    }
    if (!consumed) {
        routeGameControls(event);
    }
}

void Application::clickInWorld(int x, int y) {
    const int id = renderer.pick(x, y);
    if (id < 0 || id == scene.localPlayerId) {
        return;
    }
    const auto other = scene.characters.find(id);
    if (other == scene.characters.end()) {
        return;
    }
    endMouseLook();
    clearKeys();
    jumpLatch = false;
    overlay.toggleWhisper(id, other->second.name);
}

void Application::routeGameControls(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN: {
            const SDL_Scancode code = event.key.keysym.scancode;
            if (event.key.repeat == 0) {
                if (!panelOpen() && inKeyTable(code)) {
                    keys[code] = true;
                }
                if (code == SDL_SCANCODE_SPACE) {
                    jumpLatch = true;
                }
            }
            if (code == SDL_SCANCODE_ESCAPE && relativeMouse) {
                endMouseLook();
            }
            break;
        }
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.button == SDL_BUTTON_RIGHT) {
                relativeMouse = true;
            } else if (event.button.button == SDL_BUTTON_LEFT) {
                clickInWorld(event.button.x, event.button.y);
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.button == SDL_BUTTON_RIGHT) {
                endMouseLook();
            }
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                jumpLatch = false;
                endMouseLook();
            }
            break;
        case SDL_MOUSEMOTION:
            if (relativeMouse) {
                renderer.camera.rotate(float(event.motion.xrel), float(event.motion.yrel));
            }
            break;
        case SDL_MOUSEWHEEL: {
            float steps = float(event.wheel.y);
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
                steps = -steps;
            }
            renderer.camera.zoom(steps);
            break;
        }
        default:
            break;
    }
}

void Application::routeEvent(const SDL_Event& event) {
    switch (shownScreen()) {
        case ShownScreen::LeaveFade:
            // The last picture of the world takes no input: the screens
            // under it (the join overlay, the title screen not set up yet)
            // must not act unseen.
            break;
        case ShownScreen::TitleScreen:
            browser.handleEvent(event);
            break;
        case ShownScreen::Game:
            routeGameEvent(event);
            break;
        case ShownScreen::Editor:
            // No game, a game still loading, or the library over a game.
            editor.handleEvent(event);
            break;
    }
}

bool Application::handleEvents(const std::vector<SDL_Event>& events) {
    for (const SDL_Event& event : events) {
        if (event.type == SDL_QUIT) {
            running = false;
            return false;
        }
        noteEvent(event);
        routeEvent(event);
    }
    return true;
}

}  // namespace vobu
