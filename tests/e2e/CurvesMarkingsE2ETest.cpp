// Curves and line markings in the real window: a street with a curve under a curb and a marking opens and
// shows the marking; L and a right click on the marking select it (the info grid names its type); M and a
// drag of a curve vertex bend the curb with the curve; N, "Линия разметки", three clicks and Esc make a
// marking without a code, drawn as a red strip; F2 saves a file that reads back to the same street.
#include "e2e/E2ESupport.h"
#include "engine/Cp1251Qt.h"
#include "shell/DrawBox.h"
#include "shell/InfoGrid.h"
#include "shell/ItemsControl.h"
#include "shell/MainPlan.h"
#include "objects/LineRazmetItem.h"

#include <cmath>

namespace {

using namespace e2etest;

class CurvesMarkingsE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        file_ = dir_.File("Curves.zrv");
        // A road way, a curb on the curve below it, and a stop-line marking between them.
        TStreetStructure street;
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
        TAbstractItem *curve = MakeItem(street, ArcCoordsTypeCode, {{100, 40, 0}, {130, 40, 0}, {160, 40, 0}});
        sptest::MakeItemOn(street, BortTypeCode,
                           {curve->Points.PointRec(0), curve->Points.PointRec(1), curve->Points.PointRec(2)});
        auto *marking = dynamic_cast<TLineRazmetItem *>(MakeItem(street, LineRazmetTypeCode, {{100, 45, 0}, {160, 45, 0}}));
        marking->SetGost(Cp1251String("1.12"));
        street.SaveToFile(file_);
        RegWriteString(Cp1251String("ItemsControl"), Cp1251String("CreateSet"), TypeSetToNames({LineRazmetTypeCode}));
    }

    std::string file_;
};

TEST_F(CurvesMarkingsE2E, SelectBendCreateAndSave) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenStreetInWindow(startUp, file_));
    TStreetStructure &street = form.CurrentStreet();
    ASSERT_EQ(street.Lists(LineRazmetTypeCode).Count(), 1);
    TAbstractItem *marking = street.Lists(LineRazmetTypeCode).Items(0);
    TAbstractItem *curve = street.Lists(ArcCoordsTypeCode).Items(0);
    TAbstractItem *curb = street.Lists(BortTypeCode).Items(0);
    auto pixel = [&](float x, float y) { return PlanPixel(form, {x, y, 0}); };
    // The stop line's solid white paint.
    EXPECT_EQ(PlanColour(form, {115, 45, 0}), 0xEBEBEBu);
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-markings-open.png")));

    // L and a right click on the marking.
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);
    QTest::keyClick(drawBox, Qt::Key_L);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(122, 45));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{marking});
    EXPECT_TRUE(WaitUntil([&] { return InfoValue(form, QStringLiteral("Тип")) == QStringLiteral("Линия разметки"); }))
        << InfoValue(form, QStringLiteral("Тип")).toStdString();

    // M on the curve, and a drag of its middle vertex: the curb holds it and bends with the curve.
    street.Selection().Clear();
    street.Selection().AddItem(curve);
    form.RefreshAll();
    QTest::keyClick(drawBox, Qt::Key_M);
    const QPoint middle = pixel(130, 40);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, middle + QPoint(3, -2));
    ASSERT_EQ(curve->Points.CurrentIndex, 1);
    const QPoint to = middle + QPoint(0, 40);
    QTest::mousePress(drawBox, Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseMove(drawBox, middle + QPoint(0, 20));
    QTest::mouseMove(drawBox, to);
    QTest::mouseRelease(drawBox, Qt::LeftButton, Qt::NoModifier, to);
    const TXYZ moved = curve->Points.GetPoint(1);
    EXPECT_LT(moved.y, 39);
    EXPECT_TRUE(VectorsEqual(curb->Points.GetPoint(1), moved));
    curve->Points.EnsureGeometry();
    curb->Points.EnsureGeometry();
    EXPECT_EQ(curb->Points.Dense().size(), curve->Points.Dense().size());
    for (std::size_t i = 0; i < std::min(curb->Points.Dense().size(), curve->Points.Dense().size()); ++i)
        EXPECT_TRUE(VectorsEqual(curb->Points.Dense()[i], curve->Points.Dense()[i])) << i;
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));

    // N, "Линия разметки", three clicks and Esc: a marking without a code, a red strip.
    street.Selection().Clear();
    form.RefreshAll();
    prompts_.Menu(0);
    QTest::keyClick(drawBox, Qt::Key_N);
    EXPECT_EQ(prompts_.LastMenuEntries().value(0), QStringLiteral("Линия разметки"));
    ASSERT_EQ(street.Lists(LineRazmetTypeCode).Count(), 2);
    auto *made = dynamic_cast<TLineRazmetItem *>(street.Lists(LineRazmetTypeCode).Items(1));
    ASSERT_NE(made, nullptr);
    for (const QPoint &p : {pixel(105, 75), pixel(125, 80), pixel(145, 75)})
        QTest::mouseClick(drawBox, Qt::LeftButton, Qt::NoModifier, p);
    QTest::keyClick(drawBox, Qt::Key_Escape);
    ASSERT_EQ(made->Points.Count(), 3);
    EXPECT_TRUE(made->Gost().Empty());
    form.RefreshAll();
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    const TXYZ a = made->Points.GetPoint(0), b = made->Points.GetPoint(1);
    EXPECT_EQ(PlanColour(form, {(a.x + b.x) / 2, (a.y + b.y) / 2, 0}), 0xC80000u);
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-markings-done.png")));

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(file_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    EXPECT_EQ(back->Lists(LineRazmetTypeCode).Count(), 2);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
