// Replays the checked-in fuzz corpora of the three map readers through the
// fuzz targets' own entry functions in the ordinary build.

#include "map_fuzz_entries.h"
#include "support/fuzz_corpus_replay.h"

namespace vobu {
namespace {

using testing::replayCorpus;

TEST(MapFuzzCorpus, WalkMeshReader) { replayCorpus("walk_mesh_reader", fuzz::walkMeshReaderHolds); }
TEST(MapFuzzCorpus, RenderMeshReader) { replayCorpus("render_mesh_reader", fuzz::renderMeshReaderHolds); }
TEST(MapFuzzCorpus, TextureReader) { replayCorpus("texture_reader", fuzz::textureReaderHolds); }

}  // namespace
}  // namespace vobu
