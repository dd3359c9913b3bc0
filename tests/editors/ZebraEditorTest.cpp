// The zebra editor: when it lives, what its width and background lines show, and every click over Ok or
// Cancel, one or several selected, Yes or No; Cancel and refused widths change nothing.
#include "EditorsTestSupport.h"

#include "editors/ZebraEditor.h"
#include "objects/ZebraItem.h"
#include "shell/InfoStringActions.h"

namespace {

using namespace editortest;

class ZebraEditorTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        RegisterContextModule<TZebraEditorModule>();
        a = Zebra(0, 6.04f);
        b = Zebra(10, 6.0f);
        c = Zebra(20, 8.26f);
        street.ClearModified();
    }
    void TearDown() override {
        UnregisterContextModule(QStringLiteral("TZebraEditorModule"));
        EditorTest::TearDown();
    }
    TZebraItem *Zebra(float x, float width) {
        auto *z = dynamic_cast<TZebraItem *>(Make(ZebraTypeCode, {{x, 0, 0}, {x, 7, 0}}));
        z->Width = width;
        return z;
    }
    TZebraEditorModule *Live() const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *t = qobject_cast<TZebraEditorModule *>(m))
                return t;
        return nullptr;
    }

    TZebraItem *a = nullptr, *b = nullptr, *c = nullptr;
};

TEST_F(ZebraEditorTest, LivesForCrossingsOnlyAndShowsTheirValues) {
    TAbstractItem *road = Box(RoadWayTypeCode, 0, 0, 5, 5);
    Select({road, a});
    EXPECT_EQ(Live(), nullptr);
    Select({a, road});
    EXPECT_EQ(Live(), nullptr) << "a crossing focused among other items";
    Select({a, b});
    TZebraEditorModule *m = Live();
    ASSERT_NE(m, nullptr);
    // 6.04 and 6.0 are both shown as 6.0: equal by their texts.
    EXPECT_TRUE(m->ZebraWidthAction->IsValid());
    EXPECT_EQ(m->ZebraWidthAction->GetInfo(), QStringLiteral("6.0"));
    EXPECT_EQ(m->ZebraWidthAction->TextColor, QColor(Qt::black));
    EXPECT_EQ(m->ZebraBkgAction->GetInfo(), QStringLiteral("Нет"));
    Select({a, c});
    EXPECT_EQ(Live()->ZebraWidthAction->GetInfo(), QStringLiteral("***"));
    EXPECT_EQ(Live()->ZebraWidthAction->TextColor, DifferentColour);
    c->YellowBackground = 1;
    Select({c});
    EXPECT_EQ(Live()->ZebraBkgAction->GetInfo(), QStringLiteral("Да"));
    EXPECT_EQ(Live()->ZebraWidthAction->GetInfo(), QStringLiteral("8.3"));
}

TEST_F(ZebraEditorTest, WidthClicks) {
    struct TCase {
        const char *Name;
        bool Ok;
        const char *Typed;
        int Selected;
        bool Question;
        TPromptAnswer Answer;
        float A, B; // the widths after the click
        bool Modified;
        bool Refused;
    } cases[] = {
        {"Ok, one selected", true, "8", 1, false, TPromptAnswer::No, 8, 6, true, false},
        {"Ok, two, Yes", true, "7.5", 2, true, TPromptAnswer::Yes, 7.5f, 7.5f, true, false},
        {"Ok, two, No", true, "7.5", 2, true, TPromptAnswer::No, 7.5f, 6, true, false},
        {"Cancel, one: nothing changes", false, "", 1, false, TPromptAnswer::No, 6.04f, 6, false, false},
        {"Cancel, two, Yes: the exact width goes to the other", false, "", 2, true, TPromptAnswer::Yes, 6.04f,
         6.04f, true, false},
        {"Cancel, two, No", false, "", 2, true, TPromptAnswer::No, 6.04f, 6, false, false},
        {"a negative width is refused", true, "-2", 1, false, TPromptAnswer::No, 6.04f, 6, false, true},
        {"a width beyond a single is refused", true, "1e300", 2, true, TPromptAnswer::No, 6.04f, 6, false,
         true},
    };
    for (const TCase &t : cases) {
        SCOPED_TRACE(t.Name);
        a->Width = 6.04f;
        b->Width = 6.0f;
        street.ClearModified();
        if (t.Selected == 1)
            Select({a});
        else
            Select({a, b});
        if (t.Ok)
            prompts_.EnterText(QString::fromLatin1(t.Typed));
        else
            prompts_.CancelText();
        if (t.Question)
            prompts_.Answer(t.Answer);
        const qsizetype messages = prompts_.Messages().size(), logged = prompts_.Log().size();
        Live()->ZebraWidthAction->DoClick();
        EXPECT_TRUE(prompts_.Done());
        EXPECT_EQ(a->Width, t.A);
        EXPECT_EQ(b->Width, t.B);
        EXPECT_EQ(street.Modified(), t.Modified);
        EXPECT_EQ(prompts_.Messages().size() > messages, t.Refused);
        EXPECT_EQ(
            prompts_.Log().mid(logged).contains(QStringLiteral("ask: Установить для остальных выбранных ?")),
            t.Question);
    }
    // The dialog shows the focused width.
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("edit: Ширина зебры = 6.04")));
}

TEST_F(ZebraEditorTest, BackgroundChoiceAndItsOwnQuestion) {
    Select({a, b, c});
    prompts_.Select(1).Answer(TPromptAnswer::Yes);
    Live()->ZebraBkgAction->DoClick();
    EXPECT_TRUE(prompts_.Done());
    EXPECT_EQ(prompts_.LastSelectItems(), (QStringList{QStringLiteral("Нет"), QStringLiteral("Да")}));
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("ask: Установить для остальных выбранных ? ")));
    EXPECT_EQ(a->YellowBackground, 1);
    EXPECT_EQ(b->YellowBackground, 1);
    EXPECT_EQ(c->YellowBackground, 1);
    EXPECT_TRUE(street.Modified());
    EXPECT_EQ(Live()->ZebraBkgAction->GetInfo(), QStringLiteral("Да"));
    // The crossing is built again with its patches.
    EXPECT_GT(a->GetYellowArea().value_or(-1), 0);

    // "Нет" on the focused one only; Cancel asks nothing and changes nothing.
    prompts_.Select(0).Answer(TPromptAnswer::No);
    Live()->ZebraBkgAction->DoClick();
    EXPECT_EQ(a->YellowBackground, 0);
    EXPECT_EQ(b->YellowBackground, 1);
    street.ClearModified();
    prompts_.Select(1, false);
    Live()->ZebraBkgAction->DoClick();
    EXPECT_TRUE(prompts_.Done());
    EXPECT_EQ(a->YellowBackground, 0);
    EXPECT_FALSE(street.Modified());
}

} // namespace
