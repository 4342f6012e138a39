// The wrapped chat log. The Scene appends lines at the end and drops the
// oldest beyond its limit, so the log keeps what it wrapped before and wraps
// only the entries that are new; the view, when scrolled back, moves by
// exactly the lines added at the end and so stays on the same lines.
//
// A log that must be wrapped from nothing (a new game, a replaced Scene) is
// wrapped from the newest entry back only as far as the view reaches; the
// older entries follow a few kilobytes a frame, or at once when the view is
// scrolled or dragged towards them. The wrapped lines of every text are kept
// apart from the log, so that texts met again (the same log after a reset or
// in the next game, the whole log for the thumb) cost no wrapping; only text
// wrapped anew counts against a frame's batch.

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "browser/game_overlay.h"
#include "ui/font.h"
#include "ui/text.h"

namespace vobu {

namespace {

// Text wrapped per frame while older entries are still unwrapped.
constexpr size_t kCatchUpBytes = 8192;

bool sameEntry(const ChatEntry& a, const ChatEntry& b) {
    return a.seq == b.seq && a.system == b.system && a.formatted == b.formatted && a.from == b.from && a.to == b.to &&
           a.text.size() == b.text.size() && a.text == b.text && a.name == b.name && a.toName == b.toName;
}

}  // namespace

std::string GameOverlay::prefixOf(const ChatEntry& entry, const Scene& scene) const {
    if (entry.from == 0) return "";
    const bool mine = entry.from == scene.localPlayerId;
    const std::string& shown = mine && entry.to != 0 ? entry.toName : entry.name;
    const std::string fitted = fitText(*font, shown, 256);
    if (fitted.empty()) return "";
    const char* lead = entry.to == 0 ? "" : mine ? "To " : "From ";
    return lead + fitted + ": ";
}

size_t GameOverlay::wrapEntry(const Scene& scene, size_t index, std::vector<ChatLogLine>& out) {
    const ChatEntry& entry = scene.chat[index];
    std::string prefix = prefixOf(entry, scene);
    const int pw = textWidth(*font, prefix, false);
    const std::vector<std::string>& lines =
        wrapCache_.lines(*font, entry.text, entry.formatted, kWrapWidth, kWrapWidth - pw);
    for (size_t i = 0; i < lines.size(); ++i) {
        ChatLogLine line;
        line.entry = index;
        line.text = lines[i];
        if (i == 0) {
            line.prefix = prefix;
            line.prefixWidth = pw;
        }
        out.push_back(std::move(line));
    }
    return lines.size();
}

void GameOverlay::wrapOlder(const Scene& scene, size_t byteBudget, size_t lineTarget) {
    if (unwrapped_ == 0) return;
    // Newest first; the log runs oldest first, so the batch is turned around.
    std::vector<std::vector<ChatLogLine>> batch;
    std::vector<WrappedEntry> records;
    const uint64_t wrappedBefore = wrapCache_.wrappedBytes();
    size_t entries = 0;
    size_t lines = logLines.size();
    // Only text wrapped anew spends the budget (with a byte per entry, so
    // that empty texts end a batch too); kept lines are only copied.
    auto spent = [&] { return wrapCache_.wrappedBytes() - wrappedBefore + entries; };
    while (unwrapped_ > 0 && (spent() < byteBudget || lines < lineTarget)) {
        const size_t index = --unwrapped_;
        batch.emplace_back();
        const size_t count = wrapEntry(scene, index, batch.back());
        records.push_back(WrappedEntry{scene.chat[index], 0, count});
        ++entries;
        lines += count;
    }
    std::vector<ChatLogLine> merged;
    merged.reserve(lines);
    for (auto entry = batch.rbegin(); entry != batch.rend(); ++entry) {
        merged.insert(merged.end(), std::make_move_iterator(entry->begin()), std::make_move_iterator(entry->end()));
    }
    merged.insert(merged.end(), std::make_move_iterator(logLines.begin()), std::make_move_iterator(logLines.end()));
    logLines = std::move(merged);
    std::reverse(records.begin(), records.end());
    records.insert(records.end(), std::make_move_iterator(wrapped_.begin()), std::make_move_iterator(wrapped_.end()));
    wrapped_ = std::move(records);
    size_t first = 0;
    for (WrappedEntry& record : wrapped_) {
        record.firstLine = first;
        first += record.lineCount;
    }
}

void GameOverlay::wrapAll(const Scene& scene) {
    if (unwrapped_ == 0 || font == nullptr || !logMatches(scene)) return;
    wrapOlder(scene, SIZE_MAX, 0);
    dirty = true;
}

bool GameOverlay::logMatches(const Scene& scene) const {
    return seenChatRevision == scene.chatRevision && wrappedScene_ == scene.identity;
}

void GameOverlay::catchUpChatLog(const Scene& scene) {
    if (unwrapped_ == 0 || font == nullptr || !logMatches(scene)) return;
    const bool thumbBefore = thumbShown();
    wrapOlder(scene, kCatchUpBytes, 0);
    // The view counts from the newest line and does not move; the thumb does.
    if (thumbBefore || thumbShown()) dirty = true;
}

void GameOverlay::rebuildChatLog(const Scene& scene) {
    if (font == nullptr) return;
    const size_t oldLines = logLines.size();
    if (seenChatRevision == -1 || scene.identity != wrappedScene_ || scene.localPlayerId != wrappedLocalId_) {
        // A new game, a new world or another local player: start afresh.
        wrapped_.clear();
        logLines.clear();
        unwrapped_ = 0;
        wrappedScene_ = scene.identity;
        wrappedLocalId_ = scene.localPlayerId;
    }

    // What was wrapped covered the old entries [u, u + w). With k entries
    // dropped from the front since, it covers [u - k, u + w - k) now, less
    // the records that dropped out. Take the smallest k that matches.
    const size_t u = unwrapped_;
    const size_t w = wrapped_.size();
    size_t drop = w;
    size_t start = 0;
    for (size_t k = 0; k < u + w; ++k) {
        const size_t d = k > u ? k - u : 0;
        const size_t s = k > u ? 0 : u - k;
        const size_t run = w - d;
        if (s + run > scene.chat.size()) continue;
        size_t i = 0;
        while (i < run && sameEntry(wrapped_[d + i].source, scene.chat[s + i])) ++i;
        if (i == run) {
            drop = d;
            start = s;
            break;
        }
    }
    const size_t kept = w - drop;
    if (kept == 0) {
        wrapped_.clear();
        logLines.clear();
        unwrapped_ = scene.chat.size();
    } else {
        const size_t droppedLines = wrapped_[drop].firstLine;
        const size_t shift = u + drop - start;
        logLines.erase(logLines.begin(), logLines.begin() + ptrdiff_t(droppedLines));
        wrapped_.erase(wrapped_.begin(), wrapped_.begin() + ptrdiff_t(drop));
        for (ChatLogLine& line : logLines) line.entry -= shift;
        for (WrappedEntry& record : wrapped_) record.firstLine -= droppedLines;
        unwrapped_ = start;
    }

    const size_t keptLines = logLines.size();
    for (size_t i = unwrapped_ + wrapped_.size(); i < scene.chat.size(); ++i) {
        const size_t count = wrapEntry(scene, i, logLines);
        wrapped_.push_back(WrappedEntry{scene.chat[i], logLines.size() - count, count});
    }
    const int added = int(logLines.size() - keptLines);

    if (scroll > 0) {
        if (kept > 0) {
            scroll += added;
        } else if (logLines.size() > oldLines) {
            scroll += int(logLines.size() - oldLines);
        }
    }
    // Enough lines for the view, one more so that the thumb shows beyond it.
    wrapOlder(scene, 0, size_t(scroll + kVisibleLines + 1));
    scroll = std::clamp(scroll, 0, maxScroll());
    seenChatRevision = scene.chatRevision;
    wrapCache_.keepRecent(kKeptWrappedTexts);
    dirty = true;
}

void GameOverlay::wrapForScroll(const Scene& scene, int64_t wantedScroll) {
    if (unwrapped_ == 0 || font == nullptr || !logMatches(scene)) return;
    const int64_t lines = std::min<int64_t>(wantedScroll, 1 << 20) + kVisibleLines + 1;
    if (lines <= int64_t(logLines.size())) return;
    wrapOlder(scene, 0, size_t(lines));
    dirty = true;
}

}  // namespace vobu
