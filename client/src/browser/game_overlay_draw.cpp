// Painting the overlay: the button strip and the chat area share one canvas
// and go into two textures of their own, repainted only when something shown
// changed (Graphics then sends only the rows that differ). Every frame costs
// two textured quads.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "browser/game_overlay.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "ui/palette.h"
#include "ui/screen_quad.h"
#include "ui/text.h"

namespace vobu {

namespace {

constexpr uint32_t kButtonHeld = 0xdc000000;
constexpr uint32_t kButtonHot = 0xbe000000;
constexpr uint32_t kButtonIdle = 0x91000000;
constexpr uint32_t kLogShade = 0xa0000000;
constexpr uint32_t kLineShade = 0xaa000000;
constexpr uint32_t kWhisperShade = 0x41ff00ff;
constexpr uint32_t kSystemColor = 0xff4b6900;
constexpr uint32_t kWhisperColor = 0xffd28edc;
constexpr uint32_t kThumbColor = 0xb4ffffff;

constexpr const char* kButtonLabels[2] = {"Characters", "Disconnect"};
constexpr int kButtonStripX[2] = {0, 180};
constexpr int kButtonWidths[2] = {172, 180};

}  // namespace

void GameOverlay::draw(const Scene& scene) {
    if (graphics == nullptr || font == nullptr) return;
    if (dirty) {
        paintStrip();
        paintChat(scene);
        dirty = false;
    }
    if (width <= 0 || height <= 0) return;
    const int top = kPanelTop;
    graphics->drawTriangles(
        screenRectQuad(chatX, top, chatX + kChatTextureSize, top + kChatTextureSize, 1.0f, 1.0f, width, height),
        chatTexture, false, true, false, false, 1.0f, false);
    graphics->drawTriangles(
        screenRectQuad(buttonsX, top, buttonsX + kStripWidth, top + kStripHeight, 1.0f, 1.0f, width, height),
        stripTexture, false, true, false, false, 1.0f, false);
}

void GameOverlay::clearCanvasRegion(int w, int h) {
    canvas.resetClip();
    const size_t rowBytes = size_t(UiCanvas::kBufferSize) * 4;
    for (int row = 0; row < h; ++row) std::memset(canvas.pixels.data() + size_t(row) * rowBytes, 0, size_t(w) * 4);
}

void GameOverlay::uploadRegion(uint32_t& texture, int w, int h) {
    // Graphics sends only the rows that differ from what the texture holds.
    const size_t rowBytes = size_t(UiCanvas::kBufferSize) * 4;
    const size_t regionRow = size_t(w) * 4;
    uploadBuffer_.resize(regionRow * size_t(h));
    for (int row = 0; row < h; ++row) {
        std::memcpy(uploadBuffer_.data() + size_t(row) * regionRow, canvas.pixels.data() + size_t(row) * rowBytes,
                    regionRow);
    }
    texture = graphics->setTexture(w, h, uploadBuffer_, texture, true, false);
}

void GameOverlay::paintStrip() {
    clearCanvasRegion(kStripWidth, kStripHeight);
    for (int i = 0; i < 2; ++i) {
        const bool held = buttonPresses[i].pressed && !buttonPresses[i].cancelled;
        const bool hot = focus == i + 1 || buttonHovered(i);
        const int x = kButtonStripX[i];
        const int w = kButtonWidths[i];
        canvas.fillRect(x, 0, w, 26, held ? kButtonHeld : hot ? kButtonHot : kButtonIdle);
        const int labelX = x + (w - font->plainTextWidth(kButtonLabels[i])) / 2;
        canvas.drawPlainText(*font, kButtonLabels[i], labelX, 5, palette::kHighlightText, w);
    }
    uploadRegion(stripTexture, kStripWidth, kStripHeight);
}

void GameOverlay::paintChat(const Scene& scene) {
    clearCanvasRegion(kChatTextureSize, kChatTextureSize);
    nameRegions.clear();
    if (chatOpen) canvas.fillRect(0, 0, 360, 196, kLogShade);
    const size_t begin = visibleBegin();
    const size_t end = visibleEnd();
    for (size_t i = begin; i < end; ++i) paintLogLine(scene, logLines[i], 8 + kLineHeight * int(i - begin));
    paintThumb();
    paintChatLine();
    canvas.resetClip();
    uploadRegion(chatTexture, kChatTextureSize, kChatTextureSize);
}

void GameOverlay::paintLogLine(const Scene& scene, const ChatLogLine& line, int y) {
    if (line.entry >= scene.chat.size()) {
        // The Scene moved on since the last rebuild: show the words alone.
        canvas.drawPlainText(*font, line.text, 8, y, palette::kBodyText, kWrapWidth);
        return;
    }
    const ChatEntry& entry = scene.chat[line.entry];
    const bool mine = entry.from == scene.localPlayerId;
    if (whisperTarget != 0 && (entry.from == whisperTarget || (mine && entry.to == whisperTarget))) {
        canvas.fillRect(0, y, 360, kLineHeight, kWhisperShade);
    }
    canvas.clip = ClipRect{8, y, kWrapWidth, 16};
    const uint32_t prefixColor = entry.system ? kSystemColor : entry.to != 0 ? kWhisperColor : palette::kHighlightText;
    drawText(canvas, *font, line.prefix, 8, y, prefixColor, false);
    const uint32_t textColor = entry.system ? kSystemColor : palette::kBodyText;
    drawText(canvas, *font, line.text, 8 + line.prefixWidth, y, textColor, entry.formatted);
    canvas.resetClip();
    if (line.prefix.empty()) return;
    const bool toTarget = mine && entry.to != 0;
    nameRegions.push_back(NameRegion{8, y, line.prefixWidth, kLineHeight, toTarget ? entry.to : entry.from,
                                     toTarget ? entry.toName : entry.name});
}

void GameOverlay::paintThumb() {
    if (!thumbShown()) return;
    const int lines = int(logLines.size());
    const int h = std::max(12, 1800 / lines);
    const int y = 8 + (lines - kVisibleLines - scroll) * (180 - h) / (lines - kVisibleLines);
    canvas.fillRect(355, y, 3, h, kThumbColor);
}

void GameOverlay::paintWhisperPrefix(int y) {
    drawText(canvas, *font, "To " + fitText(*font, whisperName, 224) + ": ", 8, y, kWhisperColor, false);
}

void GameOverlay::paintChatLine() {
    const int pw = whisperPrefixWidth();
    const std::string& text = chatField.text;
    const int textX = pw + 8 - hScroll;
    if (!chatOpen) {
        canvas.clip = ClipRect{8, 208, 344, 19};
        if (whisperTarget != 0) paintWhisperPrefix(209);
        if (!text.empty()) {
            drawText(canvas, *font, text, textX, 209, palette::kHighlightText, false);
        } else if (whisperTarget == 0) {
            canvas.drawPlainText(*font, "Click or press / to chat.", 8, 209, palette::kBodyText, 344);
        }
        canvas.resetClip();
        return;
    }
    canvas.fillRect(0, 204, 360, 26, kLineShade);
    if (whisperTarget != 0) {
        canvas.clip = ClipRect{8, 209, kWrapWidth, 17};
        paintWhisperPrefix(209);
    }
    canvas.clip = ClipRect{pw + 8, 208, kWrapWidth - pw, 19};
    auto widthTo = [&](int index) { return textWidth(*font, utf8Prefix(text, index), false); };
    if (chatField.hasSelection()) {
        const int lo = widthTo(std::min(chatField.cursor, chatField.anchor));
        const int hi = widthTo(std::max(chatField.cursor, chatField.anchor));
        canvas.fillRect(pw + 8 + lo - hScroll, 208, std::max(1, hi - lo), 19, kWhisperShade);
    }
    drawText(canvas, *font, text, textX, 209, palette::kHighlightText, false);
    if (typing && int64_t(std::floor(2.0 * blinkTime)) % 2 == 0) {
        const int x = pw + 8 + widthTo(chatField.cursor) - hScroll;
        canvas.drawLine(x, 208, x, 226, palette::kHighlightText);
    }
    canvas.resetClip();
}

}  // namespace vobu
