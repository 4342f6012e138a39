// libFuzzer target: a directory reply or a saved server's answer through its reader.

#include <cstdlib>

#include "browser_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::directoryReplyHolds(data, size)) std::abort();
    return 0;
}
