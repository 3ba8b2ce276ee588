#include "tarvane/shell/controls/link_label.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "tarvane/shell/controls/open_url.h"

namespace tarvane {
namespace {

struct FakeLauncher : UrlLauncher {
    bool Launch(const QString& url, bool newWindow) override {
        opened.push_back(url);
        newWindows.push_back(newWindow);
        return succeed;
    }
    bool succeed = true;
    std::vector<QString> opened;
    std::vector<bool> newWindows;
};

// The parent of a label: counts the presses that reach it (a press on the background drags the window).
struct Parent : QWidget {
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        QWidget::mousePressEvent(event);
    }
    int presses = 0;
};

void MoveOver(QWidget& widget) {
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), QPointF(2, 2), widget.mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

const QRect kTemplate(20, 30, 120, 40);

TEST(OpenUrlTest, RefusesEmptyAndOptionLikeAddresses) {
    FakeLauncher launcher;
    EXPECT_FALSE(OpenUrlSucceeded(OpenUrl(QString(), false, launcher)));
    EXPECT_FALSE(OpenUrlSucceeded(OpenUrl(QStringLiteral("  "), false, launcher)));
    EXPECT_FALSE(OpenUrlSucceeded(OpenUrl(QStringLiteral("--help"), false, launcher)));
    EXPECT_TRUE(launcher.opened.empty());

    EXPECT_TRUE(OpenUrlSucceeded(OpenUrl(QStringLiteral("http://a.localhost/"), true, launcher)));
    launcher.succeed = false;
    EXPECT_FALSE(OpenUrlSucceeded(OpenUrl(QStringLiteral("http://b.localhost/"), false, launcher)));
    ASSERT_EQ(launcher.opened.size(), 2u);
    EXPECT_EQ(launcher.opened[0], QStringLiteral("http://a.localhost/"));
    EXPECT_EQ(launcher.newWindows, (std::vector<bool>{true, false}));
}

TEST(LinkLabelTest, TakesItsTextAsAddressAndShowsAnAddressWhenItHasNoText) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel named(QStringLiteral("http://www.quellora.localhost/"), kTemplate, 1037, launcher, &parent);
    EXPECT_EQ(named.linkUrl(), QStringLiteral("http://www.quellora.localhost/"));
    EXPECT_EQ(named.toolTip(), named.linkUrl());
    EXPECT_EQ(named.cursor().shape(), Qt::PointingHandCursor);

    CLinkLabel empty(QString(), kTemplate, 1038, launcher, &parent);
    empty.SetLinkUrl(QStringLiteral("http://game.quellora.localhost/"));
    EXPECT_EQ(empty.text(), QStringLiteral("http://game.quellora.localhost/"));
    EXPECT_EQ(empty.toolTip(), empty.linkUrl());
    // Fitted to the new text, from the template's top left corner.
    EXPECT_EQ(empty.pos(), kTemplate.topLeft());
    EXPECT_GE(empty.width(), empty.fontMetrics().horizontalAdvance(empty.text()));

    // A null text changes nothing.
    empty.SetLinkText(QString());
    EXPECT_EQ(empty.text(), QStringLiteral("http://game.quellora.localhost/"));
}

TEST(LinkLabelTest, FittingKeepsTheEdgeOrCentreItsAlignmentNames) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel label(QStringLiteral("射击游戏"), kTemplate, 1052, launcher, &parent);
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

TEST(LinkLabelTest, UnderlineFollowsItsModeWhileHoveredAndAfterLeaving) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel label(QStringLiteral("link"), kTemplate, 1000, launcher, &parent);
    QPoint cursor = label.mapToGlobal(QPoint(1, 1));
    label.SetCursorSource([&cursor] { return cursor; });
    const QPoint outside = label.mapToGlobal(QPoint(-5, -5));

    struct Case {
        int mode;
        bool underlinedOver;
        bool underlinedOut;
    };
    for (const Case& c : {Case{-1, true, false}, Case{0, false, false}, Case{1, true, true}}) {
        SCOPED_TRACE(c.mode);
        label.SetUnderlineMode(c.mode);
        EXPECT_EQ(label.IsUnderlined(), c.underlinedOut);
        cursor = label.mapToGlobal(QPoint(1, 1));
        MoveOver(label);
        EXPECT_TRUE(label.isOver());
        EXPECT_TRUE(label.HoverTimerActive());
        EXPECT_EQ(label.TextColor(), label.hoverColor());
        EXPECT_EQ(label.IsUnderlined(), c.underlinedOver);
        // Still inside: the check keeps the hover.
        label.CheckHover();
        EXPECT_TRUE(label.isOver());
        cursor = outside;
        label.CheckHover();
        EXPECT_FALSE(label.isOver());
        EXPECT_FALSE(label.HoverTimerActive());
        EXPECT_EQ(label.TextColor(), label.linkColor());
        EXPECT_EQ(label.IsUnderlined(), c.underlinedOut);
    }
}

TEST(LinkLabelTest, TheHoverTimerNoticesALeaveWithoutAnyEvent) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel label(QStringLiteral("link"), kTemplate, 1000, launcher, &parent);
    QPoint cursor = label.mapToGlobal(QPoint(1, 1));
    label.SetCursorSource([&cursor] { return cursor; });
    MoveOver(label);
    cursor = label.mapToGlobal(QPoint(0, label.height() + 3));
    EXPECT_TRUE(label.isOver());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !label.isOver(); }, 5000));
    EXPECT_FALSE(label.IsUnderlined());
    EXPECT_FALSE(label.HoverTimerActive());
}

TEST(LinkLabelTest, ClickOpensTheAddressAndVisitedFollowsTheLastClick) {
    FakeLauncher launcher;
    Parent parent;
    CLinkLabel label(QStringLiteral("http://www.quellora.localhost/"), kTemplate, 1037, launcher, &parent);
    label.openInNewWindow = true;
    QSignalSpy clicked(&label, &CLinkLabel::linkLabelClicked);

    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_EQ(launcher.opened[0], QStringLiteral("http://www.quellora.localhost/"));
    EXPECT_TRUE(launcher.newWindows[0]);
    EXPECT_TRUE(label.isVisited());
    EXPECT_EQ(label.TextColor(), label.visitedColor());
    EXPECT_EQ(clicked.count(), 0);  // the parent is told only when asked for
    EXPECT_EQ(parent.presses, 0);   // the press must not start dragging the window behind

    launcher.succeed = false;
    label.Click();
    EXPECT_FALSE(label.isVisited());
    EXPECT_EQ(label.TextColor(), label.linkColor());

    // An empty address opens nothing and does not count as visited.
    launcher.succeed = true;
    label.SetLinkUrl(QString());
    label.Click();
    EXPECT_EQ(launcher.opened.size(), 2u);
    EXPECT_FALSE(label.isVisited());
}

TEST(LinkLabelTest, CategoryLabelNotifiesItsParentInsteadOfOpening) {
    FakeLauncher launcher;
    QWidget parent;
    CLinkLabel label(QStringLiteral("解谜冒险"), kTemplate, 1063, launcher, &parent);
    const QColor white(255, 255, 255);
    label.SetLinkColors(white, white, QColor());
    EXPECT_EQ(label.hoverColor(), label.palette().color(QPalette::Highlight));
    label.SetLinkColors(white, white, QColor(0, 0, 0));
    label.SetBackColor(QColor(248, 124, 0));
    label.SetUnderlineMode(0);
    label.openUrlOnClick = false;
    label.notifyParent = true;
    QSignalSpy clicked(&label, &CLinkLabel::linkLabelClicked);

    label.Click();
    EXPECT_TRUE(launcher.opened.empty());
    EXPECT_TRUE(label.isVisited());
    EXPECT_EQ(label.TextColor(), white);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toInt(), 1063);
    EXPECT_EQ(label.grab().toImage().pixel(0, 0), qRgb(248, 124, 0));

    // Without a parent window there is nobody to tell.
    CLinkLabel orphan(QStringLiteral("x"), kTemplate, 1062, launcher);
    orphan.openUrlOnClick = false;
    orphan.notifyParent = true;
    QSignalSpy orphanClicked(&orphan, &CLinkLabel::linkLabelClicked);
    orphan.Click();
    EXPECT_EQ(orphanClicked.count(), 0);
}

}  // namespace
}  // namespace tarvane
