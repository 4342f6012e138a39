#include "net/chat_messages.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace vobu {
namespace {

using nlohmann::json;

constexpr double kNow = 1234.5;

TEST(ChatMessages, APlainLineTakesItsDefaults) {
    Scene scene;
    EXPECT_TRUE(handleChatMessage(json{{"type", "chat"}, {"text", "hello"}}, "chat", scene, kNow));
    ASSERT_EQ(scene.chat.size(), 1u);
    const ChatEntry& line = scene.chat[0];
    EXPECT_EQ(line.text, "hello");
    EXPECT_EQ(line.seq, 0u);
    EXPECT_EQ(line.from, 0);
    EXPECT_EQ(line.to, 0);
    EXPECT_FALSE(line.system);
    EXPECT_FALSE(line.formatted);
    EXPECT_EQ(line.receivedMs, kNow);
    EXPECT_EQ(line.name, "");
    EXPECT_EQ(scene.chatRevision, 1);
}

TEST(ChatMessages, FieldsOfAWhisperAndOfSystemLines) {
    const struct {
        json message;
        int to;
        bool system;
        bool formatted;
    } cases[] = {
        {{{"text", "a"}, {"to", nullptr}}, 0, false, false},
        {{{"text", "a"}, {"to", 5}, {"toName", "Five"}}, 5, false, false},
        {{{"text", "a"}, {"formatted", true}}, 0, false, false},  // only system lines are formatted
        {{{"text", "a"}, {"system", false}, {"formatted", true}}, 0, false, false},
        {{{"text", "a"}, {"system", true}, {"formatted", true}}, 0, true, true},
        {{{"text", "a"}, {"system", true}}, 0, true, false},
    };
    for (const auto& c : cases) {
        Scene scene;
        parseChatEntry(c.message, "chat", scene, kNow);
        ASSERT_EQ(scene.chat.size(), 1u);
        EXPECT_EQ(scene.chat[0].to, c.to) << c.message.dump();
        EXPECT_EQ(scene.chat[0].system, c.system) << c.message.dump();
        EXPECT_EQ(scene.chat[0].formatted, c.formatted) << c.message.dump();
    }
    Scene scene;
    parseChatEntry(json{{"text", "psst"}, {"seq", 12}, {"from", 4}, {"name", "Four"}, {"to", 5}, {"toName", "Five"}},
                   "chat", scene, kNow);
    EXPECT_EQ(scene.chat[0].seq, 12u);
    EXPECT_EQ(scene.chat[0].from, 4);
    EXPECT_EQ(scene.chat[0].name, "Four");
    EXPECT_EQ(scene.chat[0].toName, "Five");
}

TEST(ChatMessages, TextsAreStoredAsReceived) {
    // No cleaning and no colour-code check: the overlay decides how to draw.
    Scene scene;
    const std::string raw = "^#ff0000red ^^ \x01\t ^";
    parseChatEntry(json{{"text", raw}, {"name", "\xc3\xa9"}}, "chat", scene, kNow);
    EXPECT_EQ(scene.chat[0].text, raw);
    EXPECT_EQ(scene.chat[0].name, "\xc3\xa9");
}

TEST(ChatMessages, HistoryLinesHaveNoReceiveTimeAndTheLogKeeps200) {
    Scene scene;
    for (int i = 0; i < 180; ++i) parseChatEntry(json{{"text", "old " + std::to_string(i)}}, "chat", scene, kNow);
    json lines = json::array();
    for (int i = 0; i < 50; ++i) lines.push_back({{"text", "history " + std::to_string(i)}, {"seq", i}});
    EXPECT_TRUE(handleChatMessage(json{{"type", "chatHistory"}, {"messages", lines}}, "chatHistory", scene, kNow));
    ASSERT_EQ(scene.chat.size(), 200u);
    EXPECT_EQ(scene.chat.front().text, "old 30");
    EXPECT_EQ(scene.chat.back().text, "history 49");
    EXPECT_EQ(scene.chat.back().receivedMs, 0);
    EXPECT_EQ(scene.chatRevision, 230);

    // The elements of an object count as lines too.
    Scene keyed;
    handleChatMessage(json{{"type", "chatHistory"}, {"messages", {{"b", {{"text", "two"}}}, {"a", {{"text", "one"}}}}}},
                      "chatHistory", keyed, kNow);
    ASSERT_EQ(keyed.chat.size(), 2u);
    EXPECT_EQ(keyed.chat[0].text, "one");
}

TEST(ChatMessages, AFailingHistoryLineKeepsTheLinesBeforeIt) {
    Scene scene;
    const json lines = json::array({{{"text", "fine"}}, {{"text", std::string(2049, 'x')}}, {{"text", "never"}}});
    EXPECT_THROW(handleChatMessage(json{{"type", "chatHistory"}, {"messages", lines}}, "chatHistory", scene, kNow),
                 std::runtime_error);
    ASSERT_EQ(scene.chat.size(), 1u);
    EXPECT_EQ(scene.chat[0].text, "fine");
}

TEST(ChatMessages, ChatErrorIsASystemLineOfItsCode) {
    Scene scene;
    EXPECT_TRUE(handleChatMessage(json{{"type", "chatError"}, {"code", "too fast, wait!"}}, "chatError", scene, kNow));
    ASSERT_EQ(scene.chat.size(), 1u);
    EXPECT_TRUE(scene.chat[0].system);
    EXPECT_FALSE(scene.chat[0].formatted);
    EXPECT_EQ(scene.chat[0].text, "too fast, wait!");
    EXPECT_EQ(scene.chat[0].receivedMs, kNow);
    EXPECT_FALSE(handleChatMessage(json{{"type", "chatty"}}, "chatty", scene, kNow));
    EXPECT_EQ(scene.chatRevision, 1);
}

}  // namespace
}  // namespace vobu
