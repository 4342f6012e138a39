// libFuzzer target: arbitrary bytes through the join sound loader and the
// scene audio's segment decoder.

#include <cstdlib>

#include "audio_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::oggStreamHolds(data, size)) std::abort();
    return 0;
}
