#pragma once
// Wrapped chat texts, kept while the log holds them. The overlay's log is
// rebuilt from nothing at every new game and after a reset, and the scroll
// thumb needs every line of it at once; with the wrapped lines of each text
// kept here, neither wraps a text it has wrapped before.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vobu {

class Font;

class ChatWrapCache {
public:
    // The lines of wrapText (font, text, width, firstWidth, formatted): the
    // kept ones when this text was wrapped before with the same font and
    // widths, else wrapped now and kept.
    const std::vector<std::string>& lines(const Font& font, const std::string& text, bool formatted, int width,
                                          int firstWidth);

    // Keeps the `count` texts asked for most recently and forgets the rest.
    void keepRecent(size_t count);

    size_t size() const { return entries_.size(); }
    // Bytes of text wrapped anew so far (a found text adds nothing).
    uint64_t wrappedBytes() const { return wrappedBytes_; }

private:
    struct KeyView {
        std::string_view text;
        bool formatted = false;
        int width = 0;
        int firstWidth = 0;
        bool operator==(const KeyView&) const = default;
    };
    struct Key {
        std::string text;
        bool formatted = false;
        int width = 0;
        int firstWidth = 0;
        KeyView view() const { return {text, formatted, width, firstWidth}; }
    };
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(const KeyView& key) const;
        size_t operator()(const Key& key) const { return (*this)(key.view()); }
    };
    struct KeyEqual {
        using is_transparent = void;
        bool operator()(const KeyView& a, const KeyView& b) const { return a == b; }
        bool operator()(const Key& a, const KeyView& b) const { return a.view() == b; }
        bool operator()(const KeyView& a, const Key& b) const { return a == b.view(); }
        bool operator()(const Key& a, const Key& b) const { return a.view() == b.view(); }
    };
    struct Wrapped {
        std::vector<std::string> lines;
        uint64_t lastUse = 0;
    };

    const Font* font_ = nullptr;  // the lines were measured with this font
    std::unordered_map<Key, Wrapped, KeyHash, KeyEqual> entries_;
    uint64_t uses_ = 0;
    uint64_t wrappedBytes_ = 0;
};

}  // namespace vobu
