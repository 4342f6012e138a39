// The selected server survives the rows being emptied and built again (a
// refresh, the way back from a game, a directory that fails): it is the
// address that is kept, not the row number.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "browser_fixture.h"

namespace vobu::testing {
namespace {

using RowSelectionTest = BrowserTest;

const std::vector<ServerEntry> kThree = {
    {"Alpha", "", "ws://a.test/vobu"}, {"Beta", "", "ws://b.test/vobu"}, {"Gamma", "", "ws://c.test/vobu"}};

std::string selectedUrl(const ServerBrowser& browser) {
    if (browser.list.selected < 0 || size_t(browser.list.selected) >= browser.rows.size()) return "(none)";
    return browser.rows[size_t(browser.list.selected)].url;
}

TEST_F(RowSelectionTest, RefreshSelectsTheSameServerOnceTheDirectoryListsItAgain) {
    start({"ws://saved.test/vobu"});
    directoryAnswers(kThree);
    browser.list.select(2);
    ASSERT_EQ(selectedUrl(browser), "ws://c.test/vobu");

    browser.refresh();  // what the way back from a game does
    frame();
    EXPECT_EQ(selectedUrl(browser), "ws://saved.test/vobu") << "only the saved row is there meanwhile";
    // The directory now lists another server first: the row number moved.
    directoryAnswers({{"New", "", "ws://new.test/vobu"}, kThree[0], kThree[1], kThree[2]});
    EXPECT_EQ(selectedUrl(browser), "ws://c.test/vobu");
    EXPECT_EQ(browser.list.selected, 3);

    std::string url;
    key(SDLK_RETURN);
    ASSERT_TRUE(browser.takeJoinRequest(url));
    EXPECT_EQ(url, "ws://c.test/vobu");
}

TEST_F(RowSelectionTest, AServerThatIsNotListedAgainLeavesTheFirstRowSelected) {
    start();
    directoryAnswers(kThree);
    browser.list.select(1);
    browser.refresh();
    directoryAnswers({kThree[0], kThree[2]});
    EXPECT_EQ(browser.list.selected, 0);
    // It comes back later: still the one wanted, as nobody chose another.
    browser.parseDirectory(directoryReply(kThree).data(), unsigned(directoryReply(kThree).size()));
    EXPECT_EQ(selectedUrl(browser), "ws://b.test/vobu");
}

TEST_F(RowSelectionTest, TheDirectoryOwnEntryIsKeptByItsAddressToo) {
    start();
    directoryAnswers({{"Elsewhere", "", "ws://e.test/vobu"}, {"Itself", "", ""}});
    browser.list.select(1);
    ASSERT_EQ(selectedUrl(browser), kDirectoryUrl);
    browser.refresh();
    directoryAnswers({{"Elsewhere", "", "ws://e.test/vobu"}, {"Itself", "", ""}});
    EXPECT_EQ(browser.list.selected, 1);
}

TEST_F(RowSelectionTest, ThePlayersOwnChoiceWhileWaitingWins) {
    struct Case {
        const char* what;
        std::function<void()> choose;
    };
    const Case cases[] = {
        {"Down", [this] { key(SDLK_DOWN); }},
        {"End", [this] { key(SDLK_END); }},
        {"a click on the row already selected", [this] { click(300, rowY(0)); }},
    };
    start({"ws://s0.test/vobu", "ws://s1.test/vobu"});
    for (const Case& c : cases) {
        directoryAnswers(kThree);
        browser.list.select(2);
        browser.refresh();
        frame();
        c.choose();
        advance(1000);  // no double click between the cases
        const std::string chosen = selectedUrl(browser);
        directoryAnswers(kThree);
        EXPECT_EQ(selectedUrl(browser), chosen) << c.what;
    }
}

TEST_F(RowSelectionTest, AnAddedServerIsTheLastChoice) {
    start({"ws://s0.test/vobu"});
    directoryAnswers(kThree);
    browser.list.select(2);
    browser.refresh();
    browser.openDialog();
    browser.addressField.setText("added.test:1");
    key(SDLK_RETURN);
    ASSERT_FALSE(browser.dialogOpen);
    EXPECT_EQ(selectedUrl(browser), "ws://added.test:1/vobu");
    directoryAnswers(kThree);
    EXPECT_EQ(selectedUrl(browser), "ws://added.test:1/vobu");
}

}  // namespace
}  // namespace vobu::testing
