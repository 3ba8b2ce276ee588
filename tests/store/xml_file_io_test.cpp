#include "tarvane/store/xml_file_io.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tarvane/store/encoding_names.h"
#include "tests/support/temp_dir.h"

namespace tarvane {
namespace {

using test::ReadFile;
using test::WriteFile;

// "中文" in code page 936 and in UTF-8.
constexpr char kAnsiWords[] = "\xD6\xD0\xCE\xC4";
constexpr char kUtf8Words[] = "\xE4\xB8\xAD\xE6\x96\x87";

std::string Utf16BeBytes(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    }
    return bytes;
}

class XmlFileIoTest : public test::TempDirTest {
protected:
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

TEST_F(XmlFileIoTest, FilesAreReadInTheirEncodingAndWrittenBackByteForByte) {
    const std::string ansi = std::string("<a b=\"") + kAnsiWords + "\"/>";
    const std::string declared =
        std::string("<?xml version=\"1.0\" encoding=\"gbk\"?>\r\n<r a=\"") + kAnsiWords + "\"/>\r\n";
    struct Case {
        std::string bytes;
        std::string text;
        std::string readLog;
        std::string writeLog;  // empty: the text does not write back to the same bytes
    };
    const Case cases[] = {
        {std::string("\xEF\xBB\xBF<a b=\"") + kUtf8Words + "\"/>", ansi,
         "<bom/><read encoding=\"UTF-8\" length=\"15\"/><converted_to encoding=\"\" length=\"13\"/>",
         "<bom/><converted_from encoding=\"\" length=\"15\"/><write encoding=\"UTF-8\" length=\"15\"/>"},
        {"\xFE\xFF" + Utf16BeBytes(u"<a b=\"中文\"/>"), ansi,
         "<bom/><read encoding=\"UTF-16BE\" length=\"11\"/><endian_swap/><converted_to encoding=\"\" length=\"13\"/>",
         "<bom/><converted_from encoding=\"\" length=\"11\"/><endian_swap/><write encoding=\"UTF-16BE\" "
         "length=\"11\"/>"},
        {declared, declared, "<read encoding=\"gbk\" length=\"53\"/>", "<write encoding=\"gbk\" length=\"53\"/>"},
        // ANSI bytes without a declaration are read as UTF-8 and lost.
        {std::string("<r a=\"") + kAnsiWords + "\"/>", "<r a=\"????\"/>",
         "<read encoding=\"UTF-8\" length=\"13\"/><converted_to encoding=\"\" length=\"13\"/><conversion_loss/>", ""},
        {std::string("<r>a\0b\0</r>", 11), "<r>ab</r>",
         "<read encoding=\"UTF-8\" length=\"11\"/><nulls_removed count=\"2\"/><converted_to encoding=\"\" "
         "length=\"9\"/>",
         ""},
        {"", "", "<read encoding=\"UTF-8\" length=\"0\"/><utf8_detection/>", "<write encoding=\"\" length=\"0\"/>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        WriteFile(temp_.File("in.xml"), c.bytes);
        XmlEncodingFlags flags;
        std::string text;
        XmlResultLog log;
        ASSERT_TRUE(ReadXmlFile(temp_.File("in.xml"), flags, text, log)) << log.Text();
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(log.Text(), c.readLog);
        if (!c.writeLog.empty()) {
            std::string writeLog;
            EXPECT_EQ(Write(text, flags, &writeLog), c.bytes);
            EXPECT_EQ(writeLog, c.writeLog);
        }
    }

    // A UTF-8 declaration converts on writing, without a mark; "\x81@" is one character.
    const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?><r a=\"";
    EXPECT_EQ(Write(head + kAnsiWords + "\x81@\"/>", {}), head + kUtf8Words + "\xE4\xB8\x82\"/>");
}

TEST_F(XmlFileIoTest, MissingFilesAndAnsiPaths) {
    XmlEncodingFlags flags;
    std::string text = "left over";
    XmlResultLog log;
    EXPECT_FALSE(ReadXmlFile(temp_.File("missing.xml"), flags, text, log));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(log.Text(), "<file_error msg=\"No such file or directory\" n=\"2\"/>");

    WriteFile(temp_.File(std::string(kUtf8Words) + ".xml"), "<r/>");
    EXPECT_TRUE(ReadXmlFile(temp_.File(std::string(kAnsiWords) + ".xml"), flags, text, log)) << log.Text();
    EXPECT_EQ(text, "<r/>");
}

TEST_F(XmlFileIoTest, SaveReplacesWholeFilesKeepsModesAndFailsWithoutTrace) {
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

    // A link stays a link; the file it points at gets the new text.
    std::string link = temp_.File("link.xml");
    std::filesystem::create_symlink(shared, link);
    ASSERT_TRUE(WriteXmlFile(link, "<linked/>", {}, log));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(shared), "<linked/>");

    // A failed save leaves the old file and no temporary; the rename cannot replace a folder.
    std::filesystem::create_directory(temp_.File("folder.xml"));
    log.Clear();
    EXPECT_FALSE(WriteXmlFile(temp_.File("folder.xml"), "<r/>", {}, log));
    EXPECT_NE(log.Text().find("<file_error msg=\"Is a directory\" n=\"21\"/>"), std::string::npos) << log.Text();
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

TEST(EncodingNames, NamesMapToCodePagesThatIconvCanConvert) {
    for (const EncodingName& row : AllEncodingNames()) {
        bool convertible = !platform::IconvNameForCodePage(row.codePage).empty();
        EXPECT_EQ(CodePageOfEncoding(row.name), convertible ? row.codePage : kUnrecognisedEncoding) << row.name;
    }
    const std::pair<std::string, unsigned> cases[] = {
        {"", platform::kAnsiCodePage}, {"Gb2312", 936}, {"gbk ", kUnrecognisedEncoding}};
    for (const auto& [name, codePage] : cases) {
        EXPECT_EQ(CodePageOfEncoding(name), codePage) << name;
    }
    // Two names differ only when both are recognised.
    EXPECT_FALSE(EncodingsDiffer("GB2312", "cp936"));
    EXPECT_TRUE(EncodingsDiffer("UTF-8", ""));
    EXPECT_FALSE(EncodingsDiffer("no-such-encoding", "UTF-8"));
}

}  // namespace
}  // namespace tarvane
