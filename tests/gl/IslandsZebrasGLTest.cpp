// Islands and crossings drawn off-screen on a white ground: a zebra's stripe is black and the gap after it
// bare, a yellow patch fills the gap of a crossing with the background, and an island's stripe is painted
// while the outline's inside between stripes stays bare.
#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"
#include "objects/OstrovokItem.h"
#include "objects/RegisterObjects.h"
#include "objects/ZebraItem.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

namespace {

constexpr int W = 400, H = 400;
constexpr float PixelsPerMetre = 20;
constexpr float Top = 18;

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

struct TRegistered {
    TRegistered() { RegisterObjects(); }
};

class IslandsZebrasGL : public ::testing::Test, TRegistered {
protected:
    void SetUp() override {
        Crossing(15, 4, false);
        Crossing(8, 3, true);
        auto *island = dynamic_cast<TOstrovokItem *>(Street.Lists(OstrovokTypeCode).AddNew());
        ASSERT_TRUE(island);
        for (const TXYZ &p : {TXYZ{19, 6, 0}, TXYZ{10, 2, 0}, TXYZ{19, -2, 0}, TXYZ{22, 2, 0}})
            island->Points.InsertNewPoint(island->Points.Count(), p);
        island->MainPoint = 1;
        island->SetGostVariant(2);

        TSurfaceRenderer r(W, H);
        r.BeginDraw();
        r.Clear(0xFFFFFFFF, true, false, false);
        r.Projection().SetMatrix(PlanToClip());
        Street.Draw({&r, {10, 9, 0}, 30}, FullTypeSet(), PlanLayerMask);
        r.EndDraw();
        r.CopyToBitmap(Out);
        ASSERT_EQ(Out.Width(), W);
    }

    // A straight crossing from x 1 to x 7 at the height: stripes at x 1.5, 2.5 ... across y +- width / 2.
    void Crossing(float y, float width, bool yellow) {
        auto *z = dynamic_cast<TZebraItem *>(Street.Lists(ZebraTypeCode).AddNew());
        ASSERT_TRUE(z);
        z->Points.InsertNewPoint(0, {1, y, 0});
        z->Points.InsertNewPoint(1, {7, y, 0});
        z->Width = width;
        z->YellowBackground = yellow ? 1 : 0;
    }

    uint32_t Colour(float x, float y) const {
        return Out.Pixel(int(x * PixelsPerMetre), int((Top - y) * PixelsPerMetre)) & 0xFFFFFF;
    }

    TStreetStructure Street;
    TBitmap Out;
};

TEST_F(IslandsZebrasGL, StripesAreBlackAndGapsBare) {
    EXPECT_EQ(Colour(2.55f, 16.5f), 0x000000u) << "stripe";
    EXPECT_EQ(Colour(2.55f, 13.5f), 0x000000u) << "stripe, other end";
    EXPECT_EQ(Colour(3.0f, 16.5f), 0xFFFFFFu) << "gap";
    EXPECT_EQ(Colour(2.55f, 17.3f), 0xFFFFFFu) << "past the stripe's end";
}

TEST_F(IslandsZebrasGL, YellowPatchesFillTheGaps) {
    EXPECT_EQ(Colour(3.0f, 8.5f), 0xF0F000u) << "patch";
    EXPECT_EQ(Colour(2.5f, 8.5f), 0x000000u) << "stripe";
}

TEST_F(IslandsZebrasGL, IslandStripesArePaintedAndTheInsideBetweenThemIsBare) {
    // The first stripe leaves the axis between stations 2.75 and 3.25 (x 12.75 .. 13.25) and leans back.
    EXPECT_EQ(Colour(12.8f, 2.3f), 0x050505u) << "stripe";
    EXPECT_EQ(Colour(14.5f, 2.3f), 0xFFFFFFu) << "between stripes";
}

} // namespace
