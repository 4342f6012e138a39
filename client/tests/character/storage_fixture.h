#pragma once
// Points the per-user folder at a fresh temporary folder for each test, so
// the real user's files are never touched, and gives helpers to look at and
// arrange the files there.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "character/user_files.h"

namespace vobu::testing {

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vobu-character-XXXXXX";
        char* made = ::mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        root = made;
        ::setenv("XDG_DATA_HOME", root.c_str(), 1);
        path = storagePath();
        ASSERT_FALSE(path.empty());
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    static std::string slurp(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static void put(const std::string& file, const std::string& bytes) {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    static bool exists(const std::string& file) {
        std::error_code ignored;
        return std::filesystem::exists(std::filesystem::symlink_status(file, ignored));
    }

    // A folder in the way of a file name makes every open or rename of that
    // name fail, even for root, which ignores permission bits.
    static void block(const std::string& file) { std::filesystem::create_directories(file + "/in-the-way"); }

    static void unblock(const std::string& file) { std::filesystem::remove_all(file); }

    std::string root;  // stands for XDG_DATA_HOME
    std::string path;  // the characters file
};

}  // namespace vobu::testing
