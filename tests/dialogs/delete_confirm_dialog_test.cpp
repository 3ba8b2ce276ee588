#include "tarvane/dialogs/delete_confirm_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "fakes.h"

namespace tarvane::test {
namespace {

TEST(DeleteConfirmDialogTest, AnswersFollowTheButtonAndTheBoxAndOnlyTheButtonsEndIt) {
    using Act = std::function<void(DeleteConfirmDialog&)>;
    const Act check = [](DeleteConfirmDialog& d) { d.DeleteFileBox()->click(); };
    const Act yes = [](DeleteConfirmDialog& d) { d.YesButton()->click(); };
    const Act no = [](DeleteConfirmDialog& d) { d.NoButton()->click(); };
    const Act escape = [](DeleteConfirmDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); };
    const Act enter = [](DeleteConfirmDialog& d) { QTest::keyClick(&d, Qt::Key_Return); };
    const std::vector<std::pair<std::vector<Act>, int>> cases = {{{yes}, kDeleteKeepFile},
                                                                 {{check, yes}, kDeleteWithFile},
                                                                 {{check, no}, kDeleteCancel},
                                                                 {{escape}, kDeleteCancel},
                                                                 {{check, enter}, kDeleteWithFile}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        DeleteConfirmDialog dialog;
        dialog.show();
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quellora"));
        EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(dialog.findChild<QLabel*>(QStringLiteral("icon"))->pixmap().isNull());
        EXPECT_FALSE(dialog.DeleteFileBox()->isChecked());
        // The window manager's close does not end it.
        dialog.close();
        EXPECT_TRUE(dialog.isVisible());
        for (const Act& act : cases[i].first) {
            act(dialog);
        }
        EXPECT_EQ(dialog.result(), cases[i].second) << i;
        EXPECT_FALSE(dialog.isVisible()) << i;
    }

    DeleteConfirmDialogAsker asker;
    WhenModal<DeleteConfirmDialog>([](DeleteConfirmDialog* dialog) {
        dialog->DeleteFileBox()->setChecked(true);
        dialog->YesButton()->click();
    });
    EXPECT_EQ(asker.Ask(nullptr), kDeleteWithFile);
}

}  // namespace
}  // namespace tarvane::test
