// Replays the checked-in corpus of the PNG decoder fuzz target through its
// own entry function in the ordinary build.

#include "png_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

using testing::replayCorpus;

TEST(PngFuzzCorpus, PngDecoder) { replayCorpus("png_decoder", fuzz::pngDecodeHolds); }

}  // namespace
}  // namespace vobu
