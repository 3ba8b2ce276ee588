#include "tarvane/shell/resources/artwork.h"

#include <gtest/gtest.h>

#include <QImage>

#include "tarvane/shell/controls/hover_button.h"

namespace tarvane {
namespace {

TEST(ArtworkTest, EveryPictureIsThereAtItsSize) {
    artwork::InitArtwork();
    struct Expected {
        const char* path;
        QSize size;
    };
    const Expected pictures[] = {
        {artwork::kBackground, {983, 611}},   {artwork::kToolbarNew, {261, 47}},
        {artwork::kToolbarStart, {261, 47}},  {artwork::kToolbarPause, {261, 47}},
        {artwork::kToolbarDelete, {261, 47}}, {artwork::kToolbarOptions, {261, 47}},
        {artwork::kToolbarHelp, {261, 47}},   {artwork::kToolbarAbout, {261, 47}},
        {artwork::kClose, {66, 22}},          {artwork::kMinimise, {66, 22}},
        {artwork::kMainIcon, {256, 256}},     {artwork::kRowIdle, {16, 16}},
        {artwork::kRowFailed, {16, 16}},      {artwork::kRowDownloading, {16, 16}},
    };
    for (const Expected& picture : pictures) {
        SCOPED_TRACE(picture.path);
        const QImage image(QString::fromLatin1(picture.path));
        EXPECT_EQ(image.size(), picture.size);
    }
}

TEST(ArtworkTest, StripsHaveThreeDistinctImagesThatBlendIntoTheBackground) {
    artwork::InitArtwork();
    const QImage background(QString::fromLatin1(artwork::kBackground));
    ASSERT_FALSE(background.isNull());
    struct Strip {
        const char* path;
        QPoint place;  // where the button sits on the background
    };
    const Strip strips[] = {{artwork::kToolbarNew, {18, 48}},
                            {artwork::kToolbarAbout, {828, 48}},
                            {artwork::kClose, {939, 11}},
                            {artwork::kMinimise, {915, 11}}};
    for (const Strip& strip : strips) {
        SCOPED_TRACE(strip.path);
        CHoverButton button;
        ASSERT_TRUE(button.LoadStateBitmap(QString::fromLatin1(strip.path)));
        const QImage image(QString::fromLatin1(strip.path));
        const int w = button.imageWidth();
        const QImage normal = image.copy(0, 0, w, image.height());
        EXPECT_NE(normal, image.copy(w, 0, w, image.height()));
        EXPECT_NE(normal, image.copy(2 * w, 0, w, image.height()));
        // The normal image's corner is the colour of the band it sits on.
        EXPECT_EQ(normal.pixel(0, 0) & 0xffffff, background.pixel(strip.place) & 0xffffff);
    }
}

}  // namespace
}  // namespace tarvane
