#pragma once
// What the browser's tests share: the fake transports that the test drives
// by hand, a clock it sets, a per-user folder of its own and a browser built on them
// with a recording Graphics backend and the toolkit's test font.

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "browser/server_browser.h"
#include "character/user_files.h"
#include "support/fake_transport.h"
#include "support/recording_backend.h"
#include "support/sdl_events.h"
#include "support/test_font.h"

namespace vobu::testing {

inline std::string directoryReply(const std::vector<ServerEntry>& servers) {
    nlohmann::json list = nlohmann::json::array();
    for (const ServerEntry& s : servers) list.push_back({{"motd", s.motd}, {"title", s.title}, {"url", s.url}});
    return nlohmann::json{{"servers", list}, {"type", "directory"}}.dump();
}

inline std::string selfReply(const std::string& title, const std::string& motd) {
    return directoryReply({{title, motd, ""}});
}

// A per-user folder of the test's own.
class UserFolder {
public:
    UserFolder() {
        char pattern[] = "/tmp/vobu-browser-XXXXXX";
        char* made = ::mkdtemp(pattern);
        root = made ? made : "";
        ::setenv("XDG_DATA_HOME", root.c_str(), 1);
        serversFile = storagePath() + ".servers";
    }
    ~UserFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    void put(const std::string& text) const { std::ofstream(serversFile, std::ios::binary | std::ios::trunc) << text; }
    std::string read() const {
        std::ifstream in(serversFile, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string root;
    std::string serversFile;
};

inline const std::string kDirectoryUrl = "ws://directory.test/vobu";

class BrowserTest : public ::testing::Test {
protected:
    BrowserTest() : graphics(std::make_unique<testing::RecordingBackend>(recording)), font(testing::testFont()) {
        browser.setClock([this] { return nowMs; });
    }

    // Saves the list, then starts the browser as the Application does.
    void start(const std::vector<std::string>& saved = {}, const std::vector<uint8_t>& logo = {}) {
        if (!saved.empty()) folder.put(nlohmann::json(saved).dump());
        browser.initialize(graphics, font, kDirectoryUrl, logo);
    }

    // One frame of the title screen.
    void frame(int width = 1020, int height = 680) {
        browser.update();
        browser.draw(width, height, characters, revision);
    }
    void advance(double ms) { nowMs += ms; }

    // Frames every `stepMs` until `totalMs` have passed.
    void run(double totalMs, double stepMs = 16) {
        for (double t = 0; t < totalMs; t += stepMs) {
            advance(stepMs);
            frame();
        }
    }

    // The events as SDL fills them, scancodes and button states included.
    void key(SDL_Keycode sym, uint16_t mod = KMOD_NONE, bool repeat = false) {
        browser.handleEvent(keyEvent(true, sym, SDL_SCANCODE_UNKNOWN, mod, repeat));
    }
    void type(const std::string& text) { browser.handleEvent(textInput(text)); }
    void button(bool down, int x, int y) { browser.handleEvent(mouseButton(down, x, y)); }
    void click(int x, int y) {
        button(true, x, y);
        button(false, x, y);
    }
    void motion(int x, int y) { browser.handleEvent(mouseMotion(x, y)); }
    // The hidden key sequence that opens the add-server dialog.
    void typeHiddenSequence() {
        for (SDL_Keycode k : {SDLK_LEFT, SDLK_UP, SDLK_RIGHT, SDLK_DOWN, SDLK_DOWN, SDLK_RIGHT, SDLK_UP, SDLK_LEFT})
            key(k);
    }
    // The directory answers with these servers on the next frame.
    void directoryAnswers(const std::vector<ServerEntry>& servers) {
        net.directory().serverOpens();
        net.directory().serverSends(directoryReply(servers));
        frame();
    }

    // Canvas centre of list row i (no scrolling).
    static int rowY(int i) { return 188 + 2 + i * 60 + 30; }

    UserFolder folder;
    testing::Recording recording;
    Graphics graphics;
    Font font;
    FakeNet net;
    double nowMs = 1000;
    ServerBrowser browser{net.factory()};
    std::vector<Character> characters;
    uint32_t revision = 0;
};

}  // namespace vobu::testing
