// Design items drawn off-screen through the GL device: a block with its anchor on the vertex, turned with
// its axis; solid bands with their centre lines; the start picture over the first metres of a library
// line; tiles PeriodX apart along a turned axis.
#include "PlanWindow.h"

#include "engine/DxRenderer.h"
#include "model/ItemLayers.h"
#include "model/ItemList.h"
#include "model/StreetStructure.h"
#include "objects/DesignBlock.h"
#include "objects/DesignFigure.h"
#include "objects/DesignLine.h"
#include "platform/gdi/Bitmap.h"
#include "tools/make-street/ObjectFillers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

namespace {

using namespace planwindow;
constexpr uint32_t Background = 0x000000, Red = 0xFF0000, Blue = 0x0000FF, Green = 0x00C000;

// Left half red, right half blue: a picture whose sides cannot be mistaken.
TBitmap OneSided(int width, int height) {
    TBitmap b(width, height, TPixelFormat::pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.SetPixel(x, y, 0xFF000000u | (x < width / 2 ? Red : Blue));
    return b;
}

TBitmap Plain(int width, int height, uint32_t rgb) {
    TBitmap b(width, height, TPixelFormat::pf24bit);
    b.Fill(0xFF000000u | rgb);
    return b;
}

template <class T> T *Add(TStreetStructure &s, int code, std::initializer_list<TXYZ> points) {
    auto *item = dynamic_cast<T *>(s.Lists(code).AddNew());
    for (const TXYZ &p : points)
        item->Points.InsertNewPoint(item->Points.Count(), p);
    return item;
}

class DesignItemsGL : public ::testing::Test {
protected:

    void Render(TXYZ viewCenter = {10, 8, 0}, float viewRadius = 30) {
        TSurfaceRenderer r(W, H);
        r.BeginDraw();
        r.Clear(0xFF000000 | Background, true, false, false);
        r.Projection().SetMatrix(PlanToClip());
        Street.Draw({&r, viewCenter, viewRadius}, FullTypeSet(), PlanLayerMask);
        r.EndDraw();
        r.CopyToBitmap(Image);
        ASSERT_EQ(Image.Width(), W);
    }

    uint32_t At(float x, float y) const {
        return Image.Pixel(int(std::lround(x * PixelsPerMetre)), int(std::lround((Top - y) * PixelsPerMetre))) &
               0xFFFFFF;
    }

    // A street's lists take their classes when it is made.
    bool Registered = (UseObjectClasses(), true);
    TStreetStructure Street;
    TBitmap Image;
};

TEST_F(DesignItemsGL, DeviceReportsItsAnisotropy) {
    TSurfaceRenderer r(8, 8);
    EXPECT_GE(r.Caps().MaxAnisotropy, 1u);
}

TEST_F(DesignItemsGL, BlocksStandOnTheirAnchorTurnedWithTheAxis) {
    TDsnBlockDef *def = Street.BlockDefs().Add();
    def->Name = Cp1251String("side");
    def->Bitmap.Assign(OneSided(8, 4));
    def->Width = 4;
    def->Height = 2;
    def->AnchorX = 0;
    def->AnchorY = 4; // the picture's lower-left corner
    auto *plain = Add<TDesignBlockItem>(Street, DesignBlockTypeCode, {{2, 2, 0}});
    plain->SetBlockName(def->Name);
    auto *axis = Add<TDesignLineItem>(Street, DesignLineTypeCode, {{15, 0, 0}, {15, 20, 0}});
    axis->SetColor(0xFF000000);
    auto *turned = Add<TDesignBlockItem>(Street, DesignBlockTypeCode, {{12, 8, 0}});
    turned->SetBlockName(def->Name);
    turned->SetAxis(axis);
    Render();

    EXPECT_EQ(At(2.5f, 2.5f), Red) << "lower-left corner on the vertex";
    EXPECT_EQ(At(5.5f, 3.5f), Blue);
    EXPECT_EQ(At(1.5f, 2.5f), Background);
    EXPECT_EQ(At(2.5f, 1.5f), Background);
    EXPECT_EQ(At(2.5f, 4.5f), Background);
    // Along the axis (+y) the block's width, to its left its height.
    EXPECT_EQ(At(11.5f, 8.5f), Red);
    EXPECT_EQ(At(11.5f, 11.5f), Blue);
    EXPECT_EQ(At(12.5f, 8.5f), Background);
    EXPECT_EQ(At(9.5f, 8.5f), Background);
}

// The view's circle decides what is drawn, not where its centre lies: a view centred far above the items
// draws those it reaches and no others, and follows a line moved since the last frame.
TEST_F(DesignItemsGL, TheViewCircleDecidesWhichBlocksAndLinesAreDrawn) {
    TDsnBlockDef *def = Street.BlockDefs().Add();
    def->Name = Cp1251String("plain");
    def->Bitmap.Assign(Plain(4, 4, Blue));
    def->Width = def->Height = 2;
    def->AnchorY = 4; // the picture's lower-left corner on the vertex
    auto *block = Add<TDesignBlockItem>(Street, DesignBlockTypeCode, {{2, 2, 0}});
    block->SetBlockName(def->Name);
    auto *line = Add<TDesignLineItem>(Street, DesignLineTypeCode, {{1, 14, 0}, {19, 14, 0}});
    line->SetColor(0xFF000000u | Red);
    const TXYZ far{10, 60, 0};
    const float toLine = 46, toBlock = std::hypot(8.0f, 58.0f);
    const struct {
        float Radius;
        bool Line, Block;
    } cases[] = {{toLine - 0.5f, false, false}, {toLine + 0.5f, true, false}, {toBlock + 0.5f, true, true}};
    for (const auto &c : cases) {
        Render(far, c.Radius);
        EXPECT_EQ(At(10, 14) == Red, c.Line) << "radius " << c.Radius;
        EXPECT_EQ(At(3, 3) == Blue, c.Block) << "radius " << c.Radius;
    }
    // Moved down out of the circle that reached it.
    line->Points.SetPoint(0, {1, 6, 0});
    line->Points.SetPoint(1, {19, 6, 0});
    Render(far, toLine + 0.5f);
    EXPECT_EQ(At(10, 14), Background);
    EXPECT_EQ(At(10, 6), Background);
    Render(far, 54.5f);
    EXPECT_EQ(At(10, 6), Red);
}

TEST_F(DesignItemsGL, SolidBandsShowWithTheirCentreLine) {
    auto *band = Add<TDesignLineItem>(Street, DesignLineTypeCode, {{1, 4, 0}, {19, 4, 0}});
    band->SetColor(0xFF000000u | Green);
    band->SetWidth(1);
    auto *shifted = Add<TDesignLineItem>(Street, DesignLineTypeCode, {{1, 10, 0}, {19, 10, 0}});
    shifted->SetColor(0xFF000000u | Green);
    shifted->SetWidth(1);
    shifted->SetDisp(0.5f);
    auto *thin = Add<TDesignLineItem>(Street, DesignLineTypeCode, {{1, 14, 0}, {19, 14, 0}});
    thin->SetColor(0xFF000000u | Red);
    Render();

    EXPECT_EQ(At(10, 4), Green);
    EXPECT_EQ(At(10, 4.35f), Green);
    EXPECT_EQ(At(10, 3.65f), Green);
    EXPECT_EQ(At(10, 4.75f), Background);
    EXPECT_EQ(At(10, 3.25f), Background);
    // Displaced by 0.5 to the right of its direction: from 9 to 10.
    EXPECT_EQ(At(10, 9.5f), Green);
    EXPECT_EQ(At(10, 9.15f), Green);
    EXPECT_EQ(At(10, 10.3f), Background);
    // Width 0: only the thin line.
    EXPECT_EQ(At(10, 14), Red);
    EXPECT_EQ(At(10, 14.3f), Background);
}

TEST_F(DesignItemsGL, TheStartPictureCoversTheFirstMetresOfALibraryLine) {
    TDsnLineDef *def = Street.LineDefs().Add();
    def->Name = Cp1251String("edge");
    def->Period = 2;
    def->Width = 1;
    def->GetStartBitmap().Assign(Plain(4, 2, Red));
    def->GetRepeatBitmap().Assign(Plain(4, 2, Blue));
    Street.LineDefs().PublishBatches(Street);
    auto *line = Add<TDesignLineItem>(Street, DesignLineTypeCode, {{1, 6, 0}, {11, 6, 0}});
    line->SetExtDef(def->Name);
    Render();

    for (float x : {1.2f, 2.0f, 2.8f})
        EXPECT_EQ(At(x, 6), Red) << x;
    for (float x : {3.2f, 6.0f, 10.8f})
        EXPECT_EQ(At(x, 6), Blue) << x;
    EXPECT_EQ(At(11.3f, 6), Background);
    EXPECT_EQ(At(6, 6.75f), Background);
}

TEST_F(DesignItemsGL, TilesRepeatPeriodXApartAlongATurnedAxis) {
    TDsnFigDef *def = Street.FigDefs().Add();
    def->Name = Cp1251String("tiles");
    def->PeriodX = 2;
    def->PeriodY = 1;
    def->Bitmap.Assign(OneSided(8, 8));
    Street.FigDefs().PublishBatches(Street);
    auto *axis = Add<TDesignLineItem>(Street, DesignLineTypeCode, {{19, 0, 0}, {19, 18, 0}});
    axis->SetColor(0xFF000000);
    auto *figure = Add<TDesignFigureItem>(Street, DesignFigureTypeCode,
                                          {{2.3f, 1.1f, 0}, {16, 1.1f, 0}, {16, 15, 0}, {2.3f, 15, 0}});
    figure->SetStyleName(def->Name);
    figure->SetReferAxis(axis);
    Render();

    const TFigureTiling tiling(*def, figure->Points.GetPoint(0), std::atan2(1.0, 0.0));
    int red = 0, blue = 0;
    for (float y = 2; y < 14; y += 0.25f) {
        for (float x : {4.0f, 7.5f, 12.25f}) {
            float u = 0, v = 0;
            tiling.UV({x, y, 0}, u, v);
            const float f = u - std::floor(u);
            if (f > 0.15f && f < 0.35f) {
                EXPECT_EQ(At(x, y), Red) << x << " " << y;
                ++red;
            } else if (f > 0.65f && f < 0.85f) {
                EXPECT_EQ(At(x, y), Blue) << x << " " << y;
                ++blue;
            }
        }
    }
    EXPECT_GT(red, 10);
    EXPECT_GT(blue, 10);
}

} // namespace
