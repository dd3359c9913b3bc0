// The manhole and grating editors: which actions hold for a selection, the owner line with the common
// Cancel rule, the alignment steps, the owner taken from a label by hand and automatically (the label
// deleted through the street), the owner check, and the manhole and grating tables.
#include "EditorsTestSupport.h"

#include "editors/KolodEditors.h"
#include "objects/AxisItem.h"
#include "objects/KolodItem.h"
#include "objects/TextLabelItem.h"
#include "shell/FloatingActions.h"
#include "shell/InfoStringActions.h"
#include "shell/StreetTableForm.h"

namespace {

using namespace editortest;

class KolodEditorsTest : public EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        RegisterContextModule<TKolodEditorModule>();
        RegisterContextModule<TReshetEditorModule>();
    }
    void TearDown() override {
        for (const char *name : {"TKolodEditorModule", "TReshetEditorModule"})
            UnregisterContextModule(QString::fromLatin1(name));
        EditorTest::TearDown();
    }
    TKolodItem *Manhole(float x, float y, const char *owner = nullptr) {
        auto *k = dynamic_cast<TKolodItem *>(Make(KolodTypeCode, {{x, y, 0}}));
        if (owner)
            k->SetOwner(Cp(owner));
        return k;
    }
    TTextLabelItem *Label(float x, float y, const char *text) {
        auto *l = dynamic_cast<TTextLabelItem *>(Make(TextLabelTypeCode, {{x, y, 0}}));
        l->SetText(Cp(text));
        return l;
    }
    TAxisItem *Axis(float y0, float y1, const char *tech, const char *name) {
        auto *a = dynamic_cast<TAxisItem *>(Make(AxisTypeCode, {{0, y0, 0}, {100, y1, 0}}));
        a->SetTechAttr(Cp(tech));
        a->SetName(Cp(name));
        return a;
    }
    TKolodEditorModule *Module() const {
        for (TContextDataModule *m : LiveContextModules())
            if (auto *t = qobject_cast<TKolodEditorModule *>(m))
                return t;
        return nullptr;
    }
    int Labels() const { return street.Lists(TextLabelTypeCode).Count(); }
    void Clear() {
        street.Selection().Clear();
        std::vector<TAbstractItem *> all;
        for (int code : {KolodTypeCode, TextLabelTypeCode, ReshetTypeCode, AxisTypeCode, RoadWayTypeCode})
            for (const auto &i : street.Lists(code))
                all.push_back(i.get());
        street.DeleteItems(all);
    }
};

TEST_F(KolodEditorsTest, ActionsHoldForTheirSelections) {
    TKolodItem *k1 = Manhole(0, 0), *k2 = Manhole(5, 0);
    TTextLabelItem *label = Label(1, 0, "Водоканал");
    Select({k1, k2});
    ASSERT_NE(Module(), nullptr);
    TFloatingAction::UpdateAll();
    EXPECT_TRUE(Module()->KolodOwnerInfo->IsValid());
    EXPECT_TRUE(Module()->AutoOwnerAction->Enabled());
    EXPECT_TRUE(Module()->Check_Owner->Enabled());
    EXPECT_TRUE(Module()->SaveReport->Enabled());
    EXPECT_FALSE(Module()->OwnerFromTextAction->Enabled());
    EXPECT_EQ(Module()->TextAlign->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    EXPECT_EQ(Module()->OwnerFromTextAction->shortcut(), QKeySequence(Qt::Key_2));

    // A manhole and a label: only the owner from the text holds.
    Select({k1, label});
    TFloatingAction::UpdateAll();
    EXPECT_TRUE(Module()->OwnerFromTextAction->Enabled());
    EXPECT_FALSE(Module()->KolodOwnerInfo->IsValid());
    EXPECT_FALSE(Module()->AutoOwnerAction->Enabled());
    EXPECT_FALSE(Module()->SaveReport->Enabled());
    // The label first: no manhole module at all.
    Select({label, k1});
    EXPECT_EQ(Module(), nullptr);
}

TEST_F(KolodEditorsTest, OwnerLineKeepsTheCancelRule) {
    TKolodItem *k1 = Manhole(0, 0, "МГТС"), *k2 = Manhole(5, 0, "Мосэнерго");
    Select({k1, k2});
    TInfoStringAction *line = Module()->KolodOwnerInfo;
    EXPECT_EQ(line->GetInfo(), QStringLiteral("***"));
    // Cancel leaves the focused manhole as it was; the question still comes, and Yes gives the others
    // what the focused one holds.
    street.ClearModified();
    prompts_.CancelText().Answer(TPromptAnswer::Yes);
    line->DoClick();
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("edit: Принадлежность колодца = МГТС")));
    EXPECT_EQ(k1->Owner(), Cp("МГТС"));
    EXPECT_EQ(k2->Owner(), Cp("МГТС"));
    // Ok sets the focused one; No keeps the other.
    prompts_.EnterText(QStringLiteral("Водоканал")).Answer(TPromptAnswer::No);
    line->DoClick();
    EXPECT_EQ(k1->Owner(), Cp("Водоканал"));
    EXPECT_EQ(k2->Owner(), Cp("МГТС"));
    EXPECT_TRUE(street.Modified());
    EXPECT_TRUE(prompts_.Done());
}

TEST_F(KolodEditorsTest, AlignmentStepsSkippingTheMiddle) {
    const std::pair<uint8_t, uint8_t> steps[] = {{0, 1}, {2, 3}, {3, 5}, {5, 6}, {7, 8}, {8, 0}, {6, 7}};
    for (const auto &[from, to] : steps)
        EXPECT_EQ(TKolodEditorModule::NextTextAlign(from), to) << int(from);
    TKolodItem *k = Manhole(0, 0);
    k->SetTextAlign(3);
    Select({k});
    TFloatingAction::UpdateAll();
    ASSERT_TRUE(Module()->TextAlign->Visible());
    Module()->TextAlign->Click();
    EXPECT_EQ(k->TextAlign(), 5);
}

TEST_F(KolodEditorsTest, OwnerFromTextDeletesTheLabelThroughTheStreet) {
    TKolodItem *k = Manhole(0, 0);
    TTextLabelItem *label = Label(1, 0, "Водоканал");
    TConnectedItems holder(false, 0);
    holder.Bind(&street);
    holder.AddItem(label);
    Select({k, label});
    TFloatingAction::UpdateAll();
    Module()->OwnerFromTextAction->Click();
    EXPECT_EQ(k->Owner(), Cp("Водоканал"));
    EXPECT_EQ(Labels(), 0);
    EXPECT_EQ(street.Selection().IndexOf(label), -1);
    EXPECT_EQ(holder.Count(), 0) << "every reference to the label is purged";
    EXPECT_TRUE(k->Points.Changed());
}

TEST_F(KolodEditorsTest, AutoOwnerTakesOnlyAClearlyNearestLabel) {
    const struct {
        const char *Name;
        std::vector<float> Labels; // distances east of the manhole; the first is "A", the next "B"...
        const char *Owner;         // the manhole's before
        const char *Expected;      // after
        int LabelsLeft;
    } cases[] = {
        {"2 m and 3.5 m: not clear", {2, 3.5f}, nullptr, "", 2},
        {"2 m and 4.5 m", {2, 4.5f}, nullptr, "A", 1},
        {"2 m and 4 m: exactly half counts", {2, 4}, nullptr, "A", 1},
        {"one label 10.5 m away", {10.5f}, nullptr, "", 1},
        {"one label 9.5 m away", {9.5f}, nullptr, "A", 0},
        {"an owned manhole keeps its owner", {2}, "МГТС", "МГТС", 1},
    };
    for (const auto &c : cases) {
        TKolodItem *k = Manhole(0, 0, c.Owner);
        char name = 'A';
        for (float d : c.Labels)
            Label(d, 0, std::string(1, name++).c_str());
        Select({k});
        TFloatingAction::UpdateAll();
        Module()->AutoOwnerAction->Click();
        EXPECT_EQ(k->Owner(), Cp(c.Expected)) << c.Name;
        EXPECT_EQ(Labels(), c.LabelsLeft) << c.Name;
        Clear();
    }

    // Two manholes near one label: the first in the selection takes it, the second finds none left.
    TKolodItem *k1 = Manhole(0, 0), *k2 = Manhole(2, 0);
    Label(1.2f, 0, "Водоканал");
    Select({k1, k2});
    TFloatingAction::UpdateAll();
    Module()->AutoOwnerAction->Click();
    EXPECT_EQ(k1->Owner(), Cp("Водоканал"));
    EXPECT_TRUE(k2->Owner().Empty());
    EXPECT_EQ(Labels(), 0);
}

TEST_F(KolodEditorsTest, CheckOwnerLeavesTheManholesWithoutOwnerSelected) {
    TKolodItem *k1 = Manhole(0, 0, "МГТС"), *k2 = Manhole(5, 0), *k3 = Manhole(9, 0, "МГТС"),
               *k4 = Manhole(12, 0);
    Select({k1, k2, k3, k4});
    TFloatingAction::UpdateAll();
    Module()->Check_Owner->Click();
    ASSERT_EQ(prompts_.Messages().size(), 1);
    EXPECT_EQ(prompts_.Messages().back(), QStringLiteral("Не назначена принадлежность колодцев. 2 шт."));
    ASSERT_EQ(street.Selection().Count(), 2);
    EXPECT_EQ(street.Selection().IndexOf(k1), -1);
    EXPECT_NE(street.Selection().IndexOf(k2), -1);
    EXPECT_NE(street.Selection().IndexOf(k4), -1);

    Select({k1, k3});
    TFloatingAction::UpdateAll();
    Module()->Check_Owner->Click();
    EXPECT_EQ(prompts_.Messages().back(), QStringLiteral("Принадлежность колодцев назначена."));
    EXPECT_EQ(street.Selection().Count(), 0);
}

TEST_F(KolodEditorsTest, ManholeAndGratingTables) {
    TAxisItem *axis = Axis(0, 0, "", "1");
    axis->SetLeftSideName(Cp("нечет"));
    axis->SetRightSideName(Cp("чет"));
    Axis(5, 5, "KolodRef", "бр1");     // 2 m from the first manhole
    Axis(-10, -10, "kolodref", "бр2"); // 13 m from it
    Axis(3.5f, 3.5f, "PasspSq", "п");  // nearer, but no curb
    Box(RoadWayTypeCode, 0, -2, 30, 4);
    TKolodItem *inRoad = Manhole(10, 3, "Водоканал");
    TKolodItem *right = Manhole(20, -1);
    TKolodItem *before = Manhole(-5, 0.5f);
    TKolodItem *inactive = Manhole(12, 1, "МГТС");
    TKolodItem *bare = Manhole(40, 1);
    auto *grating = dynamic_cast<TReshetItem *>(Make(ReshetTypeCode, {{15, -1.5f, 0}, {16, -1.5f, 0}}));
    for (TAbstractItem *i : std::initializer_list<TAbstractItem *>{inRoad, right, before, inactive, grating})
        i->SetReferAxis(axis);
    inactive->Active = false;
    inRoad->SetComment(Cp("люк"));
    const std::vector<TAbstractItem *> items{inRoad, right, before, inactive, bare, grating};
    const TReportTable t = MakeItemReport(TKolodEditorModule::ReportSpec(), items);
    const std::vector<Cp1251String> header{
        Cp("Ось"),    Cp("Сторона"), Cp("По оси"),         Cp("От борта"),
        Cp("На чем"), Cp("Тип"),     Cp("Принадлежность"), Cp("Примечание")};
    EXPECT_EQ(t.Columns(), header);
    ASSERT_EQ(t.RowCount(), 4) << "the inactive manhole and the grating are left out";
    const struct {
        int Row;
        std::vector<const char *> Fields;
    } rows[] = {
        {0, {"1", "нечет", " 10.0", "  2.0", "Проезжая часть", "С", "Водоканал", "люк"}},
        // At a lateral offset of 0 or below: right. Beyond the start of every curb axis: no distance.
        {1, {"1", "чет", " 20.0", "  6.0", "Проезжая часть", "С", "", ""}},
        {2, {"1", "нечет", " -5.0", "", "", "С", "", ""}},
        {3, {"nil", "???", "  0.0", "  4.0", "", "С", "", ""}},
    };
    for (const auto &r : rows) {
        ASSERT_EQ(t.RowFields(r.Row).size(), 8u);
        for (std::size_t f = 0; f < 8; ++f)
            EXPECT_EQ(t.RowFields(r.Row)[f], Cp(r.Fields[f])) << r.Row << " " << f;
    }
    EXPECT_EQ(t.RowObject(0), ItemRowObject(*inRoad));

    const TReportTable g = MakeItemReport(TReshetEditorModule::ReportSpec(), items);
    EXPECT_EQ(g.Columns(), header);
    ASSERT_EQ(g.RowCount(), 1);
    const std::vector<Cp1251String> row = g.RowFields(0);
    EXPECT_EQ(row[1], Cp("чет"));
    EXPECT_EQ(row[3], Cp("  6.5"));
    EXPECT_EQ(row[4], Cp("Проезжая часть"));
    EXPECT_EQ(row[5], Cp("Р"));
    EXPECT_EQ(row[6], Cp1251String());

    // No curb axis at all: the cell stays empty (never a huge number).
    Clear();
    TKolodItem *alone = Manhole(1, 1);
    const std::vector<TAbstractItem *> lone{alone};
    EXPECT_EQ(MakeItemReport(TKolodEditorModule::ReportSpec(), lone).RowFields(0)[3], Cp1251String());

    // The table window of the selection.
    Select({alone});
    TFloatingAction::UpdateAll();
    Module()->SaveReport->Click();
    ASSERT_FALSE(TStreetTableForm::All().empty());
    TStreetTableForm *window = TStreetTableForm::All().back();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Таблица колодцев"));
    EXPECT_EQ(window->Table().RowCount(), 1);
    delete window;
}

} // namespace
