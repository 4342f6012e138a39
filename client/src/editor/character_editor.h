#pragma once
// The character editor: the library screen (saved characters with a turning
// preview), the skin editor screen (orbit and face views, paint panel) and
// the join overlay shown while the Application connects to a game.
//
// The class is split over topic files, each a section of the declarations
// below: state and library operations (character_editor_state.cpp), the
// canvas of the screens (character_editor_layout.cpp), the paint panel
// (character_editor_panel.cpp), the 3D view and pointers
// (character_editor_drawing.cpp), the camera (character_editor_camera.cpp),
// pointer input and drags (character_editor_input.cpp), keys
// (character_editor_keys.cpp), the text field
// (character_editor_text_field.cpp), the paint tools
// (character_editor_tools.cpp) and the colour picker
// (character_editor_picker.cpp). It never calls back into the Application:
// it raises one-shot flags that the frame takes and clears.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "character/character.h"
#include "character/character_library.h"
#include "editor/paint_ops.h"
#include "editor/rgba_image.h"
#include "platform/performance_clock.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "ui/label_sprite.h"
#include "ui/list_box.h"
#include "ui/resize_badge.h"
#include "ui/text_field.h"
#include "ui/ui_canvas.h"
#include "ui/ui_controls.h"
#include "ui/ui_layout.h"

union SDL_Event;

namespace vobu {

// An integer rectangle: canvas pixels or texels of a face.
struct IntRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;

    bool empty() const { return w <= 0 || h <= 0; }
    bool contains(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
    bool operator==(const IntRect&) const = default;
};

// One pose of the editor's camera, as animated between views.
struct EditorCameraPose {
    float yaw = 0;
    float pitch = 0;
    float distance = 0;
    float panX = 0;
    float panY = 0;
};

// The drag in progress, named from the flags that the presses set. A
// middle-button pan may run under a drag of another button; that other drag
// is the one named.
enum class EditorDrag {
    None,
    ListThumb,        // the library list's scroll thumb
    FieldSelection,   // a selection dragged in the name or hex field
    Picker,           // the colour wheel or the value bar
    MovingSelection,  // a lifted selection following the pointer
    Selecting,        // a selection rectangle
    Line,             // the Line tool, drawn at the end
    Stroke,           // Pen, Brush or Erase
    Resize,           // a resize handle
    Orbit,            // turning the box
    Pan,              // moving the face view
    MiddleClick,      // a middle press in the face view not yet released
};

// How endDrag ends a drag: Commit finishes it as a button release does (a
// line being dragged is drawn); Drop forgets it, for a camera move or a
// screen change, after which the pointer means something else.
enum class DragEnd { Commit, Drop };

// Reads one named entry of the asset package (the Application passes
// loadPackagedAsset); throws when the entry cannot be read.
using PackagedAssetReader = std::function<std::vector<uint8_t>(const std::string& name)>;

class CharacterEditor {
public:
    // Paint tools, by index ("tool.0" .. "tool.6").
    enum Tool : int { ToolPen = 0, ToolBrush, ToolErase, ToolFill, ToolSelect, ToolPick, ToolLine, kToolCount };

    static constexpr int kMaxUndo = 16;
    static constexpr int kNameMaxCodePoints = 24;
    static constexpr double kDiscardSeconds = 2.5;
    static constexpr double kFlashSeconds = 3.0;
    static constexpr double kIdleSpinSeconds = 3.0;
    static constexpr float kTanHalfFov = 0.46630767f;  // tan 25 degrees
    static constexpr float kTexelWorld = 0.02f;
    static constexpr double kAnimSeconds = 0.72;

    // The 3D view rectangles of the two screens.
    static constexpr IntRect kLibraryView{310, 80, 684, 512};
    static constexpr IntRect kEditorView{24, 94, 696, 462};
    static constexpr IntRect kListRect{24, 94, 260, 386};
    // Press areas of the two text fields (drawn 2 and 4 pixels apart).
    static constexpr IntRect kNameFieldPress{754, 80, 244, 28};
    static constexpr IntRect kHexFieldPress{854, 118, 144, 26};
    static constexpr int kNameTextX = 762;
    static constexpr int kHexTextX = 862;
    static constexpr int kNameVisibleWidth = 226;
    static constexpr int kHexVisibleWidth = 126;
    // The colour wheel and the value bar.
    static constexpr int kWheelX = 876;
    static constexpr int kWheelY = 246;
    static constexpr int kWheelRadius = 94;
    static constexpr int kValueBarX = 754;
    static constexpr int kValueBarY = 350;
    static constexpr int kValueBarWidth = 242;
    static constexpr int kValueBarHeight = 18;

    // ---- Start-up, screens and library (character_editor_state.cpp) -------

    // Stores the backend, loads the glyph table "unifont.bin" through
    // `readAsset` (failures propagate and end the start-up) and the library;
    // a first start with an empty, readable library saves a default character.
    void initialize(Graphics* graphics, const PackagedAssetReader& readAsset);
    void showLibrary();
    void setChoosingForJoin(bool choosing);
    void openEditor();
    void leaveEditor();
    void selectLibraryEntry(int index);
    bool saveCharacter();
    void addCharacter(bool duplicate);
    void deleteCharacter();
    void pushUndo();
    void undo();
    void markEdited(bool skinChanged);
    static std::string newCharacterId();

    // One-shot requests the frame takes and clears.
    bool takeChosenCharacter(Character& chosen);
    bool takeLeaveLibraryRequest();
    bool takeMainMenuRequest();

    // The join overlay, driven by the Application.
    void beginJoin();
    void setJoinStatus(const std::string& text, float progress);
    void onDisconnected(const std::string& reason);

    // The working character's skin atlas (0 for any other character); rebuilt
    // and uploaded into the same handle only while `skinDirty`.
    uint32_t skinTexture(const Character& of);
    void update(double dt);
    // Rebuilds and uploads the working character's atlas while `skinDirty`.
    uint32_t uploadSkinAtlas();

    // The status line of the library screen: the library's error, else its
    // notice, else empty.
    const std::string& libraryStatus() const;
    // The 3D view of the screen shown now.
    IntRect viewRect() const;
    bool animating() const { return animProgress < 1.0f; }
    bool faceViewReady() const { return !libraryShown && viewMode == 1 && !animating(); }

    // ---- The canvas of the screens (character_editor_layout.cpp) ----------

    void buildUi();
    void buildLibraryUi();
    void buildEditorUi();
    void buildJoinOverlay();
    void addButton(int x, int y, int w, int h, const std::string& id, const std::string& label,
                   std::function<void()> action, bool selected, bool enabled);
    void drawTextField(int x, int y, int w, int h, const std::string& text, bool active);

    // ---- The paint panel (character_editor_panel.cpp) -----------------------

    void drawPaintUi();
    void drawColorWheel();
    void drawValueBar();

    // ---- The 3D view and the pointers (character_editor_drawing.cpp) -------

    void draw(int width, int height);
    // The 3D part of a frame: the black view, the box, the face overlays and
    // the name label.
    void drawView();
    void drawFaceOverlays(const std::vector<Vertex>& box);
    void drawNameLabel();
    // The arrow pointer over the canvas, where the crosshair is not.
    void drawArrow();
    void drawCrosshair();
    // The pointer is over the face canvas of a settled face view: the
    // crosshair shows instead of the arrow.
    bool pointerOverFaceCanvas() const;

    // ---- Camera (character_editor_camera.cpp) -------------------------------

    Vertex projectVertex(float x, float y, float z, const Color& color, float u, float v) const;
    float fitDistance() const;
    float faceBaseScale() const;
    float faceScale() const;
    float faceViewDistance() const;
    // Half the extent of the box along the current face's depth axis, doubled.
    float faceDepthExtent() const;
    void layoutCamera();
    // Zooms by a number of steps (positive zooms in).
    void zoomBy(float steps);
    void pickFace(float currentDistance);
    void focusFace(int newFace);
    void showWholeCharacter(float currentDistance);
    void resetFaceView();
    void startCameraAnimation(const EditorCameraPose& target);
    void stepCameraAnimation(double dt);
    void stepIdleSpin(double dt);
    // Handle 0 right, 1 bottom, 2 corner, next to `faceRect`.
    IntRect resizeHandleRect(int handle) const;
    // The handle under a canvas point, or -1.
    int resizeHandleAt(int x, int y) const;
    void beginResize(int handle, int x, int y);
    void dragResize(int x, int y);
    void endResize();

    // ---- Pointer input and drags (character_editor_input.cpp) ---------------

    void handleEvent(const SDL_Event& event);
    std::pair<int, int> toCanvas(int x, int y) const;
    void updatePointer(int x, int y);
    void pointerMotion(int x, int y, int relX, int relY);
    void buttonPress(int x, int y, int button);
    void pressView(int x, int y);
    void buttonRelease(int x, int y, int button);
    void wheel(int amount);
    void focusLost();
    EditorDrag currentDrag() const;
    // Ends whatever drags run, whoever started them: the list's thumb, the
    // text field, the picker, the paint tools, the resize (which keeps the
    // size it reached and its scale), the orbit, the pan, the middle click
    // and a keyboard stroke. Nothing runs afterwards.
    void endDrag(DragEnd how);
    // The clock's milliseconds, wrapping as 32-bit ticks do.
    uint32_t clockTicks() const;

    // ---- Keys (character_editor_keys.cpp) -----------------------------------

    void keyPress(int key, int mods, bool repeat);
    void tabFocus(bool backward);
    // Return, keypad Enter or Space on the focused control; false when the
    // key goes on to the other rules.
    bool activateFocus();
    void libraryKey(int key);
    // The zoom, orbit and keyboard-painting keys of the focused 3D view;
    // false when the key goes on to the other rules.
    bool previewKey(int key, bool shift, bool repeat);
    void placePointerOnKeyCursor();
    void shortcutKey(int key);
    void toolKey(int key);

    // ---- The text field (character_editor_text_field.cpp) -------------------

    void pressField(int x, bool extend, int target);
    void dragFieldSelection();
    void fieldKey(int key, bool ctrl, bool shift);
    void commitField();
    int caretIndexAt(int x) const;
    void ensureCaretVisible();
    void stopTextEditing();
    // The caret blink and the drag-selection auto-scroll of one update.
    void updateTextField(double dt);
    int fieldTextX() const;
    int fieldVisibleWidth() const;

    // ---- Paint tools (character_editor_tools.cpp) ---------------------------

    std::pair<int, int> texelAt(int x, int y) const;
    FaceRect selectionOrFace() const;
    bool pointOnFace(int x, int y) const;
    // `button` is SDL_BUTTON_LEFT (primary colour) or SDL_BUTTON_RIGHT.
    void pressPaint(int x, int y, int button);
    void dragPaint(int x, int y);
    void moveLiftedSelection(int tx, int ty);
    // The texels the line being dragged will paint, each once: the line from
    // the anchor to the pointer's texel widened by the brush, inside the face
    // and `selectionOrFace`.
    std::vector<std::pair<int, int>> linePreviewTexels() const;
    void releasePaint();
    void clearSelection();
    void copySelection(bool cut);
    void pasteImage(const RgbaImage& image);
    void stepSize(int axis, int delta);
    void exportSheet();
    // Import: asks for a PNG file, which arrives through a later update.
    void requestImport();
    void importSheet(const RgbaImage& image);
    // The clipboard and image-file slots of one update: a pending clipboard
    // image is pasted, a pending PNG imported.
    void takePendingImages();

    // ---- The colour picker (character_editor_picker.cpp) --------------------

    void syncPicker();
    void syncPickerIfChanged();
    void pickFromColorWheel(int x, int y);
    // `button` is SDL_BUTTON_LEFT or SDL_BUTTON_RIGHT (which edits the
    // secondary slot).
    bool pickerPress(int x, int y, int button);
    uint32_t& activeColor() { return secondaryActive ? secondaryColor : primaryColor; }

    // ---- Members, in declaration order ----------------------------------------

    Graphics* graphics = nullptr;
    Font font;
    uint32_t nameLabelTexture = 0;
    std::string nameLabelText;
    LabelSprite nameLabel;
    UiCanvas canvas;
    // Drawn by the live-resize callback while a modal size loop stops frames.
    ResizeBadge resizeBadge;
    CharacterLibrary library;
    Character character;
    ListBox list;
    UiControls controls;
    int32_t fieldDragAnchor = 0;
    int32_t fieldClickCount = 0;
    int32_t fieldClickX = 0;
    uint32_t fieldClickTicks = 0;
    bool fieldClickMoved = false;
    std::vector<Character> undoStack;
    int32_t selectedIndex = -1;
    int32_t face = 0;
    uint32_t primaryColor = 0x000000;
    uint32_t secondaryColor = 0xFFFFFF;
    uint32_t strokeColor = 0;
    int32_t tool = ToolPen;
    int32_t brushSize = 4;
    bool roundBrush = true;
    bool pickingColor = false;
    bool pickingValue = false;
    bool secondaryActive = false;
    bool showGrid = true;
    float hue = 0;
    float saturation = 0;
    float value = 1;
    IntRect selection;
    bool selecting = false;
    int32_t anchorX = 0;
    int32_t anchorY = 0;
    // The lifted selection: its pixels follow the pointer over the face as it
    // was at the lift.
    bool movingSelection = false;
    bool liftUndoPushed = false;
    IntRect liftRect;
    std::vector<uint32_t> liftBackup;
    RgbaImage liftImage;
    uint32_t liftHoleColor = 0;
    double idleSeconds = kIdleSpinSeconds;
    double spinTime = 0;
    int32_t spinFrames = 0;
    int32_t viewMode = 0;  // 0 orbit view, 1 face view
    bool leaveLibraryRequested = false;
    bool disconnected = false;
    bool libraryShown = true;
    bool choosingCharacter = true;
    bool joinOverlayShown = false;
    bool characterChosen = false;
    bool mainMenuRequested = false;
    bool unsaved = false;
    bool redraw = true;
    bool skinDirty = true;
    bool textEditing = false;
    bool deleteArmed = false;
    double discardFlash = 0;
    double savedFlash = 0;
    double newFullFlash = 0;
    double duplicateFullFlash = 0;
    bool painting = false;
    bool orbiting = false;
    bool panning = false;
    bool resizing = false;
    bool fieldSelecting = false;
    bool middlePending = false;
    int32_t keyCursorX = 0;
    int32_t keyCursorY = 0;
    bool keyPainting = false;
    int32_t middlePressX = 0;
    int32_t middlePressY = 0;
    // The resize drag.
    int32_t resizeHandle = 0;
    int32_t resizePressX = 0;
    int32_t resizePressY = 0;
    int32_t resizeStartWidth = 0;
    int32_t resizeStartHeight = 0;
    int32_t resizeStartDepth = 0;
    float resizeScale = 0;  // pixelsPerTexel frozen at the press
    float resizeStartPanX = 0;
    float resizeStartPanY = 0;
    float zoom = 0.75f;
    float panX = 0;
    float panY = 0;
    int32_t pointerX = -1;
    int32_t pointerY = -1;
    int32_t lastStrokeX = -1;
    int32_t lastStrokeY = -1;
    float yaw = 0.35f;
    float pitch = 0.3f;
    float animProgress = 1.0f;
    float distance = 1.0f;
    float focalLength = 1.0f;
    // The camera animation.
    EditorCameraPose animFrom;
    EditorCameraPose animTo;
    float animPeak = 0;
    double animElapsed = 0;
    double animPending = 0;
    int32_t animFrames = 0;
    float faceLeft = 0;
    float faceTop = 0;
    float pixelsPerTexel = 0;
    UiLayout layout;
    int32_t drawableWidth = UiCanvas::kVisibleWidth;
    int32_t drawableHeight = UiCanvas::kVisibleHeight;
    IntRect faceRect;
    uint32_t canvasTexture = 0;
    uint32_t arrowTexture = 0;
    uint32_t skinTextureHandle = 0;  // the skin atlas of `character`
    double caretTime = 0;
    bool caretVisible = true;
    uint8_t fieldTarget = 0;  // 0 the name field, 1 the hex field
    TextField field{kNameMaxCodePoints};
    int32_t fieldScroll = 0;
    std::string joinStatus = "Connecting";
    std::string disconnectReason;
    float joinProgress = 0;

    // The colour wheel's disc is drawn at full value whatever the picker
    // holds, so its pixels are computed once and kept between rebuilds.
    std::vector<uint32_t> wheelPixels;

    // The clock of clicks and multi-clicks.
    void setClock(MillisecondClock clockMs) { clock_ = std::move(clockMs); }
    // The pointer as the mouse last put it, so that an unmoved mouse does not
    // take the pointer back from the keyboard cursor every frame.
    int32_t mouseCanvasX = -1;
    int32_t mouseCanvasY = -1;

private:
    MillisecondClock clock_ = performanceMs;
};

}  // namespace vobu
