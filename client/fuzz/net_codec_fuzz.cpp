// libFuzzer target: arbitrary bytes through the incoming message codec and
// the server frame cutter.

#include <cstdlib>

#include "net_codec_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::messageCodecHolds(data, size)) std::abort();
    return 0;
}
