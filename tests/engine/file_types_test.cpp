#include "tarvane/engine/file_types.h"

#include <string>

#include <gtest/gtest.h>

namespace tarvane {
namespace {

TEST(ExtensionForMimeType, FindsTheTellingRows) {
    EXPECT_EQ(ExtensionForMimeType("application/octet-stream"), "exe");
    EXPECT_EQ(ExtensionForMimeType("application/x-troff-ms"), "me");
    EXPECT_EQ(ExtensionForMimeType("application/x-troff-me"), "me");
    EXPECT_EQ(ExtensionForMimeType("text/html"), "htm");
    EXPECT_EQ(ExtensionForMimeType("image/jpeg"), "jpg");
    EXPECT_EQ(ExtensionForMimeType("image/tiff"), "tif");
    EXPECT_EQ(ExtensionForMimeType("application/x-compress"), "z");
    EXPECT_EQ(ExtensionForMimeType("audio/x-dspeeh"), "dus");
    EXPECT_EQ(ExtensionForMimeType("workbook/formulaone"), "vts");
}

TEST(ExtensionForMimeType, IgnoresCaseButNotBlanksOrParameters) {
    EXPECT_EQ(ExtensionForMimeType("APPLICATION/ZIP"), "zip");
    EXPECT_EQ(ExtensionForMimeType("Text/Plain"), "txt");
    EXPECT_EQ(ExtensionForMimeType("text/html "), "");
    EXPECT_EQ(ExtensionForMimeType(" text/html"), "");
    EXPECT_EQ(ExtensionForMimeType("text/html; charset=utf-8"), "");
    EXPECT_EQ(ExtensionForMimeType("text/htm"), "");
    EXPECT_EQ(ExtensionForMimeType(""), "");
    EXPECT_EQ(ExtensionForMimeType("text/\xD6\xD0\xCE\xC4"), "");
}

TEST(ExtensionFromUrl, TakesThePointOfTheLastPathSegmentOnly) {
    EXPECT_EQ(ExtensionFromUrl("http://h/dl/game.part1.rar"), "rar");
    EXPECT_EQ(ExtensionFromUrl("http://h/dl/setup.exe?id=3.5"), "exe");
    EXPECT_EQ(ExtensionFromUrl("http://h/dl/setup?id=3.5"), "");
    EXPECT_EQ(ExtensionFromUrl("http://h/v1.2/download"), "");
    EXPECT_EQ(ExtensionFromUrl("http://h/"), "");
    EXPECT_EQ(ExtensionFromUrl("http://files.example.com"), "");  // a point in the host is no extension
    EXPECT_EQ(ExtensionFromUrl("https://h:8443/a/B.ZIP"), "ZIP");
    EXPECT_EQ(ExtensionFromUrl("ftp://h/pub/archive.tar.gz#part"), "gz");
    EXPECT_EQ(ExtensionFromUrl("http://h/name."), "");
    EXPECT_EQ(ExtensionFromUrl("http://h/\xD3\xCE\xCF\xB7.rar"), "rar");
    EXPECT_EQ(ExtensionFromUrl("not a url.zip"), "");
    EXPECT_EQ(ExtensionFromUrl("mailto://x/a.zip"), "");
}

}  // namespace
}  // namespace tarvane
