// Atlas text: the choice of atlas sizes by the device's largest texture, cells inside the atlas, the quads
// of a string and the atlases of the fonts object.
#include "engine/FontTexture.h"
#include "engine/FontsDataForm.h"
#include "engine/NumText.h"

#include <gtest/gtest.h>

namespace {

TEST(FontTexture, AtlasSizesFollowTheLargestTexture) {
    const struct {
        uint32_t W, H;
        int32_t SmallPoints, SmallSize;
        uint8_t SmallFilter;
        int32_t RedPoints, RedSize;
        uint8_t RedFilter;
    } cases[] = {
        {512, 512, 9, 256, 0, 9, 256, 0},       {1023, 4096, 9, 256, 0, 9, 256, 0},
        {1024, 1024, 9, 256, 0, 36, 1024, 2}, // not above 1024 down: a small 256 atlas, a large red one
        {1024, 1025, 36, 1024, 2, 36, 1024, 2}, {16384, 16384, 36, 1024, 2, 36, 1024, 2},
        {4096, 1023, 9, 256, 0, 9, 256, 0},     {0, 0, 9, 256, 0, 9, 256, 0}, // no device yet
    };
    for (const auto &c : cases) {
        const TFontAtlasPlan p = PlanFontAtlases(c.W, c.H);
        EXPECT_EQ(p.SmallFontPoints, c.SmallPoints) << c.W << "x" << c.H;
        EXPECT_EQ(p.SmallAtlasSize, c.SmallSize) << c.W << "x" << c.H;
        EXPECT_EQ(p.SmallFilter, c.SmallFilter) << c.W << "x" << c.H;
        EXPECT_EQ(p.RedFontPoints, c.RedPoints) << c.W << "x" << c.H;
        EXPECT_EQ(p.RedAtlasSize, c.RedSize) << c.W << "x" << c.H;
        EXPECT_EQ(p.RedFilter, c.RedFilter) << c.W << "x" << c.H;
    }
}

TEST(FontTexture, CellsLieInsideTheAtlasAndHoldTheirCharacter) {
    const struct {
        int32_t Points, Size;
    } cases[] = {{9, 256}, {36, 1024}, {40, 256}}; // the last is too large and is made to fit
    for (const auto &c : cases) {
        TFontTexture t;
        t.BuildFromCanvas({"Arial", FontHeightOfPoints(c.Points), 0x000000}, c.Size);
        ASSERT_NE(t.Bitmap(), nullptr);
        EXPECT_EQ(t.Width(), c.Size);
        EXPECT_EQ(t.Height(), c.Size);
        EXPECT_FLOAT_EQ(t.Scale(), 256.0f / float(c.Size));
        for (int code = 0; code < 256; ++code) {
            const TFontTexture::TCell &cell = t.Cell(static_cast<unsigned char>(code));
            EXPECT_LE(cell.X + cell.Width, c.Size) << code;
            EXPECT_LE(cell.Y + cell.Height, c.Size) << code;
            EXPECT_GE(cell.S0, 0.0f);
            EXPECT_LE(cell.S0 + cell.DS, 1.0f);
            EXPECT_LE(cell.T0 + cell.DT, 1.0f);
        }
        // "W" leaves black pixels in its own cell.
        const TFontTexture::TCell &w = t.Cell('W');
        int black = 0, halo = 0;
        for (int y = w.Y; y < w.Y + w.Height; ++y)
            for (int x = w.X; x < w.X + w.Width; ++x) {
                const uint32_t px = t.Bitmap()->Pixel(x, y) & 0xFFFFFF;
                black += px == 0;
                halo += px == 0xF0F0F0;
            }
        EXPECT_GT(black, 4) << c.Points;
        EXPECT_GT(halo, 4) << c.Points;
        EXPECT_EQ(t.ColorKey(), 0xFFFFFFu);
    }
}

TEST(FontTexture, TextQuadsAreTwoTrianglesACharacter) {
    TFontTexture t;
    t.BuildFromCanvas({"Arial", FontHeightOfPoints(36), 0xFF0000}, 1024);
    std::vector<TDxVertex> block;
    const Cp1251String text = Cp("ПК 1");
    t.TextQuads(text, block);
    ASSERT_EQ(block.size(), 24u);
    const float h = float(t.MaxCharHeight()) * t.Scale();
    float x = 0;
    for (std::size_t i = 0; i < text.Size(); ++i) {
        const TFontTexture::TCell &c = t.Cell(text[i]);
        const TDxVertex *v = &block[i * 6];
        const float x1 = float(c.Width) * t.Scale() + x - 1;
        EXPECT_FLOAT_EQ(v[0].x, x);
        EXPECT_FLOAT_EQ(v[0].y, 0);
        EXPECT_FLOAT_EQ(v[0].v, c.T0 + c.DT); // the bottom of the cell at y 0
        EXPECT_FLOAT_EQ(v[1].y, h);
        EXPECT_FLOAT_EQ(v[1].v, c.T0);
        EXPECT_FLOAT_EQ(v[2].x, x1);
        EXPECT_FLOAT_EQ(v[2].u, c.S0 + c.DS);
        EXPECT_EQ(v[2].x, v[3].x);
        EXPECT_EQ(v[5].u, v[0].u);
        EXPECT_EQ(v[4].color, 0u);
        x = x1 + 1;
    }
    EXPECT_EQ(t.TextWidth(text), Round32(x));
    EXPECT_EQ(t.TextHeight(), Round32(h));
    t.TextQuads(Cp1251String(), block);
    EXPECT_TRUE(block.empty());
}

TEST(FontsDataForm, AtlasesAreDrawnOnFirstUseWithTheirStages) {
    TFontsDataForm form;
    form.BuildAtlases(1024, 1024);
    TFontTexture *small = form.SmallArialTexture();
    TFontTexture *red = form.RedArialTexture();
    ASSERT_NE(small, nullptr);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(small->AtlasSize(), 256);
    EXPECT_EQ(red->AtlasSize(), 1024);
    EXPECT_EQ(small->MinFilter, 0);
    // The plan asks for anisotropic sampling; a keyed atlas is sampled linearly at most.
    EXPECT_EQ(red->MagFilter, 1);
    // Small: texture plus vertex colour; red: the texture alone.
    EXPECT_EQ(small->ColorOp, 0);
    EXPECT_EQ(small->ColorArg1, 0);
    EXPECT_EQ(small->ColorArg2, 1);
    EXPECT_EQ(red->ColorOp, 1);
    const TFontTexture::TCell &r = red->Cell('R');
    bool sawRed = false;
    for (int y = r.Y; y < r.Y + r.Height && !sawRed; ++y)
        for (int x = r.X; x < r.X + r.Width && !sawRed; ++x)
            sawRed = (red->Bitmap()->Pixel(x, y) & 0xFFFFFF) == 0xFF0000;
    EXPECT_TRUE(sawRed);
}

} // namespace
