// The wrapped chat log. The Scene appends lines at the end and drops the
// oldest beyond its limit, so the log keeps what it wrapped before and wraps
// only the entries that are new; the view, when scrolled back, moves by
// exactly the lines added at the end and so stays on the same lines.

#include <algorithm>

#include "browser/game_overlay.h"
#include "ui/font.h"
#include "ui/text.h"

namespace vobu {

namespace {

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

void GameOverlay::appendWrapped(const Scene& scene, size_t index) {
    const ChatEntry& entry = scene.chat[index];
    std::string prefix = prefixOf(entry, scene);
    const int pw = textWidth(*font, prefix, false);
    std::vector<std::string> lines = wrapText(*font, entry.text, kWrapWidth, kWrapWidth - pw, entry.formatted);
    wrapped_.push_back(WrappedEntry{entry, logLines.size(), lines.size()});
    for (size_t i = 0; i < lines.size(); ++i) {
        ChatLogLine line;
        line.entry = index;
        line.text = std::move(lines[i]);
        if (i == 0) {
            line.prefix = prefix;
            line.prefixWidth = pw;
        }
        logLines.push_back(std::move(line));
    }
}

void GameOverlay::rebuildChatLog(const Scene& scene) {
    if (font == nullptr) return;
    const size_t oldLines = logLines.size();
    if (seenChatRevision == -1 || scene.localPlayerId != wrappedLocalId_) {
        // A new game or another local player: every prefix may read differently.
        wrapped_.clear();
        logLines.clear();
        wrappedLocalId_ = scene.localPlayerId;
    }

    // The longest tail of what was wrapped that the Scene's log starts with.
    size_t drop = wrapped_.size();
    for (size_t d = 0; d < wrapped_.size(); ++d) {
        const size_t run = wrapped_.size() - d;
        if (run > scene.chat.size()) continue;
        size_t k = 0;
        while (k < run && sameEntry(wrapped_[d + k].source, scene.chat[k])) ++k;
        if (k == run) {
            drop = d;
            break;
        }
    }
    const size_t kept = wrapped_.size() - drop;
    const size_t droppedLines = kept == 0 ? logLines.size() : wrapped_[drop].firstLine;
    logLines.erase(logLines.begin(), logLines.begin() + ptrdiff_t(droppedLines));
    wrapped_.erase(wrapped_.begin(), wrapped_.begin() + ptrdiff_t(drop));
    for (ChatLogLine& line : logLines) line.entry -= drop;
    for (WrappedEntry& record : wrapped_) record.firstLine -= droppedLines;

    const size_t keptLines = logLines.size();
    for (size_t i = kept; i < scene.chat.size(); ++i) appendWrapped(scene, i);
    const int added = int(logLines.size() - keptLines);

    if (scroll > 0) {
        if (kept > 0) {
            scroll += added;
        } else if (logLines.size() > oldLines) {
            scroll += int(logLines.size() - oldLines);
        }
    }
    scroll = std::clamp(scroll, 0, maxScroll());
    seenChatRevision = scene.chatRevision;
    dirty = true;
}

}  // namespace vobu
