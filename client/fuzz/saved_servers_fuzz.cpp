// libFuzzer target: a servers file through the list reader and back through its writer.

#include <cstdlib>

#include "browser_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::savedServersHold(data, size)) std::abort();
    return 0;
}
