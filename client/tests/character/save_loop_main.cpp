// Saves characters into the library in a loop, for ever, so that a test can
// kill it at random moments. Each save writes one of two versions of the
// same character, told apart by its name: "A" + count or "B" + count.
//
// Usage: character_save_loop <ready-file>
// XDG_DATA_HOME decides where the library lives. The ready file is created
// once the first save has succeeded.

#include <cstdio>
#include <string>

#include "character/character_library.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <ready-file>\n", argv[0]);
        return 2;
    }
    vobu::CharacterLibrary library;
    library.load();
    vobu::Character character;
    character.id = "kill-test";
    for (unsigned long n = 0;; ++n) {
        character.name = (n % 2 ? "B" : "A") + std::to_string(n);
        // Paint differs too, so a torn file could not pass as a whole one.
        for (auto& face : character.faces) {
            face.assign(face.size(), n % 2 ? 0x00FF00u : 0x0000FFu);
        }
        if (!library.save(character)) {
            std::fprintf(stderr, "save failed: %s\n", library.error.c_str());
            return 1;
        }
        if (n == 0) {
            std::FILE* ready = std::fopen(argv[1], "w");
            if (ready) {
                std::fclose(ready);
            }
        }
    }
}
