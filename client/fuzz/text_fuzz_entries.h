#pragma once
// Entry point shared by the text fuzz target and by the regression test that
// replays its corpus (and a mutation loop) in the ordinary build. Untrusted
// text (chat, server titles, signs, pasted text) goes through every text
// function of the toolkit; the function returns false when something that
// must hold broke.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/font.h"
#include "ui/label_sprite.h"
#include "ui/text.h"
#include "ui/text_field.h"
#include "ui/text_field_controller.h"
#include "ui/ui_canvas.h"

namespace vobu::fuzz {

// Printable ASCII 8 wide, a wide CJK glyph, a combining mark and U+FFFD.
inline const Font& textFuzzFont() {
    static const Font font = [] {
        std::vector<Glyph> glyphs;
        auto add = [&](uint32_t cp, int width) {
            Glyph g;
            g.codePoint = cp;
            g.width = uint8_t(width);
            for (size_t i = 0; i < g.bitmap.size(); ++i) g.bitmap[i] = uint8_t(cp * 7 + i * 13) | 1;
            glyphs.push_back(g);
        };
        for (uint32_t cp = 0x20; cp < 0x7F; ++cp) add(cp, 8);
        add(0x301, 8);
        add(0x4E00, 16);
        add(0xFFFD, 8);
        Font f;
        f.load(encodeUnifontGlyphs(glyphs));
        return f;
    }();
    return font;
}

// The bytes of the text with every wrap-space unit taken out, walking the
// units of each piece on its own (the pieces are cut at unit boundaries).
inline std::string withoutWrapSpaces(const std::string& text) {
    std::string out;
    for (size_t pos = 0; pos < text.size();) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        if (!isWrapSpace(unit.codePoint)) out.append(text, pos, unit.length);
        pos += unit.length;
    }
    return out;
}

inline bool decodingHolds(const std::string& text) {
    size_t total = 0;
    for (size_t pos = 0; pos < text.size();) {
        Utf8Unit unit = decodeUtf8At(text, pos);
        if (unit.length == 0 || pos + unit.length > text.size() || unit.codePoint > 0x10FFFF) return false;
        if (unit.valid) {
            std::string again;
            appendUtf8(again, unit.codePoint);
            if (again != text.substr(pos, unit.length)) return false;
        } else if (unit.codePoint != 0xFFFD) {
            return false;
        }
        pos += unit.length;
        total += unit.length;
    }
    return total == text.size();
}

inline bool sanitizeHolds(const std::string& text, int limit) {
    std::string clean = sanitizeUtf8(text, limit);
    if (utf8Length(clean) > std::max(limit, 0)) return false;
    if (sanitizeUtf8(clean, 1 << 20) != clean) return false;  // nothing left to drop
    for (size_t pos = 0; pos < clean.size();) {
        Utf8Unit unit = decodeUtf8At(clean, pos);
        if (!unit.valid || unit.codePoint < 32 || unit.codePoint == 127) return false;
        pos += unit.length;
    }
    return true;
}

inline bool colorCodesHold(const std::string& text) {
    ColorCodedText parsed = parseColorCodes(text);
    if (parsed.codes.size() != parsed.plain.size()) return false;
    for (const std::string& code : parsed.codes) {
        if (code != "^r" && (code.size() != 8 || code.compare(0, 2, "^#") != 0)) return false;
    }
    ColorCodedText again = parseColorCodes(encodeColorCodes(parsed, 0, parsed.plain.size()));
    return again.plain == parsed.plain && again.codes == parsed.codes;
}

inline bool wrapHolds(const Font& font, const std::string& text, int maxWidth, int firstWidth) {
    std::vector<std::string> lines = wrapText(font, text, maxWidth, firstWidth, false);
    if (lines.empty()) return false;
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        joined += withoutWrapSpaces(lines[i]);
        int avail = i == 0 ? std::max(firstWidth, 1) : std::max(maxWidth, 1);
        std::vector<uint32_t> cps = decodeUtf8(lines[i]);
        int bases = int(std::count_if(cps.begin(), cps.end(), [](uint32_t cp) { return !isCombiningMark(cp); }));
        // Only a line holding a single glyph may be wider than its room.
        if (textWidth(font, lines[i], false) > avail && bases > 1) return false;
    }
    if (joined != withoutWrapSpaces(text)) return false;

    ColorCodedText parsed = parseColorCodes(text);
    for (const std::string& line : wrapText(font, text, maxWidth, firstWidth, true)) {
        if (parsed.plain.find(parseColorCodes(line).plain) == std::string::npos) return false;
    }
    return true;
}

inline bool fitHolds(const Font& font, const std::string& text, int maxWidth) {
    std::string fitted = fitText(font, text, maxWidth);
    if (fitted == text) return textWidth(font, text, false) <= maxWidth;
    if (fitted.size() < 3 || fitted.compare(fitted.size() - 3, 3, "...") != 0) return false;
    if (text.compare(0, fitted.size() - 3, fitted, 0, fitted.size() - 3) != 0) return false;
    return maxWidth <= 23 ? fitted == "..." : textWidth(font, fitted, false) <= maxWidth;
}

inline bool textFieldHolds(const std::string& text, const uint8_t* ops, size_t count) {
    TextField field(int(ops[0] % 40));
    field.setText(text);
    for (size_t i = 1; i < count; ++i) {
        uint8_t op = ops[i];
        bool flag = op & 0x80;
        switch (op % 12) {
            case 0:
                field.replaceSelection(text.substr(i % (text.size() + 1), op % 7));
                break;
            case 1:
                field.moveCursor((op & 1) ? 1 : -1, flag, op & 2);
                break;
            case 2:
                field.deleteChar(flag, op & 2);
                break;
            case 3:
                field.undo();
                break;
            case 4:
                field.redo();
                break;
            case 5:
                field.selectWordAt(int(op % 50) - 5);
                break;
            case 6:
                field.setCursor(int(op % 50) - 5, flag);
                break;
            case 7:
                field.moveToEdge(flag, op & 2);
                break;
            case 8:
                field.selectAll();
                break;
            case 9:
                field.replaceRange(int(op % 9) - 2, int(op % 13), text);
                break;
            case 10:
                field.applyComposition(text, int(op % 30) - 3, int(op % 17) - 3);
                break;
            default:
                field.wordBoundary(int(op % 40) - 3, flag ? -1 : 1);
                break;
        }
        int length = field.length();
        if (field.cursor < 0 || field.cursor > length || field.anchor < 0 || field.anchor > length) return false;
        if (length > field.maxLength) return false;
        if (sanitizeUtf8(field.text, field.maxLength) != field.text) return false;
        if (field.undoStack.size() > TextField::kMaxUndo) return false;
    }
    return true;
}

// The field controller with the untrusted text on its clipboard: keys,
// pastes, presses, drags and auto-scroll in any order, then the painting.
inline bool fieldControllerHolds(const Font& font, const std::string& text, const uint8_t* ops, size_t count) {
    static constexpr SDL_Keycode kKeys[] = {SDLK_LEFT, SDLK_RIGHT, SDLK_HOME, SDLK_END, SDLK_BACKSPACE, SDLK_DELETE,
                                            SDLK_a,    SDLK_c,     SDLK_x,    SDLK_v,   SDLK_z,         SDLK_y};
    std::string clipboard = text;
    TextFieldController controller;
    controller.clipboard = TextClipboardCalls{[&](const std::string& put) {
                                                  clipboard = put;
                                                  return true;
                                              },
                                              [&](std::string& taken) {
                                                  taken = clipboard;
                                                  return !taken.empty();
                                              }};
    controller.textX = 40;
    controller.visibleWidth = int(ops[0] % 120) + 1;
    TextField field(int(ops[0] % 300));
    field.setText(text);
    for (size_t i = 1; i < count; ++i) {
        const uint8_t op = ops[i];
        const int x = int(op) * 3 - 200;
        switch (op % 5) {
            case 0:
            case 1: {
                const uint16_t mods = uint16_t(((op & 0x20) ? KMOD_LCTRL : 0) | ((op & 0x40) ? KMOD_LSHIFT : 0));
                controller.editKey(field, kKeys[(op >> 1) % std::size(kKeys)], mods);
                break;
            }
            case 2:
                controller.press(field, font, x, controller.countClick(x, uint32_t(i) * 100, op & 0x80), op & 0x80);
                break;
            case 3:
                controller.drag(field, font, x);
                break;
            default:
                controller.autoScroll(field, font, x, double(op) / 100.0);
                break;
        }
        controller.scrollToCaret(field, font);
        const int length = field.length();
        if (field.cursor < 0 || field.cursor > length || field.anchor < 0 || field.anchor > length) return false;
        if (length > field.maxLength || sanitizeUtf8(field.text, field.maxLength) != field.text) return false;
        const int index = controller.indexAt(field, font, x);
        if (index < 0 || index > length) return false;
        if (controller.scroll < 0 || controller.scroll > textWidth(font, field.text, false)) return false;
        // Whatever happened, the caret is brought back into view.
        const int caret = textWidth(font, utf8Prefix(field.text, field.cursor), false) - controller.scroll;
        if (caret < 0 || caret > controller.visibleWidth) return false;
    }
    UiCanvas canvas;
    canvas.clip = {36, 10, controller.visibleWidth + 8, 24};
    const TextFieldLook look{.textX = 40,
                             .textY = 12,
                             .selectionY = 11,
                             .selectionHeight = 18,
                             .minSelectionWidth = 1,
                             .caretTop = 11,
                             .caretBottom = 28,
                             .textColor = 0xffffffff,
                             .selectionColor = 0xff808080,
                             .caretColor = 0xff00ff00};
    controller.paint(canvas, font, field, look, true);
    return true;
}

inline bool textFunctionsHold(const uint8_t* data, size_t size) {
    if (size < 3) return true;
    const Font& font = textFuzzFont();
    // Two control bytes, then the text; the field operations read the text's bytes too.
    int maxWidth = int(data[0]) - 16;
    int firstWidth = int(data[1]) - 16;
    std::string const text(reinterpret_cast<const char*>(data + 2), size - 2);

    if (!decodingHolds(text)) return false;
    if (!sanitizeHolds(text, int(data[0] % 64) - 2)) return false;
    if (!colorCodesHold(text)) return false;
    if (!wrapHolds(font, text, maxWidth, firstWidth)) return false;
    if (!fitHolds(font, text, maxWidth)) return false;
    if (textWidth(font, text, true) > textWidth(font, text, false)) return false;

    UiCanvas canvas;
    canvas.clip = {int(data[0]) * 3, int(data[1]) * 2, 400, 60};
    drawText(canvas, font, text, maxWidth * 4, firstWidth * 2, 0xffffffff, data[0] & 1);
    canvas.drawPlainText(font, text, maxWidth * 4, 650, 0xffffffff, firstWidth * 4);

    LabelSprite sprite = renderLabelLines(font, wrapText(font, text, 200, 200, true), std::nullopt, true);
    bool power = (sprite.textureWidth & (sprite.textureWidth - 1)) == 0 &&
                 (sprite.textureHeight & (sprite.textureHeight - 1)) == 0;
    if (!power || sprite.pixels.size() != size_t(sprite.textureWidth) * sprite.textureHeight * 4) return false;
    if (sprite.contentWidth > sprite.textureWidth || sprite.contentHeight > sprite.textureHeight) return false;

    if (!textFieldHolds(text, data + 2, std::min<size_t>(size - 2, 64))) return false;
    return fieldControllerHolds(font, text, data + 2, std::min<size_t>(size - 2, 64));
}

}  // namespace vobu::fuzz
