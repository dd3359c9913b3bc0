// A calculation area drawn off-screen through the GL device: its hatch inside the outline and nowhere
// outside it, and its outline in its own colour.
#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "objects/CalcAreaItem.h"
#include "platform/gdi/Bitmap.h"
#include "tools/make-street/ObjectFillers.h"

#include <gtest/gtest.h>

namespace {

constexpr int W = 400, H = 400;
constexpr float PixelsPerMetre = 20;
constexpr float Top = 18; // the plan window: x from 0, y down from Top
constexpr uint32_t Background = 0x000000, Hatch = 0x963232;

TDxMatrix PlanToClip() {
    TDxMatrix m{};
    m.m[0][0] = 2.0f * PixelsPerMetre / W;
    m.m[1][1] = 2.0f * PixelsPerMetre / H;
    m.m[2][2] = 1;
    m.m[3][0] = -1;
    m.m[3][1] = 1 - 2.0f * PixelsPerMetre * Top / H;
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1;
    return m;
}

TEST(CalcAreaGL, HatchInsideNoneOutsideOutlineInItsColour) {
    UseObjectClasses();
    TStreetStructure street;
    auto *area = dynamic_cast<TCalcAreaItem *>(street.Lists(CalcAreaTypeCode).AddNew());
    ASSERT_NE(area, nullptr);
    // 10 x 8 m from (4, 4): pixels 80..280 across, 120..280 down.
    for (const TXYZ &p : {TXYZ{4, 4, 0}, TXYZ{14, 4, 0}, TXYZ{14, 12, 0}, TXYZ{4, 12, 0}})
        area->Points.InsertNewPoint(area->Points.Count(), p);
    ASSERT_NE(TCalcAreaItem::HatchTexture(), nullptr);

    TSurfaceRenderer r(W, H);
    r.BeginDraw();
    r.Clear(0xFF000000 | Background, true, false, false);
    r.Projection().SetMatrix(PlanToClip());
    street.Draw({&r, {10, 8, 0}, 30}, FullTypeSet(), PlanLayerMask);
    r.EndDraw();
    TBitmap image;
    r.CopyToBitmap(image);
    ASSERT_EQ(image.Width(), W);
    auto at = [&](int x, int y) { return image.Pixel(x, y) & 0xFFFFFF; };

    int inside = 0, insideHatch = 0, outsideMarked = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const bool in = x > 82 && x < 278 && y > 122 && y < 278;
            const bool out = x < 77 || x > 283 || y < 117 || y > 283;
            if (in) {
                ++inside;
                insideHatch += at(x, y) == Hatch ? 1 : 0;
                EXPECT_TRUE(at(x, y) == Hatch || at(x, y) == Background) << x << "," << y;
            } else if (out) {
                outsideMarked += at(x, y) != Background ? 1 : 0;
            }
        }
    // Two diagonals in every 16 x 16 tile: an eighth of the pixels.
    EXPECT_GT(insideHatch, inside / 10);
    EXPECT_LT(insideHatch, inside / 6);
    EXPECT_EQ(outsideMarked, 0);
    // The outline along the lower edge (y = 4 m, pixel row 280).
    int outline = 0;
    for (int x = 100; x < 260; ++x)
        outline += (at(x, 280) == Hatch || at(x, 279) == Hatch || at(x, 281) == Hatch) ? 1 : 0;
    EXPECT_EQ(outline, 160);
}

// Areas are drawn where the view's circle reaches their box, whatever their vertices: one that holds the
// whole view with every vertex far outside it is hatched across the picture; one moved away is gone from
// the next frame, and back when it returns.
TEST(CalcAreaGL, DrawnWhereTheViewReachesItsBoxAndFollowsAMove) {
    UseObjectClasses();
    TStreetStructure street;
    const auto add = [&](std::initializer_list<TXYZ> points) {
        auto *area = dynamic_cast<TCalcAreaItem *>(street.Lists(CalcAreaTypeCode).AddNew());
        for (const TXYZ &p : points)
            area->Points.InsertNewPoint(area->Points.Count(), p);
        return area;
    };
    const auto hatched = [&](int x0, int y0, int x1, int y1) {
        TSurfaceRenderer r(W, H);
        r.BeginDraw();
        r.Clear(0xFF000000 | Background, true, false, false);
        r.Projection().SetMatrix(PlanToClip());
        street.Draw({&r, {10, 8, 0}, 30}, FullTypeSet(), PlanLayerMask);
        r.EndDraw();
        TBitmap image;
        r.CopyToBitmap(image);
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += (image.Pixel(x, y) & 0xFFFFFF) == Hatch ? 1 : 0;
        return n;
    };
    TCalcAreaItem *big = add({{-500, -500, 0}, {500, -500, 0}, {500, 500, 0}, {-500, 500, 0}});
    EXPECT_GT(hatched(0, 0, W, H), W * H / 10);
    street.DeleteItems(std::vector<TAbstractItem *>{big});
    EXPECT_EQ(hatched(0, 0, W, H), 0);

    // 4 x 4 m from (2, 10): pixels 40..120 across, 80..160 down.
    TCalcAreaItem *small = add({{2, 10, 0}, {6, 10, 0}, {6, 14, 0}, {2, 14, 0}});
    EXPECT_GT(hatched(42, 82, 118, 158), 76 * 76 / 10);
    const auto shift = [&](float dx) {
        for (int i = 0; i < small->Points.Count(); ++i) {
            const TXYZ p = small->Points.GetPoint(i);
            small->Points.SetPoint(i, {p.x + dx, p.y, 0});
        }
    };
    shift(1000);
    EXPECT_EQ(hatched(0, 0, W, H), 0);
    shift(-1000);
    EXPECT_GT(hatched(42, 82, 118, 158), 76 * 76 / 10);
}

} // namespace
