#pragma once
// A Renderer over a recording Graphics with a hand-held clock, a Scene on
// the kit map and helpers that find where a player shows on screen.

#include <gtest/gtest.h>

#include "presentation_test_support.h"
#include "world/renderer.h"

namespace vobu::presentation {

class RendererFixture : public ::testing::Test {
protected:
    static constexpr int kWidth = 1020;
    static constexpr int kHeight = 680;
    static constexpr int kLocal = 1;

    RendererFixture() {
        renderer.initialize(&rg.graphics, &font);
        renderer.setClock([this] { return nowMs; });
        scene.localPlayerId = kLocal;
        addCharacter(kLocal, "Me");
    }

    void addCharacter(int id, const std::string& name, int width = 32, int height = 64, int depth = 32) {
        Character c;
        c.name = name;
        c.setSize(width, height, depth);
        scene.characters[id] = c;
        scene.characterRevisions[id] = 1;
        scene.characterGenerations[id] = 1;
    }

    // One frame; returns the draws it made.
    std::vector<testing::RecordedDraw> frame(double dt = 1.0 / 60, bool hover = false, int mx = 0, int my = 0,
                                             int width = kWidth, int height = kHeight) {
        const size_t before = rg.recording.draws.size();
        renderer.draw(scene, players, width, height, dt, mx, my, hover);
        nowMs += dt * 1000;
        return {rg.recording.draws.begin() + long(before), rg.recording.draws.end()};
    }

    // Window pixel of a world point in the last frame's projection.
    std::pair<int, int> screenOf(float x, float y, float z) const {
        const Vertex v = renderer.camera.project(x, y, z, 1, 1, 1, float(kWidth) / float(kHeight));
        return {int(std::lround((v.x / v.w + 1) / 2 * kWidth)), int(std::lround((1 - v.y / v.w) / 2 * kHeight))};
    }
    // The middle of a player's default-size body.
    std::pair<int, int> bodyOf(const Player& p) const { return screenOf(float(p.x), float(p.y), float(p.z) + 0.64f); }

    Font font = testing::testFont();
    RecordedGraphics rg;
    Renderer renderer;
    Scene scene;
    std::vector<Player> players;
    double nowMs = 100000;
};

}  // namespace vobu::presentation
