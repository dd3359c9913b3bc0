// A street with a guide axis and a kilometre sign opened in the real window: the axis's picket marks and
// labels and the sign's plates show where they lie, and F2 writes the street back as it was read.
#include "e2e/E2ESupport.h"
#include "engine/FontsDataForm.h"
#include "objects/AxisItem.h"
#include "objects/KMSignItem.h"
#include "shell/DrawBox.h"
#include "shell/MainPlanCtrl.h"

#include <QAction>

namespace {

using namespace e2etest;

class AxisSignE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        street_ = dir_.File("Axis.zrv");
        TStreetStructure street;
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
        auto *axis = dynamic_cast<TAxisItem *>(MakeItem(street, AxisTypeCode, {{100, 56, 0}, {160, 56, 0}}));
        axis->SetPicketStep(20);
        axis->SetMarkWidth(4);
        axis->SetDrawMarks(true);
        axis->SetOnMainLayer(true);
        axis->SetColor(MakeD3DColor(0, 0, 255, 255));
        axis->SetName(Cp("1"));
        street.SetMainAxis(axis);
        auto *sign = dynamic_cast<TKMSignItem *>(MakeItem(street, KMSignTypeCode, {{130, 44, 0}}));
        sign->SetKmA(1);
        sign->SetKmB(2);
        street.SaveToFile(street_);
    }

    std::string street_;
};

TEST_F(AxisSignE2E, PicketsLabelsAndPlatesShowAndTheStreetSavesAsRead) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_TRUE(drawBox != nullptr);
    ASSERT_NE(TFontsDataForm::Instance(), nullptr) << "the start-up makes the fonts object";
    ASSERT_TRUE(OpenStreetInWindow(startUp, street_));
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    const TPicture picture = Picture(form);

    // The picket marks cross the axis in its colour at 120 and 140 m; between them the axis alone.
    for (float x : {120.0f, 140.0f}) {
        const TXYZ p = plan.GroundToScreen({x, 58.5f, 0});
        EXPECT_EQ(picture.At(int(p.x), int(p.y)), 0x0000FFu) << "no picket mark at " << x;
    }
    const TXYZ between = plan.GroundToScreen({130, 58.5f, 0});
    EXPECT_NE(picture.At(int(between.x), int(between.y)), 0x0000FFu);
    // "ПК 1" beyond the upper end of the mark at 120 m: dark pixels there.
    const TXYZ end = plan.GroundToScreen({120, 60, 0});
    int dark = 0;
    for (int dy = -40; dy <= 0; ++dy)
        for (int dx = -8; dx <= 8; ++dx) {
            const uint32_t c = picture.At(int(end.x) + dx, int(end.y) + dy);
            dark += (c & 0xFF) < 80 && ((c >> 8) & 0xFF) < 80 && ((c >> 16) & 0xFF) < 80;
        }
    EXPECT_GT(dark, 5) << "no picket label beyond the mark";

    // The sign's plates: 12 pixels a unit, the first 2.1 units before the vertex along the axis.
    const TXYZ sign = plan.GroundToScreen({130, 44, 0});
    EXPECT_EQ(picture.At(int(sign.x) - 40, int(sign.y)), 0x1E5AC8u) << "no first plate";
    EXPECT_EQ(picture.At(int(sign.x) + 40, int(sign.y)), 0x1E5AC8u) << "no second plate";

    EXPECT_TRUE(form.grab().save(BuildFile("e2e-axis-sign.png")));

    // F2 writes the street as it stands (its view fitted), and the file reads back the same.
    form.CurrentStreet().SetModified();
    form.RefreshAll();
    QTest::keyClick(drawBox, Qt::Key_F2);
    EXPECT_FALSE(form.CurrentStreet().Modified());
    const std::vector<uint8_t> saved = sptest::ReadFileBytes(street_);
    EXPECT_EQ(saved, SaveBytes(form.CurrentStreet()));
    std::unique_ptr<TStreetStructure> back = sptest::LoadBytes(saved);
    EXPECT_EQ(SaveBytes(*back), saved);
    auto *axis = dynamic_cast<TAxisItem *>(back->GetMainAxis());
    ASSERT_TRUE(axis != nullptr);
    EXPECT_EQ(axis->Name(), Cp("1"));
    EXPECT_EQ(axis->PicketStep(), 20);
    EXPECT_TRUE(axis->DrawMarks());
    auto *readSign = dynamic_cast<TKMSignItem *>(back->Lists(KMSignTypeCode).Items(0));
    ASSERT_TRUE(readSign != nullptr);
    EXPECT_EQ(readSign->KmB(), 2);
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(prompts_.Log().isEmpty()) << prompts_.Log().join("\n").toStdString();
}

} // namespace
