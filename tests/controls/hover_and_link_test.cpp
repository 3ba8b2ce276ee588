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

namespace tarvane {
namespace {

TEST(HoverButtonTest, ShowsTheImageOfEachState) {
    enum { kNormal, kPressed, kHover };
    const QRgb colors[] = {qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200)};
    // A 3 x 4 image per state, side by side in strip order.
    QImage strip(9, 4, QImage::Format_RGB32);
    QPainter painter(&strip);
    for (int i = 0; i < 3; ++i) {
        painter.fillRect(3 * i, 0, 3, 4, QColor(colors[i]));
    }
    painter.end();

    CHoverButton button;
    ASSERT_TRUE(button.LoadStateBitmap(QPixmap::fromImage(strip)));

    const auto shown = [&button] { return button.grab().toImage().pixel(1, 1); };
    EXPECT_EQ(shown(), colors[kNormal]);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(shown(), colors[kHover]);
    // Pressed while the mouse is over it: pressed wins.
    button.setDown(true);
    EXPECT_EQ(shown(), colors[kPressed]);
    button.setDown(false);
    // Disabled shows the normal image even under the mouse.
    button.setEnabled(false);
    EXPECT_EQ(shown(), colors[kNormal]);
    button.setEnabled(true);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(shown(), colors[kNormal]);
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
    EXPECT_TRUE(OpenUrlSucceeded(OpenUrl(QStringLiteral("http://a.localhost/"), true, launcher)));
    launcher.succeed = false;
    EXPECT_FALSE(OpenUrlSucceeded(OpenUrl(QStringLiteral("http://b.localhost/"), false, launcher)));
    EXPECT_EQ(launcher.opened,
              (std::vector<std::pair<QString, bool>>{{"http://a.localhost/", true}, {"http://b.localhost/", false}}));
}

TEST(LinkLabelTest, HoverColourAndUnderlineFollowTheCursorAndTheTimerNoticesALeave) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel label(QStringLiteral("link"), kTemplate, 1000, launcher, &parent);
    QPoint cursor;
    label.SetCursorSource([&cursor] { return cursor; });
    label.SetUnderlineMode(-1);  // underlined only under the mouse
    cursor = label.mapToGlobal(QPoint(1, 1));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), label.mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&label, &move);
    EXPECT_TRUE(label.isOver());
    EXPECT_EQ(label.TextColor(), label.hoverColor());
    EXPECT_TRUE(label.IsUnderlined());
    // A fast exit leaves no event inside the label: the timer finds it.
    cursor = label.mapToGlobal(QPoint(0, label.height() + 3));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !label.isOver(); }, 5000));
    EXPECT_FALSE(label.HoverTimerActive());
    EXPECT_EQ(label.TextColor(), label.linkColor());
    EXPECT_FALSE(label.IsUnderlined());
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
    EXPECT_EQ(clicked.count(), 0);  // the parent is told only when asked for
    EXPECT_EQ(parent.presses, 0);   // the press must not start dragging the window behind

    // A category label tells its parent instead of opening.
    CLinkLabel category(QString::fromUtf8("解谜冒险"), kTemplate, 1063, launcher, &parent);
    category.openUrlOnClick = false;
    category.notifyParent = true;
    QSignalSpy categoryClicked(&category, &CLinkLabel::linkLabelClicked);
    category.Click();
    EXPECT_EQ(launcher.opened.size(), 1u);
    ASSERT_EQ(categoryClicked.count(), 1);
    EXPECT_EQ(categoryClicked.at(0).at(0).toInt(), 1063);
}

}  // namespace
}  // namespace tarvane
