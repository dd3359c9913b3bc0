// The editing scenario in the real window: S and a right click select a road way (the info grid tells
// so); F and a right click beside the curb lying on its edge select the curb, and with Ctrl the candidates
// offered are the curb, then the road way; M and a drag move a vertex the road way shares with the curb; N
// makes a curb of three clicks; Ctrl+C, Ctrl+V and a drag place a copy; Insert copies it again 5 m aside;
// Delete asks with the count; F2 saves, and the file reads back to the same street. Screenshots of the window
// after the selection and after the edits go to the build folder.
#include "e2e/E2ESupport.h"
#include "engine/Cp1251Qt.h"
#include "engine/Reg_Shell.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "platform/settings/SettingsStore.h"
#include "shell/DrawBox.h"
#include "shell/InfoGrid.h"
#include "shell/ItemsControl.h"
#include "shell/MainForm.h"
#include "shell/PointsEditor.h"
#include "shell/ScriptedPrompts.h"
#include "shell/StartUp.h"
#include "shell/StreetsHolder.h"
#include "support/TestSupport.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>

namespace {

using namespace e2etest;

std::set<TStreetPointRec *> Vertices(const TAbstractItem &item) {
    return {item.Points.Refs().begin(), item.Points.Refs().end()};
}

class EditingScenarioE2E : public SharedEdgeWindowTest {
protected:
    void SetUp() override {
        SharedEdgeWindowTest::SetUp();
        // The creation menu offers curbs.
        RegWriteString(Cp1251String("ItemsControl"), Cp1251String("CreateSet"),
                       TypeSetToNames({BortTypeCode}));
    }
};

TEST_F(EditingScenarioE2E, SelectMoveCreateCopyPasteDeleteSaveAndReopen) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenInWindow(startUp));
    TStreetStructure &street = form.CurrentStreet();
    TAbstractItem *road = street.Lists(RoadWayTypeCode).Items(0);
    TAbstractItem *curb = street.Lists(BortTypeCode).Items(0);
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    auto pixel = [&](float x, float y) { return PlanPixel(form, {x, y, 0}); };
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);

    // S, then a right click inside the road way.
    QTest::keyClick(drawBox, Qt::Key_S);
    ASSERT_EQ(form.MouseMode(), items->FindItemMode);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(130, 56));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{road});
    EXPECT_TRUE(WaitUntil(
        [&] { return InfoValue(form, QStringLiteral("Выбрано объектов")) == QStringLiteral("1"); }));
    EXPECT_EQ(InfoValue(form, QStringLiteral("Тип")), ToQString(road->GetDisplayName()));
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-edit-selection.png")));

    // F, and a right click on the road way 2 pixels beside the curb lying on its edge: the curb.
    QTest::keyClick(drawBox, Qt::Key_F);
    const QPoint besideCurb = pixel(160, 56) - QPoint(2, 0);
    const TXYZ beside = plan.ScreenToGround(besideCurb.x(), besideCurb.y());
    ASSERT_LT(beside.x, 160); // inside the road way
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, besideCurb);
    EXPECT_EQ(items->Selection(), std::vector<TAbstractItem *>{curb});
    // Ctrl and a right click there: the curb first, then the road way, which is chosen.
    prompts_.Menu(1);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::ControlModifier, besideCurb);
    EXPECT_EQ(prompts_.LastMenuEntries(),
              (QStringList{ToQString(curb->GetDisplayName()), ToQString(road->GetDisplayName())}));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{road});

    // M, a right click near the vertex the road way shares with the curb, and a drag: both follow.
    QTest::keyClick(drawBox, Qt::Key_M);
    const QPoint corner = pixel(160, 50);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, corner + QPoint(3, -2));
    ASSERT_EQ(road->Points.CurrentIndex, 1);
    const QPoint to = corner + QPoint(30, 20);
    QTest::mousePress(drawBox, Qt::LeftButton, Qt::NoModifier, corner);
    QTest::mouseMove(drawBox, corner + QPoint(15, 10));
    QTest::mouseMove(drawBox, to);
    QTest::mouseRelease(drawBox, Qt::LeftButton, Qt::NoModifier, to);
    const TXYZ moved = road->Points.GetPoint(1), target = plan.ScreenToGround(to.x(), to.y());
    EXPECT_NEAR(moved.x, target.x, 1e-3);
    EXPECT_NEAR(moved.y, target.y, 1e-3);
    EXPECT_TRUE(VectorsEqual(curb->Points.GetPoint(0), moved));

    // N: the curb from the menu, digitised with three clicks; its contour length is shown.
    prompts_.Menu(0);
    QTest::keyClick(drawBox, Qt::Key_N);
    ASSERT_EQ(street.Lists(BortTypeCode).Count(), 2);
    TAbstractItem *made = street.Lists(BortTypeCode).Items(1);
    ASSERT_EQ(items->CurrentItem(), made);
    for (const QPoint &p : {pixel(105, 75), pixel(125, 80), pixel(145, 75)})
        QTest::mouseClick(drawBox, Qt::LeftButton, Qt::NoModifier, p);
    ASSERT_EQ(made->Points.Count(), 3);
    made->Points.EnsureGeometry();
    const double length = made->Points.DenseLength();
    EXPECT_TRUE(WaitUntil([&] {
        return std::fabs(InfoValue(form, QStringLiteral("Длина контура")).toDouble() - length) < 0.01;
    })) << InfoValue(form, QStringLiteral("Длина контура")).toStdString()
        << " against " << length;

    // Ctrl+C, Ctrl+V and a drag to place the copy: new vertices, nothing shared with the original.
    QTest::keyClick(drawBox, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(drawBox, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(street.Lists(BortTypeCode).Count(), 3);
    TAbstractItem *pasted = street.Lists(BortTypeCode).Items(2);
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{pasted});
    const TXYZArray beforeDrag = pasted->Points.GetPoints();
    const QPoint grab = pixel(beforeDrag[0].x, beforeDrag[0].y), drop = grab + QPoint(10, 40);
    QTest::mousePress(drawBox, Qt::LeftButton, Qt::NoModifier, grab);
    QTest::mouseMove(drawBox, drop);
    QTest::mouseRelease(drawBox, Qt::LeftButton, Qt::NoModifier, drop);
    // The whole copy moved by the drag, from the pixel grabbed to the pixel let go.
    const TXYZ grabbedAt = plan.ScreenToGround(grab.x(), grab.y()),
               droppedAt = plan.ScreenToGround(drop.x(), drop.y());
    ASSERT_EQ(pasted->Points.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(pasted->Points.GetPoint(i).x, beforeDrag[i].x + (droppedAt.x - grabbedAt.x), 1e-3)
            << "vertex " << i;
        EXPECT_NEAR(pasted->Points.GetPoint(i).y, beforeDrag[i].y + (droppedAt.y - grabbedAt.y), 1e-3)
            << "vertex " << i;
    }
    EXPECT_NEAR(pasted->Points.DenseLength(), length, 1e-3);
    for (TStreetPointRec *r : Vertices(*pasted))
        EXPECT_EQ(Vertices(*made).count(r), 0u);
    EXPECT_GT(pasted->Points.IdAt(0), made->Points.IdAt(2));

    // Insert: another copy with its first point 5 m right and up of the pasted one's.
    const TXYZ first = pasted->Points.GetPoint(0);
    QTest::keyClick(drawBox, Qt::Key_Insert);
    ASSERT_EQ(street.Lists(BortTypeCode).Count(), 4);
    TAbstractItem *inserted = items->CurrentItem();
    ASSERT_EQ(inserted, street.Lists(BortTypeCode).Items(3));
    EXPECT_FLOAT_EQ(inserted->Points.GetPoint(0).x, first.x + 5);
    EXPECT_FLOAT_EQ(inserted->Points.GetPoint(0).y, first.y + 5);

    // Delete, answered Yes.
    prompts_.Answer(TPromptAnswer::Yes);
    QTest::keyClick(drawBox, Qt::Key_Delete);
    EXPECT_EQ(prompts_.Log().back(), QStringLiteral("ask: Удалить выбранные объекты в количестве 1 штук?"));
    EXPECT_EQ(street.Lists(BortTypeCode).Count(), 3);
    EXPECT_TRUE(items->Selection().empty());
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-edit-done.png")));

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(street_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    EXPECT_EQ(back->Lists(BortTypeCode).Count(), 3);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
