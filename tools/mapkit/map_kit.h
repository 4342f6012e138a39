#pragma once
// A kit of small maps for tests, benchmarks and the test game server.
//
// Every coordinate is already narrowed to float precision, so a kit mesh is
// bit for bit what the walk-mesh reader gives back after writeWalkMesh.
// World frame: Z up; walkable triangles are counter-clockwise seen from
// above. Unless said otherwise a map spans y in [-5, 5] and the player's
// natural start is on the floor at z = 0 with x < 0, walking toward +x.

#include <cstdint>
#include <string>
#include <vector>

#include "world/scene.h"

namespace vobu::mapkit {

struct Point3 {
    double x = 0, y = 0, z = 0;
};

// ---- Builders -------------------------------------------------------------

// Appends the quad a-b-c-d as the triangles (a, b, c) and (a, c, d).
void addQuad(std::vector<WalkTriangle>& out, Point3 a, Point3 b, Point3 c, Point3 d);

// A horizontal rectangle [x0, x1] x [y0, y1] at height z (x0 < x1, y0 < y1),
// cut into columns x rows cells of two welded, walkable triangles each.
void addFloor(std::vector<WalkTriangle>& out, double x0, double y0, double x1, double y1, double z, int columns = 1,
              int rows = 1);

// A vertical quad standing on the ground segment (x0, y0)-(x1, y1) from
// height bottom to height top; never walkable.
void addRiser(std::vector<WalkTriangle>& out, double x0, double y0, double x1, double y1, double bottom, double top);

// Narrows every coordinate to float precision in place.
void narrowToFloat(std::vector<WalkTriangle>& triangles);

// ---- Walk-mesh kit ----------------------------------------------------------

// x, y in [-10, 10] at z = 0: two triangles, the diagonal shared.
std::vector<WalkTriangle> flatFloor();

// Lower floor x in [-5, 0] at z = 0, a vertical riser at x = 0, upper floor
// x in [0, 5] at z = rise; all welded (6 triangles: floor, riser, floor).
// The kit uses rise 0.5 (climbed) and 0.55 (blocks).
std::vector<WalkTriangle> stepUp(double rise);

// Upper floor x in [-5, 0] at z = 0, a vertical riser at x = 0 down to
// z = -drop, lower floor x in [0, 5] at z = -drop; all welded.
// The kit uses drop 0.5 (walked down) and 0.6 (flown).
std::vector<WalkTriangle> ledgeDown(double drop);

// Floor x in [-5, 0] at z = 0, a slope x in [0, run] rising by
// run * tan(degrees), top floor x in [run, run + 5]; all welded.
// The kit uses ramp(30, 4) (walkable) and ramp(75, 2) (too steep).
std::vector<WalkTriangle> ramp(double degrees, double run);

// Floor x, y in [-5, 5] at z = 0 in 4 x 4 cells (32 triangles), closed by
// four vertical walls 3 high along its sides (8 triangles, not walkable).
std::vector<WalkTriangle> walledRoom();

// Floor x in [-10, 0] at z = 0, a block 0.3 high over x in [0, 0.5] with
// vertical faces and a walkable top, floor x in [0.5, 10] at z = 0.
std::vector<WalkTriangle> lowWall();

// Floor x in [-4, 0], y in [-2, 2] at z = 0, whose edge at x = 0 is one
// triangle edge; beyond it a separate floor x in [0, 4], y in [0, 2] at
// z = 0.3 borders the upper half of that edge only.
std::vector<WalkTriangle> halfBorderedEdge();

// Two level floors meeting at x = 0 without sharing a vertex: the square
// x in [-5, 0], y in [-5, 5] and the trapezoid (0, -6), (5, -5), (5, 5),
// (0, 6), both at z = 0. No neighbour links cross the seam.
std::vector<WalkTriangle> unweldedSeam();

// A fan of `segments` triangles (centre, rim k, rim k + 1) around the origin
// at z = 0 with rim radius 5; every triangle shares the centre vertex.
std::vector<WalkTriangle> triangleFan(int segments = 24);

// columns x rows cells of side `cell` centred on the origin, two triangles a
// cell; vertex heights are amplitude times a deterministic pseudo-random
// value in [-1, 1] (in steps of 1/256) drawn from `seed`.
std::vector<WalkTriangle> grid(int columns, int rows, double cell, double amplitude = 0.0, uint32_t seed = 1);

// The 16,384-triangle grid: grid(128, 64, 0.5, 0.125, 1), 64 x 32 units of
// gently rolling, walkable terrain.
std::vector<WalkTriangle> largeGrid();

// The triangles of grid(columns, rows, cell) each pulled toward its own
// centroid by the factor `shrink` (0 < shrink < 1), so no vertex welds and
// no neighbour link exists; a small shrink leaves seams narrower than the
// surface walk's crossing probe.
std::vector<WalkTriangle> unweldedSoup(int columns, int rows, double cell, double shrink);

// Names the command-line tool and the test server use: "flat", "step-0.5",
// "step-0.55", "ledge-0.5", "ledge-0.6", "ramp-30", "slope-75", "room",
// "low-wall", "half-border", "seam", "fan", "grid".
std::vector<std::string> kitWalkMeshNames();
// Throws std::invalid_argument for an unknown name.
std::vector<WalkTriangle> kitWalkMesh(const std::string& name);

// ---- Render-mesh kit --------------------------------------------------------

struct KitTexture {
    uint32_t slot = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
};

struct KitRenderMap {
    std::vector<RenderMaterial> materials;
    std::vector<KitTexture> textures;
};

// Appends an upward-facing horizontal quad [x0, x1] x [y0, y1] at height z
// (counter-clockwise from above) with one colour and uv 0..1 to a material.
void addRenderQuad(RenderMaterial& material, double x0, double y0, double x1, double y1, double z, float r, float g,
                   float b);

// Two materials over the flat floor's area:
// - material 0: the floor x, y in [-10, 10] at z = 0, colour (0.25, 0.5, 0.75),
//   texture slot 0: a 16 x 16 opaque checker of two greys;
// - material 1: a platform x, y in [-2, 2] at z = 1, colour (1, 0.5, 0),
//   texture slot 1: an 8 x 8 image whose left half has alpha 128 (the rest 255).
KitRenderMap twoMaterialRenderMap();

// A 256 x 256 opaque texture of hashed noise, written raw: noise does not
// compress, so the asset has the full size of its pixels (for worlds that
// must weigh a known amount). Equal seeds give equal bytes.
std::vector<uint8_t> rawNoiseTexture(uint32_t seed);

}  // namespace vobu::mapkit
