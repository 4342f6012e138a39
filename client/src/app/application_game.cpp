// The running game: movement into the network, the end of a game, the join
// sound and the ready check, the join status, the world audio and the
// overlay's layout.

#include <algorithm>
#include <exception>

#include "app/application.h"
#include "net/asset_store.h"
#include "net/server_address.h"
#include "net/server_messages.h"

namespace vobu {

namespace {

// Milliseconds the scene audio may spend decoding in one frame.
constexpr double kAudioBudgetMs = 2.0;
// The overlay's button strip keeps this far from the right edge.
constexpr int kStripFromRight = 376;
constexpr int kChatX = 16;

}  // namespace

void Application::gameEnded() {
    endMouseLook();
    clearKeys();
    jumpLatch = false;
    overlay.reset();
    renderer.reset();
    gameActive = false;
    editingInGame = false;
    const std::string& reason = network.disconnectReason.empty() ? network.errorCode : network.disconnectReason;
    SDL_Log("Disconnected: %s", reason.c_str());
    if (!serverAddressFault(serverUrl).empty()) {
        // The connection refused the address before any server was asked:
        // no server said anything and nobody was disconnected.
        editor.onDisconnected("");
        setJoinStatus(kInvalidServerAddress, 0);
        return;
    }
    editor.onDisconnected(reason);
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
        gameEnded();
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

void Application::updateOverlay(int width, int height) {
    overlay.setLayout(std::max(0, width - kStripFromRight), kChatX, width, height);
    if (!editingInGame) {
        overlay.update(frameSeconds, scene);
    }
}

}  // namespace vobu
