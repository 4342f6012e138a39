#pragma once

#include <SDL.h>

#include <string>

#include "app/resize_overlay.h"
#include "app/stand_in_screen.h"
#include "ui/cursor.h"
#include "ui/graphics.h"

namespace vobu {

// The one application object: owns the window, the OpenGL context and every
// long-lived part by value, and runs one frame per loop iteration of main.
// The screens of the later subsystems join as members in the order of their
// ownership; until then the frame draws a stand-in screen.
class Application {
public:
    Application() = default;
    Application(Application const&) = delete;
    Application& operator=(Application const&) = delete;
    ~Application();

    // Creates the window and context and starts the parts. False when SDL,
    // the window or the context cannot be set up; failures of the parts
    // throw.
    bool initialize(std::string const& serverUrl, bool quickJoin);
    // One frame: time, events, drawing, swap. A quit event clears `running`
    // and ends the frame before anything is drawn.
    void frame();

    // Milliseconds of the performance counter, in double (the counter runs
    // at 1e9 Hz here: an integer product would overflow after months).
    static double nowMs();

    SDL_Window* window = nullptr;
    SDL_GLContext glContext = nullptr;
    ResizeOverlay resizeOverlay;
    bool running = true;
    bool relativeMouse = false;  // mouse look: the pointer turns the camera
    double lastFrameMs = 0;
    double frameSeconds = 0;  // dt of the current frame
    std::string serverUrl;
    Graphics graphics;
    StandInScreen standIn;
    Cursor cursor;
    ResizeBadge resizeBadge;  // joins the character editor once it exists
    // Held keys by SDL scancode; only the game's input routing sets them.
    bool keys[512] = {};

    // The bookkeeping every event gets whichever screen it goes to: the
    // cursor's position and visibility and the released keys. Quit is not
    // handled here.
    void noteEvent(SDL_Event const& event);
    void clearKeys();

private:
    // Returns false when the frame must end at once (a quit event).
    bool pumpEvents();
};

// Frame time in seconds from two performance-counter times in milliseconds:
// at most 0.1, and 0 when not positive.
double frameTimeSeconds(double previousMs, double nowMs);

}  // namespace vobu
