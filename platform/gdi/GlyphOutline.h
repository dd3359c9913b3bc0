#pragma once
// Native glyph outlines: the TrueType quadratic contours of a glyph of a font at a size, in the record
// form the vector fonts read (a polygon header with its start point, then line and quadratic-spline
// curves). Fonts are found through fontconfig ("Arial" resolves to its metric twin Liberation Sans, the
// street files' "Road" to DejaVu Sans Condensed) and read with FreeType, unhinted, so a glyph's shape
// does not depend on the size it is asked at.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// 16.16 fixed point (the integer part in the upper 16 bits), y up from the baseline.
struct TPointFx {
    int32_t X, Y;
    double XValue() const { return X / 65536.0; }
    double YValue() const { return Y / 65536.0; }
    bool operator==(const TPointFx &o) const { return X == o.X && Y == o.Y; }
};

constexpr uint16_t TT_PRIM_LINE = 1;    // every point is a corner joined to the previous by a line
constexpr uint16_t TT_PRIM_QSPLINE = 2; // a quadratic B-spline; its last point lies on the outline
constexpr uint32_t TT_POLYGON_TYPE = 24;

// One curve: its points follow the current point (the start point, or the last point of the previous
// curve). In a spline, two control points in a row have an implied on-outline point midway.
struct TTPolyCurve {
    uint16_t Type;
    std::vector<TPointFx> Points;
};

// One closed contour: it starts at Start (a point on the outline) and closes back to it.
struct TTPolygon {
    TPointFx Start;
    std::vector<TTPolyCurve> Curves;
};

// In whole pixels: the black box (the glyph's bounds, at least 1 x 1), the offset of its top-left corner
// from the glyph origin (y up) and the advance to the next glyph.
struct TGlyphMetrics {
    uint32_t BlackBoxX = 0, BlackBoxY = 0;
    int32_t OriginX = 0, OriginY = 0;
    int16_t CellIncX = 0, CellIncY = 0;
};

// A font as a canvas gives it: a face name, a height in pixels as the canvas counts it (below 0 the
// character height, the em; above 0 the cell height, ascent plus descent; 0 a default 16-pixel em), and
// the bold and italic styles.
struct TFontSpec {
    std::string Name;
    int32_t Height = 0;
    bool Bold = false;
    bool Italic = false;
};

class TGlyphFont {
public:
    // Raises EPlatformError "TGlyphFont.Create: ..." when no scalable font can be found or read.
    explicit TGlyphFont(const TFontSpec &spec);
    ~TGlyphFont();
    TGlyphFont(const TGlyphFont &) = delete;
    TGlyphFont &operator=(const TGlyphFont &) = delete;

    // The family that was found for the name (e.g. "Liberation Sans" for "Arial").
    const std::string &FamilyName() const { return family_; }
    // The em size in pixels the outlines are scaled to.
    double EmPixels() const { return em_; }

    // The outline and metrics of the character (a Unicode code point; a character the font lacks gets
    // the font's missing-glyph shape). A blank character has no contours.
    void GetGlyphOutline(char32_t code, TGlyphMetrics &metrics, std::vector<TTPolygon> &contours) const;

private:
    struct TFace;
    std::unique_ptr<TFace> face_;
    std::string family_;
    double em_ = 0;
};
