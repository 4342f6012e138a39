#include "world/speech_bubbles.h"

#include <algorithm>
#include <cmath>

#include "ui/font.h"
#include "ui/graphics.h"
#include "ui/text.h"

namespace vobu {

namespace {

constexpr float kBubbleGap = 0.08f;
constexpr double kSettleSpeed = 2.2;  // world units per second
constexpr uint32_t kSettleEvery = 6;
constexpr double kFadeStartMs = 6250.0;
constexpr double kFadeMs = 750.0;

// Bytes a UTF-8 lead byte announces; 0 for a byte that cannot lead.
size_t announcedLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// Removes the last code point; a byte that does not start a complete
// sequence counts as one.
void popCodePoint(std::string& text) {
    if (text.empty()) return;
    size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    const size_t length = announcedLength(static_cast<unsigned char>(text[start]));
    const bool complete = length == text.size() - start;
    text.erase(complete ? start : text.size() - 1);
}

}  // namespace

LabelSprite layoutBubbleText(const Font& font, const std::string& text, std::optional<LabelRgb> color) {
    std::vector<std::string> lines = wrapText(font, text, kBubbleTextWidth, kBubbleTextWidth, false);
    if (lines.size() > 3) {
        lines.resize(3);
        std::string& third = lines[2];
        while (!third.empty() && textWidth(font, third + "...", false) > kBubbleTextWidth) popCodePoint(third);
        third += "...";
    }
    return renderLabelLines(font, lines, color, false);
}

void ChatBubbles::add(Graphics& graphics, const Font& font, const std::string& text, double createdMs,
                      const LabelRgb* color) {
    if (bubbles.size() >= kMaxBubbles) {
        graphics.deleteTexture(bubbles.front().texture);
        bubbles.erase(bubbles.begin());
    }
    Bubble bubble;
    bubble.sprite = layoutBubbleText(font, text, color ? std::optional<LabelRgb>(*color) : std::nullopt);
    bubble.createdMs = createdMs;
    bubble.shown = bubbles.empty();
    bubble.texture = graphics.setTexture(bubble.sprite.textureWidth, bubble.sprite.textureHeight, bubble.sprite.pixels,
                                         0, true, false);
    bubbles.push_back(std::move(bubble));
}

std::vector<float> ChatBubbles::targets() const {
    std::vector<float> out(bubbles.size(), 0.0f);
    float above = 0;
    for (size_t i = bubbles.size(); i-- > 0;) {
        out[i] = above;
        above += float(bubbles[i].sprite.contentHeight) * kLabelWorldScale + kBubbleGap;
    }
    return out;
}

void ChatBubbles::update(Graphics& graphics, double nowMs, double dt) {
    for (size_t i = 0; i < bubbles.size();) {
        if (nowMs - bubbles[i].createdMs >= kBubbleLifeMs) {
            graphics.deleteTexture(bubbles[i].texture);
            bubbles.erase(bubbles.begin() + long(i));
        } else {
            ++i;
        }
    }
    const std::vector<float> target = targets();

    // Settling runs on every sixth update with the time gathered meanwhile.
    ++updateCount;
    gatheredTime += std::max(dt, 0.0);
    if (updateCount % kSettleEvery == 0) {
        const float step = float(gatheredTime * kSettleSpeed);
        gatheredTime = 0;
        for (size_t i = 0; i < bubbles.size(); ++i) {
            const float delta = target[i] - bubbles[i].offset;
            bubbles[i].offset += std::clamp(delta, -step, step);
        }
    }

    for (size_t i = 0; i < bubbles.size(); ++i) {
        if (bubbles[i].shown) continue;
        bool clear = true;
        for (size_t j = 0; j < i; ++j) clear = clear && std::fabs(bubbles[j].offset - target[j]) <= 0.0001f;
        if (i == 0 || clear) bubbles[i].shown = true;
        break;  // at most one bubble appears per update
    }
}

void ChatBubbles::draw(Graphics& graphics, double nowMs, const std::array<float, 3>& base,
                       const std::array<float, 3>& right, const std::array<float, 3>& up,
                       const PlotFunction& plot) const {
    const Color white{1, 1, 1};
    for (const Bubble& bubble : bubbles) {
        if (!bubble.shown) continue;
        // Over the last 750 ms of its life it fades and rises 0.3 units.
        const float f = float(std::clamp((nowMs - bubble.createdMs - kFadeStartMs) / kFadeMs, 0.0, 1.0));
        const float rise = 0.3f * f;
        const float w = float(bubble.sprite.contentWidth) * kLabelWorldScale;
        const float h = float(bubble.sprite.contentHeight) * kLabelWorldScale;
        const float bottom = bubble.offset + rise;
        auto corner = [&](float along, float lift, float u, float v) {
            Vertex vertex = plot(base[0] + along * right[0] + lift * up[0], base[1] + along * right[1] + lift * up[1],
                                 base[2] + along * right[2] + lift * up[2], white);
            vertex.u = u;
            vertex.v = v;
            return vertex;
        };
        const LabelSprite& s = bubble.sprite;
        const Vertex lowerLeft = corner(-w / 2, bottom, 0, s.vMax);
        const Vertex lowerRight = corner(w / 2, bottom, s.uMax, s.vMax);
        const Vertex upperRight = corner(w / 2, bottom + h, s.uMax, 0);
        const Vertex upperLeft = corner(-w / 2, bottom + h, 0, 0);
        graphics.drawTriangles({lowerLeft, lowerRight, upperRight, lowerLeft, upperRight, upperLeft}, bubble.texture,
                               false, false, false, true, 1.0f - f, false);
    }
}

void ChatBubbles::release(Graphics& graphics) {
    for (const Bubble& bubble : bubbles) graphics.deleteTexture(bubble.texture);
    bubbles.clear();
}

}  // namespace vobu
