// The common item editor: its lines over a selection, the group chooser, the reference-axis pick with a
// fake view, and the attributes menu of Space.
#include "EditorsTestSupport.h"

#include "editors/ItemEditor.h"
#include "model/NameValueList.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"

#include <algorithm>

namespace {

using namespace editortest;

class ItemEditorTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        RegisterContextModule<TItemEditorModule>();
        road = Box(RoadWayTypeCode, 0, 0, 20, 10);
        walk = Box(TrotuarTypeCode, 0, 10, 20, 13);
        axis = Make(AxisTypeCode, {{0, 30, 0}, {100, 30, 0}});
    }
    void TearDown() override {
        UnregisterContextModule(QStringLiteral("TItemEditorModule"));
        EditorTest::TearDown();
    }
    TItemEditorModule *Module() const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *e = qobject_cast<TItemEditorModule *>(m))
                return e;
        return nullptr;
    }
    TMouseEventArgs LeftUpAt(int x, int y) {
        TMouseEventArgs e;
        e.Button = Qt::LeftButton;
        e.X = x;
        e.Y = y;
        return e;
    }
    void ClickOnView(int x, int y) {
        ASSERT_NE(mode, nullptr);
        TMouseEvents *m = mode;
        m->MouseDown(LeftUpAt(x, y));
        m->MouseUp(LeftUpAt(x, y));
    }

    TAbstractItem *road = nullptr, *walk = nullptr, *axis = nullptr;
};

TEST_F(ItemEditorTest, LivesWithAnySelectionAndShowsItsLines) {
    Select({});
    EXPECT_EQ(Module(), nullptr);
    road->SetGroupName(Cp("Г"));
    road->SetComment(Cp("к1"));
    walk->SetComment(Cp("к2"));
    road->SetReferAxis(axis);
    Select({road, walk});
    TItemEditorModule *m = Module();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->ItemGroupInfo->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(m->ItemGroupInfo->TextColor, DifferentColour);
    EXPECT_EQ(m->CommentInfo->GetInfo(), QStringLiteral("к1(***)"));
    EXPECT_EQ(m->CommentInfo->TextColor, DifferentColour);
    EXPECT_EQ(m->Comment2Info->GetInfo(), QString());
    EXPECT_EQ(m->Comment2Info->TextColor, QColor(Qt::black));
    EXPECT_EQ(m->ReferAxisInfo->GetInfo(), QStringLiteral("***"));
    EXPECT_FALSE(m->ReferAxisInfo->OnClick) << "the axis is picked on the plan, not typed";
    walk->SetReferAxis(axis);
    EXPECT_EQ(m->ReferAxisInfo->GetInfo(), ToQString(axis->GetItemName()));
    EXPECT_EQ(m->ReferAxisInfo->TextColor, Teal);
    TFloatingAction::UpdateAll();
    EXPECT_FALSE(m->ExecuteAttribsMenu->Visible()) << "Space only, no button";
    EXPECT_TRUE(m->ExecuteAttribsMenu->Enabled());
}

TEST_F(ItemEditorTest, TheCommentClickAsksAfterOkOrCancel) {
    road->SetComment(Cp("к1"));
    walk->SetComment(Cp("к2"));
    Select({road, walk});
    prompts_.CancelText().Answer(TPromptAnswer::No);
    Module()->CommentInfo->DoClick();
    EXPECT_TRUE(prompts_.Done());
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("ask: Установить для остальных выбранных ?")));
    EXPECT_EQ(road->Comment(), Cp("к1"));
    EXPECT_EQ(walk->Comment(), Cp("к2"));
    prompts_.EnterText(QStringLiteral("новое")).Answer(TPromptAnswer::Yes);
    Module()->Comment2Info->DoClick();
    EXPECT_EQ(road->Comment2(), Cp("новое"));
    EXPECT_EQ(walk->Comment2(), Cp("новое"));
    const QString caption =
        QStringLiteral("edit: ") + ToQString(road->GetDisplayName()) + QStringLiteral(":примечание2 = ");
    EXPECT_TRUE(std::any_of(prompts_.Log().begin(), prompts_.Log().end(),
                            [&](const QString &line) { return line.startsWith(caption); }));
}

TEST_F(ItemEditorTest, TheGroupChooserOffersTheSortedGroupsAndAppliesToAll) {
    TNameValueList groups;
    groups.SetText(Cp("Южная=ON\r\nАллея=OFF\r\n"));
    street.SetGroupNames(groups);
    road->SetGroupName(Cp("Южная"));
    walk->SetGroupName(Cp("Аллея"));
    Select({road, walk});
    EXPECT_FALSE(walk->Active) << "its group is off";
    prompts_.Select(0);
    Module()->ItemGroupInfo->DoClick();
    EXPECT_EQ(prompts_.LastSelectItems(),
              (QStringList{QString(), QStringLiteral("Аллея"), QStringLiteral("Южная")}));
    EXPECT_TRUE(prompts_.Log().back().contains(QStringLiteral("Имя группы")));
    // The empty entry: the empty group, and so active; no question.
    EXPECT_EQ(road->GroupName(), Cp1251String());
    EXPECT_EQ(walk->GroupName(), Cp1251String());
    EXPECT_TRUE(walk->Active);
    EXPECT_TRUE(prompts_.Done());
    EXPECT_TRUE(street.Modified());
}

TEST_F(ItemEditorTest, TheAxisPickKeepsTheAxesUntilItEnds) {
    TAbstractItem *other = Make(AxisTypeCode, {{0, 50, 0}, {100, 50, 0}});
    road->SetReferAxis(other);
    walk->SetReferAxis(other);
    Select({road, walk});
    TMouseEvents before;
    mode = &before;
    Module()->ReferAxis->Click();
    ASSERT_EQ(mode, Module()->SelectReferAxisMode);
    EXPECT_EQ(mode->Cursor, ReferAxisCursor);
    EXPECT_EQ(road->GetReferAxis(), other) << "nothing changes before the pick";
    ClickOnView(400, 305); // 0.5 m from the axis
    EXPECT_EQ(road->GetReferAxis(), axis);
    EXPECT_EQ(walk->GetReferAxis(), axis);
    EXPECT_EQ(mode, &before) << "the mode before comes back";

    // Leaving the mode another way changes nothing.
    Module()->ReferAxis->Click();
    mode = &before;
    UpdateContextModules();
    EXPECT_EQ(road->GetReferAxis(), axis);

    // Empty ground clears them.
    Module()->ReferAxis->Click();
    ClickOnView(400, 1000);
    EXPECT_EQ(road->ReferAxis.Items(0), nullptr);
    EXPECT_EQ(walk->ReferAxis.Items(0), nullptr);
}

TEST_F(ItemEditorTest, SpaceOffersEveryEditableLineShown) {
    Select({road});
    TInfoStringAction extra;
    extra.setText(QStringLiteral("Чужая"));
    bool clicked = false;
    extra.OnClick = [&](TInfoStringAction *) { clicked = true; };
    prompts_.Menu(-1);
    Module()->ExecuteAttribsMenu->Click();
    const QStringList shown = prompts_.LastMenuEntries();
    EXPECT_TRUE(shown.contains(QStringLiteral("Группа")));
    EXPECT_TRUE(shown.contains(QStringLiteral("Примечание")));
    EXPECT_TRUE(shown.contains(QStringLiteral("Примечание2")));
    EXPECT_FALSE(shown.contains(QStringLiteral("Ссылочная ось"))) << "no click, no entry";
    ASSERT_TRUE(shown.contains(QStringLiteral("Чужая")));
    prompts_.Menu(int(shown.indexOf(QStringLiteral("Чужая"))));
    Module()->ExecuteAttribsMenu->Click();
    EXPECT_TRUE(clicked);
}

} // namespace
