// The point editor in the real window: M chooses the move mode, a right click near a vertex shared by a
// road way and a curb makes it current, and a drag moves it in both items; the overlay draws over it.
#include "e2e/E2ESupport.h"
#include "engine/Reg_Shell.h"
#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "platform/settings/SettingsStore.h"
#include "shell/DrawBox.h"
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

namespace {

using namespace e2etest;

using PointEditorE2E = SharedEdgeWindowTest;

TEST_F(PointEditorE2E, DraggingASharedVertexMovesBothItems) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenInWindow(startUp));
    TStreetStructure &street = form.CurrentStreet();
    TAbstractItem *road = street.Lists(RoadWayTypeCode).Items(0);
    TAbstractItem *curb = street.Lists(BortTypeCode).Items(0);
    ASSERT_EQ(road->Points.PointRec(1), curb->Points.PointRec(0));
    street.Selection().AddItem(road);
    form.RefreshAll();

    QTest::keyClick(drawBox, Qt::Key_M);
    ASSERT_NE(form.MouseMode(), nullptr);
    EXPECT_EQ(form.MouseMode()->objectName(), QStringLiteral("MovePointMode"));
    // The module belongs to the start-up, not to the window: the mode leads to it.
    ASSERT_NE(qobject_cast<TPointsEditorModule *>(form.MouseMode()->parent()), nullptr);

    TMainPlanDrawer &plan = form.MainPlanDrawer();
    const TXYZ corner = plan.GroundToScreen({160, 50, 0});
    const QPoint near(int(corner.x) + 3, int(corner.y) - 2);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, near);
    ASSERT_EQ(road->Points.CurrentIndex, 1);

    const QPoint from(int(corner.x), int(corner.y)), to(from.x() + 40, from.y() + 25);
    QTest::mousePress(drawBox, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(drawBox, QPoint(from.x() + 20, from.y() + 10));
    QTest::mouseMove(drawBox, to);
    QTest::mouseRelease(drawBox, Qt::LeftButton, Qt::NoModifier, to);
    const TXYZ expected = plan.ScreenToGround(to.x(), to.y());
    const TXYZ moved = road->Points.GetPoint(1);
    EXPECT_NEAR(moved.x, expected.x, 1e-3);
    EXPECT_NEAR(moved.y, expected.y, 1e-3);
    EXPECT_TRUE(VectorsEqual(curb->Points.GetPoint(0), moved));
    EXPECT_TRUE(street.Modified());

    // The overlay draws the current vertex in red where it now is.
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    EXPECT_EQ(PlanColour(form, moved), 0xFF0000u);
    form.Holder().Streets(0).ClearModified();
}

} // namespace
