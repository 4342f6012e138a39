#include "browser/chat_wrap_cache.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_font.h"
#include "ui/font.h"
#include "ui/text.h"

namespace vobu {
namespace {

const std::string kText = "^#ff0000red^r words that wrap onto a second line and further onto a third one";

TEST(ChatWrapCache, ATextIsWrappedOnceForEachWayOfWrappingIt) {
    const Font font = testing::testFont();
    ChatWrapCache cache;
    struct Way {
        bool formatted;
        int width;
        int firstWidth;
    };
    const Way ways[] = {{false, 340, 340}, {false, 340, 300}, {true, 340, 300}, {false, 200, 300}, {false, 120, 40}};
    uint64_t bytes = 0;
    for (const Way& way : ways) {
        EXPECT_EQ(cache.lines(font, kText, way.formatted, way.width, way.firstWidth),
                  wrapText(font, kText, way.width, way.firstWidth, way.formatted))
            << way.formatted << " " << way.width << " " << way.firstWidth;
        bytes += kText.size();
        EXPECT_EQ(cache.wrappedBytes(), bytes);
    }
    // Asked again in any order: nothing is wrapped, every answer is its own.
    for (int i = 4; i >= 0; --i) {
        const Way& way = ways[i];
        EXPECT_EQ(cache.lines(font, kText, way.formatted, way.width, way.firstWidth),
                  wrapText(font, kText, way.width, way.firstWidth, way.formatted))
            << i;
    }
    EXPECT_EQ(cache.wrappedBytes(), bytes);
    EXPECT_EQ(cache.size(), 5u);

    // Another text of the same length is another text.
    std::string other = kText;
    other[20] = 'X';
    cache.lines(font, other, false, 340, 340);
    EXPECT_EQ(cache.wrappedBytes(), bytes + other.size());
}

TEST(ChatWrapCache, AnotherFontForgetsEverything) {
    const Font first = testing::testFont();
    const Font second = testing::testFont();
    ChatWrapCache cache;
    cache.lines(first, kText, false, 340, 340);
    cache.lines(second, kText, false, 340, 340);
    EXPECT_EQ(cache.wrappedBytes(), 2 * kText.size());
    EXPECT_EQ(cache.size(), 1u);
}

TEST(ChatWrapCache, KeepsTheTextsAskedForMostRecently) {
    const Font font = testing::testFont();
    ChatWrapCache cache;
    auto ask = [&](int i) { cache.lines(font, "text " + std::to_string(i), false, 340, 340); };
    for (int i = 0; i < 6; ++i) ask(i);
    ask(0);  // 0 is the most recent now, 1 the oldest
    cache.keepRecent(3);
    EXPECT_EQ(cache.size(), 3u);
    const uint64_t bytes = cache.wrappedBytes();
    for (int i : {0, 4, 5}) ask(i);
    EXPECT_EQ(cache.wrappedBytes(), bytes) << "0, 4 and 5 were kept";
    ask(1);
    EXPECT_GT(cache.wrappedBytes(), bytes) << "1 was forgotten";
    cache.keepRecent(10);
    EXPECT_EQ(cache.size(), 4u);
    cache.keepRecent(0);
    EXPECT_EQ(cache.size(), 0u);
}

}  // namespace
}  // namespace vobu
