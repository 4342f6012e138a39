// The editor's header groups its methods in sections, each naming the file
// that holds them; a reader goes there to find a method. A method moved to
// another file without its declaration, or declared under the wrong file,
// fails here with both names.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace vobu {
namespace {

namespace fs = std::filesystem;

const fs::path kEditorDir = fs::path(VOBU_SOURCE_DIR) / "client" / "src" / "editor";

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Method name -> the one file its header section names, or "" under a
// section that names none (or several). Methods with a body in the header
// belong to no file.
std::map<std::string, std::string> declaredFiles() {
    const std::regex section(R"(^\s*// ---- )");
    const std::regex oneFile(R"(\((character_editor\w*\.cpp)\))");
    const std::regex declaration(R"(^\s+(?:static\s+)?[\w:<>,&*\s]+?[\s&*](\w+)\()");
    std::map<std::string, std::string> files;
    std::istringstream lines(slurp(kEditorDir / "character_editor.h"));
    std::string line;
    std::string file;
    std::smatch match;
    while (std::getline(lines, line)) {
        if (std::regex_search(line, section)) {
            file = std::regex_search(line, match, oneFile) ? std::string(match[1]) : std::string();
            continue;
        }
        if (line.find("//") != std::string::npos) continue;
        if (line.find('{') != std::string::npos) continue;  // defined in the header
        if (std::regex_search(line, match, declaration)) files[match[1]] = file;
    }
    return files;
}

// Method name -> the files that define it.
std::map<std::string, std::set<std::string>> definingFiles() {
    const std::regex definition(R"(CharacterEditor::(\w+)\()");
    std::map<std::string, std::set<std::string>> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(kEditorDir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("character_editor", 0) != 0 || entry.path().extension() != ".cpp") continue;
        const std::string text = slurp(entry.path());
        for (std::sregex_iterator it(text.begin(), text.end(), definition), end; it != end; ++it) {
            files[(*it)[1]].insert(name);
        }
    }
    return files;
}

TEST(EditorFileMap, EveryMethodIsDeclaredUnderTheFileThatDefinesIt) {
    const std::map<std::string, std::string> declared = declaredFiles();
    const std::map<std::string, std::set<std::string>> defined = definingFiles();
    ASSERT_FALSE(declared.empty()) << "no method found in the header";
    for (const auto& [method, file] : declared) {
        if (file.empty()) {
            ADD_FAILURE() << method << " is declared under a section that names no one file";
            continue;
        }
        const auto found = defined.find(method);
        ASSERT_NE(found, defined.end()) << method << " is declared under " << file << " but defined nowhere";
        EXPECT_TRUE(found->second.count(file))
            << method << " is declared under " << file << " but defined in " << *found->second.begin();
    }
    for (const auto& [method, files] : defined) {
        EXPECT_TRUE(declared.count(method))
            << method << ", defined in " << *files.begin() << ", is declared under no file's section";
    }
}

}  // namespace
}  // namespace vobu
