#include "browser/chat_wrap_cache.h"

#include <algorithm>
#include <functional>

#include "ui/text.h"

namespace vobu {

size_t ChatWrapCache::KeyHash::operator()(const KeyView& key) const {
    size_t hash = std::hash<std::string_view>{}(key.text);
    for (const size_t part : {size_t(key.formatted), size_t(uint32_t(key.width)), size_t(uint32_t(key.firstWidth))}) {
        hash ^= part + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
    }
    return hash;
}

const std::vector<std::string>& ChatWrapCache::lines(const Font& font, const std::string& text, bool formatted,
                                                     int width, int firstWidth) {
    if (font_ != &font) {
        entries_.clear();
        font_ = &font;
    }
    ++uses_;
    const KeyView key{text, formatted, width, firstWidth};
    auto found = entries_.find(key);
    if (found == entries_.end()) {
        Wrapped wrapped{wrapText(font, text, width, firstWidth, formatted), 0};
        wrappedBytes_ += text.size();
        found = entries_.emplace(Key{text, formatted, width, firstWidth}, std::move(wrapped)).first;
    }
    found->second.lastUse = uses_;
    return found->second.lines;
}

void ChatWrapCache::keepRecent(size_t count) {
    if (entries_.size() <= count) return;
    if (count == 0) {
        entries_.clear();
        return;
    }
    std::vector<uint64_t> uses;
    uses.reserve(entries_.size());
    for (const auto& [key, wrapped] : entries_) uses.push_back(wrapped.lastUse);
    // Every text was asked for at a use of its own, so the stamps differ.
    std::nth_element(uses.begin(), uses.end() - ptrdiff_t(count), uses.end());
    const uint64_t oldestKept = *(uses.end() - ptrdiff_t(count));
    std::erase_if(entries_, [oldestKept](const auto& entry) { return entry.second.lastUse < oldestKept; });
}

}  // namespace vobu
