#pragma once
// The user's saved characters (at most 16), kept in "characters.json".
//
// Nothing the user saved may be lost: the file is only ever replaced
// atomically, an older file's bytes are kept once as a backup before
// anything is written over them, and a file that could not be read whole
// (a broken entry, more entries than the library holds, or no read at all)
// is kept aside by the watched file before it is first replaced. Another
// game window on the same folder may save too: every save and removal is
// made to the file as it is on disk at that moment, so both windows'
// characters stay. The library never throws; failures leave status texts.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "character/character.h"
#include "character/watched_file.h"

namespace vobu {

constexpr size_t kMaxLibraryCharacters = 16;

inline constexpr char kLibraryReadError[] = "Saved characters could not be read. Original data was kept.";
inline constexpr char kLibraryBackupError[] = "Could not back up older characters. Original save was kept.";
inline constexpr char kLibraryFullError[] = "Full!";
inline constexpr char kLibrarySaveError[] = "Save failed. Check available storage space.";
inline constexpr char kLibraryDeleteError[] = "Delete could not be saved.";
inline constexpr char kLibraryFittedNotice[] = "Older characters fitted to 16-64 texels; originals backed up.";

class CharacterLibrary {
public:
    // Replaces the list with the file's characters.
    void load();
    // Stores the character (replacing the first entry with its id, else
    // appending) and rewrites the file. False with `error` set on failure;
    // the list then stays as it was.
    bool save(const Character& character);
    // Removes every entry with the character's id and rewrites the file.
    // False with `error` set on failure; the list is then restored.
    bool remove(const Character& character);
    // Writes the due backup of an older file, if any. False (with `error`
    // set) while it cannot be written: saves and removals are refused until
    // then.
    bool writePendingBackup();

    std::vector<Character> characters;
    // Bumped by every load, by every successful save or removal, and when
    // a save or removal finds the file changed by another window and takes
    // its characters.
    uint32_t revision = 0;
    std::string error;
    std::string notice;
    // Bytes of an older characters file still to be kept as the one-time
    // backup; empty when none is due.
    std::string pendingBackup;
    // The characters file as this library last read or wrote it.
    WatchedFile file = watchedCharactersFile();

private:
    bool change(const std::function<bool(std::vector<Character>&)>& edit, const char* failure);
    bool takeFileAsItIsNow(const std::string& text);
    bool writeDueBackup();
};

// The content of the characters file for a list: {"characters":[...],"version":1}.
// Throws the JSON library's error for a name or id that is not valid UTF-8.
std::string buildCharactersDocument(const std::vector<Character>& list);

}  // namespace vobu
