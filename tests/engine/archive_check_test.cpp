// Archives made here by bsdtar or libarchive's writer, read through whole, then damaged one byte or one cut at a time.
#include <archive.h>
#include <archive_entry.h>
#include <openssl/evp.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <random>
#include <thread>

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

// Bytes as libarchive's writer gives them, with `configure` choosing the format and filter and
// `write` the entry's header and data; once `write` sets `refuseMore`, the writer gets no further byte.
std::string Written(const std::function<void(archive*)>& configure,
                    const std::function<void(archive*, bool& refuseMore)>& write) {
    struct Sink {
        std::string out;
        bool refused = false;
    } sink;
    archive* a = archive_write_new();
    configure(a);
    archive_write_set_bytes_per_block(a, 0);  // every byte reaches `out` as soon as it is written
    auto append = [](archive*, void* to, const void* bytes, size_t size) {
        auto* into = static_cast<Sink*>(to);
        if (into->refused) {
            return static_cast<la_ssize_t>(-1);
        }
        into->out.append(static_cast<const char*>(bytes), size);
        return static_cast<la_ssize_t>(size);
    };
    archive_write_open(a, &sink, nullptr, append, nullptr);
    write(a, sink.refused);
    archive_write_free(a);
    return sink.out;
}

// game.tar.bz2 whose one entry is `chunks` times 64 MiB of zeros, in a file of about 100 bytes a
// chunk: bzip2 streams, which a reader takes one after the other, each compressed once.
std::string MakeBomb(const std::string& path, int chunks) {
    constexpr std::int64_t kChunk = std::int64_t{64} << 20;
    // The tar header alone: the writer is refused the padding of the entry.
    std::string header = Written([](archive* a) { archive_write_set_format_pax_restricted(a); },
                                 [&](archive* a, bool& refuseMore) {
                                     archive_entry* entry = archive_entry_new();
                                     archive_entry_set_pathname(entry, "game.bin");
                                     archive_entry_set_filetype(entry, AE_IFREG);
                                     archive_entry_set_perm(entry, 0644);
                                     // The last chunk holds the end of the archive.
                                     archive_entry_set_size(entry, (chunks - 1) * kChunk);
                                     archive_write_header(a, entry);
                                     archive_entry_free(entry);
                                     refuseMore = true;
                                 });
    auto compressed = [](const std::string& prefix) {
        return Written(
            [](archive* a) {
                archive_write_set_format_raw(a);
                archive_write_add_filter_bzip2(a);
            },
            [&](archive* a, bool&) {
                archive_entry* entry = archive_entry_new();
                archive_entry_set_filetype(entry, AE_IFREG);
                archive_write_header(a, entry);
                archive_entry_free(entry);
                archive_write_data(a, prefix.data(), prefix.size());
                const std::string zeros(1 << 20, '\0');
                for (std::int64_t done = 0; done < kChunk; done += static_cast<std::int64_t>(zeros.size())) {
                    archive_write_data(a, zeros.data(), zeros.size());
                }
            });
    };
    std::string bytes = compressed(header);
    const std::string zeros = compressed("");
    for (int i = 1; i < chunks; ++i) {
        bytes += zeros;
    }
    test::WriteFile(path, bytes);
    return path;
}

// A 10 GiB entry in 16 kB ends at the limit of what an archive may unpack to, as one that cannot be
// tested; a stop raised on another thread while its entries are read ends the check at once, even
// where the limit is out of reach (1 TiB in 1.6 MB may unpack to 1.6 GB).
TEST_F(ArchiveCheckTest, ACompressionBombIsNotReadThroughAndAStopEndsItsRead) {
    EXPECT_EQ(Check(MakeBomb(temp_.File("game.tar.bz2"), 160)), ArchiveVerdict::Untestable);

    struct Run {
        std::atomic<bool> stop = false;
        std::atomic<bool> reading = false;
        std::promise<ArchiveVerdict> verdict;
    };
    auto run = std::make_shared<Run>();
    std::string path = MakeBomb(temp_.File("huge.tar.bz2"), 16384);
    std::future<ArchiveVerdict> verdict = run->verdict.get_future();
    // Left to itself when it never ends, so that the test can fail.
    std::thread([run, path] {
        // The reader takes the file's first block before its first entry; the stop comes after.
        auto progress = [&](std::int64_t, std::int64_t) {
            if (!run->reading) {
                run->reading = true;
                run->reading.notify_all();
                run->stop.wait(false);
            }
        };
        run->verdict.set_value(ArchiveCheck(path).Run(run->stop, progress));
        run->reading = true;
        run->reading.notify_all();
    }).detach();
    run->reading.wait(false);
    run->stop = true;
    run->stop.notify_all();
    ASSERT_EQ(verdict.wait_for(std::chrono::minutes(5)), std::future_status::ready) << "the stop was not seen";
    EXPECT_EQ(verdict.get(), ArchiveVerdict::Stopped);
}

}  // namespace
}  // namespace tarvane
