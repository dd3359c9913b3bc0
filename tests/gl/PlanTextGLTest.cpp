// Plan text and the items that write it, drawn off-screen: vector and atlas text, an axis with its picket
// marks and labels, a kilometre sign's plates and their thinning, lane arrows with their numbers, and the
// labels a label place writes beside the markings it crosses.
#include "engine/DxFont.h"
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "model/ItemLayers.h"
#include "model/StreetStructure.h"
#include "model/RazmetParams2.h"
#include "objects/ArrowRazmetItem.h"
#include "objects/AxisItem.h"
#include "objects/KMSignItem.h"
#include "objects/LineRazmetItem.h"
#include "objects/RazmerItem.h"
#include "objects/RegisterObjects.h"
#include "objects/StopItem.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int W = 400, H = 400;

// Plan units to pixels: x from Left, y down from Top, at the scale (the top-left pixel's centre at
// (Left, Top)).
struct TWindow {
    float Left = 0, Top = H, Scale = 1;

    TDxMatrix Clip() const {
        TDxMatrix m{};
        m.m[0][0] = 2.0f * Scale / W;
        m.m[1][1] = 2.0f * Scale / H;
        m.m[2][2] = 1;
        m.m[3][0] = -1 - 2.0f * Scale * Left / W;
        m.m[3][1] = 1 - 2.0f * Scale * Top / H;
        m.m[3][2] = 0.5f;
        m.m[3][3] = 1;
        return m;
    }
};

struct TPicture {
    TBitmap Bitmap;
    TWindow Window;

    uint32_t At(float x, float y) const {
        return Bitmap.Pixel(int((x - Window.Left) * Window.Scale + 0.5f),
                            int((Window.Top - y) * Window.Scale + 0.5f)) &
               0xFFFFFF;
    }
    // Pixels of the box (plan units) for which the test holds.
    int Count(float x0, float y0, float x1, float y1, const std::function<bool(uint32_t)> &test) const {
        int n = 0;
        for (float y = y0; y <= y1; y += 1 / Window.Scale)
            for (float x = x0; x <= x1; x += 1 / Window.Scale)
                n += test(At(x, y));
        return n;
    }
};

bool Dark(uint32_t c) {
    return (c & 0xFF) < 60 && ((c >> 8) & 0xFF) < 60 && ((c >> 16) & 0xFF) < 60;
}

TPicture Draw(const TWindow &window, const std::function<void(TdxRenderer &, const TDxDrawParams &)> &draw,
              const TXYZ &centre = {}, float radius = 1e6f) {
    TSurfaceRenderer r(W, H);
    r.BeginDraw();
    r.Clear(0xFFFFFFFF, true, false, false);
    r.Projection().SetMatrix(window.Clip());
    const TDxDrawParams params{&r, centre, radius};
    draw(r, params);
    r.EndDraw();
    TPicture p;
    p.Window = window;
    r.CopyToBitmap(p.Bitmap);
    return p;
}

TEST(PlanTextGL, VectorTextFillsItsGlyphs) {
    TFontsDataForm fonts;
    TDxFont *font = fonts.GetDxFont("Arial", 0);
    ASSERT_NE(font, nullptr);
    const TCharOutLine &h = font->Glyph('H');
    const TPicture p = Draw({}, [&](TdxRenderer &r, const TDxDrawParams &params) {
        r.World().Translate(true, 50, 50, 0);
        font->DrawText(params, Cp("HO"), 6, MakeD3DColor(0, 0, 0, 255), true, true);
    });
    // The H's left stem is filled; between its stems above the bar is not; nor is the O's counter.
    const float stem = 50 + h.Origin.x + 4;
    EXPECT_TRUE(Dark(p.At(stem, 50 + h.Origin.y * 0.8f)));
    EXPECT_EQ(p.At(50 + (h.Origin.x + h.OriginPlusBox.x) / 2, 50 + h.Origin.y * 0.8f), 0xFFFFFFu);
    const TCharOutLine &o = font->Glyph('O');
    const float ox = 50 + h.Advance.x + (o.Origin.x + o.OriginPlusBox.x) / 2;
    EXPECT_EQ(p.At(ox, 50 + h.Origin.y / 2), 0xFFFFFFu);
    EXPECT_TRUE(Dark(p.At(50 + h.Advance.x + o.Origin.x + 3, 50 + h.Origin.y / 2)));
    // Nothing below the baseline but the O's overshoot.
    EXPECT_EQ(p.Count(40, 40, 50 + font->TextWidth(Cp("HO")), 47, Dark), 0);
}

TEST(PlanTextGL, AtlasTextShowsItsCharactersAndNothingAroundThem) {
    TFontsDataForm fonts;
    TFontTexture *atlas = fonts.SmallArialTexture();
    ASSERT_NE(atlas, nullptr);
    ASSERT_GT(atlas->AtlasSize(), 0);
    std::vector<TDxVertex> quads;
    atlas->TextQuads(Cp("ПК 12"), quads);
    const float w = float(atlas->TextWidth(Cp("ПК 12"))), h = float(atlas->TextHeight());
    const TPicture p = Draw({}, [&](TdxRenderer &r, const TDxDrawParams &) {
        r.World().Scale(true, 2, 2, 2);
        r.World().Translate(true, 100, 100, 0);
        r.SetTexture(atlas);
        SetVerticesColor(quads, MakeD3DColor(0, 0, 0, 255), quads.size());
        r.DrawTriangleListV(quads);
        r.SetTexture(nullptr);
    });
    EXPECT_GT(p.Count(100, 100, 100 + 2 * w, 100 + 2 * h, Dark), 30);
    // The white key is transparent: outside the characters' ink the background stays.
    EXPECT_EQ(p.Count(100 + 2 * w + 3, 100, 100 + 2 * w + 30, 100 + 2 * h,
                      [](uint32_t c) { return c != 0xFFFFFF; }),
              0);
    EXPECT_EQ(p.At(100 + 2 * w - 1, 100 + 2 * h + 4), 0xFFFFFFu);
}

// The item classes are registered before the street is made.
struct TWithObjects : ::testing::Test {
    TWithObjects() { RegisterObjects(); }
};

class PlanItemsGL : public TWithObjects {
protected:
    TFontsDataForm Fonts;
    TStreetStructure S;

    TPicture DrawStreet(const TWindow &window, const TXYZ &centre = {}, float radius = 1e6f) {
        return Draw(
            window,
            [&](TdxRenderer &, const TDxDrawParams &params) {
                S.Draw(params, FullTypeSet(), PlanLayerMask | TechLayerMask);
            },
            centre, radius);
    }
};

TEST_F(PlanItemsGL, AxisPicketMarksAndLabels) {
    auto *a = dynamic_cast<TAxisItem *>(S.Lists(AxisTypeCode).AddNew());
    a->Points.InsertNewPoint(0, {0, 0, 0});
    a->Points.InsertNewPoint(1, {25, 0, 0});
    a->SetPicketStep(10);
    a->SetMarkWidth(5);
    a->SetDrawMarks(true);
    a->SetColor(MakeD3DColor(0, 0, 255, 255));
    a->SetName(Cp("А"));
    const TWindow window{-2, 12, 16}; // x -2 .. 23, y 12 .. -13
    const TPicture p = DrawStreet(window);
    // The axis line and the marks at 0, 10 and 20 m in the axis colour; none at 5 m.
    EXPECT_EQ(p.At(5, 0), 0x0000FFu);
    for (float x : {0.0f, 10.0f, 20.0f})
        EXPECT_EQ(p.At(x, 3), 0x0000FFu) << x;
    EXPECT_EQ(p.At(5, 3), 0xFFFFFFu);
    // "ПК 1" beyond both ends of the mark at 10 m, nothing beside the axis between the marks.
    EXPECT_GT(p.Count(9, 5.1f, 11, 8, Dark), 10);
    EXPECT_GT(p.Count(9, -8, 11, -5.1f, Dark), 10);
    EXPECT_EQ(p.Count(13, 1, 17, 4, Dark), 0);

    // With ticks: every metre a tick across the axis and its label beside it.
    a->SetDrawShortMarks(true);
    const TPicture ticks = DrawStreet(window);
    EXPECT_EQ(ticks.At(13, 0.3f), 0x0000FFu);
    EXPECT_EQ(ticks.At(13.5f, 0.3f), 0xFFFFFFu);
    EXPECT_GT(ticks.Count(12.4f, 0.5f, 13.6f, 2, Dark), 3);
}

TEST_F(PlanItemsGL, StopPavilionsLieLeftOfTheirDirection) {
    auto *stop = dynamic_cast<TStopItem *>(S.Lists(StopTypeCode).AddNew());
    stop->Points.InsertNewPoint(0, {0, 0, 0});
    stop->Points.InsertNewPoint(1, {1, 0, 0});
    const TWindow window{-5, 5, 20}; // x -5 .. 15, y 5 .. -15
    S.SetStrOption(Cp1251String("StopsYellow"), Cp1251String("1"));
    const TPicture yellow = DrawStreet(window);
    // The 4 x 2 m pavilion on the left (+y) of its direction, filled yellow with a dark outline.
    EXPECT_EQ(yellow.At(2, 1), 0xFFFF50u);
    EXPECT_EQ(yellow.At(3.5f, 1.7f), 0xFFFF50u);
    EXPECT_EQ(yellow.At(2, -1), 0xFFFFFFu);
    EXPECT_GT(yellow.Count(1, -0.1f, 3, 0.1f, Dark), 10);
    EXPECT_GT(yellow.Count(1, 1.9f, 3, 2.1f, Dark), 10);

    S.SetStrOption(Cp1251String("StopsYellow"), Cp1251String("0"));
    S.InvalidateAllItems();
    const TPicture red = DrawStreet(window);
    EXPECT_EQ(red.At(2, 1.6f), 0xFFFFFFu) << "not filled";
    const auto isRed = [](uint32_t c) { return c == 0xFF0000; };
    EXPECT_GT(red.Count(0.8f, 0.3f, 1.2f, 0.7f, isRed), 0) << "a diagonal";
    EXPECT_EQ(red.Count(0, -2, 4, -0.2f, isRed), 0);
}

TEST_F(PlanItemsGL, DimensionArrowsAndValues) {
    auto *dim = dynamic_cast<TRazmerItem *>(S.Lists(RazmerTypeCode).AddNew());
    for (const TXYZ &p : {TXYZ{0, 0, 0}, TXYZ{20, 0, 0}, TXYZ{2, 3, 0}, TXYZ{12, 3, 0}})
        dim->Points.InsertNewPoint(dim->Points.Count(), p);
    S.SetRazmerColor(int32_t(MakeD3DColor(0, 0, 255, 255)));
    const TWindow window{-1, 4, 20}; // x -1 .. 19, y 4 .. -16
    const TPicture p = DrawStreet(window);
    const auto isBlue = [](uint32_t c) { return c == 0x0000FF; };
    // The arrow at the first point: its tip there, its body towards the second.
    EXPECT_TRUE(isBlue(p.At(2.8f, 0.1f)));
    EXPECT_TRUE(isBlue(p.At(2.8f, -0.1f)));
    EXPECT_EQ(p.At(1.2f, 0.1f), 0xFFFFFFu);
    EXPECT_TRUE(isBlue(p.At(11.2f, 0.1f)));
    EXPECT_EQ(p.At(12.8f, 0.1f), 0xFFFFFFu);
    // The extension lines and the value "10" above the middle of the segment, reading along it.
    EXPECT_TRUE(isBlue(p.At(2, 1.5f)));
    const auto ink = [](uint32_t c) { return c != 0xFFFFFF; };
    EXPECT_GT(p.Count(6, 0.3f, 8, 1.2f, ink), 10);
    EXPECT_EQ(p.Count(6, -1.2f, 8, -0.3f, ink), 0);
    EXPECT_EQ(p.Count(4, 0.3f, 5.5f, 1.2f, ink), 0);
}

TEST_F(PlanItemsGL, KilometreSignPlatesAndTheirThinning) {
    auto *k = dynamic_cast<TKMSignItem *>(S.Lists(KMSignTypeCode).AddNew());
    k->Points.InsertNewPoint(0, {0, 0, 0});
    k->SetKmA(7);
    k->SetKmB(8);
    // One metre a pixel: plates of 12 pixels a unit, 48 x 24 pixels, either side of the vertex.
    const TWindow near{-200, 200, 1};
    const TPicture p = DrawStreet(near);
    const uint32_t plate = 0x1E5AC8; // the picture's inner blue
    // Away from the numbers: the plates' middle parts stretch the picture's middle column.
    EXPECT_EQ(p.At(-40, 0), plate);
    EXPECT_EQ(p.At(40, 2), plate);
    EXPECT_EQ(p.At(0, 0), 0xFFFFFFu); // the gap between the plates
    // The numbers in white on the plates.
    EXPECT_GT(p.Count(-30, -5, -20, 5, [](uint32_t c) { return c == 0xFFFFFF; }), 5);

    // At 20 metres a pixel the zoom step is 2: km 7 is thinned out, km 10 stays.
    const TWindow far{-4000, 4000, 0.05f};
    EXPECT_EQ(DrawStreet(far).Count(-100, -100, 100, 100, [](uint32_t c) { return c != 0xFFFFFF; }), 0);
    k->SetKmA(10);
    EXPECT_GT(DrawStreet(far).Count(-100, -100, 100, 100, [](uint32_t c) { return c != 0xFFFFFF; }), 0);

    // Only the first plate without a second number; nothing outside the view radius.
    k->SetKmA(7);
    k->SetKmB(-1);
    const TPicture one = DrawStreet(near);
    EXPECT_EQ(one.At(-40, 0), plate);
    EXPECT_EQ(one.At(40, 2), 0xFFFFFFu);
    EXPECT_EQ(
        DrawStreet(near, {500, 0, 0}, 100).Count(-40, -20, 40, 20, [](uint32_t c) { return c != 0xFFFFFF; }),
        0);
}

TEST_F(PlanItemsGL, LaneArrowsPointWhereTheirEdgeGoes) {
    const int32_t straight = ArrowDefIndex(Cp("Прямо"));
    ASSERT_GE(straight, 0) << "the generated arrow library";
    const auto arrow = [&](TXYZ from, TXYZ to) {
        auto *a = dynamic_cast<TArrowRazmetItem *>(S.Lists(ArrowRazmetTypeCode).AddNew());
        a->Points.InsertNewPoint(0, from);
        a->Points.InsertNewPoint(1, to);
        a->SetArrowIndex(straight);
    };
    arrow({0, 0, 0}, {10, 0, 0});
    arrow({10, 6, 0}, {0, 6, 0});
    const TPicture p = DrawStreet({-3, 10, 20}); // x -3 .. 17, y 10 .. -10
    // The symbol: a stem 0.15 m wide from the tail, its head 0.9 m wide over the last 1.5 m of 5 m.
    const auto paint = [](uint32_t c) { return c == 0x050505; };
    EXPECT_TRUE(paint(p.At(1, 0)));
    EXPECT_TRUE(paint(p.At(4, 0.2f))) << "the head, 4 m along +x";
    EXPECT_EQ(p.At(1, 0.3f), 0xFFFFFFu) << "beside the stem at the tail";
    EXPECT_EQ(p.At(5.5f, 0), 0xFFFFFFu) << "beyond the tip";
    EXPECT_TRUE(paint(p.At(6, 6.2f))) << "the head, 4 m along -x";
    EXPECT_EQ(p.At(9, 6.3f), 0xFFFFFFu);
    // The number "1.18" ends at the tail, behind the symbol.
    EXPECT_GT(p.Count(-2.5f, -0.5f, -0.1f, 0.5f, Dark), 5);
    EXPECT_GT(p.Count(10.1f, 5.5f, 12.5f, 6.5f, Dark), 5);
}

TEST_F(PlanItemsGL, LabelPlacesWriteBesideTheMarkingsTheyCross) {
    TLnParamRec r;
    r.Name = Cp("1.1");
    r.Period = 4;
    r.Disp1 = 0.05f;
    r.Disp2 = -0.05f;
    S.SetLnRazmetParams({r});
    auto *m = dynamic_cast<TLineRazmetItem *>(S.Lists(LineRazmetTypeCode).AddNew());
    m->Points.InsertNewPoint(0, {0, 0, 0});
    m->Points.InsertNewPoint(1, {16, 0, 0});
    m->SetGost(Cp("1.1"));
    TAbstractItem *place = S.Lists(RazmetLabelPlaceTypeCode).AddNew();
    place->Points.InsertNewPoint(0, {8, -3, 0});
    place->Points.InsertNewPoint(1, {8, 3, 0});
    const TWindow window{4, 4, 50}; // x 4 .. 12, y 4 .. -4
    const TPicture p = DrawStreet(window);
    // Crossing upwards: "1.1" centred on the crossing, standing above the strip; nothing below it.
    EXPECT_GT(p.Count(7, 0.1f, 9, 1.5f, Dark), 20);
    EXPECT_EQ(p.Count(7, -1.5f, 9, -0.1f, Dark), 0);
    EXPECT_EQ(p.Count(10, 0.1f, 12, 1.5f, Dark), 0);
    // Moved down by 2 m, the marking takes its label along.
    m->Points.SetPoint(0, {0, -2, 0});
    m->Points.SetPoint(1, {16, -2, 0});
    const TPicture moved = DrawStreet(window);
    EXPECT_EQ(moved.Count(7, 0.1f, 9, 1.5f, Dark), 0);
    EXPECT_GT(moved.Count(7, -1.9f, 9, -0.5f, Dark), 20);
}

} // namespace
