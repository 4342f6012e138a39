#include "app/stand_in_screen.h"

#include <algorithm>

#include "app/asset_package.h"
#include "ui/canvas_view.h"
#include "ui/palette.h"
#include "ui/text.h"
#include "ui/ui_layout.h"

namespace vobu {

namespace {

uint32_t readLittleEndian32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

}  // namespace

void StandInScreen::initialize() {
    font_.load(loadPackagedAsset("unifont.bin"));
    logo_ = loadPackagedAsset("logo.rgba");
    dirty_ = true;
}

void StandInScreen::blitLogo() {
    if (logo_.size() < 8) {
        return;
    }
    const uint32_t w = readLittleEndian32(logo_, 0);
    const uint32_t h = readLittleEndian32(logo_, 4);
    if (w < 1 || w > 2048 || h < 1 || h > 1024 || (logo_.size() - 8) / 4 / w < h) {
        return;
    }
    const int left = (UiCanvas::kVisibleWidth - int(w)) / 2;
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = &logo_[8 + (size_t(y) * w + x) * 4];
            if (p[3] != 0) {
                canvas_.setPixel(left + int(x), 24 + int(y),
                                 uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
            }
        }
    }
}

void StandInScreen::paint() {
    canvas_.clear();
    canvas_.fillRect(0, 0, UiCanvas::kVisibleWidth, UiCanvas::kVisibleHeight, 0xff1a0f24);
    canvas_.drawBevelFrame(0, 0, UiCanvas::kVisibleWidth, UiCanvas::kVisibleHeight, false, 2);
    blitLogo();
    const int left = 120;
    int y = 200;
    auto line = [&](const std::string& text, uint32_t color) {
        drawText(canvas_, font_, text, left, y, color, true);
        y += 24;
    };
    line("VobuGame: the toolkit at work", palette::kHighlightText);
    line("Unifont glyphs, 8 and 16 pixels wide, 16 pixels high", palette::kBodyText);
    line("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE4\xB8\xAD\xE6\x96\x87 \xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4",
         0xffffffff);
    line("Combining marks: e\xCC\x81 a\xCC\x88 n\xCC\x83 (no width of their own)", palette::kBodyText);
    line("^#ff8040Colour ^#40ff80codes ^#4080ffwork^r, and ^^ is a caret", palette::kBodyText);
    canvas_.drawButton(font_, left, y + 16, 160, 28, "A button", false, true, false);
    canvas_.drawButton(font_, left + 176, y + 16, 160, 28, "Pressed", true, true, false);
    canvas_.drawButton(font_, left + 352, y + 16, 160, 28, "Disabled", false, false, false);
    if (joinShown_) {
        y += 80;
        line("Join: " + status_ + (progress_ > 0 ? " " + std::to_string(int(progress_ * 100)) + "%" : ""),
             palette::kHighlightText);
        if (!disconnected_.empty()) {
            line("Disconnected: " + disconnected_ + "  (Return joins again)", palette::kBodyText);
        }
    }
}

void StandInScreen::beginJoin() {
    joinShown_ = true;
    disconnected_.clear();
    dirty_ = true;
}

void StandInScreen::setJoinStatus(const std::string& text, float progress) {
    if (text == status_ && progress == progress_) {
        return;
    }
    status_ = text;
    progress_ = progress;
    dirty_ = true;
}

void StandInScreen::onDisconnected(const std::string& reason) {
    disconnected_ = reason;
    dirty_ = true;
}

void StandInScreen::draw(Graphics& graphics, int width, int height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    if (dirty_) {
        paint();
        texture_ = uploadCanvas(graphics, canvas_, texture_);
        dirty_ = false;
    }
    drawCanvas(graphics, texture_, UiLayout::forDrawable(width, height), width, height);
}

}  // namespace vobu
