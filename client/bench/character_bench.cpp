// Loading and saving a full character library (16 characters, about 2.4 MB
// of JSON) against the time the JSON library alone needs to parse it.

#include <cstdlib>
#include <filesystem>
#include <random>

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include "character/character_json.h"
#include "character/character_library.h"
#include "character/face_codec.h"
#include "character/user_files.h"

namespace {

using namespace vobu;

std::vector<Character> fullLibrary() {
    std::mt19937 random(7);
    std::vector<Character> list;
    for (int i = 0; i < 16; ++i) {
        Character c;
        c.id = "character-" + std::to_string(i);
        c.name = "Character " + std::to_string(i);
        for (auto& face : c.faces) {
            for (uint32_t& texel : face) texel = random() & 0xFFFFFF;
        }
        list.push_back(c);
    }
    return list;
}

// The per-user folder for the benchmark run, removed at exit.
struct Folder {
    Folder() {
        char pattern[] = "/tmp/vobu-bench-XXXXXX";
        dir = ::mkdtemp(pattern);
        ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    }
    ~Folder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    std::string dir;
};

Folder& folder() {
    static Folder instance;
    return instance;
}

const std::string& fileBytes() {
    static std::string const bytes = buildCharactersDocument(fullLibrary());
    return bytes;
}

void BM_JsonParseOnly(benchmark::State& state) {
    const std::string& bytes = fileBytes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(nlohmann::json::parse(bytes));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_JsonParseOnly)->Unit(benchmark::kMillisecond);

void BM_LoadLibrary(benchmark::State& state) {
    folder();
    writeCharactersFile(fileBytes());
    CharacterLibrary library;
    for (auto _ : state) {
        library.load();
        if (library.characters.size() != 16) state.SkipWithError("load failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fileBytes().size()));
}
BENCHMARK(BM_LoadLibrary)->Unit(benchmark::kMillisecond);

void BM_BuildLibraryDocument(benchmark::State& state) {
    std::vector<Character> list = fullLibrary();
    for (auto _ : state) {
        benchmark::DoNotOptimize(buildCharactersDocument(list));
    }
}
BENCHMARK(BM_BuildLibraryDocument)->Unit(benchmark::kMillisecond);

// A save rewrites the whole file and waits for the disk (fsync twice).
void BM_SaveLibrary(benchmark::State& state) {
    folder();
    writeCharactersFile(fileBytes());
    CharacterLibrary library;
    library.load();
    Character changed = library.characters[5];
    for (auto _ : state) {
        changed.faces[0][0] ^= 1;
        if (!library.save(changed)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveLibrary)->Unit(benchmark::kMillisecond);

void BM_DecodeNetworkCharacterStrict(benchmark::State& state) {
    Character c = fullLibrary()[0];
    c.setSize(64, 64, 64);  // every face 4096 noisy texels: the largest "p" document
    std::string text = encodeCharacterJsonRle(c);
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodeCharacterJson(text, true));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_DecodeNetworkCharacterStrict)->Unit(benchmark::kMicrosecond);

void BM_EncodeNetworkCharacter(benchmark::State& state) {
    Character c = fullLibrary()[0];
    for (auto _ : state) {
        benchmark::DoNotOptimize(encodeCharacterJsonRle(c));
    }
}
BENCHMARK(BM_EncodeNetworkCharacter)->Unit(benchmark::kMicrosecond);

}  // namespace
