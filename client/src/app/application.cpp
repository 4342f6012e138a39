// The Application's window side, its conditions and the order of one frame.
// The steps live in topic files: start-up (application_startup.cpp), event
// routing (application_routing.cpp), the screens' hand-overs
// (application_requests.cpp), the game and its audio (application_game.cpp)
// and drawing (application_draw.cpp).

#include "app/application.h"

#include <algorithm>

#include "editor/png_files.h"
#include "platform/file_dialog.h"
#include "platform/performance_clock.h"
#include "ui/ui_canvas.h"

namespace vobu {

namespace {

bool held(const bool (&keys)[512], SDL_Scancode a, SDL_Scancode b) { return keys[a] || keys[b]; }

std::unique_ptr<SocketTransport> socketTransport(TransportCallbacks&& callbacks) {
    return createSocketTransport(std::move(callbacks));
}

}  // namespace

int displayRefreshHz(int display) {
    SDL_DisplayMode mode{};
    return display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
}

double frameTimeSeconds(double previousMs, double nowMs) {
    const double dt = (nowMs - previousMs) / 1000.0;
    return dt > 0 ? std::min(dt, 0.1) : 0.0;
}

void movementAxes(const bool (&keys)[512], float& x, float& y) {
    x = float(int(held(keys, SDL_SCANCODE_D, SDL_SCANCODE_RIGHT)) - int(held(keys, SDL_SCANCODE_A, SDL_SCANCODE_LEFT)));
    y = float(int(held(keys, SDL_SCANCODE_W, SDL_SCANCODE_UP)) - int(held(keys, SDL_SCANCODE_S, SDL_SCANCODE_DOWN)));
}

// The game's transport is lent the drainer, constructed before the Network
// that makes the transport.
Application::Application()
    : Application(
          [this](TransportCallbacks&& callbacks) { return createSocketTransport(std::move(callbacks), drainer); },
          socketTransport) {}

Application::Application(const Network::TransportFactory& makeTransport,
                         const ServerBrowser::TransportFactory& makeBrowserTransport)
    : network(scene, makeTransport), browser(makeBrowserTransport) {}

void Application::setClock(const MillisecondClock& clockMs) {
    clock = clockMs;
    network.setClock(clockMs);
    browser.setClock(clockMs);
    overlay.setClock(clockMs);
    joinSound.setClock(clockMs);
    sceneAudio.setClock(clockMs);
    renderer.setClock(clockMs);
    editor.setClock(clockMs);
}

bool Application::initialize(const std::string& url, bool quickJoin) {
    serverUrl = url;
    // Only drivers that show a window: without a display SDL would otherwise
    // fall back to its offscreen driver and run with nothing on screen. A
    // driver named in the environment still takes precedence.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland,KMSDRM");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        return false;
    }
    // The software cursor draws the pointer for the whole run.
    SDL_ShowCursor(0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    window = SDL_CreateWindow("VobuGame", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, UiCanvas::kVisibleWidth,
                              UiCanvas::kVisibleHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
    if (!window) {
        return false;
    }
    glContext = SDL_GL_CreateContext(window);
    if (!glContext) {
        return false;
    }
    const bool swapIntervalSet = SDL_GL_SetSwapInterval(1) == 0;
    pacer = FramePacer(swapIntervalSet, refreshRateOf(SDL_GetWindowDisplayIndex(window)));
    int mouseX = 0;
    int mouseY = 0;
    SDL_GetMouseState(&mouseX, &mouseY);
    cursor.x = mouseX;
    cursor.y = mouseY;
    cursor.visible = true;
    graphics.initialize(createOpenGlBackend());
    // The export and import dialogs block the frame loop; owned by the game
    // window, a window manager keeps them above it instead of behind.
    setImageDialogParent(dialogParentOf(window));
    initializeParts(quickJoin, true);
    return true;
}

void Application::clearKeys() {
    for (bool& key : keys) {
        key = false;
    }
}

// The logic only decides; the window side tells SDL once per frame, before
// any later event could depend on it.
void Application::endMouseLook() { relativeMouse = false; }

void Application::applyMouseMode() {
    if (relativeMouse != relativeMouseApplied_) {
        SDL_SetRelativeMouseMode(relativeMouse ? SDL_TRUE : SDL_FALSE);
        relativeMouseApplied_ = relativeMouse;
    }
}

bool Application::joined() const { return gameActive && network.joined; }

bool Application::ready() const { return joined() && network.assets.allRequiredComplete() && joinSoundReady; }

bool Application::gameShown() const { return ready() && !editingInGame && !(fadeTimer > 0); }

bool Application::panelOpen() const { return overlay.typing || overlay.focus > 0; }

bool Application::gameInput() const { return inputFocus && ready() && !editingInGame && !panelOpen(); }

ShownScreen Application::shownScreen() const {
    if (fadeTimer > 0) {
        return ShownScreen::LeaveFade;
    }
    if (browserShown) {
        return ShownScreen::TitleScreen;
    }
    if (gameShown()) {
        return ShownScreen::Game;
    }
    return ShownScreen::Editor;
}

std::optional<ShownScreen> Application::runFrame(const FrameInput& input) {
    frameSeconds = frameTimeSeconds(lastFrameMs, input.nowMs);
    lastFrameMs = input.nowMs;
    inputFocus = input.inputFocus;
    drainer.poll();
    if (!handleEvents(input.events)) {
        return std::nullopt;
    }
    takeRequests();
    runGame();
    updateAudio();
    updateOverlay(input.width, input.height);
    return drawScreen(input.width, input.height);
}

void Application::frame() {
    FrameInput input;
    input.nowMs = clock();
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        input.events.push_back(event);
        if (event.type == SDL_QUIT) {
            break;  // the frame ends there: what follows is not handled
        }
    }
    SDL_GL_GetDrawableSize(window, &input.width, &input.height);
    input.inputFocus = (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
    const std::optional<ShownScreen> drawn = runFrame(input);
    applyMouseMode();
    if (!drawn) {
        return;
    }
    // Timed around the call itself: the swap's own duration, also as a
    // probe moves the call, tells a swap that waits for the display from
    // one that returns at once or is merely slow.
    const double swapStartMs = clock();
    swapWindow(window);
    pacer.swapped(swapStartMs, clock());
    if (*drawn == ShownScreen::Game) {
        const double spent = clock() - input.nowMs;
        playingFrames_ += 1;
        playingFrameMs_ += spent;
        longestPlayingFrameMs_ = std::max(longestPlayingFrameMs_, spent);
    }
}

void Application::waitForNextFrame() {
    if (pacer.pacing() && (!pacingLogged_ || pacer.periodMs() != pacedPeriodLogged_)) {
        SDL_Log("No vertical sync: frames paced to %.0f Hz", 1000.0 / pacer.periodMs());
        pacedPeriodLogged_ = pacer.periodMs();
    } else if (!pacer.pacing() && pacingLogged_) {
        SDL_Log("Vertical sync waits for the display: frames no longer paced");
    }
    pacingLogged_ = pacer.pacing();
    // Whole milliseconds: a frame woken early starts early, and the next
    // one is still due on the pacer's schedule.
    SDL_Delay(uint32_t(pacer.sleepMs(clock())));
}

Application::~Application() {
    if (playingFrames_ > 0) {
        SDL_Log("Frames while playing: %lld, mean %.2f ms, longest %.2f ms", playingFrames_,
                playingFrameMs_ / double(playingFrames_), longestPlayingFrameMs_);
    }
    joinSound.stop();
    sceneAudio.shutdown();
    resizeOverlay.detach();
    if (glContext) {
        graphics.shutdown();
        SDL_GL_DeleteContext(glContext);
        glContext = nullptr;
    }
    if (window) {
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    // With the window gone: a failure report sent just before the end still
    // gets a moment to reach its server.
    drainer.finish(SocketDrainer::kExitWaitMs);
    SDL_Quit();
}

}  // namespace vobu
