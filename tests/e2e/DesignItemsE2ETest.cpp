// Design items in the real window: a street with a tiled figure, a library-style line and blocks opens and
// draws them; S and a right click in the tiled figure select it (the info grid names its type); N makes a
// design line of three clicks; F2 saves, and the file reads back to the street in the window. A screenshot
// goes to the build folder.
#include "e2e/E2ESupport.h"
#include "engine/Cp1251Qt.h"
#include "engine/DxRenderer.h"
#include "objects/DesignBlock.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "shell/DrawBox.h"
#include "shell/InfoGrid.h"
#include "shell/ItemsControl.h"
#include "shell/MainForm.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace e2etest;

TBitmap Filled(int width, int height, uint32_t rgb) {
    TBitmap b(width, height, TPixelFormat::pf24bit);
    b.Fill(0xFF000000u | rgb);
    return b;
}

// A road way 60 x 12; beside it a tiled figure, a band in a library style and two blocks.
void WriteDesignStreet(const std::string &fileName) {
    TStreetStructure street;
    MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
    TDsnFigDef *tiles = street.FigDefs().Add();
    tiles->Name = Cp("плитка");
    tiles->PeriodX = 2;
    tiles->Bitmap.Assign(Filled(8, 8, 0x2040C0));
    TDsnLineDef *band = street.LineDefs().Add();
    band->Name = Cp("бордюр");
    band->Width = 1;
    band->GetRepeatBitmap().Assign(Filled(8, 4, 0xC02020));
    TDsnBlockDef *tree = street.BlockDefs().Add();
    tree->Name = Cp("дерево");
    tree->Width = tree->Height = 3;
    tree->Bitmap.Assign(Filled(8, 8, 0x20A020));
    street.FigDefs().PublishBatches(street);
    street.LineDefs().PublishBatches(street);

    auto *figure = dynamic_cast<TDesignFigureItem *>(
        MakeItem(street, DesignFigureTypeCode, {{100, 30, 0}, {130, 30, 0}, {130, 45, 0}, {100, 45, 0}}));
    figure->SetStyleName(Cp("плитка"));
    auto *line = dynamic_cast<TDesignLineItem *>(MakeItem(street, DesignLineTypeCode, {{135, 35, 0}, {160, 35, 0}}));
    line->SetExtDef(Cp("бордюр"));
    auto *blocks = dynamic_cast<TDesignBlockItem *>(MakeItem(street, DesignBlockTypeCode, {{140, 40, 0}, {150, 40, 0}}));
    blocks->SetBlockName(Cp("дерево"));
    street.SaveToFile(fileName);
}

class DesignItemsE2E : public SharedEdgeWindowTest {
protected:
    void SetUp() override {
        SharedEdgeWindowTest::SetUp();
        WriteDesignStreet(street_);
        RegWriteString(Cp1251String("ItemsControl"), Cp1251String("CreateSet"),
                       TypeSetToNames({DesignLineTypeCode}));
    }
};

TEST_F(DesignItemsE2E, OpenSelectCreateSaveAndReopen) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenInWindow(startUp));
    TStreetStructure &street = form.CurrentStreet();
    ASSERT_EQ(street.Lists(DesignFigureTypeCode).Count(), 1);
    TAbstractItem *figure = street.Lists(DesignFigureTypeCode).Items(0);
    auto pixel = [&](float x, float y) { return PlanPixel(form, {x, y, 0}); };

    // Each shows where it lies: the tiles, the band and a block.
    const TPicture picture = Picture(form);
    const auto colour = [&](QPoint p) { return picture.At(p); };
    EXPECT_EQ(colour(pixel(115, 37)), 0x2040C0u) << "inside the tiled figure";
    EXPECT_EQ(colour(pixel(147, 35)), 0xC02020u) << "on the band";
    EXPECT_EQ(colour(pixel(141, 39)), 0x20A020u) << "on a block";

    // S, then a right click inside the tiled figure.
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);
    QTest::keyClick(drawBox, Qt::Key_S);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(115, 37));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{figure});
    EXPECT_TRUE(WaitUntil(
        [&] { return InfoValue(form, QStringLiteral("Выбрано объектов")) == QStringLiteral("1"); }));
    EXPECT_EQ(InfoValue(form, QStringLiteral("Тип")), QStringLiteral("Оформительская фигура"));

    // N: a design line of three clicks.
    prompts_.Menu(0);
    QTest::keyClick(drawBox, Qt::Key_N);
    ASSERT_EQ(street.Lists(DesignLineTypeCode).Count(), 2);
    TAbstractItem *made = street.Lists(DesignLineTypeCode).Items(1);
    for (const QPoint &p : {pixel(105, 70), pixel(125, 75), pixel(145, 70)})
        QTest::mouseClick(drawBox, Qt::LeftButton, Qt::NoModifier, p);
    ASSERT_EQ(made->Points.Count(), 3);
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-design-items.png")));

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(street_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    EXPECT_EQ(back->Lists(DesignLineTypeCode).Count(), 2);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
