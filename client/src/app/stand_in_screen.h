#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/font.h"
#include "ui/graphics.h"
#include "ui/ui_canvas.h"

namespace vobu {

// What the frame shows until the real screens exist: a canvas with the
// title logo and a few lines of Unifont text (Latin, CJK, a combining mark,
// colour codes) drawn through the toolkit, centred in the drawable.
class StandInScreen {
public:
    // Loads the font and the logo from the asset package; package and glyph
    // table failures throw and end the start-up.
    void initialize();
    void draw(Graphics& graphics, int width, int height);

    const Font& font() const { return font_; }

    // The join overlay's part until the character editor exists: the status
    // of the game being joined, shown under the text, and the reason a game
    // ended.
    void beginJoin();
    void setJoinStatus(const std::string& text, float progress);
    void onDisconnected(const std::string& reason);
    const std::string& joinStatus() const { return status_; }
    float joinProgress() const { return progress_; }

private:
    void paint();
    void blitLogo();

    Font font_;
    std::vector<uint8_t> logo_;
    UiCanvas canvas_;
    uint32_t texture_ = 0;
    bool dirty_ = true;
    bool joinShown_ = false;
    std::string status_;
    float progress_ = 0;
    std::string disconnected_;
};

}  // namespace vobu
