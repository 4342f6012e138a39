// A test tool: shows every toolkit control in each of its states on one
// canvas (or the live-resize badge with --badge), so that a screenshot under
// Xvfb can be looked at. Prints "GALLERY READY" once the picture is on screen.

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "app/asset_package.h"
#include "ui/canvas_view.h"
#include "ui/font.h"
#include "ui/graphics.h"
#include "ui/label_sprite.h"
#include "ui/list_box.h"
#include "ui/palette.h"
#include "ui/resize_badge.h"
#include "ui/text.h"
#include "ui/text_field.h"
#include "ui/text_field_controller.h"
#include "ui/ui_canvas.h"
#include "ui/ui_controls.h"
#include "ui/ui_layout.h"

namespace vobu {
namespace {

constexpr uint32_t kBackground = 0xff24142e;
constexpr uint32_t kCaption = 0xff8a7f99;

void caption(UiCanvas& canvas, const Font& font, const std::string& text, int x, int y) {
    canvas.drawPlainText(font, text, x, y, kCaption, 1020);
}

// One button per state, each in a UiControls of its own so that the press,
// hover and focus states can be shown side by side.
void drawButtons(UiCanvas& canvas, const Font& font) {
    caption(canvas, font,
            "UiControls buttons: idle, hover, pressed, held, disabled, focused, focused+disabled, long label", 10, 34);
    struct State {
        std::string label;
        bool pressed, enabled, hover, focus, held;
    };
    std::vector<State> states = {
        {"Idle", false, true, false, false, false},      {"Hover", false, true, true, false, false},
        {"Pressed", true, true, false, false, false},    {"Held", false, true, false, false, true},
        {"Disabled", false, false, false, false, false}, {"Focused", false, true, false, true, false},
        {"No ring", false, false, false, true, false},   {"A label far too long", false, true, false, false, false},
    };
    int x = 10;
    for (const State& s : states) {
        UiControls controls;
        std::string id = "gallery.button";
        int width = 112;
        if (s.held) {
            controls.controls.push_back(UiControl{id, x, 54, width, 28, [] {}, true, true});
            controls.press(x + 10, 60, 0.0);
            controls.controls.clear();
        }
        if (s.hover) {
            controls.pointerX = x + 20;
            controls.pointerY = 60;
        }
        if (s.focus) controls.focusId = id;
        controls.addButton(
            canvas, font, id, x, 54, width, 28, s.label, [] {}, s.pressed, s.enabled);
        x += width + 12;
    }
    caption(canvas, font, "focus-only control (UiControls::add) with focus ring:", 10, 90);
    UiControls focusOnly;
    focusOnly.focusId = "gallery.view";
    canvas.fillRect(440, 88, 120, 22, 0xff1a0427);
    focusOnly.add(
        canvas, "gallery.view", 440, 88, 120, 22, [] {}, true);
}

std::vector<ListItem> numberedItems(int n) {
    std::vector<ListItem> items;
    for (int i = 0; i < n; ++i) items.push_back(ListItem{"Server number " + std::to_string(i + 1), "", false});
    return items;
}

void drawLists(UiCanvas& canvas, const Font& font) {
    caption(canvas, font, "ListBox: scrollable + selection | dragged thumb, held arrow | details, colour codes | empty",
            10, 118);
    ListBox a;
    a.setLayout(10, 138, 240, 176, 30, 24);
    a.select(3);
    a.draw(canvas, font, numberedItems(30));

    ListBox b;
    b.setLayout(262, 138, 240, 176, 30, 24);
    b.scrollBy(11);
    b.select(13);
    ClipRect thumb = b.thumbRect();
    b.press(b.x + b.width - 10, thumb.y + 4);
    b.pressedArrow = +1;
    b.draw(canvas, font, numberedItems(30));

    ListBox c;
    c.setLayout(514, 138, 250, 176, 3, 48);
    c.select(0);
    c.draw(canvas, font,
           {{"^#ffcc00Golden^r Server", "^#88ff88Motd:^r welcome, travellers", true},
            {"Plain row with detail", "second line", false},
            {"Caret ^^ shown once", "", true}});

    ListBox d;
    d.setLayout(776, 138, 234, 176, 0, 24);
    d.moveSelection(1);
    d.draw(canvas, font, {});
}

// Text fields have no frame of their own (the screens draw them); the
// gallery shows their state as the field controller paints it: text,
// selection and caret.
void drawField(UiCanvas& canvas, const Font& font, const TextField& field, int x, int y, int width,
               const std::string& title) {
    caption(canvas, font, title, x, y);
    y += 18;
    canvas.fillRect(x, y, width, 24, 0xff14041e);
    canvas.drawBevelFrame(x, y, width, 24, true, 2);
    TextFieldController controller;
    const TextFieldLook look{
        .textX = x + 6,
        .textY = y + 4,
        .selectionY = y + 4,
        .selectionHeight = 16,
        .caretTop = y + 3,
        .caretBottom = y + 20,
        .textColor = palette::kHighlightText,
        .selectionColor = palette::kSelection,
        .caretColor = palette::kHighlightText,
    };
    controller.paint(canvas, font, field, look, true);
}

void drawFields(UiCanvas& canvas, const Font& font) {
    TextField empty(24);
    drawField(canvas, font, empty, 10, 324, 180, "TextField: empty");

    TextField typed(24);
    typed.setText("Vobu");
    typed.replaceSelection(" the Brave");
    typed.moveCursor(-1, false, true);
    drawField(canvas, font, typed, 200, 324, 200, "caret after a word move");

    TextField selected(24);
    selected.setText("h\xC3\xA9llo w\xC3\xB6rld");
    selected.selectWordAt(7);
    drawField(canvas, font, selected, 410, 324, 200, "word selected");

    TextField full(12);
    full.setText("twelve chars");
    full.replaceSelection("x");  // no room left
    drawField(canvas, font, full, 620, 324, 190, "full: typing refused");

    TextField pasted(24);
    pasted.replaceSelection("line\nbreak\tgone");
    drawField(canvas, font, pasted, 820, 324, 190, "paste cleaned");
}

void drawTexts(UiCanvas& canvas, const Font& font) {
    caption(canvas, font,
            "Text: colour codes, fitText, CJK, combining mark, malformed bytes; wrapText (first line 200 px)", 10, 378);
    drawText(canvas, font, "^#ff6060Red^r default ^#60ff60green^r ^#6080ffblue^r caret^^", 10, 398, palette::kBodyText,
             true);
    std::string fitted = fitText(font, "This sentence is much too long for its narrow box", 200);
    canvas.drawBevel(498, 396, 206, 20, true);
    drawText(canvas, font, fitted, 501, 398, palette::kBodyText, false);
    drawText(canvas, font,
             "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE4\xB8\xAD\xE6\x96\x87 "
             "e\xCC\x81 n\xCC\x83 A\x80"
             "B \xC0\x80",
             720, 398, palette::kHighlightText, false);

    std::string paragraph =
        "^#ffcc00Word wrapping^r keeps words whole, drops spaces at line ends and breaks "
        "Supercalifragilisticexpialidociously long words at glyph boundaries.";
    std::vector<std::string> lines = wrapText(font, paragraph, 300, 200, true);
    canvas.drawBevel(8, 418, 306, 20 + 18 * int(lines.size()), true);
    for (size_t i = 0; i < lines.size(); ++i) {
        int indent = i == 0 ? 100 : 0;
        drawText(canvas, font, lines[i], 11 + indent, 421 + 18 * int(i), palette::kBodyText, true);
    }
}

// Label sprites are textures for the 3D view; here they are copied onto
// the canvas twice as large over a light and a dark backdrop.
void blitSprite(UiCanvas& canvas, const LabelSprite& sprite, int x, int y) {
    for (int sy = 0; sy < sprite.textureHeight; ++sy) {
        for (int sx = 0; sx < sprite.textureWidth; ++sx) {
            const uint8_t* p = &sprite.pixels[(size_t(sy) * sprite.textureWidth + sx) * 4];
            if (p[3] == 0) continue;
            uint32_t color = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | 0xff000000u;
            canvas.fillRect(x + 2 * sx, y + 2 * sy, 2, 2, color);
        }
    }
}

void drawLabels(UiCanvas& canvas, const Font& font) {
    caption(canvas, font, "LabelSprite (x2): default, whisper colour, colour-coded lines", 340, 430);
    canvas.fillRect(340, 450, 670, 140, 0xffb0c8d8);
    canvas.fillRect(340, 590, 670, 80, 0xff203040);
    LabelSprite name = renderLabel(font, "Vobu");
    blitSprite(canvas, name, 350, 460);
    LabelSprite whisper = renderLabelLines(font, {"psst, over here"}, LabelRgb{220, 142, 210}, false);
    blitSprite(canvas, whisper, 500, 460);
    LabelSprite coded =
        renderLabelLines(font, {"^#ff4040Red sign^r", "second ^#40ff40line^r", "third"}, std::nullopt, true);
    blitSprite(canvas, coded, 780, 460);
    blitSprite(canvas, name, 350, 600);
    blitSprite(canvas, whisper, 500, 600);
}

void paintGallery(UiCanvas& canvas, const Font& font) {
    canvas.clear();
    canvas.fillRect(0, 0, 1020, 680, kBackground);
    drawText(canvas, font, "^#ffcc00VobuGame toolkit gallery", 10, 8, palette::kHighlightText, true);
    drawButtons(canvas, font);
    drawLists(canvas, font);
    drawFields(canvas, font);
    drawTexts(canvas, font);
    drawLabels(canvas, font);
}

int run(bool badgeMode, int quitAfterMs) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_Window* window = SDL_CreateWindow("VobuGame gallery", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 1020, 680,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
    if (window == nullptr) {
        std::fprintf(stderr, "SDL_CreateWindow: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        std::fprintf(stderr, "SDL_GL_CreateContext: %s\n", SDL_GetError());
        return 1;
    }
    int status = 0;
    {
        Graphics graphics;
        graphics.initialize(createOpenGlBackend());
        Font font;
        font.load(loadPackagedAsset("unifont.bin"));
        UiCanvas canvas;
        paintGallery(canvas, font);
        uint32_t texture = uploadCanvas(graphics, canvas, 0);
        ResizeBadge badge;

        Uint32 start = SDL_GetTicks();
        int frames = 0;
        bool running = true;
        while (running && SDL_GetTicks() - start < Uint32(quitAfterMs)) {
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
                if (event.type == SDL_QUIT) running = false;
            }
            int w = 0;
            int h = 0;
            SDL_GL_GetDrawableSize(window, &w, &h);
            if (badgeMode) {
                badge.draw(graphics, font, w, h);
            } else {
                graphics.beginFrame(w, h);
                drawCanvas(graphics, texture, UiLayout::forDrawable(w, h), w, h);
            }
            SDL_GL_SwapWindow(window);
            if (++frames == 3) {
                std::printf("GALLERY READY\n");
                std::fflush(stdout);
            }
            SDL_Delay(16);
        }
        graphics.clearTextures();
        graphics.shutdown();
    }
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}

}  // namespace
}  // namespace vobu

int main(int argc, char** argv) {
    bool badge = false;
    int quitAfterMs = 10000;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--badge") badge = true;
        if (arg == "--quit-after-ms" && i + 1 < argc) quitAfterMs = std::atoi(argv[++i]);
    }
    try {
        return vobu::run(badge, quitAfterMs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gallery: %s\n", e.what());
        return 1;
    }
}
