#include "character/character_library.h"

#include <algorithm>
#include <exception>

#include <SDL.h>
#include <nlohmann/json.hpp>

#include "character/character_json.h"
#include "character/user_files.h"

namespace vobu {

using nlohmann::json;

std::string buildCharactersDocument(const std::vector<Character>& list) {
    json entries = json::array();
    for (const Character& character : list) {
        entries.push_back(characterStorageDocument(character));
    }
    json document{{"characters", std::move(entries)}, {"version", 1}};
    return document.dump();
}

namespace {

// What a characters file holds, read as far as it goes.
struct LibraryText {
    std::vector<Character> characters;
    bool broken = false;    // an entry or the document could not be read
    bool overflow = false;  // more entries than the library holds
    bool fitted = false;    // older sizes were fitted to the current limits
};

LibraryText readLibraryText(const std::string& text) {
    LibraryText read;
    if (text.empty()) {
        return read;
    }
    try {
        const json document = json::parse(text);
        const json& entries = document.at("characters");
        for (const json& element : entries) {
            if (read.characters.size() == kMaxLibraryCharacters) {
                read.overflow = true;
                break;
            }
            Character character = decodeCharacterDocument(element, false);
            const json fitted = json::array({character.width, character.height, character.depth});
            if (element.at("size") != fitted) {
                read.fitted = true;
            }
            read.characters.push_back(std::move(character));
        }
    } catch (...) {
        read.broken = true;
    }
    return read;
}

}  // namespace

void CharacterLibrary::load() {
    ++revision;
    characters.clear();
    error.clear();
    notice.clear();
    pendingBackup.clear();

    FileRead read = file.read();
    if (!read.whole) {
        error = kLibraryReadError;  // the file is kept aside before it is replaced
        return;
    }
    LibraryText text = readLibraryText(read.bytes);
    characters = std::move(text.characters);
    if (text.fitted) {
        pendingBackup = read.bytes;
    }
    if (text.broken || text.overflow) {
        // What could not be read, or the entries beyond the limit, must not
        // end with a rewrite that holds only the characters taken: the file
        // is kept whole before it is first replaced.
        file.keepAsideBeforeWrite();
    }
    if (text.broken) {
        error = kLibraryReadError;
        return;
    }
    if (text.fitted) {
        notice = kLibraryFittedNotice;
        writePendingBackup();
    }
}

bool CharacterLibrary::writePendingBackup() {
    if (pendingBackup.empty()) {
        return true;
    }
    // Written through a temporary file of its own, which under the lock no
    // other window writes at the same time.
    bool locked = false;
    bool written = file.whileLocked([&] {
        locked = true;
        return writeDueBackup();
    });
    if (!locked) {
        error = kUserFilesBusyText;
    }
    return written;
}

bool CharacterLibrary::writeDueBackup() {
    if (pendingBackup.empty()) {
        return true;
    }
    if (!backupCharactersFile(pendingBackup, file.holdsLock(), file.calls)) {
        error = kLibraryBackupError;
        return false;
    }
    pendingBackup.clear();
    return true;
}

// Another window saved since this one read the file: its characters are
// this library's now, so that the change at hand keeps them. A file that is
// not a whole library is refused and kept aside instead.
bool CharacterLibrary::takeFileAsItIsNow(const std::string& text) {
    LibraryText fresh = readLibraryText(text);
    if (fresh.broken || fresh.overflow) {
        return false;
    }
    characters = std::move(fresh.characters);
    ++revision;
    if (fresh.fitted && pendingBackup.empty()) {
        pendingBackup = text;
    }
    return true;
}

bool CharacterLibrary::change(const std::function<bool(std::vector<Character>&)>& edit, const char* failure) {
    std::vector<Character> updated;
    WatchedFile::Result result = WatchedFile::Result::NotWritten;
    try {
        result = file.apply([&](const std::string& text) { return takeFileAsItIsNow(text); },
                            [&](WatchedFile::Edit& out) {
                                if (!writeDueBackup()) {
                                    return false;
                                }
                                updated = characters;
                                if (!edit(updated)) {
                                    return false;
                                }
                                out.bytes = buildCharactersDocument(updated);
                                out.write = true;
                                return true;
                            });
    } catch (...) {
        // Out of memory, or a name that is not valid UTF-8: nothing written.
        error = failure;
        return false;
    }
    switch (result) {
        case WatchedFile::Result::Written:
            characters = std::move(updated);
            ++revision;
            return true;
        case WatchedFile::Result::Refused:
            return false;  // the reason is in `error` already
        case WatchedFile::Result::NotKept:
            error = kLibraryBackupError;
            return false;
        case WatchedFile::Result::Locked:
            error = kUserFilesBusyText;
            return false;
        default:
            error = failure;
            return false;
    }
}

bool CharacterLibrary::save(const Character& character) {
    const bool saved = change(
        [&](std::vector<Character>& list) {
            auto same =
                std::find_if(list.begin(), list.end(), [&](const Character& c) { return c.id == character.id; });
            if (same != list.end()) {
                *same = character;
            } else if (list.size() >= kMaxLibraryCharacters) {
                error = kLibraryFullError;
                return false;
            } else {
                list.push_back(character);
            }
            return true;
        },
        kLibrarySaveError);
    if (saved) {
        error.clear();
    }
    return saved;
}

bool CharacterLibrary::remove(const Character& character) {
    return change(
        [&](std::vector<Character>& list) {
            std::erase_if(list, [&](const Character& c) { return c.id == character.id; });
            return true;
        },
        kLibraryDeleteError);
}

}  // namespace vobu
