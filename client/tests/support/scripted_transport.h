#pragma once
// A transport for tests of the Network: server messages are queued by the
// test and delivered on the next poll, sent messages are kept as JSON, and
// a chosen send fails the way the real transport fails (it closes itself,
// then reports).

#include <deque>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "net/socket_transport.h"

namespace vobu::testing {

using nlohmann::json;

// The wire of the scripted transport, shared with the test: server messages
// queued for the next poll, everything the client sent, and sends that fail.
struct Wire {
    TransportCallbacks callbacks;
    std::deque<std::string> inbound;
    std::vector<json> sent;
    std::vector<std::string> connects;
    bool open = false;
    int closes = 0;
    int polls = 0;
    // Fails the send with this 1-based index (counted over the whole run)
    // the way the real transport does: it closes itself, then reports.
    int failSendNumber = 0;
    int sendCount = 0;
    int sendsWhileClosed = 0;  // dropped, as the real transport drops them
    std::string connectError;  // reported from inside connect when set

    std::vector<json> sentOfType(const std::string& type) const {
        std::vector<json> result;
        for (const json& message : sent)
            if (message.at("type") == type) result.push_back(message);
        return result;
    }
    std::vector<std::string> sentTypes() const {
        std::vector<std::string> types;
        for (const json& message : sent) types.push_back(message.at("type"));
        return types;
    }
};

class ScriptedTransport : public SocketTransport {
public:
    explicit ScriptedTransport(Wire& wire) : wire_(wire) {}
    void connect(const std::string& url) override {
        wire_.connects.push_back(url);
        wire_.open = true;
        if (!wire_.connectError.empty()) {
            wire_.open = false;
            wire_.callbacks.onError(wire_.connectError);
        }
    }
    void poll() override {
        ++wire_.polls;
        while (wire_.open && !wire_.inbound.empty()) {
            const std::string text = wire_.inbound.front();
            wire_.inbound.pop_front();
            wire_.callbacks.onMessage(text.data(), unsigned(text.size()));
        }
    }
    void send(const std::string& jsonText) override {
        if (!wire_.open) {
            ++wire_.sendsWhileClosed;
            return;
        }
        ++wire_.sendCount;
        if (wire_.sendCount == wire_.failSendNumber) {
            wire_.open = false;
            wire_.callbacks.onError("ERR_SOCKET_SEND");
            return;
        }
        wire_.sent.push_back(json::parse(jsonText));
    }
    void close() override {
        wire_.open = false;
        ++wire_.closes;
    }

private:
    Wire& wire_;
};

}  // namespace vobu::testing
