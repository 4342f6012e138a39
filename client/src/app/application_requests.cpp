// The screens' one-shot requests, taken once a frame in a fixed order: the
// title screen's join and "Characters", the library's choice and "Back",
// the overlay's "Characters", "Disconnect" and chat, the join overlay's
// main-menu button.

#include "app/application.h"
#include "character/character_json.h"

namespace vobu {

void Application::takeRequests() {
    takeBrowserRequests();
    takeChosenCharacter();
    takeLeaveLibrary();
    takeOverlayCharacters();
    takeOverlayDisconnect();
    takeChat();
    takeMainMenu();
}

void Application::takeBrowserRequests() {
    if (!browserShown) {
        return;
    }
    browser.update();
    std::string url;
    if (browser.takeJoinRequest(url)) {
        serverUrl = url;
        browserShown = false;
        editor.showLibrary();
        editor.setChoosingForJoin(true);
        clearKeys();
    }
    if (browser.takeCharactersRequest()) {
        browserShown = false;
        editor.showLibrary();
        editor.setChoosingForJoin(false);
        clearKeys();
    }
}

void Application::takeChosenCharacter() {
    editor.update(frameSeconds);
    Character chosen;
    if (!editor.takeChosenCharacter(chosen)) {
        return;
    }
    if (!editingInGame) {
        connect(chosen);
        return;
    }
    // A swap in a running game: the character being played is not sent
    // again. A swap that cannot go out yet leaves the library open.
    if (encodeCharacterJson(network.localCharacter) == encodeCharacterJson(chosen)) {
        editingInGame = false;
    } else if (network.swapCharacter(chosen)) {
        editingInGame = false;
    }
}

void Application::takeLeaveLibrary() {
    if (!editor.takeLeaveLibraryRequest()) {
        return;
    }
    editingInGame = false;
    if (!gameActive) {
        // After a quick join the title screen is set up the first time it
        // is needed.
        if (!browserInitialized) {
            initializeBrowser();
        }
        browserShown = true;
    }
    overlay.closeChat();
}

void Application::takeOverlayCharacters() {
    if (!overlay.charactersRequested) {
        return;
    }
    overlay.charactersRequested = false;
    if (!ready()) {
        return;
    }
    endMouseLook();
    overlay.closeChat();
    renderer.detachLocalSkin(scene);
    editingInGame = true;
    editor.showLibrary();
    editor.setChoosingForJoin(true);
}

void Application::takeOverlayDisconnect() {
    if (!overlay.disconnectRequested) {
        return;
    }
    overlay.disconnectRequested = false;
    if (!gameActive) {
        return;
    }
    endMouseLook();
    overlay.closeChat();
    fadeScene = scene;
    // The local player's box goes to the renderer's fading list and
    // shatters during the fade.
    renderer.clearPlayers(scene.localPlayerId);
    network.disconnect();
    gameActive = false;
    editingInGame = false;
    fadeTimer = kLeaveFadeSeconds;
    SDL_Log("Left the game");
}

void Application::takeChat() {
    // Every line committed since the last frame goes out, oldest first.
    std::string text;
    int32_t target = 0;
    while (overlay.takeSendRequest(text, target)) {
        network.sendChat(text, target);
    }
}

void Application::takeMainMenu() {
    if (!editor.takeMainMenuRequest()) {
        return;
    }
    network.disconnect();
    gameActive = false;
    editingInGame = false;
    browserShown = true;
    editor.showLibrary();
    editor.setChoosingForJoin(false);
    refreshTitleScreen();
}

}  // namespace vobu
