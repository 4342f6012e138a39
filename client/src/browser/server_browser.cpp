#include "browser/server_browser.h"

#include "platform/performance_clock.h"
#include "ui/canvas_view.h"
#include "ui/text_input.h"

namespace vobu {

ServerBrowser::ServerBrowser()
    : ServerBrowser([](TransportCallbacks&& callbacks) { return createSocketTransport(std::move(callbacks)); }) {}

ServerBrowser::ServerBrowser(TransportFactory makeTransport) : makeTransport_(std::move(makeTransport)) {}

void ServerBrowser::initialize(Graphics& graphicsRef, const Font& fontRef, const std::string& url,
                               const std::vector<uint8_t>& logoRgba) {
    graphics = &graphicsRef;
    font = &fontRef;
    directoryUrl = url;
    loadSavedServers();
    clearDirectory();
    directoryTransport.reset();
    directoryTransport = makeTransport_(directoryCallbacks());
    logo.loadLogoRgba(graphicsRef, logoRgba);
    refresh();
}

void ServerBrowser::update() {
    if (directoryTransport) directoryTransport->poll();
    pollSubscriptions();
    std::string text;
    int cursor = 0;
    int anchor = 0;
    if (dialogOpen && compositionText(text, cursor, anchor)) {
        addressField.applyComposition(text, cursor, anchor);
        dirty = true;
    }
}

void ServerBrowser::draw(int width, int height, const std::vector<Character>& characters, uint32_t libraryRevision) {
    if (!graphics) return;  // not initialized yet
    layout = UiLayout::forDrawable(width, height);
    graphics->beginFrame(width, height);
    if (dirty) {
        redrawCanvas();
        canvasTexture = uploadCanvas(*graphics, canvas, canvasTexture);
        dirty = false;
    }
    drawCanvas(*graphics, canvasTexture, layout, width, height);
    const double t = clock_() / 1000.0;
    parade.prepare(*graphics, characters, libraryRevision);
    parade.draw(*graphics, layout, width, height, t);
    logo.drawWavingLogo(*graphics, layout, width, height, t);
}

bool ServerBrowser::hasValidSelection() const { return list.selected >= 0 && size_t(list.selected) < rows.size(); }

void ServerBrowser::join() {
    if (hasValidSelection()) joinRequested = true;
}

bool ServerBrowser::takeJoinRequest(std::string& url) {
    if (!joinRequested) return false;
    joinRequested = false;
    if (!hasValidSelection()) return false;
    url = rows[size_t(list.selected)].url;
    closeSubscriptions();
    return true;
}

bool ServerBrowser::takeCharactersRequest() {
    if (!charactersRequested) return false;
    charactersRequested = false;
    closeSubscriptions();
    return true;
}

void ServerBrowser::openDialog() {
    dialogOpen = true;
    sequenceProgress = 0;
    addressField.setText("");
    startTextInput();
    controls.focusId.clear();
    // Nothing under the dialog may be pressed, also before the next redraw.
    controls.controls.clear();
    controls.cancelPress();
    dirty = true;
}

void ServerBrowser::closeDialog() {
    dialogOpen = false;
    dialogStatus.clear();
    stopTextInput();
    dirty = true;
}

}  // namespace vobu
