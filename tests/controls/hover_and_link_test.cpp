#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "tarvane/shell/controls/hover_button.h"
#include "tarvane/shell/controls/link_label.h"
#include "tarvane/shell/controls/open_url.h"
#include "tarvane/shell/resources/artwork.h"

namespace tarvane {
namespace {

TEST(HoverButtonTest, TakesTheSizeOfOneImageAndShowsTheImageOfEachState) {
    enum { kNormal, kPressed, kHover };
    const QRgb colors[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)};
    // A 3 x 4 image per state, side by side in strip order.
    QImage strip(9, 4, QImage::Format_RGB32);
    QPainter painter(&strip);
    for (int i = 0; i < 3; ++i) {
        painter.fillRect(3 * i, 0, 3, 4, QColor(colors[i]));
    }
    painter.end();

    QWidget parent;
    CHoverButton button(&parent);
    button.setGeometry(30, 40, 100, 100);
    ASSERT_TRUE(button.LoadStateBitmap(QPixmap::fromImage(strip)));
    EXPECT_EQ(button.geometry(), QRect(30, 40, 3, 4));
    // A strip that cannot be read keeps the one loaded before.
    EXPECT_FALSE(button.LoadStateBitmap(QStringLiteral(":/no/such/strip.png")));
    EXPECT_FALSE(button.LoadStateBitmap(QPixmap()));
    EXPECT_EQ(button.imageWidth(), 3);

    const auto shown = [&button] { return button.grab().toImage().pixel(1, 1); };
    EXPECT_EQ(shown(), colors[kNormal]);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&button, &enter);
    EXPECT_TRUE(button.hover());
    EXPECT_EQ(shown(), colors[kHover]);
    // Pressed while the mouse is over it: pressed wins.
    button.setDown(true);
    EXPECT_EQ(shown(), colors[kPressed]);
    button.setDown(false);
    // Disabled shows the normal image even under the mouse.
    button.setEnabled(false);
    EXPECT_EQ(shown(), colors[kNormal]);
    button.setEnabled(true);
    EXPECT_EQ(shown(), colors[kHover]);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_FALSE(button.hover());
    EXPECT_EQ(shown(), colors[kNormal]);
}

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

struct FakeLauncher : UrlLauncher {
    bool Launch(const QString& url, bool newWindow) override {
        opened.emplace_back(url, newWindow);
        return succeed;
    }
    bool succeed = true;
    std::vector<std::pair<QString, bool>> opened;  // address, new window
};

// The parent of a label: counts the presses that reach it (a press on the background drags the window).
struct Parent : QWidget {
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        QWidget::mousePressEvent(event);
    }
    int presses = 0;
};

const QRect kTemplate(20, 30, 120, 40);

TEST(OpenUrlTest, RefusesEmptyAndOptionLikeAddresses) {
    FakeLauncher launcher;
    for (const QString& refused : {QString(), QStringLiteral("  "), QStringLiteral("--help")}) {
        EXPECT_FALSE(OpenUrlSucceeded(OpenUrl(refused, false, launcher)));
    }
    EXPECT_TRUE(launcher.opened.empty());
    EXPECT_TRUE(OpenUrlSucceeded(OpenUrl(QStringLiteral("http://a.localhost/"), true, launcher)));
    launcher.succeed = false;
    EXPECT_FALSE(OpenUrlSucceeded(OpenUrl(QStringLiteral("http://b.localhost/"), false, launcher)));
    EXPECT_EQ(launcher.opened,
              (std::vector<std::pair<QString, bool>>{{"http://a.localhost/", true}, {"http://b.localhost/", false}}));
}

TEST(LinkLabelTest, TextAndAddressStandForEachOtherAndTheLabelFitsItsText) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel named(QStringLiteral("http://www.quellora.localhost/"), kTemplate, 1037, launcher, &parent);
    EXPECT_EQ(named.linkUrl(), QStringLiteral("http://www.quellora.localhost/"));
    EXPECT_EQ(named.toolTip(), named.linkUrl());
    EXPECT_EQ(named.cursor().shape(), Qt::PointingHandCursor);

    CLinkLabel label(QString(), kTemplate, 1038, launcher, &parent);
    label.SetLinkUrl(QStringLiteral("http://game.quellora.localhost/"));
    EXPECT_EQ(label.text(), QStringLiteral("http://game.quellora.localhost/"));
    EXPECT_EQ(label.toolTip(), label.linkUrl());
    EXPECT_EQ(label.pos(), kTemplate.topLeft());
    EXPECT_GE(label.width(), label.fontMetrics().horizontalAdvance(label.text()));
    // A null text changes nothing.
    label.SetLinkText(QString());
    EXPECT_EQ(label.text(), QStringLiteral("http://game.quellora.localhost/"));

    // Fitting keeps the edge or centre the alignment names.
    label.SetLinkText(QString::fromUtf8("射击游戏"));
    EXPECT_EQ(label.pos(), kTemplate.topLeft());
    EXPECT_LT(label.width(), kTemplate.width());
    label.setGeometry(kTemplate);
    label.setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label.FitToText();
    EXPECT_NEAR(label.geometry().center().x(), kTemplate.center().x(), 1);
    EXPECT_NEAR(label.geometry().center().y(), kTemplate.center().y(), 1);
    label.setGeometry(kTemplate);
    label.setAlignment(Qt::AlignRight | Qt::AlignTop);
    label.FitToText();
    EXPECT_EQ(label.geometry().right(), kTemplate.right());
    EXPECT_EQ(label.geometry().top(), kTemplate.top());
    label.setGeometry(kTemplate);
    label.fitToText = false;
    label.FitToText();
    EXPECT_EQ(label.geometry(), kTemplate);
}

TEST(LinkLabelTest, HoverColourAndUnderlineFollowTheCursorAndTheTimerNoticesALeave) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel label(QStringLiteral("link"), kTemplate, 1000, launcher, &parent);
    QPoint cursor;
    label.SetCursorSource([&cursor] { return cursor; });
    const auto moveOver = [&] {
        cursor = label.mapToGlobal(QPoint(1, 1));
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), label.mapToGlobal(QPointF(2, 2)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&label, &move);
    };

    struct Case {
        int mode;
        bool underlinedOver;
        bool underlinedOut;
    };
    for (const Case& c : {Case{-1, true, false}, Case{0, false, false}, Case{1, true, true}}) {
        SCOPED_TRACE(c.mode);
        label.SetUnderlineMode(c.mode);
        EXPECT_EQ(label.IsUnderlined(), c.underlinedOut);
        moveOver();
        EXPECT_TRUE(label.isOver());
        EXPECT_TRUE(label.HoverTimerActive());
        EXPECT_EQ(label.TextColor(), label.hoverColor());
        EXPECT_EQ(label.IsUnderlined(), c.underlinedOver);
        // Still inside: the check keeps the hover.
        label.CheckHover();
        EXPECT_TRUE(label.isOver());
        cursor = label.mapToGlobal(QPoint(-5, -5));
        label.CheckHover();
        EXPECT_FALSE(label.isOver());
        EXPECT_FALSE(label.HoverTimerActive());
        EXPECT_EQ(label.TextColor(), label.linkColor());
        EXPECT_EQ(label.IsUnderlined(), c.underlinedOut);
    }

    // A fast exit leaves no event inside the label: the timer finds it.
    label.SetUnderlineMode(-1);
    moveOver();
    cursor = label.mapToGlobal(QPoint(0, label.height() + 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !label.isOver(); }, 5000));
    EXPECT_FALSE(label.IsUnderlined());
    EXPECT_FALSE(label.HoverTimerActive());
}

TEST(LinkLabelTest, ClickOpensTheAddressOrNotifiesTheParent) {
    FakeLauncher launcher;
    Parent parent;
    CLinkLabel label(QStringLiteral("http://www.quellora.localhost/"), kTemplate, 1037, launcher, &parent);
    label.openInNewWindow = true;
    QSignalSpy clicked(&label, &CLinkLabel::linkLabelClicked);

    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    EXPECT_EQ(launcher.opened, (std::vector<std::pair<QString, bool>>{{"http://www.quellora.localhost/", true}}));
    EXPECT_TRUE(label.isVisited());
    EXPECT_EQ(label.TextColor(), label.visitedColor());
    EXPECT_EQ(clicked.count(), 0);  // the parent is told only when asked for
    EXPECT_EQ(parent.presses, 0);   // the press must not start dragging the window behind
    // A failed or empty address is not visited.
    launcher.succeed = false;
    label.Click();
    EXPECT_FALSE(label.isVisited());
    EXPECT_EQ(label.TextColor(), label.linkColor());
    launcher.succeed = true;
    label.SetLinkUrl(QString());
    label.Click();
    EXPECT_EQ(launcher.opened.size(), 2u);
    EXPECT_FALSE(label.isVisited());

    // A category label tells its parent instead of opening.
    CLinkLabel category(QString::fromUtf8("解谜冒险"), kTemplate, 1063, launcher, &parent);
    const QColor white(255, 255, 255);
    category.SetLinkColors(white, white, QColor());
    EXPECT_EQ(category.hoverColor(), category.palette().color(QPalette::Highlight));
    category.SetLinkColors(white, white, QColor(0, 0, 0));
    category.SetBackColor(QColor(248, 124, 0));
    category.openUrlOnClick = false;
    category.notifyParent = true;
    QSignalSpy categoryClicked(&category, &CLinkLabel::linkLabelClicked);
    category.Click();
    EXPECT_EQ(launcher.opened.size(), 2u);
    EXPECT_TRUE(category.isVisited());
    EXPECT_EQ(category.TextColor(), white);
    ASSERT_EQ(categoryClicked.count(), 1);
    EXPECT_EQ(categoryClicked.at(0).at(0).toInt(), 1063);
    EXPECT_EQ(category.grab().toImage().pixel(0, 0), qRgb(248, 124, 0));
    // Without a parent window there is nobody to tell.
    category.setParent(nullptr);
    category.Click();
    EXPECT_EQ(categoryClicked.count(), 1);
}

}  // namespace
}  // namespace tarvane
