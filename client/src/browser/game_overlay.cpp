// The overlay's state: layout, opening and closing the chat line, the whisper
// target, the history, the send queue and the per-frame update.

#include "browser/game_overlay.h"

#include <algorithm>
#include <cmath>

#include "ui/font.h"
#include "ui/text.h"
#include "ui/text_input.h"

namespace vobu {

void GameOverlay::setLayout(int newButtonsX, int newChatX, int newWidth, int newHeight) {
    // The areas paint the same wherever they sit; only the hover may change.
    const PointerView before = pointerView();
    buttonsX = newButtonsX;
    chatX = newChatX;
    width = newWidth;
    height = newHeight;
    if (!(pointerView() == before)) dirty = true;
}

void GameOverlay::openChat() {
    if (!typing) {
        heldKeys.clear();
        int count = 0;
        const uint8_t* state = keyboardState(&count);
        int limit = std::min(count, 512);
        for (int scancode = 0; state != nullptr && scancode < limit; ++scancode) {
            if (state[scancode]) heldKeys.insert(scancode);
        }
    }
    chatOpen = true;
    typing = true;
    startTextInput();
    dirty = true;
}

void GameOverlay::closeChat() {
    if (typing) stopTextInput();
    focus = -1;
    chatOpen = false;
    typing = false;
    chatController.endDrag();
    scrollDragging = false;
    dropButtonPresses();
    dirty = true;
}

void GameOverlay::dropButtonPresses() {
    for (ButtonPress& press : buttonPresses) {
        press.pressed = false;
        press.cancelled = true;
    }
}

void GameOverlay::reset() {
    closeChat();
    chatField.setText("");
    history.clear();
    historyPos = 0;
    pendingLine.clear();
    whisperTarget = 0;
    whisperName.clear();
    charactersRequested = false;
    disconnectRequested = false;
    sendRequested = false;
    // Lines not yet taken belong to the game that ends here.
    outgoing.clear();
    scroll = 0;
    chatController.scroll = 0;
    seenChatRevision = -1;
    logLines.clear();
    nameRegions.clear();
    wrapped_.clear();
    unwrapped_ = 0;
}

void GameOverlay::toggleWhisper(int32_t id, const std::string& name) {
    if (id == whisperTarget) {
        whisperTarget = 0;
        whisperName.clear();
    } else {
        whisperTarget = id;
        whisperName = name;
    }
    openChat();
}

bool GameOverlay::takeSendRequest(std::string& text, int32_t& target) {
    if (outgoing.empty()) {
        sendRequested = false;
        return false;
    }
    text = std::move(outgoing.front().text);
    target = outgoing.front().target;
    outgoing.pop_front();
    sendRequested = !outgoing.empty();
    if (sendRequested) {
        outgoingText = outgoing.front().text;
        outgoingTarget = outgoing.front().target;
    } else {
        outgoingText = text;
        outgoingTarget = target;
    }
    return true;
}

void GameOverlay::sendLine() {
    const std::string line = chatField.text;
    if (history.empty() || history.back() != line) history.push_back(line);
    pendingLine.clear();
    historyPos = history.size();
    // A frame that took the line through the flags alone cleared
    // sendRequested without draining the queue: what waits was sent.
    if (!sendRequested) outgoing.clear();
    outgoing.push_back(OutgoingChat{line, whisperTarget});
    outgoingText = outgoing.front().text;
    outgoingTarget = outgoing.front().target;
    sendRequested = true;
    chatField.setText("");
    restartTextInput();
    scroll = 0;
    chatController.scroll = 0;
}

void GameOverlay::restartTextInput() {
    stopTextInput();
    startTextInput();
}

void GameOverlay::browseHistory(int direction) {
    const size_t n = history.size();
    if (n == 0) return;
    if (direction > 0) {
        if (historyPos >= n) return;
        ++historyPos;
        chatField.setText(historyPos == n ? pendingLine : history[historyPos]);
    } else {
        if (historyPos == 0) return;
        if (historyPos == n) pendingLine = chatField.text;
        --historyPos;
        chatField.setText(history[historyPos]);
    }
    chatController.scroll = 0;
    restartTextInput();
    dirty = true;
}

int GameOverlay::whisperPrefixWidth() const {
    if (whisperTarget == 0 || font == nullptr) return 0;
    return textWidth(*font, fitText(*font, whisperName, 224), false) + 40;
}

void GameOverlay::aimChatLine() {
    const int pw = whisperPrefixWidth();
    chatController.textX = 8 + pw;
    chatController.visibleWidth = kWrapWidth - pw;
}

int GameOverlay::caretFromX(int px) {
    if (font == nullptr) return 0;
    aimChatLine();
    return chatController.indexAt(chatField, *font, px);
}

void GameOverlay::update(double dt, const Scene& scene) {
    if (whisperTarget != 0) {
        auto found = scene.characters.find(whisperTarget);
        if (found != scene.characters.end() && found->second.name != whisperName) {
            whisperName = found->second.name;
            dirty = true;
        }
    }
    if (!logMatches(scene)) rebuildChatLog(scene);
    catchUpChatLog(scene);
    if (!typing || font == nullptr) return;
    aimChatLine();
    if (chatController.scrollToCaret(chatField, *font)) dirty = true;
    if (chatController.stepBlink(dt)) dirty = true;
}

int GameOverlay::maxScroll() const { return std::max(0, int(logLines.size()) - kVisibleLines); }

size_t GameOverlay::visibleEnd() const { return size_t(std::max(0, int(logLines.size()) - scroll)); }

size_t GameOverlay::visibleBegin() const { return size_t(std::max(0, int(visibleEnd()) - kVisibleLines)); }

}  // namespace vobu
