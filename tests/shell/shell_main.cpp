#include <curl/curl.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tarvane/shell/resources/artwork.h"

int main(int argc, char** argv) {
    // Listing the tests runs without a display too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    curl_global_init(CURL_GLOBAL_ALL);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    tarvane::artwork::InitArtwork();
    int result = RUN_ALL_TESTS();
    curl_global_cleanup();
    return result;
}
