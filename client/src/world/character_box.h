#pragma once
// A character drawn as a box of width x height x depth skin texels (0.02
// world units each) with its six faces textured from the skin atlas, the
// side faces cut into horizontal strips so that the pose can bend them.

#include <array>
#include <vector>

#include "ui/graphics.h"
#include "ui/plot.h"
#include "world/character_pose.h"

namespace vobu {

class Character;

// Everything one box drawing needs.
struct CharacterBoxArgs {
    std::vector<Vertex>& out;  // appended to
    const Character& character;
    float yaw = 0;  // radians, counter-clockwise seen from above
    PlotFunction plot;
    bool shaded = false;                  // off: every vertex white
    std::array<float, 3> light{0, 0, 0};  // all zero: each face its fixed shade
    int subdivision = 1;                  // strips of the side faces, 1..16
    PoseShape shape;
};

// Model-space corners of one face (corners 0, 1 on the bottom edge of the
// face image, 2, 3 on its top).
using FaceCorners = std::array<std::array<float, 3>, 4>;

// Appends the six faces in face order, two triangles a strip.
void drawCharacterBox(const CharacterBoxArgs& args);
// Appends one face.
void drawCharacterFace(const CharacterBoxArgs& args, int face, const FaceCorners& corners, float shade);

}  // namespace vobu
