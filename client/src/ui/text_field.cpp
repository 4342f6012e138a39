#include "ui/text_field.h"

#include <algorithm>

#include "ui/text.h"

namespace vobu {

namespace {

size_t unitLength(const std::string& text, size_t pos) {
    unsigned char lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0xC2 || lead > 0xF4) return 1;
    size_t continuations = lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
    size_t length = 1;
    while (length <= continuations && pos + length < text.size() &&
           (static_cast<unsigned char>(text[pos + length]) & 0xC0) == 0x80) {
        ++length;
    }
    return length;
}

int classOfCodePoint(uint32_t cp) {
    if (cp == ' ' || cp == 0xA0 || cp == 0x3000) return 0;
    if (cp >= 0x80) return 1;
    bool alnum = (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
    return alnum || cp == '_' ? 1 : 2;
}

// The class of every code point of a text (see TextField::charClass), for
// the word operations, which look at many of them.
std::vector<int> classesOf(const std::string& text) {
    const std::vector<size_t> offsets = utf8CharOffsets(text);
    std::vector<int> classes(offsets.size() - 1);
    for (size_t i = 0; i + 1 < offsets.size(); ++i) {
        classes[i] = classOfCodePoint(decodeUtf8At(text, offsets[i]).codePoint);
    }
    return classes;
}

}  // namespace

std::vector<size_t> utf8CharOffsets(const std::string& text) {
    std::vector<size_t> offsets;
    for (size_t pos = 0; pos < text.size(); pos += unitLength(text, pos)) offsets.push_back(pos);
    offsets.push_back(text.size());
    return offsets;
}

int utf8Length(const std::string& text) { return int(utf8CharOffsets(text).size()) - 1; }

std::string utf8Prefix(const std::string& text, int n) {
    std::vector<size_t> offsets = utf8CharOffsets(text);
    n = std::clamp(n, 0, int(offsets.size()) - 1);
    return text.substr(0, offsets[size_t(n)]);
}

int TextField::charClass(int index) const {
    std::vector<size_t> offsets = utf8CharOffsets(text);
    if (index < 0 || index >= int(offsets.size()) - 1) return 2;
    return classOfCodePoint(decodeUtf8At(text, offsets[size_t(index)]).codePoint);
}

void TextField::setText(const std::string& value) {
    text = sanitizeUtf8(value, maxLength);
    cursor = anchor = length();
    undoStack.clear();
    redoStack.clear();
}

std::string TextField::selectedText() const {
    std::vector<size_t> offsets = utf8CharOffsets(text);
    int last = int(offsets.size()) - 1;
    int lo = std::clamp(std::min(cursor, anchor), 0, last);
    int hi = std::clamp(std::max(cursor, anchor), 0, last);
    return text.substr(offsets[size_t(lo)], offsets[size_t(hi)] - offsets[size_t(lo)]);
}

void TextField::setCursor(int index, bool extend) {
    cursor = std::clamp(index, 0, length());
    if (!extend) anchor = cursor;
}

void TextField::moveCursor(int delta, bool extend, bool byWord) {
    int len = length();
    if (!extend && cursor != anchor) {
        int edge = delta < 0 ? std::min(cursor, anchor) : std::max(cursor, anchor);
        cursor = anchor = std::clamp(edge, 0, len);
        return;
    }
    int target = byWord ? wordBoundary(cursor, delta) : cursor + delta;
    cursor = std::clamp(target, 0, len);
    if (!extend) anchor = cursor;
}

void TextField::moveToEdge(bool toEnd, bool extend) {
    cursor = toEnd ? length() : 0;
    if (!extend) anchor = cursor;
}

void TextField::selectAll() {
    anchor = 0;
    cursor = length();
}

int TextField::wordBoundary(int index, int direction) const {
    const std::vector<int> classes = classesOf(text);
    const int len = int(classes.size());
    int i = std::clamp(index, 0, len);
    if (direction < 0) {
        while (i > 0 && classes[size_t(i - 1)] == 0) --i;
        if (i > 0) {
            int cls = classes[size_t(i - 1)];
            while (i > 0 && classes[size_t(i - 1)] == cls) --i;
        }
        return i;
    }
    if (i < len) {
        int cls = classes[size_t(i)];
        while (i < len && classes[size_t(i)] == cls) ++i;
        while (i < len && classes[size_t(i)] == 0) ++i;
    }
    return i;
}

void TextField::selectWordAt(int index) {
    const std::vector<int> classes = classesOf(text);
    const int len = int(classes.size());
    if (len == 0) {
        cursor = anchor = 0;
        return;
    }
    int n = std::clamp(index, 0, len - 1);
    int cls = classes[size_t(n)];
    int start = n;
    while (start > 0 && classes[size_t(start - 1)] == cls) --start;
    int end = n + 1;
    while (end < len && classes[size_t(end)] == cls) ++end;
    anchor = start;
    cursor = end;
}

void TextField::replaceRange(int from, int to, const std::string& insert) {
    std::vector<size_t> offsets = utf8CharOffsets(text);
    int len = int(offsets.size()) - 1;
    from = std::clamp(from, 0, len);
    to = std::clamp(to, from, len);

    std::string clean = sanitizeUtf8(insert, maxLength);
    int room = maxLength - (len - (to - from));
    clean = room > 0 ? utf8Prefix(clean, room) : std::string();
    if (from == to && clean.empty()) return;

    pushUndo();
    size_t byteFrom = offsets[size_t(from)];
    size_t byteTo = offsets[size_t(to)];
    text.replace(byteFrom, byteTo - byteFrom, clean);
    cursor = anchor = from + utf8Length(clean);
}

void TextField::replaceSelection(const std::string& insert) {
    replaceRange(std::min(cursor, anchor), std::max(cursor, anchor), insert);
}

void TextField::deleteChar(bool backward, bool byWord) {
    int lo = std::min(cursor, anchor);
    int hi = std::max(cursor, anchor);
    if (lo == hi) {
        if (backward) {
            lo = byWord ? wordBoundary(lo, -1) : std::max(lo - 1, 0);
        } else {
            hi = byWord ? wordBoundary(hi, +1) : std::min(hi + 1, length());
        }
    }
    replaceRange(lo, hi, "");
}

void TextField::pushUndo() {
    undoStack.push_back(TextFieldState{text, cursor, anchor});
    if (undoStack.size() > kMaxUndo) undoStack.erase(undoStack.begin());
    redoStack.clear();
}

void TextField::undo() { stepHistory(undoStack, redoStack); }

void TextField::redo() { stepHistory(redoStack, undoStack); }

void TextField::stepHistory(std::vector<TextFieldState>& take, std::vector<TextFieldState>& keep) {
    if (take.empty()) return;
    keep.push_back(TextFieldState{text, cursor, anchor});
    TextFieldState state = std::move(take.back());
    take.pop_back();
    text = std::move(state.text);
    cursor = state.cursor;
    anchor = state.anchor;
}

void TextField::applyComposition(const std::string& value, int newCursor, int newAnchor) {
    text = sanitizeUtf8(value, maxLength);
    int len = length();
    cursor = std::clamp(newCursor, 0, len);
    anchor = std::clamp(newAnchor, 0, len);
}

}  // namespace vobu
