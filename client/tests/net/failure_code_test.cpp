#include "net/failure_code.h"

#include <gtest/gtest.h>

namespace vobu {
namespace {

TEST(FailureCode, CodesPassAndEverythingElseIsABadMessage) {
    const struct {
        std::string text;
        const char* code;
    } cases[] = {
        {"ERR_SNAPSHOT_TIMEOUT", "ERR_SNAPSHOT_TIMEOUT"},
        {"ERR_", "ERR_"},
        {"ERR_A1_2", "ERR_A1_2"},
        {"ERR_" + std::string(60, 'X'), nullptr},  // 64 bytes: itself
        {"ERR_" + std::string(61, 'X'), "ERR_BAD_SERVER_MESSAGE"},
        {"ERR_lower", "ERR_BAD_SERVER_MESSAGE"},
        {"ERR_WITH-HYPHEN", "ERR_BAD_SERVER_MESSAGE"},
        {"ERR_WITH SPACE", "ERR_BAD_SERVER_MESSAGE"},
        {"ERR", "ERR_BAD_SERVER_MESSAGE"},
        {"err_lower", "ERR_BAD_SERVER_MESSAGE"},
        {"Truncated face", "ERR_BAD_SERVER_MESSAGE"},
        {"[json.exception.type_error.302] type must be string, but is number", "ERR_BAD_SERVER_MESSAGE"},
        {"", "ERR_BAD_SERVER_MESSAGE"},
        {std::string("ERR_X\0", 6), "ERR_BAD_SERVER_MESSAGE"},
    };
    for (const auto& c : cases) EXPECT_EQ(failureCode(c.text), c.code ? std::string(c.code) : c.text) << c.text;
}

}  // namespace
}  // namespace vobu
