// One of two game windows saving into the same per-user folder at once: saves
// and removes characters of its own in a loop, and stops at the first
// change that fails.
//
// Usage: character_save_race <prefix> <count>
// XDG_DATA_HOME decides where the library lives. The characters it keeps
// have the ids <prefix>0 to <prefix>6, each named <prefix><n> after the
// last save n that wrote it; <prefix>x is saved and removed again.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "character/character_library.h"

namespace {

constexpr int kKeptIds = 7;

vobu::Character made(const std::string& id, const std::string& name) {
    vobu::Character character;
    character.id = id;
    character.name = name;
    // Paint follows the name, so bytes of two versions mixed would show.
    uint32_t paint = uint32_t(std::hash<std::string>{}(name)) & 0xFFFFFFu;
    for (auto& face : character.faces) face.assign(face.size(), paint);
    return character;
}

bool failed(const vobu::CharacterLibrary& library, const char* what, int n) {
    std::fprintf(stderr, "%s %d failed: %s\n", what, n, library.error.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <prefix> <count>\n", argv[0]);
        return 2;
    }
    const std::string prefix = argv[1];
    const int count = std::atoi(argv[2]);
    vobu::CharacterLibrary library;
    library.load();
    for (int n = 0; n < count; ++n) {
        const std::string name = prefix + std::to_string(n);
        if (!library.save(made(prefix + std::to_string(n % kKeptIds), name)) && failed(library, "save", n)) return 1;
        if (n % 5 == 4) {
            const vobu::Character passing = made(prefix + "x", name);
            if (!library.save(passing) && failed(library, "save of a passing character", n)) return 1;
            if (!library.remove(passing) && failed(library, "removal", n)) return 1;
        }
    }
    return 0;
}
