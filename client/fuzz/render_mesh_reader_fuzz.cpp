// libFuzzer target: arbitrary bytes through the render-mesh reader.

#include <cstdlib>

#include "map_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::renderMeshReaderHolds(data, size)) std::abort();
    return 0;
}
