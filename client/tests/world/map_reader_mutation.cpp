// Damaged assets: kit assets with bytes flipped, cut, stretched and counts
// rewritten, fed through the fuzz targets' entry functions. Deterministic, so
// a failure repeats; also run in the sanitizer build.

#include <gtest/gtest.h>

#include <random>

#include "map_fuzz_entries.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"

namespace vobu {
namespace {

using Entry = bool (*)(const uint8_t*, size_t);

std::vector<uint8_t> mutate(std::vector<uint8_t> bytes, std::mt19937& random) {
    std::uniform_int_distribution<int> kind(0, 4);
    const size_t size = bytes.size();
    auto at = [&] { return std::uniform_int_distribution<size_t>(0, size - 1)(random); };
    switch (kind(random)) {
        case 0:  // flip a few bits
            for (int i = 0; i < 3; ++i) bytes[at()] ^= uint8_t(1u << (random() % 8));
            break;
        case 1:  // cut the tail
            bytes.resize(at());
            break;
        case 2:  // append junk
            for (int i = 0, n = int(random() % 9) + 1; i < n; ++i) bytes.push_back(uint8_t(random()));
            break;
        case 3: {  // rewrite an aligned word with a boundary value
            const uint32_t values[] = {0,           1,
                                       2,           3,
                                       4,           15,
                                       16,          17,
                                       255,         256,
                                       65535,       65536,
                                       65537,       16384,
                                       16385,       196608,
                                       0x7FFFFFFFu, 0x80000000u,
                                       0xFFFFFFFFu, 0x7F800000u,
                                       0x7FC00000u, 0x45800000u /* 4096.0f */,
                                       0x45800001u, 0x3F800000u /* 1.0f */};
            const size_t word = (at() / 4) * 4;
            if (word + 4 <= bytes.size()) mapkit::patchU32(bytes, word, values[random() % std::size(values)]);
            break;
        }
        default:  // overwrite one byte
            bytes[at()] = uint8_t(random());
            break;
    }
    return bytes;
}

void mutateAndCheck(const std::vector<uint8_t>& seed, Entry entry, int rounds, uint32_t seedValue) {
    std::mt19937 random(seedValue);
    ASSERT_TRUE(entry(seed.data(), seed.size()));
    for (int round = 0; round < rounds; ++round) {
        const std::vector<uint8_t> damaged = mutate(seed, random);
        ASSERT_TRUE(entry(damaged.data(), damaged.size())) << "round " << round;
    }
}

TEST(MapReaderMutation, WalkMeshes) {
    uint32_t seed = 1;
    for (const char* name : {"flat", "step-0.55", "room", "half-border", "seam", "fan"})
        mutateAndCheck(mapkit::writeWalkMesh(mapkit::kitWalkMesh(name)), fuzz::walkMeshReaderHolds, 400, seed++);
}

TEST(MapReaderMutation, RenderMesh) {
    mutateAndCheck(mapkit::writeRenderMesh(mapkit::twoMaterialRenderMap().materials), fuzz::renderMeshReaderHolds, 4000,
                   7);
}

TEST(MapReaderMutation, Textures) {
    uint32_t seed = 11;
    for (const mapkit::KitTexture& t : mapkit::twoMaterialRenderMap().textures)
        for (auto encoding : {mapkit::TextureEncoding::Raw, mapkit::TextureEncoding::RunLength}) {
            std::vector<uint8_t> input{uint8_t(t.slot)};
            const std::vector<uint8_t> asset = mapkit::writeTexture(t.width, t.height, t.rgba, encoding);
            input.insert(input.end(), asset.begin(), asset.end());
            mutateAndCheck(input, fuzz::textureReaderHolds, 2000, seed++);
        }
}

}  // namespace
}  // namespace vobu
