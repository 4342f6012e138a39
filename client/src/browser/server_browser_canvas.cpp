// The title screen's canvas: the list, the buttons and the dialog.

#include "browser/server_browser.h"
#include "ui/palette.h"
#include "ui/text.h"

namespace vobu {

namespace {

constexpr int kButtonsY = 624;
constexpr int kButtonHeight = 32;

}  // namespace

void ServerBrowser::redrawCanvas() {
    canvas.clear();
    canvas.fillRect(0, 0, UiCanvas::kVisibleWidth, UiCanvas::kVisibleHeight, palette::kScreenBackground);
    std::vector<ListItem> items;
    items.reserve(rows.size());
    for (const ServerEntry& row : rows) items.push_back(ListItem{row.title, row.motd, true});
    list.draw(canvas, *font, items);
    controls.pointerX = mouseX;
    controls.pointerY = mouseY;
    controls.controls.clear();
    registerControls();
    if (dialogOpen) {
        controls.controls.clear();
        drawDialog();
    }
}

void ServerBrowser::registerControls() {
    // The list takes the keyboard focus only; its ring is the focus frame
    // just inside the list.
    controls.add(canvas, "servers.list", 24, 188, 954, 424, nullptr, !rows.empty());
    controls.addButton(
        canvas, *font, "servers.join", 816, kButtonsY, 180, kButtonHeight, "Join", [this] { joinRequested = true; },
        false, hasValidSelection());
    controls.addButton(
        canvas, *font, "servers.refresh", 24, kButtonsY, 180, kButtonHeight, "Refresh", [this] { refresh(); }, false,
        true);
    controls.addButton(
        canvas, *font, "servers.characters", 216, kButtonsY, 180, kButtonHeight, "Characters",
        [this] { charactersRequested = true; }, false, true);
    if (hasValidSelection() && isSaved(rows[size_t(list.selected)].url)) {
        controls.addButton(
            canvas, *font, "servers.delete", 408, kButtonsY, 180, kButtonHeight, "Delete",
            [this] { deleteSelectedServer(); }, false, true);
    }
    drawStatusBesideButtons();
}

// In the gap between "Delete" and "Join": why the list was not changed,
// then why the directory cannot be asked, each wrapped to the gap, the
// lines centred on the buttons' row. Three lines still clear the list above.
void ServerBrowser::drawStatusBesideButtons() {
    constexpr int kX = 600;
    constexpr int kWidth = 204;
    constexpr int kLineHeight = 16;
    std::vector<std::string> lines;
    for (const std::string* status : {&savedServersStatus, &directoryStatus}) {
        if (status->empty()) continue;
        for (std::string& line : wrapText(*font, *status, kWidth, kWidth, false)) lines.push_back(std::move(line));
    }
    const int top = kButtonsY + (kButtonHeight - kLineHeight * int(lines.size())) / 2;
    for (size_t i = 0; i < lines.size(); ++i) {
        canvas.drawPlainText(*font, lines[i], kX, top + kLineHeight * int(i), palette::kHighlightText, kWidth);
    }
}

void ServerBrowser::drawDialog() {
    canvas.fillRect(240, 250, 540, 160, palette::kScreenBackground);
    canvas.drawBevelFrame(240, 250, 540, 160, false, 2);
    drawText(canvas, *font, "Server address", 256, 270, palette::kHighlightText, false);

    canvas.fillRect(256, 294, 508, 28, palette::kFieldBackground);
    canvas.drawBevelFrame(256, 294, 508, 28, true, 2);
    canvas.clip = ClipRect{260, 297, 500, 22};
    // No scroll is kept: a caret past the visible width sits at its right
    // end, wherever it came from.
    addressController.scroll = 0;
    addressController.scrollToCaret(addressField, *font);
    const TextFieldLook look{
        .textX = kAddressTextX,
        .textY = 300,
        .selectionY = 298,
        .selectionHeight = 20,
        .caretTop = 299,
        .caretBottom = 316,
        .textColor = palette::kHighlightText,
        .selectionColor = palette::kFieldSelection,
        .caretColor = palette::kHighlightText,
    };
    addressController.paint(canvas, *font, addressField, look, true);
    canvas.resetClip();
    if (!dialogStatus.empty()) drawText(canvas, *font, dialogStatus, 256, 328, palette::kHighlightText, false);

    controls.addButton(
        canvas, *font, "server.cancel", 440, 350, 150, 32, "Cancel", [this] { closeDialog(); }, false, true);
    controls.addButton(
        canvas, *font, "server.add", 610, 350, 150, 32, "Add", [this] { addServer(); }, false, true);
}

}  // namespace vobu
