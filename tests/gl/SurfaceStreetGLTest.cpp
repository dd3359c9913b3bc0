// A generated street with surfaces and curbs drawn off-screen: the pixels inside a road way, inside a lawn
// and on a curb have their types' colours.
#include "PlanWindow.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"
#include "objects/BortItem.h"
#include "objects/Gazon.h"
#include "objects/RoadWay.h"
#include "platform/gdi/Bitmap.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <gtest/gtest.h>

namespace {

using namespace planwindow;

TXYZ Pixel(float x, float y) {
    return {x * PixelsPerMetre, (Top - y) * PixelsPerMetre, 0};
}

TEST(SurfaceStreetGL, RoadWayLawnAndCurbShowTheirColours) {
    UseObjectClasses();
    TStreetStructure street;
    GenerateStreet(street, {.Vertices = 300, .Seed = 3});
    // The first block: a lawn in the first row (y 0 to 3.5), road ways above it, a curb on the line
    // between them.
    ASSERT_GT(street.Lists(GazonTypeCode).Count(), 0);
    ASSERT_GT(street.Lists(BortTypeCode).Count(), 0);

    TSurfaceRenderer r(W, H);
    r.BeginDraw();
    r.Clear(0xFF000000, true, false, false);
    r.Projection().SetMatrix(PlanToClip());
    const TDxDrawParams params{&r, {10, 9, 0}, 30};
    street.Draw(params, FullTypeSet(), PlanLayerMask);
    r.EndDraw();
    TBitmap out;
    r.CopyToBitmap(out);
    ASSERT_EQ(out.Width(), W);

    auto colour = [&out](float x, float y) {
        const TXYZ p = Pixel(x, y);
        return out.Pixel(int(p.x), int(p.y)) & 0xFFFFFF;
    };
    EXPECT_EQ(colour(9.3f, 5.2f), 0xEBEBEBu) << "inside a road way";
    EXPECT_EQ(colour(9.3f, 1.8f), 0xD2FFD2u) << "inside a lawn";
    EXPECT_EQ(colour(9.3f, 3.5f), 0x008000u) << "on the curb";
    EXPECT_EQ(colour(9.3f, 12.3f), 0xD2D2D2u) << "inside a sidewalk";
}

} // namespace
