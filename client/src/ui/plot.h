#pragma once

#include <functional>

#include "ui/graphics.h"

namespace vobu {

// Turns a model-space point and its colour into a clip-space vertex; the
// renderer's projection and the editor's view each provide one.
using PlotFunction = std::function<Vertex(float x, float y, float z, const Color& color)>;

}  // namespace vobu
