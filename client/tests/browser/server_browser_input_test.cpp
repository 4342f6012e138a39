// The title screen driven with synthesised SDL events: the hidden key
// sequence, double clicks, keyboard focus, the buttons and the layout.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser_fixture.h"

namespace vobu::testing {
namespace {

class InputTest : public BrowserTest {
protected:
    void startWithRows(int directoryRows, const std::vector<std::string>& saved = {}) {
        start(saved);
        std::vector<ServerEntry> servers;
        for (int i = 0; i < directoryRows; ++i)
            servers.push_back({"S" + std::to_string(i), "", "ws://s" + std::to_string(i) + ".test/vobu"});
        directoryAnswers(servers);
    }
    bool joinTaken() {
        std::string url;
        return browser.takeJoinRequest(url);
    }
};

TEST_F(InputTest, HiddenSequenceOpensTheDialog) {
    const SDL_Keycode L = SDLK_LEFT, U = SDLK_UP, R = SDLK_RIGHT, D = SDLK_DOWN;
    struct Case {
        const char* what;
        std::vector<SDL_Keycode> keys;
        bool opens;
        int progress;
    };
    const std::vector<Case> cases = {
        {"the sequence", {L, U, R, D, D, R, U, L}, true, 0},
        {"seven keys", {L, U, R, D, D, R, U}, false, 7},
        {"a wrong key restarts", {L, U, R, SDLK_a, D, R, U, L}, false, 1},
        {"wrong key then the sequence", {L, U, SDLK_a, L, U, R, D, D, R, U, L}, true, 0},
        {"Left in the middle counts as the first", {L, U, R, L, U, R, D, D, R, U, L}, true, 0},
        {"Left twice at the start", {L, L, U, R, D, D, R, U, L}, true, 0},
        {"Down where Right belongs", {L, U, D}, false, 0},
    };
    for (const Case& c : cases) {
        browser.closeDialog();
        browser.sequenceProgress = 0;
        for (SDL_Keycode k : c.keys) key(k);
        EXPECT_EQ(browser.dialogOpen, c.opens) << c.what;
        EXPECT_EQ(browser.sequenceProgress, c.progress) << c.what;
    }
}

TEST_F(InputTest, HiddenSequenceKeysKeepTheirEffectsAndRepeatsDoNotCount) {
    startWithRows(5);
    browser.list.select(0);
    key(SDLK_LEFT);
    key(SDLK_UP);
    key(SDLK_RIGHT);
    key(SDLK_DOWN);
    key(SDLK_DOWN, KMOD_NONE, true);  // a repeat: moves, does not count
    EXPECT_EQ(browser.sequenceProgress, 4);
    EXPECT_EQ(browser.list.selected, 2);
}

TEST_F(InputTest, OpeningTheDialogClearsTheFieldAndFocus) {
    startWithRows(1);
    browser.addressField.setText("left over");
    key(SDLK_TAB);
    typeHiddenSequence();
    ASSERT_TRUE(browser.dialogOpen);
    EXPECT_EQ(browser.addressField.text, "");
    EXPECT_EQ(browser.controls.focusId, "");
    type("host:1");
    key(SDLK_ESCAPE);
    EXPECT_FALSE(browser.dialogOpen);
    EXPECT_EQ(browser.addressField.text, "host:1");  // survives a close
}

TEST_F(InputTest, DialogKeysEditTheFieldAndTheListIgnoresThem) {
    startWithRows(3);
    browser.list.select(1);
    typeHiddenSequence();
    frame();
    type("abc def");
    key(SDLK_BACKSPACE, KMOD_CTRL);
    EXPECT_EQ(browser.addressField.text, "abc ");
    key(SDLK_z, KMOD_CTRL);
    EXPECT_EQ(browser.addressField.text, "abc def");
    key(SDLK_a, KMOD_CTRL);
    type("x");
    EXPECT_EQ(browser.addressField.text, "x");
    key(SDLK_DOWN);
    key(SDLK_HOME);
    EXPECT_EQ(browser.list.selected, 1);
    click(24 + 90, 624 + 16);  // "Refresh" under the dialog: not pressable
    EXPECT_EQ(net.directory().connects.size(), 1u);
    click(440 + 75, 350 + 16);  // "Cancel"
    EXPECT_FALSE(browser.dialogOpen);
}

TEST_F(InputTest, DoubleClickJoinsWithin350Ms) {
    struct Case {
        double gapMs;
        bool sameRow;
        bool joins;
    };
    for (const Case& c : {Case{350, true, true}, Case{351, true, false}, Case{100, false, false}}) {
        startWithRows(3);
        frame();
        button(true, 100, rowY(0));
        button(false, 100, rowY(0));
        advance(c.gapMs);
        int second = c.sameRow ? 0 : 1;
        button(true, 100, rowY(second));
        button(false, 100, rowY(second));
        EXPECT_EQ(joinTaken(), c.joins) << c.gapMs << " ms, same row " << c.sameRow;
    }
}

TEST_F(InputTest, DoubleClickOnARowWithAnEmptyUrlDoesNotJoin) {
    browser.initialize(graphics, font, "", {});  // the default server as directory
    directoryAnswers({{"Default", "", ""}, {"Other", "", "ws://other.test/vobu"}});
    ASSERT_EQ(browser.rows.size(), 2u);
    EXPECT_EQ(browser.rows[0].url, "");
    EXPECT_EQ(net.directory().connects, std::vector<std::string>{""});
    click(100, rowY(0));
    click(100, rowY(0));
    EXPECT_FALSE(joinTaken());
    key(SDLK_RETURN);  // but it can be joined: the default server
    std::string url = "unset";
    EXPECT_TRUE(browser.takeJoinRequest(url));
    EXPECT_EQ(url, "");
}

TEST_F(InputTest, TabOrderWithAndWithoutRows) {
    start();
    frame();
    key(SDLK_TAB);
    EXPECT_EQ(browser.controls.focusId, "servers.refresh");  // "Join" disabled, no list
    frame();
    key(SDLK_TAB);
    EXPECT_EQ(browser.controls.focusId, "servers.characters");
    frame();
    key(SDLK_TAB);
    EXPECT_EQ(browser.controls.focusId, "servers.refresh");

    startWithRows(2, {"ws://saved.test/vobu"});
    browser.controls.focusId.clear();
    browser.list.select(2);
    frame();
    std::vector<std::string> order;
    for (int i = 0; i < 6; ++i) {
        key(SDLK_TAB);
        order.push_back(browser.controls.focusId);
        frame();
    }
    EXPECT_EQ(order, (std::vector<std::string>{"servers.list", "servers.join", "servers.refresh", "servers.characters",
                                               "servers.delete", "servers.list"}));
    key(SDLK_TAB, KMOD_SHIFT);
    EXPECT_EQ(browser.controls.focusId, "servers.delete");
}

TEST_F(InputTest, ReturnAndSpaceFollowTheFocus) {
    startWithRows(2);
    frame();
    browser.controls.focusId = "servers.characters";
    key(SDLK_RETURN);
    EXPECT_TRUE(browser.takeCharactersRequest());
    EXPECT_FALSE(joinTaken());
    key(SDLK_RETURN, KMOD_NONE, true);  // a repeat joins whatever has focus
    EXPECT_TRUE(joinTaken());
    key(SDLK_SPACE);
    EXPECT_TRUE(browser.takeCharactersRequest());
    browser.controls.focusId = "servers.list";
    key(SDLK_SPACE);
    EXPECT_FALSE(joinTaken());
    key(SDLK_RETURN);
    EXPECT_TRUE(joinTaken());
}

// A press becomes a click only when released within 0.35 s, on the
// browser's own clock.
TEST_F(InputTest, AButtonHeldLongerThanAClickDoesNothing) {
    start();
    frame();
    const UiControl* characters = browser.controls.find("servers.characters");
    ASSERT_NE(characters, nullptr);
    const int x = characters->x + characters->width / 2;
    const int y = characters->y + characters->height / 2;
    for (const double heldMs : {340.0, 360.0}) {
        button(true, x, y);
        advance(heldMs);
        button(false, x, y);
        EXPECT_EQ(browser.takeCharactersRequest(), heldMs < 350) << heldMs;
        frame();
    }
}

TEST_F(InputTest, NoSelectionMeansNoJoin) {
    start();
    frame();
    key(SDLK_RETURN);
    EXPECT_FALSE(joinTaken());
    EXPECT_FALSE(browser.controls.find("servers.join")->enabled);
}

TEST_F(InputTest, JoinRequestAfterTheSelectionBecameInvalidIsDropped) {
    startWithRows(2);
    key(SDLK_RETURN);
    browser.list.selected = 5;  // the rows went away under it
    EXPECT_FALSE(joinTaken());
    browser.list.select(0);
    EXPECT_FALSE(joinTaken());  // the request is gone
}

TEST_F(InputTest, DeleteIsShownOnlyOnASavedRow) {
    startWithRows(1, {"ws://saved.test/vobu"});
    key(SDLK_HOME);
    frame();
    EXPECT_EQ(browser.controls.find("servers.delete"), nullptr);
    key(SDLK_DOWN);
    frame();
    ASSERT_NE(browser.controls.find("servers.delete"), nullptr);
    click(408 + 90, 624 + 16);
    EXPECT_TRUE(browser.savedServers.empty());
    frame();
    EXPECT_EQ(browser.controls.find("servers.delete"), nullptr);
}

TEST_F(InputTest, OffsetsAt1200x800) {
    startWithRows(3);
    frame(1200, 800);
    EXPECT_EQ(browser.layout.x, 90);
    EXPECT_EQ(browser.layout.y, 60);
    button(true, 114, 248 + 60 + 30);  // canvas (24, 278): row 1
    EXPECT_EQ(browser.mouseX, 24);
    EXPECT_EQ(browser.mouseY, 278);
    EXPECT_EQ(browser.list.selected, 1);
    frame(1000, 600);
    EXPECT_EQ(browser.layout.x, 0);
    EXPECT_EQ(browser.layout.y, 0);
}

TEST_F(InputTest, WheelScrollsOnlyOverTheList) {
    startWithRows(20);
    frame();
    const SDL_Event wheel = mouseWheel(-2);
    motion(10, 10);
    browser.handleEvent(wheel);
    EXPECT_EQ(browser.list.first, 0);
    motion(100, 300);
    browser.handleEvent(wheel);
    EXPECT_EQ(browser.list.first, 2);
}

TEST_F(InputTest, FocusLossForgetsThePressAndTheLastClick) {
    startWithRows(2);
    frame();
    click(100, rowY(0));
    button(true, 24 + 90, 624 + 16);
    browser.handleEvent(windowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    button(false, 24 + 90, 624 + 16);
    EXPECT_EQ(net.directory().connects.size(), 1u);  // no Refresh
    click(100, rowY(0));
    EXPECT_FALSE(joinTaken());
}

}  // namespace
}  // namespace vobu::testing
