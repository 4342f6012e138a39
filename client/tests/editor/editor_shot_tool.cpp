// editor_shot <folder>: draws the editor's screens through OpenGL in a
// 1020 x 680 window (run it under Xvfb) with the packaged Unifont and
// writes each picture as a PNG, so that a person can look at them: the
// library screen, the library after a failed load, the face view with the
// paint panel (brush and selection), the orbit view, and the join overlay
// connecting, downloading and disconnected.

#include <GL/gl.h>
#include <SDL.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/asset_package.h"
#include "character/character_library.h"
#include "character/user_files.h"
#include "editor/character_editor.h"
#include "editor/paint_ops.h"
#include "platform/png_codec.h"

namespace {

using vobu::CharacterEditor;

constexpr int kWidth = 1020;
constexpr int kHeight = 680;

bool writeShot(const std::string& path) {
    std::vector<uint8_t> pixels(size_t(kWidth) * kHeight * 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    std::vector<uint8_t> flipped(pixels.size());
    for (int y = 0; y < kHeight; ++y) {
        std::copy_n(&pixels[size_t(kHeight - 1 - y) * kWidth * 4], size_t(kWidth) * 4,
                    &flipped[size_t(y) * kWidth * 4]);
    }
    for (size_t i = 3; i < flipped.size(); i += 4) flipped[i] = 255;
    std::vector<uint8_t> png;
    if (!vobu::encodePng(flipped.data(), kWidth, kHeight, png)) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    return bool(out);
}

// A character with something painted on every face, so that the box reads
// as a box in the picture.
vobu::Character painted(const std::string& id, const std::string& name, uint32_t base) {
    vobu::Character character;
    character.id = id;
    character.name = name;
    for (int f = 0; f < vobu::kFaceCount; ++f) {
        character.faces[size_t(f)].assign(size_t(vobu::kFaceCanvasTexels), base);
        const vobu::FaceRect all{0, 0, 64, 64};
        vobu::paintStroke(character, f, 4, 6, 27, 6, 3, true, 0x202020, all);
        vobu::paintStroke(character, f, 8, 14, 8, 16, 3, false, 0xFFFFFF, all);
        vobu::paintStroke(character, f, 22, 14, 22, 16, 3, false, 0xFFFFFF, all);
        vobu::paintStroke(character, f, 10, 26, 21, 30, 2, true, 0xC03030, all);
        vobu::floodFill(character, f, 0, 63, 0x3050A0, vobu::FaceRect{0, 40, 64, 24});
    }
    return character;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: editor_shot <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    char pattern[] = "/tmp/vobu-editor-shot-XXXXXX";
    if (!::mkdtemp(pattern)) return 1;
    ::setenv("XDG_DATA_HOME", pattern, 1);

    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_Window* window = SDL_CreateWindow("editor shot", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) return 1;

    vobu::CharacterLibrary seed;
    seed.save(painted("aaaa", "Vobu", 0xFFDBAA));
    seed.save(painted("bbbb", "Moss", 0x6FA060));
    seed.save(painted("cccc", "Ember", 0xE08040));

    int failures = 0;
    {
        vobu::Graphics graphics;
        graphics.initialize(vobu::createOpenGlBackend());
        CharacterEditor editor;
        editor.initialize(&graphics, vobu::loadPackagedAsset);
        auto shot = [&](const char* name, int frames) {
            for (int i = 0; i < frames; ++i) {
                editor.update(1.0 / 60);
                editor.draw(kWidth, kHeight);
            }
            glFinish();
            if (!writeShot(folder + "/" + name + ".png")) ++failures;
        };

        editor.selectLibraryEntry(1);
        editor.updatePointer(600, 620);
        shot("library", 30);

        editor.openEditor();
        editor.tool = CharacterEditor::ToolBrush;
        editor.primaryColor = 0x2060E0;
        editor.selection = vobu::IntRect{4, 10, 12, 9};
        editor.updatePointer(320, 300);
        shot("face_view_brush", 2);

        editor.tool = CharacterEditor::ToolSelect;
        editor.zoom = 2.2f;
        editor.updatePointer(900, 500);
        shot("face_view_select", 2);

        editor.zoomBy(-20);  // out to the whole character
        shot("orbit_view", 60);

        editor.beginJoin();
        editor.setJoinStatus("Connecting", 0);
        shot("overlay_connecting", 1);
        editor.setJoinStatus("Downloading assets", 0.62f);
        shot("overlay_downloading", 1);
        editor.onDisconnected("ERR_KICKED: the server is restarting for an update, please come back in a minute");
        shot("overlay_disconnected", 1);
        graphics.clearTextures();
        graphics.shutdown();
    }
    {
        // A characters file that cannot be read: the status line tells why
        // the list is empty.
        std::ofstream(vobu::storagePath(), std::ios::binary | std::ios::trunc) << "{\"characters\":[{\"id\":";
        vobu::Graphics graphics;
        graphics.initialize(vobu::createOpenGlBackend());
        CharacterEditor editor;
        editor.initialize(&graphics, vobu::loadPackagedAsset);
        editor.updatePointer(-1, -1);
        for (int i = 0; i < 2; ++i) editor.draw(kWidth, kHeight);
        glFinish();
        if (!writeShot(folder + "/library_read_error.png")) ++failures;
        graphics.clearTextures();
        graphics.shutdown();
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return failures == 0 ? 0 : 1;
}
