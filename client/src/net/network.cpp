#include "net/network.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "net/asset_apply.h"
#include "net/client_messages.h"
#include "net/failure_code.h"
#include "net/proof_of_work.h"
#include "net/server_messages.h"
#include "platform/performance_clock.h"

namespace vobu {

namespace {

// World units (a skin texel is 0.02).
constexpr double kCorrectionLogDistance = 0.01;

// The one entry of the local player in a snapshot, if it is there.
const Player* findPlayer(const std::vector<Player>& players, int32_t id) {
    for (const Player& player : players) {
        if (player.id == id) {
            return &player;
        }
    }
    return nullptr;
}

}  // namespace

Network::Network(Scene& liveScene)
    : Network(liveScene, [](TransportCallbacks&& callbacks) { return createSocketTransport(std::move(callbacks)); }) {}

Network::Network(Scene& liveScene, const TransportFactory& makeTransport) : scene(liveScene) {
    predictor.resetFromScene(scene);
    TransportCallbacks callbacks;
    // The client waits for the server's challenge: nothing to do on open.
    callbacks.onOpen = [] {};
    callbacks.onClose = [this] { resetGame(); };
    callbacks.onError = [this](const std::string& text) { fail(text); };
    callbacks.onMessage = [this](const char* text, unsigned length) { onMessage(text, length); };
    transport = makeTransport(std::move(callbacks));
}

Network::~Network() {
    if (transport) {
        transport->close();
    }
}

void Network::connect(const std::string& address) {
    gameEnded = false;
    errorCode.clear();
    lastMessageType.clear();
    disconnectReason.clear();
    // A send that failed inside the previous game ended it before its caller
    // could set a flag; whatever was set then must not leak into this game.
    welcomed = false;
    joined = false;
    assetsReadySent = false;
    swapPending = false;
    joinCount = 0;
    url = address;
    transport->connect(url);
}

void Network::disconnect() {
    disconnectReason.clear();
    transport->close();
    resetGame();
    gameEnded = false;
}

void Network::resetGame() {
    welcomed = false;
    joined = false;
    assetsReadySent = false;
    swapPending = false;
    assets.clear();
    lastMoveX = 0;
    lastMoveY = 0;
    joinCount = 0;
    scene = Scene();
    snapshots.clear();
    predictor.resetFromScene(scene);
    gameEnded = true;
}

void Network::fail(const std::string& text) {
    if (failing_) {
        // The clientError of the failure being handled could not be sent:
        // keep the first code, the outer call closes and resets.
        return;
    }
    failing_ = true;
    errorCode = failureCode(text);
    SDL_Log("%s", errorCode.c_str());
    if (welcomed) {
        transport->send(makeClientErrorMessage(errorCode, lastMessageType));
    }
    transport->close();
    resetGame();
    failing_ = false;
}

void Network::update(double nowMs, double moveX, double moveY, bool jump) {
    transport->poll();
    if (!welcomed || !joined || swapPending || gameEnded) {
        return;
    }
    const double t = std::max(nowMs, clock_());
    predictor.advance((t - lastUpdateMs) / 1000.0, moveX, moveY, scene, jump);
    lastUpdateMs = t;
    if (t - lastSnapshotMs >= kSnapshotTimeoutMs) {
        fail("ERR_SNAPSHOT_TIMEOUT");
        return;
    }
    // A NaN compares unequal to everything, so it always counts as a change.
    const bool changed = jump || !(moveX == lastMoveX) || !(moveY == lastMoveY);
    lastMoveX = moveX;
    lastMoveY = moveY;
    if (t - lastInputSendMs >= kInputIntervalMs || changed) {
        sendUnsentInput(t);
    }
}

bool Network::sendUnsentInput(double timeMs) {
    const std::vector<MoveCommand> commands = predictor.unsentCommands();
    if (commands.empty()) {
        return false;
    }
    transport->send(makeInputMessage(commands));
    if (gameEnded) {
        return false;
    }
    lastInputSendMs = timeMs;
    predictor.lastSentSequence = commands.back().sequence;
    return true;
}

void Network::checkAssetsReady() {
    if (!welcomed || !assets.allRequiredComplete() || assetsReadySent || gameEnded) {
        return;
    }
    try {
        applyAssets(scene, assets);
    } catch (const std::exception& error) {
        // A damaged asset ends this game with its code; the program goes on.
        fail(error.what());
        return;
    }
    predictor.resetFromScene(scene);
    transport->send(makeAssetsReadyMessage());
    if (gameEnded) {
        return;
    }
    assetsReadySent = true;
}

std::vector<Player> Network::playersForRender(double nowMs) const {
    std::vector<Player> players = snapshots.sample(nowMs);
    const int32_t localId = scene.localPlayerId;
    players.erase(
        std::remove_if(players.begin(), players.end(), [localId](const Player& p) { return p.id == localId; }),
        players.end());
    if (welcomed) {
        players.push_back(playerOf(localId, predictor.predictedState(scene)));
    }
    return players;
}

void Network::sendChat(const std::string& text, int target) {
    if (!joined || gameEnded) {
        return;
    }
    transport->send(makeChatMessage(text, target));
}

bool Network::swapCharacter(const Character& character) {
    if (!joined || swapPending || gameEnded) {
        return false;
    }
    // Every command made so far reaches the server before the swap.
    while (sendUnsentInput(lastInputSendMs)) {}
    if (gameEnded) {
        return false;
    }
    pendingCharacter = character;
    swapPending = true;
    transport->send(makeSwapMessage(character));
    // A failed send ended the game, and its reset already cleared the flag.
    return !gameEnded;
}

void Network::onMessage(const char* text, unsigned length) {
    try {
        const Character& expected = swapPending ? pendingCharacter : localCharacter;
        const ServerMessageKind kind =
            handleServerMessage(text, length, scene, expected, assets, lastMessageType, clock_());
        handleKind(kind);
    } catch (const std::exception& error) {
        fail(error.what());
    }
}

void Network::handleKind(ServerMessageKind kind) {
    switch (kind) {
        case ServerMessageKind::Challenge:
            answerChallenge();
            break;
        case ServerMessageKind::Welcome:
            takeWelcome();
            break;
        case ServerMessageKind::Snapshot:
            takeSnapshot();
            break;
        case ServerMessageKind::AssetManifest:
            requestAddedAssets();
            break;
        case ServerMessageKind::Joined:
            joinCount += 1;
            break;
        case ServerMessageKind::Ready:
            takeReady();
            break;
        case ServerMessageKind::Error:
            endByServer(false);
            break;
        case ServerMessageKind::Disconnect:
            endByServer(true);
            break;
        case ServerMessageKind::Swapped:
            takeSwapped();
            break;
        case ServerMessageKind::SwapError:
            swapPending = false;
            break;
        default:
            break;
    }
}

void Network::answerChallenge() {
    std::string const nonce = solveProofOfWork(scene.powChallenge, scene.powDifficulty);
    if (nonce.empty()) {
        fail("ERR_POW");
        return;
    }
    transport->send(makeHelloMessage(localCharacter, scene.powChallenge, nonce));
}

void Network::takeWelcome() {
    assets.setManifest(scene.manifest);
    applyAssets(scene, assets);
    // A copy: a failing send resets the store and the Scene under the loop.
    const std::vector<std::string> missing = assets.missingIds();
    for (const std::string& id : missing) {
        transport->send(makeAssetRequestMessage(id));
        if (gameEnded) {
            return;
        }
    }
    snapshots.clear();
    predictor.resetFromScene(scene);
    welcomed = true;
    lastUpdateMs = clock_();
}

void Network::takeSnapshot() {
    const double now = clock_();
    lastSnapshotMs = now;
    snapshots.push(now, scene.players);
    const Player* local = findPlayer(scene.players, scene.localPlayerId);
    if (!local) {
        return;
    }
    const MoveState server = moveStateOf(*local);
    const MoveState before = predictor.predictedState(scene);
    predictor.reconcile(server, scene.lastAck, scene);
    const MoveState after = predictor.predictedState(scene);
    // A right prediction replays to the very same state; a visible jump of
    // the local player is worth a line in the log.
    const double moved = std::hypot(after.x - before.x, after.y - before.y, after.z - before.z);
    if (moved > kCorrectionLogDistance) {
        SDL_Log("Prediction corrected by %.3f at input %u", moved, unsigned(scene.lastAck));
    }
}

void Network::requestAddedAssets() {
    // A copy of the ids: a failing send replaces the Scene under the loop.
    std::vector<std::string> wanted;
    for (const ManifestEntry& entry : scene.manifest) {
        if (!entry.required && !assets.isComplete(entry.id)) {
            wanted.push_back(entry.id);
        }
    }
    for (const std::string& id : wanted) {
        transport->send(makeAssetRequestMessage(id));
        if (gameEnded) {
            return;
        }
    }
}

void Network::takeReady() {
    if (!assetsReadySent || !assets.allRequiredComplete()) {
        fail("ERR_UNEXPECTED_READY");
        return;
    }
    joined = true;
    const double now = clock_();
    lastUpdateMs = now;
    lastSnapshotMs = now;
    predictor.resetFromScene(scene);
}

void Network::endByServer(bool withReason) {
    errorCode = scene.errorCode;
    if (withReason) {
        disconnectReason = scene.disconnectReason;
    }
    transport->close();
    resetGame();
}

void Network::takeSwapped() {
    // A "swapped" that no pending swap asked for was compared with the
    // current character, which therefore stays: the pending one may be a
    // swap the server refused earlier.
    if (swapPending) {
        localCharacter = pendingCharacter;
    }
    swapPending = false;
    predictor.reset(scene.swapState, scene.swapAck);
    lastMoveX = 0;
    lastMoveY = 0;
    lastUpdateMs = clock_();
}

}  // namespace vobu
