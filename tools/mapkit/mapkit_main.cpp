// Writes kit maps to files, for the test game server and for looking at.
//
//   mapkit --list                 the names of the kit assets
//   mapkit <name> <file>          one asset
//   mapkit --all <folder>         every asset as <name>.vbw / .vbm / .vbt

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"

namespace {

using vobu::mapkit::KitRenderMap;

struct KitAsset {
    std::string name;
    std::string extension;
};

std::vector<KitAsset> allAssets() {
    std::vector<KitAsset> assets;
    for (const std::string& name : vobu::mapkit::kitWalkMeshNames()) assets.push_back({name, ".vbw"});
    assets.push_back({"render", ".vbm"});
    for (const auto& texture : vobu::mapkit::twoMaterialRenderMap().textures)
        assets.push_back({"texture-" + std::to_string(texture.slot), ".vbt"});
    return assets;
}

std::vector<uint8_t> assetBytes(const std::string& name) {
    const KitRenderMap render = vobu::mapkit::twoMaterialRenderMap();
    if (name == "render") return vobu::mapkit::writeRenderMesh(render.materials);
    for (const auto& texture : render.textures)
        if (name == "texture-" + std::to_string(texture.slot))
            return vobu::mapkit::writeTexture(texture.width, texture.height, texture.rgba);
    return vobu::mapkit::writeWalkMesh(vobu::mapkit::kitWalkMesh(name));
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

int usage() {
    std::fprintf(stderr, "usage: mapkit --list | mapkit <name> <file> | mapkit --all <folder>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        if (args.size() == 1 && args[0] == "--list") {
            for (const KitAsset& asset : allAssets())
                std::printf("%s%s\n", asset.name.c_str(), asset.extension.c_str());
            return 0;
        }
        if (args.size() == 2 && args[0] == "--all") {
            std::filesystem::create_directories(args[1]);
            for (const KitAsset& asset : allAssets())
                writeFile(std::filesystem::path(args[1]) / (asset.name + asset.extension), assetBytes(asset.name));
            return 0;
        }
        if (args.size() == 2 && !args[0].starts_with("--")) {
            writeFile(args[1], assetBytes(args[0]));
            return 0;
        }
        return usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mapkit: %s\n", e.what());
        return 1;
    }
}
