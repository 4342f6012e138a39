// Costs of the map readers on assets at the format limits, and of colorAt.

#include <benchmark/benchmark.h>

#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "world/map_readers.h"

namespace {

using namespace vobu;

// The 16,384-triangle grid, navigation mesh and walls included.
void BM_ReadWalkMeshLargeGrid(benchmark::State& state) {
    const std::vector<uint8_t> bytes = mapkit::writeWalkMesh(mapkit::largeGrid());
    for (auto _ : state) {
        WalkMesh target;
        readWalkMesh(target, bytes);
        benchmark::DoNotOptimize(target.walls.data());
    }
}
BENCHMARK(BM_ReadWalkMeshLargeGrid)->Unit(benchmark::kMillisecond);

// 16 materials holding 65,536 vertices and 196,608 indices in all.
void BM_ReadRenderMeshAtLimits(benchmark::State& state) {
    std::vector<RenderMaterial> materials(16);
    for (uint32_t m = 0; m < 16; ++m) {
        materials[m].number = m;
        for (int q = 0; q < 1024; ++q)
            mapkit::addRenderQuad(materials[m], q % 32, q / 32, q % 32 + 1, q / 32 + 1, 0, 0.5f, 0.5f, 0.5f);
        materials[m].indices.resize(12288, 0);
    }
    const std::vector<uint8_t> bytes = mapkit::writeRenderMesh(materials);
    Scene scene;
    for (auto _ : state) {
        readRenderMesh(scene, bytes);
        benchmark::DoNotOptimize(scene.materials.data());
    }
}
BENCHMARK(BM_ReadRenderMeshAtLimits)->Unit(benchmark::kMillisecond);

void BM_ReadTexture256(benchmark::State& state) {
    std::vector<uint8_t> rgba(256 * 256 * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t((i / 4) % 251);
    const auto encoding = state.range(0) ? mapkit::TextureEncoding::RunLength : mapkit::TextureEncoding::Raw;
    const std::vector<uint8_t> bytes = mapkit::writeTexture(256, 256, rgba, encoding);
    Scene scene;
    for (auto _ : state) {
        readTexture(scene, 0, bytes);
        benchmark::DoNotOptimize(scene.textures[0].rgba.data());
    }
}
BENCHMARK(BM_ReadTexture256)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ColorAtKitMap(benchmark::State& state) {
    Scene scene;
    readRenderMesh(scene, mapkit::writeRenderMesh(mapkit::twoMaterialRenderMap().materials));
    float x = -9;
    for (auto _ : state) {
        benchmark::DoNotOptimize(colorAt(scene, x, 0.5f, 2, nullptr));
        x = x > 9 ? -9 : x + 0.37f;
    }
}
BENCHMARK(BM_ColorAtKitMap);

}  // namespace
