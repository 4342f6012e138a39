// Loading a 4096 x 4096 PNG and importing it as a skin sheet (the editor's
// whole import after the dialog) against a bare libspng decode of the same
// file in the same run. The import should stay within 1.3 x the decode.
//
// The picture is a 64 x 64 x 64 sheet inside a 4096 x 4096 image whose other
// pixels are faint noise (alpha below 128, argument 0: the file barely
// compresses) or transparent black (argument 1: it compresses to little, so
// the decode is quick and the import's own scan weighs the most).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#include <benchmark/benchmark.h>
#include <spng.h>

#include "editor/png_files.h"
#include "editor/skin_sheet.h"
#include "platform/png_codec.h"

namespace {

using namespace vobu;

constexpr int kSide = 4096;

struct SheetFile {
    explicit SheetFile(bool noisy) {
        char pattern[] = "/tmp/vobu-png-bench-XXXXXX";
        dir = ::mkdtemp(pattern);
        path = dir + "/sheet.png";
        Character character;
        character.setSize(64, 64, 64);
        std::mt19937 random(11);
        for (auto& face : character.faces) {
            for (uint32_t& texel : face) texel = random() & 0xFFFFFF;
        }
        const RgbaImage sheet = makeSkinSheet(character);
        std::vector<uint8_t> rgba(size_t(kSide) * kSide * 4);
        for (size_t i = 0; noisy && i < rgba.size(); i += 4) {
            const uint32_t noise = random();
            rgba[i] = uint8_t(noise);
            rgba[i + 1] = uint8_t(noise >> 8);
            rgba[i + 2] = uint8_t(noise >> 16);
            rgba[i + 3] = uint8_t((noise >> 24) & 0x3F);
        }
        for (int y = 0; y < sheet.height; ++y) {
            for (int x = 0; x < sheet.width; ++x) {
                const uint8_t* from = &sheet.pixels[(size_t(y) * sheet.width + x) * 4];
                if (from[3] == 0) continue;
                std::copy(from, from + 4, &rgba[(size_t(1500 + y) * kSide + 900 + x) * 4]);
            }
        }
        std::vector<uint8_t> png;
        if (!encodePng(rgba.data(), kSide, kSide, png)) std::abort();
        FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || std::fwrite(png.data(), 1, png.size(), file) != png.size() || std::fclose(file) != 0) {
            std::abort();
        }
        bytes = png.size();
    }
    ~SheetFile() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string dir;
    std::string path;
    size_t bytes = 0;
};

const SheetFile& sheetFile(int64_t kind) {
    static SheetFile noisy(true);
    static SheetFile clear(false);
    return kind == 0 ? noisy : clear;
}

void BM_BareSpngDecode(benchmark::State& state) {
    const SheetFile& file = sheetFile(state.range(0));
    for (auto _ : state) {
        FILE* in = std::fopen(file.path.c_str(), "rb");
        spng_ctx* ctx = spng_ctx_new(0);
        spng_set_png_file(ctx, in);
        size_t size = 0;
        spng_decoded_image_size(ctx, SPNG_FMT_RGBA8, &size);
        auto* out = static_cast<uint8_t*>(std::malloc(size));
        if (spng_decode_image(ctx, out, size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS) != 0) state.SkipWithError("decode");
        benchmark::DoNotOptimize(out);
        std::free(out);
        spng_ctx_free(ctx);
        std::fclose(in);
    }
    state.counters["file_MB"] = double(file.bytes) / 1e6;
}
BENCHMARK(BM_BareSpngDecode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_LoadAndImportSheet(benchmark::State& state) {
    const SheetFile& file = sheetFile(state.range(0));
    const ImageFileCalls calls = systemImageFileCalls();
    for (auto _ : state) {
        RgbaImage image;
        if (!readImageFile(file.path, image, calls)) state.SkipWithError("read");
        Character character;
        std::string message;
        if (!importSkinSheet(image, character, message)) state.SkipWithError(message.c_str());
        benchmark::DoNotOptimize(character.faces[0].data());
    }
    state.counters["file_MB"] = double(file.bytes) / 1e6;
}
BENCHMARK(BM_LoadAndImportSheet)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
