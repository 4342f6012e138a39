// libFuzzer target: arbitrary bytes through the toolkit's text functions.

#include <cstdlib>

#include "text_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::textFunctionsHold(data, size)) std::abort();
    return 0;
}
