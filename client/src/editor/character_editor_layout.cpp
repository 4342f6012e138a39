// The canvas of each screen: the library screen, the editor screen and the
// join overlay, with the controls registered in their Tab order.

#include <algorithm>
#include <cmath>

#include "editor/character_editor.h"
#include "ui/palette.h"
#include "ui/text.h"

namespace vobu {

namespace {

constexpr int kCanvasWidth = UiCanvas::kVisibleWidth;

// Status lines of the library sit in the list's column, between the title
// and the list, so the player sees why the list may be incomplete.
constexpr int kStatusX = 24;
constexpr int kStatusY = 40;
constexpr int kStatusWidth = 260;
constexpr int kStatusLineHeight = 18;
constexpr int kStatusMaxLines = 3;

// The disconnect reason comes from the server: a few lines at most, so
// that it never runs over the button below it.
constexpr int kReasonMaxLines = 4;

// The code points of a text that fit whole into a width, measured and drawn
// as the field measures and draws them while it edits (combining marks over
// their letter), so that the text does not shift when editing starts.
void drawTextWithin(UiCanvas& canvas, const Font& font, const std::string& text, int x, int y, uint32_t color,
                    int maxWidth) {
    const std::vector<int> offsets = caretOffsets(font, text);
    int fitting = 0;
    while (fitting + 1 < int(offsets.size()) && offsets[size_t(fitting) + 1] <= maxWidth) ++fitting;
    drawText(canvas, font, utf8Prefix(text, fitting), x, y, color, false);
}

const char* const kFaceLabels[kFaceCount] = {"Front", "Back", "Left", "Right", "Top", "Bottom"};

}  // namespace

void CharacterEditor::buildUi() {
    canvas.resetClip();
    canvas.clear();
    controls.controls.clear();
    controls.pointerX = pointerX;
    controls.pointerY = pointerY;
    canvas.fillRect(0, 0, kCanvasWidth, UiCanvas::kVisibleHeight, palette::kScreenBackground);
    if (joinOverlayShown) {
        buildJoinOverlay();
        return;
    }
    if (!disconnected) {
        canvas.drawPlainText(font, libraryShown ? "Characters" : "Editor", 24, 16, palette::kHighlightText,
                             kCanvasWidth);
        const IntRect view = viewRect();
        canvas.fillRect(view.x, view.y, view.w, view.h, 0);
    }
    if (libraryShown) {
        buildLibraryUi();
    } else {
        buildEditorUi();
    }
}

void CharacterEditor::buildLibraryUi() {
    const int count = int(library.characters.size());
    list.setLayout(kListRect.x, kListRect.y, kListRect.w, kListRect.h, count, 36);
    list.select(selectedIndex);
    std::vector<std::string> names;
    names.reserve(library.characters.size());
    for (const Character& saved : library.characters) names.push_back(saved.name);
    list.drawStrings(canvas, font, names);

    const std::string& status = libraryStatus();
    if (!status.empty()) {
        std::vector<std::string> lines = wrapText(font, status, kStatusWidth, kStatusWidth, false);
        for (int i = 0; i < int(lines.size()) && i < kStatusMaxLines; ++i) {
            canvas.drawPlainText(font, lines[size_t(i)], kStatusX, kStatusY + kStatusLineHeight * i,
                                 palette::kHighlightText, kStatusWidth);
        }
    }

    const bool selected = selectedIndex >= 0;
    controls.add(canvas, "library.list", 24, 94, 242, 386, nullptr, true);
    addButton(
        24, 492, 260, 32, "library.resume", "Back", [this] { leaveLibraryRequested = true; }, false, true);
    addButton(
        24, 536, 124, 32, "library.new", newFullFlash > 0 ? "Full!" : "New", [this] { addCharacter(false); }, false,
        true);
    addButton(
        160, 536, 124, 32, "library.edit", "Edit", [this] { openEditor(); }, false, selected);
    addButton(
        24, 580, 124, 32, "library.duplicate", duplicateFullFlash > 0 ? "Full!" : "Duplicate",
        [this] { addCharacter(true); }, false, selected);
    addButton(
        160, 580, 124, 32, "library.delete", deleteArmed ? "Confirm?" : "Delete", [this] { deleteCharacter(); }, false,
        selected);
    if (choosingCharacter) {
        addButton(
            24, 624, 260, 32, "library.join", "Use", [this] { characterChosen = true; }, false, selected);
    }
}

void CharacterEditor::buildEditorUi() {
    const IntRect view = kEditorView;
    controls.add(canvas, "editor.preview", view.x, view.y, view.w, view.h, nullptr, true);
    const bool faceView = viewMode == 1;
    if (faceView) {
        for (int i = 0; i < kFaceCount; ++i) {
            addButton(
                24 + 118 * i, 580, 106, 32, "face." + std::to_string(i), kFaceLabels[i], [this, i] { focusFace(i); },
                i == face && !animating(), true);
        }
    }
    canvas.drawPlainText(font, "Name", 754, 57, palette::kBodyText, kCanvasWidth);
    drawTextField(754, 80, 242, 28, character.name, textEditing && fieldTarget == 0);
    controls.add(canvas, "editor.name", 754, 80, 242, 28, nullptr, true);
    if (faceView) drawPaintUi();
    addButton(
        24, 624, 124, 32, "editor.back", discardFlash > 0 ? "Discard?" : "Back", [this] { leaveEditor(); }, false,
        true);
    addButton(
        160, 624, 124, 32, "editor.save", savedFlash > 0 ? "Saved!" : "Save", [this] { saveCharacter(); }, false, true);
}

void CharacterEditor::buildJoinOverlay() {
    const int statusWidth = font.plainTextWidth(joinStatus);
    canvas.drawPlainText(font, joinStatus, (kCanvasWidth - statusWidth) / 2, 274, palette::kBodyText, kCanvasWidth);
    if (!disconnected && joinStatus == "Downloading assets") {
        canvas.fillRect(330, 306, 360, 18, palette::kFieldBackground);
        canvas.drawBevelFrame(330, 306, 360, 18, true, 2);
        // A progress that is not a number draws as none.
        const float progress = std::isnan(joinProgress) ? 0.0f : std::clamp(joinProgress, 0.0f, 1.0f);
        canvas.fillRect(332, 308, int(progress * 356), 14, palette::kBodyText);
    }
    if (disconnected && !disconnectReason.empty()) {
        const std::string text = "Server says: \"" + disconnectReason + "\"";
        std::vector<std::string> lines = wrapText(font, text, 720, 720, false);
        for (int i = 0; i < int(lines.size()) && i < kReasonMaxLines; ++i) {
            const std::string& line = lines[size_t(i)];
            canvas.drawPlainText(font, line, (kCanvasWidth - font.plainTextWidth(line)) / 2, 298 + 18 * i,
                                 palette::kBodyText, kCanvasWidth);
        }
    }
    addButton(
        420, 370, 180, 32, "join.cancel", disconnected ? "Main menu" : "Cancel", [this] { mainMenuRequested = true; },
        false, true);
}

void CharacterEditor::addButton(int x, int y, int w, int h, const std::string& id, const std::string& label,
                                std::function<void()> action, bool selected, bool enabled) {
    controls.addButton(canvas, font, id, x, y, w, h, label, std::move(action), selected, enabled);
}

void CharacterEditor::drawTextField(int x, int y, int w, int h, const std::string& text, bool active) {
    canvas.fillRect(x, y, w, h, palette::kFieldBackground);
    canvas.drawBevelFrame(x, y, w, h, true, 2);
    canvas.clip = ClipRect{x + 6, y + 4, w - 12, h - 8};
    const int textX = x + 8;
    if (active) {
        const TextFieldLook look{
            .textX = textX,
            .textY = y + 6,
            .selectionY = y + 4,
            .selectionHeight = h - 8,
            .caretTop = y + 5,
            .caretBottom = y + h - 6,
            .textColor = palette::kBodyText,
            .selectionColor = palette::kFieldSelection,
            .caretColor = palette::kHighlightText,
        };
        fieldController.paint(canvas, font, field, look, fieldController.caretShown());
    } else {
        drawTextWithin(canvas, font, text, textX, y + 6, palette::kBodyText, w - 18);
    }
    canvas.resetClip();
}

}  // namespace vobu
