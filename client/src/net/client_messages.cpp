#include "net/client_messages.h"

#include <nlohmann/json.hpp>

#include "character/character_json.h"
#include "net/sha256.h"

namespace vobu {
namespace {

using json = nlohmann::json;

// Compact text. Strings the client holds are UTF-8 already; should one not
// be, its bad bytes become U+FFFD rather than the send throwing.
std::string compact(const json& message) { return message.dump(-1, ' ', false, json::error_handler_t::replace); }

// The same repair for text that goes through the character writer, which
// has no such fallback: each bad byte becomes U+FFFD.
std::string repairedUtf8(const std::string& text) { return json::parse(compact(json(text))).get<std::string>(); }

json networkDocument(Character character) {
    character.id = repairedUtf8(character.id);
    character.name = repairedUtf8(character.name);
    return json::parse(encodeCharacterJsonRle(character));
}

}  // namespace

std::string makeHelloMessage(const Character& character, const std::string& challenge, const std::string& nonce) {
    json message = json::object();
    message["character"] = networkDocument(character);
    message["pow"] = {{"challenge", challenge}, {"hash", sha256Hex(challenge + ":" + nonce)}, {"nonce", nonce}};
    message["protocol"] = kProtocolVersion;
    message["type"] = "hello";
    return compact(message);
}

std::string makeInputMessage(const std::vector<MoveCommand>& commands) {
    json list = json::array();
    for (const MoveCommand& command : commands) {
        // Doubles, so that whole values still dump as "0.0" and stay
        // floating point through MessagePack.
        list.push_back({{"jump", command.jump},
                        {"seq", command.sequence},
                        {"x", static_cast<double>(command.moveX)},
                        {"y", static_cast<double>(command.moveY)}});
    }
    return compact({{"commands", list}, {"type", "input"}});
}

std::string makeAssetRequestMessage(const std::string& id) { return compact({{"id", id}, {"type", "assetRequest"}}); }

std::string makeAssetsReadyMessage() { return compact({{"type", "assetsReady"}}); }

std::string makeChatMessage(const std::string& text, int target) {
    json message = {{"text", text}, {"type", "chat"}};
    message["to"] = target > 0 ? json(target) : json(nullptr);
    return compact(message);
}

std::string makeSwapMessage(const Character& character) {
    json message = json::object();
    message["character"] = networkDocument(character);
    message["type"] = "swap";
    return compact(message);
}

std::string makeClientErrorMessage(const std::string& code, const std::string& lastType) {
    return compact({{"code", code}, {"lastType", lastType}, {"type", "clientError"}});
}

}  // namespace vobu
