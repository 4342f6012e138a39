#pragma once
// The chat family of server messages: "chat", "chatHistory", "chatError".
// Lines are stored as received (no cleaning), within byte limits.

#include <string>

#include <nlohmann/json.hpp>

#include "world/scene.h"

namespace vobu {

constexpr size_t kMaxChatLines = 200;
constexpr size_t kMaxChatTextBytes = 2048;
constexpr size_t kMaxChatNameBytes = 96;
constexpr size_t kMaxChatHistoryLines = 50;

// Appends a line to the log, counts the revision and keeps the newest 200.
void appendChatLine(Scene& scene, ChatEntry entry);

// Reads one line from a JSON object and appends it. Lines of a
// "chatHistory" get the receive time 0 (no speech bubbles), others nowMs.
// Throws "ERR_CHAT_BYTES" or the JSON library's errors.
void parseChatEntry(const nlohmann::json& value, const std::string& messageType, Scene& scene, double nowMs);

// True when the type is one of the chat family; then the message has been
// applied (or has thrown: "ERR_CHAT_LENGTH" and the codes above).
bool handleChatMessage(const nlohmann::json& message, const std::string& type, Scene& scene, double nowMs);

}  // namespace vobu
