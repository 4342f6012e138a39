#pragma once

#include <cstdint>

// The toolkit's colours in canvas notation 0xAABBGGRR. Screens use the same
// names so that every control of the client looks alike.
namespace vobu::palette {

inline constexpr uint32_t kBodyText = 0xff9694a8;
inline constexpr uint32_t kHighlightText = 0xffa9bdce;
inline constexpr uint32_t kDisabledText = 0xff645a73;
inline constexpr uint32_t kSelection = 0xff4a375f;
inline constexpr uint32_t kBevelLight = 0xff74678b;
inline constexpr uint32_t kBevelDark = 0xff0f0217;
inline constexpr uint32_t kButtonFace = 0xff362646;
inline constexpr uint32_t kButtonHover = 0xff47375a;
inline constexpr uint32_t kButtonPressed = 0xff332243;
inline constexpr uint32_t kFocusRing = kHighlightText;
inline constexpr uint32_t kListBackground = 0xff14041e;
inline constexpr uint32_t kListTrack = 0xff1a0427;
inline constexpr uint32_t kScreenBackground = 0xff1a0427;
inline constexpr uint32_t kFieldBackground = 0xff14041e;
inline constexpr uint32_t kFieldSelection = 0xff533f69;

}  // namespace vobu::palette
