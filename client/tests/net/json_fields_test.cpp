#include "net/json_fields.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace vobu {
namespace {

// "code" for an ERR_ failure, "json" for a library error, else "ok".
template <typename Read>
std::string outcome(Read read) {
    try {
        read();
    } catch (const json::exception&) {
        return "json";
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "ok";
}

TEST(JsonFields, IntegersConvertFromNumbersAndBooleans) {
    const struct {
        const char* text;
        int64_t value;  // expected int32, or below INT64 min + 1 for "refused"
    } cases[] = {
        {"0", 0},
        {"-7", -7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483648LL},
        {"3.9", 3},
        {"-3.9", -3},
        {"true", 1},
        {"false", 0},
        {"2147483647.5", 2147483647},
        {"-2147483648.9", -2147483648LL},
    };
    for (const auto& c : cases) EXPECT_EQ(jsonInt(json::parse(c.text)), c.value) << c.text;

    for (const char* text : {"2147483648", "-2147483649", "1e300", "-1e300", "9223372036854775807",
                             "18446744073709551615", "2147483648.0"})
        EXPECT_EQ(outcome([&] { jsonInt(json::parse(text)); }), "ERR_BAD_SERVER_MESSAGE") << text;
    for (const char* text : {"\"1\"", "null", "[1]", "{}"})
        EXPECT_EQ(outcome([&] { jsonInt(json::parse(text)); }), "json") << text;
}

TEST(JsonFields, UnsignedRefusesNegativesAndHugeValues) {
    EXPECT_EQ(jsonUint(json::parse("4294967295")), 4294967295u);
    EXPECT_EQ(jsonUint(json::parse("4294967295.7")), 4294967295u);
    EXPECT_EQ(jsonUint(json::parse("0")), 0u);
    EXPECT_EQ(jsonUint(json::parse("-0.5")), 0u);  // cut towards zero gives 0
    EXPECT_EQ(jsonUint(json::parse("true")), 1u);
    for (const char* text : {"-1", "4294967296", "1e300", "-1e300", "-1.0", "18446744073709551615"})
        EXPECT_EQ(outcome([&] { jsonUint(json::parse(text)); }), "ERR_BAD_SERVER_MESSAGE") << text;
    // NaN cannot come from JSON text, but from MessagePack it can.
    EXPECT_EQ(outcome([] { jsonUint(json(std::nan(""))); }), "ERR_BAD_SERVER_MESSAGE");
    EXPECT_EQ(outcome([] { jsonInt(json(std::numeric_limits<double>::infinity())); }), "ERR_BAD_SERVER_MESSAGE");
}

TEST(JsonFields, FloatsNarrowToInfinityBeyondTheirRange) {
    EXPECT_EQ(jsonFloat(json(1e300)), std::numeric_limits<float>::infinity());
    EXPECT_EQ(jsonFloat(json(-1e300)), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(jsonFloat(json(double(FLT_MAX))), FLT_MAX);
    // Just above FLT_MAX still rounds down to it, the midpoint rounds up.
    EXPECT_EQ(narrowToFloat(double(FLT_MAX) + 0x1p102), FLT_MAX);
    EXPECT_EQ(narrowToFloat(double(FLT_MAX) + 0x1p103), std::numeric_limits<float>::infinity());
    EXPECT_EQ(narrowToFloat(-(double(FLT_MAX) + 0x1p102)), -FLT_MAX);
    EXPECT_TRUE(std::isnan(narrowToFloat(std::nan(""))));
    EXPECT_EQ(jsonFloat(json(0.1)), 0.1f);
    EXPECT_EQ(jsonDouble(json(true)), 1.0);
    EXPECT_EQ(jsonDouble(json(-5)), -5.0);
    EXPECT_EQ(outcome([] { jsonDouble(json("1.5")); }), "json");
    EXPECT_EQ(outcome([] { jsonDouble(json(nullptr)); }), "json");
}

TEST(JsonFields, RequiredAndOptionalKeys) {
    const json object = json::parse(R"({"n": 5, "s": "text", "b": true, "z": null})");
    EXPECT_EQ(requiredInt(object, "n"), 5);
    EXPECT_EQ(requiredString(object, "s"), "text");
    EXPECT_TRUE(requiredBool(object, "b"));
    EXPECT_EQ(optionalInt(object, "missing", -1), -1);
    EXPECT_EQ(optionalString(object, "missing", "x"), "x");
    EXPECT_EQ(optionalDouble(object, "n", 0), 5.0);
    EXPECT_EQ(optionalFloat(object, "missing", 2.5f), 2.5f);
    EXPECT_EQ(optionalUint(object, "n", 0), 5u);
    EXPECT_FALSE(optionalBool(object, "missing", false));

    // A present key of the wrong type, null included, is an error, not the default.
    EXPECT_EQ(outcome([&] { optionalInt(object, "z", 0); }), "json");
    EXPECT_EQ(outcome([&] { optionalString(object, "n", ""); }), "json");
    EXPECT_EQ(outcome([&] { optionalBool(object, "n", false); }), "json");
    EXPECT_EQ(outcome([&] { requiredBool(object, "n"); }), "json");
    EXPECT_EQ(outcome([&] { requiredInt(object, "missing"); }), "json");
    // Neither form reads from something that is not an object.
    EXPECT_EQ(outcome([] { optionalInt(json::array(), "n", 0); }), "json");
    EXPECT_EQ(outcome([] { requiredInt(json(3), "n"); }), "json");
}

}  // namespace
}  // namespace vobu

namespace vobu {
namespace {

TEST(JsonFields, ARangeRuleOfTheFieldNamesItsOwnCode) {
    EXPECT_EQ(outcome([] { jsonInt(json(1e300), "ERR_BAD_CHALLENGE"); }), "ERR_BAD_CHALLENGE");
    EXPECT_EQ(outcome([] { jsonUint(json(-1), "ERR_AUDIO_SEGMENT"); }), "ERR_AUDIO_SEGMENT");
    EXPECT_EQ(jsonUintAsInt(json(2147483647)), 2147483647);
    EXPECT_EQ(outcome([] { jsonUintAsInt(json(2147483648u)); }), "ERR_BAD_SERVER_MESSAGE");
    EXPECT_EQ(outcome([] { jsonUintAsInt(json(-1), "ERR_BAD_ENTITY"); }), "ERR_BAD_ENTITY");
    const json object = {{"g", 3000000000.0}};
    EXPECT_EQ(outcome([&] { requiredUintAsInt(object, "g"); }), "ERR_BAD_SERVER_MESSAGE");
    EXPECT_EQ(outcome([&] { optionalUintAsInt(object, "g", 1, "ERR_BAD_ENTITY"); }), "ERR_BAD_ENTITY");
    EXPECT_EQ(optionalUintAsInt(object, "missing", 1), 1);
    EXPECT_EQ(requiredUint(object, "g"), 3000000000u);
}

}  // namespace
}  // namespace vobu
