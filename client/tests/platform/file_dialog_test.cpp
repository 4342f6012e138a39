#include "platform/file_dialog.h"

#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

namespace vobu {
namespace {

bool isQuestion(const std::vector<std::string>& arguments) {
    return std::find(arguments.begin(), arguments.end(), "--question") != arguments.end() ||
           std::find(arguments.begin(), arguments.end(), "--warningyesno") != arguments.end();
}

// Replaces the spawner: each program name answers its dialog, and its
// replace question, with a fixed result; `files` is what exists.
struct FakeHelpers {
    std::map<std::string, ProcessResult> answers;
    std::map<std::string, ProcessResult> questions;
    std::set<std::string> files;
    std::vector<std::vector<std::string>> runs;
    std::vector<std::string> logLines;

    FileDialogCalls calls() {
        FileDialogCalls c;
        c.run = [this](const std::vector<std::string>& arguments, size_t) {
            runs.push_back(arguments);
            const auto& table = isQuestion(arguments) ? questions : answers;
            auto found = table.find(arguments.at(0));
            ProcessResult missing;
            missing.start = ProcessStart::NotFound;
            return found == table.end() ? missing : found->second;
        };
        c.log = [this](const std::string& line) { logLines.push_back(line); };
        c.exists = [this](const std::string& path) { return files.count(path) > 0; };
        return c;
    }
};

ProcessResult ran(int status, const std::string& output) {
    ProcessResult r;
    r.start = ProcessStart::Ran;
    r.exitStatus = status;
    r.output = output;
    return r;
}

FileDialogRequest saveRequest() { return {true, "Export vobu skin", "Vobu.png", "", 0}; }
FileDialogRequest openRequest() { return {false, "Import vobu skin", "", "", 0}; }

TEST(FileDialog, ZenityArguments) {
    EXPECT_EQ(zenityDialogArguments(saveRequest()),
              (std::vector<std::string>{"zenity", "--file-selection", "--title=Export vobu skin", "--save",
                                        "--confirm-overwrite", "--filename=Vobu.png", "--file-filter=PNG image | *.png",
                                        "--file-filter=All files | *"}));
    EXPECT_EQ(zenityDialogArguments(openRequest()),
              (std::vector<std::string>{"zenity", "--file-selection", "--title=Import vobu skin",
                                        "--file-filter=PNG image | *.png", "--file-filter=All files | *"}));
}

// Unowned, a dialog can open behind the game window it freezes; with the
// window's id both helpers keep it above that window and modal to it.
TEST(FileDialog, ParentWindowMakesBothHelpersModalToIt) {
    FileDialogRequest save = saveRequest();
    save.parentWindow = 0x1e00007;  // 31457287
    EXPECT_EQ(zenityDialogArguments(save),
              (std::vector<std::string>{"zenity", "--file-selection", "--title=Export vobu skin", "--modal",
                                        "--attach=31457287", "--save", "--confirm-overwrite", "--filename=Vobu.png",
                                        "--file-filter=PNG image | *.png", "--file-filter=All files | *"}));
    EXPECT_EQ(kdialogDialogArguments(save),
              (std::vector<std::string>{"kdialog", "--title", "Export vobu skin", "--attach", "31457287",
                                        "--getsavefilename", "./Vobu.png", "*.png|PNG image\n*|All files"}));
    FileDialogRequest open = openRequest();
    open.parentWindow = 4194305;
    EXPECT_EQ(zenityDialogArguments(open),
              (std::vector<std::string>{"zenity", "--file-selection", "--title=Import vobu skin", "--modal",
                                        "--attach=4194305", "--file-filter=PNG image | *.png",
                                        "--file-filter=All files | *"}));
    EXPECT_EQ(kdialogDialogArguments(open),
              (std::vector<std::string>{"kdialog", "--title", "Import vobu skin", "--attach", "4194305",
                                        "--getopenfilename", ".", "*.png|PNG image\n*|All files"}));

    // The vectors that reach the spawner are these very ones.
    FakeHelpers fake;
    std::string path;
    EXPECT_FALSE(showFileDialog(save, path, fake.calls()));
    ASSERT_EQ(fake.runs.size(), 2u);
    EXPECT_EQ(fake.runs[0], zenityDialogArguments(save));
    EXPECT_EQ(fake.runs[1], kdialogDialogArguments(save));
}

TEST(FileDialog, SavedNameWithoutAnExtensionGetsTheDefaultOne) {
    struct Case {
        const char* chosen;
        const char* saved;
    };
    for (const Case& k : {Case{"/home/u/myskin", "/home/u/myskin.png"},
                          {"/home/u/myskin.png", "/home/u/myskin.png"},
                          {"/home/u/myskin.PNG", "/home/u/myskin.PNG"},
                          {"/home/u/myskin.bmp", "/home/u/myskin.bmp"},
                          {"/home/u/my.skin", "/home/u/my.skin"},
                          {"/home/u.v/myskin", "/home/u.v/myskin.png"},
                          {"/home/u/.hidden", "/home/u/.hidden.png"},
                          {"relative", "relative.png"}}) {
        for (const char* helper : {"zenity", "kdialog"}) {
            FakeHelpers fake;
            fake.answers[helper] = ran(0, std::string(k.chosen) + "\n");
            FileDialogRequest request = saveRequest();
            request.defaultExtension = "png";
            std::string path;
            ASSERT_TRUE(showFileDialog(request, path, fake.calls())) << helper;
            EXPECT_EQ(path, k.saved) << helper << " chose " << k.chosen;
        }
    }
    // Opening never changes the chosen name, nor does a save without a
    // default extension.
    FakeHelpers fake;
    fake.answers["zenity"] = ran(0, "/home/u/myskin\n");
    FileDialogRequest open = openRequest();
    open.defaultExtension = "png";
    std::string path;
    ASSERT_TRUE(showFileDialog(open, path, fake.calls()));
    EXPECT_EQ(path, "/home/u/myskin");
    ASSERT_TRUE(showFileDialog(saveRequest(), path, fake.calls()));
    EXPECT_EQ(path, "/home/u/myskin");
}

// The helper asked about "myskin"; the file written is "myskin.png", which
// must not be replaced unasked.
TEST(FileDialog, AnExistingFileThatTheExtensionNamesIsAskedAbout) {
    struct Case {
        const char* helper;
        int answer;  // exit status of the question
        bool saved;
    };
    for (const Case& k : {Case{"zenity", 0, true},
                          {"zenity", 1, false},
                          {"zenity", 5, false},
                          {"kdialog", 0, true},
                          {"kdialog", 1, false}}) {
        SCOPED_TRACE(std::string(k.helper) + " answers " + std::to_string(k.answer));
        FakeHelpers fake;
        fake.answers[k.helper] = ran(0, "/home/u/myskin\n");
        fake.questions[k.helper] = ran(k.answer, "");
        fake.files = {"/home/u/myskin.png"};
        FileDialogRequest request = saveRequest();
        request.defaultExtension = "png";
        request.parentWindow = 77;
        std::string path = "unchanged";
        EXPECT_EQ(showFileDialog(request, path, fake.calls()), k.saved);
        EXPECT_EQ(path, k.saved ? "/home/u/myskin.png" : "unchanged");
        ASSERT_FALSE(fake.runs.empty());
        const auto expected = std::string(k.helper) == "zenity" ? zenityReplaceArguments(request, "myskin.png")
                                                                : kdialogReplaceArguments(request, "myskin.png");
        EXPECT_EQ(fake.runs.back(), expected);
    }
    EXPECT_EQ(
        zenityReplaceArguments({true, "Export vobu skin", "", "png", 77}, "a<b>&c.png"),
        (std::vector<std::string>{"zenity", "--question", "--title=Export vobu skin", "--modal", "--attach=77",
                                  "--no-markup", "--text=A file named \"a<b>&c.png\" already exists. Replace it?"}));
    EXPECT_EQ(kdialogReplaceArguments({true, "Export vobu skin", "", "png", 77}, "x.png"),
              (std::vector<std::string>{"kdialog", "--title", "Export vobu skin", "--attach", "77", "--warningyesno",
                                        "A file named \"x.png\" already exists. Replace it?"}));

    // No question where the helper asked itself, or nothing would be lost.
    for (const char* typed : {"/home/u/old.png", "/home/u/fresh"}) {
        FakeHelpers fake;
        fake.answers["zenity"] = ran(0, std::string(typed) + "\n");
        fake.files = {"/home/u/old.png"};
        FileDialogRequest request = saveRequest();
        request.defaultExtension = "png";
        std::string path;
        EXPECT_TRUE(showFileDialog(request, path, fake.calls()));
        EXPECT_EQ(fake.runs.size(), 1u) << typed;
    }
}

TEST(FileDialog, KdialogArgumentsNeverStartAPathWithADash) {
    FileDialogRequest request = saveRequest();
    request.proposedName = "-rf.png";
    const auto arguments = kdialogDialogArguments(request);
    ASSERT_EQ(arguments.size(), 6u);
    EXPECT_EQ(arguments[3], "--getsavefilename");
    EXPECT_EQ(arguments[4], "./-rf.png");
    EXPECT_EQ(kdialogDialogArguments(openRequest())[3], "--getopenfilename");
}

TEST(FileDialog, ChosenPathLosesOnlyTheFinalNewline) {
    FakeHelpers fake;
    fake.answers["zenity"] = ran(0, "/tmp/a b/skin\n.png\n");
    std::string path = "unchanged";
    ASSERT_TRUE(showFileDialog(saveRequest(), path, fake.calls()));
    EXPECT_EQ(path, "/tmp/a b/skin\n.png");
    EXPECT_EQ(fake.runs.size(), 1u);
}

TEST(FileDialog, CancelAndFailuresChooseNothing) {
    struct Case {
        ProcessResult zenity;
        size_t logLines;
    };
    ProcessResult cut = ran(0, "/tmp/x");
    cut.outputCut = true;
    ProcessResult broken;
    broken.start = ProcessStart::Failed;
    for (const Case& k : {Case{ran(1, ""), 0}, Case{ran(0, ""), 0}, Case{ran(0, "\n"), 0}, Case{ran(5, "/x\n"), 1},
                          Case{ran(-1, ""), 1}, Case{cut, 1}, Case{broken, 1}}) {
        FakeHelpers fake;
        fake.answers["zenity"] = k.zenity;
        fake.answers["kdialog"] = ran(0, "/should/not/ask\n");
        std::string path = "unchanged";
        EXPECT_FALSE(showFileDialog(openRequest(), path, fake.calls()));
        EXPECT_EQ(path, "unchanged");
        EXPECT_EQ(fake.runs.size(), 1u) << "a cancel in zenity must not open a second dialog";
        EXPECT_EQ(fake.logLines.size(), k.logLines);
    }
}

TEST(FileDialog, KdialogWhenZenityIsMissingAndOneLineWhenBothAre) {
    FakeHelpers fake;
    fake.answers["kdialog"] = ran(0, "/home/u/skin.png\n");
    std::string path;
    ASSERT_TRUE(showFileDialog(saveRequest(), path, fake.calls()));
    EXPECT_EQ(path, "/home/u/skin.png");
    ASSERT_EQ(fake.runs.size(), 2u);
    EXPECT_EQ(fake.runs[1], kdialogDialogArguments(saveRequest()));

    FakeHelpers none;
    EXPECT_FALSE(showFileDialog(saveRequest(), path, none.calls()));
    ASSERT_EQ(none.logLines.size(), 1u);
    EXPECT_NE(none.logLines[0].find("zenity"), std::string::npos);
    EXPECT_NE(none.logLines[0].find("kdialog"), std::string::npos);
}

// Expects the runs of one dialog in order and answers each with its own
// result; a run beyond the script finds no program.
struct ScriptedHelpers {
    struct Step {
        std::vector<std::string> arguments;
        ProcessResult result;
    };
    std::vector<Step> steps;
    std::set<std::string> files;
    std::vector<std::vector<std::string>> runs;
    std::vector<std::string> logLines;

    FileDialogCalls calls() {
        FileDialogCalls c;
        c.run = [this](const std::vector<std::string>& arguments, size_t) {
            runs.push_back(arguments);
            ProcessResult missing;
            missing.start = ProcessStart::NotFound;
            return runs.size() <= steps.size() ? steps[runs.size() - 1].result : missing;
        };
        c.log = [this](const std::string& line) { logLines.push_back(line); };
        c.exists = [this](const std::string& path) { return files.count(path) > 0; };
        return c;
    }
    std::vector<std::vector<std::string>> expectedRuns() const {
        std::vector<std::vector<std::string>> all;
        for (const Step& step : steps) {
            all.push_back(step.arguments);
        }
        return all;
    }
};

ProcessResult notFound() {
    ProcessResult r;
    r.start = ProcessStart::NotFound;
    return r;
}

using Arguments = std::vector<std::string>;

Arguments withFilters(Arguments arguments) {
    arguments.push_back("--file-filter=PNG image | *.png");
    arguments.push_back("--file-filter=All files | *");
    return arguments;
}

Arguments zenityQuestion(const std::string& name) {
    return {"zenity", "--question", "--title=Export vobu skin", "--no-markup",
            "--text=A file named \"" + name + "\" already exists. Replace it?"};
}

// zenity 3.90 to 3.92 know neither --modal nor --attach, and 3.91 not
// --confirm-overwrite either; an option zenity does not know ends it with
// status 255 before any dialog opens. Each case is the whole conversation
// with the helpers, every argument of every run.
TEST(FileDialog, ZenityThatRefusesItsOptionsIsAskedAgainWithFewerThenKdialog) {
    const Arguments zOpenOwned =
        withFilters({"zenity", "--file-selection", "--title=Import vobu skin", "--modal", "--attach=77"});
    const Arguments zOpen = withFilters({"zenity", "--file-selection", "--title=Import vobu skin"});
    const Arguments kOpenOwned = {"kdialog",
                                  "--title",
                                  "Import vobu skin",
                                  "--attach",
                                  "77",
                                  "--getopenfilename",
                                  ".",
                                  "*.png|PNG image\n*|All files"};
    const Arguments kOpen = {"kdialog",           "--title", "Import vobu skin",
                             "--getopenfilename", ".",       "*.png|PNG image\n*|All files"};
    const Arguments zSaveOwned = withFilters({"zenity", "--file-selection", "--title=Export vobu skin", "--modal",
                                              "--attach=77", "--save", "--confirm-overwrite", "--filename=Vobu.png"});
    const Arguments zSave = withFilters({"zenity", "--file-selection", "--title=Export vobu skin", "--save",
                                         "--confirm-overwrite", "--filename=Vobu.png"});
    const Arguments zSaveBare =
        withFilters({"zenity", "--file-selection", "--title=Export vobu skin", "--save", "--filename=Vobu.png"});
    const Arguments kSaveOwned = {"kdialog", "--title",           "Export vobu skin", "--attach",
                                  "77",      "--getsavefilename", "./Vobu.png",       "*.png|PNG image\n*|All files"};
    const ProcessResult refused = ran(255, "");
    const ProcessResult cancel = ran(1, "");

    FileDialogRequest open = openRequest();
    open.parentWindow = 77;
    FileDialogRequest save = saveRequest();
    save.defaultExtension = "png";
    save.parentWindow = 77;
    FileDialogRequest unownedSave = save;
    unownedSave.parentWindow = 0;

    struct Case {
        const char* what;
        FileDialogRequest request;
        std::vector<ScriptedHelpers::Step> steps;
        std::set<std::string> files;
        const char* chosen;  // nullptr: nothing chosen
    };
    const Case cases[] = {
        {"open, 3.90: again without the window options",
         open,
         {{zOpenOwned, refused}, {zOpen, ran(0, "/u/a.png\n")}},
         {},
         "/u/a.png"},
        {"open: refused twice, then kdialog (owned)",
         open,
         {{zOpenOwned, refused}, {zOpen, refused}, {kOpenOwned, ran(0, "/u/k.png\n")}},
         {},
         "/u/k.png"},
        {"open: a cancel stays a cancel", open, {{zOpenOwned, cancel}}, {}, nullptr},
        {"open: a cancel in the second try too", open, {{zOpenOwned, refused}, {zOpen, cancel}}, {}, nullptr},
        {"open: zenity missing, kdialog",
         open,
         {{zOpenOwned, notFound()}, {kOpenOwned, ran(0, "/u/k.png\n")}},
         {},
         "/u/k.png"},
        {"open unowned: no second try that is the first again",
         openRequest(),
         {{zOpen, refused}, {kOpen, ran(0, "/u/k.png\n")}},
         {},
         "/u/k.png"},
        {"save, 3.90: zenity's own question covers the typed name",
         save,
         {{zSaveOwned, refused}, {zSave, ran(0, "/u/old.png\n")}},
         {"/u/old.png"},
         "/u/old.png"},
        {"save, 3.90: the question for the added extension is unowned too",
         save,
         {{zSaveOwned, refused}, {zSave, ran(0, "/u/myskin\n")}, {zenityQuestion("myskin.png"), ran(0, "")}},
         {"/u/myskin.png"},
         "/u/myskin.png"},
        {"save, 3.91: without --confirm-overwrite the client asks, yes",
         save,
         {{zSaveOwned, refused},
          {zSave, refused},
          {zSaveBare, ran(0, "/u/old.png\n")},
          {zenityQuestion("old.png"), ran(0, "")}},
         {"/u/old.png"},
         "/u/old.png"},
        {"save, 3.91: no",
         save,
         {{zSaveOwned, refused},
          {zSave, refused},
          {zSaveBare, ran(0, "/u/old.png\n")},
          {zenityQuestion("old.png"), cancel}},
         {"/u/old.png"},
         nullptr},
        {"save, 3.91: a question that fails is no",
         save,
         {{zSaveOwned, refused},
          {zSave, refused},
          {zSaveBare, ran(0, "/u/old.png\n")},
          {zenityQuestion("old.png"), refused}},
         {"/u/old.png"},
         nullptr},
        {"save, 3.91: a new file needs no question",
         save,
         {{zSaveOwned, refused}, {zSave, refused}, {zSaveBare, ran(0, "/u/new.png\n")}},
         {"/u/old.png"},
         "/u/new.png"},
        {"save, 3.91: nor does a typed name the extension frees",
         save,
         {{zSaveOwned, refused}, {zSave, refused}, {zSaveBare, ran(0, "/u/old\n")}},
         {"/u/old"},
         "/u/old.png"},
        {"save: refused three times, then kdialog (owned)",
         save,
         {{zSaveOwned, refused}, {zSave, refused}, {zSaveBare, refused}, {kSaveOwned, ran(0, "/u/k.png\n")}},
         {},
         "/u/k.png"},
        {"save: a cancel stays a cancel", save, {{zSaveOwned, cancel}}, {}, nullptr},
        {"save: a cancel without the window options too", save, {{zSaveOwned, refused}, {zSave, cancel}}, {}, nullptr},
        {"save: zenity missing, kdialog",
         save,
         {{zSaveOwned, notFound()}, {kSaveOwned, ran(0, "/u/k.png\n")}},
         {},
         "/u/k.png"},
        {"save unowned, 3.91",
         unownedSave,
         {{zSave, refused}, {zSaveBare, ran(0, "/u/old.png\n")}, {zenityQuestion("old.png"), ran(0, "")}},
         {"/u/old.png"},
         "/u/old.png"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ScriptedHelpers fake;
        fake.steps = k.steps;
        fake.files = k.files;
        std::string path = "unchanged";
        EXPECT_EQ(showFileDialog(k.request, path, fake.calls()), k.chosen != nullptr);
        EXPECT_EQ(path, k.chosen ? k.chosen : "unchanged");
        EXPECT_EQ(fake.runs, fake.expectedRuns());
    }
}

TEST(FileDialog, ZenityRefusingEveryTryWithoutKdialogIsLogged) {
    FileDialogRequest save = saveRequest();
    save.parentWindow = 77;
    ScriptedHelpers fake;
    fake.steps.assign(3, {{}, ran(255, "")});
    std::string path;
    EXPECT_FALSE(showFileDialog(save, path, fake.calls()));
    ASSERT_EQ(fake.runs.size(), 4u);
    EXPECT_EQ(fake.runs[3].at(0), "kdialog");
    ASSERT_FALSE(fake.logLines.empty());
    EXPECT_NE(fake.logLines.back().find("kdialog"), std::string::npos);
    EXPECT_EQ(fake.logLines.back().find("neither"), std::string::npos) << "zenity is installed";
}

}  // namespace
}  // namespace vobu
