#include "engine/DxFont.h"

#include "engine/DxRenderer.h"
#include "engine/DxTess3.h"
#include "engine/NumText.h"
#include "engine/QSpline.h"
#include "platform/gdi/GlyphOutline.h"

#include <cmath>

namespace {

TXYZ FxPoint(const TPointFx &p) {
    return {float(p.XValue()), float(p.YValue()), 0};
}

void Append(TXYZArray &contour, const TXYZ &p) {
    // Curves share their end points; a point repeated in a row adds no edge.
    if (contour.empty() || !VectorsEqual(contour.back(), p))
        contour.push_back(p);
}

// The contours of a glyph: lines as they are, quadratic splines flattened at five points a segment, other
// curve kinds skipped.
void ReadContours(const std::vector<TTPolygon> &polygons, TXYZArrays &out) {
    TXYZArray points, flat;
    for (const TTPolygon &poly : polygons) {
        TXYZArray contour;
        TXYZ current = FxPoint(poly.Start);
        Append(contour, current);
        for (const TTPolyCurve &curve : poly.Curves) {
            if (curve.Points.empty())
                continue;
            points.assign(1, current);
            for (const TPointFx &p : curve.Points)
                points.push_back(FxPoint(p));
            if (curve.Type == TT_PRIM_LINE) {
                for (const TXYZ &p : points)
                    Append(contour, p);
            } else if (curve.Type == TT_PRIM_QSPLINE) {
                flat.clear();
                QSplineFlatten(points, flat);
                for (const TXYZ &p : flat)
                    Append(contour, p);
            }
            current = points.back();
        }
        while (contour.size() > 1 && VectorsEqual(contour.back(), contour.front()))
            contour.pop_back();
        if (contour.size() >= 2)
            out.push_back(std::move(contour));
    }
}

// The points moved by (dx, dy), then through the transform when there is one.
void AppendVertices(std::vector<TDxVertex> &buffer, const TXYZArray &points, float dx, float dy,
                    D3DCOLOR color, const TDxMatrix *m) {
    for (const TXYZ &p : points) {
        TXYZ q{p.x + dx, p.y + dy, p.z};
        if (m)
            q = TransformVector(*m, q);
        TDxVertex v;
        v.x = q.x;
        v.y = q.y;
        v.z = q.z;
        v.color = color;
        buffer.push_back(v);
    }
}

} // namespace

TTextAlignFactors TextAlignOffsets(int code) {
    if (code < 0 || code > 8)
        code = 0;
    static constexpr float X[3] = {0, -0.5f, -1};
    static constexpr float Y[3] = {-1, -0.5f, 0};
    return {X[code % 3], Y[code / 3]};
}

void TDxFont::LoadFromFont(const TDxFontSource &source) {
    TFontSpec spec;
    spec.Name = source.Name;
    spec.Height = source.Height;
    spec.Bold = (source.Style & FontStyleBold) != 0;
    spec.Italic = (source.Style & FontStyleItalic) != 0;
    const TGlyphFont font(spec);

    std::array<TCharOutLine, 256> chars{};
    TGlyphMetrics m;
    std::vector<TTPolygon> polygons;
    TDxTesselator3 tess;
    for (int code = 0; code < 256; ++code) {
        TCharOutLine &g = chars[static_cast<std::size_t>(code)];
        font.GetGlyphOutline(Cp1251ToUnicode(static_cast<unsigned char>(code)), m, polygons);
        g.Advance = {float(m.CellIncX), float(m.CellIncY), 0};
        g.Origin = {float(m.OriginX), float(m.OriginY), 0};
        g.OriginPlusBox = {float(m.OriginX + int64_t(m.BlackBoxX)), float(m.OriginY + int64_t(m.BlackBoxY)),
                           0};
        ReadContours(polygons, g.Contours);
        tess.Clear();
        for (const TXYZArray &c : g.Contours) {
            tess.AddContour(c);
            for (std::size_t i = 0; i < c.size(); ++i) {
                g.Lines.push_back(c[i]);
                g.Lines.push_back(c[(i + 1) % c.size()]);
            }
        }
        // A sweep that stops keeps what it made: a damaged glyph is drawn partly filled.
        tess.Proceed();
        g.Triangles = tess.Triangles();
    }
    chars_ = std::move(chars);
    name_ = source.Name;
    family_ = font.FamilyName();
    style_ = source.Style;
    // Points at 96 dots per inch, rounded as the platform's MulDiv does.
    size_ = static_cast<int32_t>(std::llround(std::fabs(double(source.Height)) * 72.0 / 96.0));
    lineBuffer_.clear();
    triangleBuffer_.clear();
}

int32_t TDxFont::TextWidth(const Cp1251String &text) const {
    double w = 0;
    for (std::size_t i = 0; i < text.Size(); ++i)
        w += chars_[text[i]].Advance.x;
    return FloatToInt(w);
}

void TDxFont::DrawText(const TDxDrawParams &params, const Cp1251String &text, int alignment, D3DCOLOR color,
                       bool outline, bool fill) {
    if (!params.Renderer || text.Empty() || (!outline && !fill))
        return;
    const TTextAlignFactors f = TextAlignOffsets(alignment);
    const float dx = f.X * float(TextWidth(text));
    const float dy = f.Y * float(Height());
    // One pair of draw calls for the whole string: each glyph's points are moved along the advances here,
    // as a translation of World per glyph would move them.
    lineBuffer_.clear();
    triangleBuffer_.clear();
    AppendGlyphs(text, color, 0, 0, nullptr, outline ? &lineBuffer_ : nullptr,
                 fill ? &triangleBuffer_ : nullptr);
    TdxRenderer &r = *params.Renderer;
    r.World().PushMatrix();
    r.World().Translate(false, dx, dy, 0);
    if (!lineBuffer_.empty())
        r.DrawLineListV(lineBuffer_);
    if (!triangleBuffer_.empty())
        r.DrawTriangleListV(triangleBuffer_);
    r.World().PopMatrix();
}

void TDxFont::AppendGlyphs(const Cp1251String &text, D3DCOLOR color, float dx, float dy, const TDxMatrix *m,
                           std::vector<TDxVertex> *lines, std::vector<TDxVertex> *triangles) const {
    float x = 0, y = 0;
    for (std::size_t i = 0; i < text.Size(); ++i) {
        const TCharOutLine &g = chars_[text[i]];
        if (lines)
            AppendVertices(*lines, g.Lines, x + dx, y + dy, color, m);
        if (triangles)
            AppendVertices(*triangles, g.Triangles, x + dx, y + dy, color, m);
        x += g.Advance.x;
        y += g.Advance.y;
    }
}

void TDxFont::AppendText(const Cp1251String &text, int alignment, D3DCOLOR color, const TDxMatrix &m,
                         std::vector<TDxVertex> *lines, std::vector<TDxVertex> *triangles) const {
    const TTextAlignFactors f = TextAlignOffsets(alignment);
    AppendGlyphs(text, color, f.X * float(TextWidth(text)), f.Y * float(Height()), &m, lines, triangles);
}
