#include "tarvane/dialogs/delete_confirm_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fakes.h"

namespace tarvane::test {
namespace {

TEST(DeleteConfirmDialogTest, AnswersFollowTheButtonAndTheBox) {
    struct Case {
        const char* name;
        std::function<void(DeleteConfirmDialog&)> act;
        int expected;
    };
    const std::vector<Case> cases = {
        {"yes", [](DeleteConfirmDialog& d) { d.YesButton()->click(); }, kDeleteKeepFile},
        {"yes with file",
         [](DeleteConfirmDialog& d) {
             d.DeleteFileBox()->click();
             d.YesButton()->click();
         },
         kDeleteWithFile},
        {"box checked and unchecked",
         [](DeleteConfirmDialog& d) {
             d.DeleteFileBox()->click();
             d.DeleteFileBox()->click();
             d.YesButton()->click();
         },
         kDeleteKeepFile},
        {"no with the box checked",
         [](DeleteConfirmDialog& d) {
             d.DeleteFileBox()->click();
             d.NoButton()->click();
         },
         kDeleteCancel},
        {"escape", [](DeleteConfirmDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }, kDeleteCancel},
        {"enter", [](DeleteConfirmDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }, kDeleteKeepFile},
    };
    for (const Case& c : cases) {
        DeleteConfirmDialog dialog;
        dialog.show();
        EXPECT_FALSE(dialog.DeleteFileBox()->isChecked()) << c.name;
        c.act(dialog);
        EXPECT_EQ(dialog.result(), c.expected) << c.name;
        EXPECT_FALSE(dialog.isVisible()) << c.name;
    }
}

TEST(DeleteConfirmDialogTest, CaptionIconAndNoCloseButton) {
    DeleteConfirmDialog dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quellora"));
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    auto* icon = dialog.findChild<QLabel*>(QStringLiteral("icon"));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    // The window manager's close does not end it either.
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
}

TEST(DeleteConfirmDialogTest, AskerReturnsTheModalResult) {
    DeleteConfirmDialogAsker asker;
    WhenModal<DeleteConfirmDialog>([](DeleteConfirmDialog* dialog) {
        dialog->DeleteFileBox()->setChecked(true);
        dialog->YesButton()->click();
    });
    EXPECT_EQ(asker.Ask(nullptr), kDeleteWithFile);
}

}  // namespace
}  // namespace tarvane::test
