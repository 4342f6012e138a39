// server_browser_snapshot <folder>: paints the title screen in a few states
// with GNU Unifont and the packer's logo and writes each as a PNG of a
// 1020 x 680 window: the canvas, then the logo's recorded slices at t = 0
// blended over it (the parade needs a real context and is left out).

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "browser/server_browser.h"
#include "support/fake_transport.h"
#include "support/recording_backend.h"
#include "support/snapshot_png.h"
#include "support/unifont.h"
#include "vobupack/logo.h"

namespace {

using vobu::ServerBrowser;

constexpr int kWidth = 1020;
constexpr int kHeight = 680;

// The recorded logo quads at t = 0, sampled nearest, blended over the window.
void blendLogo(std::vector<uint8_t>& window, const vobu::testing::Recording& recording, const vobu::Texture& logo) {
    for (const auto& draw : recording.draws) {
        if (draw.vertices.size() <= 6 || draw.vertices.size() % 6 != 0 || draw.state.cull) continue;  // the logo alone
        for (size_t q = 0; q < draw.vertices.size(); q += 6) {
            const vobu::Vertex& a = draw.vertices[q];      // top-left
            const vobu::Vertex& c = draw.vertices[q + 2];  // bottom-right
            int x0 = int((a.x + 1) * kWidth / 2 + 0.5), x1 = int((c.x + 1) * kWidth / 2 + 0.5);
            int y0 = int((1 - a.y) * kHeight / 2 + 0.5), y1 = int((1 - c.y) * kHeight / 2 + 0.5);
            for (int y = y0; y < y1; ++y) {
                for (int x = x0; x < x1; ++x) {
                    float u = a.u + (c.u - a.u) * (x - x0 + 0.5f) / float(x1 - x0);
                    float v = a.v + (c.v - a.v) * (y - y0 + 0.5f) / float(y1 - y0);
                    int tx = std::clamp(int(u * logo.width), 0, logo.width - 1);
                    int ty = std::clamp(int(v * logo.height), 0, logo.height - 1);
                    const uint8_t* texel = &logo.pixels[size_t(ty * logo.width + tx) * 4];
                    uint8_t* out = &window[size_t(y * kWidth + x) * 3];
                    for (int k = 0; k < 3; ++k)
                        out[k] = uint8_t((texel[k] * texel[3] + out[k] * (255 - texel[3])) / 255);
                }
            }
        }
    }
}

bool writeShot(ServerBrowser& browser, vobu::testing::Recording& recording, vobu::Graphics& graphics,
               const std::string& path) {
    recording.draws.clear();
    browser.dirty = true;
    browser.draw(kWidth, kHeight, {}, 0);
    std::vector<uint8_t> window(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint32_t color = browser.canvas.pixel(x, y);
            for (int k = 0; k < 3; ++k) window[size_t(y * kWidth + x) * 3 + k] = uint8_t(color >> (8 * k));
        }
    }
    if (browser.logo.texture) blendLogo(window, recording, graphics.textures().at(browser.logo.texture));
    return vobu::testing::writeWindowPng(path, window, kWidth, kHeight);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: server_browser_snapshot <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    vobu::Font font;
    if (!vobu::testing::loadUnifont(font)) {
        std::fprintf(stderr, "server_browser_snapshot: cannot read %s (Debian package \"unifont\")\n",
                     VOBU_UNIFONT_HEX);
        return 1;
    }
    const std::vector<uint8_t> logo = vobupack::encodeLogo(vobupack::drawLogo(font, "VobuGame"));

    vobu::testing::Recording recording;
    vobu::Graphics graphics(std::make_unique<vobu::testing::RecordingBackend>(recording));
    double nowMs = 0;
    // Lines that never get anywhere; the rows come from replies fed in.
    vobu::testing::FakeNet net;
    ServerBrowser browser(net.factory());
    browser.setClock([&] { return nowMs; });
    browser.initialize(graphics, font, "ws://directory.example/vobu", logo);
    const std::string reply =
        R"({"servers":[)"
        R"({"motd":"A small world with bots, signs and a humming stone","title":"Vobu Test Server","url":""},)"
        R"({"motd":"^#80ff80Green^r fields, ^#ff8080red^r roofs","title":"^#ffcc00Orchard^r Hill","url":"ws://orchard.example/vobu"},)"
        R"({"motd":"","title":"Quiet place","url":"wss://quiet.example/vobu"}],"type":"directory"})";
    browser.parseDirectory(reply.data(), unsigned(reply.size()));
    browser.savedServers = {"ws://localhost:7777/vobu", "wss://friend.example:8443/game"};
    browser.serverInfo["ws://localhost:7777/vobu"] = {"My own server", "only me here"};
    browser.rebuildRows("ws://localhost:7777/vobu");
    browser.controls.focusId = "servers.list";
    bool ok = writeShot(browser, recording, graphics, folder + "/title-list.png");

    // A Delete refused while another window had the per-user folder.
    browser.savedServersStatus = vobu::kUserFilesBusyText;
    ok = writeShot(browser, recording, graphics, folder + "/title-busy.png") && ok;
    browser.savedServersStatus.clear();

    browser.openDialog();
    browser.addressField.setText("wss://a.very.long.host.name.example.org:8443/with/a/path/that/scrolls/the/field");
    browser.addressField.moveCursor(-4, true, false);
    browser.dialogStatus = "Invalid address";
    ok = writeShot(browser, recording, graphics, folder + "/title-dialog.png") && ok;
    return ok ? 0 : 1;
}
