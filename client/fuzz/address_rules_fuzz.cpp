// libFuzzer target: typed text through the add-server address rules.

#include <cstdlib>

#include "browser_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::addressRulesHold(data, size)) std::abort();
    return 0;
}
