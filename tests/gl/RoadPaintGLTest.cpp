// Painted road text and signs drawn off-screen through the GL device with the generated glyph files:
// "СТОП" black on its letters and not in their gaps, 2.5 times as long with ARROWBIG; a sign without a
// glyph as the default rectangle.
#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "objects/RazmetGlyphs.h"
#include "objects/RazmetText.h"
#include "platform/gdi/Bitmap.h"
#include "tools/make-street/ObjectFillers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

namespace {

constexpr int W = 400, H = 400;
constexpr float PixelsPerMetre = 40;
constexpr uint32_t White = 0xFFFFFF, Black = 0x000000;
// A cell of the stencil font.
constexpr float CellW = 0.16f, CellH = 1.6f / 7;

// The plan from (0, 0) to (10, 10) on the picture, y up.
TDxMatrix PlanToClip() {
    TDxMatrix m{};
    m.m[0][0] = 2.0f * PixelsPerMetre / W;
    m.m[1][1] = 2.0f * PixelsPerMetre / H;
    m.m[2][2] = 1;
    m.m[3][0] = -1;
    m.m[3][1] = -1;
    m.m[3][2] = 0.5f;
    m.m[3][3] = 1;
    return m;
}

template <class T> T *Add(TStreetStructure &s, int code, std::initializer_list<TXYZ> points) {
    auto *item = dynamic_cast<T *>(s.Lists(code).AddNew());
    for (const TXYZ &p : points)
        item->Points.InsertNewPoint(item->Points.Count(), p);
    return item;
}

class RoadPaintGL : public ::testing::Test {
protected:
    RoadPaintGL() { FreeRazmetGlyphs(); }
    ~RoadPaintGL() override { FreeRazmetGlyphs(); }

    void Render() {
        TSurfaceRenderer r(W, H);
        r.BeginDraw();
        r.Clear(0xFF000000 | White, true, false, false);
        r.Projection().SetMatrix(PlanToClip());
        Street.Draw({&r, {5, 5, 0}, 8}, FullTypeSet(), PlanLayerMask);
        r.EndDraw();
        r.CopyToBitmap(Image);
        ASSERT_EQ(Image.Width(), W);
    }

    uint32_t At(float x, float y) const {
        return Image.Pixel(int(std::floor(x * PixelsPerMetre)), int(std::floor((10 - y) * PixelsPerMetre))) &
               0xFFFFFF;
    }
    // The centre of cell (column, row from the top) of the glyph at x0 of a text standing on y = 1.
    uint32_t Cell(float x0, int column, int row, float stretch = 1) const {
        return At(x0 + (column + 0.5f) * CellW, 1 + (6 - row + 0.5f) * CellH * stretch);
    }

    bool Registered = (UseObjectClasses(), true);
    TStreetStructure Street;
    TBitmap Image;
};

TEST_F(RoadPaintGL, StopIsBlackOnItsLettersAndLongerWithArrowBig) {
    auto *stop = Add<TRazmetTextItem>(Street, RazmetTextTypeCode, {{1, 1, 0}, {6, 1, 0}});
    stop->SetText(Cp("СТОП"));
    Render();
    ASSERT_TRUE(RazmetFontProblem().Empty()) << RazmetFontProblem().Reason;
    // "С": its left stroke, its open middle; "Т" (after 0.9 m): its stem, beside it; above the letters.
    EXPECT_EQ(Cell(1, 0, 3), Black);
    EXPECT_EQ(Cell(1, 2, 3), White);
    EXPECT_EQ(Cell(1, 1, 0), Black);
    EXPECT_EQ(Cell(1.9f, 2, 4), Black);
    EXPECT_EQ(Cell(1.9f, 4, 4), White);
    EXPECT_EQ(Cell(1.9f, 0, 0), Black);
    // "О" from 2.8 m (its hole), "П" from 3.7 m (its legs and the gap between).
    EXPECT_EQ(Cell(2.8f, 2, 3), White);
    EXPECT_EQ(Cell(2.8f, 4, 3), Black);
    EXPECT_EQ(Cell(3.7f, 0, 5), Black);
    EXPECT_EQ(Cell(3.7f, 2, 5), White);
    EXPECT_EQ(Cell(3.7f, 4, 5), Black);
    EXPECT_EQ(At(2, 2.8f), White);

    Street.SetArrowBig(true);
    Render();
    EXPECT_EQ(Cell(1.9f, 2, 0, 2.5f), Black) << "the top of the stem at 2.5 times the height";
    EXPECT_EQ(Cell(1.9f, 4, 0, 2.5f), Black);
    EXPECT_EQ(Cell(1.9f, 4, 4, 2.5f), White);
    EXPECT_EQ(Cell(1, 2, 3, 2.5f), White);
    EXPECT_EQ(At(2.3f, 1 + 3.9f), Black);
    EXPECT_EQ(At(2.3f, 1 + 4.1f), White);
    // The letters keep their width.
    EXPECT_EQ(Cell(1.9f, 0, 0, 2.5f), Black);
    EXPECT_EQ(At(1.9f + 0.85f, 3), White);
}

TEST_F(RoadPaintGL, ASignWithoutGlyphIsTheDefaultRectangle) {
    auto *sign = Add<TRazmetZnakItem>(Street, RazmetZnakTypeCode, {{5, 2, 0}, {7, 2, 0}});
    sign->SetSignName(Cp1251String("7.7"));
    Render();
    // 1.0 m across the direction (x here), 1.6 m along y from the vertex.
    EXPECT_EQ(At(5, 2.8f), Black);
    EXPECT_EQ(At(4.6f, 3.5f), Black);
    EXPECT_EQ(At(5.4f, 2.1f), Black);
    EXPECT_EQ(At(5, 3.7f), White);
    EXPECT_EQ(At(5.6f, 2.8f), White);
    EXPECT_EQ(At(4.4f, 2.8f), White);
    EXPECT_EQ(At(5, 1.9f), White);
}

} // namespace
