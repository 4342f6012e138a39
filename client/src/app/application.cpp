#include "app/application.h"

#include <algorithm>
#include <stdexcept>

namespace vobu {

namespace {

constexpr int kWindowWidth = 1020;
constexpr int kWindowHeight = 680;

}  // namespace

double frameTimeSeconds(double previousMs, double nowMs) {
    double const dt = (nowMs - previousMs) / 1000.0;
    return dt > 0 ? std::min(dt, 0.1) : 0.0;
}

double Application::nowMs() {
    double const counter = double(uint64_t(SDL_GetPerformanceCounter()));
    double const frequency = double(uint64_t(SDL_GetPerformanceFrequency()));
    return counter * 1000.0 / frequency;
}

bool Application::initialize(std::string const& url, bool quickJoin) {
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
    // The parts start here; for now only the stand-in screen, which loads the
    // font from the asset package like the character editor will.
    (void)quickJoin;
    standIn.initialize();
    bool const resizeInstalled = resizeOverlay.attach(window, [this](int width, int height) {
        resizeBadge.draw(graphics, standIn.font(), width, height);
        SDL_GL_SwapWindow(window);
    });
    if (!resizeInstalled) {
        throw std::runtime_error("Could not install native resize rendering");
    }
    lastFrameMs = nowMs();
    return true;
}

void Application::clearKeys() {
    for (bool& key : keys) {
        key = false;
    }
}

void Application::noteEvent(SDL_Event const& event) {
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

bool Application::pumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            running = false;
            return false;
        }
        noteEvent(event);
    }
    return true;
}

void Application::frame() {
    double const now = nowMs();
    frameSeconds = frameTimeSeconds(lastFrameMs, now);
    lastFrameMs = now;
    if (!pumpEvents()) {
        return;
    }
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    graphics.beginFrame(width, height);
    standIn.draw(graphics, width, height);
    cursor.draw(graphics, width, height);
    SDL_GL_SwapWindow(window);
}

Application::~Application() {
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
