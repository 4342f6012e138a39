#pragma once

#include <SDL.h>

#include <string>

#include "app/resize_overlay.h"
#include "app/stand_in_screen.h"
#include "audio/scene_audio.h"
#include "audio/sound_clip.h"
#include "character/character.h"
#include "net/network.h"
#include "ui/cursor.h"
#include "ui/graphics.h"
#include "world/renderer.h"
#include "world/scene.h"

namespace vobu {

// The one application object: owns the window, the OpenGL context and every
// long-lived part by value, and runs one frame per loop iteration of main.
//
// The title screen, the in-game overlay and the character library are not
// here yet. Where the frame hands work to them it takes the same one-shot
// requests they will raise; until they exist the stand-in screen raises
// them from keys (see StandInScreen and the game's key routing), and the
// join status is shown there and logged.
class Application {
public:
    // Keys that stand in for the overlay's and the library's buttons.
    static constexpr SDL_Scancode kDisconnectKey = SDL_SCANCODE_F10;  // the overlay's "Disconnect"
    static constexpr double kLeaveFadeSeconds = 0.7;

    Application() = default;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;
    ~Application();

    // Creates the window and context and starts the parts. False when SDL,
    // the window or the context cannot be set up; failures of the parts
    // throw.
    bool initialize(const std::string& serverUrl, bool quickJoin);
    // One frame: time, events, requests, the game, audio, drawing, swap. A
    // quit event clears `running` and ends the frame before anything is
    // drawn.
    void frame();
    // Starts a game on `serverUrl` with the character.
    void connect(const Character& character);

    // Milliseconds of the performance counter, in double (the counter runs
    // at 1e9 Hz here: an integer product would overflow after months).
    static double nowMs();

    // Members in construction order; destruction runs in reverse.
    SDL_Window* window = nullptr;
    SDL_GLContext glContext = nullptr;
    ResizeOverlay resizeOverlay;
    bool running = true;
    bool gameActive = false;     // a game was started by connect and not yet left
    bool relativeMouse = false;  // mouse look: the pointer turns the camera
    bool jumpLatch = false;      // Space was pressed since the last Network::update
    double lastFrameMs = 0;
    double frameSeconds = 0;  // dt of the current frame
    std::string serverUrl;
    Graphics graphics;
    Scene scene;
    Network network{scene};
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
    // Holds the shared Font (and, later, the character library) the way the
    // character editor will; until then it also shows the join status. It
    // comes before the renderer, which takes the Font's address when it is
    // constructed.
    StandInScreen standIn;
    Renderer renderer{&graphics, &standIn.font()};
    Cursor cursor;
    ResizeBadge resizeBadge;  // joins the character editor once it exists

    // One-shot requests of the screens, taken and cleared by the frame.
    bool disconnectRequested = false;  // the overlay's "Disconnect"
    bool characterChosen = false;      // the library's choice of a character to join with
    Character chosenCharacter;

    // The bookkeeping every event gets whichever screen it goes to: the
    // cursor's position and visibility and the released keys. Quit is not
    // handled here.
    void noteEvent(const SDL_Event& event);
    void clearKeys();
    // The game's input routing of one event (the game is shown).
    void routeGameEvent(const SDL_Event& event);
    // The routing of one event to the screen that is not the game.
    void routeScreenEvent(const SDL_Event& event);

    // The conditions the frame tests.
    bool joined() const;
    bool ready() const;
    bool gameShown() const;
    bool gameInput() const;

private:
    // Returns false when the frame must end at once (a quit event).
    bool pumpEvents();
    void takeRequests();
    void runGame();
    void loadJoinSound();
    void showStatus();
    void playJoinSounds();
    void updateAudio();
    void drawScreen(int width, int height);
    void endMouseLook();
    void leaveGame();
    void showTitleScreen();
    void setJoinStatus(const std::string& text, float progress);

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
