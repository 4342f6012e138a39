// Replays the checked-in corpus of the skin sheet fuzz target through its
// own entry function in the ordinary build.

#include "sheet_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

using testing::replayCorpus;

TEST(SheetFuzzCorpus, SkinSheet) { replayCorpus("skin_sheet", fuzz::sheetImportHolds); }

}  // namespace
}  // namespace vobu
