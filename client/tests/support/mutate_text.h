#pragma once
// Damages a text at a few random places, with bytes that JSON and the face
// texts give meaning to, for the mutation loops of the text readers.

#include <cstdint>
#include <random>
#include <string>

namespace vobu::testing {

inline std::string mutate(std::string text, std::mt19937& random) {
    static const char interesting[] = "0123456789abcdefr p\"[]{},:-.eE\\";
    int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits && !text.empty(); ++e) {
        size_t at = random() % text.size();
        switch (random() % 5) {
            case 0:
                text[at] = char(random());
                break;
            case 1:
                text[at] = interesting[random() % (sizeof interesting - 1)];
                break;
            case 2:
                text.erase(at, 1 + random() % 8);
                break;
            case 3:
                text.insert(at, 1, interesting[random() % (sizeof interesting - 1)]);
                break;
            default:
                text.insert(at, std::to_string(uint64_t(random()) * uint64_t(random()) >> (random() % 64)));
                break;
        }
    }
    return text;
}

}  // namespace vobu::testing
