// Manholes, gratings and text labels drawn off-screen: a grating turned with its direction (its slots and
// the background through them), a label reading up the plan when it points +y, and a manhole's cover with
// its owner written beside it.
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "objects/ItemTextures.h"
#include "objects/KolodItem.h"
#include "objects/RegisterObjects.h"
#include "objects/TextLabelItem.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int W = 200, H = 200;
constexpr uint32_t Background = 0x204060;

TDxMatrix PlanToClip(float perMetre) {
    TDxMatrix m{};
    m.m[0][0] = 2.0f * perMetre / W;
    m.m[1][1] = 2.0f * perMetre / H;
    m.m[2][2] = 1;
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1;
    return m;
}

// Dark and not the background.
bool Dark(uint32_t c) {
    return c != Background && ((c >> 16) & 0xFF) < 100 && ((c >> 8) & 0xFF) < 100 && (c & 0xFF) < 100;
}

class ManholesLabelsGL : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterObjects();
        ForgetItemTextures();
    }
    void Draw(TStreetStructure &street, float perMetre) {
        TSurfaceRenderer r(W, H);
        r.BeginDraw();
        r.Clear(0xFF000000 | Background, true, false, false);
        r.Projection().SetMatrix(PlanToClip(perMetre));
        street.Draw({&r, {0, 0, 0}, 50}, FullTypeSet(), PlanLayerMask);
        r.EndDraw();
        r.CopyToBitmap(Out);
        PerMetre = perMetre;
    }
    uint32_t At(double x, double y) const {
        return Out.Pixel(int(W / 2 + x * PerMetre), int(H / 2 - y * PerMetre)) & 0xFFFFFF;
    }
    // Pixels of the colour (or, with colour 0, any dark pixel) in the plan box.
    int Count(double x0, double y0, double x1, double y1, uint32_t colour) const {
        int n = 0;
        for (double y = y0; y < y1; y += 1 / PerMetre)
            for (double x = x0; x < x1; x += 1 / PerMetre) {
                const uint32_t c = At(x, y);
                n += colour ? c == colour : Dark(c);
            }
        return n;
    }

    TBitmap Out;
    float PerMetre = 100;
};

TEST_F(ManholesLabelsGL, GratingsTurnWithTheirDirection) {
    const struct {
        const char *Name;
        double Angle;
    } cases[] = {{"pointing +y", std::numbers::pi / 2}, {"at 30 degrees", std::numbers::pi / 6}};
    for (const auto &c : cases) {
        TStreetStructure street;
        TAbstractItem *g = street.Lists(ReshetTypeCode).AddNew();
        g->Points.InsertNewPoint(0, {0, 0, 0});
        g->Points.InsertNewPoint(1, {float(std::cos(c.Angle)), float(std::sin(c.Angle)), 0});
        Draw(street, 100);
        const auto along = [&](double d, double turn) {
            return At(d * std::cos(c.Angle + turn), d * std::sin(c.Angle + turn));
        };
        // The bar frame at both ends along the direction, the background beyond them and off to the sides
        // (a turn the other way would put the ends there).
        EXPECT_TRUE(Dark(along(0.55, 0))) << c.Name;
        EXPECT_TRUE(Dark(along(-0.55, 0))) << c.Name;
        EXPECT_EQ(along(0.7, 0), Background) << c.Name;
        EXPECT_EQ(along(0.55, -std::numbers::pi / 3), Background) << c.Name;
        EXPECT_EQ(along(0.4, std::numbers::pi / 2), Background) << c.Name;
        // The slots across the middle show the background through the colour key.
        int seen = 0;
        for (double d = -0.3; d <= 0.3; d += 0.01)
            seen += along(d, 0) == Background;
        EXPECT_GT(seen, 3) << c.Name;
    }
}

TEST_F(ManholesLabelsGL, ALabelPointingUpReadsUpThePlan) {
    TFontsDataForm fonts;
    TStreetStructure street;
    auto *l = dynamic_cast<TTextLabelItem *>(street.Lists(TextLabelTypeCode).AddNew());
    l->Points.InsertNewPoint(0, {0, 0, 0});
    l->Points.InsertNewPoint(1, {0, 1, 0});
    l->SetText(Cp("ШШШ"));
    l->SetSize(16); // 1 m high
    l->SetColor(MakeD3DColor(200, 0, 0, 255));
    Draw(street, 50);
    const TTextFrame f = l->GetTextFrame();
    ASSERT_GT(f.X1, 1.0);
    // Bottom-left anchor, the text turned by +90 degrees: along +y, its height towards -x.
    EXPECT_GT(Count(-0.9, 0.1, -0.1, std::min(f.X1 - 0.1, 1.9), 0xC80000), 50);
    EXPECT_EQ(Count(0.1, -1.9, 1.9, 1.9, 0xC80000), 0) << "nothing right of the baseline";
    EXPECT_EQ(Count(-1.9, -1.9, 1.9, -0.1, 0xC80000), 0) << "nothing before the anchor";

    // Zoomed out to a frame: its outline in the text colour, nothing inside.
    Draw(street, 0.5f);
    int framed = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            framed += (Out.Pixel(x, y) & 0xFFFFFF) == 0xC80000;
    EXPECT_GT(framed, 0);
}

TEST_F(ManholesLabelsGL, AManholeShowsItsCoverAndItsOwner) {
    TFontsDataForm fonts;
    TStreetStructure street;
    auto *k = dynamic_cast<TKolodItem *>(street.Lists(KolodTypeCode).AddNew());
    k->Points.InsertNewPoint(0, {0, 0, 0});
    Draw(street, 50);
    EXPECT_NE(At(0, 0), Background) << "the cover";
    EXPECT_NE(At(0.3, 0), Background) << "the cover";
    EXPECT_EQ(At(0.45, 0.45), Background) << "the round cover's key in the corner";
    EXPECT_EQ(Count(0.5, 0.35, 1.9, 1.9, 0), 0) << "no owner, no label";

    k->SetOwner(Cp("ШШ"));
    Draw(street, 50);
    // Alignment 6: the text starts half a size right of the manhole and 0.4 of a size up, reading along +x.
    EXPECT_GT(Count(0.5, 0.4, 1.9, 1.9, 0), 10);
    EXPECT_EQ(Count(-1.9, -1.9, -0.6, 1.9, 0), 0);
    EXPECT_EQ(Count(-1.9, -1.9, 1.9, -0.6, 0), 0);
}

} // namespace
