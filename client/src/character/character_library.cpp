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

void CharacterLibrary::load() {
    ++revision;
    characters.clear();
    error.clear();
    notice.clear();
    pendingBackup.clear();
    pendingUnreadBackup.clear();
    pendingUnreadableFile = false;

    std::string text;
    if (!readCharactersFileWhole(text, &fileSeen)) {
        // A file that is there but cannot be read must not be replaced by
        // the next save as if there had been none.
        error = kLibraryReadError;
        pendingUnreadableFile = true;
        return;
    }
    if (text.empty()) {
        return;
    }
    try {
        const json document = json::parse(text);
        const json& entries = document.at("characters");
        for (const json& element : entries) {
            if (characters.size() == kMaxLibraryCharacters) {
                // The entries beyond the limit are not shown, but a later
                // rewrite must not be the end of them.
                pendingUnreadBackup = text;
                break;
            }
            Character character = decodeCharacterDocument(element, false);
            const json fitted = json::array({character.width, character.height, character.depth});
            if (element.at("size") != fitted) {
                pendingBackup = text;
            }
            characters.push_back(std::move(character));
        }
        if (!pendingBackup.empty()) {
            notice = kLibraryFittedNotice;
            writePendingBackup();
        }
    } catch (...) {
        error = kLibraryReadError;
        // What could not be read is kept whole before the file is rewritten
        // with only the characters read so far.
        pendingUnreadBackup = text;
    }
}

bool CharacterLibrary::writePendingBackup() {
    if (pendingUnreadableFile && !keepFileAside()) {
        return false;
    }
    if (!pendingUnreadBackup.empty()) {
        if (!backupUnreadCharactersFile(pendingUnreadBackup)) {
            error = kLibraryBackupError;
            return false;
        }
        pendingUnreadBackup.clear();
    }
    if (pendingBackup.empty()) {
        return true;
    }
    if (!backupCharactersFile(pendingBackup)) {
        error = kLibraryBackupError;
        return false;
    }
    pendingBackup.clear();
    return true;
}

// Every write replaces the whole file, so a file that could not be read, or
// characters that another program (another game window, say) wrote since it
// was read, would be lost without a trace: that file is kept under a backup
// name instead. Nothing is merged.
bool CharacterLibrary::keepFileAside() {
    FileIdentity now = charactersFileIdentity();
    if (!pendingUnreadableFile && now == fileSeen) {
        return true;
    }
    const char* why = pendingUnreadableFile ? "could not be read" : "changed since it was read";
    std::string kept;
    if (!keepUnreadableCharactersFile(kept, fileCalls)) {
        SDL_Log("Saved characters: the characters file %s and could not be kept aside, so it is not replaced", why);
        error = kLibraryBackupError;
        return false;
    }
    if (!kept.empty()) {
        SDL_Log("Saved characters: the characters file %s and is kept as %s", why, kept.c_str());
    }
    pendingUnreadableFile = false;
    fileSeen = now;
    return true;
}

bool CharacterLibrary::writeList(const std::vector<Character>& list) {
    try {
        FileIdentity written;
        if (!writeCharactersFile(buildCharactersDocument(list), &written)) {
            return false;
        }
        fileSeen = written;
        return true;
    } catch (...) {
        return false;  // a document that cannot be built is never written
    }
}

bool CharacterLibrary::save(const Character& character) {
    if (!writePendingBackup()) {
        return false;
    }
    try {
        std::vector<Character> updated = characters;
        auto same =
            std::find_if(updated.begin(), updated.end(), [&](const Character& c) { return c.id == character.id; });
        if (same != updated.end()) {
            *same = character;
        } else if (updated.size() >= kMaxLibraryCharacters) {
            error = kLibraryFullError;
            return false;
        } else {
            updated.push_back(character);
        }
        if (!keepFileAside()) {
            return false;
        }
        if (!writeList(updated)) {
            error = kLibrarySaveError;
            return false;
        }
        characters = std::move(updated);
    } catch (...) {
        error = kLibrarySaveError;  // out of memory while copying the list
        return false;
    }
    ++revision;
    error.clear();
    return true;
}

bool CharacterLibrary::remove(const Character& character) {
    if (!writePendingBackup()) {
        return false;
    }
    try {
        std::vector<Character> kept;
        for (const Character& c : characters) {
            if (c.id != character.id) {
                kept.push_back(c);
            }
        }
        if (!keepFileAside()) {
            return false;
        }
        if (!writeList(kept)) {
            error = kLibraryDeleteError;
            return false;
        }
        characters = std::move(kept);
    } catch (...) {
        error = kLibraryDeleteError;
        return false;
    }
    ++revision;
    return true;
}

}  // namespace vobu
