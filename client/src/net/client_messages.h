#pragma once
// The messages the client sends to a game server, as compact JSON text with
// keys in ascending byte order ("type" sorts last). The transport turns each
// into one MessagePack map.

#include <string>
#include <vector>

#include "character/character.h"
#include "world/movement_types.h"

namespace vobu {

constexpr int kProtocolVersion = 1;

// {"character":<network document>,"pow":{"challenge","hash","nonce"},"protocol":1,"type":"hello"}
// where hash is sha256Hex(challenge + ":" + nonce).
std::string makeHelloMessage(const Character& character, const std::string& challenge, const std::string& nonce);
// {"commands":[{"jump","seq","x","y"},...],"type":"input"}; x and y always
// written as floating-point numbers ("0.0", never "0").
std::string makeInputMessage(const std::vector<MoveCommand>& commands);
std::string makeAssetRequestMessage(const std::string& id);
std::string makeAssetsReadyMessage();
// "to" is the target id when above 0, else null (a public line).
std::string makeChatMessage(const std::string& text, int target);
std::string makeSwapMessage(const Character& character);
std::string makeClientErrorMessage(const std::string& code, const std::string& lastType);

}  // namespace vobu
