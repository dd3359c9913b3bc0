// Label places in the real window: a street with a line marking under a label place opens with the
// marking's number written beside it; L and a right click select the marking; M and a drag of its vertex
// move the label with it, and off the place the label goes; F2 saves a file that reads back to the same
// street.
#include "e2e/E2ESupport.h"
#include "shell/DrawBox.h"
#include "shell/ItemsControl.h"
#include "shell/MainPlan.h"
#include "objects/LineRazmetItem.h"
#include "objects/RazmetLabelPlaceItem.h"

#include <cmath>

namespace {

using namespace e2etest;

class MarkingLabelsE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        file_ = dir_.File("Labels.zrv");
        TStreetStructure street;
        auto *marking =
            dynamic_cast<TLineRazmetItem *>(MakeItem(street, LineRazmetTypeCode, {{100, 45, 0}, {160, 45, 0}}));
        marking->SetGost(Cp1251String("1.1"));
        MakeItem(street, RazmetLabelPlaceTypeCode, {{130, 40, 0}, {130, 58, 0}});
        street.SaveToFile(file_);
    }

    // Dark pixels of the window's last picture within the plan rectangle.
    static int DarkPixels(TMainForm &form, float x0, float y0, float x1, float y1) {
        const TPicture picture = Picture(form);
        const QPoint a = PlanPixel(form, {x0, y0, 0}), b = PlanPixel(form, {x1, y1, 0});
        int n = 0;
        for (int y = std::min(a.y(), b.y()); y <= std::max(a.y(), b.y()); ++y)
            for (int x = std::min(a.x(), b.x()); x <= std::max(a.x(), b.x()); ++x) {
                const uint32_t c = picture.At(x, y);
                n += (c & 0xFF) < 60 && (c >> 8 & 0xFF) < 60 && (c >> 16) < 60;
            }
        return n;
    }

    std::string file_;
};

TEST_F(MarkingLabelsE2E, LabelsFollowTheMarkingAndLeaveWithIt) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenStreetInWindow(startUp, file_));
    TStreetStructure &street = form.CurrentStreet();
    ASSERT_EQ(street.Lists(LineRazmetTypeCode).Count(), 1);
    TAbstractItem *marking = street.Lists(LineRazmetTypeCode).Items(0);
    auto *place = dynamic_cast<TRazmetLabelPlaceItem *>(street.Lists(RazmetLabelPlaceTypeCode).Items(0));
    ASSERT_NE(place, nullptr);
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    auto pixel = [&](float x, float y) {
        const TXYZ p = plan.GroundToScreen({x, y, 0});
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    };
    // "1.1" above the marking where the place crosses it.
    ASSERT_EQ(place->Labels().size(), 1u);
    EXPECT_NEAR(place->Labels()[0].Y, 45, 1e-4);
    EXPECT_GT(DarkPixels(form, 129, 45.1f, 131, 46.2f), 3);

    // L and a right click on the marking, away from the place.
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);
    QTest::keyClick(drawBox, Qt::Key_L);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(110, 45));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{marking});

    // M, its end vertex current, dragged up: the crossing and its label move up with it.
    const auto drag = [&](int vertex, const TXYZ &to) {
        const TXYZ from = marking->Points.GetPoint(vertex);
        const QPoint a = pixel(from.x, from.y), b = pixel(to.x, to.y);
        QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, a + QPoint(2, -2));
        ASSERT_EQ(marking->Points.CurrentIndex, vertex);
        QTest::mousePress(drawBox, Qt::LeftButton, Qt::NoModifier, a);
        QTest::mouseMove(drawBox, (a + b) / 2);
        QTest::mouseMove(drawBox, b);
        QTest::mouseRelease(drawBox, Qt::LeftButton, Qt::NoModifier, b);
        form.RefreshAll();
        ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    };
    QTest::keyClick(drawBox, Qt::Key_M);
    drag(1, {160, 55, 0});
    EXPECT_GT(marking->Points.GetPoint(1).y, 53);
    ASSERT_EQ(place->Labels().size(), 1u);
    EXPECT_GT(place->Labels()[0].Y, 49);
    EXPECT_NEAR(place->Labels()[0].X, 130, 1e-3);
    const float y = place->Labels()[0].Y;
    EXPECT_GT(DarkPixels(form, 129, y + 0.3f, 131, y + 1.2f), 3);
    EXPECT_EQ(DarkPixels(form, 129, 45.1f, 131, 46.2f), 0);
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-markings.png")));

    // Its start dragged past the place: the marking no longer crosses it, and the label goes.
    drag(0, {140, 45, 0});
    EXPECT_TRUE(place->Labels().empty());
    EXPECT_EQ(DarkPixels(form, 129, y + 0.3f, 131, y + 1.2f), 0);

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(file_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
