#include "app/asset_package.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/package_fixture.h"

namespace vobu {
namespace {

using testing::asStream;
using testing::buildPackage;
using testing::RawEntry;
using Bytes = std::vector<uint8_t>;

// The entry's bytes, or the exception text.
struct Outcome {
    bool ok = false;
    Bytes bytes;
    std::string error;
};

Outcome lookUp(const Bytes& package, const std::string& name) {
    std::istringstream stream = asStream(package);
    Outcome outcome;
    try {
        outcome.bytes = readPackagedAsset(stream, name);
        outcome.ok = true;
    } catch (const std::runtime_error& e) {
        outcome.error = e.what();
    }
    return outcome;
}

void expectFailure(const Bytes& package, const std::string& name, const std::string& why) {
    const Outcome outcome = lookUp(package, name);
    EXPECT_FALSE(outcome.ok) << why;
    EXPECT_EQ(outcome.error, "ERR_ASSET_PACKAGE") << why;
}

Bytes literal(const Bytes& bytes) {
    Bytes out = {uint8_t(bytes.size() - 1)};
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

TEST(AssetPackage, EmptyOnlyEntryReadsEmptyAndOtherNamesFail) {
    const Bytes package = buildPackage({{"logo.rgba", {}, 0}});
    const Outcome logo = lookUp(package, "logo.rgba");
    ASSERT_TRUE(logo.ok) << logo.error;
    EXPECT_TRUE(logo.bytes.empty());
    expectFailure(package, "unifont.bin", "name not in the directory");
}

struct PacketCase {
    const char* name;
    Bytes stored;
    uint32_t size;
    bool ok;
    Bytes expected;
};

TEST(AssetPackage, PacketsUnpackExactly) {
    const Bytes b128(128, 0x5c);
    Bytes l128 = {0x7F};
    l128.insert(l128.end(), b128.begin(), b128.end());
    Bytes l127 = l128;
    l127.pop_back();
    const PacketCase cases[] = {
        {"repeat", {0x82, 0x41}, 3, true, {0x41, 0x41, 0x41}},
        {"literal", {0x02, 0x41, 0x42, 0x43}, 3, true, {0x41, 0x42, 0x43}},
        {"repeat then literal", {0x81, 0x07, 0x00, 0x09}, 3, true, {0x07, 0x07, 0x09}},
        {"longest repeat", {0xFF, 0x00}, 128, true, Bytes(128, 0)},
        {"literal of 128", l128, 128, true, b128},
        {"literal one byte short", l127, 128, false, {}},
        {"repeat byte missing", {0x82, 0x41, 0x85}, 9, false, {}},
        {"output past the size at the packet", {0x83, 0x41}, 3, false, {}},
        {"literal past the size", {0x00, 0x01, 0x01, 0x02, 0x03}, 2, false, {}},
        {"output shorter than the size", {0x82, 0x41}, 4, false, {}},
        {"stored nothing for a size", {}, 5, false, {}},
        {"stored bytes for size 0", {0x00, 0x41}, 0, false, {}},
    };
    for (const PacketCase& c : cases) {
        const Outcome out = lookUp(buildPackage({{"e", c.stored, c.size}}), "e");
        EXPECT_EQ(out.ok, c.ok) << c.name;
        if (c.ok) {
            EXPECT_EQ(out.bytes, c.expected) << c.name;
        } else {
            EXPECT_EQ(out.error, "ERR_ASSET_PACKAGE") << c.name;
        }
    }
}

TEST(AssetPackage, FirstOfTwoEqualNamesIsReturned) {
    const Bytes package = buildPackage({{"x", literal({1}), 1}, {"x", literal({2}), 1}});
    EXPECT_EQ(lookUp(package, "x").bytes, Bytes{1});
}

TEST(AssetPackage, NamesCompareExactly) {
    const Bytes package = buildPackage({{"Logo.rgba", literal({1}), 1}, {"logo.rgba", literal({2}), 1}});
    EXPECT_EQ(lookUp(package, "logo.rgba").bytes, Bytes{2});
    expectFailure(package, "logo", "a prefix is not a match");
    expectFailure(package, std::string("logo.rgba\0", 10), "no terminator");
}

TEST(AssetPackage, BrokenEntryBeforeTheWantedOneFailsTheLookup) {
    struct Case {
        const char* why;
        RawEntry broken;
    } const cases[] = {
        {"name length 0", {"a", literal({1}), 1, uint16_t(0)}},
        {"name length 129", {std::string(129, 'a'), literal({1}), 1}},
        {"stored size above 16 MiB", {"a", literal({1}), 1, std::nullopt, std::nullopt, 16777217u}},
        {"size above 16 MiB", {"a", literal({1}), 16777217u}},
        {"payload past the end", {"a", literal({1}), 1, std::nullopt, 4000u}},
        {"offset wraps 32 bits", {"a", literal({1}), 1, std::nullopt, 0xFFFFFFFFu, 2u}},
    };
    for (const Case& c : cases) {
        const Bytes package = buildPackage({c.broken, {"want", literal({7}), 1}});
        expectFailure(package, "want", c.why);
    }
}

TEST(AssetPackage, EntriesAfterTheMatchAreNotValidated) {
    RawEntry broken{"later", literal({1}), 16777217u, uint16_t(0), 0xFFFFFFFFu, 0xFFFFFFFFu};
    Bytes package = buildPackage({{"want", literal({7}), 1}, broken});
    EXPECT_EQ(lookUp(package, "want").bytes, Bytes{7});
    // Even a directory cut short behind the match does not matter.
    package = buildPackage({{"want", literal({7}), 1}}, 2u);
    EXPECT_EQ(lookUp(package, "want").bytes, Bytes{7});
}

TEST(AssetPackage, HeaderAndDirectoryLimits) {
    const Bytes good = buildPackage({{"e", literal({1}), 1}});
    expectFailure(buildPackage({{"e", literal({1}), 1}}, std::nullopt, "VBV2"), "e", "wrong magic");
    expectFailure(buildPackage({{"e", literal({1}), 1}}, 0u), "e", "count 0");
    expectFailure(buildPackage({{"e", literal({1}), 1}}, 65u), "e", "count 65");
    expectFailure(Bytes(good.begin(), good.begin() + 3), "e", "magic cut short");
    expectFailure(Bytes(good.begin(), good.begin() + 6), "e", "count cut short");
    expectFailure(Bytes(good.begin(), good.begin() + 15), "e", "directory entry cut short");
    expectFailure(Bytes(good.begin(), good.begin() + 22), "e", "name missing");
    expectFailure({}, "e", "empty file");

    std::vector<RawEntry> many(64, RawEntry{"x", literal({3}), 1});
    many.back().name = "last";
    EXPECT_EQ(lookUp(buildPackage(many), "last").bytes, Bytes{3});
}

TEST(AssetPackage, NameOf128BytesAndPayloadEndingAtTheFileEnd) {
    std::string const name(128, 'q');
    const Bytes package = buildPackage({{name, {0x81, 0x33}, 2}});
    EXPECT_EQ(lookUp(package, name).bytes, (Bytes{0x33, 0x33}));
}

// The package the build put beside the binaries, found the way the client
// finds it.
TEST(AssetPackage, LoadsTheBuiltPackageBesideTheExecutable) {
    const Bytes table = loadPackagedAsset("unifont.bin");
    ASSERT_GE(table.size(), 8u);
    EXPECT_EQ(std::string(table.begin(), table.begin() + 4), "UFNT");
    EXPECT_THROW(loadPackagedAsset("no such entry"), std::runtime_error);
}

}  // namespace
}  // namespace vobu
