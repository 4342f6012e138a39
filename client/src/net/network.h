#pragma once
// The client's side of one game connection at a time: the challenge, the
// asset download, readiness, paced input, the other players' snapshots,
// reconciling the local prediction, the character swap, and one "ERR_" code
// with a clean end of the game for every failure.
//
// The Application drives it once per frame and reads its public members to
// choose the screen and the status line; screens never call it. Everything
// happens on the main thread inside these calls: server input arrives
// through the transport's callbacks inside update (or, for an address the
// transport rejects, inside connect).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "character/character.h"
#include "net/asset_store.h"
#include "net/snapshot_buffer.h"
#include "net/socket_transport.h"
#include "platform/performance_clock.h"
#include "world/movement_predictor.h"
#include "world/scene.h"

namespace vobu {

enum class ServerMessageKind : int32_t;

class Network {
public:
    // Makes the transport from the callbacks the Network hands it.
    using TransportFactory = std::function<std::unique_ptr<SocketTransport>(TransportCallbacks&&)>;
    static constexpr double kInputIntervalMs = 50;
    static constexpr double kSnapshotTimeoutMs = 15000;

    // The real transport. The transport factory's "ERR_" failures leave the
    // constructor as exceptions.
    explicit Network(Scene& scene);
    // Another transport (tests).
    Network(Scene& scene, const TransportFactory& makeTransport);
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;
    ~Network();

    // Receive times, timeouts and the pacing of input.
    void setClock(MillisecondClock clockMs) { clock_ = std::move(clockMs); }

    // Starts a game; localCharacter has been assigned before. An empty url
    // means the transport's default server.
    void connect(const std::string& address);
    // Ends the game at the user's request: nothing goes to the server, and
    // the game counts as left, not ended (gameEnded stays false).
    void disconnect();
    // Once per frame while a game is active. move is the camera-relative
    // input (length at most 1); jump tells whether Space was pressed since
    // the previous call.
    void update(double nowMs, double moveX, double moveY, bool jump);
    // Sends "assetsReady" once every required asset is complete.
    void checkAssetsReady();
    // The other players as of 100 ms ago, then the local player from the
    // prediction (once welcomed).
    std::vector<Player> playersForRender(double nowMs) const;
    // A target of 0 or less is a public line.
    void sendChat(const std::string& text, int target);
    // True when the swap request went out.
    bool swapCharacter(const Character& character);

    // The state the Application reads, in this order.
    Scene& scene;
    Character localCharacter;
    Character pendingCharacter;
    bool swapPending = false;
    AssetStore assets;
    int32_t joinCount = 0;
    bool joined = false;
    bool assetsReadySent = false;
    std::string errorCode;
    std::string disconnectReason;
    std::string lastMessageType;
    MovementPredictor predictor;
    SnapshotBuffer snapshots;
    std::unique_ptr<SocketTransport> transport;
    std::string url;
    bool welcomed = false;
    bool gameEnded = false;
    double lastMoveX = 0;
    double lastMoveY = 0;
    double lastInputSendMs = 0;
    double lastUpdateMs = 0;
    double lastSnapshotMs = 0;

private:
    void resetGame();
    void fail(const std::string& text);
    void onMessage(const char* text, unsigned length);
    void handleKind(ServerMessageKind kind);
    void answerChallenge();
    void takeWelcome();
    void takeSnapshot();
    void requestAddedAssets();
    void takeReady();
    void endByServer(bool withReason);
    void takeSwapped();
    // Sends one "input" message with the unsent commands; false when there
    // were none or the send ended the game.
    bool sendUnsentInput(double timeMs);

    MillisecondClock clock_ = performanceMs;
    bool failing_ = false;  // a failure is being handled (its own sends must not start another)
};

}  // namespace vobu
