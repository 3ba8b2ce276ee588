// Archives made here by bsdtar, read through whole, then damaged one byte or one cut at a time.
#include <openssl/evp.h>

#include <random>

#include <gtest/gtest.h>

#include "tarvane/engine/archive_check.h"
#include "tarvane/engine/base64.h"
#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

class ArchiveCheckTest : public test::TempDirTest {
protected:
    // Archives of an incompressible file, which "store" keeps as it is so a byte of it can be found,
    // and a compressible one.
    std::string Make(const std::string& name, const std::string& options) {
        if (data_.empty()) {
            std::mt19937 random(7);
            for (int i = 0; i < 400000; ++i) {
                data_ += static_cast<char>(random());
            }
            std::filesystem::create_directories(temp_.File("src"));
            test::WriteFile(temp_.File("src/game.bin"), data_);
            test::WriteFile(temp_.File("src/levels.txt"), std::string(300000, 'L'));
        }
        std::string command = "bsdtar -cf " + temp_.File(name) + " " + options + " -C " + temp_.File("src") + " .";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return temp_.File(name);
    }
    ArchiveVerdict Check(const std::string& path, const std::string& bytes = {}, ExpectedDigest digest = {}) {
        if (!bytes.empty()) {
            test::WriteFile(path + ".bad", bytes);
        }
        std::atomic<bool> stop = false;
        return ArchiveCheck(bytes.empty() ? path : path + ".bad", digest).Run(stop);
    }
    std::string data_;
};

TEST_F(ArchiveCheckTest, AFlippedByteOrACutFailsEveryFormatAndNothingElse) {
    const std::pair<std::string, std::string> rows[] = {{"a.zip", "--format zip"},
                                                        {"s.zip", "--format zip --options zip:compression=store"},
                                                        {"a.7z", "--format 7zip"},
                                                        {"s.7z", "--format 7zip --options 7zip:compression=store"},
                                                        {"a.tgz", "-z"}};
    for (const auto& [name, options] : rows) {
        SCOPED_TRACE(name);
        std::string path = Make(name, options);
        std::string bytes = test::ReadFile(path);
        std::int64_t done = 0, total = 0;
        std::atomic<bool> stop = false;
        auto progress = [&](std::int64_t d, std::int64_t t) { done = d, total = t; };
        EXPECT_EQ(ArchiveCheck(path).Run(stop, progress), ArchiveVerdict::Good);
        EXPECT_TRUE(done == total && total == static_cast<std::int64_t>(bytes.size()));

        std::string flipped = bytes;
        std::size_t at =
            options.find("store") != std::string::npos ? bytes.find(data_.substr(200000, 16)) : bytes.size() / 2;
        ASSERT_NE(at, std::string::npos);
        flipped[at] ^= 0x01;
        EXPECT_EQ(Check(path, flipped), ArchiveVerdict::Damaged);
        EXPECT_EQ(Check(path, bytes.substr(0, bytes.size() * 3 / 4)), ArchiveVerdict::Damaged);
        // Every entry whole, only the end of the file missing.
        EXPECT_EQ(Check(path, bytes.substr(0, bytes.size() - 10)), ArchiveVerdict::Damaged);
        stop = true;
        EXPECT_EQ(ArchiveCheck(path).Run(stop), ArchiveVerdict::Stopped);
    }
    EXPECT_EQ(Check(Make("e.zip", "--format zip --options zip:encryption --passphrase pw")),
              ArchiveVerdict::Untestable);
    std::filesystem::copy_file(temp_.File("a.7z"), temp_.File("game.7z.001"));  // one part of a set
    EXPECT_EQ(Check(temp_.File("game.7z.001")), ArchiveVerdict::Untestable);
    EXPECT_EQ(Check(temp_.File("page.zip"), "<html>not a zip</html>"), ArchiveVerdict::Untestable);
    EXPECT_TRUE(IsCheckedArchiveType("ZIP") && !IsCheckedArchiveType("zipx"));
}

TEST_F(ArchiveCheckTest, TheServersDigestOfTheWholeFileIsCheckedInTheSameRead) {
    std::string zip = Make("a.zip", "--format zip"), bytes = test::ReadFile(zip);
    auto digestOf = [&](const EVP_MD* md) {
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_Digest(bytes.data(), bytes.size(), out, &size, md, nullptr);
        return Base64Encode(std::string(reinterpret_cast<char*>(out), size));
    };
    std::string sha = digestOf(EVP_sha256()), md5 = digestOf(EVP_md5()), other = Base64Encode(std::string(32, 'x'));
    const std::tuple<std::string, std::string, ArchiveVerdict> rows[] = {
        {"Repr-Digest", "sha-512=:" + other + ":, sha-256=:" + sha + ":", ArchiveVerdict::Good},
        {"digest", "SHA-256=" + sha, ArchiveVerdict::Good},
        {"Content-MD5", md5, ArchiveVerdict::Good},
        {"Repr-Digest", "sha-256=:" + other + ":", ArchiveVerdict::Damaged}};
    for (const auto& [name, value, verdict] : rows) {
        ExpectedDigest digest;
        NoteDigestHeader(digest, name, value);
        EXPECT_EQ(Check(zip, {}, digest), verdict) << name << ": " << value;
        std::string text = DigestText(digest);  // as the task keeps it across a restart
        EXPECT_TRUE(!text.empty() && DigestText(DigestFromText(text)) == text) << text;
    }
}

}  // namespace
}  // namespace tarvane
