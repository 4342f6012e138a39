// The export and import dialogs with the real process spawner and stand-in
// dialog programs first (and alone) on PATH. Each stand-in logs the
// arguments it was given, NUL-separated, and prints $VOBU_STUB_ANSWER as
// the chosen path, or exits 1 (cancel) when that is empty.

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "editor/png_files.h"
#include "editor/skin_sheet.h"

namespace vobu {
namespace {

namespace fs = std::filesystem;

constexpr const char* kStubScript =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '%s\\0' \"$a\"; done >> \"$VOBU_STUB_LOG\"\n"
    "[ -n \"$VOBU_STUB_ANSWER\" ] || exit 1\n"
    "printf '%s\\n' \"$VOBU_STUB_ANSWER\"\n";

// As the stand-in above, but refusing the window options and
// --confirm-overwrite as zenity 3.91 does: a message and status 255 before
// any dialog.
constexpr const char* kRefusingZenityScript =
    "#!/bin/sh\n"
    "for a in \"$@\"; do printf '%s\\0' \"$a\"; done >> \"$VOBU_STUB_LOG\"\n"
    "for a in \"$@\"; do case \"$a\" in --modal|--attach=*|--confirm-overwrite)\n"
    "  echo 'This option is not available. Please see --help for all possible usages.' >&2; exit 255;;\n"
    "esac; done\n"
    "[ -n \"$VOBU_STUB_ANSWER\" ] || exit 1\n"
    "printf '%s\\n' \"$VOBU_STUB_ANSWER\"\n";

class DialogProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vobu-dialog-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        fs::create_directory(folder / "bin");
        const char* path = std::getenv("PATH");
        savedPath = path ? path : "";
        // Only the stand-ins: a real zenity must never open in a test.
        setenv("PATH", (folder / "bin").c_str(), 1);
        setenv("VOBU_STUB_LOG", (folder / "log").c_str(), 1);
        setenv("VOBU_STUB_ANSWER", "", 1);
        startImageSupport();
        drain();
    }
    void TearDown() override {
        drain();
        // Process-wide, like the slot: a test that stops early leaves it set.
        setImageDialogParent(0);
        startImageSupportWith(ImageFileCalls{});
        setenv("PATH", savedPath.c_str(), 1);
        unsetenv("VOBU_STUB_LOG");
        unsetenv("VOBU_STUB_ANSWER");
        fs::remove_all(folder);
    }

    void installStub(const char* program, const char* script = kStubScript) {
        const fs::path file = folder / "bin" / program;
        std::ofstream(file) << script;
        chmod(file.c_str(), 0755);
    }
    void answerWith(const fs::path& path) { setenv("VOBU_STUB_ANSWER", path.c_str(), 1); }

    // Every argument the stand-ins were given, in order.
    std::vector<std::string> loggedArguments() const {
        std::ifstream in(folder / "log", std::ios::binary);
        const std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::vector<std::string> arguments;
        size_t start = 0;
        for (size_t end; (end = all.find('\0', start)) != std::string::npos; start = end + 1) {
            arguments.push_back(all.substr(start, end - start));
        }
        return arguments;
    }

    static void drain() {
        RgbaImage image;
        std::string status;
        while (takeLoadedPng(image, status)) {}
    }

    fs::path folder;
    std::string savedPath;
};

TEST_F(DialogProgramTest, ExportPassesTheSaveArgumentsAndTheProposedName) {
    installStub("zenity");
    answerWith(folder / "a b.png");
    savePngFile(makeSkinSheet(Character{}), "a/b: c");
    EXPECT_EQ(loggedArguments(),
              (std::vector<std::string>{"--file-selection", "--title=Export vobu skin", "--save", "--confirm-overwrite",
                                        "--filename=a-b- c.png", "--file-filter=PNG image | *.png",
                                        "--file-filter=All files | *"}));
    RgbaImage image;
    std::string status = "stale";
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    EXPECT_TRUE(fs::is_regular_file(folder / "a b.png"));
}

// The import's filter shows only "*.png": a sheet saved as "myskin" would
// be hidden from the next import.
TEST_F(DialogProgramTest, ExportAddsTheExtensionANameTypedWithoutOneLacks) {
    installStub("zenity");
    answerWith(folder / "myskin");
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    RgbaImage image;
    std::string status = "stale";
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    EXPECT_TRUE(fs::is_regular_file(folder / "myskin.png"));
    EXPECT_FALSE(fs::exists(folder / "myskin"));

    // Again: zenity asked about "myskin", so the replace question for
    // "myskin.png" comes from us (the stand-in says yes).
    fs::remove(folder / "log");
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    const auto arguments = loggedArguments();
    EXPECT_NE(
        std::find(arguments.begin(), arguments.end(), "--text=A file named \"myskin.png\" already exists. Replace it?"),
        arguments.end());

    answerWith(folder / "other.PNG");
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_TRUE(fs::is_regular_file(folder / "other.PNG"));
    EXPECT_FALSE(fs::exists(folder / "other.PNG.png"));
}

TEST_F(DialogProgramTest, DialogsAreModalToTheGameWindow) {
    installStub("zenity");
    setImageDialogParent(4194305);
    loadPngFile();
    setImageDialogParent(0);
    EXPECT_EQ(loggedArguments(),
              (std::vector<std::string>{"--file-selection", "--title=Import vobu skin", "--modal", "--attach=4194305",
                                        "--file-filter=PNG image | *.png", "--file-filter=All files | *"}));
}

// Neither Import nor Export may be lost on the zenity releases that lack
// the window options; an existing file is still never replaced unasked.
TEST_F(DialogProgramTest, DialogsOpenOnAZenityThatRefusesTheWindowOptions) {
    installStub("zenity", kRefusingZenityScript);
    setImageDialogParent(4194305);
    answerWith(fs::path(VOBU_SOURCE_DIR) / "client/tests/editor/fixtures/png/rgba_64x64.png");
    loadPngFile();
    RgbaImage image;
    std::string status = "stale";
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(image.width, 64);
    auto arguments = loggedArguments();
    EXPECT_EQ(std::count(arguments.begin(), arguments.end(), "--file-selection"), 2);

    fs::remove(folder / "log");
    answerWith(folder / "skin.png");
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    EXPECT_TRUE(fs::is_regular_file(folder / "skin.png"));
    arguments = loggedArguments();
    EXPECT_EQ(std::count(arguments.begin(), arguments.end(), "--file-selection"), 3);
    EXPECT_EQ(std::count(arguments.begin(), arguments.end(), "--question"), 0) << "nothing to replace yet";

    // The file exists now: the question is ours, and unowned like the dialog.
    fs::remove(folder / "log");
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    arguments = loggedArguments();
    ASSERT_GE(arguments.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(arguments.end() - 4, arguments.end()),
              (std::vector<std::string>{"--question", "--title=Export vobu skin", "--no-markup",
                                        "--text=A file named \"skin.png\" already exists. Replace it?"}));

    // A no keeps the file as it was.
    installStub("zenity",
                "#!/bin/sh\n"
                "case \"$1\" in --question) exit 1;; esac\n"
                "for a in \"$@\"; do case \"$a\" in --modal|--attach=*|--confirm-overwrite) exit 255;; esac; done\n"
                "printf '%s\\n' \"$VOBU_STUB_ANSWER\"\n");
    fs::resize_file(folder / "skin.png", 0);
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    EXPECT_FALSE(takeLoadedPng(image, status));
    EXPECT_EQ(fs::file_size(folder / "skin.png"), 0u);
}

TEST_F(DialogProgramTest, ShellCharactersReachTheProgramUnchanged) {
    installStub("zenity");
    const std::string name = "$HOME `touch pwned`; $(id) \"q\" 'x'.png";
    answerWith(folder / "chosen.png");
    std::string path;
    ASSERT_TRUE(chooseSkinFile(true, name, path));
    EXPECT_EQ(path, (folder / "chosen.png").string());
    const auto arguments = loggedArguments();
    ASSERT_EQ(arguments.size(), 7u);
    EXPECT_EQ(arguments[4], "--filename=" + name);
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists(folder / "bin" / "pwned"));

    // Through the export, the character's name keeps them too.
    fs::remove(folder / "log");
    savePngFile(makeSkinSheet(Character{}), "$x `y`; z");
    EXPECT_EQ(loggedArguments().at(4), "--filename=$x `y`; z.png");
}

TEST_F(DialogProgramTest, ImportOpensTheChosenFile) {
    installStub("zenity");
    answerWith(fs::path(VOBU_SOURCE_DIR) / "client/tests/editor/fixtures/png/rgba_64x64.png");
    loadPngFile();
    EXPECT_EQ(loggedArguments(),
              (std::vector<std::string>{"--file-selection", "--title=Import vobu skin",
                                        "--file-filter=PNG image | *.png", "--file-filter=All files | *"}));
    RgbaImage image;
    std::string status = "stale";
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 64);
}

TEST_F(DialogProgramTest, CancelLeavesNothingToTake) {
    installStub("zenity");
    installStub("kdialog");
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    loadPngFile();
    RgbaImage image;
    std::string status;
    EXPECT_FALSE(takeLoadedPng(image, status));
    // Each cancel came from zenity alone; kdialog was not asked after it.
    const auto arguments = loggedArguments();
    EXPECT_EQ(std::count(arguments.begin(), arguments.end(), "--file-selection"), 2);
    EXPECT_EQ(std::count(arguments.begin(), arguments.end(), "--getsavefilename"), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 2);  // bin and log
}

TEST_F(DialogProgramTest, MissingProgramsBehaveAsACancel) {
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    loadPngFile();
    RgbaImage image;
    std::string status;
    EXPECT_FALSE(takeLoadedPng(image, status));
    std::string path = "unchanged";
    EXPECT_FALSE(chooseSkinFile(false, "", path));
    EXPECT_EQ(path, "unchanged");
}

TEST_F(DialogProgramTest, KdialogWhenThereIsNoZenity) {
    installStub("kdialog");
    answerWith(folder / "k.png");
    savePngFile(makeSkinSheet(Character{}), "-Box");
    EXPECT_EQ(loggedArguments(), (std::vector<std::string>{"--title", "Export vobu skin", "--getsavefilename",
                                                           "./-Box.png", "*.png|PNG image\n*|All files"}));
    RgbaImage image;
    std::string status = "stale";
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    EXPECT_TRUE(fs::is_regular_file(folder / "k.png"));
}

}  // namespace
}  // namespace vobu
