#include "platform/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_replace.h"
#include "platform/settings.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

using tarvane::test::ReadFile;
using tarvane::test::TempDirTest;
using tarvane::test::WriteFile;

// "中文" in code page 936; 0x81 0x5D is a two-byte character whose trail byte is ']'.
const std::string kGbk = "\xD6\xD0\xCE\xC4";
const std::string kTrailBracket = "\x81\x5D";

class SettingsFileTest : public TempDirTest {
protected:
    std::string Path() const { return temp_.File("config.ini"); }
    SettingsFile File() const { return SettingsFile(Path()); }

    unsigned Mode() const {
        struct stat info {};
        EXPECT_EQ(stat(Path().c_str(), &info), 0);
        return info.st_mode & 07777;
    }

    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(temp_.path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
};

TEST_F(SettingsFileTest, AFailedReplaceKeepsTheOldFileAndCreateOnlyNeverReplaces) {
    WriteFile(Path(), "old");
    auto partial = [](int fd) { return WriteAll(fd, "part") && false; };
    EXPECT_NE(ReplaceFile(Path(), partial), 0);
    ReplaceOptions createOnly;
    createOnly.createOnly = true;
    auto fresh = [](int fd) { return WriteAll(fd, "new"); };
    EXPECT_EQ(ReplaceFile(Path(), fresh, createOnly), 0);
    EXPECT_EQ(ReadFile(Path()), "old");
    EXPECT_EQ(ReplaceFile(temp_.File("made.ini"), fresh, createOnly), 0);
    EXPECT_EQ(ReadFile(temp_.File("made.ini")), "new");
    EXPECT_EQ(FolderEntries().size(), 2u);  // no temporary file left behind
}

TEST_F(SettingsFileTest, NamesIgnoreCaseAndBlanksValuesLoseBlanksAndQuotesAndAreCut) {
    // A two-byte character across the limit is left out whole rather than split.
    WriteFile(Path(),
              "loose=1\n"
              "[Options]\r\n"
              "  PLAYAUDIOCMP =  0  \r\n"
              "maxTaskNum=07abc\n"
              "Ver=99999999999999\n"
              "[ defaultPxy ]\n"
              "ip = \"10.0.0.1\" \n"
              "userPwd=" +
                  std::string(258, 'a') + kGbk + "\n");
    SettingsFile file = File();
    EXPECT_EQ(file.ReadInt("options", "playAudioCmp", 1), 0);
    EXPECT_EQ(file.ReadInt(" OPTIONS ", "  maxtasknum ", 5), 7);
    EXPECT_EQ(file.ReadInt("options", "Ver", 0), INT_MAX);
    EXPECT_EQ(file.ReadInt("options", "missing", 5), 5);
    EXPECT_EQ(file.ReadInt("options", "loose", 5), 5);  // keys before any section belong to none
    EXPECT_EQ(file.ReadString("defaultpxy", "IP", "", 260), "10.0.0.1");
    EXPECT_EQ(file.ReadString("defaultPxy", "userPwd", "", 260), std::string(258, 'a'));
    EXPECT_EQ(file.ReadString("defaultPxy", "userPwd", "", 261), std::string(258, 'a') + kGbk.substr(0, 2));
    EXPECT_EQ(file.ReadString("defaultPxy", "missing", std::string(300, 'x'), 260), std::string(259, 'x'));
}

TEST_F(SettingsFileTest, MaxConnectionsIsEightWithoutANumberAndStaysWithinOneToSixteen) {
    Settings settings(temp_.Directory());
    const std::vector<std::pair<std::string, int>> stored = {
        {"", 8}, {"abc", 8}, {" 12 ", 12}, {"3x", 3}, {"17", 16}, {"0", 1}, {"-3", 1}, {"99999999999999999999", 16},
    };
    for (const auto& [text, count] : stored) {
        WriteFile(Path(), "[options]\nmaxConnections=" + text + "\n");
        EXPECT_EQ(settings.MaxConnections(), count) << text;
    }
}

TEST_F(SettingsFileTest, WriteCreatesAUserOnlyFileAndReadsBackGbkBytes) {
    SettingsFile file = File();
    ASSERT_TRUE(file.WriteString("options", "defaultPath", "/home/u/" + kGbk));
    EXPECT_EQ(Mode(), 0600u);
    ASSERT_TRUE(file.WriteString(kTrailBracket, "k", "bracket"));
    EXPECT_EQ(ReadFile(Path()), "[options]\ndefaultPath=/home/u/" + kGbk + "\n[" + kTrailBracket + "]\nk=bracket\n");
    EXPECT_EQ(file.ReadString("OPTIONS", "DEFAULTPATH", "", 3000), "/home/u/" + kGbk);
    EXPECT_EQ(file.ReadString(kTrailBracket, "k", "", 260), "bracket");
    // A trail byte that looks like a letter is no letter: these are two different characters.
    const std::string lower = std::string("\x81") + "a", upper = std::string("\x81") + "A";
    ASSERT_TRUE(file.WriteString("s", lower, "lower"));
    ASSERT_TRUE(file.WriteString("s", upper, "upper"));
    EXPECT_EQ(file.ReadString("s", lower, "", 260), "lower");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"config.ini"});  // no temporary file left behind
}

TEST_F(SettingsFileTest, WriteChangesOnlyTheValueAndKeepsEveryOtherByte) {
    const std::string original =
        "; written by hand\r\n"
        "[options]\r\n"
        "  maxTaskNum = 5 ; five\r\n"
        "odd line without equals\r\n"
        "[OPTIONS]\r\n"
        "maxTaskNum=9\r\n"
        "trailing=no newline";
    WriteFile(Path(), original);
    chmod(Path().c_str(), 0644);
    SettingsFile file = File();
    EXPECT_EQ(file.ReadInt("options", "maxTaskNum", 0), 5);  // the first section and key win

    ASSERT_TRUE(file.WriteString("Options", "MAXTASKNUM", "20"));
    ASSERT_TRUE(file.WriteString("options", "playAudioCmp", "0"));
    ASSERT_TRUE(file.WriteString("OPTIONS", "trailing", "yes"));
    ASSERT_TRUE(file.WriteString("main", "Ver", "3"));
    EXPECT_EQ(ReadFile(Path()),
              "; written by hand\r\n"
              "[options]\r\n"
              "  maxTaskNum =20\r\n"
              "odd line without equals\r\n"
              "playAudioCmp=0\r\n"
              "[OPTIONS]\r\n"
              "maxTaskNum=9\r\n"
              "trailing=yes\r\n"
              "[main]\r\n"
              "Ver=3\r\n");
    EXPECT_EQ(Mode(), 0644u);  // a rewrite keeps the mode it found
}

TEST_F(SettingsFileTest, LineBreaksAndSeparatorsCannotInjectKeysOrSections) {
    SettingsFile file = File();
    ASSERT_TRUE(file.WriteString("defaultPxy", "userPwd", "secret"));
    const std::string before = ReadFile(Path());
    EXPECT_FALSE(file.WriteString("defaultPxy", "userPwd", "x\n[main]\nVer=99"));
    EXPECT_FALSE(file.WriteString("defaultPxy", "userPwd", "x\r[main]"));
    EXPECT_FALSE(file.WriteString("defaultPxy", "ip=Ver", "1"));  // would read as key "ip"
    EXPECT_FALSE(file.WriteString("defaultPxy", "[main", "1"));
    EXPECT_FALSE(file.WriteString("main]\n[options", "Ver", "1"));
    EXPECT_FALSE(file.WriteString("a\x81", "Ver", "1"));  // the ']' would become a trail byte
    // A batch with one such entry stores none of them.
    EXPECT_EQ(file.WriteStrings({{"main", "Ver", "7"}, {"defaultPxy", "userPwd", "x\ny"}}), EINVAL);
    EXPECT_EQ(ReadFile(Path()), before);
    // '=' and '[' inside a value are plain text.
    ASSERT_TRUE(file.WriteString("defaultPxy", "userPwd", "a=b[c]"));
    EXPECT_EQ(file.ReadString("defaultPxy", "userPwd", "", 260), "a=b[c]");
}

TEST_F(SettingsFileTest, WriteFollowsLinksAndNeverDestroysWhatItCannotRead) {
    const std::string real = temp_.File("real.ini");
    WriteFile(real, "[main]\nVer=2\n");
    ASSERT_EQ(symlink(real.c_str(), Path().c_str()), 0);
    ASSERT_TRUE(File().WriteString("main", "Ver", "5"));
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_EQ(ReadFile(real), "[main]\nVer=5\n");

    const std::string folder = temp_.File("folder.ini");
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(SettingsFile(folder).WriteString("main", "Ver", "5"));
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    const std::string pipe = temp_.File("pipe.ini");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    SettingsFile notAFile(pipe);
    EXPECT_EQ(notAFile.ReadInt("main", "Ver", 1), 1);  // returns instead of waiting for a writer
    EXPECT_FALSE(notAFile.WriteString("main", "Ver", "5"));

    // Bytes that are no INI survive a write.
    const char kJunk[] = "\x7FPK\0\r[\x81]=\xFF";
    const std::string junk = std::string(kJunk, sizeof kJunk - 1) + std::string(100, '\0');
    WriteFile(real, junk);
    ASSERT_TRUE(File().WriteString("options", "maxTaskNum", "7"));
    EXPECT_EQ(ReadFile(real), junk + "\n[options]\nmaxTaskNum=7\n");
}

}  // namespace
}  // namespace platform
