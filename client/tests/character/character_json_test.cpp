#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>
#include <mbedtls/sha256.h>
#include <nlohmann/json.hpp>

#include "character/character_json.h"
#include "character/face_codec.h"

namespace vobu {
namespace {

using nlohmann::json;

std::string sha256Of(const std::string& text) {
    unsigned char digest[32];
    mbedtls_sha256_ret(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest, 0);
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : digest) {
        out += hex[byte >> 4];
        out += hex[byte & 15];
    }
    return out;
}

std::string errorOf(const std::string& text, bool strict) {
    try {
        decodeCharacterJson(text, strict);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

std::string fixture(const char* name) {
    std::ifstream in(std::string(VOBU_SOURCE_DIR) + "/client/tests/character/fixtures/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every texel different, so a misplaced texel shows.
Character patterned(int w, int h, int d) {
    Character c;
    c.id = "Abc-123_z";
    c.name = "Zoë";
    c.setSize(w, h, d);
    for (int i = 0; i < kFaceCount; ++i) {
        for (int t = 0; t < kFaceCanvasTexels; ++t) {
            c.faces[i][t] = (uint32_t(i) << 20) ^ (uint32_t(t) * 2654435761u >> 8);
        }
    }
    return c;
}

// A network document with the given members replaced.
std::string networkDocument(const json& changes) {
    json doc = json::parse(encodeCharacterJsonRle(patterned(32, 64, 32)));
    doc.merge_patch(changes);
    return doc.dump();
}

uint32_t legacyTexel(int face, int x, int y) { return expandRgb332(uint8_t((7 * x + 3 * y + 11 * face) % 256)); }

TEST(CharacterDocument, DefaultCharacterGoldenBytes) {
    std::string const face = "\"" + [] {
        std::string s;
        for (int i = 0; i < 4096; ++i) s += "ffdbaa";
        return s;
    }() + "\"";
    std::string storage = "{\"canvasSize\":64,\"faces\":[" + face + "," + face + "," + face + "," + face + "," + face +
                          "," + face + "],\"format\":\"rgb24\",\"id\":\"\",\"name\":\"Vobu\",\"size\":[32,64,32]}";
    std::string network =
        "{\"faceScale\":1,\"faces\":[\"r0800ffdbaa\",\"r0800ffdbaa\",\"r0800ffdbaa\",\"r0800ffdbaa\","
        "\"r0400ffdbaa\",\"r0400ffdbaa\"],\"format\":\"rgb24-rle\",\"id\":\"\",\"name\":\"Vobu\","
        "\"size\":[32,64,32]}";
    Character c;
    EXPECT_EQ(encodeCharacterJson(c), storage);
    EXPECT_EQ(encodeCharacterJsonRle(c), network);
    EXPECT_EQ(sha256Of(encodeCharacterJson(c)), "0765188fa8fbfe03fe388000392ebf31da46c4bab8f9d07e2943fcd1b4cb14c3");
    EXPECT_EQ(sha256Of(encodeCharacterJsonRle(c)), "9dc8b6670c651dd44af2c1503270c3c1e8f4354587d259ca496222b39fcc4685");
}

TEST(CharacterDocument, StorageRoundTripKeepsWholeCanvases) {
    Character c = patterned(17, 63, 40);
    Character back = decodeCharacterJson(encodeCharacterJson(c), false);
    EXPECT_EQ(back.id, c.id);
    EXPECT_EQ(back.name, c.name);
    EXPECT_EQ(std::tie(back.width, back.height, back.depth), std::tie(c.width, c.height, c.depth));
    for (int i = 0; i < kFaceCount; ++i) {
        ASSERT_EQ(back.faces[i], c.faces[i]) << "face " << i;
    }
    EXPECT_EQ(encodeCharacterJson(back), encodeCharacterJson(c));
}

TEST(CharacterDocument, NetworkFormCutsFacesAndAlwaysSaysScaleOne) {
    Character c = patterned(32, 64, 32);
    c.faceScale = 4;
    json doc = json::parse(encodeCharacterJsonRle(c));
    EXPECT_EQ(doc["faceScale"], 1);
    EXPECT_EQ(doc["format"], "rgb24-rle");
    EXPECT_EQ(decodeFace(doc["faces"][0].get<std::string>(), 2048).size(), 2048u);
    EXPECT_EQ(decodeFace(doc["faces"][4].get<std::string>(), 1024)[33], c.faces[4][64 + 1]);

    Character back = decodeCharacterJson(doc.dump(), true);
    EXPECT_EQ(back.faceScale, 1);
    for (int i = 0; i < kFaceCount; ++i) {
        auto [w, h] = c.faceSize(i);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                uint32_t want = (x < w && y < h) ? c.faces[i][y * 64 + x] : 0xFFDBAAu;
                ASSERT_EQ(back.faces[i][y * 64 + x], want) << i << ":" << x << "," << y;
            }
        }
    }
}

TEST(CharacterDocument, ScaledNetworkFacesFillBlocks) {
    // A 32 x 64 Front face at faceScale 2 is a grid of 16 x 32 texels.
    std::vector<uint32_t> grid(16 * 32);
    for (size_t i = 0; i < grid.size(); ++i) grid[i] = uint32_t(i) * 977u;
    json faces = json::array();
    for (int i = 0; i < kFaceCount; ++i) {
        int count = i >= 4 ? 16 * 16 : 16 * 32;
        faces.push_back(i == 0 ? encodeFace(grid) : encodeFace(std::vector<uint32_t>(count, 1)));
    }
    Character c = decodeCharacterJson(networkDocument({{"faceScale", 2}, {"faces", faces}}), true);
    EXPECT_EQ(c.faceScale, 2);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 32; ++x) {
            ASSERT_EQ(c.faces[0][y * 64 + x], grid[(y / 2) * 16 + x / 2]);
        }
    }
    EXPECT_EQ(c.faces[0][32], 0xFFDBAAu);  // outside the face
    // A grid of the full-size count is refused.
    faces[0] = encodeFace(std::vector<uint32_t>(2048, 1));
    EXPECT_EQ(errorOf(networkDocument({{"faceScale", 2}, {"faces", faces}}), true), "Invalid color run");
}

TEST(CharacterDocument, StrictAdmission) {
    struct Case {
        json changes;
        const char* error;
    };
    std::string const longName = "abcdefghijklmnopqrstuvwxy";  // 25 code points
    const Case cases[] = {
        {json::object(), "(no error)"},
        {{{"name", "ÄÖÜäöüßÄÖÜäöüßÄÖÜäöüßÄÖÜ"}}, "(no error)"},  // 24 code points
        {{{"id", std::string(64, 'a')}}, "(no error)"},
        {{{"name", longName}}, "ERR_BAD_CHARACTER"},
        {{{"name", "a\tb"}}, "ERR_BAD_CHARACTER"},
        {{{"name", ""}}, "ERR_BAD_CHARACTER"},
        {{{"name", "bad \xEF\xBF\xBD"}}, "ERR_BAD_CHARACTER"},
        {{{"id", "a.b"}}, "ERR_BAD_CHARACTER"},
        {{{"id", ""}}, "ERR_BAD_CHARACTER"},
        {{{"id", std::string(65, 'a')}}, "ERR_BAD_CHARACTER"},
        {{{"size", {32, 64, 32, 1}}}, "ERR_BAD_CHARACTER"},
        {{{"size", {32.5, 64, 32}}}, "ERR_BAD_CHARACTER"},
        {{{"size", {15, 64, 32}}}, "ERR_BAD_CHARACTER"},
        {{{"size", {100, 64, 32}}}, "ERR_BAD_CHARACTER"},
        {{{"format", "rgb24"}}, "ERR_BAD_SKIN_FORMAT"},
        {{{"format", nullptr}}, "ERR_BAD_SKIN_FORMAT"},  // merge_patch removes the key
        {{{"canvasSize", 64}}, "ERR_BAD_SKIN_FORMAT"},
        {{{"canvasSize", 32}}, "Invalid canvas size"},
        {{{"format", "rgb16"}}, "Invalid pixel format"},
        {{{"faceScale", 3}}, "Invalid face scale"},
        {{{"size", {0, 64, 32}}}, "Invalid character size"},
        {{{"faces", {"p", "p", "p", "p", "p"}}}, "Invalid character size"},
        // Order: the character rules come before the canvas and format checks.
        {{{"id", "a.b"}, {"canvasSize", 32}}, "ERR_BAD_CHARACTER"},
        {{{"canvasSize", 32}, {"format", "rgb24"}}, "Invalid canvas size"},
        {{{"format", "rgb24"}, {"faceScale", 3}}, "ERR_BAD_SKIN_FORMAT"},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(errorOf(networkDocument(k.changes), true), k.error) << k.changes.dump();
    }
    Character anonymous;  // the default character has no id
    EXPECT_EQ(errorOf(encodeCharacterJsonRle(anonymous), true), "ERR_BAD_CHARACTER");
}

TEST(CharacterDocument, StrictByteLimitComesFirst) {
    std::string doc = networkDocument(json::object());
    std::string padded = doc;
    padded.insert(padded.size() - 1, std::string(163841 - doc.size(), ' '));
    ASSERT_EQ(padded.size(), 163841u);
    EXPECT_EQ(errorOf(padded, true), "ERR_SKIN_BYTES");
    EXPECT_EQ(errorOf(padded, false), "(no error)");
    padded.pop_back();
    padded.back() = '}';
    EXPECT_EQ(errorOf(padded, true), "(no error)");
    EXPECT_EQ(errorOf(std::string(163841, '{'), true), "ERR_SKIN_BYTES");
}

TEST(CharacterDocument, LenientAdmission) {
    Character wide = patterned(64, 64, 32);
    json storage = json::parse(encodeCharacterJson(wide));
    struct Case {
        json changes;
        const char* error;
    };
    const Case cases[] = {
        {json::object(), "(no error)"},
        {{{"name", ""}, {"id", "a.b"}}, "(no error)"},
        {{{"size", {16, 64, 32, 99}}}, "(no error)"},
        {{{"size", {true, 64.9, 32}}}, "(no error)"},
        {{{"extra", "ignored"}, {"version", 7}}, "(no error)"},
        {{{"size", {0, 64, 32}}}, "Invalid character size"},
        {{{"size", {129, 64, 32}}}, "Invalid character size"},
        {{{"size", {-1, 64, 32}}}, "Invalid character size"},
        {{{"faces", {"", "", "", "", ""}}}, "Invalid character size"},
        {{{"faces", "abc"}}, "Invalid character size"},
        {{{"canvasSize", 32}}, "Invalid canvas size"},
        {{{"format", "rgb16"}}, "Invalid pixel format"},
        {{{"faceScale", 2}}, "Invalid face scale"},  // whole canvases take scale 1 only
        {{{"faceScale", 0}}, "Invalid face scale"},
        {{{"format", nullptr}}, "Invalid face dimensions"},  // six digits where two are due
    };
    for (const Case& k : cases) {
        json doc = storage;
        doc.merge_patch(k.changes);
        EXPECT_EQ(errorOf(doc.dump(), false), k.error) << k.changes.dump();
    }
}

TEST(CharacterDocument, OutOfRangeNumbersAreRefusedNotWrapped) {
    json storage = json::parse(encodeCharacterJson(patterned(32, 64, 32)));
    struct Case {
        const char* member;
        const char* value;
        const char* error;
    };
    const Case cases[] = {
        {"size", "[4294967312,64,32]", "Invalid character size"},  // 2^32 + 16
        {"size", "[1e300,64,32]", "Invalid character size"},
        {"size", "[-1e300,64,32]", "Invalid character size"},
        {"size", "[18446744073709551615,64,32]", "Invalid character size"},
        {"size", "[-9223372036854775808,64,32]", "Invalid character size"},
        {"size", "[32,2147483648,32]", "Invalid character size"},
        {"canvasSize", "4294967360", "Invalid canvas size"},  // 2^32 + 64
        {"canvasSize", "1e300", "Invalid canvas size"},
        {"faceScale", "4294967297", "Invalid face scale"},  // 2^32 + 1
        {"faceScale", "-1e19", "Invalid face scale"},
    };
    for (const Case& k : cases) {
        json doc = storage;
        doc[k.member] = json::parse(k.value);
        EXPECT_EQ(errorOf(doc.dump(), false), k.error) << k.member << " " << k.value;
        EXPECT_EQ(errorOf(networkDocument({{k.member, json::parse(k.value)}}), true), k.error)
            << k.member << " " << k.value;
    }
}

TEST(CharacterDocument, LibraryErrorsForMalformedMembers) {
    // Missing members and wrong types keep the JSON library's own errors.
    json storage = json::parse(encodeCharacterJson(Character()));
    for (const char* member : {"id", "name", "size", "faces"}) {
        json doc = storage;
        doc.erase(member);
        EXPECT_THROW(decodeCharacterJson(doc.dump(), false), json::out_of_range) << member;
    }
    struct Case {
        const char* member;
        json value;
    };
    for (const Case& k : {Case{"id", 5}, Case{"name", nullptr}, Case{"size", "big"}, Case{"size", {"a", 1, 2}},
                          Case{"canvasSize", "64"}, Case{"format", 1}}) {
        json doc = storage;
        doc[k.member] = k.value;
        EXPECT_THROW(decodeCharacterJson(doc.dump(), false), json::type_error) << k.member;
    }
    json shortSize = storage;
    shortSize["size"] = {32, 64};
    EXPECT_THROW(decodeCharacterJson(shortSize.dump(), false), json::out_of_range);
    json numericFace = storage;
    numericFace["faces"][3] = 7;
    EXPECT_THROW(decodeCharacterJson(numericFace.dump(), false), json::type_error);
    EXPECT_THROW(decodeCharacterJson("{\"id\":", false), json::parse_error);
    EXPECT_THROW(decodeCharacterJson("[1,2]", false), json::type_error);
    EXPECT_THROW(decodeCharacterJson("{} // comment", false), json::parse_error);
}

TEST(CharacterDocument, OversizedCutFacesAreFitted) {
    // A 100 x 64 x 32 character with cut "rgb24" faces: the Front grid is
    // 100 texels wide and its columns 0..63 are kept.
    json faces = json::array();
    for (int i = 0; i < kFaceCount; ++i) {
        int w = (i == 2 || i == 3) ? 32 : 100;
        int h = (i >= 4) ? 32 : 64;
        std::vector<uint32_t> grid(size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) grid[size_t(y) * w + x] = uint32_t(i * 100000 + y * 128 + x);
        faces.push_back(encodeFacePlain(grid));
    }
    json doc{{"faces", faces}, {"format", "rgb24"}, {"id", "w"}, {"name", "Wide"}, {"size", {100, 64, 32}}};
    Character c = decodeCharacterJson(doc.dump(), false);
    EXPECT_EQ(std::tie(c.width, c.height, c.depth), std::make_tuple(64, 64, 32));
    EXPECT_EQ(c.faces[0][5 * 64 + 63], uint32_t(5 * 128 + 63));
    EXPECT_EQ(c.faces[4][31 * 64 + 10], uint32_t(400000 + 31 * 128 + 10));
    EXPECT_EQ(c.faces[4][32 * 64 + 10], 0xFFDBAAu);  // below the Top face
    EXPECT_EQ(errorOf(doc.dump(), true), "ERR_BAD_CHARACTER");

    // Objects count as six entries too, taken in key order.
    json asObject = doc;
    asObject["faces"] = json::object();
    for (int i = 0; i < kFaceCount; ++i) asObject["faces"][std::string(1, char('a' + i))] = faces[i];
    Character o = decodeCharacterJson(asObject.dump(), false);
    EXPECT_EQ(o.faces, c.faces);
}

TEST(CharacterDocument, LegacyPaletteForms) {
    Character cut = decodeCharacterJson(fixture("legacy_cut.json"), false);
    EXPECT_EQ(cut.id, "legacy-cut");
    EXPECT_EQ(std::tie(cut.width, cut.height, cut.depth), std::make_tuple(20, 24, 18));
    for (int i = 0; i < kFaceCount; ++i) {
        auto [w, h] = cut.faceSize(i);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                ASSERT_EQ(cut.faces[i][y * 64 + x], (x < w && y < h) ? legacyTexel(i, x, y) : 0xFFDBAAu)
                    << i << ":" << x << "," << y;
    }
    Character canvas = decodeCharacterJson(fixture("legacy_canvas.json"), false);
    EXPECT_EQ(std::tie(canvas.width, canvas.height, canvas.depth), std::make_tuple(16, 40, 16));
    for (int i = 0; i < kFaceCount; ++i)
        for (int t = 0; t < kFaceCanvasTexels; ++t) ASSERT_EQ(canvas.faces[i][t], legacyTexel(i, t % 64, t / 64));
    EXPECT_EQ(errorOf(fixture("legacy_cut.json"), true), "ERR_BAD_SKIN_FORMAT");
    EXPECT_EQ(errorOf(fixture("legacy_canvas.json"), true), "ERR_BAD_SKIN_FORMAT");
}

TEST(CharacterDocument, InvalidUtf8NameMakesTheWriterThrow) {
    Character c;
    c.name = "bad \xC3";
    EXPECT_THROW(encodeCharacterJson(c), json::type_error);
    EXPECT_THROW(encodeCharacterJsonRle(c), json::type_error);
}

}  // namespace
}  // namespace vobu
