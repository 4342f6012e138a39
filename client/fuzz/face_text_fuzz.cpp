// libFuzzer target: arbitrary bytes through the face text reader.

#include <cstdlib>

#include "character_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::faceTextHolds(data, size)) std::abort();
    return 0;
}
