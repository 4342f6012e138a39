#pragma once
// The user's characters walking across the top of the title screen, one
// after another, as lit boxes with the game's walking pose. One skin
// texture per character, rebuilt when the library's revision changes.

#include <cstdint>
#include <vector>

#include "character/character.h"
#include "ui/graphics.h"
#include "ui/ui_layout.h"
#include "world/character_pose.h"

namespace vobu {

struct ParadeEntry {
    Character character;
    uint32_t texture = 0;
};

class CharacterParade {
public:
    static constexpr int kBandHeight = 188;  // canvas pixels the walkers may cover
    static constexpr int kMaxDrawnWalkers = 2;
    static constexpr double kFocalLength = 1600;

    // Rebuilds the entries when the library revision differs from `revision`.
    void prepare(Graphics& graphics, const std::vector<Character>& characters, uint32_t libraryRevision);
    void draw(Graphics& graphics, const UiLayout& layout, int width, int height, double t);

    // Walker count (at least two while there are characters) and spacing.
    int walkerCount() const { return int(poses.size()); }
    static double spacing(int width) { return (width * 0.65 + 160) * 18 / 1600; }
    // The projection of a model point for a walker at track position x.
    static Vertex project(float x, float y, float z, const Color& color, double walkerX, const UiLayout& layout,
                          int width, int height);

    std::vector<ParadeEntry> entries;
    std::vector<CharacterPose> poses;
    uint32_t revision = 0xFFFFFFFFu;
    double lastTime = -1;
    int lastWidth = 0;

private:
    // The frame's step and whether the poses restart.
    double takeStep(double t, int width, bool& restart);
    // Builds walker i's box; false when it lies wholly off screen.
    bool buildWalker(int i, double t, double step, bool restart, const UiLayout& layout, int width, int height,
                     std::vector<Vertex>& out);

    double trackLength_ = 0;
};

}  // namespace vobu
