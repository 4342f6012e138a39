#include "app/application.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <stdexcept>

#include "net/asset_store.h"
#include "net/server_messages.h"
#include "platform/performance_clock.h"

namespace vobu {

namespace {

constexpr int kWindowWidth = 1020;
constexpr int kWindowHeight = 680;
// Milliseconds the scene audio may spend decoding in one frame.
constexpr double kAudioBudgetMs = 2.0;

bool held(const bool (&keys)[512], SDL_Scancode a, SDL_Scancode b) { return keys[a] || keys[b]; }

}  // namespace

double frameTimeSeconds(double previousMs, double nowMs) {
    const double dt = (nowMs - previousMs) / 1000.0;
    return dt > 0 ? std::min(dt, 0.1) : 0.0;
}

void movementAxes(const bool (&keys)[512], float& x, float& y) {
    x = float(int(held(keys, SDL_SCANCODE_D, SDL_SCANCODE_RIGHT)) - int(held(keys, SDL_SCANCODE_A, SDL_SCANCODE_LEFT)));
    y = float(int(held(keys, SDL_SCANCODE_W, SDL_SCANCODE_UP)) - int(held(keys, SDL_SCANCODE_S, SDL_SCANCODE_DOWN)));
}

double Application::nowMs() { return performanceMs(); }

Application::Application()
    : Application([](TransportCallbacks&& callbacks) { return createSocketTransport(std::move(callbacks)); },
                  performanceMs) {}

Application::Application(const Network::TransportFactory& makeTransport, const Network::Clock& gameClock)
    : clock(gameClock), network(scene, makeTransport, gameClock) {
    renderer.clock = gameClock;
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
    window = SDL_CreateWindow("VobuGame", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWindowWidth, kWindowHeight,
                              SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
    if (!window) {
        return false;
    }
    glContext = SDL_GL_CreateContext(window);
    if (!glContext) {
        return false;
    }
    SDL_GL_SetSwapInterval(1);
    int mouseX = 0;
    int mouseY = 0;
    SDL_GetMouseState(&mouseX, &mouseY);
    cursor.x = mouseX;
    cursor.y = mouseY;
    cursor.visible = true;
    graphics.initialize(createOpenGlBackend());
    initializeParts(quickJoin, true);
    return true;
}

void Application::initializeParts(bool quickJoin, bool openAudio) {
    // The parts, in the order they depend on each other: the font first
    // (every screen draws with it), then the audio, then the screens.
    standIn.initialize();
    if (openAudio) {
        joinSound.init();
        sceneAudio.initialize();
    }
    // The title screen starts here once it exists, unless the game is
    // joined at once. The renderer (and then the overlay) gets the shared
    // Graphics and Font; they live as long as the Application.
    renderer.initialize(&graphics, &standIn.font());
    browserShown = !quickJoin;
    if (window) {
        const bool resizeInstalled = resizeOverlay.attach(window, [this](int width, int height) {
            resizeBadge.draw(graphics, standIn.font(), width, height);
            SDL_GL_SwapWindow(window);
        });
        if (!resizeInstalled) {
            throw std::runtime_error("Could not install native resize rendering");
        }
    }
    if (quickJoin) {
        Character character;
        character.id = "debug";
        connect(character);
    }
    lastFrameMs = clock();
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

bool Application::gameInput() const {
    // The overlay's chat line and focused buttons join the condition once
    // the overlay exists.
    return inputFocus && ready() && !editingInGame;
}

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
            if (event.key.keysym.scancode >= 0 && event.key.keysym.scancode < 512) {
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
            }
            break;
        default:
            break;
    }
}

void Application::routeGameEvent(const SDL_Event& event) {
    // The overlay takes its events first once it exists; until then its
    // "Disconnect" button is a key.
    switch (event.type) {
        case SDL_KEYDOWN: {
            const SDL_Scancode code = event.key.keysym.scancode;
            if (event.key.repeat == 0) {
                if (code >= 0 && code < 512) {
                    keys[code] = true;
                }
                if (code == SDL_SCANCODE_SPACE) {
                    jumpLatch = true;
                }
                if (code == kDisconnectKey) {
                    disconnectRequested = true;
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
            }
            if (event.button.button == SDL_BUTTON_LEFT) {
                const int id = renderer.pick(event.button.x, event.button.y);
                const auto other = scene.characters.find(id);
                if (id >= 0 && id != scene.localPlayerId && other != scene.characters.end()) {
                    endMouseLook();
                    clearKeys();
                    jumpLatch = false;
                    // The overlay opens a whisper to that player once it exists.
                    SDL_Log("Whisper to %s", other->second.name.c_str());
                }
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

void Application::routeScreenEvent(const SDL_Event& event) {
    // The character library's choice, until it exists: Return joins with the
    // default character once no game is running.
    if (event.type == SDL_KEYDOWN && event.key.repeat == 0 && event.key.keysym.scancode == SDL_SCANCODE_RETURN &&
        !gameActive && !(fadeTimer > 0)) {
        chosenCharacter = Character();
        chosenCharacter.id = "debug";
        characterChosen = true;
    }
}

void Application::routeEvent(const SDL_Event& event) {
    switch (shownScreen()) {
        case ShownScreen::TitleScreen:  // the server browser's handleEvent once it exists
        case ShownScreen::LeaveFade:    // the fade's events go to the character editor
        case ShownScreen::Editor:
            routeScreenEvent(event);
            break;
        case ShownScreen::Game:
            routeGameEvent(event);
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

void Application::setJoinStatus(const std::string& text, float progress) {
    if (text == joinStatus && progress == joinProgress) {
        return;
    }
    // The log (which the end-to-end tests read) shows every step of a
    // join, the progress in whole percent: a line per percent at most.
    const bool logIt = text != joinStatus || int(std::floor(progress * 100)) != int(std::floor(joinProgress * 100));
    joinStatus = text;
    joinProgress = progress;
    if (logIt) {
        SDL_Log("Join status: %s %d%%", joinStatus.c_str(), int(std::floor(joinProgress * 100)));
    }
    standIn.setJoinStatus(text, progress);
}

void Application::connect(const Character& character) {
    jumpLatch = false;
    editingInGame = false;
    fadeTimer = 0;
    joinSoundReady = false;
    audioError.clear();
    readyLogged_ = false;
    setJoinStatus("Connecting", 0);
    renderer.reset();
    // The editor's preview skin serves the local player once the editor
    // exists; until then the renderer builds it from the Scene.
    renderer.localSkinTexture = 0;
    network.localCharacter = character;
    network.connect(serverUrl);
    gameActive = true;
    standIn.beginJoin();
}

// The one-shot requests in the order the screens' hand-overs run: the
// title screen's join and "Characters", the library's choice and "Back",
// the overlay's "Characters", "Disconnect" and chat, the join overlay's
// main-menu button. The stand-in raises only two of them.
void Application::takeRequests() {
    takeLibraryChoice();
    takeOverlayDisconnect();
}

void Application::takeLibraryChoice() {
    if (!characterChosen) {
        return;
    }
    characterChosen = false;
    if (!editingInGame) {
        // The stand-in's Return is the title screen's join and the library's
        // choice at once.
        browserShown = false;
        connect(chosenCharacter);
    }
}

void Application::takeOverlayDisconnect() {
    if (disconnectRequested) {
        disconnectRequested = false;
        if (gameActive) {
            endMouseLook();
            fadeScene = scene;
            renderer.clearPlayers(scene.localPlayerId);
            network.disconnect();
            gameActive = false;
            editingInGame = false;
            fadeTimer = kLeaveFadeSeconds;
            SDL_Log("Left the game");
        }
    }
}

void Application::leaveGame() {
    endMouseLook();
    clearKeys();
    jumpLatch = false;
    renderer.reset();
    gameActive = false;
    editingInGame = false;
    const std::string& reason = network.disconnectReason.empty() ? network.errorCode : network.disconnectReason;
    SDL_Log("Disconnected: %s", reason.c_str());
    standIn.onDisconnected(reason);
}

void Application::loadJoinSound() {
    if (!network.welcomed || !network.assets.allRequiredComplete() || !audioError.empty()) {
        return;
    }
    bool loaded = false;
    try {
        loaded = joinSound.load(network.assets.data(kJoinSoundAssetId), network.assets.hashOf(kJoinSoundAssetId));
    } catch (const std::exception&) {
        loaded = false;
    }
    if (loaded) {
        joinSoundReady = true;
    } else {
        audioError = "ERR_AUDIO_DECODE";
    }
}

void Application::showStatus() {
    if (!network.errorCode.empty()) {
        setJoinStatus(network.errorCode, 0);
    } else if (!audioError.empty()) {
        setJoinStatus(audioError, 0);
    } else if (network.welcomed) {
        setJoinStatus("Downloading assets", network.assets.progress());
    } else {
        setJoinStatus("Connecting", 0);
    }
}

void Application::playJoinSounds() {
    const int32_t count = network.joinCount;
    network.joinCount = 0;
    if (joined() && network.assets.allRequiredComplete() && joinSoundReady && count != 0) {
        joinSound.play();
        if (count != 1) {
            joinSound.play();
        }
    }
}

void Application::runGame() {
    if (!gameActive) {
        return;
    }
    float axisX = 0;
    float axisY = 0;
    const bool input = gameInput();
    if (input) {
        movementAxes(keys, axisX, axisY);
    }
    const auto [moveX, moveY] = renderer.camera.moveVector(axisX, axisY);
    const bool jump = input && jumpLatch;
    network.update(clock(), moveX, moveY, jump);
    jumpLatch = false;
    if (network.gameEnded) {
        leaveGame();
        return;
    }
    loadJoinSound();
    if (joinSoundReady && network.assets.allRequiredComplete()) {
        network.checkAssetsReady();
    }
    showStatus();
    if (ready() && !readyLogged_) {
        // The log tells a watcher (and the tests) when the game is shown.
        readyLogged_ = true;
        SDL_Log("Game ready: player %d, %u ms after start", int(scene.localPlayerId), unsigned(SDL_GetTicks()));
    }
    playJoinSounds();
}

void Application::updateAudio() {
    const bool enabled = ready();
    sceneAudio.update(scene, network.predictor.predictedState(scene), renderer.camera.right(), enabled, kAudioBudgetMs);
}

void Application::showTitleScreen() {
    // The server browser refreshes (or starts) here once it exists; the
    // stand-in screen stays.
    browserInitialized = true;
}

void Application::drawLeaveFade(int width, int height) {
    fadeTimer = std::max(fadeTimer - frameSeconds, 0.0);
    renderer.draw(fadeScene, {}, width, height, frameSeconds, 0, 0, false);
    cursor.draw(graphics, width, height);
    if (fadeTimer == 0) {
        renderer.reset();
        editingInGame = false;
        browserShown = true;
        showTitleScreen();
    }
}

void Application::drawGame(int width, int height) {
    const std::vector<Player> players = network.playersForRender(clock());
    const bool hover = cursor.visible && !relativeMouse;
    renderer.draw(scene, players, width, height, frameSeconds, cursor.x, cursor.y, hover);
    if (!relativeMouse) {
        cursor.draw(graphics, width, height);
    }
}

void Application::drawStandIn(int width, int height) {
    graphics.beginFrame(width, height);
    standIn.draw(graphics, width, height);
    cursor.draw(graphics, width, height);
}

ShownScreen Application::drawScreen(int width, int height) {
    const ShownScreen screen = shownScreen();
    switch (screen) {
        case ShownScreen::LeaveFade:
            drawLeaveFade(width, height);
            break;
        case ShownScreen::Game:
            drawGame(width, height);
            break;
        case ShownScreen::TitleScreen:  // the server browser once it exists
        case ShownScreen::Editor:       // the character editor once it exists
            drawStandIn(width, height);
            break;
    }
    return screen;
}

std::optional<ShownScreen> Application::runFrame(const FrameInput& input) {
    frameSeconds = frameTimeSeconds(lastFrameMs, input.nowMs);
    lastFrameMs = input.nowMs;
    inputFocus = input.inputFocus;
    if (!handleEvents(input.events)) {
        return std::nullopt;
    }
    takeRequests();
    runGame();
    updateAudio();
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
    SDL_GL_SwapWindow(window);
    if (*drawn == ShownScreen::Game) {
        const double spent = clock() - input.nowMs;
        playingFrames_ += 1;
        playingFrameMs_ += spent;
        longestPlayingFrameMs_ = std::max(longestPlayingFrameMs_, spent);
    }
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
    SDL_Quit();
}

}  // namespace vobu
