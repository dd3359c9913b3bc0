// A stop and a dimension line in the real window: P and a right click pick the stop and its editor shows;
// choosing "Нет" for its pavilion draws the red flag and zeroes its length; a dimension line made from the
// type menu with four clicks shows its value; F2 writes the street, which reads back as the window holds it.
#include "e2e/E2ESupport.h"
#include "editors/StopEditor.h"
#include "engine/Reg_Shell.h"
#include "objects/AxisItem.h"
#include "objects/RazmerItem.h"
#include "objects/StopItem.h"
#include "shell/DrawBox.h"
#include "shell/InfoGrid.h"
#include "shell/ItemsControl.h"

#include <cmath>

namespace {

using namespace e2etest;

QString InfoValue(TMainForm &form, const QString &caption) {
    const TInfoGrid &grid = *form.findChild<TInfoGrid *>(QStringLiteral("InfoGrid"));
    const QString head = caption + QStringLiteral(" = ");
    for (int r = 0; r < grid.rowCount(); ++r)
        for (int c = 0; c < grid.columnCount(); ++c)
            if (const TInfoGrid::TCell *cell = grid.Cell(r, c); cell && cell->Text.startsWith(head))
                return cell->Text.mid(head.size());
    return {};
}

struct TPicture {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Rows;
    uint32_t At(int x, int y) const {
        if (x < 0 || y < 0 || x >= Width || y >= Height)
            return 0xFFFFFF;
        const uint8_t *p = &Rows[(static_cast<std::size_t>(y) * Width + x) * 4];
        return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
    }
};

TPicture Picture(TMainForm &form) {
    TdxRenderer &r = *form.Renderer();
    TPicture p{r.Width(), r.Height(),
               std::vector<uint8_t>(static_cast<std::size_t>(r.Width()) * r.Height() * 4)};
    r.Device().GetRenderTargetData(p.Rows.data(), r.Width() * 4);
    return p;
}

class StopsDimensionsE2E : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        street_ = dir_.File("Stops.zrv");
        TStreetStructure street;
        MakeItem(street, RoadWayTypeCode, {{100, 50, 0}, {160, 50, 0}, {160, 62, 0}, {100, 62, 0}});
        auto *axis = dynamic_cast<TAxisItem *>(MakeItem(street, AxisTypeCode, {{100, 56, 0}, {160, 56, 0}}));
        axis->SetName(Cp("1"));
        street.SetMainAxis(axis);
        // Below the road way, facing against the axis: the road way lies to its right.
        MakeItem(street, StopTypeCode, {{130, 44, 0}, {129, 44, 0}});
        street.SaveToFile(street_);
        RegWriteString(Cp1251String("ItemsControl"), Cp1251String("CreateSet"),
                       TypeSetToNames({RazmerTypeCode}));
    }

    std::string street_;
};

TEST_F(StopsDimensionsE2E, PickAStopClearItsPavilionMakeADimensionAndSave) {
    TStartUp startUp;
    TMainForm &form = startUp.MainForm();
    auto *drawBox = form.findChild<TDrawBox *>(QStringLiteral("DrawBox"));
    ASSERT_NE(drawBox, nullptr);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    startUp.ProcessCommandLine({QString::fromStdString(street_)});
    ASSERT_TRUE(WaitUntil([&] { return form.Renderer() != nullptr && !form.NeedRedraw(); }));
    TStreetStructure &street = form.CurrentStreet();
    auto *stop = dynamic_cast<TStopItem *>(street.Lists(StopTypeCode).Items(0));
    ASSERT_NE(stop, nullptr);
    TMainPlanDrawer &plan = form.MainPlanDrawer();
    auto pixel = [&](float x, float y) {
        const TXYZ p = plan.GroundToScreen({x, y, 0});
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    };
    TItemsControlModule *items = TItemsControlModule::Instance();
    ASSERT_NE(items, nullptr);

    // P and a right click at the stop: its editor shows its figures.
    QTest::keyClick(drawBox, Qt::Key_P);
    QTest::mouseClick(drawBox, Qt::RightButton, Qt::NoModifier, pixel(130, 44));
    ASSERT_EQ(items->Selection(), std::vector<TAbstractItem *>{stop});
    EXPECT_TRUE(
        WaitUntil([&] { return InfoValue(form, QStringLiteral("Павильон")) == QStringLiteral("Есть"); }));
    EXPECT_EQ(InfoValue(form, QStringLiteral("Длина")), QStringLiteral("4.0"));
    EXPECT_EQ(InfoValue(form, QStringLiteral("Расстояние от ПЧ")), QStringLiteral("6.0"));
    EXPECT_EQ(InfoValue(form, QStringLiteral("Начало")), QStringLiteral("26.0"));

    // "Нет" for the pavilion: the length shows 0.0 and the red flag stands where the pavilion was.
    TStopEditorModule *module = nullptr;
    for (TContextDataModule *m : LiveContextModules())
        if (auto *s = qobject_cast<TStopEditorModule *>(m))
            module = s;
    ASSERT_NE(module, nullptr);
    prompts_.Select(1);
    module->HasPavInfo->DoClick();
    EXPECT_EQ(stop->Pavilion(), 0);
    EXPECT_TRUE(WaitUntil([&] { return InfoValue(form, QStringLiteral("Длина")) == QStringLiteral("0.0"); }));
    // The selection's marks must not cover the flag.
    street.Selection().Clear();
    form.RefreshAll();
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    {
        const TPicture p = Picture(form);
        // The flag follows the axis (+x): its plate from 1.5 to 2.5 m above the stop, 1.5 m long.
        int red = 0;
        const QPoint a = pixel(130, 46.5f), b = pixel(131.5f, 44);
        for (int y = a.y(); y <= b.y(); ++y)
            for (int x = a.x(); x <= b.x(); ++x)
                red += p.At(x, y) == 0xFF0000u;
        EXPECT_GT(red, 5) << "no red flag";
    }

    // A dimension line from the type menu with four clicks: base, then two measured points 20 m apart.
    prompts_.Menu(0);
    QTest::keyClick(drawBox, Qt::Key_N);
    ASSERT_EQ(street.Lists(RazmerTypeCode).Count(), 1);
    auto *dim = dynamic_cast<TRazmerItem *>(street.Lists(RazmerTypeCode).Items(0));
    ASSERT_NE(dim, nullptr);
    for (const QPoint &p : {pixel(105, 38), pixel(155, 38), pixel(110, 35), pixel(130, 35)})
        QTest::mouseClick(drawBox, Qt::LeftButton, Qt::NoModifier, p);
    ASSERT_EQ(dim->Points.Count(), 4);
    const TRazmerLayout layout = dim->Layout();
    ASSERT_EQ(layout.Segments.size(), 1u);
    const double length = layout.Segments[0].Length;
    EXPECT_NEAR(length, 20, 0.5);
    EXPECT_EQ(layout.Segments[0].Text, RazmerValueText(length, street.GetRazmerRound()));
    street.Selection().Clear();
    form.RefreshAll();
    ASSERT_TRUE(WaitUntil([&] { return !form.NeedRedraw(); }));
    {
        // The value above the middle of the segment, in dark characters; nothing below it.
        const TPicture p = Picture(form);
        const TXYZ m = layout.Segments[0].M;
        const auto dark = [&](float x0, float y0, float x1, float y1) {
            const QPoint a = pixel(x0, y1), b = pixel(x1, y0);
            int n = 0;
            for (int y = a.y(); y <= b.y(); ++y)
                for (int x = a.x(); x <= b.x(); ++x) {
                    const uint32_t c = p.At(x, y);
                    n += (c & 0xFF) < 100 && ((c >> 8) & 0xFF) < 100 && ((c >> 16) & 0xFF) < 100;
                }
            return n;
        };
        EXPECT_GT(dark(m.x - 1, m.y + 0.3f, m.x + 1, m.y + 1.1f), 5) << "no value";
        EXPECT_EQ(dark(m.x - 1, m.y - 1.1f, m.x + 1, m.y - 0.3f), 0);
    }
    EXPECT_TRUE(form.grab().save(BuildFile("e2e-stops-dimensions.png")));

    // F2, and the file reads back to the street in the window.
    QTest::keyClick(drawBox, Qt::Key_F2);
    ASSERT_FALSE(street.Modified());
    std::unique_ptr<TStreetStructure> back = LoadStreetFile(street_);
    EXPECT_EQ(SaveBytes(*back), SaveBytes(street));
    ASSERT_EQ(back->Lists(StopTypeCode).Count(), 1);
    EXPECT_EQ(dynamic_cast<TStopItem *>(back->Lists(StopTypeCode).Items(0))->Pavilion(), 0);
    EXPECT_EQ(back->Lists(RazmerTypeCode).Count(), 1);
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(prompts_.Done()) << prompts_.Unexpected().join(QLatin1Char('\n')).toStdString();
}

} // namespace
