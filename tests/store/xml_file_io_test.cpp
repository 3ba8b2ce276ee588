#include "tarvane/store/xml_file_io.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

using test::ReadFile;
using test::WriteFile;

// "中文" in code page 936 and in UTF-8.
constexpr char kAnsiWords[] = "\xD6\xD0\xCE\xC4";
constexpr char kUtf8Words[] = "\xE4\xB8\xAD\xE6\x96\x87";

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : text) {
        char low = static_cast<char>(unit & 0xFF);
        char high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

class XmlFileIoTest : public test::TempDirTest {
protected:
    struct Result {
        bool ok = false;
        std::string text;
        XmlEncodingFlags flags;
        std::string log;
    };

    Result Read(const std::string& path) {
        Result result;
        XmlResultLog log;
        result.ok = ReadXmlFile(path, result.flags, result.text, log);
        result.log = log.Text();
        return result;
    }

    Result ReadBytes(const std::string& bytes) {
        WriteFile(temp_.File("in.xml"), bytes);
        return Read(temp_.File("in.xml"));
    }

    // Writes `text` to a fresh file and answers the bytes written.
    std::string Write(std::string_view text, const XmlEncodingFlags& flags, std::string* logText = nullptr) {
        std::string path = temp_.File("out.xml");
        std::filesystem::remove(path);
        XmlResultLog log;
        EXPECT_TRUE(WriteXmlFile(path, text, flags, log)) << log.Text();
        if (logText) {
            *logText = log.Text();
        }
        return ReadFile(path);
    }

    int TemporaryFiles() {
        int count = 0;
        for (const auto& entry : std::filesystem::directory_iterator(temp_.path())) {
            count += entry.path().filename().string().find(".tmp-") != std::string::npos;
        }
        return count;
    }
};

TEST_F(XmlFileIoTest, MarkedFilesAreWrittenBackWithTheirMarks) {
    const std::string ansi = std::string("<a b=\"") + kAnsiWords + "\"/>";
    struct Case {
        std::string bytes;
        bool utf8;
        bool littleEndian;
        bool bigEndian;
    };
    const Case cases[] = {
        {std::string("\xEF\xBB\xBF<a b=\"") + kUtf8Words + "\"/>", true, false, false},
        {"\xFF\xFE" + Utf16Bytes(u"<a b=\"中文\"/>", false), false, true, false},
        {"\xFE\xFF" + Utf16Bytes(u"<a b=\"中文\"/>", true), false, false, true},
    };
    for (const Case& c : cases) {
        Result read = ReadBytes(c.bytes);
        ASSERT_TRUE(read.ok) << read.log;
        EXPECT_EQ(read.text, ansi);
        EXPECT_EQ(read.flags.utf8Mark, c.utf8);
        EXPECT_EQ(read.flags.utf16LittleEndian, c.littleEndian);
        EXPECT_EQ(read.flags.utf16BigEndian, c.bigEndian);
        EXPECT_EQ(read.log.find("<bom/>"), 0u) << read.log;
        EXPECT_EQ(read.log.find("<endian_swap/>") != std::string::npos, c.bigEndian) << read.log;

        std::string log;
        EXPECT_EQ(Write(read.text, read.flags, &log), c.bytes);
        EXPECT_EQ(log.find("<bom/>"), 0u) << log;
        EXPECT_EQ(log.find("<endian_swap/>") != std::string::npos, c.bigEndian) << log;
    }
}

TEST_F(XmlFileIoTest, BigEndianReadAndWriteAreLoggedEntryByEntry) {
    Result read = ReadBytes("\xFE\xFF" + Utf16Bytes(std::u16string(u"<r>中\0</r>", 9), true));
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.text, "<r>\xD6\xD0</r>");
    EXPECT_EQ(read.log,
              "<bom/><read encoding=\"UTF-16BE\" length=\"9\"/><nulls_removed count=\"1\"/><endian_swap/>"
              "<converted_to encoding=\"\" length=\"9\"/>");
    std::string log;
    Write(read.text, read.flags, &log);
    EXPECT_EQ(
        log,
        "<bom/><converted_from encoding=\"\" length=\"8\"/><endian_swap/><write encoding=\"UTF-16BE\" length=\"8\"/>");
}

TEST_F(XmlFileIoTest, UndeclaredFileIsUtf8BothWays) {
    const std::string utf8 = std::string("<a b=\"") + kUtf8Words + "\"/>";
    Result read = ReadBytes(utf8);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.text, std::string("<a b=\"") + kAnsiWords + "\"/>");
    EXPECT_FALSE(read.flags.utf8Mark || read.flags.utf16LittleEndian || read.flags.utf16BigEndian);
    EXPECT_NE(read.log.find("<read encoding=\"UTF-8\" length=\"15\"/>"), std::string::npos) << read.log;
    EXPECT_EQ(Write(read.text, read.flags), utf8);
}

TEST_F(XmlFileIoTest, AnsiDeclarationIsKeptByteForByte) {
    const std::string bytes =
        std::string("<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n<r a=\"") + kAnsiWords + "\"/>\r\n";
    Result read = ReadBytes(bytes);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.text, bytes);
    EXPECT_EQ(read.log.find("converted"), std::string::npos) << read.log;
    std::string log;
    EXPECT_EQ(Write(read.text, read.flags, &log), bytes);
    EXPECT_EQ(log, "<write encoding=\"gbk\" length=\"" + std::to_string(bytes.size()) + "\"/>");
}

TEST_F(XmlFileIoTest, Utf8DeclarationConvertsOnWritingWithoutMark) {
    const std::string text = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><r a=\"") + kAnsiWords + "\"/>";
    const std::string expected = std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><r a=\"") + kUtf8Words + "\"/>";
    EXPECT_EQ(Write(text, {}), expected);
}

TEST_F(XmlFileIoTest, AnsiBytesWithoutDeclarationAreReadAsUtf8AndLost) {
    Result read = ReadBytes(std::string("<r a=\"") + kAnsiWords + "\"/>");
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.text.find(kAnsiWords), std::string::npos);
    EXPECT_NE(read.text.find('?'), std::string::npos);
    EXPECT_NE(read.log.find("<conversion_loss/>"), std::string::npos) << read.log;
}

TEST_F(XmlFileIoTest, TextWithoutTagIsTestedForUtf8) {
    Result utf8 = ReadBytes(std::string("name ") + kUtf8Words);
    ASSERT_TRUE(utf8.ok);
    EXPECT_EQ(utf8.text, std::string("name ") + kAnsiWords);
    EXPECT_EQ(utf8.log.find("<read encoding=\"UTF-8\" length=\"11\"/>"), 0u) << utf8.log;
    EXPECT_NE(utf8.log.find("<utf8_detection/>"), std::string::npos);

    // A lead byte cut off by the end of the data fails the test: the bytes stay as they are.
    const std::string ansi = std::string("name ") + kAnsiWords + "\xD6";
    Result kept = ReadBytes(ansi);
    ASSERT_TRUE(kept.ok);
    EXPECT_EQ(kept.text, ansi);
    EXPECT_EQ(kept.log, "<read encoding=\"\" length=\"10\"/><utf8_detection/>");
}

TEST_F(XmlFileIoTest, NullCharactersAreDropped) {
    Result bytes = ReadBytes(std::string("<r>a\0b\0</r>", 11));
    ASSERT_TRUE(bytes.ok);
    EXPECT_EQ(bytes.text, "<r>ab</r>");
    EXPECT_NE(bytes.log.find("<nulls_removed count=\"2\"/>"), std::string::npos) << bytes.log;

    Result units = ReadBytes("\xFF\xFE" + Utf16Bytes(std::u16string(u"<r>a\0</r>", 9), false));
    ASSERT_TRUE(units.ok);
    EXPECT_EQ(units.text, "<r>a</r>");
    EXPECT_NE(units.log.find("<nulls_removed count=\"1\"/>"), std::string::npos) << units.log;
}

TEST_F(XmlFileIoTest, EmptyAndMissingFiles) {
    Result empty = ReadBytes("");
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.text.empty());

    XmlEncodingFlags flags;
    flags.utf8Mark = true;
    std::string text = "left over";
    XmlResultLog log;
    EXPECT_FALSE(ReadXmlFile(temp_.File("missing.xml"), flags, text, log));
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(flags.utf8Mark);
    EXPECT_EQ(log.Text().rfind("<file_error msg=\"", 0), 0u) << log.Text();
    EXPECT_NE(log.Text().find("n=\"2\""), std::string::npos) << log.Text();

    // Nothing to write: an empty file, logged as a write of nothing.
    std::string writeLog;
    EXPECT_EQ(Write("", {}, &writeLog), "");
    EXPECT_EQ(writeLog, "<write encoding=\"\" length=\"0\"/>");
}

TEST_F(XmlFileIoTest, FullLogTakesNoMoreEntries) {
    XmlResultLog log;
    while (log.Text().size() <= 999) {
        log.Add({"bom", {}, {}, {}, {}, {}});
    }
    const std::string full = log.Text();
    XmlEncodingFlags flags;
    std::string text;
    EXPECT_FALSE(ReadXmlFile(temp_.File("missing.xml"), flags, text, log));
    EXPECT_EQ(log.Text(), full);
}

TEST_F(XmlFileIoTest, PathsAreAnsiText) {
    WriteFile(temp_.File(std::string(kUtf8Words) + ".xml"), "<r/>");
    Result read = Read(temp_.File(std::string(kAnsiWords) + ".xml"));
    EXPECT_TRUE(read.ok) << read.log;
    EXPECT_EQ(read.text, "<r/>");
}

TEST(DeclaredEncoding, FromDeclarationOrHtmlMeta) {
    EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" encoding=\"GB2312\"?><r/>"), "GB2312");
    EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\"?><r/>"), "");
    EXPECT_EQ(DeclaredEncoding(" <?xml version=\"1.0\" encoding=\"gbk\"?><r/>"), "");
    EXPECT_EQ(DeclaredEncoding("<html><head><meta http-equiv=\"Content-Type\" "
                               "content=\"text/html; charset=gb2312\"></head></html>"),
              "gb2312");
    EXPECT_EQ(DeclaredEncoding("<html><head></head><meta http-equiv=\"Content-Type\" "
                               "content=\"text/html; charset=gb2312\"></html>"),
              "");
    EXPECT_EQ(DeclaredEncoding("<body><meta http-equiv=\"Content-Type\" content=\"charset=gbk\"></body>"), "");
    EXPECT_EQ(DeclaredEncoding(""), "");
}

TEST_F(XmlFileIoTest, SaveReplacesWholeFilesAndKeepsModes) {
    std::string fresh = temp_.File("fresh.xml");
    XmlResultLog log;
    ASSERT_TRUE(WriteXmlFile(fresh, "<r/>", {}, log));
    struct stat info {};
    ASSERT_EQ(stat(fresh.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    std::string shared = temp_.File("shared.xml");
    WriteFile(shared, "<old/>");
    ASSERT_EQ(chmod(shared.c_str(), 0644), 0);
    ASSERT_TRUE(WriteXmlFile(shared, "<new/>", {}, log));
    ASSERT_EQ(stat(shared.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    EXPECT_EQ(ReadFile(shared), "<new/>");

    // A link stays a link; the file it points at gets the new text.
    std::string link = temp_.File("link.xml");
    std::filesystem::create_symlink(shared, link);
    ASSERT_TRUE(WriteXmlFile(link, "<linked/>", {}, log));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(shared), "<linked/>");
    EXPECT_EQ(TemporaryFiles(), 0);
}

TEST_F(XmlFileIoTest, FailedSaveLeavesOldFileAndNoTemporary) {
    // The rename cannot replace a folder.
    std::filesystem::create_directory(temp_.File("folder.xml"));
    XmlResultLog log;
    EXPECT_FALSE(WriteXmlFile(temp_.File("folder.xml"), "<r/>", {}, log));
    EXPECT_NE(log.Text().find("<file_error msg=\"Is a directory\" n=\"21\"/>"), std::string::npos) << log.Text();
    EXPECT_EQ(log.Text().find("<write"), std::string::npos) << log.Text();
    EXPECT_FALSE(WriteXmlFile(temp_.File("no-folder/x.xml"), "<r/>", {}, log));
    EXPECT_EQ(TemporaryFiles(), 0);

    // A write that runs out of room (here: the file size limit) fails part way.
    const std::string path = temp_.File("big.xml");
    const std::string old = "<old>" + std::string(3000, 'o') + "</old>";
    WriteFile(path, old);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1024, 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        XmlResultLog childLog;
        bool saved = WriteXmlFile(path, "<new>" + std::string(5000, 'n') + "</new>", {}, childLog);
        _exit(saved ? 1 : (childLog.Text().find("file_error") == std::string::npos ? 2 : 0));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(TemporaryFiles(), 0);
}

}  // namespace
}  // namespace tarvane
