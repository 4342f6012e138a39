#include "net/chat_messages.h"

#include <stdexcept>

#include "net/json_fields.h"

namespace vobu {

void appendChatLine(Scene& scene, ChatEntry entry) {
    scene.chatRevision += 1;
    scene.chat.push_back(std::move(entry));
    if (scene.chat.size() > kMaxChatLines) scene.chat.erase(scene.chat.begin(), scene.chat.end() - kMaxChatLines);
}

void parseChatEntry(const json& value, const std::string& messageType, Scene& scene, double nowMs) {
    ChatEntry entry;
    entry.receivedMs = messageType == "chatHistory" ? 0.0 : nowMs;
    entry.system = optionalBool(value, "system", false);
    entry.formatted = entry.system ? optionalBool(value, "formatted", false) : false;
    entry.seq = optionalUint(value, "seq", 0);
    entry.from = optionalInt(value, "from", 0);
    auto to = value.find("to");
    entry.to = to != value.end() && !to->is_null() ? jsonInt(*to) : 0;
    entry.name = optionalString(value, "name", "");
    entry.toName = optionalString(value, "toName", "");
    entry.text = value.at("text").get<std::string>();
    if (entry.text.size() > kMaxChatTextBytes || entry.name.size() > kMaxChatNameBytes ||
        entry.toName.size() > kMaxChatNameBytes)
        throw std::runtime_error("ERR_CHAT_BYTES");
    appendChatLine(scene, std::move(entry));
}

bool handleChatMessage(const json& message, const std::string& type, Scene& scene, double nowMs) {
    if (type == "chat") {
        parseChatEntry(message, type, scene, nowMs);
        return true;
    }
    if (type == "chatHistory") {
        const json& lines = message.at("messages");
        if ((lines.is_array() || lines.is_object()) && lines.size() > kMaxChatHistoryLines)
            throw std::runtime_error("ERR_CHAT_LENGTH");
        // The library's iteration: an array's elements, an object's member
        // values, nothing for null, a lone value as itself.
        for (const json& line : lines) parseChatEntry(line, type, scene, nowMs);
        return true;
    }
    if (type == "chatError") {
        const json line = {{"system", true}, {"text", message.at("code")}};
        parseChatEntry(line, type, scene, nowMs);
        return true;
    }
    return false;
}

}  // namespace vobu
