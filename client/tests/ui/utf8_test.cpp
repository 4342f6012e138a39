#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/utf8.h"

namespace vobu {
namespace {

constexpr uint32_t R = 0xFFFD;

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::vector<uint32_t> codePoints;
};

// Each malformed unit gives exactly one U+FFFD; a decoder that follows the
// "maximal subpart" rule of other libraries gives three for an overlong
// three-byte form or a surrogate, which is wrong here.
TEST(Utf8Decode, VectorsTable) {
    std::vector<DecodeCase> cases = {
        {"ascii", "Az~", {'A', 'z', '~'}},
        {"two bytes", "\xC2\x80\xC3\xA9", {0x80, 0xE9}},
        {"three bytes", "\xE2\x82\xAC", {0x20AC}},
        {"four bytes", "\xF0\x9F\x98\x80", {0x1F600}},
        {"highest code point", "\xF4\x8F\xBF\xBF", {0x10FFFF}},
        {"replacement itself", "\xEF\xBF\xBD", {R}},
        {"stray continuation between letters",
         "A\x80"
         "B",
         {'A', R, 'B'}},
        {"lead at the end", "A\xC3", {'A', R}},
        {"three-byte lead cut by the end", "\xE2\x82", {R}},
        {"four-byte lead cut by the end", "\xF0\x9F\x98", {R}},
        {"C0 80 is two stray bytes", "\xC0\x80", {R, R}},
        {"C1 BF is two stray bytes", "\xC1\xBF", {R, R}},
        {"surrogate is one unit", "\xED\xA0\x80", {R}},
        {"low surrogate is one unit",
         "\xED\xBF\xBF"
         "a",
         {R, 'a'}},
        {"overlong three-byte form is one unit", "\xE0\x80\xAF", {R}},
        {"overlong four-byte form is one unit", "\xF0\x80\x80\x80", {R}},
        {"above U+10FFFF is one unit", "\xF4\x90\x80\x80", {R}},
        {"F5 and FF are stray", "\xF5\xFF", {R, R}},
        {"sequence cut by a letter resumes at the letter",
         "\xE2\x82"
         "A",
         {R, 'A'}},
        {"sequence cut by a new lead", "\xC3\xC3\xA9", {R, 0xE9}},
        {"four-byte cut after one continuation",
         "\xF0\x9F"
         "x",
         {R, 'x'}},
        {"empty", "", {}},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(decodeUtf8(c.bytes), c.codePoints) << c.name;
    }
}

TEST(Utf8Decode, UnitLengthsAndValidity) {
    struct Case {
        std::string bytes;
        size_t length;
        bool valid;
    };
    std::vector<Case> cases = {
        {"a", 1, true},
        {"\xC3\xA9", 2, true},
        {"\xE2\x82\xAC", 3, true},
        {"\xED\xA0\x80", 3, false},
        {"\xE0\x80\x80", 3, false},
        {"\xF4\x90\x80\x80", 4, false},
        {"\xE2\x82"
         "A",
         2, false},
        {"\xE2"
         "A",
         1, false},
        {"\xF0\x9F\x98", 3, false},
        {"\x80", 1, false},
    };
    for (const Case& c : cases) {
        Utf8Unit unit = decodeUtf8At(c.bytes, 0);
        EXPECT_EQ(unit.length, c.length) << testing::PrintToString(c.bytes);
        EXPECT_EQ(unit.valid, c.valid) << testing::PrintToString(c.bytes);
    }
}

TEST(Utf8Encode, RoundTripsThroughTheDecoder) {
    for (uint32_t cp : {0x00u, 0x41u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
        std::string bytes;
        appendUtf8(bytes, cp);
        Utf8Unit unit = decodeUtf8At(bytes, 0);
        EXPECT_EQ(unit.codePoint, cp);
        EXPECT_EQ(unit.length, bytes.size());
        EXPECT_TRUE(unit.valid);
    }
}

TEST(SanitizeUtf8, Table) {
    struct Case {
        const char* name;
        std::string in;
        int max;
        std::string out;
    };
    std::vector<Case> cases = {
        {"TAB between letters", "a\tb", 100, "ab"},
        {"line breaks", "a\nb\r\n", 100, "ab"},
        {"C1 control U+0085", "\xC2\x85", 100, ""},
        {"C1 range ends at U+009F, U+00A0 kept", "\xC2\x9F\xC2\xA0", 100, "\xC2\xA0"},
        {"DEL and NUL", std::string("x\x7F\0y", 4), 100, "xy"},
        {"cut to the code point limit", "abc", 2, "ab"},
        {"limit counts code points, not bytes", "\xF0\x9F\x98\x80\xC3\xA9z", 2, "\xF0\x9F\x98\x80\xC3\xA9"},
        {"zero limit", "abc", 0, ""},
        {"negative limit", "abc", -3, ""},
        {"U+FFFD dropped",
         "a\xEF\xBF\xBD"
         "b",
         100, "ab"},
        {"stray bytes",
         "\x80"
         "a\xC1\xF5\xFF",
         100, "a"},
        {"cut sequence resumes at the offending byte",
         "\xE2\x82"
         "A",
         100, "A"},
        {"sequence cut by the end", "ok\xE2\x82", 100, "ok"},
        {"overlong slash", "\xC0\xAF\xE0\x80\xAF", 100, ""},
        {"surrogate", "\xED\xA0\x80x", 100, "x"},
        {"above U+10FFFF", "\xF4\x90\x80\x80z", 100, "z"},
        {"valid text copied byte for byte", "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 100,
         "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"dropped units do not count toward the limit",
         "\x01\x02"
         "abc",
         2, "ab"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sanitizeUtf8(c.in, c.max), c.out) << c.name;
    }
}

TEST(CharacterClasses, CombiningMarksAndWrapSpaces) {
    for (uint32_t cp :
         {0x300u, 0x36Fu, 0x1AB0u, 0x1AFFu, 0x1DC0u, 0x1DFFu, 0x20D0u, 0x20FFu, 0x3099u, 0x309Au, 0xFE20u, 0xFE2Fu}) {
        EXPECT_TRUE(isCombiningMark(cp)) << std::hex << cp;
    }
    for (uint32_t cp : {0x2FFu, 0x370u, 0x1AAFu, 0x1B00u, 0x3098u, 0x309Bu, 0xFE1Fu, 0xFE30u, uint32_t('a')}) {
        EXPECT_FALSE(isCombiningMark(cp)) << std::hex << cp;
    }
    for (uint32_t cp : {0x9u, 0xAu, 0xDu, 0x20u, 0xA0u, 0x2000u, 0x200Au, 0x3000u}) {
        EXPECT_TRUE(isWrapSpace(cp)) << std::hex << cp;
    }
    for (uint32_t cp : {0xBu, 0xCu, 0x200Bu, 0x1FFFu, 0x2001Fu, uint32_t('x')}) {
        EXPECT_FALSE(isWrapSpace(cp)) << std::hex << cp;
    }
}

}  // namespace
}  // namespace vobu
