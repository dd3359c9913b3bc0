// Manholes in the real window: a street with a road way, a curb axis, a manhole and the label
// "Водоканал" beside it. P and a right click pick the manhole (its owner line shows); a
// Shift+right click adds the label and key 2 makes its text the owner (the label goes, the owner's glyphs
// show, Ctrl+T moves them); the owner check reports every manhole owned; the manhole table has its header
// and one row; F2 saves a file that reads back to the street in the window.
#include "e2e/E2ESupport.h"
#include "editors/KolodEditors.h"
#include "engine/Cp1251Qt.h"
#include "engine/DxRenderer.h"
#include "objects/AxisItem.h"
#include "objects/KolodItem.h"
#include "objects/TextLabelItem.h"
#include "shell/DrawBox.h"
#include "shell/ItemsControl.h"
#include "shell/MainPlan.h"
#include "shell/StreetTableForm.h"

#include <QAction>

#include <cmath>

namespace {

using namespace e2etest;

class ManholesE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        street_ = dir_.File("Manholes.zrv");
        TStreetStructure street;
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
        auto *axis = dynamic_cast<TAxisItem *>(MakeItem(street, AxisTypeCode, {{100, 50, 0}, {160, 50, 0}}));
        axis->SetName(Cp("1"));
        axis->SetTechAttr(Cp("KolodRef"));
        street.SetMainAxis(axis);
        MakeItem(street, KolodTypeCode, {{130, 53, 0}});
        auto *label = dynamic_cast<TTextLabelItem *>(MakeItem(street, TextLabelTypeCode, {{131, 56, 0}}));
        label->SetText(Cp("Водоканал"));
        label->SetSize(8);
        street.SaveToFile(street_);
    }

    std::string street_;
};

TEST_F(ManholesE2E, OwnerFromALabelCheckedReportedAndSaved) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    startUp.ProcessCommandLine({QString::fromStdString(street_)});
    ASSERT_TRUE(WaitUntil([&] { return form.Renderer() != nullptr && !form.NeedRedraw(); }));
    TStreetStructure &street = form.CurrentStreet();
    ASSERT_EQ(street.Lists(KolodTypeCode).Count(), 1);
    auto *manhole = dynamic_cast<TKolodItem *>(street.Lists(KolodTypeCode).Items(0));
    ASSERT_NE(manhole, nullptr);
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    const auto pixel = [&](float x, float y) {
        const TXYZ p = plan.GroundToScreen({x, y, 0});
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    };
    // Dark pixels where the owner's glyphs go: right of the manhole and above it.
    const auto ownerInk = [&] {
        TdxRenderer &r = *form.Renderer();
        std::vector<uint8_t> rows(std::size_t(r.Width()) * r.Height() * 4);
        r.Device().GetRenderTargetData(rows.data(), r.Width() * 4);
        const QPoint from = pixel(130.5f, 55), to = pixel(133, 53.4f);
        std::vector<bool> ink;
        for (int y = from.y(); y <= to.y(); ++y)
            for (int x = from.x(); x <= to.x(); ++x) {
                const uint8_t *b = &rows[(std::size_t(y) * r.Width() + x) * 4];
                ink.push_back(b[0] < 80 && b[1] < 80 && b[2] < 80);
            }
        return ink;
    };
    const auto count = [](const std::vector<bool> &v) { return int(std::count(v.begin(), v.end(), true)); };
    EXPECT_EQ(count(ownerInk()), 0) << "no owner yet";

    // P (the point pick), a right click on the manhole: its owner line shows.
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);
    QTest::keyClick(drawBox, Qt::Key_P);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(130, 53));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{manhole});
    EXPECT_TRUE(WaitUntil([&] {
        const auto *grid = form.findChild<TInfoGrid *>(QStringLiteral("InfoGrid"));
        for (int r = 0; r < grid->rowCount(); ++r)
            for (int c = 0; c < grid->columnCount(); ++c)
                if (const TInfoGrid::TCell *cell = grid->Cell(r, c);
                    cell && cell->Text.startsWith(QStringLiteral("Принадлежность")))
                    return true;
        return false;
    }));

    // Shift and a right click add the label; key 2 makes its text the owner and deletes it.
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::ShiftModifier, pixel(131, 56));
    ASSERT_EQ(items->Selection().size(), 2u);
    QTest::keyClick(drawBox, Qt::Key_2);
    EXPECT_EQ(manhole->Owner(), Cp("Водоканал"));
    EXPECT_EQ(street.Lists(TextLabelTypeCode).Count(), 0);
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    const std::vector<bool> before = ownerInk();
    EXPECT_GT(count(before), 5) << "the owner's glyphs";

    // Ctrl+T moves them.
    items->ClearSelection();
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(130, 53));
    QTest::keyClick(drawBox, Qt::Key_T, Qt::ControlModifier);
    EXPECT_EQ(manhole->TextAlign(), 7);
    form.RefreshAll();
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_NE(ownerInk(), before);

    // The owner check, then the manhole table.
    TKolodEditorModule *module = nullptr;
    for (TContextDataModule *m : LiveContextModules())
        if (auto *k = qobject_cast<TKolodEditorModule *>(m))
            module = k;
    ASSERT_NE(module, nullptr);
    TFloatingAction::UpdateAll();
    module->SaveReport->Click();
    ASSERT_FALSE(TStreetTableForm::All().empty());
    TStreetTableForm *table = TStreetTableForm::All().back();
    EXPECT_EQ(table->windowTitle(), QStringLiteral("Таблица колодцев"));
    ASSERT_EQ(table->Table().RowCount(), 1);
    EXPECT_EQ(table->Table().Columns()[3], Cp("От борта"));
    EXPECT_EQ(table->Table().RowFields(0)[5], Cp("С"));
    EXPECT_EQ(table->Table().RowFields(0)[3], Cp("  3.0"));
    delete table;
    module->Check_Owner->Click();
    ASSERT_FALSE(prompts_.Messages().isEmpty());
    EXPECT_EQ(prompts_.Messages().back(), QStringLiteral("Принадлежность колодцев назначена."));
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-manholes.png")));

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = sptest::LoadBytes(sptest::ReadFileBytes(street_));
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    EXPECT_EQ(dynamic_cast<TKolodItem *>(back->Lists(KolodTypeCode).Items(0))->Owner(), Cp("Водоканал"));
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
