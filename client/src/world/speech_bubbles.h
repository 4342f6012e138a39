#pragma once
// Chat lines rising as speech bubbles above their speaker for seven
// seconds, at most three a speaker, the newest at the bottom. A new bubble
// stays hidden until the older ones have risen out of its way.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ui/label_sprite.h"
#include "ui/plot.h"

namespace vobu {

class Font;
class Graphics;

inline constexpr double kBubbleLifeMs = 7000.0;
inline constexpr size_t kMaxBubbles = 3;
inline constexpr int kBubbleTextWidth = 176;
// Label pixels per world unit of bubbles and signs: 80.
inline constexpr float kLabelWorldScale = 0.0125f;
inline constexpr LabelRgb kWhisperColor = {220, 142, 210};

struct Bubble {
    uint32_t texture = 0;
    LabelSprite sprite;
    double createdMs = 0;  // the chat line's receive time
    float offset = 0;      // world units above the stack's base
    bool shown = false;
};

struct ChatBubbles {
    std::vector<Bubble> bubbles;  // oldest first
    uint32_t updateCount = 0;
    double gatheredTime = 0;  // seconds since the last settling step

    void add(Graphics& graphics, const Font& font, const std::string& text, double createdMs, const LabelRgb* color);
    void update(Graphics& graphics, double nowMs, double dt);
    // Draws the shown bubbles above `base`, oldest first.
    void draw(Graphics& graphics, double nowMs, const std::array<float, 3>& base, const std::array<float, 3>& right,
              const std::array<float, 3>& up, const PlotFunction& plot) const;
    // Deletes every texture and empties the stack.
    void release(Graphics& graphics);

    // Where each bubble settles: the newest at 0, each older one above all
    // newer ones.
    std::vector<float> targets() const;
};

// At most three lines wrapped at 176 pixels, colour codes shown as typed;
// a longer text ends its third line in "...".
LabelSprite layoutBubbleText(const Font& font, const std::string& text, std::optional<LabelRgb> color);

}  // namespace vobu
