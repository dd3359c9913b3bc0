#pragma once
// A canvas that draws on a painter handed to it (an image's, a printer's, a PDF writer's): the pen,
// brush and font drawing code sets, and the canvas calls it makes. The caller owns the painter and its
// device; the canvas never begins or ends painting. Drawing is not anti-aliased, as on the platform,
// so that a colour key that follows stays exact.
#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

class QImage;
class QPainter;
class TMetafile;

enum class TPenStyle { Solid, Dash, Dot, DashDot, DashDotDot, Clear };
enum class TBrushStyle { Solid, Clear };

struct TCanvasPen {
    QColor Color = Qt::black;
    TPenStyle Style = TPenStyle::Solid;
    int Width = 1;
};

struct TCanvasBrush {
    QColor Color = Qt::white;
    TBrushStyle Style = TBrushStyle::Solid; // Clear: shapes are not filled and text has no background
};

struct TCanvasFont {
    QString Name = QStringLiteral("Arial");
    int Height = -11; // pixels: below 0 the character height, above 0 the cell height
    bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
    QColor Color = Qt::black;
};

class TCanvasEmulator {
public:
    explicit TCanvasEmulator(QPainter &painter);

    TCanvasPen Pen;
    TCanvasBrush Brush;
    TCanvasFont Font;

    // The font size in points on this canvas's device (Height = -points x device dots per inch / 72).
    void SetFontSize(int points);

    // Outlined with the pen and filled with the brush; right and bottom edges excluded. Without a pen
    // the filled area is one pixel narrower and lower, as on the platform.
    void Rectangle(int left, int top, int right, int bottom);
    // The rectangle's pixels filled with the brush, no outline.
    void FillRect(const QRect &r);
    // The text with its cell's top-left corner at (x, y), in the font's colour, on the brush colour
    // unless the brush is clear.
    void TextOut(int x, int y, const QString &text);
    QSize TextExtent(const QString &text) const;
    int TextWidth(const QString &text) const { return TextExtent(text).width(); }
    int TextHeight(const QString &text) const { return TextExtent(text).height(); }
    // The picture stretched over the rectangle's pixels; raises EPlatformError at a malformed record.
    void StretchDraw(const QRect &r, const TMetafile &metafile);
    void StretchDraw(const QRect &r, const QImage &image);
    // The source rectangle of the image stretched into the destination rectangle, pixel for pixel.
    void CopyRect(const QRect &dest, const QImage &source, const QRect &sourceRect);

    QPainter &Painter() { return painter_; }

private:
    QPainter &painter_;
};
