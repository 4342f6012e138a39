// The mapkit command-line tool, as the test game server uses it: every kit
// asset it writes loads through the client's readers.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "mapkit/map_kit.h"
#include "world/map_readers.h"

namespace vobu {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int runTool(const std::string& arguments) {
    const std::string command = std::string("\"") + VOBU_BIN_DIR + "/mapkit\" " + arguments + " 2>/dev/null";
    return std::system(command.c_str());
}

class MapKitTool : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("mapkit-tool-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

TEST_F(MapKitTool, WritesEveryKitAssetReadably) {
    ASSERT_EQ(runTool("--all \"" + folder_.string() + "\""), 0);
    std::set<std::string> names;
    for (const auto& file : fs::directory_iterator(folder_)) names.insert(file.path().filename().string());
    for (const std::string& name : mapkit::kitWalkMeshNames()) {
        SCOPED_TRACE(name);
        ASSERT_EQ(names.count(name + ".vbw"), 1u);
        WalkMesh mesh;
        readWalkMesh(mesh, fileBytes(folder_ / (name + ".vbw")));
        EXPECT_EQ(mesh.triangles.size(), mapkit::kitWalkMesh(name).size());
    }
    Scene scene;
    readRenderMesh(scene, fileBytes(folder_ / "render.vbm"));
    readTexture(scene, 0, fileBytes(folder_ / "texture-0.vbt"));
    readTexture(scene, 1, fileBytes(folder_ / "texture-1.vbt"));
    EXPECT_EQ(scene.materials.size(), 2u);
    EXPECT_EQ(scene.textures[0].revision, 1);
    EXPECT_TRUE(scene.textures[1].hasTransparency);
    EXPECT_EQ(names.size(), mapkit::kitWalkMeshNames().size() + 3);
}

TEST_F(MapKitTool, WritesOneAssetAndRefusesBadArguments) {
    fs::create_directories(folder_);
    const fs::path file = folder_ / "step.vbw";
    ASSERT_EQ(runTool("step-0.55 \"" + file.string() + "\""), 0);
    WalkMesh mesh;
    readWalkMesh(mesh, fileBytes(file));
    EXPECT_EQ(mesh.triangles.size(), 6u);

    EXPECT_NE(runTool("volcano \"" + (folder_ / "x").string() + "\""), 0);
    EXPECT_FALSE(fs::exists(folder_ / "x"));
    EXPECT_NE(runTool(""), 0);
    EXPECT_NE(runTool("--bogus"), 0);
}

}  // namespace
}  // namespace vobu
