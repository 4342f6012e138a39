#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"

#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <stdexcept>

namespace vobu::mapkit {

namespace {

WalkTriangle makeTriangle(Point3 a, Point3 b, Point3 c) {
    return WalkTriangle{a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z};
}

double narrow(double v) { return static_cast<double>(static_cast<float>(v)); }

// A stable hash of a grid vertex, so terrain does not depend on the
// standard library's random engines.
uint32_t mixBits(uint32_t seed, uint32_t column, uint32_t row) {
    uint32_t h = seed * 0x9E3779B9u ^ (column * 0x85EBCA6Bu) ^ (row * 0xC2B2AE35u);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// -1..1 in steps of 1/256, exact in float.
double unitNoise(uint32_t seed, int column, int row) {
    const int step = int(mixBits(seed, uint32_t(column), uint32_t(row)) % 513u) - 256;
    return step / 256.0;
}

std::vector<WalkTriangle> finished(std::vector<WalkTriangle> triangles) {
    narrowToFloat(triangles);
    return triangles;
}

void appendRenderVertex(RenderMaterial& material, float x, float y, float z, float u, float v, float r, float g,
                        float b) {
    const float vertex[11] = {x, y, z, 0.0f, 0.0f, 1.0f, u, v, r, g, b};
    material.vertices.insert(material.vertices.end(), vertex, vertex + 11);
}

}  // namespace

void addQuad(std::vector<WalkTriangle>& out, Point3 a, Point3 b, Point3 c, Point3 d) {
    out.push_back(makeTriangle(a, b, c));
    out.push_back(makeTriangle(a, c, d));
}

void addFloor(std::vector<WalkTriangle>& out, double x0, double y0, double x1, double y1, double z, int columns,
              int rows) {
    // Each grid line is computed by one expression, so shared corners are
    // bitwise equal and weld.
    auto xAt = [&](int i) { return i == columns ? x1 : x0 + (x1 - x0) * i / columns; };
    auto yAt = [&](int j) { return j == rows ? y1 : y0 + (y1 - y0) * j / rows; };
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
            addQuad(out, {xAt(i), yAt(j), z}, {xAt(i + 1), yAt(j), z}, {xAt(i + 1), yAt(j + 1), z},
                    {xAt(i), yAt(j + 1), z});
}

void addRiser(std::vector<WalkTriangle>& out, double x0, double y0, double x1, double y1, double bottom, double top) {
    addQuad(out, {x0, y0, bottom}, {x1, y1, bottom}, {x1, y1, top}, {x0, y0, top});
}

void narrowToFloat(std::vector<WalkTriangle>& triangles) {
    for (WalkTriangle& t : triangles) {
        for (double* c : {&t.x0, &t.y0, &t.z0, &t.x1, &t.y1, &t.z1, &t.x2, &t.y2, &t.z2}) *c = narrow(*c);
    }
}

std::vector<WalkTriangle> flatFloor() {
    std::vector<WalkTriangle> out;
    addFloor(out, -10, -10, 10, 10, 0);
    return finished(std::move(out));
}

std::vector<WalkTriangle> stepUp(double rise) {
    std::vector<WalkTriangle> out;
    addFloor(out, -5, -5, 0, 5, 0);
    addRiser(out, 0, -5, 0, 5, 0, rise);
    addFloor(out, 0, -5, 5, 5, rise);
    return finished(std::move(out));
}

std::vector<WalkTriangle> ledgeDown(double drop) {
    std::vector<WalkTriangle> out;
    addFloor(out, -5, -5, 0, 5, 0);
    addRiser(out, 0, -5, 0, 5, -drop, 0);
    addFloor(out, 0, -5, 5, 5, -drop);
    return finished(std::move(out));
}

std::vector<WalkTriangle> ramp(double degrees, double run) {
    const double rise = run * std::tan(degrees * std::numbers::pi / 180.0);
    std::vector<WalkTriangle> out;
    addFloor(out, -5, -5, 0, 5, 0);
    addQuad(out, {0, -5, 0}, {run, -5, rise}, {run, 5, rise}, {0, 5, 0});
    addFloor(out, run, -5, run + 5, 5, rise);
    return finished(std::move(out));
}

std::vector<WalkTriangle> walledRoom() {
    std::vector<WalkTriangle> out;
    addFloor(out, -5, -5, 5, 5, 0, 4, 4);
    addRiser(out, -5, -5, 5, -5, 0, 3);
    addRiser(out, 5, -5, 5, 5, 0, 3);
    addRiser(out, 5, 5, -5, 5, 0, 3);
    addRiser(out, -5, 5, -5, -5, 0, 3);
    return finished(std::move(out));
}

std::vector<WalkTriangle> lowWall() {
    std::vector<WalkTriangle> out;
    addFloor(out, -10, -5, 0, 5, 0);
    addRiser(out, 0, -5, 0, 5, 0, 0.3);
    addFloor(out, 0, -5, 0.5, 5, 0.3);
    addRiser(out, 0.5, -5, 0.5, 5, 0, 0.3);
    addFloor(out, 0.5, -5, 10, 5, 0);
    return finished(std::move(out));
}

std::vector<WalkTriangle> halfBorderedEdge() {
    std::vector<WalkTriangle> out;
    addFloor(out, -4, -2, 0, 2, 0);
    addFloor(out, 0, 0, 4, 2, 0.3);
    return finished(std::move(out));
}

std::vector<WalkTriangle> unweldedSeam() {
    std::vector<WalkTriangle> out;
    addFloor(out, -5, -5, 0, 5, 0);
    addQuad(out, {0, -6, 0}, {5, -5, 0}, {5, 5, 0}, {0, 6, 0});
    return finished(std::move(out));
}

std::vector<WalkTriangle> triangleFan(int segments) {
    if (segments < 3) throw std::invalid_argument("mapkit: a fan needs at least 3 segments");
    std::vector<Point3> rim(size_t(segments) + 1);
    for (int k = 0; k < segments; ++k) {
        const double angle = 2.0 * std::numbers::pi * k / segments;
        rim[size_t(k)] = {narrow(5.0 * std::cos(angle)), narrow(5.0 * std::sin(angle)), 0};
    }
    rim[size_t(segments)] = rim[0];
    std::vector<WalkTriangle> out;
    for (int k = 0; k < segments; ++k) out.push_back(makeTriangle({0, 0, 0}, rim[size_t(k)], rim[size_t(k) + 1]));
    return finished(std::move(out));
}

std::vector<WalkTriangle> grid(int columns, int rows, double cell, double amplitude, uint32_t seed) {
    if (columns < 1 || rows < 1 || !(cell > 0)) throw std::invalid_argument("mapkit: empty grid");
    const double left = -columns * cell / 2;
    const double bottom = -rows * cell / 2;
    auto vertex = [&](int i, int j) -> Point3 {
        const double z = amplitude == 0.0 ? 0.0 : amplitude * unitNoise(seed, i, j);
        return {narrow(left + i * cell), narrow(bottom + j * cell), narrow(z)};
    };
    std::vector<WalkTriangle> out;
    out.reserve(size_t(columns) * size_t(rows) * 2);
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
            addQuad(out, vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1));
    return finished(std::move(out));
}

std::vector<WalkTriangle> largeGrid() { return grid(128, 64, 0.5, 0.125, 1); }

std::vector<WalkTriangle> unweldedSoup(int columns, int rows, double cell, double shrink) {
    std::vector<WalkTriangle> out = grid(columns, rows, cell);
    const double keep = 1.0 - shrink;
    for (WalkTriangle& t : out) {
        const double cx = (t.x0 + t.x1 + t.x2) / 3, cy = (t.y0 + t.y1 + t.y2) / 3, cz = (t.z0 + t.z1 + t.z2) / 3;
        t = {cx + (t.x0 - cx) * keep, cy + (t.y0 - cy) * keep, cz + (t.z0 - cz) * keep,
             cx + (t.x1 - cx) * keep, cy + (t.y1 - cy) * keep, cz + (t.z1 - cz) * keep,
             cx + (t.x2 - cx) * keep, cy + (t.y2 - cy) * keep, cz + (t.z2 - cz) * keep};
    }
    return finished(std::move(out));
}

namespace {

const std::map<std::string, std::function<std::vector<WalkTriangle>()>>& walkCatalog() {
    static const std::map<std::string, std::function<std::vector<WalkTriangle>()>> catalog = {
        {"flat", [] { return flatFloor(); }},         {"step-0.5", [] { return stepUp(0.5); }},
        {"step-0.55", [] { return stepUp(0.55); }},   {"ledge-0.5", [] { return ledgeDown(0.5); }},
        {"ledge-0.6", [] { return ledgeDown(0.6); }}, {"ramp-30", [] { return ramp(30, 4); }},
        {"slope-75", [] { return ramp(75, 2); }},     {"room", [] { return walledRoom(); }},
        {"low-wall", [] { return lowWall(); }},       {"half-border", [] { return halfBorderedEdge(); }},
        {"seam", [] { return unweldedSeam(); }},      {"fan", [] { return triangleFan(); }},
        {"grid", [] { return largeGrid(); }},
    };
    return catalog;
}

}  // namespace

std::vector<std::string> kitWalkMeshNames() {
    return {"flat", "step-0.5", "step-0.55",   "ledge-0.5", "ledge-0.6", "ramp-30", "slope-75",
            "room", "low-wall", "half-border", "seam",      "fan",       "grid"};
}

std::vector<WalkTriangle> kitWalkMesh(const std::string& name) {
    const auto& catalog = walkCatalog();
    const auto found = catalog.find(name);
    if (found == catalog.end()) throw std::invalid_argument("mapkit: no kit map named " + name);
    return found->second();
}

void addRenderQuad(RenderMaterial& material, double x0, double y0, double x1, double y1, double z, float r, float g,
                   float b) {
    const uint32_t first = static_cast<uint32_t>(material.vertices.size() / 11);
    const float fx0 = float(x0), fy0 = float(y0), fx1 = float(x1), fy1 = float(y1), fz = float(z);
    appendRenderVertex(material, fx0, fy0, fz, 0, 0, r, g, b);
    appendRenderVertex(material, fx1, fy0, fz, 1, 0, r, g, b);
    appendRenderVertex(material, fx1, fy1, fz, 1, 1, r, g, b);
    appendRenderVertex(material, fx0, fy1, fz, 0, 1, r, g, b);
    for (uint32_t i : {0u, 1u, 2u, 0u, 2u, 3u}) material.indices.push_back(first + i);
}

KitRenderMap twoMaterialRenderMap() {
    KitRenderMap map;
    map.materials.resize(2);
    map.materials[0].number = 0;
    addRenderQuad(map.materials[0], -10, -10, 10, 10, 0, 0.25f, 0.5f, 0.75f);
    map.materials[1].number = 1;
    addRenderQuad(map.materials[1], -2, -2, 2, 2, 1, 1.0f, 0.5f, 0.0f);

    KitTexture checker{0, 16, 16, std::vector<uint8_t>(16 * 16 * 4)};
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t grey = ((x / 4 + y / 4) % 2) ? 200 : 96;
            uint8_t* texel = &checker.rgba[size_t(y * 16 + x) * 4];
            texel[0] = texel[1] = texel[2] = grey;
            texel[3] = 255;
        }
    KitTexture window{1, 8, 8, std::vector<uint8_t>(8 * 8 * 4)};
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            uint8_t* texel = &window.rgba[size_t(y * 8 + x) * 4];
            texel[0] = 255;
            texel[1] = 128;
            texel[2] = 0;
            texel[3] = x < 4 ? 128 : 255;
        }
    map.textures = {std::move(checker), std::move(window)};
    return map;
}

std::vector<uint8_t> rawNoiseTexture(uint32_t seed) {
    std::vector<uint8_t> rgba(256 * 256 * 4);
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < rgba.size(); i += 4) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        rgba[i] = static_cast<uint8_t>(state);
        rgba[i + 1] = static_cast<uint8_t>(state >> 8);
        rgba[i + 2] = static_cast<uint8_t>(state >> 16);
        rgba[i + 3] = 255;
    }
    return writeTexture(256, 256, rgba, TextureEncoding::Raw);
}

}  // namespace vobu::mapkit
