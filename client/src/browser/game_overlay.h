#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "browser/chat_wrap_cache.h"
#include "platform/performance_clock.h"
#include "ui/text_field.h"
#include "ui/text_field_controller.h"
#include "ui/ui_canvas.h"
#include "ui/ui_controls.h"
#include "world/scene.h"

namespace vobu {

class Font;
class Graphics;

// Pointer press on one of the overlay's two buttons (panel coordinates).
struct ButtonPress {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    int32_t pressX = 0;
    int32_t pressY = 0;
    double pressTime = 0.0;  // seconds of the click clock
    bool pressed = false;
    bool cancelled = false;
};

// One wrapped line of the chat log. Only an entry's first line carries the
// sender prefix.
struct ChatLogLine {
    size_t entry = 0;  // index into Scene::chat at the last rebuild
    std::string prefix;
    std::string text;
    int32_t prefixWidth = 0;
};

// A sender or target name drawn in the log; clicking it toggles the whisper.
struct NameRegion {
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = 0;
    int32_t h = 0;
    int32_t playerId = 0;
    std::string name;
};

// A chat line committed with Return and not yet handed to the network.
struct OutgoingChat {
    std::string text;
    int32_t target = 0;  // player id; 0 means everyone
};

// The chat and the two buttons drawn over the 3D view while a game is shown.
// It takes SDL events before the game controls, reads the Scene and never
// writes it, and raises one-shot requests that the frame takes once a frame.
//
// The frame hands chat lines to the network with takeSendRequest until it
// returns false: lines committed faster than frames run (Return twice after
// a stall) wait in `outgoing` in order. `sendRequested`, `outgoingText` and
// `outgoingTarget` describe the oldest waiting line.
class GameOverlay {
public:
    static constexpr int kChatTextureSize = 512;
    static constexpr int kStripWidth = 512;
    static constexpr int kStripHeight = 32;
    static constexpr int kPanelTop = 12;
    static constexpr int kVisibleLines = 10;
    static constexpr int kLineHeight = 18;
    static constexpr int kWrapWidth = 340;
    static constexpr int kChatMaxLength = 256;
    // Wrapped texts kept: a full log of 200 lines and as many of the one before.
    static constexpr size_t kKeptWrappedTexts = 400;

    Graphics* graphics = nullptr;
    const Font* font = nullptr;
    UiCanvas canvas;
    uint32_t chatTexture = 0;
    uint32_t stripTexture = 0;
    TextField chatField{kChatMaxLength};
    // Keys, pointer selection, scroll, blink and painting of the line; its
    // text starts after the whisper prefix (see aimChatLine).
    TextFieldController chatController;
    ButtonPress buttonPresses[2];  // 0 "Characters", 1 "Disconnect"
    std::set<int> heldKeys;
    std::vector<ChatLogLine> logLines;
    std::vector<NameRegion> nameRegions;
    int32_t outgoingTarget = 0;
    int focus = -1;  // -1 none, 0 chat line, 1 "Characters", 2 "Disconnect"
    int buttonsX = 644;
    int chatX = 16;
    int width = UiCanvas::kVisibleWidth;
    int height = UiCanvas::kVisibleHeight;
    int mouseX = -1;
    int mouseY = -1;
    int32_t whisperTarget = 0;
    int scroll = 0;
    int32_t seenChatRevision = -1;
    bool chatOpen = false;
    bool typing = false;
    bool scrollDragging = false;
    bool dirty = true;
    bool disconnectRequested = false;
    bool charactersRequested = false;
    bool sendRequested = false;
    std::string whisperName;
    std::string outgoingText;
    std::string pendingLine;
    std::vector<std::string> history;
    size_t historyPos = 0;
    std::deque<OutgoingChat> outgoing;

    // A seam for tests and tools: the keyboard state read when the line
    // opens.
    const uint8_t* (*keyboardState)(int* count) = &SDL_GetKeyboardState;
    // The clock of the buttons' clicks.
    void setClock(MillisecondClock clockMs) { clock_ = std::move(clockMs); }

    void setLayout(int buttonsX, int chatX, int width, int height);
    bool handleEvent(const SDL_Event& event, const Scene& scene);
    void update(double dt, const Scene& scene);
    void draw(const Scene& scene);

    void openChat();
    void closeChat();
    void reset();
    void toggleWhisper(int32_t id, const std::string& name);

    // The oldest chat line waiting for the network, removed from the queue.
    // False when none waits.
    bool takeSendRequest(std::string& text, int32_t& target);

    int whisperPrefixWidth() const;
    // The caret position of the line nearest to panel x.
    int caretFromX(int px);
    // Places the line's controller after the whisper prefix, which comes and
    // goes with the target and its name.
    void aimChatLine();
    void rebuildChatLog(const Scene& scene);
    void browseHistory(int direction);
    void handleChatKey(const SDL_KeyboardEvent& key);

    // Older entries of Scene::chat not wrapped yet (they follow frame by frame).
    size_t unwrappedEntries() const { return unwrapped_; }
    // Bytes of chat text wrapped so far; text wrapped before and still kept
    // is not wrapped again.
    uint64_t wrappedTextBytes() const { return wrapCache_.wrappedBytes(); }
    // Texts whose wrapped lines are kept now.
    size_t wrappedTextsKept() const { return wrapCache_.size(); }

    // Lines of the log that are drawn now: [first, end).
    size_t visibleBegin() const;
    size_t visibleEnd() const;
    int maxScroll() const;

private:
    MillisecondClock clock_ = performanceMs;
    double clockSeconds() const { return clock_() / 1000.0; }
    // What the log has wrapped so far, one record per Scene::chat entry, so
    // that a new line wraps only itself and the view can follow it exactly.
    struct WrappedEntry {
        ChatEntry source;
        size_t firstLine = 0;
        size_t lineCount = 0;
    };

    // What the pointer changes on screen: compared around a motion event so
    // that only a visible change asks for a repaint.
    struct PointerView {
        bool hover[2] = {false, false};
        bool held[2] = {false, false};
        bool thumb = false;
        int scroll = 0;
        int cursor = 0;
        int anchor = 0;
        bool operator==(const PointerView&) const = default;
    };

    bool handleKeyDown(const SDL_KeyboardEvent& key);
    bool handleTextInput(const SDL_TextInputEvent& text);
    bool handleMotion(const SDL_MouseMotionEvent& motion);
    bool handleWheel(const SDL_MouseWheelEvent& wheel, const Scene& scene);
    bool handleLeftDown(const SDL_MouseButtonEvent& button, const Scene& scene);
    bool handleLeftUp(const SDL_MouseButtonEvent& button);
    void handleFocusLost();
    void moveFocus(bool backward);
    void sendLine();
    void restartTextInput();
    void dropButtonPresses();
    bool buttonHovered(int index) const;
    bool pointerInLog() const;
    bool thumbShown() const;
    PointerView pointerView() const;
    int buttonPanelX(int index) const;
    void clickName(const NameRegion& region, const Scene& scene);

    std::string prefixOf(const ChatEntry& entry, const Scene& scene) const;
    // Appends the wrapped lines of Scene::chat[index]; returns their number.
    size_t wrapEntry(const Scene& scene, size_t index, std::vector<ChatLogLine>& out);
    // Wraps unwrapped older entries, newest first, until both the bytes of
    // text and the lines of the log reach the given amounts or none is left.
    void wrapOlder(const Scene& scene, size_t byteBudget, size_t lineTarget);
    void wrapAll(const Scene& scene);
    void wrapForScroll(const Scene& scene, int64_t wantedScroll);
    void catchUpChatLog(const Scene& scene);
    bool logMatches(const Scene& scene) const;

    void paintStrip();
    void paintChat(const Scene& scene);
    void paintLogLine(const Scene& scene, const ChatLogLine& line, int y);
    void paintThumb();
    void paintChatLine();
    void paintWhisperPrefix(int y);
    void clearCanvasRegion(int w, int h);
    void uploadRegion(uint32_t& texture, int w, int h);

    std::vector<WrappedEntry> wrapped_;  // the entries after the first unwrapped_ of Scene::chat
    size_t unwrapped_ = 0;
    uint64_t wrappedScene_ = 0;  // Scene::identity of the wrapped entries
    int32_t wrappedLocalId_ = -1;
    // Outlives the log: a log met again from nothing (a new game, a reset)
    // takes the lines of the texts it has wrapped before.
    ChatWrapCache wrapCache_;
    std::vector<uint8_t> uploadBuffer_;
};

}  // namespace vobu
