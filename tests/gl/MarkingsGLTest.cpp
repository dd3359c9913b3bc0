// Line markings drawn off-screen: a dashed strip shows its dashes at the period, a yellow record's strip
// is tinted, a marking without a record is a red strip 0.3 m wide, and a mirrored one lies on the other
// side of its line.
#include "PlanWindow.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"
#include "objects/LineRazmetItem.h"
#include "objects/RegisterObjects.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace planwindow;

TLnParamRec Record(const char *name, const char *texture, float period, float disp1, float disp2, bool yellow) {
    TLnParamRec r;
    r.Name = Cp1251String(name);
    r.TextureFile = Cp1251String(texture);
    r.Period = period;
    r.Disp1 = disp1;
    r.Disp2 = disp2;
    r.Yellow = yellow;
    return r;
}

// Streets take the class table as it is when they are made: the classes come first.
struct TRegistered {
    TRegistered() { RegisterObjects(); }
};

class MarkingsGL : public ::testing::Test, TRegistered {
protected:
    void SetUp() override {
        Street.SetLnRazmetParams({Record("D", "Dash_1_3.bmp", 4, 0.2f, -0.2f, false),
                                  Record("Y", "Solid_Yellow.bmp", 4, 0.2f, -0.2f, true),
                                  Record("S", "Solid.bmp", 4, 0.5f, 0.1f, false)});
        Line("D", 2, 0);
        Line("Y", 6, 0);
        Line("no such code", 10, 0);
        Line("S", 14, 1);

        TSurfaceRenderer r(W, H);
        r.BeginDraw();
        r.Clear(0xFF000000, true, false, false);
        r.Projection().SetMatrix(PlanToClip());
        Street.Draw({&r, {10, 9, 0}, 30}, FullTypeSet(), PlanLayerMask);
        r.EndDraw();
        r.CopyToBitmap(Out);
        ASSERT_EQ(Out.Width(), W);
    }

    // A marking of two vertices from x 0 to x 16 at the height.
    void Line(const char *code, float y, uint8_t mirror) {
        auto *m = dynamic_cast<TLineRazmetItem *>(Street.Lists(LineRazmetTypeCode).AddNew());
        m->Points.InsertNewPoint(0, {0, y, 0});
        m->Points.InsertNewPoint(1, {16, y, 0});
        m->SetGost(Cp1251String(code));
        m->SetMirror(mirror);
    }

    uint32_t Colour(float x, float y) const {
        return Out.Pixel(int(x * PixelsPerMetre), int((Top - y) * PixelsPerMetre)) & 0xFFFFFF;
    }

    TStreetStructure Street;
    TBitmap Out;
};

TEST_F(MarkingsGL, DashesRepeatAtTheirPeriod) {
    // Dash_1_3: the first quarter of each 4 m period is painted, the rest is the colour key.
    for (float x : {0.5f, 4.5f, 8.5f, 12.5f})
        EXPECT_EQ(Colour(x, 2), 0xEBEBEBu) << "dash at " << x;
    for (float x : {2.0f, 6.5f, 10.0f, 14.5f})
        EXPECT_EQ(Colour(x, 2), 0x000000u) << "gap at " << x;
    EXPECT_EQ(Colour(0.5f, 2.35f), 0x000000u) << "beside the strip";
}

TEST_F(MarkingsGL, YellowRecordsAreTinted) {
    // The texture's paint (90, 100, 20) plus the yellow vertex colour (160, 128, 0).
    EXPECT_EQ(Colour(5, 6), 0xFAE414u);
    EXPECT_EQ(Colour(5, 6.1f), 0xFAE414u);
}

TEST_F(MarkingsGL, AMarkingWithoutRecordIsARedStrip) {
    EXPECT_EQ(Colour(5, 10), 0xC80000u);
    EXPECT_EQ(Colour(5, 10.1f), 0xC80000u);
    EXPECT_EQ(Colour(5, 9.9f), 0xC80000u);
    EXPECT_EQ(Colour(5, 10.3f), 0x000000u);
    EXPECT_EQ(Colour(5, 9.7f), 0x000000u);
}

TEST_F(MarkingsGL, MirroredStripsLieOnTheOtherSide) {
    // Offsets 0.1 .. 0.5 to the left of the line, mirrored to its right.
    EXPECT_EQ(Colour(5, 13.7f), 0xEBEBEBu);
    EXPECT_EQ(Colour(5, 14.3f), 0x000000u);
}

} // namespace
