// The editor object: start-up, the two screens, the library operations, the
// working copy with its undo stack, the one-shot requests and the join
// overlay's state.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>

#include "editor/character_editor.h"
#include "editor/clipboard_image.h"
#include "editor/png_files.h"
#include "ui/text.h"

namespace vobu {

namespace {

constexpr char kDefaultName[] = "Vobu";

// Spaces of every kind count as blank, so that a name of spaces alone is
// saved as the default name rather than as an invisible one.
bool isBlankName(const std::string& name) {
    for (uint32_t codePoint : decodeUtf8(name)) {
        bool space = isWrapSpace(codePoint) || codePoint == 0xA0 || codePoint == 0x2007 || codePoint == 0x202F ||
                     codePoint == 0xFEFF;
        if (!space) return false;
    }
    return true;
}

void countDown(double& timer, double dt, bool& redraw) {
    if (timer <= 0) return;
    timer = std::max(timer - std::max(dt, 0.0), 0.0);
    if (timer == 0) redraw = true;
}

}  // namespace

void CharacterEditor::initialize(Graphics* newGraphics, const PackagedAssetReader& readAsset) {
    graphics = newGraphics;
    startClipboardSupport();
    startImageSupport();
    font.load(readAsset("unifont.bin"));
    library.load();
    // Only a library that was read and found empty gets a first character; a
    // library that could not be read keeps its file untouched until the user
    // saves, and then the library keeps the unread file first.
    if (library.characters.empty() && library.error.empty()) {
        Character first;
        first.id = newCharacterId();
        if (!library.save(first)) library.characters.push_back(first);
    }
    if (!library.characters.empty()) {
        selectedIndex = 0;
        character = library.characters[0];
    }
    syncPicker();
}

void CharacterEditor::showLibrary() {
    controls.focusId.clear();
    disconnected = false;
    selection = IntRect{};
    joinOverlayShown = false;
    unsaved = false;
    discardFlash = savedFlash = newFullFlash = duplicateFullFlash = 0;
    panX = panY = 0;
    stopTextEditing();
    // Nothing dragged on the editor screen goes on over the library: a
    // stroke would paint the reloaded character, a middle click reset the
    // preview's zoom.
    endDrag(DragEnd::Drop);
    libraryShown = true;
    viewMode = 0;
    animProgress = 1;
    yaw = 0.35f;
    pitch = 0.3f;
    zoom = 0.75f;
    idleSeconds = kIdleSpinSeconds;
    if (selectedIndex >= 0 && selectedIndex < int(library.characters.size())) {
        character = library.characters[size_t(selectedIndex)];
    }
    redraw = true;
    skinDirty = true;
}

void CharacterEditor::setChoosingForJoin(bool choosing) {
    choosingCharacter = choosing;
    redraw = true;
}

void CharacterEditor::openEditor() {
    controls.focusId.clear();
    endDrag(DragEnd::Drop);
    yaw = 0;
    pitch = 0;
    animProgress = 1;
    zoom = 1.0f;
    panX = panY = 0;
    discardFlash = savedFlash = 0;
    libraryShown = false;
    viewMode = 1;
    face = FaceFront;
    selection = IntRect{};
    undoStack.clear();
    redraw = true;
    idleSeconds = kIdleSpinSeconds;
}

void CharacterEditor::leaveEditor() {
    if (unsaved && discardFlash <= 0) {
        discardFlash = kDiscardSeconds;
        redraw = true;
        return;
    }
    showLibrary();
}

void CharacterEditor::selectLibraryEntry(int index) {
    if (index < 0 || index >= int(library.characters.size()) || index == selectedIndex) return;
    selectedIndex = index;
    character = library.characters[size_t(index)];
    deleteArmed = false;
    redraw = true;
    skinDirty = true;
    idleSeconds = kIdleSpinSeconds;
}

bool CharacterEditor::saveCharacter() {
    stopTextEditing();
    redraw = true;
    discardFlash = savedFlash = 0;
    character.name = sanitizeUtf8(character.name, kNameMaxCodePoints);
    if (isBlankName(character.name)) character.name = kDefaultName;
    if (character.id.empty()) character.id = newCharacterId();
    // Every write of the file goes through the library, which keeps an
    // unread or older file under a backup name before it first replaces it.
    if (!library.save(character)) return false;
    for (size_t i = 0; i < library.characters.size(); ++i) {
        if (library.characters[i].id == character.id) {
            selectedIndex = int(i);
            break;
        }
    }
    unsaved = false;
    savedFlash = kFlashSeconds;
    return true;
}

void CharacterEditor::addCharacter(bool duplicate) {
    if (library.characters.size() >= kMaxLibraryCharacters) {
        (duplicate ? duplicateFullFlash : newFullFlash) = kFlashSeconds;
        redraw = true;
        return;
    }
    Character added;
    if (duplicate) {
        added = character;
        added.name = sanitizeUtf8(sanitizeUtf8(character.name, kNameMaxCodePoints) + " copy", kNameMaxCodePoints);
    }
    added.id = newCharacterId();
    if (!library.save(added)) {
        redraw = true;
        return;
    }
    selectedIndex = int(library.characters.size()) - 1;
    showLibrary();
}

void CharacterEditor::deleteCharacter() {
    redraw = true;
    if (!deleteArmed) {
        deleteArmed = true;
        return;
    }
    deleteArmed = false;
    if (!library.remove(character)) return;
    newFullFlash = duplicateFullFlash = 0;
    if (library.characters.empty()) {
        selectedIndex = -1;
        character = Character();
    } else {
        // A hand-edited file may hold the id twice, so more than one entry
        // can go: stay inside the list.
        selectedIndex = std::clamp(selectedIndex - 1, 0, int(library.characters.size()) - 1);
        character = library.characters[size_t(selectedIndex)];
    }
    skinDirty = true;
}

void CharacterEditor::pushUndo() {
    undoStack.push_back(character);
    if (undoStack.size() > size_t(kMaxUndo)) undoStack.erase(undoStack.begin());
}

void CharacterEditor::undo() {
    if (undoStack.empty()) return;
    selection = IntRect{};
    character = std::move(undoStack.back());
    undoStack.pop_back();
    unsaved = true;
    redraw = true;
    skinDirty = true;
    discardFlash = savedFlash = 0;
}

void CharacterEditor::markEdited(bool skinChanged) {
    unsaved = true;
    redraw = true;
    if (skinChanged) skinDirty = true;
    discardFlash = savedFlash = 0;
}

std::string CharacterEditor::newCharacterId() {
    std::random_device device("default");
    std::string id;
    for (int i = 0; i < 4; ++i) {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", unsigned(uint32_t(device())));
        id += digits;
    }
    return id;
}

bool CharacterEditor::takeChosenCharacter(Character& chosen) {
    if (!characterChosen) return false;
    characterChosen = false;
    stopTextEditing();
    chosen = character;
    return true;
}

bool CharacterEditor::takeLeaveLibraryRequest() { return std::exchange(leaveLibraryRequested, false); }

bool CharacterEditor::takeMainMenuRequest() { return std::exchange(mainMenuRequested, false); }

void CharacterEditor::beginJoin() {
    joinOverlayShown = true;
    disconnected = false;
    controls.focusId.clear();
    redraw = true;
}

void CharacterEditor::setJoinStatus(const std::string& text, float progress) {
    // A fraction that is not a number would differ from itself and redraw
    // (and upload) the canvas on every frame.
    progress = std::isnan(progress) ? 0.0f : std::clamp(progress, 0.0f, 1.0f);
    if (text == joinStatus && progress == joinProgress) return;
    joinStatus = text;
    joinProgress = progress;
    redraw = true;
}

void CharacterEditor::onDisconnected(const std::string& reason) {
    disconnectReason = reason;
    stopTextEditing();
    controls.cancelPress();
    endDrag(DragEnd::Commit);
    controls.focusId.clear();
    joinOverlayShown = true;
    disconnected = true;
    joinStatus = "You were disconnected";
    joinProgress = 0;
    redraw = true;
}

uint32_t CharacterEditor::uploadSkinAtlas() {
    if (graphics == nullptr) return skinTextureHandle;
    if (skinDirty || skinTextureHandle == 0) {
        const int side = character.skinAtlasSize();
        skinTextureHandle =
            graphics->setTexture(side, side, character.buildSkinAtlas(), skinTextureHandle, false, false);
        skinDirty = false;
    }
    return skinTextureHandle;
}

uint32_t CharacterEditor::skinTexture(const Character& of) {
    if (of.id != character.id) return 0;
    return uploadSkinAtlas();
}

void CharacterEditor::update(double dt) {
    countDown(discardFlash, dt, redraw);
    countDown(savedFlash, dt, redraw);
    countDown(newFullFlash, dt, redraw);
    countDown(duplicateFullFlash, dt, redraw);
    takePendingImages();
    stepIdleSpin(dt);
    updateTextField(dt);
    stepCameraAnimation(dt);
}

const std::string& CharacterEditor::libraryStatus() const {
    return library.error.empty() ? library.notice : library.error;
}

IntRect CharacterEditor::viewRect() const { return libraryShown ? kLibraryView : kEditorView; }

}  // namespace vobu
