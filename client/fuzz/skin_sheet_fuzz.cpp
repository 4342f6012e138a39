// libFuzzer target: arbitrary images through the skin sheet reader.

#include <cstdlib>

#include "sheet_fuzz_entries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!vobu::fuzz::sheetImportHolds(data, size)) std::abort();
    return 0;
}
