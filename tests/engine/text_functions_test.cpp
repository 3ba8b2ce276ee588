// Pure text functions of the engine, each with a table of inputs and what they give.
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "tarvane/engine/base64.h"
#include "tarvane/engine/byte_count.h"
#include "tarvane/engine/file_types.h"
#include "tarvane/engine/folder_of_path.h"
#include "tarvane/engine/format_size.h"
#include "tarvane/engine/task_book.h"

namespace tarvane {
namespace {

using Row = std::pair<std::string, std::string>;

TEST(Base64, EncodesAndDecodesUpToTheEndOfItsGroups) {
    const Row encoded[] = {{"f", "Zg=="}, {"foo", "Zm9v"}, {std::string("\xfb\xff\x00", 3), "+/8A"}};
    for (const auto& [bytes, text] : encoded) {
        EXPECT_EQ(Base64Encode(bytes), text);
    }
    // Every letter of the alphabet, both ways.
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string alphabetBytes(
        "\x00\x10\x83\x10\x51\x87\x20\x92\x8B\x30\xD3\x8F\x41\x14\x93\x51\x55\x97\x61\x96\x9B\x71\xD7\x9F"
        "\x82\x18\xA3\x92\x59\xA7\xA2\x9A\xAB\xB2\xDB\xAF\xC3\x1C\xB3\xD3\x5D\xB7\xE3\x9E\xBB\xF3\xDF\xBF",
        48);
    EXPECT_EQ(Base64Encode(alphabetBytes), alphabet);

    struct Decoded {
        std::string text;
        std::ptrdiff_t count;
        std::string bytes;  // what stands decoded, also before a malformed group
    };
    const Decoded decoded[] = {
        {alphabet, 48, alphabetBytes},
        // A line break ends the text; so does a group starting with padding or any non-alphabet byte.
        {"Zm9v\r\nYmFy", 3, "foo"},
        // After a padded group nothing more is read, not even a broken group.
        {"Zm8=Z", 2, "fo"},
        {"Zm9vZ", -1, "foo"},
        {"Zm=v", -1, ""}};
    for (const Decoded& row : decoded) {
        std::string bytes = "left over";
        EXPECT_EQ(Base64Decode(row.text, bytes), row.count) << row.text;
        EXPECT_EQ(bytes, row.bytes) << row.text;
    }
}

TEST(FileTypes, ExtensionsFromMimeTypesAndLinks) {
    // Case is ignored, blanks and parameters are not.
    const Row mime[] = {{"application/octet-stream", "exe"}, {"text/html", "htm"},
                        {"APPLICATION/ZIP", "zip"},          {"text/html ", ""},
                        {"text/html; charset=utf-8", ""},    {"text/htm", ""}};
    for (const auto& [type, extension] : mime) {
        EXPECT_EQ(ExtensionForMimeType(type), extension) << type;
    }
    // Only the point of the last path segment counts.
    const Row links[] = {{"http://h/dl/game.part1.rar", "rar"},
                         {"http://h/dl/setup.exe?id=3.5", "exe"},
                         {"http://h/v1.2/download", ""},
                         {"https://h:8443/a/B.ZIP", "ZIP"},
                         {"ftp://h/pub/archive.tar.gz#part", "gz"}};
    for (const auto& [link, extension] : links) {
        EXPECT_EQ(ExtensionFromUrl(link), extension) << link;
    }
}

TEST(FolderOfPath, CutsAfterTheLastSeparatorThatIsNoTrailByte) {
    const Row cases[] = {{"/home/u/games/x.rar", "/home/u/games/"},
                         {"a/b\\c/d.zip", "a/b\\c/"},
                         // "\x9c\x5c" is one character of code page 936 whose second byte is the backslash.
                         {"/games/\x9c\x5c.rar", "/games/"},
                         {"D:\\\x9c\x5c\\a.exe", "D:\\\x9c\x5c\\"},
                         // A lone lead byte at the end does not hide anything before it.
                         {"/g/\x9c", "/g/"}};
    for (const auto& [path, folder] : cases) {
        EXPECT_EQ(FolderOfPath(path), folder) << path;
    }
}

TEST(FormatSize, EachBoundaryStaysInTheSmallerUnit) {
    const std::pair<double, std::string> cases[] = {
        {1024, "1024.00B"}, {1025, "1.00KB"}, {1048577, "1.00MB"}, {3.0 * 1024 * 1024 * 1024 * 1024, "3072.00GB"}};
    for (const auto& [size, text] : cases) {
        EXPECT_EQ(FormatSize(size), text);
    }
    // Huge values are not cut.
    const std::string huge = FormatSize(1e300);
    EXPECT_GT(huge.size(), 290u);
    EXPECT_TRUE(huge.ends_with("GB"));
}

// The list and the worker read a stored count alike: its leading digits, nothing else.
TEST(ByteCount, LeadingDigitsOnlyAndTheListReadsTheSameCount) {
    const std::pair<std::string, int64_t> cases[] = {{"1048576", 1048576},
                                                     {"1e3", 1},
                                                     {"12.9", 12},
                                                     {"-5", 0},
                                                     {" 7", 0},
                                                     {"", 0},
                                                     {"inf", 0},
                                                     {"0x10", 0},
                                                     {"99999999999999999999", INT64_MAX}};
    for (const auto& [text, count] : cases) {
        EXPECT_EQ(ByteCount(text), count) << text;
        DownloadTask stored;
        stored.size = stored.downloadedSize = text;
        TaskEntry entry = EntryFromStored(stored);
        EXPECT_EQ(entry.size, count) << text;
        EXPECT_EQ(entry.done, count) << text;
    }
}

}  // namespace
}  // namespace tarvane
