// The character parade: its textures per library revision, the walkers'
// places and restarts, and what it draws each frame.

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "browser/character_parade.h"
#include "support/recording_backend.h"
#include "world/character_box.h"

namespace vobu::testing {
namespace {

class ParadeTest : public ::testing::Test {
protected:
    ParadeTest() : graphics(std::make_unique<testing::RecordingBackend>(recording)) {}

    std::vector<Character> library(int count) {
        std::vector<Character> list(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) list[size_t(i)].id = "c" + std::to_string(i);
        return list;
    }
    size_t walkerDraws() const {
        size_t n = 0;
        for (const auto& draw : recording.draws) n += draw.state.cull;
        return n;
    }
    void drawFrame(double t, int width = 1020, int height = 680) {
        recording.draws.clear();
        parade.draw(graphics, UiLayout::forDrawable(width, height), width, height, t);
    }

    testing::Recording recording;
    Graphics graphics;
    CharacterParade parade;
};

TEST_F(ParadeTest, OneTextureEachRebuiltOnlyWhenTheRevisionChanges) {
    parade.prepare(graphics, library(3), 7);
    ASSERT_EQ(parade.entries.size(), 3u);
    EXPECT_EQ(parade.walkerCount(), 3);
    std::vector<uint32_t> first;
    for (const ParadeEntry& entry : parade.entries) {
        const Texture& texture = graphics.textures().at(entry.texture);
        EXPECT_EQ(texture.width, entry.character.skinAtlasSize());
        EXPECT_FALSE(texture.linear);
        EXPECT_FALSE(texture.repeat);
        EXPECT_EQ(texture.pixels, entry.character.buildSkinAtlas());
        first.push_back(entry.texture);
    }
    parade.prepare(graphics, library(1), 7);  // same revision: nothing rebuilt
    EXPECT_EQ(parade.entries.size(), 3u);
    EXPECT_EQ(graphics.textures().size(), 3u);

    parade.prepare(graphics, library(1), 8);
    ASSERT_EQ(parade.entries.size(), 1u);
    EXPECT_EQ(parade.walkerCount(), 2);  // one character walks twice
    EXPECT_EQ(graphics.textures().size(), 1u);
    for (uint32_t old : first) EXPECT_EQ(graphics.textures().count(old), 0u);

    parade.prepare(graphics, {}, 9);
    EXPECT_TRUE(graphics.textures().empty());
    drawFrame(1);
    EXPECT_TRUE(recording.draws.empty());
    EXPECT_FALSE(recording.scissorOn);
}

TEST_F(ParadeTest, FirstPrepareBuildsEvenAtRevisionZero) {
    parade.prepare(graphics, library(1), 0);
    EXPECT_EQ(parade.entries.size(), 1u);
}

TEST_F(ParadeTest, WalkersAtTimeZero) {
    parade.prepare(graphics, library(1), 1);
    drawFrame(0);
    const double s = (1020 * 0.65 + 160) * 18 / 1600;
    EXPECT_DOUBLE_EQ(CharacterParade::spacing(1020), s);
    EXPECT_DOUBLE_EQ(parade.poses[0].last.x, 0);
    EXPECT_DOUBLE_EQ(parade.poses[1].last.x, s + 0.06 * std::sin(1.0));
    // walker 0 stands at -L/2 = -s, left of the window; walker 1 at
    // -L/2 + s + 0.06 sin 1 is the one drawn
    ASSERT_EQ(walkerDraws(), 1u);
    std::vector<Vertex> expected;
    const double x1 = -s + s + 0.06 * std::sin(1.0);
    UiLayout layout = UiLayout::forDrawable(1020, 680);
    auto plot = [&](float x, float y, float z, const Color& c) {
        return CharacterParade::project(x, y, z, c, x1, layout, 1020, 680);
    };
    Character character = parade.entries[0].character;
    drawCharacterBox({expected, character, 1.5707964f, plot, true, {-0.3f, -0.6f, 0.74f}, 2, PoseShape{}});
    const std::vector<Vertex>& drawn = recording.draws[0].vertices;
    ASSERT_EQ(drawn.size(), expected.size());
    for (size_t i = 0; i < drawn.size(); i += 17) {
        EXPECT_FLOAT_EQ(drawn[i].x, expected[i].x) << i;
        EXPECT_FLOAT_EQ(drawn[i].w, expected[i].w) << i;
    }
    // off-screen walker 0: the same box at -s lies wholly left of clip x -1
    std::vector<Vertex> left;
    auto plotLeft = [&](float x, float y, float z, const Color& c) {
        return CharacterParade::project(x, y, z, c, -s, layout, 1020, 680);
    };
    drawCharacterBox({left, character, 1.5707964f, plotLeft, true, {-0.3f, -0.6f, 0.74f}, 2, PoseShape{}});
    for (const Vertex& v : left) EXPECT_LT(v.x / v.w, -1);
}

TEST_F(ParadeTest, DrawStateAndScissorToTheTopOfTheCanvas) {
    parade.prepare(graphics, library(1), 1);
    drawFrame(0, 1200, 800);
    EXPECT_EQ(
        (std::vector<int>{recording.scissor[0], recording.scissor[1], recording.scissor[2], recording.scissor[3]}),
        (std::vector<int>{0, 800 - 60 - 188, 1200, 188}));
    EXPECT_FALSE(recording.scissorOn);  // cleared after the walkers
    ASSERT_FALSE(recording.draws.empty());
    const DrawState& state = recording.draws[0].state;
    EXPECT_TRUE(state.cull);
    EXPECT_TRUE(state.depthTest);
    EXPECT_EQ(state.blend, DrawState::Blend::None);
    EXPECT_FALSE(state.alphaTest);
    EXPECT_EQ(recording.draws[0].boundObject, recording.uploads.back().object);
}

TEST_F(ParadeTest, GapOfMoreThanAQuarterSecondRestartsThePoses) {
    parade.prepare(graphics, library(2), 1);
    drawFrame(1.0);
    drawFrame(1.016);
    EXPECT_GT(parade.poses[0].velocityX, 0.1);  // walking (smoothed)
    drawFrame(1.316);
    EXPECT_EQ(parade.poses[0].velocityX, 0);  // reset to rest, then a step without motion
    EXPECT_DOUBLE_EQ(parade.poses[0].last.x, 1.5 * 1.316 + 0.06 * std::sin(8 * 1.316));
    drawFrame(1.332);
    EXPECT_GT(parade.poses[0].velocityX, 0.1);
    drawFrame(1.2);  // back in time
    EXPECT_EQ(parade.poses[0].velocityX, 0);
    drawFrame(1.216, 1100);  // a width change
    EXPECT_EQ(parade.poses[0].velocityX, 0);
}

TEST_F(ParadeTest, AtMostTwoWalkersAreDrawnAFrameAndEveryPoseAdvances) {
    parade.prepare(graphics, library(6), 1);
    size_t most = 0;
    for (double t = 0; t < 40; t += 0.05) {
        drawFrame(t, 1600, 680);
        most = std::max(most, walkerDraws());
        ASSERT_LE(walkerDraws(), 2u) << t;
    }
    EXPECT_EQ(most, 2u);
    for (const CharacterPose& pose : parade.poses) EXPECT_GT(pose.last.x, 50);
}

}  // namespace
}  // namespace vobu::testing
