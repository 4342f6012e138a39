// Replays the checked-in fuzz corpus of the clipboard bitmap reader through
// the fuzz target's own entry function in the ordinary build.

#include "editor_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

using testing::replayCorpus;

TEST(EditorFuzzCorpus, DibReader) { replayCorpus("dib_reader", fuzz::dibReaderHolds); }

}  // namespace
}  // namespace vobu
