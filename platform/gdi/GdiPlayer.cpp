#include "platform/gdi/GdiPlayer.h"

#include "platform/PlatformError.h"
#include "platform/gdi/GdiFont.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const char *const Where = "TMetafile.Play";

constexpr uint32_t PS_NULL = 5;
constexpr uint32_t BS_NULL = 1, BS_HATCHED = 2;
constexpr uint32_t OPAQUE = 2;
constexpr uint32_t WINDING = 2;
constexpr uint32_t AD_CLOCKWISE = 2;
constexpr uint32_t TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24;
constexpr uint32_t ETO_OPAQUE = 2, ETO_CLIPPED = 4;
constexpr uint32_t RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5;

// Larger than any picture: what "no clip" means when a clip must be combined with it.
const QRectF Everything(-1e7, -1e7, 2e7, 2e7);
constexpr double MaxPenWidth = 16384; // below what QPen accepts

QPainterPath RectPath(const QRectF &r) {
    QPainterPath p;
    p.addRect(r);
    return p;
}

double Degrees(double radians) {
    return radians * 180.0 / M_PI;
}

} // namespace

QColor ColorFromRef(uint32_t ref) {
    return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
}

TGdiPlayer::TGdiPlayer(QPainter &painter, const QTransform &frame, double devicePixelsPerMm)
    : painter_(painter), pixelsPerMm_(devicePixelsPerMm > 0 ? devicePixelsPerMm : 96.0 / 25.4) {
    frame_ = frame * painter.worldTransform();
    if (const QPaintDevice *d = painter.device())
        maxFontPixels_ = std::clamp(4.0 * std::max(d->width(), d->height()), 64.0, 2048.0);
    painter_.save();
    painter_.setWorldTransform(QTransform());
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setRenderHint(QPainter::TextAntialiasing, false);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    state_.Font.FaceName = QStringLiteral("Arial");
}

TGdiPlayer::~TGdiPlayer() {
    painter_.restore();
}

// ---- mapping

QTransform TGdiPlayer::PageTransform() const {
    const TState &s = state_;
    double sx = 1, sy = 1;
    switch (s.MapMode) {
    case 2:
        sx = 0.1;
        break; // 0.1 mm
    case 3:
        sx = 0.01;
        break; // 0.01 mm
    case 4:
        sx = 0.254;
        break; // 0.01 inch
    case 5:
        sx = 0.0254;
        break; // 0.001 inch
    case 6:
        sx = 25.4 / 1440.0;
        break; // twips
    case 7:
    case 8:
        sx = s.ViewportExt.x() / s.WindowExt.x();
        sy = s.ViewportExt.y() / s.WindowExt.y();
        if (s.MapMode == 7) { // the same scale both ways, the smaller one
            const double m = std::min(std::abs(sx), std::abs(sy));
            sx = std::copysign(m, sx);
            sy = std::copysign(m, sy);
        }
        break;
    default:
        break; // 1: one logical unit is one device pixel
    }
    if (s.MapMode >= 2 && s.MapMode <= 6) {
        sx *= pixelsPerMm_;
        sy = -sx; // y grows upward
    }
    return QTransform::fromTranslate(-s.WindowOrg.x(), -s.WindowOrg.y()) * QTransform::fromScale(sx, sy) *
           QTransform::fromTranslate(s.ViewportOrg.x(), s.ViewportOrg.y());
}

QTransform TGdiPlayer::Full() const {
    return state_.World * PageTransform() * frame_;
}

double TGdiPlayer::LinearScale() const {
    return std::sqrt(std::abs(Full().determinant()));
}

// A mapping that overflows (extents or transforms far beyond any picture) draws nothing.
static bool Finite(const QTransform &t) {
    return std::isfinite(t.m11()) && std::isfinite(t.m12()) && std::isfinite(t.m21()) &&
           std::isfinite(t.m22()) && std::isfinite(t.dx()) && std::isfinite(t.dy()) &&
           std::isfinite(t.m13()) && std::isfinite(t.m23()) && std::isfinite(t.m33());
}

QPainterPath TGdiPlayer::ToDevice(const QPainterPath &logical) const {
    const QTransform t = Full();
    return Finite(t) ? t.map(logical) : QPainterPath();
}

void TGdiPlayer::SetMapMode(uint32_t mode) {
    if (mode < 1 || mode > 8)
        return;
    state_.MapMode = mode;
    if (mode != 7 && mode != 8) {
        state_.WindowExt = {1, 1};
        state_.ViewportExt = {1, 1};
    }
}

void TGdiPlayer::SetWindowOrg(double x, double y) {
    state_.WindowOrg = {x, y};
}

void TGdiPlayer::OffsetWindowOrg(double dx, double dy) {
    state_.WindowOrg += QPointF(dx, dy);
}

void TGdiPlayer::SetViewportOrg(double x, double y) {
    state_.ViewportOrg = {x, y};
}

// Extents only count in the scalable modes, and an extent of 0 is refused, as GDI does.
void TGdiPlayer::SetWindowExt(double cx, double cy) {
    if ((state_.MapMode == 7 || state_.MapMode == 8) && cx != 0 && cy != 0)
        state_.WindowExt = {cx, cy};
}

void TGdiPlayer::SetViewportExt(double cx, double cy) {
    if ((state_.MapMode == 7 || state_.MapMode == 8) && cx != 0 && cy != 0)
        state_.ViewportExt = {cx, cy};
}

void TGdiPlayer::SetWorldTransform(const QTransform &t) {
    if (t.isInvertible())
        state_.World = t;
}

void TGdiPlayer::ModifyWorldTransform(const QTransform &t, uint32_t mode) {
    QTransform next;
    switch (mode) {
    case 1:
        next = QTransform();
        break;
    case 2:
        next = t * state_.World;
        break;
    case 3:
        next = state_.World * t;
        break;
    case 4:
        next = t;
        break;
    default:
        return;
    }
    if (next.isInvertible())
        state_.World = next;
}

void TGdiPlayer::SaveDC() {
    if (static_cast<int>(saved_.size()) >= MaxSavedStates)
        RaisePlatformError(Where, "more than " + std::to_string(MaxSavedStates) + " saved states");
    saved_.push_back(state_);
}

void TGdiPlayer::RestoreDC(int32_t which) {
    const int64_t n = static_cast<int64_t>(saved_.size());
    const int64_t keep = which < 0 ? n + which : static_cast<int64_t>(which) - 1;
    if (which == 0 || keep < 0 || keep >= n)
        return; // no such state: the call fails and changes nothing
    state_ = saved_[static_cast<std::size_t>(keep)];
    saved_.resize(static_cast<std::size_t>(keep));
}

// ---- objects

void TGdiPlayer::CreateObject(uint32_t index, const TGdiObject &object) {
    objects_[index] = object;
}

void TGdiPlayer::CreateObjectInFreeSlot(const TGdiObject &object) {
    uint32_t slot;
    if (!freeSlots_.empty()) {
        slot = *freeSlots_.begin();
        freeSlots_.erase(freeSlots_.begin());
    } else {
        if (nextSlot_ > 0xFFFF)
            RaisePlatformError(Where, "the object table is full");
        slot = nextSlot_++;
    }
    objects_[slot] = object;
}

void TGdiPlayer::SelectObject(uint32_t index) {
    if (index & 0x80000000u) {
        const uint32_t stock = index & 0x7FFFFFFFu;
        static const int grey[] = {255, 192, 128, 64, 0};
        if (stock <= 4)
            state_.Brush = {0, QColor(grey[stock], grey[stock], grey[stock]), 0, QImage(), false};
        else if (stock == 5)
            state_.Brush = {BS_NULL, Qt::white, 0, QImage(), false};
        else if (stock == 6 || stock == 7)
            state_.Pen = {0, 0, stock == 6 ? Qt::white : Qt::black};
        else if (stock == 8)
            state_.Pen = {PS_NULL, 0, Qt::black};
        else if (stock >= 10 && stock <= 17)
            state_.Font = TGdiFont{0, 0, 0, 400, false, false, false, 1, QStringLiteral("Arial")};
        else if (stock == 18)
            state_.Brush = {0, Qt::white, 0, QImage(), false};
        else if (stock == 19)
            state_.Pen = {0, 0, Qt::black};
        return;
    }
    const auto it = objects_.find(index);
    if (it == objects_.end())
        return;
    const TGdiObject &o = it->second;
    switch (o.Kind) {
    case TGdiObject::Pen:
        state_.Pen = o.PenValue;
        break;
    case TGdiObject::Brush:
        state_.Brush = o.BrushValue;
        break;
    case TGdiObject::Font:
        state_.Font = o.FontValue;
        break;
    case TGdiObject::Other:
        break;
    }
}

void TGdiPlayer::DeleteObject(uint32_t index) {
    if (objects_.erase(index) && index < nextSlot_)
        freeSlots_.insert(index);
}

// ---- painting

QPen TGdiPlayer::MakePen() const {
    const TGdiPen &p = state_.Pen;
    const uint32_t style = p.Style & 0xF;
    if (style == PS_NULL)
        return Qt::NoPen;
    QPen pen(p.Color);
    // Width 0 is one device pixel; widths beyond any picture are capped.
    const double w = std::abs(p.Width) * LinearScale();
    pen.setWidthF(!(w >= 1.5) ? 0.0 : std::min(w, MaxPenWidth));
    switch (style) {
    case 1:
        pen.setStyle(Qt::DashLine);
        break;
    case 2:
    case 8:
        pen.setStyle(Qt::DotLine);
        break;
    case 3:
        pen.setStyle(Qt::DashDotLine);
        break;
    case 4:
        pen.setStyle(Qt::DashDotDotLine);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    switch (p.Style & 0xF00) {
    case 0x100:
        pen.setCapStyle(Qt::SquareCap);
        break;
    case 0x200:
        pen.setCapStyle(Qt::FlatCap);
        break;
    default:
        pen.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (p.Style & 0xF000) {
    case 0x1000:
        pen.setJoinStyle(Qt::BevelJoin);
        break;
    case 0x2000:
        pen.setJoinStyle(Qt::MiterJoin);
        pen.setMiterLimit(state_.MiterLimit);
        break;
    default:
        pen.setJoinStyle(Qt::RoundJoin);
        break;
    }
    return pen;
}

QBrush TGdiPlayer::MakeBrush() const {
    return BrushOf(state_.Brush);
}

QBrush TGdiPlayer::BrushOf(const TGdiBrush &b) const {
    if (b.Style == BS_NULL)
        return Qt::NoBrush;
    if (!b.Pattern.isNull()) {
        QImage pattern = b.Pattern;
        if (b.Mono)
            pattern.setColorTable({state_.TextColor.rgb(), state_.BkColor.rgb()});
        QBrush brush(pattern);
        const QPointF origin = frame_.map(state_.BrushOrg);
        brush.setTransform(QTransform::fromTranslate(std::round(origin.x()), std::round(origin.y())));
        return brush;
    }
    if (b.Style == BS_HATCHED) {
        static const Qt::BrushStyle hatch[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                               Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        if (b.Hatch < 6) {
            QBrush brush(b.Color, hatch[b.Hatch]);
            const QPointF origin = frame_.map(state_.BrushOrg);
            brush.setTransform(QTransform::fromTranslate(std::round(origin.x()), std::round(origin.y())));
            return brush;
        }
    }
    return QBrush(b.Color);
}

bool TGdiPlayer::ApplyRop2() {
    using M = QPainter::CompositionMode;
    static const M modes[] = {
        M::RasterOp_ClearDestination,           // 1 black
        M::RasterOp_NotSourceAndNotDestination, // 2 not (pen or dest)
        M::RasterOp_NotSourceAndDestination,    // 3 dest and not pen
        M::RasterOp_NotSource,                  // 4 not pen
        M::RasterOp_SourceAndNotDestination,    // 5 pen and not dest
        M::RasterOp_NotDestination,             // 6 not dest
        M::RasterOp_SourceXorDestination,       // 7 pen xor dest
        M::RasterOp_NotSourceOrNotDestination,  // 8 not (pen and dest)
        M::RasterOp_SourceAndDestination,       // 9 pen and dest
        M::RasterOp_NotSourceXorDestination,    // 10 not (pen xor dest)
        M::CompositionMode_SourceOver,          // 11 nothing (not drawn)
        M::RasterOp_NotSourceOrDestination,     // 12 dest or not pen
        M::CompositionMode_SourceOver,          // 13 pen
        M::RasterOp_SourceOrNotDestination,     // 14 pen or not dest
        M::RasterOp_SourceOrDestination,        // 15 pen or dest
        M::RasterOp_SetDestination,             // 16 white
    };
    if (state_.Rop2 == 11)
        return false;
    painter_.setCompositionMode(modes[state_.Rop2 - 1]);
    return true;
}

void TGdiPlayer::ApplyClip() {
    if (state_.HasClip)
        painter_.setClipPath(state_.Clip, Qt::IntersectClip);
}

void TGdiPlayer::Paint(const QPainterPath &device, bool fill, bool stroke) {
    const QBrush brush = fill ? MakeBrush() : QBrush(Qt::NoBrush);
    const QPen pen = stroke ? MakePen() : QPen(Qt::NoPen);
    if (brush.style() == Qt::NoBrush && pen.style() == Qt::NoPen)
        return;
    painter_.save();
    if (!ApplyRop2()) {
        painter_.restore();
        return;
    }
    ApplyClip();
    QPainterPath path = device;
    path.setFillRule(state_.PolyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
    if (brush.style() != Qt::NoBrush) {
        // Hatches show the background colour between their lines unless the background is transparent.
        painter_.setBackgroundMode(state_.BkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
        painter_.setBackground(state_.BkColor);
        painter_.fillPath(path, brush);
    }
    if (pen.style() != Qt::NoPen)
        painter_.strokePath(path, pen);
    painter_.restore();
}

void TGdiPlayer::Shape(const QPainterPath &logical, bool fill, bool stroke) {
    if (inPath_) {
        path_.addPath(ToDevice(logical));
        return;
    }
    Paint(ToDevice(logical), fill, stroke);
}

void TGdiPlayer::MoveTo(QPointF p) {
    state_.Position = p;
    const QTransform t = Full();
    if (inPath_ && Finite(t))
        path_.moveTo(t.map(p));
}

void TGdiPlayer::LineTo(QPointF p) {
    PolylineTo({p});
}

void TGdiPlayer::Polyline(const std::vector<QPointF> &points) {
    if (points.size() < 2)
        return;
    QPainterPath line(points[0]);
    for (std::size_t i = 1; i < points.size(); ++i)
        line.lineTo(points[i]);
    Shape(line, false, true);
}

// Lines on from the current position, which moves to the last point.
void TGdiPlayer::PolylineTo(const std::vector<QPointF> &points) {
    if (points.empty())
        return;
    const QTransform t = Full();
    if (inPath_) {
        if (Finite(t)) {
            if (path_.elementCount() == 0)
                path_.moveTo(t.map(state_.Position));
            for (const QPointF &p : points)
                path_.lineTo(t.map(p));
        }
    } else {
        QPainterPath line(state_.Position);
        for (const QPointF &p : points)
            line.lineTo(p);
        Paint(ToDevice(line), false, true);
    }
    state_.Position = points.back();
}

void TGdiPlayer::PolyBezier(const std::vector<QPointF> &points) {
    if (points.size() < 4)
        return;
    QPainterPath curve(points[0]);
    for (std::size_t i = 1; i + 2 < points.size(); i += 3)
        curve.cubicTo(points[i], points[i + 1], points[i + 2]);
    Shape(curve, false, true);
}

void TGdiPlayer::PolyBezierTo(const std::vector<QPointF> &points) {
    if (points.size() < 3)
        return;
    std::vector<QPointF> all{state_.Position};
    all.insert(all.end(), points.begin(), points.end());
    const QTransform t = Full();
    if (inPath_) {
        if (Finite(t)) {
            if (path_.elementCount() == 0)
                path_.moveTo(t.map(state_.Position));
            for (std::size_t i = 0; i + 2 < points.size(); i += 3)
                path_.cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
        }
    } else {
        PolyBezier(all);
    }
    state_.Position = points[points.size() - 1 - (points.size() % 3)];
}

void TGdiPlayer::Polygon(const std::vector<QPointF> &points) {
    if (points.size() < 2)
        return;
    QPainterPath shape;
    shape.addPolygon(QPolygonF(QVector<QPointF>(points.begin(), points.end())));
    shape.closeSubpath();
    Shape(shape, true, true);
}

void TGdiPlayer::PolyPolygon(const std::vector<std::vector<QPointF>> &polygons) {
    QPainterPath shape;
    for (const auto &points : polygons) {
        if (points.size() < 2)
            continue;
        shape.addPolygon(QPolygonF(QVector<QPointF>(points.begin(), points.end())));
        shape.closeSubpath();
    }
    Shape(shape, true, true);
}

void TGdiPlayer::PolyPolyline(const std::vector<std::vector<QPointF>> &polylines) {
    for (const auto &points : polylines)
        Polyline(points);
}

void TGdiPlayer::Rectangle(const QRectF &box) {
    Shape(RectPath(box.normalized()), true, true);
}

void TGdiPlayer::RoundRect(const QRectF &box, double cornerWidth, double cornerHeight) {
    QPainterPath shape;
    shape.addRoundedRect(box.normalized(), std::abs(cornerWidth) / 2, std::abs(cornerHeight) / 2,
                         Qt::AbsoluteSize);
    Shape(shape, true, true);
}

void TGdiPlayer::Ellipse(const QRectF &box) {
    QPainterPath shape;
    shape.addEllipse(box.normalized());
    Shape(shape, true, true);
}

// The arc runs on the ellipse of the box from where the ray towards start meets it to where the ray
// towards end meets it, counter-clockwise unless the arc direction says otherwise.
static bool ArcAngles(const QRectF &r, QPointF start, QPointF end, uint32_t direction, double &a0,
                      double &sweep) {
    if (r.width() <= 0 || r.height() <= 0)
        return false;
    const QPointF c = r.center();
    const double rx = r.width() / 2, ry = r.height() / 2;
    const auto angle = [&](QPointF p) {
        return Degrees(std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx));
    };
    a0 = angle(start);
    const double a1 = angle(end);
    sweep = std::fmod(a1 - a0 + 720.0, 360.0);
    if (sweep <= 0)
        sweep = 360.0;
    if (direction == AD_CLOCKWISE)
        sweep -= 360.0;
    if (sweep == 0)
        sweep = -360.0;
    return true;
}

void TGdiPlayer::ArcShape(TArcKind kind, const QRectF &box, QPointF start, QPointF end) {
    const QRectF r = box.normalized();
    double a0, sweep;
    if (!ArcAngles(r, start, end, state_.ArcDirection, a0, sweep))
        return;
    const QPointF c = r.center();
    QPainterPath shape;
    if (kind == TArcKind::Pie) {
        shape.moveTo(c);
        shape.arcTo(r, a0, sweep);
        shape.closeSubpath();
    } else {
        shape.arcMoveTo(r, a0);
        shape.arcTo(r, a0, sweep);
        if (kind == TArcKind::Chord)
            shape.closeSubpath();
    }
    Shape(shape, kind != TArcKind::Arc, true);
}

void TGdiPlayer::ArcTo(const QRectF &box, QPointF start, QPointF end) {
    const QRectF r = box.normalized();
    double a0, sweep;
    if (!ArcAngles(r, start, end, state_.ArcDirection, a0, sweep))
        return;
    QPainterPath arc(state_.Position);
    arc.arcTo(r, a0, sweep);
    const QPointF last = arc.currentPosition();
    const QTransform t = Full();
    if (inPath_) {
        if (Finite(t)) {
            if (path_.elementCount() == 0)
                path_.moveTo(t.map(state_.Position));
            path_.connectPath(t.map(arc));
        }
    } else {
        Paint(ToDevice(arc), false, true);
    }
    state_.Position = last;
}

QFont TGdiPlayer::MakeFont(double &escapementDegrees) const {
    const TGdiFont &f = state_.Font;
    const QTransform t = Full();
    const double yScale = std::hypot(t.m21(), t.m22()), xScale = std::hypot(t.m11(), t.m12());
    // Text far larger than the device shows nothing more than clipped strokes: capping its size keeps a
    // corrupt height from rendering glyphs of gigabytes.
    double height = f.Height * yScale;
    if (std::abs(height) > maxFontPixels_)
        height = std::copysign(maxFontPixels_, height);
    QFont font = GdiFont(f.FaceName, height, f.Weight, f.Italic, f.Underline, f.StrikeOut);
    if (f.Width > 0) {
        const double natural = QFontMetricsF(font).averageCharWidth();
        if (natural > 0)
            font.setStretch(
                static_cast<int>(std::clamp(std::lround(100.0 * f.Width * xScale / natural), 1L, 4000L)));
    }
    escapementDegrees = f.Escapement / 10.0;
    return font;
}

void TGdiPlayer::TextOut(QPointF ref, const QString &text, uint32_t options, const QRectF *rect,
                         const std::vector<double> &dx) {
    if (inPath_)
        return; // glyph outlines in paths are not drawn
    const QTransform t = Full();
    if (!Finite(t))
        return;
    const bool updateCp = (state_.TextAlign & TA_UPDATECP) != 0;
    const QPointF origin = updateCp ? state_.Position : ref;
    painter_.save();
    ApplyClip();
    if (rect && (options & ETO_CLIPPED))
        painter_.setClipPath(t.map(RectPath(rect->normalized())), Qt::IntersectClip);
    if (rect && (options & ETO_OPAQUE))
        painter_.fillPath(t.map(RectPath(rect->normalized())), state_.BkColor);
    double escapement = 0;
    const QFont font = MakeFont(escapement);
    const QFontMetricsF metrics(font);
    const double xScale = std::hypot(t.m11(), t.m12());
    std::vector<double> offsets;
    double width = 0;
    if (!dx.empty()) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(text.size()); ++i) {
            offsets.push_back(width);
            width += (i < dx.size() ? dx[i] : 0.0) * xScale;
        }
    } else {
        width = metrics.horizontalAdvance(text);
    }
    double x0 = 0, baseline = 0;
    switch (state_.TextAlign & TA_CENTER) {
    case TA_RIGHT:
        x0 = -width;
        break;
    case TA_CENTER:
        x0 = -width / 2;
        break;
    default:
        break;
    }
    switch (state_.TextAlign & TA_BASELINE) {
    case TA_BASELINE:
        break;
    case TA_BOTTOM:
        baseline = -metrics.descent();
        break;
    default:
        baseline = metrics.ascent();
        break;
    }
    painter_.translate(t.map(origin));
    painter_.rotate(-escapement);
    if (state_.BkMode == OPAQUE)
        painter_.fillRect(
            QRectF(x0, baseline - metrics.ascent(), width, metrics.ascent() + metrics.descent()),
            state_.BkColor);
    painter_.setFont(font);
    painter_.setPen(state_.TextColor);
    if (offsets.empty()) {
        painter_.drawText(QPointF(x0, baseline), text);
    } else {
        for (qsizetype i = 0; i < text.size(); ++i)
            painter_.drawText(QPointF(x0 + offsets[static_cast<std::size_t>(i)], baseline), QString(text[i]));
    }
    painter_.restore();
    if (updateCp && xScale > 0)
        state_.Position = origin + QPointF(width / xScale, 0);
}

// ---- paths and clip

void TGdiPlayer::BeginPath() {
    path_ = QPainterPath();
    inPath_ = true;
    havePath_ = false;
}

void TGdiPlayer::EndPath() {
    if (inPath_) {
        inPath_ = false;
        havePath_ = true;
    }
}

void TGdiPlayer::CloseFigure() {
    if (inPath_)
        path_.closeSubpath();
}

void TGdiPlayer::AbortPath() {
    path_ = QPainterPath();
    inPath_ = havePath_ = false;
}

void TGdiPlayer::FillPath() {
    if (havePath_)
        Paint(path_, true, false);
    AbortPath();
}

void TGdiPlayer::StrokePath() {
    if (havePath_)
        Paint(path_, false, true);
    AbortPath();
}

void TGdiPlayer::StrokeAndFillPath() {
    if (havePath_)
        Paint(path_, true, true);
    AbortPath();
}

void TGdiPlayer::SelectClipPath(uint32_t mode) {
    if (havePath_)
        CombineClip(path_, mode);
    AbortPath();
}

void TGdiPlayer::CombineClip(const QPainterPath &shape, uint32_t mode) {
    TState &s = state_;
    const QPainterPath current = s.HasClip ? s.Clip : RectPath(Everything);
    switch (mode) {
    case RGN_AND:
        s.Clip = s.HasClip ? current.intersected(shape) : shape;
        break;
    case RGN_OR:
        if (!s.HasClip)
            return; // everything or anything is everything
        s.Clip = current.united(shape);
        break;
    case RGN_XOR:
        s.Clip = current.united(shape).subtracted(current.intersected(shape));
        break;
    case RGN_DIFF:
        s.Clip = current.subtracted(shape);
        break;
    case RGN_COPY:
        s.Clip = shape;
        break;
    default:
        return;
    }
    s.HasClip = true;
}

void TGdiPlayer::IntersectClipRect(const QRectF &r) {
    CombineClip(ToDevice(RectPath(r.normalized())), RGN_AND);
}

void TGdiPlayer::ExcludeClipRect(const QRectF &r) {
    CombineClip(ToDevice(RectPath(r.normalized())), RGN_DIFF);
}

void TGdiPlayer::SelectClipRegion(const std::vector<QRectF> &deviceRects, uint32_t mode) {
    if (deviceRects.empty()) {
        if (mode == RGN_COPY)
            state_.HasClip = false;
        return;
    }
    QPainterPath region;
    for (const QRectF &r : deviceRects)
        region.addRect(r.normalized());
    region.setFillRule(Qt::WindingFill);
    CombineClip(frame_.map(region), mode);
}

// ---- pictures, gradients and regions

void TGdiPlayer::FillDevice(const QPainterPath &device, const QBrush &brush, QPainter::CompositionMode mode) {
    if (brush.style() == Qt::NoBrush)
        return;
    painter_.save();
    ApplyClip();
    painter_.setBackgroundMode(state_.BkMode == OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
    painter_.setBackground(state_.BkColor);
    painter_.setCompositionMode(mode);
    painter_.fillPath(device, brush);
    painter_.restore();
}

void TGdiPlayer::DrawBitmap(const QRectF &dest, const QImage &image, const QRectF &source, uint32_t rop) {
    using M = QPainter::CompositionMode;
    const QTransform t = Full();
    if (!Finite(t) || inPath_)
        return;
    const uint32_t op = (rop >> 16) & 0xFF;
    if (op == 0xAA)
        return; // the destination as it is
    QPainterPath area;
    area.addRect(dest);
    area = t.map(area);
    if (image.isNull() || op == 0x00 || op == 0xFF || op == 0x55 || op == 0xF0 || op == 0x5A) {
        switch (op) {
        case 0x00:
            FillDevice(area, QBrush(Qt::black), M::CompositionMode_SourceOver);
            break;
        case 0xFF:
            FillDevice(area, QBrush(Qt::white), M::CompositionMode_SourceOver);
            break;
        case 0x55:
            FillDevice(area, QBrush(Qt::black), M::RasterOp_NotDestination);
            break;
        case 0x5A:
            FillDevice(area, MakeBrush(), M::RasterOp_SourceXorDestination);
            break;
        default:
            FillDevice(area, MakeBrush(), M::CompositionMode_SourceOver);
            break;
        }
        return;
    }
    if (source.width() == 0 || source.height() == 0)
        return;
    M mode = M::CompositionMode_SourceOver;
    switch (op) {
    case 0x88:
        mode = M::RasterOp_SourceAndDestination;
        break;
    case 0xEE:
        mode = M::RasterOp_SourceOrDestination;
        break;
    case 0x66:
        mode = M::RasterOp_SourceXorDestination;
        break;
    case 0x33:
        mode = M::RasterOp_NotSource;
        break;
    case 0x44:
        mode = M::RasterOp_SourceAndNotDestination;
        break;
    case 0x11:
        mode = M::RasterOp_NotSourceAndNotDestination;
        break;
    case 0xBB:
        mode = M::RasterOp_NotSourceOrDestination;
        break;
    default:
        break; // copy, and the mixes with the brush drawn as a copy
    }
    // The part of the source inside the picture, filled as a texture over where it lands: the raster
    // engine's own stretched blits fail on far-off or extreme placements a texture fill clips cleanly.
    const QRect inside = source.normalized().toAlignedRect().intersected(image.rect());
    if (inside.isEmpty())
        return;
    const QTransform place =
        QTransform::fromTranslate(inside.left() - source.left(), inside.top() - source.top()) *
        QTransform::fromScale(dest.width() / source.width(), dest.height() / source.height()) *
        QTransform::fromTranslate(dest.left(), dest.top()) * t;
    if (!Finite(place) || !place.isInvertible())
        return;
    QPainterPath covered;
    covered.addRect(QRectF(0, 0, inside.width(), inside.height()));
    QBrush texture(image.copy(inside));
    texture.setTransform(place);
    FillDevice(place.map(covered), texture, mode);
}

void TGdiPlayer::SetPixel(QPointF p, uint32_t colorRef) {
    const QTransform t = Full();
    if (!Finite(t) || inPath_)
        return;
    const QPointF d = t.map(p);
    QPainterPath dot;
    dot.addRect(QRectF(std::round(d.x()), std::round(d.y()), 1, 1));
    FillDevice(dot, QBrush(ColorFromRef(colorRef)), QPainter::CompositionMode_SourceOver);
}

void TGdiPlayer::GradientRect(const TVertex &a, const TVertex &b, bool vertical) {
    const QTransform t = Full();
    if (!Finite(t) || inPath_)
        return;
    QPainterPath area;
    area.addRect(QRectF(a.Point, b.Point).normalized());
    QLinearGradient g(t.map(a.Point), t.map(vertical ? QPointF(a.Point.x(), b.Point.y())
                                                     : QPointF(b.Point.x(), a.Point.y())));
    g.setColorAt(0, a.Color);
    g.setColorAt(1, b.Color);
    FillDevice(t.map(area), QBrush(g), QPainter::CompositionMode_SourceOver);
}

// Each pixel takes the colours of the corners weighted by where its centre lies in the triangle.
void TGdiPlayer::GradientTriangle(const TVertex &a, const TVertex &b, const TVertex &c) {
    const QTransform t = Full();
    if (!Finite(t) || inPath_)
        return;
    const QPointF p[] = {t.map(a.Point), t.map(b.Point), t.map(c.Point)};
    const QColor col[] = {a.Color, b.Color, c.Color};
    QRectF box = QPolygonF({p[0], p[1], p[2]}).boundingRect();
    if (const QPaintDevice *d = painter_.device())
        box = box.intersected(QRectF(0, 0, d->width(), d->height()));
    const QRect pixels = box.toAlignedRect();
    const double area =
        (p[1].x() - p[0].x()) * (p[2].y() - p[0].y()) - (p[2].x() - p[0].x()) * (p[1].y() - p[0].y());
    if (pixels.isEmpty() || area == 0 || pixels.width() > 16384 || pixels.height() > 16384)
        return;
    QImage shade(pixels.size(), QImage::Format_ARGB32);
    shade.fill(Qt::transparent);
    for (int y = 0; y < pixels.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(shade.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const QPointF q(pixels.left() + x + 0.5, pixels.top() + y + 0.5);
            double w[3];
            for (int k = 0; k < 3; ++k) {
                const QPointF &u = p[(k + 1) % 3], &v = p[(k + 2) % 3];
                w[k] = ((v.x() - u.x()) * (q.y() - u.y()) - (q.x() - u.x()) * (v.y() - u.y())) / area;
            }
            if (w[0] < 0 || w[1] < 0 || w[2] < 0)
                continue;
            const auto mix = [&](int (QColor::*channel)() const) {
                return std::clamp(
                    static_cast<int>(std::lround(w[0] * (col[0].*channel)() + w[1] * (col[1].*channel)() +
                                                 w[2] * (col[2].*channel)())),
                    0, 255);
            };
            row[x] = qRgb(mix(&QColor::red), mix(&QColor::green), mix(&QColor::blue));
        }
    }
    painter_.save();
    ApplyClip();
    painter_.drawImage(pixels.topLeft(), shade);
    painter_.restore();
}

QPainterPath TGdiPlayer::RegionPath(const std::vector<QRectF> &deviceRects) const {
    QPainterPath region;
    for (const QRectF &r : deviceRects)
        region.addRect(r.normalized());
    region.setFillRule(Qt::WindingFill);
    return frame_.map(region).simplified();
}

TGdiBrush TGdiPlayer::BrushObject(uint32_t index) {
    const TState kept = state_;
    state_.Brush = TGdiBrush{BS_NULL, Qt::white, 0, QImage(), false};
    SelectObject(index);
    const TGdiBrush brush = state_.Brush;
    state_ = kept;
    return brush;
}

void TGdiPlayer::FillRegion(const std::vector<QRectF> &deviceRects, uint32_t brushIndex) {
    if (inPath_)
        return;
    FillDevice(RegionPath(deviceRects), BrushOf(BrushObject(brushIndex)),
               QPainter::CompositionMode_SourceOver);
}

// The frame is the part of the region that a shift by the stroke size in any of the four directions
// moves out of it.
void TGdiPlayer::FrameRegion(const std::vector<QRectF> &deviceRects, uint32_t brushIndex, QSizeF stroke) {
    const QTransform t = Full();
    if (inPath_ || !Finite(t))
        return;
    const double w = std::min(std::abs(stroke.width() * std::hypot(t.m11(), t.m12())), 1e6);
    const double h = std::min(std::abs(stroke.height() * std::hypot(t.m21(), t.m22())), 1e6);
    const QPainterPath region = RegionPath(deviceRects);
    QPainterPath inner = region;
    for (const QPointF shift : {QPointF(w, 0), QPointF(-w, 0), QPointF(0, h), QPointF(0, -h)})
        inner = inner.intersected(region.translated(shift));
    FillDevice(region.subtracted(inner), BrushOf(BrushObject(brushIndex)),
               QPainter::CompositionMode_SourceOver);
}

void TGdiPlayer::PaintRegion(const std::vector<QRectF> &deviceRects) {
    if (!inPath_)
        FillDevice(RegionPath(deviceRects), MakeBrush(), QPainter::CompositionMode_SourceOver);
}

void TGdiPlayer::InvertRegion(const std::vector<QRectF> &deviceRects) {
    if (!inPath_)
        FillDevice(RegionPath(deviceRects), QBrush(Qt::black), QPainter::RasterOp_NotDestination);
}

void TGdiPlayer::OffsetClip(QPointF logical) {
    const QTransform t = Full();
    if (!state_.HasClip || !Finite(t))
        return;
    state_.Clip.translate(t.map(logical) - t.map(QPointF(0, 0)));
}
