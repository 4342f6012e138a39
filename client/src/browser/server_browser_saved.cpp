// The saved-server list and the add-server dialog's commit.

#include <algorithm>

#include "browser/saved_servers.h"
#include "browser/server_address_rules.h"
#include "browser/server_browser.h"

namespace vobu {

namespace {

bool listIsAsAsked(WatchedFile::Result result) {
    return result == WatchedFile::Result::Written || result == WatchedFile::Result::NothingToWrite;
}

}  // namespace

void ServerBrowser::loadSavedServers() { savedServers = readSavedServers(serversFile).servers; }

// Another window changed the list since this one read it: its list is this
// screen's now, so that the change at hand keeps its servers.
bool ServerBrowser::takeSavedServersAsTheyAreNow(const std::string& text) {
    std::vector<std::string> fresh;
    if (!takeWholeSavedServers(text, fresh)) return false;
    for (const std::string& url : savedServers) {
        if (std::find(fresh.begin(), fresh.end(), url) == fresh.end()) forgetServer(url);
    }
    savedServers = std::move(fresh);
    queueSubscriptions();
    nextSubscriptionMs = 0;
    rebuildRows("");
    return true;
}

// Applies one change to the list as it is on disk now; the caller says
// what a change that was not made means to the player.
WatchedFile::Result ServerBrowser::changeSavedServers(const std::function<bool(std::vector<std::string>&)>& edit) {
    std::vector<std::string> updated;
    WatchedFile::Result result =
        serversFile.apply([&](const std::string& text) { return takeSavedServersAsTheyAreNow(text); },
                          [&](WatchedFile::Edit& out) {
                              updated = savedServers;
                              if (!edit(updated)) return false;
                              out.write = updated != savedServers;
                              return !out.write || buildSavedServersDocument(updated, out.bytes);
                          });
    if (result == WatchedFile::Result::Written) savedServers = std::move(updated);
    return result;
}

bool ServerBrowser::isSaved(const std::string& url) const {
    return std::find(savedServers.begin(), savedServers.end(), url) != savedServers.end();
}

void ServerBrowser::addServer() {
    dialogStatus.clear();
    savedServersStatus.clear();
    std::string address;
    std::string message = completeServerAddress(addressField.text, address);
    if (!message.empty()) {
        dialogStatus = message;
        dirty = true;
        return;
    }
    const WatchedFile::Result result = changeSavedServers([&](std::vector<std::string>& list) {
        if (std::find(list.begin(), list.end(), address) != list.end()) return true;
        if (list.size() >= kMaxSavedServers) {
            dialogStatus = "Only 16 servers";
            return false;
        }
        list.push_back(address);
        return true;
    });
    if (!listIsAsAsked(result)) {
        // A refusal that said why keeps its own words.
        if (result == WatchedFile::Result::Locked) {
            dialogStatus = kUserFilesBusyText;
        } else if (dialogStatus.empty()) {
            dialogStatus = "Could not save";
        }
        dirty = true;
        return;
    }
    closeDialog();
    bool queued = std::find(subscribeQueue.begin(), subscribeQueue.end(), address) != subscribeQueue.end();
    if (!subscriptions.count(address) && !queued) subscribeQueue.push_back(address);
    // A server typed in again is asked at once, whatever it did before.
    backOff.erase(address);
    nextSubscriptionMs = 0;
    rebuildRows(address);
}

void ServerBrowser::forgetServer(const std::string& url) {
    serverInfo.erase(url);
    failedUrls.erase(url);
    backOff.erase(url);
    subscribeQueue.erase(std::remove(subscribeQueue.begin(), subscribeQueue.end(), url), subscribeQueue.end());
    auto subscription = subscriptions.find(url);
    if (subscription != subscriptions.end()) {
        subscription->second->transport->close();
        subscriptions.erase(subscription);
    }
}

void ServerBrowser::deleteSelectedServer() {
    if (!hasValidSelection()) return;
    const int deletedRow = list.selected;
    const std::string url = rows[size_t(deletedRow)].url;
    if (!isSaved(url)) return;
    // The row selected next is the deleted one's neighbour as the player saw
    // it, even when the list another window wrote comes in meanwhile.
    std::string next;
    if (size_t(deletedRow) + 1 < rows.size()) {
        next = rows[size_t(deletedRow) + 1].url;
    } else if (deletedRow > 0) {
        next = rows[size_t(deletedRow) - 1].url;
    }
    const WatchedFile::Result result = changeSavedServers([&](std::vector<std::string>& list) {
        auto found = std::find(list.begin(), list.end(), url);
        if (found != list.end()) list.erase(found);
        return true;
    });
    // Says why the row stays when another window has the folder: once it
    // lets go, Delete works again.
    savedServersStatus = result == WatchedFile::Result::Locked ? kUserFilesBusyText : "";
    dirty = true;
    if (!listIsAsAsked(result)) return;
    forgetServer(url);
    rebuildRows(next);
}

}  // namespace vobu
