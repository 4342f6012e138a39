#include "editor/png_files.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "editor/skin_sheet.h"
#include "platform/process_spawn.h"

namespace vobu {
namespace {

namespace fs = std::filesystem;

fs::path fixture(const std::string& name) {
    return fs::path(VOBU_SOURCE_DIR) / "client/tests/editor/fixtures/png" / name;
}

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The system codec and files behind a scripted dialog that answers with
// `answer` (an empty answer is a cancel) and records every request.
class ImageFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vobu-png-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        drain();
        install(systemImageFileCalls());
    }
    // No system dialog stays installed for the tests that follow.
    void TearDown() override {
        drain();
        startImageSupportWith(ImageFileCalls{});
        fs::remove_all(folder);
    }

    void install(ImageFileCalls calls) {
        calls.dialog = [this](const FileDialogRequest& request, std::string& path) {
            requests.push_back(request);
            if (answer.empty()) return false;
            path = answer;
            return true;
        };
        startImageSupportWith(std::move(calls));
    }

    static void drain() {
        RgbaImage image;
        std::string status;
        while (takeLoadedPng(image, status)) {}
    }

    // Loads a file through the open dialog and takes the result.
    bool load(const fs::path& file, RgbaImage& image, std::string& status) {
        answer = file.string();
        loadPngFile();
        return takeLoadedPng(image, status);
    }

    fs::path folder;
    std::string answer;
    std::vector<FileDialogRequest> requests;
};

// -- proposed names ----------------------------------------------------------

TEST(ProposedSkinFileName, Rules) {
    struct Case {
        const char* name;
        const char* proposed;
    };
    for (const Case& k : {Case{"a/b: c", "a-b- c.png"},
                          {"", "Vobu.png"},
                          {"  - -  ", "Vobu.png"},
                          {"a\tb", "a-b.png"},
                          {"x\\*?\"<>|y", "x-------y.png"},
                          {"Box -", "Box.png"},
                          {"- Box", "- Box.png"},
                          {"\xC3\x9C"
                           "ber",
                           "\xC3\x9C"
                           "ber.png"},
                          {"$HOME `id`; \"q\"", "$HOME `id`; -q.png"},
                          {"line\nbreak\x7F", "line-break\x7F.png"}}) {
        EXPECT_EQ(proposedSkinFileName(k.name), k.proposed) << k.name;
    }
}

// -- loading -----------------------------------------------------------------

void expectPixel(const RgbaImage& image, int x, int y, std::array<int, 4> rgba) {
    const uint8_t* p = &image.pixels[(size_t(y) * image.width + x) * 4];
    EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), rgba) << "at " << x << "," << y;
}

// The formula of the generator's rgba_at.
std::array<int, 4> generated(int x, int y) {
    return {(x * 37) & 255, (y * 59) & 255, (x * y * 11 + 3) & 255, (x * 17 + y * 29) & 255};
}

TEST_F(ImageFilesTest, LoadsEveryKindOfPngAsRgba) {
    struct Case {
        const char* file;
        int width, height;
        std::function<std::array<int, 4>(int, int)> expected;
    };
    const std::array<int, 4> palette[] = {{255, 0, 0, 0}, {0, 255, 0, 128}, {0, 0, 255, 255}, {10, 20, 30, 255}};
    const Case cases[] = {
        {"palette_trns_8x4.png", 8, 4, [&](int x, int y) { return palette[(x + y) % 4]; }},
        {"grey_5x3.png", 5, 3,
         [](int x, int y) {
             return std::array<int, 4>{x * 50 + y, x * 50 + y, x * 50 + y, 255};
         }},
        {"grey16_4x2.png", 4, 2,
         [](int x, int y) {
             return std::array<int, 4>{x * 60 + y, x * 60 + y, x * 60 + y, 255};
         }},
        {"rgba16_6x5.png", 6, 5, generated},
        {"interlaced_13x11.png", 13, 11, generated},
        {"rgba_64x64.png", 64, 64, generated},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        RgbaImage image;
        std::string status = "stale";
        ASSERT_TRUE(load(fixture(k.file), image, status));
        EXPECT_EQ(status, "");
        ASSERT_TRUE(isValidImage(image));
        ASSERT_EQ(image.width, k.width);
        ASSERT_EQ(image.height, k.height);
        for (int y = 0; y < k.height; ++y) {
            for (int x = 0; x < k.width; ++x) expectPixel(image, x, y, k.expected(x, y));
        }
    }
    ASSERT_EQ(requests.size(), std::size(cases));
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(requests[0].title, "Import vobu skin");
    EXPECT_EQ(requests[0].defaultExtension, "");
}

TEST_F(ImageFilesTest, FilesWithoutAUsableImageReportAndGiveNothing) {
    for (const char* file :
         {"wide_5000x10.png", "not_an_image.png", "truncated.png", "huge_header_60000.png", "no_such_file.png"}) {
        RgbaImage image;
        std::string status;
        ASSERT_TRUE(load(fixture(file), image, status)) << file;
        EXPECT_EQ(status, kPngCannotRead) << file;
        EXPECT_EQ(image.width, 0);
        EXPECT_TRUE(image.pixels.empty());
        EXPECT_FALSE(takeLoadedPng(image, status)) << "one result per load";
    }
}

TEST_F(ImageFilesTest, CancelLeavesNothingToTakeAndDropsAnOlderResult) {
    RgbaImage image;
    std::string status;
    answer = fixture("rgba_64x64.png").string();
    loadPngFile();
    answer.clear();
    loadPngFile();  // a new request empties the slot first
    EXPECT_FALSE(takeLoadedPng(image, status));
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    EXPECT_FALSE(takeLoadedPng(image, status));
    EXPECT_EQ(requests.size(), 3u);
}

TEST_F(ImageFilesTest, WithoutSupportOrImageTheTextsSaySo) {
    startImageSupportWith(ImageFileCalls{});
    RgbaImage image;
    std::string status;
    loadPngFile();
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, kPngUnavailable);
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, kPngCannotPrepare);

    install(systemImageFileCalls());
    answer = (fs::path(folder) / "x.png").string();
    savePngFile(RgbaImage{3, 3, std::vector<uint8_t>(35, 0)}, "Vobu");
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, kPngCannotPrepare);
    EXPECT_TRUE(requests.empty()) << "no dialog for an image that cannot be saved";
    EXPECT_FALSE(fs::exists(answer));
}

TEST_F(ImageFilesTest, BothDialogsOpenOverTheGameWindowOnceItIsKnown) {
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    setImageDialogParent(31457287);
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    loadPngFile();
    setImageDialogParent(0);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].parentWindow, 0u);
    EXPECT_EQ(requests[1].parentWindow, 31457287u);
    EXPECT_EQ(requests[2].parentWindow, 31457287u);
}

// -- sheets from an independent encoder --------------------------------------

// The generator's texel formula.
uint32_t generatedTexel(int face, int i, int j) {
    return (uint32_t((face * 40 + i * 3) & 255) << 16) | (uint32_t((j * 5) & 255) << 8) |
           uint32_t((i * j + face) & 255);
}

uint32_t texel(const Character& c, int face, int x, int y) { return c.faces[face][y * kFaceCanvasSide + x]; }

TEST_F(ImageFilesTest, SheetFixturesImport) {
    RgbaImage image;
    std::string status;
    ASSERT_TRUE(load(fixture("sheet_offset_400x300.png"), image, status));
    Character c;
    c.name = "Kept";
    std::string message;
    ASSERT_TRUE(importSkinSheet(image, c, message)) << message;
    EXPECT_EQ(c.width, 20);
    EXPECT_EQ(c.height, 30);
    EXPECT_EQ(c.depth, 16);
    EXPECT_EQ(c.name, "Kept");
    for (int face = 0; face < kFaceCount; ++face) {
        auto [w, h] = c.faceSize(face);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) ASSERT_EQ(texel(c, face, x, y), generatedTexel(face, x, y)) << face;
        }
    }
}

TEST_F(ImageFilesTest, SheetFixtureWithAlpha100MixesWithTheOldTexels) {
    RgbaImage image;
    std::string status;
    ASSERT_TRUE(load(fixture("sheet_alpha100.png"), image, status));
    Character c;
    const uint32_t old = 0x2050F0;
    for (auto& face : c.faces) std::fill(face.begin(), face.end(), old);
    std::string message;
    ASSERT_TRUE(importSkinSheet(image, c, message)) << message;
    auto mix = [](uint32_t source, uint32_t previous, int shift) {
        const int s = (source >> shift) & 255, o = (previous >> shift) & 255;
        return uint32_t((s * 100 + o * 155 + 127) / 255) << shift;
    };
    for (int y = 10; y < 20; ++y) {
        for (int x = 10; x < 20; ++x) {
            const uint32_t source = generatedTexel(FaceFront, x, y);
            ASSERT_EQ(texel(c, FaceFront, x, y), mix(source, old, 16) | mix(source, old, 8) | mix(source, old, 0));
        }
    }
    for (int x = 0; x < 8; ++x) EXPECT_EQ(texel(c, FaceFront, x, 30), old);
    EXPECT_EQ(texel(c, FaceFront, 9, 10), generatedTexel(FaceFront, 9, 10));
    EXPECT_EQ(texel(c, FaceBack, 31, 63), generatedTexel(FaceBack, 31, 63));
}

TEST_F(ImageFilesTest, SheetFixturesThatAreNotSheets) {
    for (const char* file : {"sheet_net10wide.png", "sheet_stray_pixel.png", "sheet_corner_square.png"}) {
        RgbaImage image;
        std::string status;
        ASSERT_TRUE(load(fixture(file), image, status));
        ASSERT_EQ(status, "") << file;
        Character c;
        const Character before = c;
        std::string message;
        EXPECT_FALSE(importSkinSheet(image, c, message)) << file;
        EXPECT_EQ(message, kSheetNotASheet) << file;
        EXPECT_EQ(c.faces, before.faces);
    }
}

// -- saving ------------------------------------------------------------------

TEST_F(ImageFilesTest, ExportedDefaultSheetReadsBackInAnIndependentDecoder) {
    answer = (fs::path(folder) / "Vobu.png").string();
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    RgbaImage image;
    std::string status = "stale";
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    EXPECT_EQ(image.width, 0) << "a save hands over no image";
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].title, "Export vobu skin");
    EXPECT_EQ(requests[0].proposedName, "Vobu.png");
    EXPECT_EQ(requests[0].defaultExtension, "png");

    const ProcessResult check =
        runProcess({"/usr/bin/python3", fixture("check_exported_sheet.py").string(), answer}, 4096);
    ASSERT_EQ(check.start, ProcessStart::Ran) << "python3-pil is needed (scripts/setup.sh)";
    EXPECT_EQ(check.exitStatus, 0) << check.output;

    // And our own reader gives back exactly the sheet, alpha included.
    RgbaImage back;
    ASSERT_TRUE(load(answer, back, status));
    EXPECT_EQ(back.pixels, makeSkinSheet(Character{}).pixels);
    // Only the target is left in the folder: no temporary beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(ImageFilesTest, AFailedWriteKeepsTheConfirmedFile) {
    const fs::path target = fs::path(folder) / "skin.png";
    { std::ofstream(target, std::ios::binary) << "the user's old skin"; }
    answer = target.string();

    // Writes beyond 1 KiB fail (EFBIG instead of the signal).
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    Character noisy;
    for (size_t i = 0; i < noisy.faces[FaceFront].size(); ++i)
        noisy.faces[FaceFront][i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
    savePngFile(makeSkinSheet(noisy), "Vobu");
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, previousHandler);

    RgbaImage image;
    std::string status;
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, kPngCannotWrite);
    EXPECT_EQ(slurp(target), "the user's old skin");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1) << "temporary left behind";

    // The same save with room to write replaces it.
    savePngFile(makeSkinSheet(noisy), "Vobu");
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, "");
    EXPECT_EQ(slurp(target).substr(1, 3), "PNG");
}

TEST_F(ImageFilesTest, UnwritableFolderReports) {
    answer = (fs::path(folder) / "missing" / "skin.png").string();
    savePngFile(makeSkinSheet(Character{}), "Vobu");
    RgbaImage image;
    std::string status;
    ASSERT_TRUE(takeLoadedPng(image, status));
    EXPECT_EQ(status, kPngCannotWrite);
}

}  // namespace
}  // namespace vobu
