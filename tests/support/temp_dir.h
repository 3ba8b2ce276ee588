#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace tarvane::test {

// A fresh folder for one test, removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Path of an entry inside the folder, as a string.
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    // The folder as a program directory: ends in "/".
    std::string Directory() const { return path_.string() + "/"; }

private:
    std::filesystem::path path_;
};

// Test fixture that gives every test its own TempDir.
class TempDirTest : public ::testing::Test {
protected:
    TempDir temp_;
};

// Whole-file helpers for tests.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace tarvane::test
