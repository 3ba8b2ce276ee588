// Archives made here by bsdtar, read through whole, then damaged one byte or one cut at a time.
#include <openssl/evp.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "tarvane/engine/archive_check.h"
#include "tarvane/engine/base64.h"
#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

using test::ReadFile;
using test::WriteFile;

class ArchiveCheckTest : public test::TempDirTest {
protected:
    // An archive of a compressible and an incompressible file; `data` holds the latter, which
    // stored archives keep as it is, so a byte of it can be found and flipped.
    std::string Make(const std::string& name, const std::string& options) {
        std::filesystem::create_directories(temp_.File("src"));
        std::mt19937 random(7);
        for (int i = data_.empty() ? 0 : 400000; i < 400000; ++i) {
            data_.push_back(static_cast<char>(random()));
        }
        WriteFile(temp_.File("src/game.bin"), data_);
        std::string text;
        for (int i = 0; i < 40000; ++i) {
            text += "level " + std::to_string(i) + "\n";
        }
        WriteFile(temp_.File("src/levels.txt"), text);
        std::string path = temp_.File(name);
        std::string command = "bsdtar -cf " + path + " " + options + " -C " + temp_.File("src") + " .";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return path;
    }
    ArchiveVerdict Check(const std::string& path, const ExpectedDigest& digest = {}) {
        std::atomic<bool> stop = false;
        return ArchiveCheck(path, digest).Run(stop);
    }
    std::string Changed(const std::string& path, const std::string& bytes) {
        WriteFile(path + ".bad", bytes);
        return path + ".bad";
    }
    std::string data_;
};

TEST_F(ArchiveCheckTest, AFlippedByteOrACutFailsEveryFormat) {
    struct Row {
        std::string name, options;
        bool stored;
    };
    const Row rows[] = {{"a.zip", "--format zip", false},
                        {"s.zip", "--format zip --options zip:compression=store", true},
                        {"a.7z", "--format 7zip", false},
                        {"s.7z", "--format 7zip --options 7zip:compression=store", true},
                        {"a.tgz", "-z", false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = Make(row.name, row.options);
        std::int64_t lastDone = 0, lastTotal = -1;
        std::atomic<bool> stop = false;
        EXPECT_EQ(ArchiveCheck(path).Run(stop,
                                         [&](std::int64_t done, std::int64_t total) {
                                             lastDone = done;
                                             lastTotal = total;
                                         }),
                  ArchiveVerdict::Good);
        std::string bytes = ReadFile(path);
        EXPECT_EQ(lastDone, static_cast<std::int64_t>(bytes.size()));
        EXPECT_EQ(lastTotal, lastDone);

        std::string flipped = bytes;
        std::size_t at = row.stored ? flipped.find(data_.substr(200000, 16)) : flipped.size() / 2;
        ASSERT_NE(at, std::string::npos);
        flipped[at] ^= 0x01;
        EXPECT_EQ(Check(Changed(path, flipped)), ArchiveVerdict::Damaged);
        EXPECT_EQ(Check(Changed(path, bytes.substr(0, bytes.size() * 3 / 4))), ArchiveVerdict::Damaged);
        // Every entry whole, only the end of the file missing.
        EXPECT_EQ(Check(Changed(path, bytes.substr(0, bytes.size() - 10))), ArchiveVerdict::Damaged);
        stop = true;
        EXPECT_EQ(ArchiveCheck(path).Run(stop), ArchiveVerdict::Stopped);
    }
}

TEST_F(ArchiveCheckTest, WhatCannotBeReadIsUntestable) {
    EXPECT_EQ(Check(Make("e.zip", "--format zip --options zip:encryption --passphrase secret")),
              ArchiveVerdict::Untestable);
    std::string zip = Make("a.zip", "--format zip");
    std::filesystem::copy_file(zip, temp_.File("game.7z.001"));
    EXPECT_EQ(Check(temp_.File("game.7z.001")), ArchiveVerdict::Untestable);
    WriteFile(temp_.File("page.zip"), "<html>not a zip</html>");
    EXPECT_EQ(Check(temp_.File("page.zip")), ArchiveVerdict::Untestable);
    EXPECT_TRUE(IsCheckedArchiveType("ZIP") && IsCheckedArchiveType("7z") && IsCheckedArchiveType("tgz"));
    EXPECT_FALSE(IsCheckedArchiveType("exe") || IsCheckedArchiveType("zipx"));
}

TEST_F(ArchiveCheckTest, TheServersDigestOfTheWholeFileIsCheckedInTheSameRead) {
    std::string zip = Make("a.zip", "--format zip");
    std::string bytes = ReadFile(zip);
    auto digestOf = [&](const EVP_MD* md) {
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_Digest(bytes.data(), bytes.size(), out, &size, md, nullptr);
        return Base64Encode(std::string(reinterpret_cast<char*>(out), size));
    };
    std::string sha = digestOf(EVP_sha256()), md5 = digestOf(EVP_md5());
    std::string otherSha = Base64Encode(std::string(32, 'x'));
    struct Row {
        std::string name, value;
        ArchiveVerdict verdict;
    };
    const Row rows[] = {{"Repr-Digest", "sha-512=:" + otherSha + ":, sha-256=:" + sha + ":", ArchiveVerdict::Good},
                        {"digest", "SHA-256=" + sha, ArchiveVerdict::Good},
                        {"Content-MD5", md5, ArchiveVerdict::Good},
                        {"Repr-Digest", "sha-256=:" + otherSha + ":", ArchiveVerdict::Damaged},
                        {"Content-MD5", sha, ArchiveVerdict::Good}};  // not an MD5: no digest
    for (const Row& row : rows) {
        ExpectedDigest digest;
        NoteDigestHeader(digest, row.name, row.value);
        EXPECT_EQ(Check(zip, digest), row.verdict) << row.name << ": " << row.value;
    }
    // A sha-256 is not given up for an MD5 that comes after it.
    ExpectedDigest digest;
    NoteDigestHeader(digest, "Repr-Digest", "sha-256=:" + otherSha + ":");
    NoteDigestHeader(digest, "Content-MD5", md5);
    EXPECT_EQ(Check(zip, digest), ArchiveVerdict::Damaged);
}

}  // namespace
}  // namespace tarvane
