// libFuzzer target: series of MessagePack messages through the codec and the
// server message handler.

#include <cstdlib>

#include "protocol_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::serverMessagesHold(data, size)) std::abort();
    return 0;
}
