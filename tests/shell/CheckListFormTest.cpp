// The check-list dialog: the ticks it starts with, the buttons that tick or clear everything, and what it
// gives back.
#include "shell/CheckListForm.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(CheckListForm, StartsWithTheGivenTicksAndGivesBackTheUsersOnes) {
    TCheckListForm form("Заголовок", "Отметьте:", {"a", "b", "c"}, {true, false});
    EXPECT_EQ(form.windowTitle(), "Заголовок");
    auto *list = form.findChild<QListWidget *>("ItemsList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(1)->text(), "b");
    EXPECT_EQ(form.Ticked(), QList<bool>({true, false, false})) << "a missing tick is clear";
    list->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(form.Ticked(), QList<bool>({true, false, true}));
    form.findChild<QPushButton *>("ClearAllSB")->click();
    EXPECT_EQ(form.Ticked(), QList<bool>({false, false, false}));
    form.findChild<QPushButton *>("CheckAllSB")->click();
    EXPECT_EQ(form.Ticked(), QList<bool>({true, true, true}));
    form.findChild<QPushButton *>("OkSB")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(CheckListForm, WithoutTextOnlyTheListShows) {
    TCheckListForm form("Заголовок", "", {}, {});
    EXPECT_TRUE(form.findChild<QLabel *>("TextLabel")->isHidden());
    EXPECT_TRUE(form.Ticked().isEmpty());
    form.findChild<QPushButton *>("CancelSB")->click();
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

} // namespace
