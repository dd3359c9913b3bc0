// Vector fonts read from the platform's glyph outlines: contours and their triangulation, advances, the
// alignment of a drawn string on a recording device, the font cache of the fonts object and the face that
// stands in for "Road".
#include "engine/DxFont.h"
#include "engine/DrawProblems.h"
#include "engine/DxRenderer.h"
#include "engine/FontsDataForm.h"
#include "platform/d3d9/RecordingDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

const TDxFont &ArialFont() {
    static const std::unique_ptr<TDxFont> font = [] {
        auto f = std::make_unique<TDxFont>();
        f->LoadFromFont({"Arial", 0, TFontsDataForm::CustomLabelHeight});
        return f;
    }();
    return *font;
}

double ContourArea(const TXYZArray &c) {
    double a = 0;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const TXYZ &p = c[i], &q = c[(i + 1) % c.size()];
        a += double(p.x) * q.y - double(q.x) * p.y;
    }
    return a / 2;
}

// Even-odd: inside when a ray crosses the contours an odd number of times.
bool InsideEvenOdd(const TXYZArrays &contours, const TXYZ &p) {
    bool inside = false;
    for (const TXYZArray &c : contours)
        for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++)
            if ((c[i].y > p.y) != (c[j].y > p.y) &&
                p.x < (c[j].x - c[i].x) * (p.y - c[i].y) / (c[j].y - c[i].y) + c[i].x)
                inside = !inside;
    return inside;
}

bool InTriangles(const TXYZArray &t, const TXYZ &p) {
    for (std::size_t i = 0; i + 2 < t.size(); i += 3) {
        const float a = TriangleArea(t[i], t[i + 1], p), b = TriangleArea(t[i + 1], t[i + 2], p),
                    c = TriangleArea(t[i + 2], t[i], p);
        if ((a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0))
            return true;
    }
    return false;
}

TEST(DxFont, GlyphsHaveTheirContoursAndTrianglesCoverTheEvenOddInside) {
    const TDxFont &font = ArialFont();
    const struct {
        char Code;
        std::size_t Contours;
    } cases[] = {{'O', 2}, {'I', 1}, {' ', 0}, {'B', 3}};
    for (const auto &c : cases) {
        const TCharOutLine &g = font.Glyph(static_cast<unsigned char>(c.Code));
        ASSERT_EQ(g.Contours.size(), c.Contours) << c.Code;
        // The largest contour is the outside; the others are counters inside it.
        double largest = 0, rest = 0;
        std::size_t edges = 0;
        for (const TXYZArray &contour : g.Contours) {
            const double a = std::fabs(ContourArea(contour));
            rest += std::min(a, largest);
            largest = std::max(a, largest);
            edges += contour.size();
        }
        const double evenOdd = largest - rest;
        EXPECT_NEAR(TriangleListArea(g.Triangles), evenOdd, evenOdd * 0.002 + 1e-3) << c.Code;
        EXPECT_EQ(g.Lines.size(), 2 * edges) << c.Code;
        EXPECT_EQ(g.Triangles.size() % 3, 0u);
        EXPECT_GT(g.Advance.x, 0) << c.Code;
    }
    // Sample points across the O: the triangles hold exactly the points the even-odd rule puts inside.
    const TCharOutLine &o = font.Glyph('O');
    int inside = 0;
    // The black box hangs down from the origin (y up).
    const float bottom = o.Origin.y - (o.OriginPlusBox.y - o.Origin.y);
    for (float x = o.Origin.x + 0.37f; x < o.OriginPlusBox.x; x += 3.1f)
        for (float y = bottom + 0.41f; y < o.Origin.y; y += 2.9f) {
            const TXYZ p{x, y, 0};
            const bool eo = InsideEvenOdd(o.Contours, p);
            inside += eo;
            EXPECT_EQ(InTriangles(o.Triangles, p), eo) << x << "," << y;
        }
    EXPECT_GT(inside, 20);
    EXPECT_FALSE(
        InTriangles(o.Triangles, {(o.Origin.x + o.OriginPlusBox.x) / 2, (o.Origin.y + bottom) / 2, 0}));
}

TEST(DxFont, HeightIsThePointSizeAndWidthSumsTheAdvances) {
    const TDxFont &font = ArialFont();
    EXPECT_EQ(font.Height(), 100); // a 133-pixel cell at 96 dots per inch
    EXPECT_EQ(font.FamilyName(), "Liberation Sans");
    const Cp1251String text = Cp("ПК 12");
    double sum = 0;
    for (std::size_t i = 0; i < text.Size(); ++i)
        sum += font.Glyph(text[i]).Advance.x;
    EXPECT_EQ(font.TextWidth(text), static_cast<int32_t>(sum));
    EXPECT_EQ(font.TextWidth(Cp1251String()), 0);
    // Cyrillic comes by its code-page code.
    EXPECT_EQ(font.Glyph(Cp("Ж")[0]).Contours.size(), 1u);
}

TEST(DxFont, TextAlignOffsetsByCode) {
    const struct {
        int Code;
        float X, Y;
    } cases[] = {{0, 0, -1}, {1, -0.5f, -1}, {2, -1, -1}, {3, 0, -0.5f}, {4, -0.5f, -0.5f}, {5, -1, -0.5f},
                 {6, 0, 0},  {7, -0.5f, 0},  {8, -1, 0},  {9, 0, -1},    {-1, 0, -1}};
    for (const auto &c : cases) {
        const TTextAlignFactors f = TextAlignOffsets(c.Code);
        EXPECT_EQ(f.X, c.X) << c.Code;
        EXPECT_EQ(f.Y, c.Y) << c.Code;
    }
}

struct TDrawn {
    float MinX = 1e9f, MaxX = -1e9f, MinY = 1e9f, MaxY = -1e9f;
    int Draws = 0;
    D3DCOLOR Color = 0;
};

// Draws the text on a recording device and takes the bounds of what was drawn, through the World in force.
TDrawn DrawOnRecorder(TDxFont &font, const Cp1251String &text, int alignment, bool outline, bool fill) {
    auto device = std::make_shared<TRecordingDevice>(64, 64);
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    renderer.World().Translate(true, 1000, 2000, 0);
    TDxDrawParams params;
    params.Renderer = &renderer;
    font.DrawText(params, text, alignment, 0xFF102030, outline, fill);
    EXPECT_EQ(renderer.World().StackTop(), -1);
    EXPECT_FLOAT_EQ(renderer.World().GetMatrix().m[3][0], 1000); // World restored
    TDrawn d;
    for (const TRecordedDraw &draw : device->Draws()) {
        ++d.Draws;
        TDxMatrix w;
        std::copy(&draw.State.World.m[0][0], &draw.State.World.m[0][0] + 16, &w.m[0][0]);
        for (const TRecordedVertex &v : draw.Vertices()) {
            const TXYZ p = TransformVector(w, {v.X, v.Y, v.Z});
            d.MinX = std::min(d.MinX, p.x - 1000);
            d.MaxX = std::max(d.MaxX, p.x - 1000);
            d.MinY = std::min(d.MinY, p.y - 2000);
            d.MaxY = std::max(d.MaxY, p.y - 2000);
            d.Color = v.Color;
        }
    }
    return d;
}

TEST(DxFont, DrawTextPlacesTheAnchorByAlignment) {
    TDxFont font;
    font.LoadFromFont({"Arial", 0, TFontsDataForm::CustomLabelHeight});
    const Cp1251String text = Cp("HH");
    const float w = float(font.TextWidth(text)), h = float(font.Height());
    const TCharOutLine &g = font.Glyph('H');
    const float left = g.Origin.x, right = w - g.Advance.x + g.OriginPlusBox.x;
    const float top = g.Origin.y; // H stands on the baseline
    const struct {
        int Alignment;
        float Dx, Dy;
    } cases[] = {{4, -w / 2, -h / 2}, {6, 0, 0}, {0, 0, -h}, {8, -w, 0}};
    for (const auto &c : cases) {
        const TDrawn d = DrawOnRecorder(font, text, c.Alignment, true, true);
        EXPECT_EQ(d.Draws, 2) << c.Alignment; // one call for the outlines, one for the triangles
        EXPECT_NEAR(d.MinX, left + c.Dx, 1.0) << c.Alignment;
        EXPECT_NEAR(d.MaxX, right + c.Dx, 1.0) << c.Alignment;
        EXPECT_NEAR(d.MinY, c.Dy, 0.5) << c.Alignment;
        EXPECT_NEAR(d.MaxY, top + c.Dy, 1.0) << c.Alignment;
        EXPECT_EQ(d.Color, 0xFF102030u);
    }
    // Alignment 4 centres the text on the anchor both ways (H is as high as the font's size nearly).
    const TDrawn centred = DrawOnRecorder(font, text, 4, false, true);
    EXPECT_EQ(centred.Draws, 1);
    EXPECT_NEAR(centred.MinX + centred.MaxX, 0, 2.0);
    EXPECT_EQ(DrawOnRecorder(font, text, 4, false, false).Draws, 0);
    EXPECT_EQ(DrawOnRecorder(font, Cp(" "), 4, true, true).Draws, 0);
}

TEST(FontsDataForm, CachesFontsByNameAndStyle) {
    TFontsDataForm form;
    EXPECT_EQ(TFontsDataForm::Instance(), &form);
    TDxFont *a = form.GetDxFont("Arial", 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(form.GetDxFont("Arial", 0), a); // the last request
    TDxFont *bold = form.GetDxFont("Arial", FontStyleBold);
    ASSERT_NE(bold, nullptr);
    EXPECT_NE(bold, a);                       // another style is another font
    EXPECT_EQ(form.GetDxFont("Arial", 0), a); // found in the list
    EXPECT_EQ(form.DxFonts().size(), 2u);
    EXPECT_EQ(form.LoadCount(), 2);
    // "Road", which no system has, is the same free face everywhere.
    TDxFont *road = form.GetDxFont("Road", 0);
    ASSERT_NE(road, nullptr);
    EXPECT_EQ(road->FamilyName(), "DejaVu Sans Condensed");
    EXPECT_EQ(road->Name(), "Road");
    EXPECT_EQ(form.LoadCount(), 3);
}

TEST(FontsDataForm, NoInstanceWhenNoneIsMade) {
    { TFontsDataForm form; }
    EXPECT_EQ(TFontsDataForm::Instance(), nullptr);
}

} // namespace
