// The saved-server list and the add-server dialog's commit.

#include <SDL.h>

#include <algorithm>

#include "browser/saved_servers.h"
#include "browser/server_address_rules.h"
#include "browser/server_browser.h"
#include "character/user_files.h"

namespace vobu {

void ServerBrowser::loadSavedServers() {
    SavedServersRead read = readSavedServers();
    savedServers = std::move(read.servers);
    keepServersFileBeforeWrite = read.unreadable;
    serversFileSeen = read.file;
}

// Every write replaces the whole file, so a file that could not be read, or
// one that another program (another game window, say) wrote since it was
// read, would be lost without a trace: it is kept beside the list instead.
// Nothing is merged.
bool ServerBrowser::keepServersFileAside() {
    FileIdentity now = serversFileIdentity();
    if (!keepServersFileBeforeWrite && now == serversFileSeen) return true;
    const char* why = keepServersFileBeforeWrite ? "could not be read" : "changed since it was read";
    std::string kept;
    if (!keepUnreadableServersFile(kept, fileCalls)) {
        SDL_Log("Saved servers: the list file %s and could not be kept aside, so it is not replaced", why);
        return false;
    }
    if (!kept.empty()) SDL_Log("Saved servers: the list file %s and is kept as %s", why, kept.c_str());
    keepServersFileBeforeWrite = false;
    serversFileSeen = now;
    return true;
}

bool ServerBrowser::saveServerList(const std::vector<std::string>& list) {
    if (!keepServersFileAside()) return false;
    FileIdentity written;
    if (!writeSavedServers(list, &written)) return false;
    serversFileSeen = written;
    return true;
}

bool ServerBrowser::isSaved(const std::string& url) const {
    return std::find(savedServers.begin(), savedServers.end(), url) != savedServers.end();
}

void ServerBrowser::addServer() {
    dialogStatus.clear();
    std::string address;
    std::string message = completeServerAddress(addressField.text, address);
    if (!message.empty()) {
        dialogStatus = message;
        dirty = true;
        return;
    }
    if (!isSaved(address)) {
        if (savedServers.size() >= kMaxSavedServers) {
            dialogStatus = "Only 16 servers";
            dirty = true;
            return;
        }
        savedServers.push_back(address);
        if (!saveServerList(savedServers)) {
            savedServers.pop_back();
            dialogStatus = "Could not save";
            dirty = true;
            return;
        }
    }
    closeDialog();
    bool queued = std::find(subscribeQueue.begin(), subscribeQueue.end(), address) != subscribeQueue.end();
    if (!subscriptions.count(address) && !queued) subscribeQueue.push_back(address);
    // A server typed in again is asked at once, whatever it did before.
    backOff.erase(address);
    nextSubscriptionMs = 0;
    rebuildRows(address);
}

void ServerBrowser::deleteSelectedServer() {
    if (!hasValidSelection()) return;
    const int deletedRow = list.selected;
    const std::string url = rows[size_t(deletedRow)].url;
    auto found = std::find(savedServers.begin(), savedServers.end(), url);
    if (found == savedServers.end()) return;
    std::vector<std::string> before = savedServers;
    savedServers.erase(found);
    if (!saveServerList(savedServers)) {
        savedServers = std::move(before);
        return;
    }
    serverInfo.erase(url);
    failedUrls.erase(url);
    backOff.erase(url);
    subscribeQueue.erase(std::remove(subscribeQueue.begin(), subscribeQueue.end(), url), subscribeQueue.end());
    auto subscription = subscriptions.find(url);
    if (subscription != subscriptions.end()) {
        subscription->second->transport->close();
        subscriptions.erase(subscription);
    }
    std::string next;
    if (size_t(deletedRow) + 1 < rows.size()) {
        next = rows[size_t(deletedRow) + 1].url;
    } else if (deletedRow > 0) {
        next = rows[size_t(deletedRow) - 1].url;
    }
    rebuildRows(next);
    dirty = true;
}

}  // namespace vobu
