// Receive path of the transport: frames read from the socket to JSON text
// handed to onMessage, for asset chunks and large snapshots, beside the bare
// JSON library conversion of the same MessagePack bytes. The socket is a
// scripted stand-in behind the transport's call table, so the figures show
// the transport's own cost; "max_poll_us" is the slowest single poll.

#include "net/message_codec.h"
#include "net/socket_transport.h"
#include "net/websocket_handshake.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace vobu {
namespace {

using json = nlohmann::json;

std::string assetChunkMessage() {
    std::vector<uint8_t> data(12 * 1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131 + 17);
    const auto bytes =
        json::to_msgpack(json{{"type", "assetChunk"}, {"id", "map-mesh"}, {"index", 7}, {"data", json::binary(data)}});
    return std::string(bytes.begin(), bytes.end());
}

std::string snapshotMessage() {
    json players = json::array();
    for (int i = 0; i < 1000; ++i) {
        players.push_back({{"id", "player-" + std::to_string(i)},
                           {"x", i * 0.5},
                           {"y", i * -0.25},
                           {"z", 1.5},
                           {"vx", 0.125},
                           {"vy", -3.0},
                           {"vz", 0.0},
                           {"yaw", i * 0.01},
                           {"grounded", true},
                           {"jumpHeld", false},
                           {"coyote", 0.0},
                           {"sequence", 100000 + i}});
    }
    const auto bytes = json::to_msgpack(json{{"type", "snapshot"}, {"tick", 4242}, {"players", players}});
    return std::string(bytes.begin(), bytes.end());
}

std::string serverFrame(const std::string& payload) {
    std::string frame = {'\x82'};
    const size_t length = payload.size();
    if (length < 126) {
        frame.push_back(static_cast<char>(length));
    } else if (length <= 65535) {
        frame.push_back(126);
        frame.push_back(static_cast<char>(length >> 8));
        frame.push_back(static_cast<char>(length));
    } else {
        frame.push_back(127);
        for (int shift = 56; shift >= 0; shift -= 8) frame.push_back(static_cast<char>(uint64_t(length) >> shift));
    }
    return frame + payload;
}

// A socket that answers the upgrade, then serves the same frame forever.
struct ScriptedSocket {
    std::string reply;
    std::string frame;
    size_t replyOffset = 0;
    size_t frameOffset = 0;
    uint64_t frameBytesServed = 0;

    long receive(uint8_t* data, size_t length) {
        if (replyOffset < reply.size()) {
            const size_t count = std::min(length, reply.size() - replyOffset);
            std::memcpy(data, reply.data() + replyOffset, count);
            replyOffset += count;
            return static_cast<long>(count);
        }
        size_t filled = 0;
        while (filled < length) {
            const size_t count = std::min(length - filled, frame.size() - frameOffset);
            std::memcpy(data + filled, frame.data() + frameOffset, count);
            filled += count;
            frameOffset = (frameOffset + count) % frame.size();
        }
        frameBytesServed += filled;
        return static_cast<long>(filled);
    }
};

void benchmarkReceivePath(benchmark::State& state, const std::string& message) {
    auto socket = std::make_shared<ScriptedSocket>();
    socket->frame = serverFrame(message);
    // A fixed key, so the reply's accept value is known in advance.
    TransportCalls platform;
    platform.resolve = [](const std::string&, const std::string&, Ipv4Endpoint&) { return true; };
    platform.openSocket = [] { return 1000; };
    platform.startConnect = [](int, const Ipv4Endpoint&) { return ConnectStart::InProgress; };
    platform.setNoDelay = [](int) {};
    platform.checkConnect = [](int) { return ConnectProgress::Ready; };
    platform.pendingError = [](int) { return 0; };
    platform.send = [](int, const uint8_t*, size_t length) { return static_cast<long>(length); };
    platform.receive = [socket](int, uint8_t* data, size_t length) { return socket->receive(data, length); };
    platform.shutdownSending = [](int) {};
    platform.closeSocket = [](int) {};
    platform.randomBytes = [](uint8_t* data, size_t length) {
        std::memset(data, 0x5A, length);
        return true;
    };
    platform.ticks = [] { return 1000u; };
    platform.readTrustBundle = [](std::string&) { return false; };
    const std::string key = "WlpaWlpaWlpaWlpaWlpaWg==";  // base64 of sixteen 0x5A bytes
    socket->reply =
        "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Accept: " +
        computeWebSocketAccept(key) + "\r\n\r\n";

    uint64_t messages = 0;
    uint64_t jsonBytes = 0;
    TransportCallbacks callbacks;
    callbacks.onOpen = [] {};
    callbacks.onError = [](const std::string& text) { throw std::runtime_error(text); };
    callbacks.onMessage = [&](const char*, unsigned length) {
        ++messages;
        jsonBytes += length;
    };
    auto transport = createSocketTransport(std::move(callbacks), std::move(platform));
    transport->connect("ws://bench/");
    transport->poll();

    double slowest = 0;
    const uint64_t startBytes = socket->frameBytesServed;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        transport->poll();
        slowest = std::max(slowest,
                           std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(socket->frameBytesServed - startBytes));
    state.counters["messages_per_s"] = benchmark::Counter(static_cast<double>(messages), benchmark::Counter::kIsRate);
    state.counters["json_bytes_per_msg"] = messages ? static_cast<double>(jsonBytes) / messages : 0;
    state.counters["max_poll_us"] = slowest;
}

void benchmarkBareLibrary(benchmark::State& state, const std::string& message) {
    for (auto _ : state) {
        json value = json::from_msgpack(message.begin(), message.end());
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}

void benchmarkBareLibraryToText(benchmark::State& state, const std::string& message) {
    for (auto _ : state) {
        std::string text = json::from_msgpack(message.begin(), message.end()).dump();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}

void benchmarkDecodeMessage(benchmark::State& state, const std::string& message) {
    for (auto _ : state) {
        std::string text = decodeMessage(reinterpret_cast<const uint8_t*>(message.data()), message.size());
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * message.size()));
}

const std::string& assetChunk() {
    static const std::string message = assetChunkMessage();
    return message;
}
const std::string& snapshot() {
    static const std::string message = snapshotMessage();
    return message;
}

void BM_ReceivePath_AssetChunk12KiB(benchmark::State& state) { benchmarkReceivePath(state, assetChunk()); }
void BM_ReceivePath_Snapshot1000Players(benchmark::State& state) { benchmarkReceivePath(state, snapshot()); }
void BM_DecodeMessage_AssetChunk12KiB(benchmark::State& state) { benchmarkDecodeMessage(state, assetChunk()); }
void BM_DecodeMessage_Snapshot1000Players(benchmark::State& state) { benchmarkDecodeMessage(state, snapshot()); }
void BM_BareFromMsgpack_AssetChunk12KiB(benchmark::State& state) { benchmarkBareLibrary(state, assetChunk()); }
void BM_BareFromMsgpack_Snapshot1000Players(benchmark::State& state) { benchmarkBareLibrary(state, snapshot()); }
void BM_BareFromMsgpackDump_AssetChunk12KiB(benchmark::State& state) {
    benchmarkBareLibraryToText(state, assetChunk());
}
void BM_BareFromMsgpackDump_Snapshot1000Players(benchmark::State& state) {
    benchmarkBareLibraryToText(state, snapshot());
}

BENCHMARK(BM_ReceivePath_AssetChunk12KiB);
BENCHMARK(BM_ReceivePath_Snapshot1000Players);
BENCHMARK(BM_DecodeMessage_AssetChunk12KiB);
BENCHMARK(BM_DecodeMessage_Snapshot1000Players);
BENCHMARK(BM_BareFromMsgpack_AssetChunk12KiB);
BENCHMARK(BM_BareFromMsgpack_Snapshot1000Players);
BENCHMARK(BM_BareFromMsgpackDump_AssetChunk12KiB);
BENCHMARK(BM_BareFromMsgpackDump_Snapshot1000Players);

}  // namespace
}  // namespace vobu
