// The add-server dialog's commit and the deletion of saved servers, with
// the per-user file they rewrite.

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "browser/saved_servers.h"
#include "browser/server_address_rules.h"
#include "browser_fixture.h"
#include "support/authority_cases.h"
#include "support/log_capture.h"
#include "support/odd_files.h"

namespace vobu::testing {
namespace {

using nlohmann::json;

TEST(ServerAddressRules, TypedFormsAndTheirResults) {
    struct Case {
        std::string typed;
        std::string result;  // the address, or the message
    };
    const std::vector<Case> cases = {
        {" \thost:1234 \r\n", "ws://host:1234/vobu"},
        {"host", "ws://host/vobu"},
        {"http://a/", "ws://a/vobu"},
        {"https://a.test", "wss://a.test/vobu"},
        {"https://a.test:8443/x/", "wss://a.test:8443/x/"},
        {"ws://a.test/", "ws://a.test/vobu"},
        {"ws://a.test/game", "ws://a.test/game"},
        {"wss://a.test/game?x=1", "wss://a.test/game?x=1"},
        {"", "Enter an address"},
        {" \t\r\n ", "Enter an address"},
        {std::string(501, 'a'), "Address is too long"},
        {"  " + std::string(500, 'a') + "  ", "ws://" + std::string(500, 'a') + "/vobu"},
        {"a b", "Address has spaces"},
        {"a\tb", "Address has spaces"},
        {"wss://", "Use ws:// or wss://"},
        {"ftp://a.test", "Use ws:// or wss://"},
        {"WS://a.test", "Use ws:// or wss://"},
        {"://a.test", "Use ws:// or wss://"},
        {"ws:///vobu", "Enter a host and port"},
        {"ws://?x", "Enter a host and port"},
        {"#a", "Enter a host and port"},
        {"ws://@x", "Invalid address"},
        {"ws://user@host/vobu", "Invalid address"},
        {"host/#top", "Invalid address"},
        {":80", "Enter a host and port"},
        {"ws://:80/vobu", "Enter a host and port"},
        {"https://:443", "Enter a host and port"},
        {std::string("127.0.0.1\0.evil.test:80", 23), "Invalid address"},
        {"host\x01:80", "Invalid address"},
        {"ws://host/\x1b[2J", "Invalid address"},
        {"host/\x7f", "Invalid address"},
        {"http://[::1]:8080/", "Invalid address"},  // a bracketed host is never dialled
        {"ws://host/[x]:1", "ws://host/[x]:1"},     // the path is not the authority
        {"b\xC3\xBC"
         "cher.test",
         "ws://b\xC3\xBC"
         "cher.test/vobu"},
    };
    for (const Case& c : cases) {
        std::string out;
        std::string message = completeServerAddress(c.typed, out);
        EXPECT_EQ(message.empty() ? out : message, c.result) << ::testing::PrintToString(c.typed);
    }
}

TEST(ServerAddressRules, APortIsOneToFiveDigitsFrom1To65535AndNoHostIsBracketed) {
    for (const AuthorityCase& c : kAuthorityCases) {
        const std::string typed = c.authority;
        std::string out;
        std::string message = completeServerAddress(typed, out);
        if (c.dialable()) {
            EXPECT_EQ(message, "") << typed;
            EXPECT_EQ(out, "ws://" + typed + "/vobu") << typed;
        } else {
            // A blank is refused by its own rule before the port is looked at.
            bool blank = typed.find(' ') != std::string::npos;
            const char* expected = c.fault == kBracket ? "Invalid address" : "Enter a host and port";
            EXPECT_EQ(message, blank ? "Address has spaces" : expected) << typed;
            EXPECT_EQ(out, "") << typed;
        }
    }
    // The port is read where the connection reads it: up to the first "/".
    std::string out;
    EXPECT_EQ(completeServerAddress("ws://host:65536/x:80", out), "Enter a host and port");
    EXPECT_EQ(completeServerAddress("wss://host/x:99999", out), "");
    EXPECT_EQ(out, "wss://host/x:99999");
}

class AddServerTest : public BrowserTest {
protected:
    void openAndCommit(const std::string& typed) {
        if (!browser.dialogOpen) typeHiddenSequence();
        ASSERT_TRUE(browser.dialogOpen);
        browser.addressField.setText(typed);
        key(SDLK_RETURN);
    }
    static std::vector<std::string> addresses(int count, int from = 0) {
        std::vector<std::string> list;
        for (int i = from; i < from + count; ++i) list.push_back("ws://s" + std::to_string(i) + ".test/vobu");
        return list;
    }
};

TEST_F(AddServerTest, SavesTheCompletedAddressSelectsItsRowAndAsksIt) {
    start();
    frame();
    openAndCommit(" host:1234 ");
    EXPECT_FALSE(browser.dialogOpen);
    EXPECT_EQ(browser.dialogStatus, "");
    EXPECT_EQ(folder.read(), R"(["ws://host:1234/vobu"])");
    ASSERT_EQ(browser.rows.size(), 1u);
    EXPECT_EQ(browser.list.selected, 0);
    frame();
    EXPECT_EQ(net.connectsTo("ws://host:1234/vobu"), 1);
}

TEST_F(AddServerTest, AnAddressThatCannotBeDialledIsRefusedAndNothingIsSavedOrAsked) {
    start();
    frame();
    const struct {
        const char* typed;
        const char* message;
    } cases[] = {
        {"127.0.0.1:73616", "Enter a host and port"},
        {"127.0.0.1:", "Enter a host and port"},
        {"[::1]:8080", "Invalid address"},
        {"ws://[::1]:8080/vobu", "Invalid address"},
    };
    for (const auto& c : cases) {
        openAndCommit(c.typed);
        EXPECT_TRUE(browser.dialogOpen) << c.typed;
        EXPECT_EQ(browser.dialogStatus, c.message) << c.typed;
        EXPECT_EQ(browser.addressField.text, c.typed);
    }
    frame();
    EXPECT_TRUE(browser.savedServers.empty());
    EXPECT_EQ(folder.read(), "");
    EXPECT_EQ(net.lines.size(), 1u) << "the directory's line alone: no server was asked";
}

TEST_F(AddServerTest, MessagesKeepTheDialogOpenAndTheTextUntouched) {
    start();
    frame();
    openAndCommit("a b");
    EXPECT_TRUE(browser.dialogOpen);
    EXPECT_EQ(browser.dialogStatus, "Address has spaces");
    EXPECT_EQ(browser.addressField.text, "a b");
    EXPECT_EQ(folder.read(), "");
}

TEST_F(AddServerTest, SeventeenthAddressIsRefusedButADuplicateAtSixteenIsSelected) {
    start(addresses(16));
    frame();
    const std::string before = folder.read();
    openAndCommit("s16.test");
    EXPECT_EQ(browser.dialogStatus, "Only 16 servers");
    EXPECT_EQ(folder.read(), before);

    browser.list.select(0);
    openAndCommit("ws://s7.test/vobu");
    EXPECT_FALSE(browser.dialogOpen);
    EXPECT_EQ(browser.rows[size_t(browser.list.selected)].url, "ws://s7.test/vobu");
    EXPECT_EQ(browser.savedServers.size(), 16u);
    EXPECT_EQ(folder.read(), before);
}

TEST_F(AddServerTest, WriteFailureSaysCouldNotSaveAndLeavesFileAndListAsTheyWere) {
    start(addresses(2));
    frame();
    const std::string before = folder.read();
    browser.serversFile.calls = diskFullAfter(0);  // every write fails
    openAndCommit("new.test:80");
    EXPECT_TRUE(browser.dialogOpen);
    EXPECT_EQ(browser.dialogStatus, "Could not save");
    EXPECT_EQ(folder.read(), before);
    EXPECT_EQ(browser.savedServers, addresses(2));
    EXPECT_EQ(browser.rows.size(), 2u);
}

TEST_F(AddServerTest, AListTheReaderWouldNotTakeBackIsNotSaved) {
    // Sixteen addresses of escaped control bytes are three times what the
    // reader takes; such a list may only be in memory, never in the file.
    start(addresses(1));
    frame();
    const std::string before = folder.read();
    browser.savedServers = std::vector<std::string>(15, "ws://" + std::string(507, '\x01'));
    openAndCommit("new.test:80");
    EXPECT_TRUE(browser.dialogOpen);
    EXPECT_EQ(browser.dialogStatus, "Could not save");
    EXPECT_EQ(browser.savedServers.size(), 15u);
    EXPECT_EQ(folder.read(), before);
}

TEST_F(AddServerTest, UnreadableFileIsKeptAsideBeforeTheFirstAddReplacesIt) {
    nlohmann::json many = nlohmann::json::array();
    for (int i = 0; i < 10000; ++i) many.push_back("ws://s" + std::to_string(i) + ".test/vobu");
    const std::string unreadable[] = {"not json at all", many.dump()};
    for (const std::string& old : unreadable) {
        std::filesystem::remove(folder.serversFile + ".unread.bak");
        folder.put(old);
        LogCapture log;
        start();
        frame();
        EXPECT_TRUE(browser.savedServers.empty());
        openAndCommit("first.test:1");
        ASSERT_FALSE(browser.dialogOpen) << browser.dialogStatus;
        openAndCommit("second.test:2");
        EXPECT_EQ(folder.read(), R"(["ws://first.test:1/vobu","ws://second.test:2/vobu"])");
        std::ifstream kept(folder.serversFile + ".unread.bak", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), old) << "every byte, past the 16384 read too";
        EXPECT_FALSE(std::filesystem::exists(folder.serversFile + ".unread-2.bak")) << "kept once";
        EXPECT_EQ(log.count("Saved servers: the list file could not be read and is kept as "), 1);
    }
}

TEST_F(AddServerTest, UnreadableFileThatCannotBeKeptIsNotReplaced) {
    folder.put("[broken");
    // Every name the file could be kept under is taken.
    std::ofstream(folder.serversFile + ".unread.bak") << "x";
    for (int n = 2; n <= 100; ++n) std::ofstream(folder.serversFile + ".unread-" + std::to_string(n) + ".bak") << "x";
    start();
    frame();
    openAndCommit("new.test:80");
    EXPECT_TRUE(browser.dialogOpen);
    EXPECT_EQ(browser.dialogStatus, "Could not save");
    EXPECT_EQ(folder.read(), "[broken");
    EXPECT_TRUE(browser.savedServers.empty());
}

TEST_F(AddServerTest, UnreadableFileRemovedMeanwhileLeavesNothingToKeep) {
    folder.put("[broken");
    start();
    frame();
    std::filesystem::remove(folder.serversFile);
    openAndCommit("new.test:80");
    EXPECT_FALSE(browser.dialogOpen) << browser.dialogStatus;
    EXPECT_EQ(folder.read(), R"(["ws://new.test:80/vobu"])");
}

TEST_F(AddServerTest, WithoutHardLinksTheUnreadableFileIsKeptAsACopy) {
    const std::string old = "not json at all";
    folder.put(old);
    browser.serversFile.calls = withoutHardLinks();
    LogCapture log;
    start();
    frame();
    openAndCommit("first.test:1");
    ASSERT_FALSE(browser.dialogOpen) << browser.dialogStatus;
    EXPECT_EQ(folder.read(), R"(["ws://first.test:1/vobu"])");
    std::ifstream kept(folder.serversFile + ".unread.bak", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), old);
    EXPECT_EQ(log.count("Saved servers: the list file could not be read and is kept as "), 1);
    openAndCommit("second.test:2");
    EXPECT_FALSE(browser.dialogOpen) << browser.dialogStatus;
    EXPECT_FALSE(std::filesystem::exists(folder.serversFile + ".unread-2.bak")) << "kept once";
}

TEST_F(AddServerTest, FifoInPlaceOfTheFileIsKeptAsideNotWaitedOn) {
    Fifo fifo(folder.serversFile);
    ASSERT_TRUE(fifo.made());
    start();
    frame();
    EXPECT_FALSE(fifo.readerWaited()) << "the start waited for a writer";
    EXPECT_TRUE(browser.savedServers.empty());

    // Without hard links a FIFO cannot be kept (a copy would wait too).
    browser.serversFile.calls = withoutHardLinks();
    openAndCommit("new.test:80");
    EXPECT_TRUE(browser.dialogOpen);
    EXPECT_EQ(browser.dialogStatus, "Could not save");
    EXPECT_TRUE(isFifo(folder.serversFile));
    EXPECT_FALSE(fifo.readerWaited());

    browser.serversFile.calls = systemFileCalls();
    openAndCommit("new.test:80");
    EXPECT_FALSE(browser.dialogOpen) << browser.dialogStatus;
    EXPECT_TRUE(isFifo(folder.serversFile + ".unread.bak"));
    EXPECT_EQ(folder.read(), R"(["ws://new.test:80/vobu"])");
}

TEST_F(AddServerTest, AListWrittenByAnotherWindowMeanwhileTakesTheChange) {
    const std::vector<std::string> other = {"ws://s0.test/vobu", "ws://other.test:9/vobu"};
    struct Case {
        const char* what;
        bool fileAtStart;
        bool byDelete;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"an add after a change",
         true,
         false,
         {"ws://s0.test/vobu", "ws://other.test:9/vobu", "ws://mine.test:1/vobu"}},
        {"a delete after a change", true, true, {"ws://other.test:9/vobu"}},
        {"an add after a file appeared",
         false,
         false,
         {"ws://s0.test/vobu", "ws://other.test:9/vobu", "ws://mine.test:1/vobu"}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(folder.serversFile);
        ServerBrowser window(net.factory());
        window.setClock([this] { return nowMs; });
        if (c.fileAtStart) folder.put(nlohmann::json(addresses(2)).dump());
        window.initialize(graphics, font, kDirectoryUrl, {});
        folder.put(nlohmann::json(other).dump());  // the other window's Add (and Delete)
        LogCapture log;
        if (c.byDelete) {
            window.list.select(0);
            window.deleteSelectedServer();
        } else {
            window.addressField.setText("mine.test:1");
            window.addServer();
            EXPECT_FALSE(window.dialogOpen) << c.what << ": " << window.dialogStatus;
        }
        EXPECT_EQ(window.savedServers, c.expected) << c.what;
        EXPECT_EQ(folder.read(), nlohmann::json(c.expected).dump()) << c.what;
        EXPECT_FALSE(std::filesystem::exists(folder.serversFile + ".unread.bak")) << c.what;
        EXPECT_EQ(log.count("Saved servers: the list file changed since it was read; the change is made to it as it "
                            "is now"),
                  1)
            << c.what;
        // The other window's server shows and is asked; the one it deleted is gone.
        std::vector<std::string> rows;
        for (const ServerEntry& row : window.rows) rows.push_back(row.url);
        EXPECT_NE(std::find(rows.begin(), rows.end(), "ws://other.test:9/vobu"), rows.end()) << c.what;
        EXPECT_EQ(std::find(rows.begin(), rows.end(), "ws://s1.test/vobu"), rows.end()) << c.what;
        EXPECT_NE(std::find(window.subscribeQueue.begin(), window.subscribeQueue.end(), "ws://other.test:9/vobu"),
                  window.subscribeQueue.end())
            << c.what;

        // Its own writes are no change: the next one takes nothing more.
        window.addressField.setText("mine.test:2");
        window.addServer();
        EXPECT_FALSE(window.dialogOpen) << c.what;
        EXPECT_EQ(log.lines.size(), 1u) << c.what;
    }
}

TEST_F(AddServerTest, TheLimitOf16AppliesToTheListAsItIsNow) {
    start(addresses(15));
    frame();
    folder.put(nlohmann::json(addresses(16)).dump());  // another window's sixteenth
    openAndCommit("mine.test:1");
    EXPECT_EQ(browser.dialogStatus, "Only 16 servers");
    EXPECT_EQ(browser.savedServers, addresses(16)) << "the view shows the other window's server";
    EXPECT_EQ(folder.read(), nlohmann::json(addresses(16)).dump());
}

TEST_F(AddServerTest, AFileWrittenMeanwhileThatIsNoListIsKeptBeforeTheNextWrite) {
    start(addresses(1));
    frame();
    folder.put("[\"ws://other.test/vobu\",\"ftp://not.a.server/\"]");  // a list the reader would thin out
    LogCapture log;
    openAndCommit("new.test:80");
    EXPECT_FALSE(browser.dialogOpen) << browser.dialogStatus;
    EXPECT_EQ(folder.read(), nlohmann::json(std::vector<std::string>{addresses(1)[0], "ws://new.test:80/vobu"}).dump());
    std::ifstream kept(folder.serversFile + ".unread.bak", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}),
              "[\"ws://other.test/vobu\",\"ftp://not.a.server/\"]");
    EXPECT_EQ(log.count("Saved servers: the list file changed since it was read and is kept as " + folder.serversFile +
                        ".unread.bak"),
              1);
}

TEST_F(AddServerTest, TwoWindowsTakingTurnsPastAHundredChangesKeepBothLists) {
    ServerBrowser left(net.factory());
    ServerBrowser right(net.factory());
    for (ServerBrowser* window : {&left, &right}) {
        window->setClock([this] { return nowMs; });
        window->initialize(graphics, font, kDirectoryUrl, {});
    }
    for (int turn = 0; turn < 150; ++turn) {
        ServerBrowser& window = turn % 2 ? right : left;
        const std::string host = (turn % 2 ? "right" : "left") + std::to_string(turn / 2 % 7) + ".test";
        window.openDialog();
        window.addressField.setText(host);
        window.addServer();
        ASSERT_FALSE(window.dialogOpen) << "turn " << turn << ": " << window.dialogStatus;
        if (turn / 2 % 7 == 6) {
            // Deletes its own first server again.
            const std::string first = "ws://" + std::string(turn % 2 ? "right" : "left") + "0.test/vobu";
            window.rebuildRows(first);
            window.deleteSelectedServer();
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder.serversFile + ".unread.bak"));
    const std::vector<std::string> saved = parseSavedServers(folder.read());
    EXPECT_EQ(saved.size(), 14u) << folder.read();
    EXPECT_EQ(saved, right.savedServers) << "the last window's view is the file";
}

TEST_F(AddServerTest, ChangedListThatCannotBeKeptIsNotReplaced) {
    start(addresses(1));
    frame();
    std::filesystem::remove(folder.serversFile);
    Fifo fifo(folder.serversFile);  // another program's, not to be lost
    browser.serversFile.calls = withoutHardLinks();
    LogCapture log;
    openAndCommit("new.test:80");
    EXPECT_EQ(browser.dialogStatus, "Could not save");
    EXPECT_EQ(browser.savedServers, addresses(1));
    EXPECT_TRUE(isFifo(folder.serversFile));
    EXPECT_EQ(log.count("Saved servers: the list file changed since it was read and could not be kept aside"), 1);
}

TEST_F(AddServerTest, ReadableFileIsReplacedWithoutACopy) {
    start(addresses(1));
    frame();
    openAndCommit("new.test:80");
    EXPECT_FALSE(browser.dialogOpen);
    EXPECT_FALSE(std::filesystem::exists(folder.serversFile + ".unread.bak"));
}

TEST_F(AddServerTest, LoadingSkipsOtherSchemesAndStopsAtANonString) {
    folder.put(R"(["ws://a.test/vobu","http://b.test/","wss://c.test/vobu",5,"ws://d.test/vobu"])");
    start();
    EXPECT_EQ(browser.savedServers, (std::vector<std::string>{"ws://a.test/vobu", "wss://c.test/vobu"}));
}

TEST_F(AddServerTest, DeleteRewritesTheFileClosesTheSubscriptionAndSelectsTheNextRow) {
    start(addresses(3));
    run(400);
    FakeLine* line = net.lineFor("ws://s1.test/vobu");
    ASSERT_NE(line, nullptr);
    browser.list.select(1);
    browser.deleteSelectedServer();
    EXPECT_EQ(folder.read(), R"(["ws://s0.test/vobu","ws://s2.test/vobu"])");
    EXPECT_EQ(line->closes, 1);
    EXPECT_EQ(browser.subscriptions.count("ws://s1.test/vobu"), 0u);
    EXPECT_EQ(browser.rows[size_t(browser.list.selected)].url, "ws://s2.test/vobu");
    browser.deleteSelectedServer();
    EXPECT_EQ(browser.rows[size_t(browser.list.selected)].url, "ws://s0.test/vobu");
}

TEST_F(AddServerTest, DeleteThatCannotBeWrittenChangesNothing) {
    start(addresses(2));
    run(400);
    browser.serversFile.calls = diskFullAfter(0);  // every write fails
    const std::string before = folder.read();
    browser.list.select(0);
    browser.deleteSelectedServer();
    EXPECT_EQ(browser.savedServers, addresses(2));
    EXPECT_EQ(folder.read(), before);
    EXPECT_EQ(browser.subscriptions.count("ws://s0.test/vobu"), 1u);
    EXPECT_EQ(browser.list.selected, 0);
    EXPECT_EQ(browser.savedServersStatus, "") << "only a folder another window holds is said";
}

// Another window that keeps the per-user folder locked past the wait (one
// stopped in a debugger, say): Add and Delete change nothing and say why,
// and both work once it lets go.
TEST_F(AddServerTest, AddAndDeleteWaitForTheFolderAnotherWindowKeepsLocked) {
    start(addresses(2));
    run(400);
    browser.serversFile.lockWaitMs = 10;
    const std::string before = folder.read();
    auto rowUrls = [this] {
        std::vector<std::string> urls;
        for (const ServerEntry& row : browser.rows) urls.push_back(row.url);
        return urls;
    };
    const int deleteX = 408 + 90;
    const int deleteY = 624 + 16;
    {
        // flock locks belong to the open file, so this one keeps the
        // browser out as another process's would.
        FileLock other = lockUserFolder(0);
        ASSERT_TRUE(other.held());

        openAndCommit("new.test:80");
        EXPECT_TRUE(browser.dialogOpen);
        EXPECT_EQ(browser.dialogStatus, kUserFilesBusyText);
        EXPECT_EQ(browser.addressField.text, "new.test:80") << "kept for another try";
        key(SDLK_ESCAPE);

        browser.list.select(0);
        frame();
        click(deleteX, deleteY);
        EXPECT_EQ(browser.savedServersStatus, kUserFilesBusyText);
        EXPECT_EQ(browser.list.selected, 0);
        EXPECT_EQ(browser.subscriptions.count("ws://s0.test/vobu"), 1u);

        EXPECT_EQ(folder.read(), before);
        EXPECT_EQ(browser.savedServers, addresses(2));
        EXPECT_EQ(rowUrls(), addresses(2));
    }
    frame();
    click(deleteX, deleteY);
    EXPECT_EQ(browser.savedServersStatus, "") << "the Delete that worked no longer says the folder is busy";
    openAndCommit("new.test:80");
    EXPECT_FALSE(browser.dialogOpen) << browser.dialogStatus;
    const std::vector<std::string> after = {"ws://s1.test/vobu", "ws://new.test:80/vobu"};
    EXPECT_EQ(folder.read(), json(after).dump());
    EXPECT_EQ(browser.savedServers, after);
    EXPECT_EQ(rowUrls(), after);
}

TEST_F(AddServerTest, TheNextAddTakesBackWhatAnEarlierDeleteSaid) {
    start(addresses(2));
    frame();
    browser.serversFile.lockWaitMs = 10;
    {
        FileLock other = lockUserFolder(0);
        ASSERT_TRUE(other.held());
        browser.list.select(0);
        browser.deleteSelectedServer();
        ASSERT_EQ(browser.savedServersStatus, kUserFilesBusyText);
    }
    openAndCommit("new.test:80");
    EXPECT_FALSE(browser.dialogOpen) << browser.dialogStatus;
    EXPECT_EQ(browser.savedServersStatus, "");
}

// Servers another window deleted go from this one with the next change: no
// row, no subscription left open, nothing remembered that would ask them
// again.
TEST_F(AddServerTest, ServersAnotherWindowDeletedAreForgottenWithTheNextChange) {
    const std::string kept = "ws://kept.test/vobu";
    const std::string open = "ws://open.test/vobu";      // subscribed, answered once before
    const std::string queued = "ws://queued.test/vobu";  // waiting for its turn
    const std::string failed = "ws://failed.test/vobu";  // its connect failed
    net.failingUrls = {failed};
    start({open, queued, failed, kept});
    run(600);
    net.lineFor(kept)->serverOpens();
    net.lineFor(kept)->serverSends(selfReply("Kept", ""));
    // `open` and `queued` answer and hang up together; after their back-off
    // `open` is asked again at once and `queued` waits its 150 ms.
    for (const std::string& url : {open, queued}) {
        FakeLine* line = net.lineFor(url);
        ASSERT_NE(line, nullptr);
        line->serverOpens();
        line->serverSends(selfReply("Title of " + url, ""));
        line->serverCloses();
    }
    frame();
    advance(SubscriptionBackOff::kFirstDelayMs);
    frame();
    FakeLine* openLine = net.lineFor(open);
    ASSERT_EQ(net.connectsTo(open), 2);
    ASSERT_EQ(browser.subscriptions.count(open), 1u);
    ASSERT_EQ(browser.subscribeQueue, std::deque<std::string>{queued});
    ASSERT_EQ(browser.failedUrls, std::set<std::string>{failed});
    for (const std::string& answered : {open, queued}) {
        ASSERT_EQ(browser.backOff.count(answered), 1u) << answered;
        ASSERT_EQ(browser.serverInfo.count(answered), 1u) << answered;
    }

    folder.put(json(std::vector<std::string>{kept}).dump());  // the other window's deletes
    openAndCommit("mine.test:1");
    ASSERT_FALSE(browser.dialogOpen) << browser.dialogStatus;

    const std::vector<std::string> now = {kept, "ws://mine.test:1/vobu"};
    EXPECT_EQ(folder.read(), json(now).dump());
    std::vector<std::string> rows;
    for (const ServerEntry& row : browser.rows) rows.push_back(row.url);
    EXPECT_EQ(rows, now);
    EXPECT_EQ(openLine->closes, 1);
    EXPECT_EQ(browser.subscriptions.count(open), 0u);
    for (const std::string& gone : {open, queued, failed}) {
        EXPECT_EQ(browser.serverInfo.count(gone), 0u) << gone;
        EXPECT_EQ(browser.failedUrls.count(gone), 0u) << gone;
        EXPECT_EQ(browser.backOff.count(gone), 0u) << gone;
        EXPECT_EQ(std::count(browser.subscribeQueue.begin(), browser.subscribeQueue.end(), gone), 0) << gone;
    }
    EXPECT_EQ(net.lineFor(kept)->closes, 0) << "the server both lists keep stays asked";

    // Nothing of them is polled or asked again.
    const int polls = openLine->polls;
    run(SubscriptionBackOff::kLongestDelayMs, 1000);
    EXPECT_EQ(openLine->polls, polls);
    EXPECT_EQ(net.connectsTo(open), 2);
    EXPECT_EQ(net.connectsTo(queued), 1);
    EXPECT_EQ(net.connectsTo(failed), 1);
}

TEST_F(AddServerTest, DeletedAddressThatTheDirectoryListsStaysAsTheDirectoryRow) {
    start({"ws://a.test/vobu", "ws://b.test/vobu"});
    directoryAnswers({{"Dir A", "", "ws://a.test/vobu"}});
    browser.list.select(0);
    browser.deleteSelectedServer();
    EXPECT_EQ(browser.savedServers, std::vector<std::string>{"ws://b.test/vobu"});
    ASSERT_EQ(browser.rows.size(), 2u);
    EXPECT_EQ(browser.rows[0].title, "Dir A");
}

}  // namespace
}  // namespace vobu::testing
