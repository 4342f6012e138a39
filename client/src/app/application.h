#pragma once

#include <SDL.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/frame_pacer.h"
#include "app/resize_overlay.h"
#include "audio/scene_audio.h"
#include "audio/sound_clip.h"
#include "browser/game_overlay.h"
#include "browser/server_browser.h"
#include "character/character.h"
#include "editor/character_editor.h"
#include "net/network.h"
#include "net/socket_drainer.h"
#include "platform/performance_clock.h"
#include "ui/cursor.h"
#include "ui/graphics.h"
#include "world/renderer.h"
#include "world/scene.h"

namespace vobu {

// The current mode's refresh rate of a display by SDL's index; 0 when SDL
// does not know it.
int displayRefreshHz(int display);

// The screen a frame shows: the one drawn and the one that gets the
// events. Exactly one applies, in this order of precedence.
enum class ShownScreen {
    LeaveFade,    // the last picture of the world after "Disconnect"; takes no events
    TitleScreen,  // the server browser
    Game,         // the world with the overlay: joined, every asset and the join sound ready
    Editor,       // the character library and editor, with the join overlay while a game loads
};

// What the window side of a frame hands to the frame's logic.
struct FrameInput {
    std::vector<SDL_Event> events;  // in order; a quit event, when there is one, comes last
    int width = 0;                  // drawable size in pixels
    int height = 0;
    double nowMs = 0;         // performance-counter milliseconds at the start of the frame
    bool inputFocus = false;  // the window has keyboard focus
};

// The one application object: owns the window, the OpenGL context and every
// long-lived part by value, and runs one frame per loop iteration of main.
// The screens (title screen, game overlay, character editor) never call
// back into it: they raise one-shot requests that the frame takes and
// clears, in a fixed order.
class Application {
public:
    static constexpr double kLeaveFadeSeconds = 0.7;

    // The real transports.
    Application();
    // Other transports, the game's and the title screen's: tests run whole
    // frames through runFrame.
    Application(const Network::TransportFactory& makeTransport,
                const ServerBrowser::TransportFactory& makeBrowserTransport);
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    ~Application();

    // Creates the window and context and starts the parts. False when SDL,
    // the window or the context cannot be set up; failures of the parts
    // throw.
    bool initialize(const std::string& serverUrl, bool quickJoin);
    // The start-up of the parts once `graphics` has its backend: the editor
    // (font and library), the audio devices (when openAudio), the title
    // screen unless quick join, the renderer and the overlay, the
    // live-resize overlay (when there is a window) and the quick join.
    void initializeParts(bool quickJoin, bool openAudio);
    // One frame of the window: collects the events, reads the drawable
    // size, runs the frame's logic and swaps.
    void frame();
    // The loop's pause after a frame: a 1 ms yield while vertical sync
    // paces the swaps, else a sleep until the next frame is due.
    void waitForNextFrame();
    // The logic of one frame: time, events, requests, the game, audio and
    // drawing. Returns the screen drawn, or nothing when a quit event
    // cleared `running` (the events after it are not handled, nothing is
    // drawn).
    std::optional<ShownScreen> runFrame(const FrameInput& input);
    // Starts a game on `serverUrl` with the character.
    void connect(const Character& character);

    // The screen shown now; both the event routing and the drawing use it.
    ShownScreen shownScreen() const;

    // The clock of the frames and of every part (tests): the performance
    // counter until set.
    void setClock(const MillisecondClock& clockMs);

    // Members in construction order; destruction runs in reverse.
    SDL_Window* window = nullptr;
    SDL_GLContext glContext = nullptr;
    ResizeOverlay resizeOverlay;
    bool running = true;
    bool gameActive = false;     // a game was started by connect and not yet left
    bool relativeMouse = false;  // mouse look: the pointer turns the camera
    bool jumpLatch = false;      // Space was pressed since the last Network::update
    double lastFrameMs = 0;
    FramePacer pacer{true, 0};  // replaced once the window's display is known
    // The refresh rate of a display by SDL's index, 0 when unknown: the
    // display mode until set (tests).
    std::function<int(int display)> refreshRateOf = displayRefreshHz;
    // The frame's buffer swap: SDL's until set (tests).
    std::function<void(SDL_Window*)> swapWindow = SDL_GL_SwapWindow;
    std::string serverUrl;
    Graphics graphics;
    Scene scene;
    // Before the Network: the game connection's closed sockets outlive it
    // here until their servers have read what was sent last.
    SocketDrainer drainer;
    Network network;
    GameOverlay overlay;
    ServerBrowser browser;
    bool browserShown = false;
    bool browserInitialized = false;
    // Held keys by SDL scancode; only the game's input routing sets them.
    bool keys[512] = {};
    bool editingInGame = false;  // the library is open over a running game
    double fadeTimer = 0;        // seconds left of the leave fade
    Scene fadeScene;             // the world drawn during the leave fade
    SoundClip joinSound;
    SceneAudio sceneAudio;
    bool joinSoundReady = false;
    std::string audioError;
    Renderer renderer;
    Cursor cursor;

    // Of the frame being run.
    double frameSeconds = 0;  // dt
    bool inputFocus = false;  // the window had keyboard focus

    // The join status as last logged: the log shows every step of a join.
    std::string joinStatus;
    float joinProgress = 0;

    // Last: owns the shared Font and the CharacterLibrary that everything
    // before it borrows, and is destroyed first.
    CharacterEditor editor;

    // The bookkeeping every event gets whichever screen it goes to: the
    // cursor's position and visibility, the released keys and the pacer's
    // refresh rate when the window moves to another display. Quit is not
    // handled here.
    void noteEvent(const SDL_Event& event);
    void clearKeys();
    // The game's routing of one event (the game is shown): the overlay
    // first, then the game controls.
    void routeGameEvent(const SDL_Event& event);

    // The conditions the frame tests.
    bool joined() const;
    bool ready() const;
    bool gameShown() const;
    // The overlay's chat line is open or one of its buttons has focus.
    bool panelOpen() const;
    bool gameInput() const;

    // The centred 1020 x 680 rectangle of the editor's canvas in a drawable.
    static bool insideEditorCanvas(int x, int y, int width, int height);

private:
    // Returns false when the frame must end at once (a quit event).
    bool handleEvents(const std::vector<SDL_Event>& events);
    void routeEvent(const SDL_Event& event);
    void routeGameControls(const SDL_Event& event);
    void clickInWorld(int x, int y);
    // The hand-overs of the screens, in the frame's order.
    void takeRequests();
    void takeBrowserRequests();
    void takeChosenCharacter();
    void takeLeaveLibrary();
    void takeOverlayCharacters();
    void takeOverlayDisconnect();
    void takeChat();
    void takeMainMenu();
    void runGame();
    void loadJoinSound();
    void showStatus();
    void playJoinSounds();
    void updateAudio();
    void updateOverlay(int width, int height);
    ShownScreen drawScreen(int width, int height);
    void drawLeaveFade(int width, int height);
    void drawGame(int width, int height);
    void drawTitleScreen(int width, int height);
    void drawEditor(int width, int height);
    void endMouseLook();
    void applyMouseMode();
    void gameEnded();
    // Back to the title screen after a game: refreshed, or set up the first
    // time it is needed (after a quick join).
    void refreshTitleScreen();
    void initializeBrowser();
    void setJoinStatus(const std::string& text, float progress);

    MillisecondClock clock = performanceMs;  // the frames' time; setClock gives it to every part
    bool relativeMouseApplied_ = false;      // the mode SDL was last told
    // The pacing last logged: on or off, and at which period.
    bool pacingLogged_ = false;
    double pacedPeriodLogged_ = 0;
    bool readyLogged_ = false;  // "Game ready" was logged for this game
    // The work of the frames that showed the game (events to buffer swap,
    // without the loop's sleep), logged at exit.
    long long playingFrames_ = 0;
    double playingFrameMs_ = 0;
    double longestPlayingFrameMs_ = 0;
};

// Frame time in seconds from two performance-counter times in milliseconds:
// at most 0.1, and 0 when not positive.
double frameTimeSeconds(double previousMs, double nowMs);

// The keyboard axes of the held keys: x = right - left, y = forward - back
// (D or Right, A or Left, W or Up, S or Down).
void movementAxes(const bool (&keys)[512], float& x, float& y);

}  // namespace vobu
