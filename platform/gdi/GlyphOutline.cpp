#include "platform/gdi/GlyphOutline.h"

#include "platform/PlatformError.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>

namespace {

const char *const Where = "TGlyphFont.Create";

// The file and face index fontconfig chooses for the name and style.
struct TMatch {
    std::string File, Family;
    int Index = 0;
};

// Face names the program's files use that no system has, and the free family that stands in for each on
// every machine (installed with the program's packages).
std::string SubstituteFace(const std::string &name) {
    std::string lower;
    for (char c : name)
        lower += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    if (lower == "road")
        return "DejaVu Sans Condensed";
    return name;
}

TMatch FindFont(const TFontSpec &spec) {
    FcPattern *pattern = FcPatternCreate();
    if (!pattern)
        RaisePlatformError(Where, "out of memory");
    const std::string face = SubstituteFace(spec.Name);
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, spec.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, spec.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern *found = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!found)
        RaisePlatformError(Where, "no font for \"" + spec.Name + "\"");
    TMatch m;
    FcChar8 *file = nullptr, *family = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file)
        m.File = reinterpret_cast<const char *>(file);
    // A face of several family names ("DejaVu Sans" and "DejaVu Sans Condensed") is known by the one that
    // was asked for, else by its first.
    for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &family) == FcResultMatch && family; ++i) {
        const std::string name = reinterpret_cast<const char *>(family);
        if (i == 0 || FcStrCmpIgnoreCase(family, reinterpret_cast<const FcChar8 *>(face.c_str())) == 0)
            m.Family = name;
    }
    FcPatternGetInteger(found, FC_INDEX, 0, &m.Index);
    FcPatternDestroy(found);
    if (m.File.empty())
        RaisePlatformError(Where, "no font file for \"" + spec.Name + "\"");
    return m;
}

TPointFx ToFx(const FT_Vector &v) {
    // 26.6 to 16.16: ten more fraction bits.
    return {static_cast<int32_t>(v.x * 1024), static_cast<int32_t>(v.y * 1024)};
}

TPointFx Midpoint(const FT_Vector &a, const FT_Vector &b) {
    return {static_cast<int32_t>((a.x + b.x) * 512), static_cast<int32_t>((a.y + b.y) * 512)};
}

// One FreeType contour (points first..last, on-outline flags in tags) as a native polygon. The polygon
// starts at an on-outline point; a run of on-outline points becomes one line curve, a run of control
// points one spline curve ending at the next on-outline point, and the contour closes back to its start.
void AddContour(const FT_Outline &o, int first, int last, std::vector<TTPolygon> &out) {
    const int n = last - first + 1;
    if (n < 2)
        return; // a lone point draws nothing
    const auto pt = [&](int i) -> const FT_Vector & { return o.points[first + (i % n)]; };
    const auto on = [&](int i) { return (FT_CURVE_TAG(o.tags[first + (i % n)]) == FT_CURVE_TAG_ON); };
    int start = -1;
    for (int i = 0; i < n && start < 0; ++i)
        if (on(i))
            start = i;
    TTPolygon poly;
    if (start < 0) {
        // Control points only: the outline passes through every midpoint, so start at the first one.
        poly.Start = Midpoint(pt(n - 1), pt(0));
        TTPolyCurve spline{TT_PRIM_QSPLINE, {}};
        for (int i = 0; i < n; ++i)
            spline.Points.push_back(ToFx(pt(i)));
        spline.Points.push_back(poly.Start);
        poly.Curves.push_back(std::move(spline));
        out.push_back(std::move(poly));
        return;
    }
    poly.Start = ToFx(pt(start));
    int i = 1; // offset from start
    while (i <= n) {
        TTPolyCurve curve{static_cast<uint16_t>(on(start + i) ? TT_PRIM_LINE : TT_PRIM_QSPLINE), {}};
        if (curve.Type == TT_PRIM_LINE) {
            while (i < n && on(start + i)) {
                curve.Points.push_back(ToFx(pt(start + i)));
                ++i;
            }
            if (i == n) { // the closing edge back to the start is implied
                if (!curve.Points.empty())
                    poly.Curves.push_back(std::move(curve));
                break;
            }
        } else {
            while (!on(start + i)) {
                curve.Points.push_back(ToFx(pt(start + i)));
                ++i;
            }
            // The on-outline point that ends the spline (the start itself at the end of the contour).
            curve.Points.push_back(ToFx(pt(start + i)));
            ++i;
        }
        poly.Curves.push_back(std::move(curve));
        if (i > n)
            break;
    }
    out.push_back(std::move(poly));
}

} // namespace

struct TGlyphFont::TFace {
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    ~TFace() {
        if (Face)
            FT_Done_Face(Face);
        if (Library)
            FT_Done_FreeType(Library);
    }
};

TGlyphFont::TGlyphFont(const TFontSpec &spec) : face_(std::make_unique<TFace>()) {
    const TMatch m = FindFont(spec);
    family_ = m.Family;
    if (FT_Init_FreeType(&face_->Library) != 0)
        RaisePlatformError(Where, "FreeType cannot start");
    if (FT_New_Face(face_->Library, m.File.c_str(), m.Index, &face_->Face) != 0)
        RaisePlatformError(Where, "cannot read the font file " + m.File);
    FT_Face f = face_->Face;
    if (!FT_IS_SCALABLE(f) || f->units_per_EM == 0)
        RaisePlatformError(Where, "the font " + m.File + " has no outlines");
    if (spec.Height < 0) {
        em_ = -static_cast<double>(spec.Height);
    } else if (spec.Height > 0) {
        // A cell height: the em is the part of it that the font's ascent and descent leave.
        const auto *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
        double cell = os2 ? double(os2->usWinAscent) + os2->usWinDescent : double(f->ascender) - f->descender;
        if (cell <= 0)
            cell = f->units_per_EM;
        em_ = spec.Height * double(f->units_per_EM) / cell;
    } else {
        em_ = 16.0;
    }
    if (em_ > 65535)
        RaisePlatformError(Where, "font height " + std::to_string(spec.Height) + " is too large");
    const FT_F26Dot6 size = static_cast<FT_F26Dot6>(std::lround(em_ * 64));
    if (FT_Set_Char_Size(f, size, size, 72, 72) != 0)
        RaisePlatformError(Where, "cannot scale the font to " + std::to_string(em_) + " pixels");
}

TGlyphFont::~TGlyphFont() = default;

void TGlyphFont::GetGlyphOutline(char32_t code, TGlyphMetrics &metrics,
                                 std::vector<TTPolygon> &contours) const {
    contours.clear();
    metrics = {};
    FT_Face f = face_->Face;
    const FT_UInt index = FT_Get_Char_Index(f, code);
    if (FT_Load_Glyph(f, index, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
        f->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        metrics.BlackBoxX = metrics.BlackBoxY = 1;
        return;
    }
    const FT_GlyphSlot g = f->glyph;
    metrics.CellIncX = static_cast<int16_t>(std::lround(g->linearHoriAdvance / 65536.0));
    const FT_Outline &o = g->outline;
    int first = 0;
    for (int c = 0; c < o.n_contours; ++c) {
        const int last = o.contours[c];
        if (last < first || last >= o.n_points)
            break; // a broken outline: keep what came before
        AddContour(o, first, last, contours);
        first = last + 1;
    }
    if (contours.empty()) {
        metrics.BlackBoxX = metrics.BlackBoxY = 1;
        return;
    }
    FT_BBox box{};
    FT_Outline_Get_BBox(const_cast<FT_Outline *>(&o), &box);
    const long left = box.xMin >> 6, top = (box.yMax + 63) >> 6;
    const long right = (box.xMax + 63) >> 6, bottom = box.yMin >> 6;
    metrics.OriginX = static_cast<int32_t>(left);
    metrics.OriginY = static_cast<int32_t>(top);
    metrics.BlackBoxX = static_cast<uint32_t>(std::max(1L, right - left));
    metrics.BlackBoxY = static_cast<uint32_t>(std::max(1L, top - bottom));
}
