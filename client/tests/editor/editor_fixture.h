#pragma once

// A CharacterEditor started the way the Application starts it, with its
// library in a fresh per-user folder, the test glyph table as the package
// font and the recording Graphics backend: no window, no OpenGL.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "character/storage_fixture.h"
#include "editor/character_editor.h"
#include "editor/png_files.h"
#include "support/recording_backend.h"
#include "support/test_font.h"

namespace vobu::testing {

class EditorFixture : public vobu::testing::StorageTest {
public:
    // The table cases reach the folder helpers through the fixture.
    using StorageTest::block;
    using StorageTest::exists;
    using StorageTest::path;
    using StorageTest::put;
    using StorageTest::slurp;

    // initialize installs the system's file dialogs; the next test starts
    // without them.
    void TearDown() override {
        startImageSupportWith(ImageFileCalls{});
        StorageTest::TearDown();
    }

    // initialize with the test font as "unifont.bin".
    void start() {
        editor.initialize(&graphics, [this](const std::string& name) {
            assetsRead.push_back(name);
            return encodeUnifontGlyphs(testGlyphs());
        });
    }

    // Puts these characters into the characters file before the start.
    void storeCharacters(const std::vector<Character>& list) { put(path, buildCharactersDocument(list)); }

    static Character named(const std::string& id, const std::string& name, uint32_t color = kDefaultSkinColor) {
        Character character;
        character.id = id;
        character.name = name;
        for (auto& face : character.faces) face.assign(face.size(), color);
        return character;
    }

    // One frame as the Application runs it for the editor.
    void frame(double dt = 1.0 / 60) {
        editor.update(dt);
        editor.draw(1020, 680);
    }

    // Runs the updates of `seconds` in steps of dt.
    void runFor(double seconds, double dt = 1.0 / 60) {
        const long steps = std::lround(seconds / dt);
        for (long i = 0; i < steps; ++i) editor.update(dt);
    }

    size_t uploadCount() const { return recording.uploads.size(); }

    Recording recording;
    Graphics graphics{std::make_unique<RecordingBackend>(recording)};
    CharacterEditor editor;
    std::vector<std::string> assetsRead;
};

}  // namespace vobu::testing
