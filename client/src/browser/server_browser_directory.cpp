// The directory connection, the per-server subscriptions and the rows built
// from what they told.

#include <SDL.h>

#include <algorithm>
#include <exception>

#include "browser/directory_reply.h"
#include "browser/server_browser.h"
#include "net/server_address.h"

namespace vobu {

TransportCallbacks ServerBrowser::directoryCallbacks() {
    TransportCallbacks callbacks;
    callbacks.onOpen = [this] { directoryTransport->send(kDirectoryRequest); };
    // A server that answers and then hangs up (as a web server would) has
    // still given a good list; only a close before any reply forgets it.
    callbacks.onClose = [this] {
        if (!directoryAnswered) clearDirectory();
    };
    callbacks.onMessage = [this](const char* text, unsigned length) { parseDirectory(text, length); };
    return callbacks;
}

void ServerBrowser::refresh() {
    dirty = true;
    clearDirectory();
    failedUrls.clear();
    subscribeQueue.clear();
    backOff.clear();
    nextSubscriptionMs = 0;
    directoryAnswered = false;
    // The transport refuses such an address silently (its failures arrive
    // as a close): the screen says why the list stays empty.
    directoryStatus = serverAddressFault(directoryUrl).empty() ? "" : kInvalidServerAddress;
    if (directoryTransport) directoryTransport->connect(directoryUrl);
}

void ServerBrowser::clearDirectory() {
    // Emptying the rows must not cost the player the server they chose (the
    // one just left, on the way back from a game): it is selected again as
    // soon as a row shows it.
    if (!wantedUrl && hasValidSelection()) wantedUrl = rows[size_t(list.selected)].url;
    directoryEntries.clear();
    rebuildRows("");
    joinRequested = false;
    dirty = true;
}

void ServerBrowser::parseDirectory(const char* text, unsigned length) {
    try {
        std::optional<std::vector<ServerEntry>> entries = readDirectoryReply(text, length, directoryUrl);
        if (!entries) return;
        directoryEntries = std::move(*entries);
        directoryAnswered = true;
        dirty = true;
        rebuildRows("");
    } catch (const std::exception& error) {
        // The directory is closed after one refused reply, so this is one
        // line per refresh at most.
        SDL_Log("Directory reply refused: %s", describeDirectoryRefusal(error).c_str());
        directoryAnswered = false;
        clearDirectory();
        if (directoryTransport) directoryTransport->close();
    }
}

void ServerBrowser::queueSubscriptions() {
    const double now = clock_();
    for (const std::string& url : savedServers) {
        if (subscriptions.count(url) || failedUrls.count(url)) continue;
        if (std::find(subscribeQueue.begin(), subscribeQueue.end(), url) != subscribeQueue.end()) continue;
        auto waiting = backOff.find(url);
        if (waiting != backOff.end() && now < waiting->second.notBeforeMs) continue;
        subscribeQueue.push_back(url);
    }
}

void ServerBrowser::startSubscription(const std::string& url) {
    if (!isWebSocketUrl(url)) {
        failedUrls.insert(url);
        return;
    }
    auto subscription = std::make_unique<DirectorySubscription>();
    DirectorySubscription* raw = subscription.get();
    raw->url = url;
    raw->startMs = clock_();
    TransportCallbacks callbacks;
    callbacks.onOpen = [raw] { raw->transport->send(kDirectoryRequest); };
    callbacks.onClose = [raw] { raw->closed = true; };
    callbacks.onMessage = [this, raw](const char* text, unsigned length) { parseServerInfo(*raw, text, length); };
    raw->transport = makeTransport_(std::move(callbacks));
    // Stored before connecting, so that a connect failing at once finds it.
    subscriptions[url] = std::move(subscription);
    raw->transport->connect(url);
}

void ServerBrowser::noteAnsweredClose(const DirectorySubscription& subscription, double nowMs) {
    SubscriptionBackOff& wait = backOff[subscription.url];
    // A server that stayed with us for a long while starts over at the
    // shortest delay; one that keeps hanging up waits ever longer.
    bool stayedLong = nowMs - subscription.answeredMs >= SubscriptionBackOff::kLongestDelayMs;
    if (wait.delayMs <= 0 || stayedLong) {
        wait.delayMs = SubscriptionBackOff::kFirstDelayMs;
    } else {
        wait.delayMs = std::min(wait.delayMs * 2, SubscriptionBackOff::kLongestDelayMs);
    }
    wait.notBeforeMs = nowMs + wait.delayMs;
}

void ServerBrowser::pollSubscriptions() {
    const double now = clock_();
    for (auto& [url, subscription] : subscriptions) {
        subscription->transport->poll();
        if (!subscription->answered && now - subscription->startMs > kSubscriptionTimeoutMs) {
            subscription->closed = true;
        }
    }
    for (auto it = subscriptions.begin(); it != subscriptions.end();) {
        DirectorySubscription& subscription = *it->second;
        if (!subscription.closed) {
            ++it;
            continue;
        }
        if (subscription.answered) {
            noteAnsweredClose(subscription, now);
        } else {
            failedUrls.insert(subscription.url);
        }
        subscription.transport->close();
        it = subscriptions.erase(it);
    }
    queueSubscriptions();
    if (!subscribeQueue.empty() && now >= nextSubscriptionMs) {
        std::string url = subscribeQueue.front();
        subscribeQueue.pop_front();
        startSubscription(url);
        nextSubscriptionMs = clock_() + kSubscriptionPaceMs;
    }
}

void ServerBrowser::parseServerInfo(DirectorySubscription& subscription, const char* text, unsigned length) {
    try {
        std::optional<ServerInfo> reply = readServerInfoReply(text, length);
        if (!reply) return;
        if (!subscription.answered) subscription.answeredMs = clock_();
        subscription.answered = true;
        ServerInfo& known = serverInfo[subscription.url];
        if (known.title != reply->title || known.motd != reply->motd) {
            known = std::move(*reply);
            rebuildRows("");
        }
    } catch (const std::exception&) {
        subscription.closed = true;
    }
}

void ServerBrowser::closeSubscriptions() {
    for (auto& [url, subscription] : subscriptions) subscription->transport->close();
    subscriptions.clear();
    subscribeQueue.clear();
    failedUrls.clear();
    backOff.clear();
    nextSubscriptionMs = 0;
}

void ServerBrowser::rebuildRows(const std::string& preferredUrl) {
    std::optional<std::string> keep;
    if (!preferredUrl.empty()) {
        wantedUrl.reset();
        keep = preferredUrl;
    } else if (wantedUrl) {
        keep = wantedUrl;
    } else if (hasValidSelection()) {
        keep = rows[size_t(list.selected)].url;
    }
    rows = directoryEntries;
    for (const std::string& address : savedServers) {
        bool shown = std::any_of(rows.begin(), rows.end(), [&](const ServerEntry& row) { return row.url == address; });
        if (shown) continue;
        auto info = serverInfo.find(address);
        if (info != serverInfo.end() && !info->second.title.empty()) {
            rows.push_back(ServerEntry{info->second.title, info->second.motd, address});
        } else {
            rows.push_back(ServerEntry{address, "", address});
        }
    }
    list.setLayout(24, 188, 972, 424, int(rows.size()), kRowHeight);
    int index = -1;
    for (size_t i = 0; keep && i < rows.size(); ++i) {
        if (rows[i].url == *keep) {
            index = int(i);
            wantedUrl.reset();
            break;
        }
    }
    if (index < 0 && !rows.empty()) index = 0;
    list.select(index);
    dirty = true;
}

}  // namespace vobu
