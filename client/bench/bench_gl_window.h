#pragma once
// One SDL window with an OpenGL 1.x context for a whole benchmark run,
// made on first use. Without an X display ok() is false and the
// benchmarks report an error instead of drawing.
#include <SDL.h>

namespace vobu::bench {

class BenchGlWindow {
public:
    BenchGlWindow(const char* title, int width, int height) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
        window = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL);
        if (window) context = SDL_GL_CreateContext(window);
        if (context) SDL_GL_SetSwapInterval(0);
    }
    ~BenchGlWindow() {
        if (context) SDL_GL_DeleteContext(context);
        if (window) SDL_DestroyWindow(window);
        SDL_Quit();
    }
    BenchGlWindow(const BenchGlWindow&) = delete;
    BenchGlWindow& operator=(const BenchGlWindow&) = delete;

    bool ok() const { return context != nullptr; }

    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

}  // namespace vobu::bench
