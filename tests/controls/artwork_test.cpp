#include "tarvane/shell/resources/artwork.h"

#include <gtest/gtest.h>

#include <QImage>

#include "tarvane/shell/controls/hover_button.h"

namespace tarvane {
namespace {

namespace art = artwork;

TEST(ArtworkTest, EveryPictureIsThereAtItsSizeAndStripsBlendIntoTheBackground) {
    art::InitArtwork();
    const auto size = [](const char* path) { return QImage(QString::fromLatin1(path)).size(); };
    EXPECT_EQ(size(art::kBackground), QSize(983, 611));
    EXPECT_EQ(size(art::kMainIcon), QSize(256, 256));
    for (const char* path : {art::kToolbarNew, art::kToolbarStart, art::kToolbarPause, art::kToolbarDelete,
                             art::kToolbarOptions, art::kToolbarHelp, art::kToolbarAbout}) {
        EXPECT_EQ(size(path), QSize(261, 47)) << path;
    }
    for (const char* path : {art::kClose, art::kMinimise}) {
        EXPECT_EQ(size(path), QSize(66, 22)) << path;
    }
    for (const char* path : {art::kRowIdle, art::kRowFailed, art::kRowDownloading}) {
        EXPECT_EQ(size(path), QSize(16, 16)) << path;
    }

    // Each strip has three distinct images; the normal one's corner is the colour of the band the
    // button sits on.
    const QImage background(QString::fromLatin1(art::kBackground));
    const std::pair<const char*, QPoint> strips[] = {{art::kToolbarNew, {18, 48}},
                                                     {art::kToolbarAbout, {828, 48}},
                                                     {art::kClose, {939, 11}},
                                                     {art::kMinimise, {915, 11}}};
    for (const auto& [path, place] : strips) {
        SCOPED_TRACE(path);
        CHoverButton button;
        ASSERT_TRUE(button.LoadStateBitmap(QString::fromLatin1(path)));
        const QImage image(QString::fromLatin1(path));
        const int w = button.imageWidth();
        const QImage normal = image.copy(0, 0, w, image.height());
        EXPECT_NE(normal, image.copy(w, 0, w, image.height()));
        EXPECT_NE(normal, image.copy(2 * w, 0, w, image.height()));
        EXPECT_EQ(normal.pixel(0, 0) & 0xffffff, background.pixel(place) & 0xffffff);
    }
}

}  // namespace
}  // namespace tarvane
