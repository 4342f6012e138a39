#pragma once
// UTF-8 for display and for untrusted names: decoding that never fails,
// encoding, cleaning, and the classes of code points the text layout needs.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vobu {

inline constexpr uint32_t kReplacement = 0xFFFD;

// ---- UTF-8 decoding for display -------------------------------------------
// Every malformed unit becomes exactly one U+FFFD: a stray byte alone; a
// sequence cut short by a non-continuation byte up to (not including) that
// byte; a sequence cut short by the end of the text as a whole; an overlong
// form, a surrogate or a value above U+10FFFF as the whole sequence.

struct Utf8Unit {
    uint32_t codePoint = 0;  // U+FFFD when malformed
    size_t length = 0;       // bytes consumed, at least 1 unless at the end
    bool valid = false;      // false when the unit was malformed
};

// Decodes the unit that starts at byte `pos` (pos < text.size()).
Utf8Unit decodeUtf8At(std::string_view text, size_t pos);

// All code points of a text, malformed units as U+FFFD.
std::vector<uint32_t> decodeUtf8(std::string_view text);

// Appends the UTF-8 form of a code point (no checks: callers pass valid ones).
void appendUtf8(std::string& out, uint32_t codePoint);

// Cleans untrusted text: keeps at most maxCodePoints valid code points and
// drops control bytes, DEL, C1 controls, U+FFFD and every malformed unit.
std::string sanitizeUtf8(const std::string& text, int maxCodePoints);

// A byte below 0x20 or DEL anywhere: such text is shown one way and acted on
// another (a terminal, a C string, a protocol line stop at it).
bool hasControlByte(std::string_view text);

// Drawn over the previous glyph with no width of their own.
bool isCombiningMark(uint32_t codePoint);

// Spaces at which word wrapping may break (line feeds do not force a break).
bool isWrapSpace(uint32_t codePoint);

}  // namespace vobu
