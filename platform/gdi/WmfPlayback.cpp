// The Windows form: an optional placeable header (key, bounding box, units per inch), the standard
// header, then records of (size in 16-bit words, function, parameters). Records are framed with libUEMF's
// record check and read through TRecordBytes; records we do not paint are skipped.
#include "platform/gdi/GdiPlayer.h"
#include "platform/gdi/MetafileRecords.h"

#include <uwmf.h>

#include <QPainter>

#include <vector>

namespace {

constexpr uint32_t PlaceableKey = 0x9AC6CDD7;
constexpr std::size_t PlaceableSize = 22, StandardHeaderSize = 18;

// The functions painted, by their full numbers.
enum : uint16_t {
    META_EOF = 0x0000,
    META_SETBKCOLOR = 0x0201,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETTEXTCOLOR = 0x0209,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ARC = 0x0817,
    META_ELLIPSE = 0x0418,
    META_PIE = 0x081A,
    META_RECTANGLE = 0x041B,
    META_ROUNDRECT = 0x061C,
    META_SAVEDC = 0x001E,
    META_TEXTOUT = 0x0521,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_RESTOREDC = 0x0127,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_CHORD = 0x0830,
    META_EXTTEXTOUT = 0x0A32,
    META_POLYPOLYGON = 0x0538,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPALETTE = 0x00F7,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_CREATEBITMAPINDIRECT = 0x02FD,
    META_CREATEBITMAP = 0x06FE,
    META_CREATEREGION = 0x06FF,
    META_SETROP2 = 0x0104,
    META_SETPIXEL = 0x041F,
    META_DIBBITBLT = 0x0940,
    META_DIBSTRETCHBLT = 0x0B41,
    META_STRETCHDIB = 0x0F43,
};

uint16_t U16(const uint8_t *p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

uint32_t U32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The k-th 16-bit parameter (parameters start after the 6-byte record header).
int16_t W(const TRecordBytes &r, std::size_t k) {
    return r.Get<int16_t>(6 + 2 * k);
}

// Rectangles are stored bottom, right, top, left from parameter k.
QRectF RectFrom(const TRecordBytes &r, std::size_t k) {
    return QRectF(QPointF(W(r, k + 3), W(r, k + 2)), QPointF(W(r, k + 1), W(r, k)));
}

std::vector<QPointF> PointsAt(const TRecordBytes &r, std::size_t at, uint32_t n) {
    r.Need(at, n, 4);
    std::vector<QPointF> pts;
    pts.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        pts.emplace_back(r.Get<int16_t>(at + 4 * std::size_t(i)),
                         r.Get<int16_t>(at + 4 * std::size_t(i) + 2));
    return pts;
}

QString String(const TRecordBytes &r, std::size_t at, uint32_t n, const TGdiPlayer &player) {
    r.Need(at, n, 1);
    return DecodeAnsi(reinterpret_cast<const char *>(r.Data() + at), n, player.FontCharSet());
}

void ArcRecord(const TRecordBytes &r, TGdiPlayer &player, TGdiPlayer::TArcKind kind) {
    player.ArcShape(kind, RectFrom(r, 4), QPointF(W(r, 3), W(r, 2)), QPointF(W(r, 1), W(r, 0)));
}

// The old form of a pattern brush: a device-dependent bitmap's header (type, width, height, bytes a row,
// planes, bits a pixel and a pointer of no use here), 18 reserved bytes, then the rows, top row first,
// each padded to a whole 16-bit word. One bit a pixel is the usual hatch: 0 takes the text colour and 1
// the background colour when it fills, as the mono brushes of the newer forms. 24 and 32 bits are blue,
// green, red (and a byte to spare); other depths need the device's own palette and fill plain black, as a
// compressed pattern of the newer form does.
TGdiObject OldPatternBrush(const TRecordBytes &r) {
    constexpr std::size_t BitsAt = 6 + 14 + 18;
    const int16_t width = W(r, 1), height = W(r, 2);
    const uint8_t planes = r.Get<uint8_t>(14), bitsPixel = r.Get<uint8_t>(15);
    if (width <= 0 || height <= 0)
        r.Fail("pattern of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    if (planes != 1)
        r.Fail("pattern of " + std::to_string(planes) + " planes");
    TGdiObject object;
    object.Kind = TGdiObject::Brush;
    object.BrushValue.Style = 3;
    object.BrushValue.Color = Qt::black;
    if (bitsPixel != 1 && bitsPixel != 24 && bitsPixel != 32)
        return object;
    const std::size_t rowBytes = ((std::size_t(width) * bitsPixel + 15) >> 4) << 1;
    r.Need(BitsAt, height, rowBytes);
    const uint8_t *bits = r.Data() + BitsAt;
    if (bitsPixel == 1) {
        QImage image(width, height, QImage::Format_Indexed8);
        image.setColorTable({0xFF000000u, 0xFFFFFFFFu});
        for (int y = 0; y < height; ++y) {
            const uint8_t *row = bits + std::size_t(y) * rowBytes;
            uint8_t *out = image.scanLine(y);
            for (int x = 0; x < width; ++x)
                out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        }
        object.BrushValue.Pattern = image;
        object.BrushValue.Mono = true;
        return object;
    }
    QImage image(width, height, QImage::Format_RGB32);
    const std::size_t step = bitsPixel / 8;
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = bits + std::size_t(y) * rowBytes;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uint8_t *px = row + std::size_t(x) * step;
            out[x] = qRgb(px[2], px[1], px[0]);
        }
    }
    object.BrushValue.Pattern = image;
    return object;
}

void PlayRecord(const TRecordBytes &r, uint16_t function, TGdiPlayer &player) {
    TGdiObject object;
    switch (function) {
    case META_SETBKCOLOR:
        player.SetBkColor(r.Get<uint32_t>(6));
        break;
    case META_SETTEXTCOLOR:
        player.SetTextColor(r.Get<uint32_t>(6));
        break;
    case META_SETBKMODE:
        player.SetBkMode(r.Get<uint16_t>(6));
        break;
    case META_SETMAPMODE:
        player.SetMapMode(r.Get<uint16_t>(6));
        break;
    case META_SETPOLYFILLMODE:
        player.SetPolyFillMode(r.Get<uint16_t>(6));
        break;
    case META_SETTEXTALIGN:
        player.SetTextAlign(r.Get<uint16_t>(6));
        break;
    case META_SETWINDOWORG:
        player.SetWindowOrg(W(r, 1), W(r, 0));
        break;
    case META_SETWINDOWEXT:
        player.SetWindowExt(W(r, 1), W(r, 0));
        break;
    case META_SETVIEWPORTORG:
        player.SetViewportOrg(W(r, 1), W(r, 0));
        break;
    case META_SETVIEWPORTEXT:
        player.SetViewportExt(W(r, 1), W(r, 0));
        break;
    case META_OFFSETWINDOWORG:
        player.OffsetWindowOrg(W(r, 1), W(r, 0));
        break;
    case META_LINETO:
        player.LineTo(QPointF(W(r, 1), W(r, 0)));
        break;
    case META_MOVETO:
        player.MoveTo(QPointF(W(r, 1), W(r, 0)));
        break;
    case META_EXCLUDECLIPRECT:
        player.ExcludeClipRect(RectFrom(r, 0));
        break;
    case META_INTERSECTCLIPRECT:
        player.IntersectClipRect(RectFrom(r, 0));
        break;
    case META_ELLIPSE:
        player.Ellipse(RectFrom(r, 0));
        break;
    case META_RECTANGLE:
        player.Rectangle(RectFrom(r, 0));
        break;
    case META_ROUNDRECT:
        player.RoundRect(RectFrom(r, 2), W(r, 1), W(r, 0));
        break;
    case META_ARC:
        ArcRecord(r, player, TGdiPlayer::TArcKind::Arc);
        break;
    case META_PIE:
        ArcRecord(r, player, TGdiPlayer::TArcKind::Pie);
        break;
    case META_CHORD:
        ArcRecord(r, player, TGdiPlayer::TArcKind::Chord);
        break;
    case META_SAVEDC:
        player.SaveDC();
        break;
    case META_RESTOREDC:
        player.RestoreDC(W(r, 0));
        break;
    case META_POLYGON:
    case META_POLYLINE: {
        const int16_t n = W(r, 0);
        if (n < 0)
            r.Fail("negative point count");
        const std::vector<QPointF> pts = PointsAt(r, 8, static_cast<uint32_t>(n));
        if (function == META_POLYGON)
            player.Polygon(pts);
        else
            player.Polyline(pts);
        break;
    }
    case META_POLYPOLYGON: {
        const uint16_t polys = r.Get<uint16_t>(6);
        r.Need(8, polys, 2);
        std::size_t at = 8 + std::size_t(polys) * 2;
        std::vector<std::vector<QPointF>> all;
        all.reserve(polys);
        for (uint16_t k = 0; k < polys; ++k) {
            const uint16_t n = r.Get<uint16_t>(8 + std::size_t(k) * 2);
            all.push_back(PointsAt(r, at, n));
            at += std::size_t(n) * 4;
        }
        player.PolyPolygon(all);
        break;
    }
    case META_TEXTOUT: {
        const uint16_t n = r.Get<uint16_t>(6);
        const QString text = String(r, 8, n, player);
        const std::size_t after = 8 + ((std::size_t(n) + 1) & ~std::size_t(1));
        const QPointF at(r.Get<int16_t>(after + 2), r.Get<int16_t>(after));
        player.TextOut(at, text, 0, nullptr, {});
        break;
    }
    case META_EXTTEXTOUT: {
        const QPointF at(W(r, 1), W(r, 0));
        const uint16_t n = r.Get<uint16_t>(10), options = r.Get<uint16_t>(12);
        std::size_t next = 14;
        QRectF rect;
        const bool hasRect = (options & (2 | 4)) != 0; // opaque or clipped
        if (hasRect) {
            rect = QRectF(QPointF(r.Get<int16_t>(14), r.Get<int16_t>(16)),
                          QPointF(r.Get<int16_t>(18), r.Get<int16_t>(20)));
            next = 22;
        }
        const QString text = String(r, next, n, player);
        next += (std::size_t(n) + 1) & ~std::size_t(1);
        std::vector<double> dx;
        if (n > 0 && next <= r.Size() && (r.Size() - next) / 2 >= n) {
            for (uint16_t i = 0; i < n; ++i)
                dx.push_back(r.Get<int16_t>(next + 2 * std::size_t(i)));
            dx.resize(static_cast<std::size_t>(text.size()), 0.0);
        }
        player.TextOut(at, text, options, hasRect ? &rect : nullptr, dx);
        break;
    }
    case META_SELECTOBJECT:
        player.SelectObject(r.Get<uint16_t>(6));
        break;
    case META_DELETEOBJECT:
        player.DeleteObject(r.Get<uint16_t>(6));
        break;
    case META_CREATEPENINDIRECT:
        object.Kind = TGdiObject::Pen;
        object.PenValue = {r.Get<uint16_t>(6), static_cast<double>(r.Get<int16_t>(8)),
                           ColorFromRef(r.Get<uint32_t>(12))};
        player.CreateObjectInFreeSlot(object);
        break;
    case META_CREATEBRUSHINDIRECT:
        object.Kind = TGdiObject::Brush;
        object.BrushValue = {r.Get<uint16_t>(6), ColorFromRef(r.Get<uint32_t>(8)), r.Get<uint16_t>(12),
                             QImage(), false};
        player.CreateObjectInFreeSlot(object);
        break;
    case META_CREATEFONTINDIRECT: {
        object.Kind = TGdiObject::Font;
        TGdiFont &f = object.FontValue;
        f.Height = r.Get<int16_t>(6);
        f.Width = r.Get<int16_t>(8);
        f.Escapement = r.Get<int16_t>(10);
        f.Weight = r.Get<int16_t>(14);
        f.Italic = r.Get<uint8_t>(16) != 0;
        f.Underline = r.Get<uint8_t>(17) != 0;
        f.StrikeOut = r.Get<uint8_t>(18) != 0;
        f.CharSet = r.Get<uint8_t>(19);
        std::size_t len = 0;
        while (len < 32 && 24 + len < r.Size() && r.Data()[24 + len] != 0)
            ++len;
        f.FaceName = String(r, 24, static_cast<uint32_t>(len), player);
        player.CreateObjectInFreeSlot(object);
        break;
    }
    case META_DIBCREATEPATTERNBRUSH:
        object.Kind = TGdiObject::Brush;
        object.BrushValue.Style = 3;
        object.BrushValue.Pattern = PackedDibImage(r, 10);
        if (object.BrushValue.Pattern.isNull())
            object.BrushValue.Color = Qt::black; // a compressed pattern fills plain
        player.CreateObjectInFreeSlot(object);
        break;
    case META_SETROP2:
        player.SetRop2(r.Get<uint16_t>(6));
        break;
    case META_SETPIXEL:
        player.SetPixel(QPointF(W(r, 3), W(r, 2)), r.Get<uint32_t>(6));
        break;
    // Blits: the raster operation, then the source and destination (y before x, height before width),
    // then the picture; a blit with no picture has one more reserved word and paints the brush.
    case META_DIBBITBLT: {
        const bool picture = r.Size() > 24;
        const std::size_t k = picture ? 4 : 5;
        const QRectF dest(W(r, k + 3), W(r, k + 2), W(r, k + 1), W(r, k));
        player.DrawBitmap(dest, picture ? PackedDibImage(r, 22) : QImage(),
                          QRectF(W(r, 3), W(r, 2), dest.width(), dest.height()), r.Get<uint32_t>(6));
        break;
    }
    case META_DIBSTRETCHBLT:
    case META_STRETCHDIB: {
        const std::size_t k = function == META_STRETCHDIB ? 3 : 2, at = 6 + 2 * (k + 8);
        const bool picture = r.Size() > at + (function == META_STRETCHDIB ? 0 : 2);
        const std::size_t kk = picture || function == META_STRETCHDIB ? k : k + 1;
        bool bottomUp = false;
        const QImage image = picture ? PackedDibImage(r, 6 + 2 * (kk + 8), false, &bottomUp) : QImage();
        QRectF source(W(r, kk + 3), W(r, kk + 2), W(r, kk + 1), W(r, kk));
        if (function == META_STRETCHDIB && bottomUp && !image.isNull())
            source.moveTop(image.height() - source.top() - source.height());
        player.DrawBitmap(QRectF(W(r, kk + 7), W(r, kk + 6), W(r, kk + 5), W(r, kk + 4)), image, source,
                          r.Get<uint32_t>(6));
        break;
    }
    case META_CREATEPATTERNBRUSH:
        player.CreateObjectInFreeSlot(OldPatternBrush(r));
        break;
    // Objects we do not paint with still take their place in the object table.
    case META_CREATEPALETTE:
    case META_CREATEBITMAPINDIRECT:
    case META_CREATEBITMAP:
    case META_CREATEREGION:
        player.CreateObjectInFreeSlot(object);
        break;
    default:
        break;
    }
}

} // namespace

TWmfHeader ReadWmfHeader(const uint8_t *data, std::size_t size, const std::string &where,
                         const std::string &name) {
    const auto fail = [&](const std::string &reason) { RaisePlatformError(where, name + ": " + reason); };
    TWmfHeader h;
    if (size >= PlaceableSize && U32(data) == PlaceableKey) {
        h.Placeable = true;
        for (int i = 0; i < 4; ++i)
            std::memcpy(&h.Box[i], data + 6 + 2 * i, 2);
        h.Inch = U16(data + 14);
        h.HeaderAt = PlaceableSize;
    }
    const std::size_t at0 = h.HeaderAt;
    if (size < at0 + StandardHeaderSize)
        fail("not a metafile");
    const uint16_t type = U16(data + at0), headerWords = U16(data + at0 + 2), version = U16(data + at0 + 4);
    if ((type != 1 && type != 2) || headerWords != 9 || (version != 0x0100 && version != 0x0300))
        fail("not a Windows metafile");
    const uint64_t words = U32(data + at0 + 6);
    h.Bytes = at0 + words * 2;
    // Some writers count the placeable header into the size.
    if (h.Placeable && h.Bytes > size && words * 2 <= size)
        h.Bytes = words * 2;
    if (h.Bytes < at0 + StandardHeaderSize)
        fail("the header is malformed");
    if (h.Bytes > size)
        fail("the file holds " + std::to_string(size) + " of its " + std::to_string(h.Bytes) + " bytes");
    const char *limit = reinterpret_cast<const char *>(data + h.Bytes);
    std::size_t at = at0 + StandardHeaderSize;
    while (at < h.Bytes) {
        if (h.Bytes - at < 6)
            fail("a record header is cut at offset " + std::to_string(at));
        const uint64_t n = uint64_t(U32(data + at)) * 2;
        if (n < 6 || n > h.Bytes - at ||
            U_WMRRECSAFE_get(reinterpret_cast<const char *>(data + at), limit) != static_cast<std::size_t>(n))
            fail("the record at offset " + std::to_string(at) + " has a bad size " + std::to_string(n));
        const uint16_t function = U16(data + at + 4);
        if (function == META_SETWINDOWEXT && h.WindowExt[0] == 0 && n >= 10) {
            h.WindowExt[0] = std::abs(static_cast<int16_t>(U16(data + at + 8)));
            h.WindowExt[1] = std::abs(static_cast<int16_t>(U16(data + at + 6)));
        }
        at += static_cast<std::size_t>(n);
        if (function == META_EOF)
            break;
    }
    return h;
}

void PlayWmf(const uint8_t *data, std::size_t size, QPainter &painter, const QRectF &rect) {
    const TWmfHeader h = ReadWmfHeader(data, size, "TMetafile.Play", "Windows metafile");
    // The picture's window (the placeable box, else the first window the records set, else the target's
    // size) maps onto the rectangle; the records' own window settings then take over, as on the platform.
    TGdiPlayer player(painter, QTransform::fromTranslate(rect.left(), rect.top()), 96 / 25.4);
    player.SetMapMode(8);
    if (h.Placeable) {
        player.SetWindowOrg(h.Box[0], h.Box[1]);
        player.SetWindowExt(int32_t(h.Box[2]) - h.Box[0], int32_t(h.Box[3]) - h.Box[1]);
    } else if (h.WindowExt[0] != 0 && h.WindowExt[1] != 0) {
        player.SetWindowExt(h.WindowExt[0], h.WindowExt[1]);
    } else {
        player.SetWindowExt(rect.width(), rect.height());
    }
    player.SetViewportExt(rect.width(), rect.height());
    std::size_t at = h.HeaderAt + StandardHeaderSize;
    while (at < h.Bytes) {
        const std::size_t n = std::size_t(U32(data + at)) * 2;
        const uint16_t function = U16(data + at + 4);
        if (function == META_EOF)
            break;
        PlayRecord(TRecordBytes(data + at, n, at, function), function, player);
        at += n;
    }
}
