// Native glyph outlines of "Arial" (found as Liberation Sans, its metric twin).
#include "platform/gdi/GlyphOutline.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <gtest/gtest.h>

namespace {

// An em of 2048 pixels puts the outline in the font's own design units.
constexpr int32_t DesignEm = -2048;

// The outline as the vector fonts read it: each curve continues from the current point; in a spline,
// consecutive control points have an on-outline point midway; every contour closes back to its start.
QPainterPath PathOf(const std::vector<TTPolygon> &contours, double baseX, double baseY) {
    const auto at = [&](const TPointFx &p) { return QPointF(baseX + p.XValue(), baseY - p.YValue()); };
    QPainterPath path;
    for (const TTPolygon &poly : contours) {
        path.moveTo(at(poly.Start));
        for (const TTPolyCurve &c : poly.Curves) {
            if (c.Type == TT_PRIM_LINE || c.Points.size() == 1) {
                for (const TPointFx &p : c.Points)
                    path.lineTo(at(p));
                continue;
            }
            for (std::size_t k = 0; k + 1 < c.Points.size(); ++k) {
                const QPointF ctrl = at(c.Points[k]);
                const QPointF end =
                    k + 2 == c.Points.size() ? at(c.Points[k + 1]) : (ctrl + at(c.Points[k + 1])) / 2.0;
                path.quadTo(ctrl, end);
            }
        }
        path.closeSubpath();
    }
    return path;
}

QImage Fill(const QPainterPath &path) {
    QImage img(160, 160, QImage::Format_Grayscale8);
    img.fill(0);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillPath(path, Qt::white);
    return img;
}

TEST(GlyphOutline, ArialResolvesToLiberationSansWithArialMetrics) {
    TGlyphFont font({"Arial", DesignEm});
    EXPECT_EQ(font.FamilyName(), "Liberation Sans");
    EXPECT_EQ(font.EmPixels(), 2048.0);
    const struct {
        char32_t Code;
        int16_t Advance;
        std::size_t Contours;
    } cases[] = {{U'A', 1366, 2}, {U'O', 1593, 2}, {U'B', 1366, 3}, {U'Ж', 1891, 1}, {U'i', 455, 2}};
    for (const auto &c : cases) {
        TGlyphMetrics m;
        std::vector<TTPolygon> contours;
        font.GetGlyphOutline(c.Code, m, contours);
        EXPECT_EQ(m.CellIncX, c.Advance) << "U+" << std::hex << uint32_t(c.Code);
        EXPECT_EQ(contours.size(), c.Contours) << "U+" << std::hex << uint32_t(c.Code);
    }
}

TEST(GlyphOutline, BoundsSitOnTheBaselineAndContoursCloseOnTheOutline) {
    TGlyphFont font({"Arial", DesignEm});
    TGlyphMetrics a, o;
    std::vector<TTPolygon> ca, co;
    font.GetGlyphOutline(U'A', a, ca);
    font.GetGlyphOutline(U'O', o, co);
    // A stands on the baseline, as high as the capitals; O overshoots both ways.
    EXPECT_EQ(a.OriginY - static_cast<int32_t>(a.BlackBoxY), 0);
    EXPECT_NEAR(a.OriginY, 1409, 60);
    EXPECT_LT(o.OriginY - static_cast<int32_t>(o.BlackBoxY), 0);
    EXPECT_GT(o.OriginY, a.OriginY);
    EXPECT_NEAR(static_cast<double>(a.BlackBoxX), 1366, 40);
    // O is made of splines; no curve is empty.
    ASSERT_FALSE(co.empty());
    bool anySpline = false;
    for (const TTPolyCurve &c : co[0].Curves) {
        anySpline = anySpline || c.Type == TT_PRIM_QSPLINE;
        EXPECT_FALSE(c.Points.empty());
    }
    EXPECT_TRUE(anySpline);
}

TEST(GlyphOutline, OutlinesFillLikeTheFontsOwnShapes) {
    TGlyphFont font({"Arial", -100});
    QFont qt("Liberation Sans");
    qt.setPixelSize(100);
    qt.setHintingPreference(QFont::PreferNoHinting);
    for (char32_t code : {U'A', U'O', U'g', U'Ж', U'8', U'@'}) {
        TGlyphMetrics m;
        std::vector<TTPolygon> contours;
        font.GetGlyphOutline(code, m, contours);
        QPainterPath theirs;
        theirs.addText(30, 110, qt, QString::fromUcs4(&code, 1));
        const QImage ours = Fill(PathOf(contours, 30, 110)), ref = Fill(theirs);
        int filled = 0, differ = 0;
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width(); ++x) {
                const uint8_t a = ours.constScanLine(y)[x], b = ref.constScanLine(y)[x];
                filled += b != 0;
                differ += a != b;
            }
        ASSERT_GT(filled, 300) << "U+" << std::hex << uint32_t(code);
        // At most a few edge pixels may differ (curve flattening); a misplaced point costs more.
        EXPECT_LE(differ, filled / 200) << "U+" << std::hex << uint32_t(code);
    }
}

TEST(GlyphOutline, CellHeightAndBlankGlyphs) {
    // A positive height is the cell (ascent plus descent, 1854 + 434 units): the same em as -2048.
    TGlyphFont font({"Arial", 2288});
    EXPECT_NEAR(font.EmPixels(), 2048.0, 1e-9);
    TGlyphMetrics m;
    std::vector<TTPolygon> contours;
    font.GetGlyphOutline(U' ', m, contours);
    EXPECT_TRUE(contours.empty());
    EXPECT_EQ(m.CellIncX, 569);
    EXPECT_EQ(m.BlackBoxX, 1u);
    EXPECT_EQ(m.BlackBoxY, 1u);
    // Bold and italic are other faces with other shapes.
    TGlyphFont bold({"Arial", DesignEm, true, false});
    font.GetGlyphOutline(U'A', m, contours);
    TGlyphMetrics mb;
    std::vector<TTPolygon> cb;
    bold.GetGlyphOutline(U'A', mb, cb);
    EXPECT_EQ(mb.CellIncX, 1479);
    EXPECT_NE(mb.BlackBoxX, m.BlackBoxX);
}

} // namespace
