#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tarvane/shell/resources/artwork.h"

int main(int argc, char** argv) {
    // Listing the tests runs without a display too.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    tarvane::artwork::InitArtwork();
    return RUN_ALL_TESTS();
}
