// A zebra crossing in the real window: N and two clicks across the road way make a crossing whose stripes
// show at once (a stripe pixel black, the gap after it the road's); F2 saves, and the file reads back to
// the street in the window. A screenshot goes to the build folder.
#include "e2e/E2ESupport.h"
#include "engine/DxRenderer.h"
#include "objects/ZebraItem.h"
#include "shell/DrawBox.h"
#include "shell/ItemsControl.h"
#include "shell/MainForm.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace e2etest;

class ZebraE2E : public SharedEdgeWindowTest {
protected:
    void SetUp() override {
        SharedEdgeWindowTest::SetUp();
        RegWriteString(Cp1251String("ItemsControl"), Cp1251String("CreateSet"),
                       TypeSetToNames({ZebraTypeCode}));
    }
};

TEST_F(ZebraE2E, TwoClicksMakeAStripedCrossingThatSaves) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    ASSERT_TRUE(OpenInWindow(startUp));
    TStreetStructure &street = form.CurrentStreet();
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    auto pixel = [&](float x, float y) {
        const TXYZ p = plan.GroundToScreen({x, y, 0});
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    };

    // N: a crossing from (120, 52) to (120, 60) across the road way, 6 m wide along it.
    prompts_.Menu(0);
    QTest::keyClick(drawBox, Qt::Key_N);
    EXPECT_EQ(prompts_.LastMenuEntries().value(0), QStringLiteral("Разметка-зебра"));
    ASSERT_EQ(street.Lists(ZebraTypeCode).Count(), 1);
    auto *zebra = dynamic_cast<TZebraItem *>(street.Lists(ZebraTypeCode).Items(0));
    ASSERT_NE(zebra, nullptr);
    for (const QPoint &p : {pixel(120, 52), pixel(120, 60)})
        QTest::mouseClick(drawBox, Qt::LeftButton, Qt::NoModifier, p);
    QTest::keyClick(drawBox, Qt::Key_Escape);
    ASSERT_EQ(zebra->Points.Count(), 2);
    EXPECT_EQ(zebra->Width, 6.0f);
    form.RefreshAll();
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));

    // Stripes 0.4 m wide every metre from 0.5 m on, across x 117 .. 123.
    TdxRenderer &r = *form.Renderer();
    std::vector<uint8_t> rows(std::size_t(r.Width()) * r.Height() * 4);
    r.Device().GetRenderTargetData(rows.data(), r.Width() * 4);
    const auto colour = [&](QPoint p) {
        const uint8_t *b = &rows[(std::size_t(p.y()) * r.Width() + p.x()) * 4];
        return uint32_t(b[0] | b[1] << 8 | b[2] << 16);
    };
    const QPoint stripe = pixel(121, 52.5f), gap = pixel(121, 53.0f);
    const QPoint beside = pixel(125, 53.0f);
    EXPECT_EQ(colour(stripe), 0x000000u) << "on a stripe";
    EXPECT_NE(colour(gap), 0x000000u) << "between stripes";
    EXPECT_EQ(colour(gap), colour(beside)) << "the gap shows the road";
    // One stripe per whole metre of the crossing as the clicks placed it.
    const double length = VectorDistance(zebra->Points.GetPoint(0), zebra->Points.GetPoint(1));
    EXPECT_NEAR(zebra->GetWhiteArea().value_or(-1), std::floor(length) * 6 * 0.4, 1e-6);
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-zebra.png")));

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(street_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    ASSERT_EQ(back->Lists(ZebraTypeCode).Count(), 1);
    EXPECT_EQ(dynamic_cast<TZebraItem *>(back->Lists(ZebraTypeCode).Items(0))->Width, 6.0f);
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
