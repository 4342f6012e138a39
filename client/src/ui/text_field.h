#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vobu {

// Byte offset of each code point of a text, then the text's length: a text
// of n code points gives n + 1 offsets. A lead byte takes the continuation
// bytes it announces (fewer when another byte or the end comes first); any
// other byte counts alone.
std::vector<size_t> utf8CharOffsets(const std::string& text);
int utf8Length(const std::string& text);
// The text up to code point n (clamped to 0..length).
std::string utf8Prefix(const std::string& text, int n);

// One undo or redo entry.
struct TextFieldState {
    std::string text;
    int32_t cursor = 0;
    int32_t anchor = 0;
};

// A single-line UTF-8 editor. Positions are code-point indexes; everything
// that enters is cleaned and cut to `maxLength` code points; every change
// through replaceRange can be undone (up to 64 steps) and redone.
class TextField {
public:
    static constexpr size_t kMaxUndo = 64;

    std::string text;
    int32_t cursor = 0;
    int32_t anchor = 0;
    std::vector<TextFieldState> undoStack;
    std::vector<TextFieldState> redoStack;
    int32_t maxLength = 0;

    explicit TextField(int32_t maxLength = 0) : maxLength(maxLength) {}

    int length() const { return utf8Length(text); }
    bool hasSelection() const { return cursor != anchor; }

    void setText(const std::string& value);
    std::string selectedText() const;
    void setCursor(int index, bool extend);
    void moveCursor(int delta, bool extend, bool byWord);
    void moveToEdge(bool toEnd, bool extend);
    void selectAll();
    void selectWordAt(int index);
    void replaceRange(int from, int to, const std::string& insert);
    void replaceSelection(const std::string& insert);
    void deleteChar(bool backward, bool byWord);
    void undo();
    void redo();
    void pushUndo();
    int wordBoundary(int index, int direction) const;
    void applyComposition(const std::string& value, int newCursor, int newAnchor);

    // 0 space, 1 word character, 2 anything else (also past the end).
    int charClass(int index) const;

private:
    // One step of undo or redo: the current state goes onto `keep`, the
    // newest entry of `take` becomes the current state.
    void stepHistory(std::vector<TextFieldState>& take, std::vector<TextFieldState>& keep);
};

}  // namespace vobu
