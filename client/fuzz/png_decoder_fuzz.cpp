// libFuzzer target: arbitrary bytes through the PNG decoder.

#include <cstdlib>

#include "png_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::pngDecodeHolds(data, size)) std::abort();
    return 0;
}
