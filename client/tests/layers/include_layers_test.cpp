// Each subsystem may include only its own headers and those of the layers
// below it: platform, ui, character, world, audio, net, then editor and
// browser side by side (neither includes the other), app on top. A file
// that reaches up or sideways fails here with its name and line.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace vobu {
namespace {

namespace fs = std::filesystem;

const std::map<std::string, int>& layerRanks() {
    static const std::map<std::string, int> ranks = {
        {"platform", 0}, {"ui", 1},     {"character", 2}, {"world", 3}, {"audio", 4},
        {"net", 5},      {"editor", 6}, {"browser", 6},   {"app", 7},
    };
    return ranks;
}

struct Violation {
    std::string file;  // relative to the source root
    int line = 0;
    std::string include;

    std::string text() const { return file + ":" + std::to_string(line) + " includes \"" + include + "\""; }
};

bool mayInclude(const std::string& from, const std::string& to) {
    const auto& ranks = layerRanks();
    const auto fromRank = ranks.find(from);
    const auto toRank = ranks.find(to);
    if (fromRank == ranks.end() || toRank == ranks.end()) return false;
    return from == to || toRank->second < fromRank->second;
}

// Every quoted include of every source file under root/<subsystem>/ that
// breaks the rules. Project headers are named "<subsystem>/<file>", so an
// include of any other form (a relative path, a folder outside the table)
// counts as a violation too, as does a subsystem folder the table lacks.
std::vector<Violation> layerViolations(const fs::path& root) {
    static const std::regex include(R"(^\s*#\s*include\s*"([^"]*)\")");
    std::vector<Violation> found;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string extension = entry.path().extension().string();
        if (extension != ".h" && extension != ".cpp") continue;
        const fs::path relative = fs::relative(entry.path(), root);
        const std::string subsystem = relative.begin()->string();
        std::ifstream in(entry.path());
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            std::smatch match;
            if (!std::regex_search(line, match, include)) continue;
            const std::string target = match[1].str();
            const size_t slash = target.find('/');
            const std::string layer = slash == std::string::npos ? "" : target.substr(0, slash);
            if (!mayInclude(subsystem, layer)) found.push_back({relative.generic_string(), number, target});
        }
    }
    return found;
}

TEST(IncludeLayers, NoSourceFileIncludesAHigherLayerOrASideOne) {
    const fs::path root = fs::path(VOBU_SOURCE_DIR) / "client/src";
    ASSERT_TRUE(fs::is_directory(root / "app")) << root;
    for (const Violation& violation : layerViolations(root)) ADD_FAILURE() << violation.text();
}

// The checker itself, on a small tree of its own.
class IncludeLayersChecker : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("vobu_layers_" + std::to_string(::getpid()));
        fs::remove_all(root);
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const std::string& file, const std::string& text) {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file) << text;
    }
    std::vector<std::string> violations() {
        std::vector<std::string> texts;
        for (const Violation& violation : layerViolations(root)) texts.push_back(violation.text());
        std::sort(texts.begin(), texts.end());
        return texts;
    }

    fs::path root;
};

TEST_F(IncludeLayersChecker, AllowsItsOwnLayerAndEveryLowerOne) {
    write("world/scene.h", "#include \"world/movement_types.h\"\n#include \"character/character.h\"\n");
    write("net/network.cpp", "#include \"net/network.h\"\n#include \"world/scene.h\"\n#include <SDL.h>\n");
    write("app/main.cpp", "#include \"editor/editor.h\"\n#include \"browser/browser.h\"\n");
    write("editor/editor.cpp", "#include \"net/network.h\"\n  #  include \"platform/socket.h\"\n");
    write("world/notes.txt", "#include \"app/application.h\"\n");  // not a source file
    write("world/old.cpp", "// #include \"net/network.h\" was here\n");
    EXPECT_EQ(violations(), std::vector<std::string>{});
}

TEST_F(IncludeLayersChecker, CatchesUpwardSidewaysAndUnnamedIncludes) {
    write("world/scene.h", "#pragma once\n#include \"net/manifest_entry.h\"\n");
    write("character/face_codec.h", "#include \"ui/vertex.h\"\n#include \"world/scene.h\"\n");
    write("editor/editor.cpp", "#include \"browser/server_browser.h\"\n");
    write("browser/server_browser.cpp", "#include \"app/application.h\"\n");
    write("platform/socket.cpp", "#include \"../net/network.h\"\n#include \"helper.h\"\n");
    write("tools/thing.cpp", "#include \"platform/socket.h\"\n");  // a folder the table lacks
    EXPECT_EQ(violations(), (std::vector<std::string>{
                                "browser/server_browser.cpp:1 includes \"app/application.h\"",
                                "character/face_codec.h:2 includes \"world/scene.h\"",
                                "editor/editor.cpp:1 includes \"browser/server_browser.h\"",
                                "platform/socket.cpp:1 includes \"../net/network.h\"",
                                "platform/socket.cpp:2 includes \"helper.h\"",
                                "tools/thing.cpp:1 includes \"platform/socket.h\"",
                                "world/scene.h:2 includes \"net/manifest_entry.h\"",
                            }));
}

}  // namespace
}  // namespace vobu
