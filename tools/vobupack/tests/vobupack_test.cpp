#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "app/asset_package.h"
#include "logo.h"
#include "package_writer.h"
#include "ui/font.h"
#include "unifont_hex.h"

namespace vobupack {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes repeated(size_t n, uint8_t value) { return Bytes(n, value); }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes alternating(size_t n) {
    Bytes out;
    for (size_t i = 0; i < n; ++i) out.push_back(uint8_t('A' + i % 2));
    return out;
}

struct PackCase {
    const char* name;
    Bytes input;
    Bytes packed;
};

TEST(PackRunLength, KnownInputsGiveTheShortestPackets) {
    const PackCase cases[] = {
        {"empty", {}, {}},
        {"one byte", {0x41}, {0x00, 0x41}},
        {"pair stays literal", {0x41, 0x41}, {0x01, 0x41, 0x41}},
        {"run of three", repeated(3, 0x41), {0x82, 0x41}},
        {"longest run", repeated(128, 0x41), {0xFF, 0x41}},
        {"run past one packet", repeated(129, 0x41), {0xFF, 0x41, 0x00, 0x41}},
        {"run then literal", concat({repeated(4, 7), {1, 2}}), {0x83, 7, 0x01, 1, 2}},
        {"literal then run", concat({{1, 2}, repeated(5, 9)}), {0x01, 1, 2, 0x84, 9}},
        {"literal of 128", alternating(128), concat({{0x7F}, alternating(128)})},
        {"literal of 129", alternating(129), concat({{0x7F}, alternating(128), {0x00, 'A'}})},
    };
    for (const PackCase& c : cases) {
        EXPECT_EQ(packRunLength(c.input), c.packed) << c.name;
        EXPECT_EQ(vobu::unpackRunLength(c.packed, uint32_t(c.input.size())), c.input) << c.name;
    }
}

TEST(PackRunLength, RandomRunsRoundTripThroughTheClientsUnpacker) {
    std::mt19937 random(1234);
    for (int round = 0; round < 200; ++round) {
        Bytes input;
        const size_t pieces = random() % 40;
        for (size_t i = 0; i < pieces; ++i) {
            const size_t length = random() % 300;
            const bool run = random() % 2;
            const uint8_t value = uint8_t(random() % 4);
            for (size_t j = 0; j < length; ++j) input.push_back(run ? value : uint8_t(random()));
        }
        const Bytes packed = packRunLength(input);
        // Worst case: one control byte per 128 literals.
        EXPECT_LE(packed.size(), input.size() + (input.size() + 127) / 128);
        ASSERT_EQ(vobu::unpackRunLength(packed, uint32_t(input.size())), input) << "round " << round;
    }
}

TEST(WritePackage, EveryEntryReadsBackThroughTheClientsReader) {
    std::mt19937 random(99);
    Bytes big(1 << 20);
    for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i / 1000 % 3 == 0 ? 0 : random());
    const std::vector<PackageEntry> entries = {
        {"unifont.bin", Bytes{'U', 'F', 'N', 'T', 0, 0, 0, 0}},
        {"empty", {}},
        {"big", big},
        {std::string(128, 'n'), repeated(1000, 0xEE)},
        {"logo.rgba", alternating(77)},
    };
    const Bytes package = writePackage(entries);
    std::istringstream stream(std::string(package.begin(), package.end()));
    for (const PackageEntry& entry : entries) {
        stream.clear();
        EXPECT_EQ(vobu::readPackagedAsset(stream, entry.name), entry.bytes) << entry.name;
    }
    stream.clear();
    EXPECT_THROW(vobu::readPackagedAsset(stream, "absent"), std::runtime_error);
}

TEST(WritePackage, RefusesWhatTheReaderWouldRefuse) {
    const std::vector<std::vector<PackageEntry>> refused = {
        {},
        std::vector<PackageEntry>(65, PackageEntry{"x", {1}}),
        {{"", {1}}},
        {{std::string(129, 'n'), {1}}},
        {{"huge", Bytes(16777217, 0)}},
    };
    for (const auto& entries : refused) {
        EXPECT_THROW(writePackage(entries), std::runtime_error) << entries.size();
    }
    EXPECT_NO_THROW(writePackage(std::vector<PackageEntry>(64, PackageEntry{"x", {1}})));
}

std::string const kA = "0041:0000000018242442427E424242420000";
std::string const kFffd = "FFFD:0000007E665A5A7A76767E76767E0000";
std::string const kSun = "65E5:00001FF0101010101010101010101FF01010101010101010101010101FF01010";

std::vector<vobu::Glyph> readHex(const std::string& text) {
    std::istringstream in(text);
    return readUnifontHex(in);
}

TEST(ReadUnifontHex, ParsesNarrowAndWideGlyphsInAscendingOrder) {
    const std::vector<vobu::Glyph> glyphs = readHex(kFffd + "\r\n" + kSun + "\n" + kA + "\n\n");
    ASSERT_EQ(glyphs.size(), 3u);
    EXPECT_EQ(glyphs[0].codePoint, 0x41u);
    EXPECT_EQ(glyphs[0].width, 8);
    EXPECT_EQ(glyphs[0].bitmap[4], 0x18);
    EXPECT_EQ(glyphs[0].bitmap[16], 0);  // narrow glyphs use 16 bytes
    EXPECT_TRUE(glyphs[0].inked(3, 4));
    EXPECT_FALSE(glyphs[0].inked(2, 4));
    EXPECT_EQ(glyphs[1].codePoint, 0x65E5u);
    EXPECT_EQ(glyphs[1].width, 16);
    EXPECT_EQ(glyphs[1].bitmap[2], 0x1F);
    EXPECT_EQ(glyphs[1].bitmap[3], 0xF0);
    EXPECT_TRUE(glyphs[1].inked(3, 1));
    EXPECT_FALSE(glyphs[1].inked(2, 1));
    EXPECT_EQ(glyphs[2].codePoint, 0xFFFDu);
    EXPECT_EQ(glyphs[2].width, 8);
}

TEST(ReadUnifontHex, RefusesBrokenFiles) {
    struct Case {
        const char* name;
        std::string text;
        const char* message;
    } const cases[] = {
        {"no replacement glyph", kA + "\n", "U+FFFD"},
        {"repeated code point", kA + "\n" + kFffd + "\n" + kA + "\n", "line 3"},
        {"31 digits",
         kFffd + "\n0041:000000001824244242"
                 "7E42424242000\n",
         "line 2"},
        {"no colon", kFffd + "\n0041\n", "line 2"},
        {"not hex", kFffd + "\n00G1:0000000018242442427E424242420000\n", "line 2"},
        {"bitmap not hex", kFffd + "\n0041:Z000000018242442427E424242420000\n", "line 2"},
        {"beyond unicode", kFffd + "\n110000:0000000018242442427E424242420000\n", "line 2"},
    };
    for (const Case& c : cases) {
        try {
            readHex(c.text);
            ADD_FAILURE() << c.name << ": accepted";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << c.name << ": " << error.what();
        }
    }
}

vobu::Font realFont() {
    std::ifstream hex(VOBU_UNIFONT_HEX);
    vobu::Font font;
    font.load(vobu::encodeUnifontGlyphs(readUnifontHex(hex)));
    return font;
}

TEST(Logo, FitsTheTitleBandWithTransparentSurroundings) {
    const LogoImage logo = drawLogo(realFont(), "VobuGame");
    EXPECT_LE(logo.width, kLogoMaxWidth);
    EXPECT_LE(logo.height, kLogoMaxHeight);
    EXPECT_GE(logo.width, 400);  // large glyphs, not a thumbnail
    ASSERT_EQ(logo.pixels.size(), size_t(logo.width) * logo.height * 4);
    auto alpha = [&](int x, int y) { return logo.pixels[(size_t(y) * logo.width + x) * 4 + 3]; };
    EXPECT_EQ(alpha(0, 0), 0);
    EXPECT_EQ(alpha(logo.width - 1, 0), 0);
    EXPECT_EQ(alpha(0, logo.height - 1), 0);
    size_t opaque = 0;
    for (int y = 0; y < logo.height; ++y) {
        for (int x = 0; x < logo.width; ++x) opaque += alpha(x, y) == 255;
    }
    EXPECT_GT(opaque, size_t(logo.width) * logo.height / 5);

    const Bytes entry = encodeLogo(logo);
    ASSERT_EQ(entry.size(), 8 + logo.pixels.size());
    EXPECT_EQ(entry[0] | entry[1] << 8, logo.width);
    EXPECT_EQ(entry[4] | entry[5] << 8, logo.height);
}

// The package the build wrote beside the binaries, read the way the client
// reads it (this test runs from the same folder).
TEST(BuiltPackage, HoldsTheConvertedGlyphsAndTheLogo) {
    std::ifstream hex(VOBU_UNIFONT_HEX);
    const Bytes expected = vobu::encodeUnifontGlyphs(readUnifontHex(hex));
    const Bytes table = vobu::loadPackagedAsset("unifont.bin");
    ASSERT_EQ(table, expected);
    vobu::Font font;
    font.load(table);
    EXPECT_EQ(font.glyph(0xFFFD).codePoint, 0xFFFDu);
    EXPECT_EQ(font.glyph(0x65E5).width, 16);  // a CJK ideograph
    EXPECT_EQ(font.glyph('A').width, 8);

    const Bytes logo = vobu::loadPackagedAsset("logo.rgba");
    ASSERT_GE(logo.size(), 8u);
    const uint32_t width = logo[0] | logo[1] << 8 | logo[2] << 16 | uint32_t(logo[3]) << 24;
    const uint32_t height = logo[4] | logo[5] << 8 | logo[6] << 16 | uint32_t(logo[7]) << 24;
    EXPECT_LE(width, uint32_t(kLogoMaxWidth));
    EXPECT_LE(height, uint32_t(kLogoMaxHeight));
    EXPECT_EQ(logo.size(), 8 + size_t(width) * height * 4);
}

}  // namespace
}  // namespace vobupack
