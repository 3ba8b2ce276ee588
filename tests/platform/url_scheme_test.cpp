#include "platform/url_scheme.h"

#include <gtest/gtest.h>

#include "platform/file_replace.h"
#include "tests/support/temp_dir.h"

namespace platform {
namespace {

UrlSchemeFolders FoldersIn(const tarvane::test::TempDir& dir) {
    return {dir.File("data/applications"), dir.File("config/mimeapps.list")};
}

TEST(UrlScheme, EntryIsWrittenOnceAndMadeTheDefault) {
    tarvane::test::TempDir dir;
    UrlSchemeFolders folders = FoldersIn(dir);
    ASSERT_EQ(RegisterUrlScheme("/opt/game tools/tarvane", folders), UrlSchemeResult::Written);
    std::string entry = tarvane::test::ReadFile(folders.applications + "/tarvane-url-handler.desktop");
    EXPECT_NE(entry.find("\nExec=\"/opt/game tools/tarvane\" %u\n"), std::string::npos);
    EXPECT_NE(entry.find("\nMimeType=x-scheme-handler/tarvane;\n"), std::string::npos);
    std::string defaults = tarvane::test::ReadFile(folders.mimeappsList);
    EXPECT_NE(defaults.find("[Default Applications]"), std::string::npos);
    EXPECT_NE(defaults.find("x-scheme-handler/tarvane=tarvane-url-handler.desktop;"), std::string::npos);

    EXPECT_EQ(RegisterUrlScheme("/opt/game tools/tarvane", folders), UrlSchemeResult::AlreadyRegistered);
    // The default taken by another program: written again, other defaults kept.
    tarvane::test::WriteFile(folders.mimeappsList,
                             "[Default Applications]\ntext/html=browser.desktop\n"
                             "x-scheme-handler/tarvane=other.desktop;\n");
    EXPECT_EQ(RegisterUrlScheme("/opt/game tools/tarvane", folders), UrlSchemeResult::Written);
    defaults = tarvane::test::ReadFile(folders.mimeappsList);
    EXPECT_NE(defaults.find("text/html=browser.desktop"), std::string::npos);
    EXPECT_EQ(defaults.find("other.desktop"), std::string::npos);
}

TEST(UrlScheme, ExecQuotesWhatTheDesktopWouldOtherwiseReadAndUnwritableFoldersFail) {
    // Desktop entry strings unescape "\\" first, then the Exec quoting takes "\x" as x.
    EXPECT_EQ(UrlSchemeExec("/x$y/t\"v"), "\"/x\\\\$y/t\\\\\"v\" %u");
    EXPECT_EQ(UrlSchemeExec("/100%/tarvane"), "\"/100%%/tarvane\" %u");
    tarvane::test::TempDir dir;
    tarvane::test::WriteFile(dir.File("data"), "a file where the folder should be");
    EXPECT_EQ(RegisterUrlScheme("/bin/tarvane", FoldersIn(dir)), UrlSchemeResult::Failed);
}

}  // namespace
}  // namespace platform
