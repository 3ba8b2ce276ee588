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
    EXPECT_EQ(launcher.opened, (std::vector<QString>{"http://a.localhost/", "http://b.localhost/"}));
    EXPECT_EQ(launcher.newWindows, (std::vector<bool>{true, false}));
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
    EXPECT_EQ(launcher.opened, std::vector<QString>{"http://www.quellora.localhost/"});
    EXPECT_EQ(launcher.newWindows, std::vector<bool>{true});
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
