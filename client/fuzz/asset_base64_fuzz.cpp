// libFuzzer target: arbitrary text through the strict asset base64 reader.

#include <cstdlib>

#include "protocol_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::assetBase64Holds(data, size)) std::abort();
    return 0;
}
