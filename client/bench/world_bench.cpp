// Movement and navigation costs on the kit's 16,384-triangle grid: one
// movement step grounded and airborne, building the navigation mesh (with
// its walls) for the grid and for an unwelded soup, and a reconcile that
// replays the full 240 pending commands.

#include <benchmark/benchmark.h>

#include <cmath>
#include <stdexcept>

#include "mapkit/map_kit.h"
#include "world/movement.h"
#include "world/movement_predictor.h"
#include "world/navigation.h"
#include "world/scene.h"

namespace {

using namespace vobu;

WalkMesh preparedMesh(std::vector<WalkTriangle> triangles) {
    WalkMesh mesh;
    mesh.triangles = std::move(triangles);
    prepareNavigation(mesh);
    return mesh;
}

const WalkMesh& largeGridMesh() {
    static const WalkMesh mesh = preparedMesh(mapkit::largeGrid());
    return mesh;
}

MoveState groundedStart(const WalkMesh& mesh) {
    MoveState s;
    s.x = 3.1;
    s.y = -2.3;
    s.z = 5;
    // Drop onto the rolling terrain and walk a little so the state is a
    // genuine grounded one.
    const MovementParams params;
    MoveCommand settle;
    for (int i = 0; i < 200; ++i) {
        s = moveStep(s, settle, params.step, mesh, params);
    }
    s.vx = 3;
    s.vy = 2;
    return s;
}

void BM_MoveStepGrounded(benchmark::State& state) {
    const WalkMesh& mesh = largeGridMesh();
    const MovementParams params;
    const MoveState start = groundedStart(mesh);
    MoveCommand command;
    command.moveX = 0.6;
    command.moveY = 0.8;
    for (auto _ : state) {
        benchmark::DoNotOptimize(moveStep(start, command, params.step, mesh, params));
    }
}
BENCHMARK(BM_MoveStepGrounded);

void BM_MoveStepAirborne(benchmark::State& state) {
    const WalkMesh& mesh = largeGridMesh();
    const MovementParams params;
    MoveState start;
    start.x = 3.1;
    start.y = -2.3;
    start.z = 1.5;
    start.vz = 2;
    start.vx = 4;
    MoveCommand command;
    command.moveX = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(moveStep(start, command, params.step, mesh, params));
    }
}
BENCHMARK(BM_MoveStepAirborne);

void BM_PrepareNavigationGrid(benchmark::State& state) {
    const std::vector<WalkTriangle> triangles = mapkit::largeGrid();
    for (auto _ : state) {
        WalkMesh mesh;
        mesh.triangles = triangles;
        prepareNavigation(mesh);
        benchmark::DoNotOptimize(mesh.walls.size());
    }
}
BENCHMARK(BM_PrepareNavigationGrid)->Unit(benchmark::kMillisecond);

void BM_PrepareNavigationUnweldedSoup(benchmark::State& state) {
    const std::vector<WalkTriangle> triangles = mapkit::unweldedSoup(128, 64, 0.5, 1e-5);
    for (auto _ : state) {
        WalkMesh mesh;
        mesh.triangles = triangles;
        prepareNavigation(mesh);
        benchmark::DoNotOptimize(mesh.walls.size());
    }
}
BENCHMARK(BM_PrepareNavigationUnweldedSoup)->Unit(benchmark::kMillisecond);

// A crafted mesh within every reader limit: 1,600 large overlapping
// triangles at different heights. Rejected by the wall extraction's budget.
void BM_PrepareNavigationHostile(benchmark::State& state) {
    std::vector<WalkTriangle> hostile;
    uint32_t seed = 99;
    auto uniform = [&seed](double lo, double hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * (seed >> 8) / double(1u << 24);
    };
    for (int i = 0; i < 1600; ++i) {
        const double z = uniform(0, 1);
        const double x0 = uniform(-10, -8), y0 = uniform(-10, -8), x1 = uniform(8, 10), y1 = uniform(-10, 10);
        const double x2 = uniform(-10, -8), y2 = uniform(8, 10);
        hostile.push_back({x0, y0, z, x1, y1, z + 0.01, x2, y2, z + 0.02});
    }
    mapkit::narrowToFloat(hostile);
    for (auto _ : state) {
        WalkMesh mesh;
        mesh.triangles = hostile;
        try {
            prepareNavigation(mesh);
            state.SkipWithError("the hostile mesh was accepted");
            return;
        } catch (const std::runtime_error&) {}
    }
}
BENCHMARK(BM_PrepareNavigationHostile)->Unit(benchmark::kMillisecond);

void BM_Reconcile240(benchmark::State& state) {
    Scene scene;
    scene.walkMesh = largeGridMesh();
    scene.spawn = groundedStart(scene.walkMesh);
    MovementPredictor predictor;
    predictor.resetFromScene(scene);
    for (int i = 0; i < 60 && predictor.pending.size() < MovementPredictor::kMaxPending; ++i) {
        predictor.advance(0.1, std::cos(i * 0.3), std::sin(i * 0.3), scene, i % 17 == 0);
    }
    if (predictor.pending.size() != MovementPredictor::kMaxPending) {
        state.SkipWithError("could not fill the pending commands");
        return;
    }
    for (auto _ : state) {
        predictor.reconcile(scene.spawn, 0, scene);
        benchmark::DoNotOptimize(predictor.state);
    }
}
BENCHMARK(BM_Reconcile240)->Unit(benchmark::kMicrosecond);

}  // namespace
