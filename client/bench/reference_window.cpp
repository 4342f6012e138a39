// The yardstick of the client's idle cost: a plain SDL window with an
// OpenGL 1.x context that draws one window-sized textured quad a frame,
// asks for vertical sync and sleeps until the next frame is due at the
// display's rate (60 Hz when unknown), so it is paced whether or not the
// swap waits. Runs until its window is closed or --seconds pass.
//
//     reference_window [--seconds N]
#define SDL_MAIN_HANDLED
#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 1020;
constexpr int kHeight = 680;
constexpr int kTexture = 1024;

double nowMs() { return double(SDL_GetPerformanceCounter()) * 1000.0 / double(SDL_GetPerformanceFrequency()); }

void drawQuad() {
    const float u = float(kWidth) / kTexture;
    const float v = float(kHeight) / kTexture;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(0, 0);
    glVertex2f(-1, 1);
    glTexCoord2f(0, v);
    glVertex2f(-1, -1);
    glTexCoord2f(u, v);
    glVertex2f(1, -1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, 1);
    glTexCoord2f(u, v);
    glVertex2f(1, -1);
    glTexCoord2f(u, 0);
    glVertex2f(1, 1);
    glEnd();
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 0;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_Window* window = SDL_CreateWindow("Reference", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth, kHeight,
                                          SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(1);
    SDL_DisplayMode mode{};
    const int rate = SDL_GetCurrentDisplayMode(SDL_GetWindowDisplayIndex(window), &mode) == 0 ? mode.refresh_rate : 0;
    const double periodMs = 1000.0 / (rate >= 20 && rate <= 500 ? rate : 60);

    std::vector<unsigned char> pixels(size_t(kTexture) * kTexture * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (unsigned char)(i * 2654435761u >> 24);
    glEnable(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kTexture, kTexture, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    const double startMs = nowMs();
    double dueMs = startMs;
    long frames = 0;
    for (bool running = true; running;) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            if (event.type == SDL_QUIT) running = false;
        }
        drawQuad();
        SDL_GL_SwapWindow(window);
        ++frames;
        dueMs += periodMs;
        const double now = nowMs();
        if (dueMs < now) dueMs = now;
        SDL_Delay(Uint32(dueMs - now));
        if (seconds > 0 && now - startMs >= seconds * 1000) running = false;
    }
    std::printf("frames %ld in %.2f s\n", frames, (nowMs() - startMs) / 1000);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
