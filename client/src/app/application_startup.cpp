// Start-up of the parts, the start of a game and the way back to the title
// screen.

#include <cmath>
#include <stdexcept>

#include "app/application.h"
#include "app/asset_package.h"
#include "net/server_address.h"
#include "ui/ui_canvas.h"

namespace vobu {

namespace {

// The overlay's layout before the first frame measures the drawable.
constexpr int kStripX = 644;
constexpr int kChatX = 16;

}  // namespace

void Application::initializeParts(bool quickJoin, bool openAudio) {
    // The connection refuses such an address without a word of its own
    // beyond its code: say which address and why, once.
    const std::string fault = serverAddressFault(serverUrl);
    if (!fault.empty()) {
        SDL_Log("Server address %s is not valid: %s", quotedAddress(serverUrl).c_str(), fault.c_str());
    }
    // The editor first: it owns the Font every other screen draws with.
    editor.initialize(&graphics, loadPackagedAsset);
    if (openAudio) {
        joinSound.init();
        sceneAudio.initialize();
    }
    if (!quickJoin) {
        initializeBrowser();
    }
    renderer.initialize(&graphics, &editor.font);
    overlay.graphics = &graphics;
    overlay.font = &editor.font;
    overlay.setLayout(kStripX, kChatX, UiCanvas::kVisibleWidth, UiCanvas::kVisibleHeight);
    browserShown = !quickJoin;
    if (window) {
        const bool resizeInstalled = resizeOverlay.attach(window, [this](int width, int height) {
            editor.resizeBadge.draw(graphics, editor.font, width, height);
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

void Application::initializeBrowser() {
    // A missing or damaged logo entry throws here and ends the program.
    browser.initialize(graphics, editor.font, serverUrl, loadPackagedAsset("logo.rgba"));
    browserInitialized = true;
}

void Application::refreshTitleScreen() {
    if (browserInitialized) {
        browser.refresh();
    } else {
        initializeBrowser();
    }
}

void Application::setJoinStatus(const std::string& text, float progress) {
    if (text != joinStatus || progress != joinProgress) {
        // The log (which the end-to-end tests read) shows every step of a
        // join, the progress in whole percent: a line per percent at most.
        const bool logIt = text != joinStatus || int(std::floor(progress * 100)) != int(std::floor(joinProgress * 100));
        joinStatus = text;
        joinProgress = progress;
        if (logIt) {
            SDL_Log("Join status: %s %d%%", joinStatus.c_str(), int(std::floor(joinProgress * 100)));
        }
    }
    editor.setJoinStatus(text, progress);
}

void Application::connect(const Character& character) {
    overlay.reset();
    jumpLatch = false;
    editingInGame = false;
    fadeTimer = 0;
    joinSoundReady = false;
    audioError.clear();
    readyLogged_ = false;
    setJoinStatus("Connecting", 0);
    renderer.reset();
    // The editor's preview skin serves the local player until "Characters"
    // detaches it.
    renderer.localSkinTexture = editor.skinTexture(character);
    network.localCharacter = character;
    network.connect(serverUrl);
    gameActive = true;
    editor.beginJoin();
}

}  // namespace vobu
