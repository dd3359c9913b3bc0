// The property editors of road ways in the real window: two road ways of different materials selected
// show "***" in grey for the material; a new material given to both turns the line black; a category
// given to the focused one only; Cancel on the comment still asks and changes nothing; the area table
// lists both road ways and "Выбрать" on its second row selects that one alone; F2 saves what was edited.
#include "e2e/E2ESupport.h"
#include "shell/DrawBox.h"
#include "shell/FloatingActions.h"
#include "shell/ItemsControl.h"
#include "shell/StreetTableForm.h"
#include "objects/RoadWay.h"

#include <QTableWidget>

namespace {

using namespace e2etest;

class SurfaceEditorsE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        street_ = dir_.File("Surfaces.zrv");
        TStreetStructure street;
        auto *lower = dynamic_cast<TRoadWayItem *>(
            MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}}));
        auto *upper = dynamic_cast<TRoadWayItem *>(
            MakeItem(street, RoadWayTypeCode, {{100, 70, 0}, {160, 70, 0}, {160, 82, 0}, {100, 82, 0}}));
        lower->SetMaterial(Cp("Асфальт"));
        upper->SetMaterial(Cp("Бетон"));
        MakeItem(street, TrotuarTypeCode, {{100, 62, 0}, {160, 62, 0}, {160, 66, 0}, {100, 66, 0}});
        street.SaveToFile(street_);
    }

    std::string street_;
};

TFloatingAction *ShownAction(const char *name) {
    for (TFloatingAction *a : TFloatingAction::All())
        if (a->objectName() == QLatin1String(name) && a->Visible() && a->Enabled())
            return a;
    return nullptr;
}

TEST_F(SurfaceEditorsE2E, EditTwoRoadWaysTabulateThemAndSelectARow) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenStreetInWindow(startUp, street_));
    TStreetStructure &street = form.CurrentStreet();
    auto *lower = dynamic_cast<TRoadWayItem *>(street.Lists(RoadWayTypeCode).Items(0));
    auto *upper = dynamic_cast<TRoadWayItem *>(street.Lists(RoadWayTypeCode).Items(1));
    ASSERT_TRUE(lower && upper);
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);

    // S, a right click on one road way and a Shift+right click on the other.
    QTest::keyClick(drawBox, Qt::Key_S);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, PlanPixel(form, {130, 56, 0}));
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::ShiftModifier, PlanPixel(form, {130, 76, 0}));
    ASSERT_EQ(items->Selection().size(), 2u);
    ASSERT_TRUE(WaitUntil([&] { return InfoValue(form, QStringLiteral("Материал")) == QStringLiteral("***"); }))
        << InfoValue(form, QStringLiteral("Материал")).toStdString();
    EXPECT_EQ(InfoCell(form, QStringLiteral("Материал"))->Fore, QColor(128, 128, 128));
    EXPECT_NE(InfoCell(form, QStringLiteral("Площадь общ.")), nullptr);
    auto *focused = dynamic_cast<TRoadWayItem *>(items->CurrentItem());
    ASSERT_TRUE(focused == lower || focused == upper);
    TRoadWayItem *other = focused == lower ? upper : lower;

    // The material, answered Yes to the question: both take it and the line turns black.
    prompts_.EnterText(QStringLiteral("Асфальтобетон")).Answer(TPromptAnswer::Yes);
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Материал")));
    EXPECT_TRUE(prompts_.Log().contains(QStringLiteral("ask: Установить для остальных выбранных ?")))
        << prompts_.Log().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(lower->Material(), Cp("Асфальтобетон"));
    EXPECT_EQ(upper->Material(), Cp("Асфальтобетон"));
    ASSERT_TRUE(WaitUntil([&] {
        return InfoValue(form, QStringLiteral("Материал")) == QStringLiteral("Асфальтобетон");
    }));
    EXPECT_EQ(InfoCell(form, QStringLiteral("Материал"))->Fore, QColor(Qt::black));

    // Space offers the editable lines; the category, answered No: the focused road way only.
    prompts_.Menu(-1);
    QTest::keyClick(drawBox, Qt::Key_Space);
    const QStringList entries = prompts_.LastMenuEntries();
    int category = -1;
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].startsWith(QStringLiteral("Категория пасп.")))
            category = i;
    ASSERT_GE(category, 0) << entries.join(QLatin1Char('|')).toStdString();
    prompts_.Menu(category).EnterText(QStringLiteral("II")).Answer(TPromptAnswer::No);
    QTest::keyClick(drawBox, Qt::Key_Space);
    EXPECT_EQ(focused->PasspCategory(), Cp("II"));
    EXPECT_TRUE(other->PasspCategory().Empty());

    // Cancel on the comment still asks; No changes nothing.
    const Cp1251String focusedComment = focused->Comment(), otherComment = other->Comment();
    prompts_.CancelText().Answer(TPromptAnswer::No);
    ASSERT_TRUE(ClickInfoLine(form, QStringLiteral("Примечание")));
    EXPECT_EQ(prompts_.Log().back(), QStringLiteral("ask: Установить для остальных выбранных ?"));
    EXPECT_EQ(focused->Comment(), focusedComment);
    EXPECT_EQ(other->Comment(), otherComment);
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-surface-editors.png")));

    // The area table: both road ways; "Выбрать" on the second row selects that one alone.
    TFloatingAction *report = ShownAction("AreaReport");
    ASSERT_NE(report, nullptr);
    report->trigger();
    ASSERT_TRUE(WaitUntil([] { return !TStreetTableForm::All().empty(); }));
    TStreetTableForm *table = TStreetTableForm::All().back();
    EXPECT_EQ(table->windowTitle(), QStringLiteral("Таблица площадных объектов"));
    auto *grid = table->findChild<QTableWidget *>();
    ASSERT_NE(grid, nullptr);
    const std::vector<TAbstractItem *> all = [&] {
        grid->selectAll();
        return table->SelectedRowItems();
    }();
    ASSERT_EQ(all.size(), 2u);
    grid->clearSelection();
    grid->selectRow(grid->rowCount() - 1);
    table->SelectRows();
    EXPECT_EQ(items->Selection(), std::vector<TAbstractItem *>{all[1]});
    table->close();

    // F2; the file read back holds the values.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(street_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    const auto *backFocused =
        dynamic_cast<TRoadWayItem *>(back->Lists(RoadWayTypeCode).Items(focused == lower ? 0 : 1));
    ASSERT_NE(backFocused, nullptr);
    EXPECT_EQ(backFocused->Material(), Cp("Асфальтобетон"));
    EXPECT_EQ(backFocused->PasspCategory(), Cp("II"));
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
