// Damaged documents and face texts: every reader either gives a
// value that keeps the character invariants or throws an exception derived
// from std::exception. Run under the sanitizers as well.

#include <fstream>
#include <iterator>
#include <random>

#include <gtest/gtest.h>

#include "character/character_json.h"
#include "character/face_codec.h"
#include "support/mutate_text.h"

namespace vobu {
namespace {

using testing::mutate;

void expectSound(const Character& c) {
    for (int side : {c.width, c.height, c.depth}) {
        ASSERT_GE(side, 16);
        ASSERT_LE(side, 64);
    }
    ASSERT_TRUE(c.faceScale == 1 || c.faceScale == 2 || c.faceScale == 4 || c.faceScale == 8);
    for (const auto& face : c.faces) ASSERT_EQ(face.size(), 4096u);
    ASSERT_FALSE(c.buildSkinAtlas().empty());
}

std::vector<std::string> seeds() {
    Character c;
    c.id = "seed-1";
    c.name = "Seed";
    c.setSize(20, 30, 17);
    for (int i = 0; i < kFaceCount; ++i)
        for (int t = 0; t < kFaceCanvasTexels; ++t) c.faces[i][t] = (t / 7 % 3) * 0x404040u + uint32_t(i);
    std::string scaled =
        "{\"faceScale\":8,\"faces\":[\"r0008ff0000\",\"r0008ff0000\",\"r0008ff0000\",\"r0008ff0000\","
        "\"r0004ff0000\",\"r0004ff0000\"],\"format\":\"rgb24-rle\",\"id\":\"s\",\"name\":\"S\","
        "\"size\":[16,32,16]}";
    std::ifstream in(std::string(VOBU_SOURCE_DIR) + "/client/tests/character/fixtures/legacy_cut.json");
    std::string legacy((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {encodeCharacterJsonRle(c), encodeCharacterJsonRle(Character()), scaled, legacy};
}

TEST(CharacterMutations, DocumentsNeverMisbehave) {
    std::mt19937 random(99);
    int decoded = 0;
    for (const std::string& seed : seeds()) {
        ASSERT_NO_THROW(decodeCharacterJson(seed, false));
        for (int round = 0; round < 1500; ++round) {
            std::string text = mutate(seed, random);
            for (bool strict : {false, true}) {
                try {
                    Character c = decodeCharacterJson(text, strict);
                    expectSound(c);
                    ++decoded;
                } catch (const std::exception&) {}
            }
        }
    }
    std::printf("%d damaged documents still decoded\n", decoded);
}

TEST(CharacterMutations, FaceTextsNeverMisbehave) {
    std::mt19937 random(5);
    std::vector<uint32_t> texels(300);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint32_t(i / 40) * 0x111111u;
    std::string const runs = encodeFace(texels);
    std::string const plain = "p" + encodeFacePlain(texels);
    for (const std::string& seed : {runs, plain}) {
        for (int round = 0; round < 3000; ++round) {
            std::string text = mutate(seed, random);
            uint32_t count = random() % 4 == 0 ? uint32_t(random()) : 300;
            try {
                ASSERT_EQ(decodeFace(text, count).size(), count);
            } catch (const std::runtime_error&) {}
        }
    }
}

}  // namespace
}  // namespace vobu
