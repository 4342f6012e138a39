// Mutates a real package (written by the packer, with repeat and literal
// packets and a directory of several entries) thousands of times: every
// mutant must read or fail with "ERR_ASSET_PACKAGE", never crash or read out
// of bounds. Runs again under AddressSanitizer (label "sanitize").
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "app/asset_package.h"
#include "app/package_fixture.h"
#include "package_writer.h"
#include "ui/font.h"

namespace vobu {
namespace {

using Bytes = std::vector<uint8_t>;

const std::vector<std::string> kNames = {"unifont.bin", "logo.rgba", "notes", "absent"};

Bytes realPackage() {
    std::vector<Glyph> glyphs(3);
    glyphs[0].codePoint = 'A';
    glyphs[0].bitmap = {0, 0, 0, 0, 0x18, 0x24, 0x24, 0x42, 0x42, 0x7E, 0x42, 0x42, 0x42, 0x42};
    glyphs[1].codePoint = 0x65E5;
    glyphs[1].width = 16;
    glyphs[1].bitmap.fill(0x10);
    glyphs[2].codePoint = 0xFFFD;
    glyphs[2].bitmap.fill(0x7E);
    Bytes logo = {6, 0, 0, 0, 3, 0, 0, 0};
    for (int i = 0; i < 6 * 3; ++i) {
        const Bytes pixel = i % 4 == 0 ? Bytes{0, 0, 0, 0} : Bytes{255, 200, uint8_t(i * 9), 255};
        logo.insert(logo.end(), pixel.begin(), pixel.end());
    }
    Bytes notes(300, 'n');
    for (size_t i = 0; i < notes.size(); i += 7) notes[i] = uint8_t(i);
    return vobupack::writePackage(
        {{"unifont.bin", encodeUnifontGlyphs(glyphs)}, {"logo.rgba", logo}, {"notes", notes}});
}

Bytes mutate(Bytes package, std::mt19937& random) {
    const int edits = 1 + int(random() % 4);
    for (int e = 0; e < edits; ++e) {
        const size_t at = package.empty() ? 0 : random() % package.size();
        switch (random() % 7) {
            case 0:  // flip one bit
                if (!package.empty()) package[at] ^= uint8_t(1u << (random() % 8));
                break;
            case 1: {  // a boundary byte
                const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0x81, 0xFF};
                if (!package.empty()) package[at] = values[random() % 6];
                break;
            }
            case 2: {  // a boundary 32-bit word, often over a directory field
                const uint32_t words[] = {0,
                                          1,
                                          64,
                                          65,
                                          128,
                                          129,
                                          16777216,
                                          16777217,
                                          0x7FFFFFFF,
                                          0xFFFFFFFF,
                                          uint32_t(package.size()),
                                          uint32_t(package.size() + 1)};
                const uint32_t word = words[random() % 12];
                const size_t where = random() % 2 ? random() % 64 : at;
                for (int b = 0; b < 4 && where + b < package.size(); ++b) package[where + b] = uint8_t(word >> (8 * b));
                break;
            }
            case 3:  // cut the file short
                package.resize(at);
                break;
            case 4:  // grow it
                package.insert(package.end(), random() % 40, uint8_t(random()));
                break;
            case 5:  // drop a span
                package.erase(package.begin() + std::ptrdiff_t(at),
                              package.begin() + std::ptrdiff_t(std::min(package.size(), at + 1 + random() % 8)));
                break;
            default:  // insert a span
                package.insert(package.begin() + std::ptrdiff_t(at), 1 + random() % 8, uint8_t(random()));
                break;
        }
    }
    return package;
}

TEST(AssetPackageMutation, EveryMutantReadsOrFailsWithTheCode) {
    const Bytes original = realPackage();
    for (const std::string& name : {std::string("unifont.bin"), std::string("logo.rgba"), std::string("notes")}) {
        std::istringstream stream = testing::asStream(original);
        ASSERT_NO_THROW(readPackagedAsset(stream, name)) << name;
    }
    std::mt19937 random(20261210);
    size_t read = 0;
    size_t refused = 0;
    for (int round = 0; round < 50000; ++round) {
        const Bytes mutant = mutate(original, random);
        for (const std::string& name : kNames) {
            std::istringstream stream = testing::asStream(mutant);
            try {
                const Bytes bytes = readPackagedAsset(stream, name);
                ASSERT_LE(bytes.size(), kPackageMaxEntryBytes);
                ++read;
            } catch (const std::runtime_error& error) {
                ASSERT_STREQ(error.what(), "ERR_ASSET_PACKAGE") << "round " << round << " " << name;
                ++refused;
            }
        }
    }
    // Both outcomes must actually occur, or the mutations miss the format.
    EXPECT_GT(read, 1000u);
    EXPECT_GT(refused, 1000u);
}

}  // namespace
}  // namespace vobu
