#pragma once
// The one transport of the tests: a line to a server that the test plays.
// What the server does (accept, a message, a hang-up) is queued and happens
// inside the next poll, as with the real transport; everything the client
// sent is kept; a connect or a send can be made to fail the way the real
// transport fails (it closes itself, then reports).
//
// A game server accepts every connect at once (`acceptsAtOnce`); a
// directory or a saved server is opened by the test (`serverOpens`). A line
// that no test drives stays connecting and quiet.

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/socket_transport.h"

namespace vobu::testing {

struct FakeLine {
    TransportCallbacks callbacks;
    std::vector<std::string> connects;
    std::vector<std::string> sent;  // JSON texts, as sent while open
    std::deque<std::function<void()>> pending;
    bool open = false;
    bool connected = false;  // between connect and close or failure
    int closes = 0;
    int polls = 0;

    // Every connect is accepted: the next poll opens the line.
    bool acceptsAtOnce = false;
    // A connect reports this failure at once when set.
    std::string connectError;
    const std::vector<std::string>* failingUrls = nullptr;  // their connect fails at once
    const std::function<void()>* onConnect = nullptr;       // runs inside every connect
    // Fails the send with this 1-based index (counted over the whole run).
    int failSendNumber = 0;
    int sendCount = 0;
    int sendsWhileClosed = 0;  // dropped, as the real transport drops them

    void serverOpens() {
        pending.push_back([this] {
            open = true;
            callbacks.onOpen();
        });
    }
    void serverSends(const std::string& text) {
        pending.push_back([this, text] {
            if (open) callbacks.onMessage(text.data(), unsigned(text.size()));
        });
    }
    void serverCloses() {
        pending.push_back([this] {
            if (!connected) return;
            open = false;
            connected = false;
            callbacks.onClose();
        });
    }

    // The transport's failure path: closed first, then reported.
    void fail(const std::string& text) {
        open = false;
        connected = false;
        pending.clear();
        if (callbacks.onError) {
            callbacks.onError(text);
        } else {
            callbacks.onClose();
        }
    }

    std::vector<nlohmann::json> sentJson() const {
        std::vector<nlohmann::json> messages;
        for (const std::string& text : sent) messages.push_back(nlohmann::json::parse(text));
        return messages;
    }
    std::vector<nlohmann::json> sentOfType(const std::string& type) const {
        std::vector<nlohmann::json> result;
        for (nlohmann::json& message : sentJson())
            if (message.at("type") == type) result.push_back(std::move(message));
        return result;
    }
    std::vector<std::string> sentTypes() const {
        std::vector<std::string> types;
        for (const nlohmann::json& message : sentJson()) types.push_back(message.at("type"));
        return types;
    }

    // A transport over this line, as the factory hands it to the client.
    std::unique_ptr<SocketTransport> attach(TransportCallbacks&& newCallbacks);
};

class FakeTransport : public SocketTransport {
public:
    explicit FakeTransport(FakeLine& line) : line_(line) {}
    void connect(const std::string& url) override {
        line_.connects.push_back(url);
        line_.pending.clear();
        line_.open = false;
        line_.connected = true;
        if (line_.onConnect && *line_.onConnect) (*line_.onConnect)();
        const auto* failing = line_.failingUrls;
        if (failing && std::find(failing->begin(), failing->end(), url) != failing->end()) {
            line_.fail("ERR_CONNECT_REFUSED");
        } else if (!line_.connectError.empty()) {
            line_.fail(line_.connectError);
        } else if (line_.acceptsAtOnce) {
            line_.serverOpens();
        }
    }
    void poll() override {
        ++line_.polls;
        while (line_.connected && !line_.pending.empty()) {
            auto step = std::move(line_.pending.front());
            line_.pending.pop_front();
            step();
        }
    }
    void send(const std::string& jsonText) override {
        if (!line_.open) {
            ++line_.sendsWhileClosed;
            return;
        }
        if (++line_.sendCount == line_.failSendNumber) {
            line_.fail("ERR_SOCKET_SEND");
            return;
        }
        line_.sent.push_back(jsonText);
    }
    void close() override {
        line_.open = false;
        line_.connected = false;
        line_.pending.clear();
        ++line_.closes;
    }

private:
    FakeLine& line_;
};

inline std::unique_ptr<SocketTransport> FakeLine::attach(TransportCallbacks&& newCallbacks) {
    callbacks = std::move(newCallbacks);
    return std::make_unique<FakeTransport>(*this);
}

// Every transport a client made, in order, each on a line of its own; for
// the server browser the first is the directory's.
struct FakeNet {
    std::vector<std::unique_ptr<FakeLine>> lines;
    std::vector<std::string> failingUrls;  // their connect fails at once
    std::function<void()> onConnect;       // e.g. a name lookup that takes time

    std::function<std::unique_ptr<SocketTransport>(TransportCallbacks&&)> factory() {
        return [this](TransportCallbacks&& callbacks) {
            lines.push_back(std::make_unique<FakeLine>());
            lines.back()->failingUrls = &failingUrls;
            lines.back()->onConnect = &onConnect;
            return lines.back()->attach(std::move(callbacks));
        };
    }
    FakeLine& directory() { return *lines.at(0); }
    // The newest line that connected to the url (null for none).
    FakeLine* lineFor(const std::string& url) {
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
            if (!(*it)->connects.empty() && (*it)->connects.back() == url) return it->get();
        }
        return nullptr;
    }
    int connectsTo(const std::string& url) const {
        int n = 0;
        for (const auto& line : lines)
            for (const std::string& connect : line->connects) n += connect == url;
        return n;
    }
};

}  // namespace vobu::testing
