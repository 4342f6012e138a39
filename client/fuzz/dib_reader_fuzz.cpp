// libFuzzer target: arbitrary bytes through the clipboard bitmap reader.

#include <cstdlib>

#include "editor_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::dibReaderHolds(data, size)) std::abort();
    return 0;
}
