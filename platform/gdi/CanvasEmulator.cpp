#include "platform/gdi/CanvasEmulator.h"

#include "platform/gdi/GdiFont.h"
#include "platform/gdi/Metafile.h"

#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <cmath>
#include <vector>

namespace {

// Sets up the painter for one call and gives its state back afterwards.
class TCall {
public:
    explicit TCall(QPainter &p) : p_(p) {
        p_.save();
        p_.setRenderHint(QPainter::Antialiasing, false);
        p_.setRenderHint(QPainter::TextAntialiasing, false);
        p_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
    ~TCall() { p_.restore(); }
    TCall(const TCall &) = delete;
    TCall &operator=(const TCall &) = delete;

private:
    QPainter &p_;
};

QFont FontOf(const TCanvasFont &f) {
    return GdiFont(f.Name, f.Height, f.Bold ? 700 : 400, f.Italic, f.Underline, f.StrikeOut);
}

} // namespace

TCanvasEmulator::TCanvasEmulator(QPainter &painter) : painter_(painter) {}

void TCanvasEmulator::SetFontSize(int points) {
    const int dpi = painter_.device() ? painter_.device()->logicalDpiY() : 96;
    Font.Height = -static_cast<int>(std::lround(points * static_cast<double>(dpi) / 72.0));
}

void TCanvasEmulator::Rectangle(int left, int top, int right, int bottom) {
    const QRect r = QRect(QPoint(left, top), QPoint(right, bottom)).normalized();
    const int w = r.width() - 1, h = r.height() - 1; // right and bottom excluded
    if (w <= 0 || h <= 0)
        return;
    TCall call(painter_);
    const bool hasPen = Pen.Style != TPenStyle::Clear;
    if (Brush.Style == TBrushStyle::Solid) {
        if (hasPen)
            painter_.fillRect(QRect(r.left(), r.top(), w, h), Brush.Color);
        else if (w > 1 && h > 1)
            painter_.fillRect(QRect(r.left(), r.top(), w - 1, h - 1), Brush.Color);
    }
    if (hasPen) {
        static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                              Qt::DashDotDotLine};
        QPen pen(Pen.Color, Pen.Width <= 1 ? 0 : Pen.Width, styles[static_cast<int>(Pen.Style)]);
        painter_.setPen(pen);
        painter_.setBrush(Qt::NoBrush);
        painter_.drawRect(QRect(r.left(), r.top(), w - 1, h - 1));
    }
}

void TCanvasEmulator::FillRect(const QRect &r) {
    if (Brush.Style == TBrushStyle::Clear)
        return;
    TCall call(painter_);
    painter_.fillRect(r.normalized(), Brush.Color);
}

// Characters advance by whole pixels each, as on the platform, so that the extent of a text is the sum
// of the extents of its characters and the drawn text matches it.
static std::vector<QString> Characters(const QString &text) {
    std::vector<QString> out;
    for (char32_t c : text.toUcs4())
        out.push_back(QString::fromUcs4(&c, 1));
    return out;
}

QSize TCanvasEmulator::TextExtent(const QString &text) const {
    const QFontMetrics m(FontOf(Font), painter_.device());
    int width = 0;
    for (const QString &c : Characters(text))
        width += m.horizontalAdvance(c);
    return {width, m.ascent() + m.descent()};
}

void TCanvasEmulator::TextOut(int x, int y, const QString &text) {
    TCall call(painter_);
    const QFont font = FontOf(Font);
    painter_.setFont(font);
    const QFontMetrics m(font, painter_.device());
    const QSize extent = TextExtent(text);
    if (Brush.Style == TBrushStyle::Solid)
        painter_.fillRect(QRect(QPoint(x, y), extent), Brush.Color);
    painter_.setPen(Font.Color);
    int at = x;
    for (const QString &c : Characters(text)) {
        painter_.drawText(QPoint(at, y + m.ascent()), c);
        at += m.horizontalAdvance(c);
    }
}

void TCanvasEmulator::StretchDraw(const QRect &r, const TMetafile &metafile) {
    TCall call(painter_);
    metafile.Play(painter_, QRectF(r.left(), r.top(), r.right() - r.left() + 1, r.bottom() - r.top() + 1));
}

void TCanvasEmulator::StretchDraw(const QRect &r, const QImage &image) {
    TCall call(painter_);
    painter_.drawImage(QRectF(r), image);
}

void TCanvasEmulator::CopyRect(const QRect &dest, const QImage &source, const QRect &sourceRect) {
    TCall call(painter_);
    painter_.drawImage(QRectF(dest), source, QRectF(sourceRect));
}
