#pragma once
// The drawing state of a device context as enhanced and Windows metafile records change it (mapping,
// world transform, pens, brushes, fonts, colours, clip, path, saved states), painted onto a QPainter
// without anti-aliasing. The record readers (EmfPlayback.cpp, WmfPlayback.cpp) decode the records; this
// class only ever sees decoded values.
#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <QPainter>

// A colour as the records carry it: 0x00BBGGRR.
QColor ColorFromRef(uint32_t colorRef);

struct TGdiPen {
    uint32_t Style = 0; // style, end cap and join bits; 5 = none
    double Width = 0;   // logical units; 0 is one device pixel
    QColor Color = Qt::black;
};

struct TGdiBrush {
    uint32_t Style = 0; // 0 solid, 1 none, 2 hatched; others draw solid unless a pattern is given
    QColor Color = Qt::white;
    uint32_t Hatch = 0;
    // A pattern brush: its picture in device pixels. A monochrome one holds indices 0 and 1 and paints
    // them in the text and the background colour current when it fills.
    QImage Pattern;
    bool Mono = false;
};

struct TGdiFont {
    int32_t Height = 0, Width = 0, Escapement = 0, Weight = 400;
    bool Italic = false, Underline = false, StrikeOut = false;
    uint8_t CharSet = 1;
    QString FaceName;
};

// A GDI object in the object table of the metafile.
struct TGdiObject {
    enum TKind { Pen, Brush, Font, Other } Kind = Other;
    TGdiPen PenValue;
    TGdiBrush BrushValue;
    TGdiFont FontValue;
};

class TGdiPlayer {
public:
    // Paints through the painter; frame maps the reference device (what the mapping produces) onto the
    // painter's coordinates. The painter's own transform and clip stay in force; its state is given back
    // when the player dies.
    TGdiPlayer(QPainter &painter, const QTransform &frame, double devicePixelsPerMm);
    ~TGdiPlayer();
    TGdiPlayer(const TGdiPlayer &) = delete;
    TGdiPlayer &operator=(const TGdiPlayer &) = delete;

    // Mapping.
    void SetMapMode(uint32_t mode);
    void SetWindowOrg(double x, double y);
    void SetWindowExt(double cx, double cy);
    void SetViewportOrg(double x, double y);
    void SetViewportExt(double cx, double cy);
    void OffsetWindowOrg(double dx, double dy);
    void SetWorldTransform(const QTransform &t);
    // mode: 1 identity, 2 the new transform first, 3 the current first, 4 set.
    void ModifyWorldTransform(const QTransform &t, uint32_t mode);
    const QPointF &WindowExt() const { return state_.WindowExt; }

    // Saved states: at most MaxSavedStates deep; RestoreDC with a negative value counts back from the
    // latest, a positive value names an absolute level.
    void SaveDC();
    void RestoreDC(int32_t which);

    // Attributes.
    void SetBkMode(uint32_t mode) { state_.BkMode = mode; }
    void SetBkColor(uint32_t ref) { state_.BkColor = ColorFromRef(ref); }
    void SetTextColor(uint32_t ref) { state_.TextColor = ColorFromRef(ref); }
    void SetTextAlign(uint32_t align) { state_.TextAlign = align; }
    void SetPolyFillMode(uint32_t mode) { state_.PolyFillMode = mode; }
    void SetArcDirection(uint32_t dir) { state_.ArcDirection = dir; }
    // How pens and brushes combine with what lies below (1 black ... 13 copy ... 16 white).
    void SetRop2(uint32_t mode) {
        if (mode >= 1 && mode <= 16)
            state_.Rop2 = mode;
    }
    void SetMiterLimit(double limit) {
        if (limit >= 1)
            state_.MiterLimit = limit;
    }
    // Where hatches and patterns start, in reference device pixels.
    void SetBrushOrg(QPointF origin) { state_.BrushOrg = origin; }
    // The character set of the selected font: the code page of 8-bit text.
    uint8_t FontCharSet() const { return state_.Font.CharSet; }

    // Objects: the enhanced form names its table slot, the Windows form takes the lowest free one.
    void CreateObject(uint32_t index, const TGdiObject &object);
    void CreateObjectInFreeSlot(const TGdiObject &object);
    void SelectObject(uint32_t index); // high bit set: a stock object
    void DeleteObject(uint32_t index);

    // Drawing, in logical coordinates.
    void MoveTo(QPointF p);
    void LineTo(QPointF p);
    void Polyline(const std::vector<QPointF> &points);
    void PolylineTo(const std::vector<QPointF> &points);
    void PolyBezier(const std::vector<QPointF> &points);
    void PolyBezierTo(const std::vector<QPointF> &points);
    void Polygon(const std::vector<QPointF> &points);
    // Several polygons filled as one shape, or several polylines.
    void PolyPolygon(const std::vector<std::vector<QPointF>> &polygons);
    void PolyPolyline(const std::vector<std::vector<QPointF>> &polylines);
    void Rectangle(const QRectF &box);
    void RoundRect(const QRectF &box, double cornerWidth, double cornerHeight);
    void Ellipse(const QRectF &box);
    enum class TArcKind { Arc, Chord, Pie };
    void ArcShape(TArcKind kind, const QRectF &box, QPointF start, QPointF end);
    // Text at a reference point (or the current position); options as the records give them
    // (2 opaque background in rect, 4 clipped to rect); dx: advances in logical units, or empty.
    void TextOut(QPointF ref, const QString &text, uint32_t options, const QRectF *rect,
                 const std::vector<double> &dx);
    // The arc of ArcShape drawn on from the current position, which moves to the arc's end.
    void ArcTo(const QRectF &box, QPointF start, QPointF end);

    // Pictures: source (picture pixels) stretched onto dest (logical), combined with what lies below by
    // a ternary raster operation; a null picture paints the brush (or black, white, the inverse).
    void DrawBitmap(const QRectF &dest, const QImage &image, const QRectF &source, uint32_t rop);
    void SetPixel(QPointF p, uint32_t colorRef);
    // Triangles or rectangles shaded between the colours of their corners (logical points).
    struct TVertex {
        QPointF Point;
        QColor Color;
    };
    void GradientTriangle(const TVertex &a, const TVertex &b, const TVertex &c);
    void GradientRect(const TVertex &a, const TVertex &b, bool vertical);

    // Regions in reference device units: filled with a brush object, framed, painted with the current
    // brush, inverted; the clip moved by a logical offset.
    void FillRegion(const std::vector<QRectF> &deviceRects, uint32_t brushIndex);
    void FrameRegion(const std::vector<QRectF> &deviceRects, uint32_t brushIndex, QSizeF stroke);
    void PaintRegion(const std::vector<QRectF> &deviceRects);
    void InvertRegion(const std::vector<QRectF> &deviceRects);
    void OffsetClip(QPointF logical);

    // Paths.
    void BeginPath();
    void EndPath();
    void CloseFigure();
    void AbortPath();
    void FillPath();
    void StrokePath();
    void StrokeAndFillPath();
    void SelectClipPath(uint32_t mode);

    // Clip: rectangles in logical units; a region in reference device units (mode 5 with no rectangles
    // removes the clip).
    void IntersectClipRect(const QRectF &r);
    void ExcludeClipRect(const QRectF &r);
    void SelectClipRegion(const std::vector<QRectF> &deviceRects, uint32_t mode);

    static constexpr int MaxSavedStates = 1024;

private:
    struct TState {
        uint32_t MapMode = 1;
        QPointF WindowOrg{0, 0}, WindowExt{1, 1}, ViewportOrg{0, 0}, ViewportExt{1, 1};
        QTransform World;
        TGdiPen Pen;
        TGdiBrush Brush;
        TGdiFont Font;
        uint32_t BkMode = 2, TextAlign = 0, PolyFillMode = 1, ArcDirection = 1, Rop2 = 13;
        double MiterLimit = 10;
        QPointF BrushOrg{0, 0};
        QColor BkColor = Qt::white, TextColor = Qt::black;
        bool HasClip = false;
        QPainterPath Clip; // painter coordinates
        QPointF Position;  // current position, logical
    };

    QTransform PageTransform() const;
    QTransform Full() const; // logical to painter coordinates
    double LinearScale() const;
    QPainterPath ToDevice(const QPainterPath &logical) const;
    // Adds the shape to the open path, or fills and outlines it now.
    void Shape(const QPainterPath &logical, bool fill, bool stroke);
    void Paint(const QPainterPath &device, bool fill, bool stroke);
    QPen MakePen() const;
    QBrush MakeBrush() const;
    QBrush BrushOf(const TGdiBrush &b) const;
    // Sets the painter's composition for the current mix mode; false when nothing is to be drawn.
    bool ApplyRop2();
    QPainterPath RegionPath(const std::vector<QRectF> &deviceRects) const;
    // The brush an object handle names (stock or created); none when it names no brush.
    TGdiBrush BrushObject(uint32_t index);
    void FillDevice(const QPainterPath &device, const QBrush &brush, QPainter::CompositionMode mode);
    void ApplyClip();
    void CombineClip(const QPainterPath &shape, uint32_t mode);
    QFont MakeFont(double &escapementDegrees) const;

    QPainter &painter_;
    QTransform frame_;
    double pixelsPerMm_;
    double maxFontPixels_ = 2048;
    TState state_;
    std::vector<TState> saved_;
    std::map<uint32_t, TGdiObject> objects_;
    std::set<uint32_t> freeSlots_;
    uint32_t nextSlot_ = 0;
    bool inPath_ = false, havePath_ = false;
    QPainterPath path_; // painter coordinates
};
