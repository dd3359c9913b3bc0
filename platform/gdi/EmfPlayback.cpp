// The enhanced form: a header record, then records of (type, size, data), each a multiple of 4 bytes.
// Records we paint are first checked by libUEMF's record checks, then read through TRecordBytes; the
// rest are skipped.
#include "platform/gdi/GdiPlayer.h"
#include "platform/gdi/MetafileRecords.h"

#include <uemf.h>
#include <uemf_safe.h>

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr uint32_t EmfSignature = 0x464D4520; // " EMF"
constexpr std::size_t HeaderSize = 88;

uint32_t U32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Points of a record: count at countAt, then (x, y) pairs of T from pointsAt.
template <typename T>
std::vector<QPointF> Points(const TRecordBytes &r, std::size_t countAt, std::size_t pointsAt) {
    const uint32_t n = r.Get<uint32_t>(countAt);
    r.Need(pointsAt, n, 2 * sizeof(T));
    std::vector<QPointF> pts;
    pts.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        pts.emplace_back(r.Get<T>(pointsAt + i * 2 * sizeof(T)),
                         r.Get<T>(pointsAt + i * 2 * sizeof(T) + sizeof(T)));
    return pts;
}

// Several point lists: nPolys at 24, the point count at 28, the counts from 32, then the points.
template <typename T> std::vector<std::vector<QPointF>> PolyPoints(const TRecordBytes &r) {
    const uint32_t polys = r.Get<uint32_t>(24), total = r.Get<uint32_t>(28);
    r.Need(32, polys, 4);
    const std::size_t pointsAt = 32 + std::size_t(polys) * 4;
    r.Need(pointsAt, total, 2 * sizeof(T));
    std::vector<std::vector<QPointF>> out;
    out.reserve(polys);
    uint64_t next = 0;
    for (uint32_t k = 0; k < polys; ++k) {
        const uint32_t n = r.Get<uint32_t>(32 + std::size_t(k) * 4);
        if (n > total - next)
            r.Fail("the polygon counts exceed the point count");
        std::vector<QPointF> pts;
        pts.reserve(n);
        for (uint32_t i = 0; i < n; ++i, ++next)
            pts.emplace_back(r.Get<T>(pointsAt + next * 2 * sizeof(T)),
                             r.Get<T>(pointsAt + next * 2 * sizeof(T) + sizeof(T)));
        out.push_back(std::move(pts));
    }
    return out;
}

QRectF RectAt(const TRecordBytes &r, std::size_t at) {
    const double l = r.Get<int32_t>(at), t = r.Get<int32_t>(at + 4), rr = r.Get<int32_t>(at + 8),
                 b = r.Get<int32_t>(at + 12);
    return QRectF(QPointF(l, t), QPointF(rr, b));
}

QPointF PointAt(const TRecordBytes &r, std::size_t at) {
    return QPointF(r.Get<int32_t>(at), r.Get<int32_t>(at + 4));
}

QTransform XformAt(const TRecordBytes &r, std::size_t at) {
    float v[6];
    for (int i = 0; i < 6; ++i) {
        v[i] = r.Get<float>(at + 4 * i);
        if (!std::isfinite(v[i]))
            r.Fail("the transform is not finite");
    }
    return QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
}

void Text(const TRecordBytes &r, TGdiPlayer &player, bool wide) {
    // EMRTEXT from 36: reference point, character count, string offset, options, rectangle, dx offset.
    const QPointF ref = PointAt(r, 36);
    const uint32_t n = r.Get<uint32_t>(44), offString = r.Get<uint32_t>(48), options = r.Get<uint32_t>(52);
    const bool hasRect = (options & U_ETO_NO_RECT) == 0;
    QRectF rect;
    if (hasRect)
        rect = RectAt(r, 56);
    const uint32_t offDx = r.Get<uint32_t>(hasRect ? 72 : 56);
    r.Need(offString, n, wide ? 2 : 1);
    QString text;
    if (wide) {
        std::vector<char16_t> chars(n);
        if (n > 0)
            std::memcpy(chars.data(), r.Data() + offString, std::size_t(n) * 2);
        text = QString::fromUtf16(chars.data(), static_cast<qsizetype>(n));
    } else {
        text = DecodeAnsi(reinterpret_cast<const char *>(r.Data() + offString), n, player.FontCharSet());
    }
    std::vector<double> dx;
    if (offDx != 0 && n > 0) {
        const std::size_t step = (options & U_ETO_PDY) ? 8 : 4;
        r.Need(offDx, n, step);
        dx.reserve(n);
        for (uint32_t i = 0; i < n; ++i)
            dx.push_back(r.Get<int32_t>(offDx + i * step));
        // A decoded text may be shorter than the bytes it came from; the advances follow the characters.
        dx.resize(static_cast<std::size_t>(text.size()), 0.0);
    }
    player.TextOut(ref, text, options, hasRect ? &rect : nullptr, dx);
}

TGdiFont FontAt(const TRecordBytes &r) {
    TGdiFont f;
    f.Height = r.Get<int32_t>(12);
    f.Width = r.Get<int32_t>(16);
    f.Escapement = r.Get<int32_t>(20);
    f.Weight = r.Get<int32_t>(28);
    f.Italic = r.Get<uint8_t>(32) != 0;
    f.Underline = r.Get<uint8_t>(33) != 0;
    f.StrikeOut = r.Get<uint8_t>(34) != 0;
    f.CharSet = r.Get<uint8_t>(35);
    char16_t name[32];
    int len = 0;
    for (; len < 32; ++len) {
        name[len] = r.Get<char16_t>(40 + std::size_t(len) * 2);
        if (name[len] == 0)
            break;
    }
    f.FaceName = QString::fromUtf16(name, len);
    return f;
}

// The rectangles of a region whose data (header of 32 bytes, then rectangles) starts at `at` and takes
// cb bytes.
std::vector<QRectF> RegionRects(const TRecordBytes &r, std::size_t cbAt, std::size_t at) {
    const uint32_t cb = r.Get<uint32_t>(cbAt);
    std::vector<QRectF> rects;
    if (cb < 32)
        return rects;
    const uint32_t count = r.Get<uint32_t>(at + 8);
    r.Need(at + 32, count, 16);
    if (uint64_t(count) * 16 + 32 > cb)
        r.Fail("the region holds more rectangles than its size");
    rects.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        rects.push_back(RectAt(r, at + 32 + std::size_t(i) * 16));
    return rects;
}

// A picture of a blit record: none when the record carries no bitmap.
QImage BlitImage(const TRecordBytes &r, std::size_t offBmiAt) {
    const uint32_t cbBmi = r.Get<uint32_t>(offBmiAt + 4);
    if (cbBmi == 0)
        return QImage();
    return DibImage(r, r.Get<uint32_t>(offBmiAt), cbBmi, r.Get<uint32_t>(offBmiAt + 8),
                    r.Get<uint32_t>(offBmiAt + 12));
}

void PatternBrush(const TRecordBytes &r, TGdiPlayer &player, bool mono) {
    TGdiObject object;
    object.Kind = TGdiObject::Brush;
    object.BrushValue.Style = 3;
    object.BrushValue.Mono = mono;
    object.BrushValue.Pattern =
        DibImage(r, r.Get<uint32_t>(16), r.Get<uint32_t>(20), r.Get<uint32_t>(24), r.Get<uint32_t>(28), mono);
    object.BrushValue.Mono = mono && object.BrushValue.Pattern.format() == QImage::Format_Indexed8;
    if (object.BrushValue.Pattern.isNull())
        object.BrushValue.Color = Qt::black; // a compressed pattern fills plain
    player.CreateObject(r.Get<uint32_t>(8), object);
}

void SmallText(const TRecordBytes &r, TGdiPlayer &player) {
    const QPointF ref = PointAt(r, 8);
    const uint32_t n = r.Get<uint32_t>(16), options = r.Get<uint32_t>(20);
    const bool hasRect = (options & U_ETO_NO_RECT) == 0, narrow = (options & U_ETO_SMALL_CHARS) != 0;
    QRectF rect;
    if (hasRect)
        rect = RectAt(r, 36);
    const std::size_t at = hasRect ? 52 : 36;
    r.Need(at, n, narrow ? 1 : 2);
    QString text;
    if (narrow) {
        text = DecodeAnsi(reinterpret_cast<const char *>(r.Data() + at), n, player.FontCharSet());
    } else {
        std::vector<char16_t> chars(n);
        if (n > 0)
            std::memcpy(chars.data(), r.Data() + at, std::size_t(n) * 2);
        text = QString::fromUtf16(chars.data(), static_cast<qsizetype>(n));
    }
    player.TextOut(ref, text, options, hasRect ? &rect : nullptr, {});
}

void GradientFill(const TRecordBytes &r, TGdiPlayer &player) {
    const uint32_t nVert = r.Get<uint32_t>(24), nObj = r.Get<uint32_t>(28), mode = r.Get<uint32_t>(32);
    r.Need(36, nVert, 16);
    const std::size_t objAt = 36 + std::size_t(nVert) * 16;
    const std::size_t objSize = mode == U_GRADIENT_FILL_TRIANGLE ? 12 : 8;
    if (mode > U_GRADIENT_FILL_TRIANGLE)
        return;
    r.Need(objAt, nObj, objSize);
    const auto vertex = [&](uint32_t k) {
        if (k >= nVert)
            r.Fail("a gradient names vertex " + std::to_string(k) + " of " + std::to_string(nVert));
        const std::size_t at = 36 + std::size_t(k) * 16;
        return TGdiPlayer::TVertex{PointAt(r, at),
                                   QColor(r.Get<uint16_t>(at + 8) >> 8, r.Get<uint16_t>(at + 10) >> 8,
                                          r.Get<uint16_t>(at + 12) >> 8)};
    };
    for (uint32_t i = 0; i < nObj; ++i) {
        const std::size_t at = objAt + std::size_t(i) * objSize;
        if (mode == U_GRADIENT_FILL_TRIANGLE)
            player.GradientTriangle(vertex(r.Get<uint32_t>(at)), vertex(r.Get<uint32_t>(at + 4)),
                                    vertex(r.Get<uint32_t>(at + 8)));
        else
            player.GradientRect(vertex(r.Get<uint32_t>(at)), vertex(r.Get<uint32_t>(at + 4)),
                                mode == U_GRADIENT_FILL_RECT_V);
    }
}

void PlayRecord(const TRecordBytes &r, uint32_t type, TGdiPlayer &player) {
    TGdiObject object;
    switch (type) {
    case U_EMR_POLYBEZIER:
        player.PolyBezier(Points<int32_t>(r, 24, 28));
        break;
    case U_EMR_POLYGON:
        player.Polygon(Points<int32_t>(r, 24, 28));
        break;
    case U_EMR_POLYLINE:
        player.Polyline(Points<int32_t>(r, 24, 28));
        break;
    case U_EMR_POLYBEZIERTO:
        player.PolyBezierTo(Points<int32_t>(r, 24, 28));
        break;
    case U_EMR_POLYLINETO:
        player.PolylineTo(Points<int32_t>(r, 24, 28));
        break;
    case U_EMR_POLYPOLYLINE:
        player.PolyPolyline(PolyPoints<int32_t>(r));
        break;
    case U_EMR_POLYPOLYGON:
        player.PolyPolygon(PolyPoints<int32_t>(r));
        break;
    case U_EMR_POLYBEZIER16:
        player.PolyBezier(Points<int16_t>(r, 24, 28));
        break;
    case U_EMR_POLYGON16:
        player.Polygon(Points<int16_t>(r, 24, 28));
        break;
    case U_EMR_POLYLINE16:
        player.Polyline(Points<int16_t>(r, 24, 28));
        break;
    case U_EMR_POLYBEZIERTO16:
        player.PolyBezierTo(Points<int16_t>(r, 24, 28));
        break;
    case U_EMR_POLYLINETO16:
        player.PolylineTo(Points<int16_t>(r, 24, 28));
        break;
    case U_EMR_POLYPOLYLINE16:
        player.PolyPolyline(PolyPoints<int16_t>(r));
        break;
    case U_EMR_POLYPOLYGON16:
        player.PolyPolygon(PolyPoints<int16_t>(r));
        break;
    case U_EMR_SETWINDOWEXTEX:
        player.SetWindowExt(r.Get<int32_t>(8), r.Get<int32_t>(12));
        break;
    case U_EMR_SETWINDOWORGEX:
        player.SetWindowOrg(r.Get<int32_t>(8), r.Get<int32_t>(12));
        break;
    case U_EMR_SETVIEWPORTEXTEX:
        player.SetViewportExt(r.Get<int32_t>(8), r.Get<int32_t>(12));
        break;
    case U_EMR_SETVIEWPORTORGEX:
        player.SetViewportOrg(r.Get<int32_t>(8), r.Get<int32_t>(12));
        break;
    case U_EMR_SETMAPMODE:
        player.SetMapMode(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETBKMODE:
        player.SetBkMode(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETPOLYFILLMODE:
        player.SetPolyFillMode(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETTEXTALIGN:
        player.SetTextAlign(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETTEXTCOLOR:
        player.SetTextColor(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETBKCOLOR:
        player.SetBkColor(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETARCDIRECTION:
        player.SetArcDirection(r.Get<uint32_t>(8));
        break;
    case U_EMR_MOVETOEX:
        player.MoveTo(PointAt(r, 8));
        break;
    case U_EMR_LINETO:
        player.LineTo(PointAt(r, 8));
        break;
    case U_EMR_EXCLUDECLIPRECT:
        player.ExcludeClipRect(RectAt(r, 8));
        break;
    case U_EMR_INTERSECTCLIPRECT:
        player.IntersectClipRect(RectAt(r, 8));
        break;
    case U_EMR_SAVEDC:
        player.SaveDC();
        break;
    case U_EMR_RESTOREDC:
        player.RestoreDC(r.Get<int32_t>(8));
        break;
    case U_EMR_SETWORLDTRANSFORM:
        player.SetWorldTransform(XformAt(r, 8));
        break;
    case U_EMR_MODIFYWORLDTRANSFORM:
        player.ModifyWorldTransform(XformAt(r, 8), r.Get<uint32_t>(32));
        break;
    case U_EMR_SELECTOBJECT:
        player.SelectObject(r.Get<uint32_t>(8));
        break;
    case U_EMR_DELETEOBJECT:
        player.DeleteObject(r.Get<uint32_t>(8));
        break;
    case U_EMR_CREATEPEN:
        object.Kind = TGdiObject::Pen;
        object.PenValue = {r.Get<uint32_t>(12), static_cast<double>(r.Get<int32_t>(16)),
                           ColorFromRef(r.Get<uint32_t>(24))};
        player.CreateObject(r.Get<uint32_t>(8), object);
        break;
    case U_EMR_EXTCREATEPEN: {
        object.Kind = TGdiObject::Pen;
        uint32_t style = r.Get<uint32_t>(28);
        if (r.Get<uint32_t>(36) == U_BS_NULL)
            style = (style & ~0xFu) | U_PS_NULL;
        object.PenValue = {style, static_cast<double>(r.Get<uint32_t>(32)),
                           ColorFromRef(r.Get<uint32_t>(40))};
        player.CreateObject(r.Get<uint32_t>(8), object);
        break;
    }
    case U_EMR_CREATEBRUSHINDIRECT:
        object.Kind = TGdiObject::Brush;
        object.BrushValue = {r.Get<uint32_t>(12), ColorFromRef(r.Get<uint32_t>(16)), r.Get<uint32_t>(20),
                             QImage(), false};
        player.CreateObject(r.Get<uint32_t>(8), object);
        break;
    case U_EMR_EXTCREATEFONTINDIRECTW:
        object.Kind = TGdiObject::Font;
        object.FontValue = FontAt(r);
        player.CreateObject(r.Get<uint32_t>(8), object);
        break;
    case U_EMR_ELLIPSE:
        player.Ellipse(RectAt(r, 8));
        break;
    case U_EMR_RECTANGLE:
        player.Rectangle(RectAt(r, 8));
        break;
    case U_EMR_ROUNDRECT:
        player.RoundRect(RectAt(r, 8), r.Get<int32_t>(24), r.Get<int32_t>(28));
        break;
    case U_EMR_ARC:
        player.ArcShape(TGdiPlayer::TArcKind::Arc, RectAt(r, 8), PointAt(r, 24), PointAt(r, 32));
        break;
    case U_EMR_CHORD:
        player.ArcShape(TGdiPlayer::TArcKind::Chord, RectAt(r, 8), PointAt(r, 24), PointAt(r, 32));
        break;
    case U_EMR_PIE:
        player.ArcShape(TGdiPlayer::TArcKind::Pie, RectAt(r, 8), PointAt(r, 24), PointAt(r, 32));
        break;
    case U_EMR_BEGINPATH:
        player.BeginPath();
        break;
    case U_EMR_ENDPATH:
        player.EndPath();
        break;
    case U_EMR_CLOSEFIGURE:
        player.CloseFigure();
        break;
    case U_EMR_FILLPATH:
        player.FillPath();
        break;
    case U_EMR_STROKEANDFILLPATH:
        player.StrokeAndFillPath();
        break;
    case U_EMR_STROKEPATH:
        player.StrokePath();
        break;
    case U_EMR_SELECTCLIPPATH:
        player.SelectClipPath(r.Get<uint32_t>(8));
        break;
    case U_EMR_ABORTPATH:
        player.AbortPath();
        break;
    case U_EMR_EXTSELECTCLIPRGN:
        player.SelectClipRegion(RegionRects(r, 8, 16), r.Get<uint32_t>(12));
        break;
    case U_EMR_FILLRGN:
        player.FillRegion(RegionRects(r, 24, 32), r.Get<uint32_t>(28));
        break;
    case U_EMR_FRAMERGN:
        player.FrameRegion(RegionRects(r, 24, 40), r.Get<uint32_t>(28),
                           QSizeF(r.Get<int32_t>(32), r.Get<int32_t>(36)));
        break;
    case U_EMR_PAINTRGN:
        player.PaintRegion(RegionRects(r, 24, 28));
        break;
    case U_EMR_INVERTRGN:
        player.InvertRegion(RegionRects(r, 24, 28));
        break;
    case U_EMR_OFFSETCLIPRGN:
        player.OffsetClip(PointAt(r, 8));
        break;
    case U_EMR_CREATEPALETTE:
    case U_EMR_CREATECOLORSPACE:
    case U_EMR_CREATECOLORSPACEW:
        player.CreateObject(r.Get<uint32_t>(8), object); // not drawn, but its slot is taken
        break;
    case U_EMR_CREATEDIBPATTERNBRUSHPT:
        PatternBrush(r, player, false);
        break;
    case U_EMR_CREATEMONOBRUSH:
        PatternBrush(r, player, true);
        break;
    case U_EMR_SETROP2:
        player.SetRop2(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETMITERLIMIT:
        player.SetMiterLimit(r.Get<uint32_t>(8));
        break;
    case U_EMR_SETBRUSHORGEX:
        player.SetBrushOrg(PointAt(r, 8));
        break;
    case U_EMR_SETPIXELV:
        player.SetPixel(PointAt(r, 8), r.Get<uint32_t>(16));
        break;
    case U_EMR_ARCTO:
        player.ArcTo(RectAt(r, 8), PointAt(r, 24), PointAt(r, 32));
        break;
    case U_EMR_SMALLTEXTOUT:
        SmallText(r, player);
        break;
    case U_EMR_GRADIENTFILL:
        GradientFill(r, player);
        break;
    case U_EMR_STRETCHDIBITS: {
        const QPointF dest = PointAt(r, 24), src = PointAt(r, 32), cSrc = PointAt(r, 40),
                      cDest = PointAt(r, 72);
        bool bottomUp = true;
        const uint32_t cbBmi = r.Get<uint32_t>(52);
        const QImage image = cbBmi == 0 ? QImage()
                                        : DibImage(r, r.Get<uint32_t>(48), cbBmi, r.Get<uint32_t>(56),
                                                   r.Get<uint32_t>(60), false, &bottomUp);
        // The source rectangle of a bottom-up bitmap counts its rows from the bottom.
        const double top = bottomUp && !image.isNull() ? image.height() - src.y() - cSrc.y() : src.y();
        player.DrawBitmap(QRectF(dest.x(), dest.y(), cDest.x(), cDest.y()), image,
                          QRectF(src.x(), top, cSrc.x(), cSrc.y()), r.Get<uint32_t>(68));
        break;
    }
    case U_EMR_BITBLT:
    case U_EMR_STRETCHBLT: {
        const QPointF dest = PointAt(r, 24), cDest = PointAt(r, 32), src = PointAt(r, 44);
        const QPointF cSrc = type == U_EMR_STRETCHBLT ? PointAt(r, 100) : cDest;
        player.DrawBitmap(QRectF(dest.x(), dest.y(), cDest.x(), cDest.y()), BlitImage(r, 84),
                          QRectF(src.x(), src.y(), cSrc.x(), cSrc.y()), r.Get<uint32_t>(40));
        break;
    }
    case U_EMR_EXTTEXTOUTW:
        Text(r, player, true);
        break;
    case U_EMR_EXTTEXTOUTA:
        Text(r, player, false);
        break;
    default:
        break;
    }
}

// The record types painted (others are skipped unread).
bool Painted(uint32_t type) {
    switch (type) {
    case U_EMR_POLYBEZIER:
    case U_EMR_POLYGON:
    case U_EMR_POLYLINE:
    case U_EMR_POLYBEZIERTO:
    case U_EMR_POLYLINETO:
    case U_EMR_POLYPOLYLINE:
    case U_EMR_POLYPOLYGON:
    case U_EMR_POLYBEZIER16:
    case U_EMR_POLYGON16:
    case U_EMR_POLYLINE16:
    case U_EMR_POLYBEZIERTO16:
    case U_EMR_POLYLINETO16:
    case U_EMR_POLYPOLYLINE16:
    case U_EMR_POLYPOLYGON16:
    case U_EMR_SETWINDOWEXTEX:
    case U_EMR_SETWINDOWORGEX:
    case U_EMR_SETVIEWPORTEXTEX:
    case U_EMR_SETVIEWPORTORGEX:
    case U_EMR_SETMAPMODE:
    case U_EMR_SETBKMODE:
    case U_EMR_SETPOLYFILLMODE:
    case U_EMR_SETTEXTALIGN:
    case U_EMR_SETTEXTCOLOR:
    case U_EMR_SETBKCOLOR:
    case U_EMR_SETARCDIRECTION:
    case U_EMR_MOVETOEX:
    case U_EMR_LINETO:
    case U_EMR_EXCLUDECLIPRECT:
    case U_EMR_INTERSECTCLIPRECT:
    case U_EMR_SAVEDC:
    case U_EMR_RESTOREDC:
    case U_EMR_SETWORLDTRANSFORM:
    case U_EMR_MODIFYWORLDTRANSFORM:
    case U_EMR_SELECTOBJECT:
    case U_EMR_DELETEOBJECT:
    case U_EMR_CREATEPEN:
    case U_EMR_EXTCREATEPEN:
    case U_EMR_CREATEBRUSHINDIRECT:
    case U_EMR_EXTCREATEFONTINDIRECTW:
    case U_EMR_ELLIPSE:
    case U_EMR_RECTANGLE:
    case U_EMR_ROUNDRECT:
    case U_EMR_ARC:
    case U_EMR_CHORD:
    case U_EMR_PIE:
    case U_EMR_BEGINPATH:
    case U_EMR_ENDPATH:
    case U_EMR_CLOSEFIGURE:
    case U_EMR_FILLPATH:
    case U_EMR_STROKEANDFILLPATH:
    case U_EMR_STROKEPATH:
    case U_EMR_SELECTCLIPPATH:
    case U_EMR_ABORTPATH:
    case U_EMR_EXTSELECTCLIPRGN:
    case U_EMR_EXTTEXTOUTW:
    case U_EMR_EXTTEXTOUTA:
    case U_EMR_FILLRGN:
    case U_EMR_FRAMERGN:
    case U_EMR_PAINTRGN:
    case U_EMR_INVERTRGN:
    case U_EMR_OFFSETCLIPRGN:
    case U_EMR_CREATEPALETTE:
    case U_EMR_CREATECOLORSPACE:
    case U_EMR_CREATECOLORSPACEW:
    case U_EMR_CREATEDIBPATTERNBRUSHPT:
    case U_EMR_CREATEMONOBRUSH:
    case U_EMR_SETROP2:
    case U_EMR_SETMITERLIMIT:
    case U_EMR_SETBRUSHORGEX:
    case U_EMR_SETPIXELV:
    case U_EMR_ARCTO:
    case U_EMR_SMALLTEXTOUT:
    case U_EMR_GRADIENTFILL:
    case U_EMR_STRETCHDIBITS:
    case U_EMR_BITBLT:
    case U_EMR_STRETCHBLT:
        return true;
    default:
        return false;
    }
}

// libUEMF's check of a record, on a copy padded past its end (some of its checks read a few bytes
// further than the record before they compare).
bool LibraryCheck(const uint8_t *record, std::size_t size, std::vector<uint64_t> &scratch) {
    scratch.assign(size / 8 + 16, 0);
    std::memcpy(scratch.data(), record, size);
    return U_emf_record_safe(reinterpret_cast<const char *>(scratch.data())) != 0;
}

} // namespace

TEmfHeader ReadEmfHeader(const uint8_t *data, std::size_t size, const std::string &where,
                         const std::string &name) {
    const auto fail = [&](const std::string &reason) { RaisePlatformError(where, name + ": " + reason); };
    if (size < HeaderSize || U32(data) != U_EMR_HEADER || U32(data + 40) != EmfSignature)
        fail("not an enhanced metafile");
    const uint32_t headerSize = U32(data + 4), bytes = U32(data + 48);
    if (headerSize < HeaderSize || headerSize % 4 != 0 || headerSize > bytes)
        fail("the header is malformed");
    if (bytes > size)
        fail("the file holds " + std::to_string(size) + " of its " + std::to_string(bytes) + " bytes");
    std::vector<uint64_t> scratch;
    if (!LibraryCheck(data, headerSize, scratch))
        fail("the header is malformed");
    TEmfHeader h{};
    for (int i = 0; i < 4; ++i) {
        std::memcpy(&h.Bounds[i], data + 8 + 4 * i, 4);
        std::memcpy(&h.Frame[i], data + 24 + 4 * i, 4);
    }
    std::memcpy(h.Device, data + 72, 8);
    std::memcpy(h.Millimeters, data + 80, 8);
    h.Bytes = bytes;
    // Every record lies inside the declared size; the chain ends at the end-of-file record.
    std::size_t at = headerSize;
    while (at < bytes) {
        if (bytes - at < 8)
            fail("a record header is cut at offset " + std::to_string(at));
        const uint32_t type = U32(data + at), n = U32(data + at + 4);
        if (n < 8 || n % 4 != 0 || n > bytes - at)
            fail("the record at offset " + std::to_string(at) + " has a bad size " + std::to_string(n));
        at += n;
        if (type == U_EMR_EOF)
            break;
    }
    return h;
}

void PlayEmf(const uint8_t *data, std::size_t size, QPainter &painter, const QRectF &rect) {
    const TEmfHeader h = ReadEmfHeader(data, size, "TMetafile.Play", "enhanced metafile");
    // Reference device pixels per millimetre, and the picture frame in reference device pixels.
    const double pxX =
        h.Device[0] > 0 && h.Millimeters[0] > 0 ? double(h.Device[0]) / h.Millimeters[0] : 96 / 25.4;
    const double pxY =
        h.Device[1] > 0 && h.Millimeters[1] > 0 ? double(h.Device[1]) / h.Millimeters[1] : 96 / 25.4;
    QRectF frame(QPointF(h.Frame[0] * pxX / 100.0, h.Frame[1] * pxY / 100.0),
                 QPointF(h.Frame[2] * pxX / 100.0, h.Frame[3] * pxY / 100.0));
    if (frame.width() <= 0 || frame.height() <= 0)
        frame = QRectF(QPointF(h.Bounds[0], h.Bounds[1]), QPointF(h.Bounds[2] + 1.0, h.Bounds[3] + 1.0));
    if (frame.width() <= 0 || frame.height() <= 0)
        frame = QRectF(0, 0, rect.width(), rect.height());
    const QTransform toRect =
        QTransform::fromTranslate(-frame.left(), -frame.top()) *
        QTransform::fromScale(rect.width() / frame.width(), rect.height() / frame.height()) *
        QTransform::fromTranslate(rect.left(), rect.top());
    TGdiPlayer player(painter, toRect, pxX);
    std::vector<uint64_t> scratch;
    std::size_t at = U32(data + 4);
    while (at < h.Bytes) {
        const uint32_t type = U32(data + at), n = U32(data + at + 4);
        if (type == U_EMR_EOF)
            break;
        if (Painted(type)) {
            const TRecordBytes r(data + at, n, at, type);
            // The library's check of the small text record refuses well-formed records without a
            // rectangle; that record is read through TRecordBytes alone.
            if (type != U_EMR_SMALLTEXTOUT && !LibraryCheck(data + at, n, scratch))
                r.Fail("its sizes and counts do not fit");
            PlayRecord(r, type, player);
        }
        at += n;
    }
}
