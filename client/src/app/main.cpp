// The process entry: command line, the one Application, the frame loop.
#define SDL_MAIN_HANDLED
#include <SDL.h>

#include <exception>

#include "app/application.h"
#include "app/command_line.h"
#include "editor/clipboard_image.h"
#include "platform/image_clipboard.h"

int main(int argc, char** argv) {
    try {
        vobu::CommandLine const options = vobu::parseCommandLine(argc, argv);
        // Destroyed by the run-time's exit handling after main returns, so the
        // window system is torn down on every way out.
        static vobu::Application application;
        // The editor's copy and paste of images go through the system
        // clipboard; it is opened on first use.
        vobu::installImageClipboard(vobu::systemImageClipboardCalls());
        if (!application.initialize(options.serverUrl, options.quickJoin)) {
            SDL_Log("SDL initialization failed: %s", SDL_GetError());
            return 1;
        }
        const uint32_t startTick = SDL_GetTicks();
        while (application.running) {
            // Unsigned 32-bit arithmetic, so the check survives the tick
            // counter wrapping after 49 days.
            if (options.quitAfterMs != 0 && uint32_t(SDL_GetTicks() - startTick) >= options.quitAfterMs) {
                break;
            }
            application.frame();
            application.waitForNextFrame();
        }
        return 0;
    } catch (const std::exception& error) {
        SDL_Log("Client: %s", error.what());
        return 1;
    }
}
