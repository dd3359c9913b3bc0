#include "shell/Cursors.h"

#include <QCoreApplication>
#include <QHash>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace {

// A polygon from its points (a bare brace list of two points would also read as a rectangle).
QPolygonF Pts(std::initializer_list<QPointF> points) {
    return QPolygonF(QList<QPointF>(points));
}

QHash<int, QCursor> &CursorTable() {
    static QHash<int, QCursor> table;
    return table;
}

QPointer<TCursorsDataModule> &Instance() {
    static QPointer<TCursorsDataModule> module;
    return module;
}

// What each cursor shows beside its pointer (cursor numbers 10 to 44, in order). Numbers no mode uses
// show the pointer alone.
enum class TGlyph {
    None,
    Hand,
    MovePoint,
    DeletePoint,
    AddPoint,
    ConnectPoint,
    ChooseType,
    ChooseLines,
    ChoosePoints,
    ChooseAreas,
    MoveItem,
    RotateEdge,
    RotateItem,
    AxisZero,
    MovePlate,
    Cut,
    Zoom,
    Rectangle,
    RotateView,
    Perpendicular,
    AxisOrContour,
    Car,
    VerticalSize,
    Layers,
    MoveCorrection,
    RotateCorrection,
    ScaleCorrection
};

constexpr TGlyph Glyphs[CursorCount] = {
    TGlyph::Hand,             // 10 shifting the view
    TGlyph::MovePoint,        // 11
    TGlyph::DeletePoint,      // 12
    TGlyph::AddPoint,         // 13
    TGlyph::ConnectPoint,     // 14
    TGlyph::ChooseType,       // 15
    TGlyph::ChooseLines,      // 16
    TGlyph::ChoosePoints,     // 17
    TGlyph::ChooseAreas,      // 18
    TGlyph::None,             // 19
    TGlyph::MoveItem,         // 20
    TGlyph::None,             // 21
    TGlyph::None,             // 22
    TGlyph::None,             // 23
    TGlyph::RotateEdge,       // 24
    TGlyph::RotateItem,       // 25
    TGlyph::None,             // 26
    TGlyph::AxisZero,         // 27
    TGlyph::MovePlate,        // 28
    TGlyph::Cut,              // 29
    TGlyph::None,             // 30
    TGlyph::Zoom,             // 31
    TGlyph::Rectangle,        // 32
    TGlyph::RotateView,       // 33
    TGlyph::Perpendicular,    // 34
    TGlyph::AxisOrContour,    // 35
    TGlyph::Car,              // 36
    TGlyph::VerticalSize,     // 37
    TGlyph::None,             // 38
    TGlyph::Layers,           // 39
    TGlyph::None,             // 40
    TGlyph::MoveCorrection,   // 41
    TGlyph::RotateCorrection, // 42
    TGlyph::ScaleCorrection,  // 43
    TGlyph::None,             // 44
};

const QColor Black(0, 0, 0);
const QColor Light(236, 236, 236); // the pointer's fill: white is the see-through colour
const QColor Blue(20, 70, 200);
const QColor Red(200, 20, 20);
const QColor Green(20, 140, 40);

void Line(QPainter &p, double x1, double y1, double x2, double y2, const QColor &c = Black, double w = 1) {
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::SquareCap));
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void Box(QPainter &p, double x, double y, double s, const QColor &fill) {
    p.setPen(QPen(Black, 1));
    p.setBrush(fill);
    p.drawRect(QRectF(x, y, s, s));
}

void Head(QPainter &p, double x, double y, double angle, const QColor &c) {
    const double len = 4;
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(Pts({{x, y},
                       {x - std::cos(angle - 0.6) * len, y - std::sin(angle - 0.6) * len},
                       {x - std::cos(angle + 0.6) * len, y - std::sin(angle + 0.6) * len}}));
}

void Arrows4(QPainter &p, double cx, double cy, double r, const QColor &c) {
    Line(p, cx - r, cy, cx + r, cy, c);
    Line(p, cx, cy - r, cx, cy + r, c);
    for (int i = 0; i < 4; ++i) {
        const double a = i * M_PI / 2;
        Head(p, cx + std::cos(a) * (r + 1), cy + std::sin(a) * (r + 1), a, c);
    }
}

void Turn(QPainter &p, double cx, double cy, double r, const QColor &c) {
    p.setPen(QPen(c, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(cx - r, cy - r, 2 * r, 2 * r), 90 * 16, -270 * 16);
    Head(p, cx - r, cy - 1, -M_PI / 2, c);
}

void DrawGlyph(QPainter &p, TGlyph g) {
    switch (g) {
    case TGlyph::None:
        break;
    case TGlyph::Hand:
        p.setPen(QPen(Black, 1));
        p.setBrush(QColor(250, 215, 170));
        p.drawRoundedRect(QRectF(16, 20, 11, 9), 3, 3);
        for (int i = 0; i < 4; ++i)
            p.drawRoundedRect(QRectF(16 + i * 2.8, 14 + (i == 0 || i == 3 ? 2 : 0), 2.6, 9), 1, 1);
        break;
    case TGlyph::MovePoint:
        Box(p, 20, 20, 5, Red);
        Arrows4(p, 22.5, 22.5, 7, Blue);
        break;
    case TGlyph::DeletePoint:
        Box(p, 16, 18, 5, Red);
        Line(p, 22, 22, 29, 29, Red, 2);
        Line(p, 29, 22, 22, 29, Red, 2);
        break;
    case TGlyph::AddPoint:
        Box(p, 16, 18, 5, Light);
        Line(p, 21, 25.5, 30, 25.5, Green, 2);
        Line(p, 25.5, 21, 25.5, 30, Green, 2);
        break;
    case TGlyph::ConnectPoint:
        Box(p, 14, 24, 5, Green);
        Box(p, 25, 16, 5, Green);
        Line(p, 19, 25, 25, 20, Green, 1.5);
        break;
    case TGlyph::ChooseType:
        Box(p, 17, 17, 12, QColor(250, 225, 110));
        p.setPen(Black);
        p.drawText(QRectF(17, 17, 12, 12), Qt::AlignCenter, QStringLiteral("T"));
        break;
    case TGlyph::ChooseLines:
        p.setPen(QPen(Blue, 2));
        p.drawPolyline(Pts({{14, 29}, {19, 19}, {24, 26}, {30, 16}}));
        break;
    case TGlyph::ChoosePoints:
        p.setPen(QPen(Black, 1));
        p.setBrush(Blue);
        p.drawEllipse(QRectF(16, 21, 6, 6));
        p.drawEllipse(QRectF(24, 15, 5, 5));
        break;
    case TGlyph::ChooseAreas:
        p.setPen(QPen(Black, 1));
        p.setBrush(QColor(140, 180, 240));
        p.drawPolygon(Pts({{14, 28}, {16, 18}, {25, 15}, {30, 22}, {24, 30}}));
        break;
    case TGlyph::MoveItem:
        p.setPen(QPen(Black, 1));
        p.setBrush(QColor(170, 220, 170));
        p.drawRect(QRectF(15, 17, 10, 9));
        Arrows4(p, 22, 22, 7, Blue);
        break;
    case TGlyph::RotateEdge:
        Line(p, 14, 29, 28, 19, Black, 1.5);
        Turn(p, 24, 22, 5, Red);
        break;
    case TGlyph::RotateItem:
        p.setPen(QPen(Black, 1));
        p.setBrush(QColor(170, 220, 170));
        p.drawRect(QRectF(15, 17, 10, 9));
        Turn(p, 23, 22, 6, Red);
        break;
    case TGlyph::AxisZero:
        Line(p, 13, 24, 31, 24, Red, 1.5);
        Line(p, 20, 18, 20, 30, Black, 1.5);
        p.setPen(Black);
        p.drawText(QRectF(22, 13, 10, 10), Qt::AlignCenter, QStringLiteral("0"));
        break;
    case TGlyph::MovePlate:
        p.setPen(QPen(Black, 1));
        p.setBrush(QColor(70, 120, 220));
        p.drawRect(QRectF(16, 16, 11, 8));
        Line(p, 21.5, 24, 21.5, 31, Black, 1.5);
        break;
    case TGlyph::Cut:
        p.setPen(QPen(Black, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(14, 24, 6, 6));
        p.drawEllipse(QRectF(24, 24, 6, 6));
        Line(p, 19, 25, 28, 14, Black, 1.5);
        Line(p, 25, 25, 16, 14, Black, 1.5);
        break;
    case TGlyph::Zoom:
        p.setPen(QPen(Black, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(14, 14, 10, 10));
        Line(p, 23, 23, 30, 30, Black, 2.5);
        Line(p, 16.5, 19, 21.5, 19, Blue, 1.5);
        Line(p, 19, 16.5, 19, 21.5, Blue, 1.5);
        break;
    case TGlyph::Rectangle:
        p.setPen(QPen(Blue, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(13, 15, 17, 13));
        break;
    case TGlyph::RotateView:
        Turn(p, 22, 22, 7, Blue);
        break;
    case TGlyph::Perpendicular:
        Line(p, 13, 29, 31, 29, Black, 1.5);
        Line(p, 22, 29, 22, 14, Red, 1.5);
        p.setPen(QPen(Black, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(22, 25, 4, 4));
        break;
    case TGlyph::AxisOrContour:
        p.setPen(QPen(Red, 1.5, Qt::DashLine));
        p.drawLine(QPointF(13, 28), QPointF(31, 16));
        break;
    case TGlyph::Car:
        p.setPen(QPen(Black, 1));
        p.setBrush(QColor(220, 60, 60));
        p.drawRoundedRect(QRectF(13, 20, 18, 6), 2, 2);
        p.drawRect(QRectF(17, 16, 9, 5));
        p.setBrush(Black);
        p.drawEllipse(QRectF(15, 25, 4, 4));
        p.drawEllipse(QRectF(25, 25, 4, 4));
        break;
    case TGlyph::VerticalSize:
        Line(p, 22, 15, 22, 30, Blue, 1.5);
        Head(p, 22, 13, -M_PI / 2, Blue);
        Head(p, 22, 31, M_PI / 2, Blue);
        Line(p, 17, 13, 27, 13);
        Line(p, 17, 31, 27, 31);
        break;
    case TGlyph::Layers:
        p.setPen(QPen(Black, 1));
        for (int i = 0; i < 3; ++i) {
            p.setBrush(QColor::fromHsv(40 + 90 * i, 140, 240));
            p.drawPolygon(
                Pts({{13, 27.0 - 4 * i}, {21, 23.0 - 4 * i}, {30, 27.0 - 4 * i}, {21, 31.0 - 4 * i}}));
        }
        break;
    case TGlyph::MoveCorrection:
        Arrows4(p, 22, 22, 8, Red);
        break;
    case TGlyph::RotateCorrection:
        Turn(p, 22, 22, 7, Red);
        break;
    case TGlyph::ScaleCorrection:
        p.setPen(QPen(Red, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(14, 14, 16, 16));
        p.drawRect(QRectF(14, 22, 8, 8));
        Line(p, 21, 23, 28, 16, Red, 1.5);
        break;
    }
}

QPixmap CursorPicture(TGlyph glyph) {
    QPixmap pm(32, 32);
    pm.fill(Qt::white);
    QPainter p(&pm);
    // Crisp pixels: a blended edge would make colours near the see-through white that stay visible.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    QFont f = p.font();
    f.setPixelSize(10);
    f.setBold(true);
    p.setFont(f);
    // The pointer, its tip on the top-left pixel (the active point).
    p.setPen(QPen(Black, 1));
    p.setBrush(Light);
    p.drawPolygon(Pts({{0, 0}, {0, 15}, {4, 11}, {7, 17}, {9, 16}, {6, 10}, {11, 10}}));
    DrawGlyph(p, glyph);
    return pm;
}

} // namespace

TCursorsDataModule::TCursorsDataModule(QObject *parent) : TQk2RootDatamodule(parent) {
    setObjectName(QStringLiteral("CursorsDataModule"));
    for (int i = 0; i < CursorCount; ++i)
        ImageList.Add(CursorPicture(Glyphs[i]));
    for (int i = 0; i < ImageList.Count(); ++i)
        CursorTable().insert(FirstCursorNumber + i,
                             QCursor(QPixmap::fromImage(CursorImage(ImageList.Image(i))), 0, 0));
    if (!Instance())
        Instance() = this;
}

TCursorsDataModule::~TCursorsDataModule() {
    // The cursors go with the module that made them, before the application object goes.
    if (Instance() == this || Instance().isNull())
        CursorTable().clear();
}

QImage TCursorsDataModule::CursorImage(const QPixmap &picture) {
    QImage img = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    if (img.isNull())
        return img;
    const QRgb key = img.pixel(0, img.height() - 1);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return img;
}

QCursor ScreenCursor(int number) {
    const auto it = CursorTable().constFind(number);
    return it == CursorTable().constEnd() ? QCursor(Qt::ArrowCursor) : *it;
}

TCursorsDataModule &CursorsData() {
    if (!Instance())
        Instance() = new TCursorsDataModule(QCoreApplication::instance());
    return *Instance();
}
