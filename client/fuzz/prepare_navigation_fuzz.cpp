// libFuzzer target: arbitrary triangle lists through prepareNavigation and a
// few movement steps on the result.

#include <cstdlib>

#include "navigation_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::prepareNavigationHolds(data, size)) std::abort();
    return 0;
}
