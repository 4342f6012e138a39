// A test tool: opens a 1020 x 680 OpenGL window, builds a Scene on the kit
// map (textured floor, half-transparent platform) with the local player, a
// second player under the mouse, a sign and a speech bubble, draws it with
// the Renderer and writes the last frame as a binary PPM. It prints where
// things should show, one "name x y" line each, for the checks of the test.

#include <GL/gl.h>
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/asset_package.h"
#include "mapkit/map_kit.h"
#include "mapkit/map_writer.h"
#include "support/players.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "world/map_readers.h"
#include "world/renderer.h"
#include "world/scene.h"

namespace vobu {
namespace {

constexpr int kWidth = 1020;
constexpr int kHeight = 680;
constexpr uint32_t kSkin = 0xffff00;  // yellow, so the floor's blue tint shows as green

Character paintedCharacter(const std::string& name, uint32_t color) {
    Character c;
    c.name = name;
    for (auto& face : c.faces) face.assign(kFaceCanvasTexels, color);
    return c;
}

Scene buildScene() {
    Scene scene;
    mapkit::KitRenderMap map = mapkit::twoMaterialRenderMap();
    readRenderMesh(scene, mapkit::writeRenderMesh(map.materials));
    for (const mapkit::KitTexture& t : map.textures)
        readTexture(scene, t.slot, mapkit::writeTexture(t.width, t.height, t.rgba));
    readWalkMesh(scene.walkMesh, mapkit::writeWalkMesh(mapkit::flatFloor()));
    scene.localPlayerId = 1;
    scene.spawn.heading = 0;
    scene.characters[1] = paintedCharacter("Me", kSkin);
    scene.characters[2] = paintedCharacter("Alice", 0xd04040);
    for (int id : {1, 2}) {
        scene.characterRevisions[id] = 1;
        scene.characterGenerations[id] = 1;
    }
    SceneEntity sign;
    sign.id = 10;
    sign.type = "text";
    sign.text = "Welcome to the ^#ffcc00kit map\nsecond line";
    sign.x = -2.2f;
    sign.y = -1.5f;
    sign.z = 1.4f;
    scene.entities.push_back(sign);
    return scene;
}

std::vector<Player> buildPlayers() {
    return {testing::playerAt(1, 0, -4, 0), testing::playerAt(2, 2.5, 0, 0, 3.14159f)};
}

void writePpm(const std::string& path) {
    std::vector<unsigned char> rgb(size_t(kWidth) * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) throw std::runtime_error("cannot write " + path);
    std::fprintf(file, "P6\n%d %d\n255\n", kWidth, kHeight);
    for (int y = kHeight - 1; y >= 0; --y) std::fwrite(&rgb[size_t(y) * kWidth * 3], 1, size_t(kWidth) * 3, file);
    std::fclose(file);
}

void printPoint(const char* name, const Renderer& renderer, float x, float y, float z) {
    const Vertex v = renderer.camera.project(x, y, z, 1, 1, 1, float(kWidth) / kHeight);
    std::printf("%s %d %d\n", name, int(std::lround((v.x / v.w + 1) / 2 * kWidth)),
                int(std::lround((1 - v.y / v.w) / 2 * kHeight)));
}

int run(const std::string& output) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_Window* window = SDL_CreateWindow("VobuGame scene", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth,
                                          kHeight, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (context == nullptr) {
        std::fprintf(stderr, "no OpenGL window: %s\n", SDL_GetError());
        return 1;
    }
    {
        Graphics graphics;
        graphics.initialize(createOpenGlBackend());
        Font font;
        font.load(loadPackagedAsset("unifont.bin"));
        Renderer renderer;
        renderer.initialize(&graphics, &font);
        renderer.camera.zoom(4);  // as four wheel steps in: about 5.6 units away
        double nowMs = 50000;
        renderer.setClock([&nowMs] { return nowMs; });
        Scene scene = buildScene();
        const std::vector<Player> players = buildPlayers();

        // Alice says something; a few frames let the bodies assemble and the
        // bubble show, with the mouse over Alice for her name tag.
        ChatEntry said;
        said.seq = 1;
        said.from = 2;
        said.receivedMs = nowMs;
        said.text = "Hello there!";
        scene.chat.push_back(said);
        int mouseX = kWidth / 2, mouseY = kHeight / 2;
        for (int frame = 0; frame < 12; ++frame) {
            renderer.draw(scene, players, kWidth, kHeight, 0.1, mouseX, mouseY, true);
            const Vertex body = renderer.camera.project(2.5f, 0, 0.64f, 1, 1, 1, float(kWidth) / kHeight);
            mouseX = int(std::lround((body.x / body.w + 1) / 2 * kWidth));
            mouseY = int(std::lround((1 - body.y / body.w) / 2 * kHeight));
            nowMs += 100;
            if (frame < 11) SDL_GL_SwapWindow(window);
        }
        glFinish();
        writePpm(output);
        printPoint("centre", renderer, 0, -4, 0.9f);
        printPoint("sign", renderer, -2.2f, -1.5f, 1.4f);
        printPoint("tag", renderer, 2.5f, 0, 1.28f + 0.24f);
        printPoint("alice", renderer, 2.5f, 0, 0.64f);
        printPoint("bubble", renderer, 2.5f, 0, 1.28f + 0.5f + 0.15f);
        printPoint("floor", renderer, -6, -1, 0);
        std::printf("hovered %d\n", renderer.pick(mouseX, mouseY));
        std::fflush(stdout);
        graphics.clearTextures();
        graphics.shutdown();
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}

}  // namespace
}  // namespace vobu

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: scene_shot <output.ppm>\n");
        return 2;
    }
    try {
        return vobu::run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "scene_shot: %s\n", e.what());
        return 1;
    }
}
