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
    selecting = false;
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
    hScroll = 0;
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
    hScroll = 0;
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
    hScroll = 0;
    restartTextInput();
    dirty = true;
}

int GameOverlay::whisperPrefixWidth() const {
    if (whisperTarget == 0 || font == nullptr) return 0;
    return textWidth(*font, fitText(*font, whisperName, 224), false) + 40;
}

int GameOverlay::caretFromX(int px) const {
    if (font == nullptr) return 0;
    const int target = px - 8 - whisperPrefixWidth() + hScroll;
    const std::vector<size_t> offsets = utf8CharOffsets(chatField.text);
    const int length = int(offsets.size()) - 1;
    // The line is clean UTF-8, so the width of a head is the sum of the
    // widths of its code points: one pass, also while a selection is dragged.
    int previous = 0;
    for (int i = 0; i < length; ++i) {
        const int w =
            previous + textWidth(*font, chatField.text.substr(offsets[i], offsets[i + 1] - offsets[i]), false);
        // The caret goes before the code point whose middle lies past the point.
        if (previous + w > 2 * target) return i;
        previous = w;
    }
    return length;
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
    const int cw = textWidth(*font, utf8Prefix(chatField.text, chatField.cursor), false);
    const int pw = whisperPrefixWidth();
    const int before = hScroll;
    if (cw < hScroll) hScroll = cw;
    if (cw - hScroll > kWrapWidth - pw) hScroll = cw + pw - kWrapWidth;
    if (hScroll != before) dirty = true;
    const double previousStep = std::floor(2.0 * blinkTime);
    blinkTime += dt;
    if (std::floor(2.0 * blinkTime) != previousStep) dirty = true;
}

int GameOverlay::maxScroll() const { return std::max(0, int(logLines.size()) - kVisibleLines); }

size_t GameOverlay::visibleEnd() const { return size_t(std::max(0, int(logLines.size()) - scroll)); }

size_t GameOverlay::visibleBegin() const { return size_t(std::max(0, int(visibleEnd()) - kVisibleLines)); }

}  // namespace vobu
