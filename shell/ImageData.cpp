#include "shell/ImageData.h"

#include "model/ItemTypes.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <array>
#include <cmath>
#include <functional>

namespace {

// A polygon from its points (a bare brace list of two points would also read as a rectangle).
QPolygonF Pts(std::initializer_list<QPointF> points) {
    return QPolygonF(QList<QPointF>(points));
}

QPointer<TImageDataModule> &Instance() {
    static QPointer<TImageDataModule> module;
    return module;
}

using TDraw = std::function<void(QPainter &)>;

QPixmap Picture(int size, const TDraw &draw) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pm;
}

const QColor Ink(40, 40, 40);
const QColor Blue(30, 90, 200);
const QColor Red(210, 40, 40);
const QColor Green(40, 150, 60);

void Pen(QPainter &p, const QColor &c, double w = 1.6) {
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
}

// A filled arrow head at tip pointing along angle (radians, screen y downwards).
void ArrowHead(QPainter &p, QPointF tip, double angle, double len, const QColor &c) {
    const QPointF a = tip - QPointF(std::cos(angle - 0.5) * len, std::sin(angle - 0.5) * len);
    const QPointF b = tip - QPointF(std::cos(angle + 0.5) * len, std::sin(angle + 0.5) * len);
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPolygon(Pts({tip, a, b}));
}

// A straight arrow across the 24-pixel box; dx, dy give its direction.
void Arrow(QPainter &p, int dx, int dy) {
    const QPointF c(12, 12);
    const QPointF tip = c + QPointF(dx * 9, dy * 9);
    Pen(p, Blue, 3);
    p.drawLine(c - QPointF(dx * 8, dy * 8), tip - QPointF(dx * 3, dy * 3));
    ArrowHead(p, tip, std::atan2(dy, dx), 8, Blue);
}

// A three-quarter circle with an arrow head, clockwise or not.
void TurnArrow(QPainter &p, QRectF box, bool clockwise, const QColor &c = Blue) {
    Pen(p, c, 2.2);
    p.drawArc(box, 45 * 16, clockwise ? -270 * 16 : 270 * 16);
    const QPointF centre = box.center();
    const double r = box.width() / 2;
    const double end = (clockwise ? 45.0 + 270.0 : 45.0 - 270.0) * M_PI / 180.0; // screen angle of the end
    const QPointF tip = centre + QPointF(std::cos(end) * r, -std::sin(end) * r);
    const double dir = clockwise ? -end - M_PI / 2 : -end + M_PI / 2; // tangent in screen coordinates
    ArrowHead(p, tip + QPointF(std::cos(dir), std::sin(dir)) * 2, dir, 6, c);
}

void Magnifier(QPainter &p, QChar sign) {
    Pen(p, Ink, 2);
    p.drawEllipse(QRectF(3, 3, 13, 13));
    Pen(p, Ink, 3.5);
    p.drawLine(QPointF(15, 15), QPointF(21, 21));
    Pen(p, Blue, 2);
    if (sign == u'+' || sign == u'-')
        p.drawLine(QPointF(6.5, 9.5), QPointF(12.5, 9.5));
    if (sign == u'+')
        p.drawLine(QPointF(9.5, 6.5), QPointF(9.5, 12.5));
}

void Corners(QPainter &p) {
    Pen(p, Blue, 2);
    for (const auto &[x, y, sx, sy] : std::array<std::array<int, 4>, 4>{
             {{3, 3, 1, 1}, {21, 3, -1, 1}, {3, 21, 1, -1}, {21, 21, -1, -1}}}) {
        p.drawLine(QPointF(x, y), QPointF(x + 6 * sx, y));
        p.drawLine(QPointF(x, y), QPointF(x, y + 6 * sy));
    }
    p.setBrush(QColor(120, 160, 230));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(8, 8, 8, 8));
}

void Hand(QPainter &p, double x0 = 4, double y0 = 3, double s = 1) {
    QPainterPath path;
    path.addRoundedRect(QRectF(x0 + 3 * s, y0 + 8 * s, 11 * s, 10 * s), 3 * s, 3 * s);
    for (int i = 0; i < 4; ++i)
        path.addRoundedRect(
            QRectF(x0 + (3 + i * 2.8) * s, y0 + (2 + (i == 0 || i == 3 ? 2 : 0)) * s, 2.6 * s, 9 * s),
            1.3 * s, 1.3 * s);
    path.addRoundedRect(QRectF(x0, y0 + 9 * s, 5 * s, 2.6 * s), 1.3 * s, 1.3 * s);
    p.setPen(QPen(Ink, 1));
    p.setBrush(QColor(250, 220, 180));
    p.drawPath(path.simplified());
}

void Page(QPainter &p) {
    QPolygonF page({{5, 2}, {15, 2}, {20, 7}, {20, 22}, {5, 22}});
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(Qt::white);
    p.drawPolygon(page);
    p.drawPolyline(Pts({{15, 2}, {15, 7}, {20, 7}}));
}

void Disk(QPainter &p, QPointF at, double s = 1) {
    p.setPen(QPen(Ink, 1));
    p.setBrush(QColor(60, 100, 180));
    p.drawRoundedRect(QRectF(at.x(), at.y(), 16 * s, 16 * s), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(at.x() + 3 * s, at.y() + 1 * s, 10 * s, 6 * s));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(at.x() + 4 * s, at.y() + 10 * s, 8 * s, 6 * s));
}

// The small pointer of the choosing actions, at the bottom right.
void Pointer(QPainter &p, QPointF at) {
    QPolygonF arrow({{0, 0}, {0, 10}, {2.5, 7.5}, {4.5, 11}, {6, 10.2}, {4, 7}, {7, 7}});
    arrow.translate(at);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(arrow);
}

const QPolygonF Zigzag({{3, 18}, {9, 7}, {15, 14}, {21, 4}});

void Vertices(QPainter &p, const QPolygonF &line, int highlight, const QColor &mark = Red) {
    Pen(p, Ink, 1.6);
    p.drawPolyline(line);
    for (int i = 0; i < line.size(); ++i) {
        p.setPen(QPen(Ink, 1));
        p.setBrush(i == highlight ? mark : QColor(Qt::white));
        p.drawRect(QRectF(line[i].x() - 2.5, line[i].y() - 2.5, 5, 5));
    }
}

void Plus(QPainter &p, QPointF c, const QColor &col = Green) {
    Pen(p, col, 2.4);
    p.drawLine(c - QPointF(4, 0), c + QPointF(4, 0));
    p.drawLine(c - QPointF(0, 4), c + QPointF(0, 4));
}

void Cross(QPainter &p, QPointF c, const QColor &col = Red) {
    Pen(p, col, 2.4);
    p.drawLine(c - QPointF(3.5, 3.5), c + QPointF(3.5, 3.5));
    p.drawLine(c - QPointF(3.5, -3.5), c + QPointF(3.5, -3.5));
}

void FourWay(QPainter &p, QPointF c, double r, const QColor &col = Blue) {
    Pen(p, col, 1.6);
    p.drawLine(c - QPointF(r, 0), c + QPointF(r, 0));
    p.drawLine(c - QPointF(0, r), c + QPointF(0, r));
    for (int i = 0; i < 4; ++i) {
        const double a = i * M_PI / 2;
        ArrowHead(p, c + QPointF(std::cos(a) * r, std::sin(a) * r), a, 4, col);
    }
}

void Area(QPainter &p, const QColor &fill) {
    p.setPen(QPen(Ink, 1.2));
    p.setBrush(fill);
    p.drawPolygon(Pts({{3, 16}, {5, 4}, {14, 2}, {19, 9}, {12, 17}}));
}

struct TActionPicture {
    const char *Name;
    const char *Theme; // desktop theme icon name, or nullptr
    TDraw Draw;
};

const std::vector<TActionPicture> &ActionPictures() {
    static const std::vector<TActionPicture> table = {
        // Files and streets.
        {"NewStreet", "document-new",
         [](QPainter &p) {
             Page(p);
             Plus(p, {17, 17});
         }},
        {"OpenStreet", "document-open",
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1.2));
             p.setBrush(QColor(240, 200, 90));
             p.drawPolygon(Pts({{2, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 20}, {2, 20}}));
             p.setBrush(QColor(250, 225, 130));
             p.drawPolygon(Pts({{5, 11}, {23, 11}, {20, 20}, {2, 20}}));
         }},
        {"SaveStreet", "document-save",
         [](QPainter &p) {
             Disk(p, {4, 4});
         }},
        {"SaveAll", "document-save-all",
         [](QPainter &p) {
             Disk(p, {1, 1}, 0.8);
             Disk(p, {8, 8}, 0.9);
         }},
        {"SaveAs", "document-save-as",
         [](QPainter &p) {
             Disk(p, {2, 2}, 0.9);
             Pen(p, Red, 2.2);
             p.drawLine(QPointF(13, 21), QPointF(21, 13));
         }},
        {"Groups", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             for (int i = 0; i < 3; ++i) {
                 p.setBrush(QColor::fromHsv(40 + i * 90, 120, 240));
                 p.drawRect(QRectF(3 + i * 3, 3 + i * 6, 14, 6));
             }
         }},
        {"ShowPlan", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(QColor(220, 235, 220));
             p.drawRect(QRectF(2, 3, 20, 18));
             Pen(p, QColor(120, 120, 120), 4);
             p.drawLine(QPointF(2, 14), QPointF(22, 10));
             Pen(p, Qt::white, 1);
             p.drawLine(QPointF(3, 14), QPointF(21, 10.5));
         }},
        {"ShowVideo", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(QColor(60, 60, 60));
             p.drawRoundedRect(QRectF(2, 6, 15, 12), 2, 2);
             p.drawPolygon(Pts({{17, 10}, {22, 7}, {22, 17}, {17, 14}}));
             p.setBrush(QColor(120, 180, 255));
             p.drawEllipse(QRectF(5, 8.5, 7, 7));
         }},
        {"PrintSetup", "document-print",
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(6, 2, 12, 8));
             p.setBrush(QColor(170, 170, 170));
             p.drawRoundedRect(QRectF(2, 9, 20, 9), 2, 2);
             p.setBrush(Qt::white);
             p.drawRect(QRectF(6, 15, 12, 7));
         }},
        {"Detail", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{3, 19}, {12, 5}, {21, 19}}), -1);
             Pen(p, Red, 1.2);
             p.drawEllipse(QRectF(8, 11, 8, 8));
         }},
        // View.
        {"ShowAll", "zoom-fit-best", [](QPainter &p) { Corners(p); }},
        {"ShiftLeft", nullptr, [](QPainter &p) { Arrow(p, -1, 0); }},
        {"ShiftRight", nullptr, [](QPainter &p) { Arrow(p, 1, 0); }},
        {"ShiftUp", nullptr, [](QPainter &p) { Arrow(p, 0, -1); }},
        {"ShiftDown", nullptr, [](QPainter &p) { Arrow(p, 0, 1); }},
        {"RotCW", nullptr, [](QPainter &p) { TurnArrow(p, QRectF(4, 4, 16, 16), true); }},
        {"RotCCW", nullptr, [](QPainter &p) { TurnArrow(p, QRectF(4, 4, 16, 16), false); }},
        {"ScaleUp", "zoom-in", [](QPainter &p) { Magnifier(p, u'+'); }},
        {"ScaleDown", "zoom-out", [](QPainter &p) { Magnifier(p, u'-'); }},
        {"ShiftView", nullptr, [](QPainter &p) { Hand(p); }},
        {"SelectArea", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Blue, 1.4, Qt::DashLine));
             p.drawRect(QRectF(3, 4, 15, 12));
             Magnifier(p, QChar());
         }},
        {"Zoom", nullptr,
         [](QPainter &p) {
             Magnifier(p, QChar());
             Pen(p, Blue, 1.4);
             p.drawLine(QPointF(6, 9.5), QPointF(13, 9.5));
             ArrowHead(p, {14, 9.5}, 0, 4, Blue);
             ArrowHead(p, {5, 9.5}, M_PI, 4, Blue);
         }},
        {"Rotate", nullptr,
         [](QPainter &p) {
             TurnArrow(p, QRectF(3, 3, 18, 18), true);
             Hand(p, 8, 8, 0.55);
         }},
        {"AllStreetsDraw", nullptr,
         [](QPainter &p) {
             Pen(p, QColor(150, 150, 230), 4);
             p.drawLine(QPointF(2, 7), QPointF(22, 5));
             Pen(p, QColor(90, 90, 90), 4);
             p.drawLine(QPointF(2, 17), QPointF(22, 15));
         }},
        // Choosing and items.
        {"VisibleLayers", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             const QColor colours[] = {QColor(120, 200, 120), QColor(240, 200, 90), QColor(120, 160, 230)};
             for (int i = 0; i < 3; ++i) {
                 p.setBrush(colours[i]);
                 p.drawPolygon(QPolygonF(
                     {{2, 14.0 - i * 5}, {12, 9.0 - i * 5}, {22, 14.0 - i * 5}, {12, 19.0 - i * 5}}));
             }
         }},
        {"SelectPolygon", nullptr,
         [](QPainter &p) {
             Area(p, QColor(150, 190, 240));
             Pointer(p, {13, 11});
         }},
        {"SelectLine", nullptr,
         [](QPainter &p) {
             Pen(p, Blue, 2.2);
             p.drawPolyline(Pts({{2, 16}, {8, 5}, {14, 12}, {20, 3}}));
             Pointer(p, {13, 11});
         }},
        {"SelectPoint", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(Blue);
             p.drawEllipse(QRectF(4, 4, 7, 7));
             p.drawEllipse(QRectF(14, 3, 5, 5));
             Pointer(p, {13, 11});
         }},
        {"SelectAny", nullptr,
         [](QPainter &p) {
             Area(p, QColor(200, 220, 160));
             Pen(p, Blue, 2);
             p.drawLine(QPointF(4, 20), QPointF(20, 14));
             Pointer(p, {13, 11});
         }},
        {"SelectSpecial", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(QColor(250, 230, 120));
             p.drawRoundedRect(QRectF(3, 3, 12, 12), 2, 2);
             p.setPen(Ink);
             p.drawText(QRectF(3, 3, 12, 12), Qt::AlignCenter, QStringLiteral("T"));
             Pointer(p, {13, 11});
         }},
        {"SelectAll", "edit-select-all",
         [](QPainter &p) {
             p.setPen(QPen(Blue, 1.2, Qt::DashLine));
             p.drawRect(QRectF(2, 2, 20, 20));
             Area(p, QColor(150, 190, 240));
         }},
        {"FilterSelection", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1.2));
             p.setBrush(QColor(150, 190, 240));
             p.drawPolygon(Pts({{2, 3}, {22, 3}, {14, 12}, {14, 21}, {10, 19}, {10, 12}}));
         }},
        {"UniReport", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(2, 3, 20, 18));
             for (int y = 8; y < 21; y += 4)
                 p.drawLine(QPointF(2, y), QPointF(22, y));
             p.drawLine(QPointF(9, 3), QPointF(9, 21));
         }},
        {"CalcAreaView", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(QColor(150, 50, 50), 1.2));
             p.setBrush(QColor(240, 220, 220));
             p.drawPolygon(Pts({{2, 6}, {14, 2}, {22, 10}, {16, 22}, {4, 18}}));
             p.setPen(QPen(Ink, 1));
             for (int y = 9; y < 19; y += 3)
                 p.drawLine(QPointF(8, y), QPointF(16, y));
         }},
        {"ClearSelection", "edit-clear",
         [](QPainter &p) {
             Area(p, QColor(150, 190, 240));
             Cross(p, {17, 17});
         }},
        {"CreateItem", nullptr,
         [](QPainter &p) {
             Area(p, QColor(200, 230, 200));
             Plus(p, {18, 18});
         }},
        {"CopyItems", "edit-copy",
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(3, 3, 12, 14));
             p.setBrush(QColor(210, 225, 250));
             p.drawRect(QRectF(9, 7, 12, 14));
         }},
        {"CopySample", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(QColor(250, 230, 120));
             p.drawRect(QRectF(3, 3, 12, 14));
             p.setBrush(QColor(210, 225, 250));
             p.drawRect(QRectF(9, 7, 12, 14));
         }},
        {"PasteItems", "edit-paste",
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(QColor(200, 160, 100));
             p.drawRoundedRect(QRectF(3, 4, 14, 17), 2, 2);
             p.setBrush(Qt::white);
             p.drawRect(QRectF(9, 9, 12, 13));
         }},
        {"CopyAndPaste", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(Qt::white);
             p.drawRect(QRectF(3, 3, 10, 12));
             p.drawRect(QRectF(11, 9, 10, 12));
             Pen(p, Blue, 1.6);
             p.drawLine(QPointF(9, 18), QPointF(5, 18));
             ArrowHead(p, {10, 18}, 0, 4, Blue);
         }},
        {"DeleteItems", "edit-delete",
         [](QPainter &p) {
             Area(p, QColor(150, 190, 240));
             Cross(p, {12, 12});
         }},
        {"ShowSelection", nullptr,
         [](QPainter &p) {
             Pen(p, Ink, 1.2);
             p.drawEllipse(QRectF(3, 3, 18, 18));
             p.drawLine(QPointF(12, 1), QPointF(12, 23));
             p.drawLine(QPointF(1, 12), QPointF(23, 12));
             p.setBrush(Red);
             p.drawEllipse(QRectF(9, 9, 6, 6));
         }},
        {"CoordSystem", nullptr,
         [](QPainter &p) {
             Pen(p, Ink, 1.6);
             p.drawLine(QPointF(4, 20), QPointF(4, 4));
             p.drawLine(QPointF(4, 20), QPointF(20, 20));
             ArrowHead(p, {4, 2}, -M_PI / 2, 5, Ink);
             ArrowHead(p, {22, 20}, 0, 5, Ink);
         }},
        // The point editor.
        {"AddPoint", nullptr,
         [](QPainter &p) {
             Vertices(p, Zigzag, -1);
             Plus(p, {18, 17});
         }},
        {"MovePoint", nullptr,
         [](QPainter &p) {
             Vertices(p, Zigzag, 2);
             FourWay(p, {15, 14}, 6);
         }},
        {"StereoMove", nullptr,
         [](QPainter &p) {
             Vertices(p, Zigzag, 1);
             Pen(p, Red, 1.4);
             p.drawEllipse(QRectF(13, 13, 5, 5));
             p.drawEllipse(QRectF(18, 13, 5, 5));
         }},
        {"ConnectPoint", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{2, 20}, {10, 10}}), 1, Green);
             Vertices(p, Pts({{14, 10}, {22, 4}}), 0, Green);
             Pen(p, Green, 1.4);
             p.drawLine(QPointF(10, 10), QPointF(14, 10));
         }},
        {"DeletePoint", nullptr,
         [](QPainter &p) {
             Vertices(p, Zigzag, 2);
             Cross(p, {15, 19});
         }},
        {"RotateEdge", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{4, 18}, {18, 8}}), -1);
             TurnArrow(p, QRectF(11, 2, 11, 11), false, Red);
         }},
        {"MoveAll", nullptr,
         [](QPainter &p) {
             Area(p, QColor(200, 230, 200));
             FourWay(p, {12, 12}, 8);
         }},
        {"RotateAll", nullptr,
         [](QPainter &p) {
             Area(p, QColor(200, 230, 200));
             TurnArrow(p, QRectF(6, 6, 12, 12), true, Red);
         }},
        {"EdgeLen", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{3, 16}, {21, 16}}), -1);
             Pen(p, Blue, 1.2);
             p.drawLine(QPointF(5, 9), QPointF(19, 9));
             ArrowHead(p, {3, 9}, M_PI, 4, Blue);
             ArrowHead(p, {21, 9}, 0, 4, Blue);
         }},
        {"EdgeAngle", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{3, 20}, {20, 6}}), -1);
             Pen(p, Ink, 1);
             p.drawLine(QPointF(3, 20), QPointF(21, 20));
             Pen(p, Blue, 1.4);
             p.drawArc(QRectF(-7, 10, 20, 20), 0, 40 * 16);
         }},
        {"Spline", nullptr,
         [](QPainter &p) {
             QPainterPath path({3, 19});
             path.cubicTo(QPointF(6, 2), QPointF(18, 22), QPointF(21, 5));
             Pen(p, Blue, 2);
             p.drawPath(path);
         }},
        {"DropItems", nullptr,
         [](QPainter &p) {
             Pen(p, Ink, 2);
             p.drawLine(QPointF(2, 16), QPointF(9, 12));
             p.drawLine(QPointF(14, 10), QPointF(22, 6));
             Pen(p, Red, 1.4);
             p.drawLine(QPointF(9, 4), QPointF(14, 18));
         }},
        {"DropLine", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{2, 16}, {12, 11}, {22, 6}}), 1);
             Cross(p, {12, 19}, Red);
         }},
        {"LinkItems", nullptr,
         [](QPainter &p) {
             Pen(p, Ink, 2);
             p.drawLine(QPointF(2, 16), QPointF(10, 12));
             Pen(p, Blue, 2);
             p.drawLine(QPointF(14, 10), QPointF(22, 6));
             Pen(p, Green, 1.6);
             p.drawLine(QPointF(10, 12), QPointF(14, 10));
             Plus(p, {12, 19});
         }},
        {"LinkManyLines", nullptr,
         [](QPainter &p) {
             Pen(p, Ink, 2);
             p.drawPolyline(Pts({{2, 18}, {8, 12}}));
             p.drawPolyline(Pts({{10, 11}, {15, 9}}));
             p.drawPolyline(Pts({{17, 8}, {22, 3}}));
             Plus(p, {17, 18});
         }},
        {"DisconnectPoint", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{2, 20}, {9, 11}}), 1);
             Vertices(p, Pts({{15, 11}, {22, 4}}), 0);
             Cross(p, {12, 19});
         }},
        {"InvertDirection", nullptr,
         [](QPainter &p) {
             Pen(p, Blue, 1.8);
             p.drawLine(QPointF(4, 8), QPointF(18, 8));
             ArrowHead(p, {21, 8}, 0, 5, Blue);
             Pen(p, Red, 1.8);
             p.drawLine(QPointF(20, 16), QPointF(6, 16));
             ArrowHead(p, {3, 16}, M_PI, 5, Red);
         }},
        {"ArrangeAngles", nullptr,
         [](QPainter &p) {
             Vertices(p, Pts({{4, 20}, {4, 6}, {20, 6}}), 1);
             Pen(p, Blue, 1.2);
             p.drawRect(QRectF(4, 6, 5, 5));
         }},
        {"MakePolygon", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1.2));
             p.setBrush(QColor(200, 230, 200));
             p.drawPolygon(Pts({{12, 2}, {22, 9}, {18, 21}, {6, 21}, {2, 9}}));
         }},
        {"Scale", nullptr,
         [](QPainter &p) {
             p.setPen(QPen(Ink, 1));
             p.setBrush(QColor(200, 230, 200));
             p.drawRect(QRectF(2, 12, 9, 9));
             p.setBrush(Qt::NoBrush);
             p.setPen(QPen(Ink, 1, Qt::DashLine));
             p.drawRect(QRectF(2, 3, 18, 18));
             Pen(p, Blue, 1.6);
             p.drawLine(QPointF(9, 14), QPointF(17, 6));
             ArrowHead(p, {19, 4}, -M_PI / 4, 5, Blue);
         }},
    };
    return table;
}

// Item type pictures: how each type is drawn in 16 x 16.
enum class TItemShape { Area, Line, Dashed, Double, Point, Square, Sign, Text, Raster, Measure, Frame };

struct TItemPicture {
    TItemShape Shape;
    QRgb Colour;
};

const std::array<TItemPicture, ItemTypeCount> &ItemPictures() {
    static const std::array<TItemPicture, ItemTypeCount> table = {{
        {TItemShape::Raster, qRgb(170, 170, 170)}, // 0 sub-layer
        {TItemShape::Area, qRgb(170, 220, 150)},   // 1 dividing strip
        {TItemShape::Area, qRgb(150, 150, 150)},   // 2 road way
        {TItemShape::Area, qRgb(230, 200, 150)},   // 3 sidewalk
        {TItemShape::Area, qRgb(90, 180, 80)},     // 4 lawn
        {TItemShape::Area, qRgb(200, 170, 120)},   // 5 shoulder
        {TItemShape::Area, qRgb(200, 120, 100)},   // 6 house
        {TItemShape::Area, qRgb(230, 160, 230)},   // 7 design figure
        {TItemShape::Line, qRgb(60, 60, 60)},      // 8 curb
        {TItemShape::Double, qRgb(120, 90, 60)},   // 9 fence
        {TItemShape::Dashed, qRgb(40, 40, 40)},    // 10 line marking
        {TItemShape::Sign, qRgb(255, 255, 255)},   // 11 marking symbols
        {TItemShape::Area, qRgb(245, 245, 245)},   // 12 island marking
        {TItemShape::Dashed, qRgb(240, 170, 0)},   // 13 stop marking
        {TItemShape::Frame, qRgb(40, 40, 40)},     // 14 zebra
        {TItemShape::Text, qRgb(40, 40, 40)},      // 15 road text
        {TItemShape::Sign, qRgb(40, 40, 40)},      // 16 painted sign
        {TItemShape::Raster, qRgb(100, 160, 230)}, // 17 picture
        {TItemShape::Double, qRgb(200, 60, 60)},   // 18 tram line
        {TItemShape::Line, qRgb(200, 60, 200)},    // 19 design line
        {TItemShape::Square, qRgb(200, 60, 200)},  // 20 design block
        {TItemShape::Text, qRgb(30, 90, 200)},     // 21 text label
        {TItemShape::Sign, qRgb(220, 30, 30)},     // 22 road sign
        {TItemShape::Sign, qRgb(30, 90, 200)},     // 23 road sign 2
        {TItemShape::Square, qRgb(250, 250, 250)}, // 24 kilometre sign
        {TItemShape::Point, qRgb(30, 160, 30)},    // 25 reference points
        {TItemShape::Measure, qRgb(30, 90, 200)},  // 26 curve
        {TItemShape::Point, qRgb(120, 120, 120)},  // 27 manhole
        {TItemShape::Square, qRgb(120, 120, 120)}, // 28 grating
        {TItemShape::Point, qRgb(240, 180, 0)},    // 29 traffic light
        {TItemShape::Measure, qRgb(40, 40, 40)},   // 30 dimension line
        {TItemShape::Frame, qRgb(240, 170, 0)},    // 31 label place
        {TItemShape::Frame, qRgb(30, 90, 200)},    // 32 stop
        {TItemShape::Point, qRgb(150, 90, 40)},    // 33 core
        {TItemShape::Frame, qRgb(220, 30, 30)},    // 34 calculation area
        {TItemShape::Dashed, qRgb(220, 30, 30)},   // 35 axis
        {TItemShape::Frame, qRgb(60, 60, 60)},     // 36 plan sheet
        {TItemShape::Line, qRgb(230, 100, 0)},     // 37 linear defect
        {TItemShape::Area, qRgb(240, 140, 60)},    // 38 area defect
        {TItemShape::Measure, qRgb(150, 30, 150)}, // 39 radius measure
        {TItemShape::Measure, qRgb(30, 150, 150)}, // 40 slope measure
    }};
    return table;
}

QPixmap ItemPicture(int code) {
    const TItemPicture &pic = ItemPictures()[static_cast<std::size_t>(code)];
    const QColor c = QColor::fromRgb(pic.Colour);
    return Picture(16, [&](QPainter &p) {
        const QPen outline(QColor(50, 50, 50), 1);
        switch (pic.Shape) {
        case TItemShape::Area:
            p.setPen(outline);
            p.setBrush(c);
            p.drawPolygon(Pts({{1.5, 12}, {3, 3}, {10, 1.5}, {14.5, 7}, {9, 14.5}}));
            break;
        case TItemShape::Line:
            Pen(p, c, 2.2);
            p.drawPolyline(Pts({{1, 13}, {6, 5}, {10, 10}, {15, 3}}));
            break;
        case TItemShape::Dashed:
            p.setPen(QPen(c, 2, Qt::DashLine, Qt::FlatCap));
            p.drawLine(QPointF(1, 14), QPointF(15, 2));
            break;
        case TItemShape::Double:
            Pen(p, c, 1.4);
            p.drawLine(QPointF(1, 11), QPointF(15, 3));
            p.drawLine(QPointF(1, 14), QPointF(15, 6));
            for (int i = 0; i < 4; ++i)
                p.drawLine(QPointF(3 + i * 3.5, 10 - i * 2), QPointF(3 + i * 3.5, 13 - i * 2));
            break;
        case TItemShape::Point:
            p.setPen(outline);
            p.setBrush(c);
            p.drawEllipse(QRectF(3, 3, 10, 10));
            break;
        case TItemShape::Square:
            p.setPen(outline);
            p.setBrush(c);
            p.drawRect(QRectF(3, 3, 10, 10));
            break;
        case TItemShape::Sign:
            p.setPen(QPen(c == QColor(Qt::white) ? QColor(50, 50, 50) : c, 2));
            p.setBrush(Qt::white);
            p.drawEllipse(QRectF(2, 2, 12, 12));
            break;
        case TItemShape::Text: {
            QFont f = p.font();
            f.setPixelSize(13);
            f.setBold(true);
            p.setFont(f);
            p.setPen(c);
            p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, QStringLiteral("A"));
            break;
        }
        case TItemShape::Raster:
            p.setPen(outline);
            p.setBrush(c);
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.setBrush(QColor(90, 160, 80));
            p.drawPolygon(Pts({{2, 13}, {6, 7}, {9, 11}, {11, 9}, {14, 13}}));
            break;
        case TItemShape::Measure:
            Pen(p, c, 1.4);
            p.drawLine(QPointF(2, 12), QPointF(14, 4));
            p.drawLine(QPointF(1, 10), QPointF(3, 14));
            p.drawLine(QPointF(13, 2), QPointF(15, 6));
            break;
        case TItemShape::Frame:
            p.setPen(QPen(c, 1.6));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRectF(2, 3, 12, 10));
            if (code == 14)
                for (int x = 4; x < 14; x += 3)
                    p.fillRect(QRectF(x, 4, 1.5, 8), c);
            break;
        }
    });
}

} // namespace

QPixmap TImageList::Image(int index) const {
    if (index < 0 || index >= Count())
        return {};
    return images_[static_cast<std::size_t>(index)];
}

QIcon TImageList::Icon(int index) const {
    const QPixmap pm = Image(index);
    return pm.isNull() ? QIcon() : QIcon(pm);
}

TImageDataModule::TImageDataModule(QObject *parent) : TQk2RootDatamodule(parent) {
    setObjectName(QStringLiteral("ImageDataModule"));
    for (const TActionPicture &pic : ActionPictures())
        Img24x24.Add(Picture(24, pic.Draw));
    for (int code = 0; code < ItemTypeCount; ++code)
        ItemsImageList.Add(ItemPicture(code));
    // The info line that edits its value on a click: a small pencil.
    InfoImageList.Add(Picture(16, [](QPainter &p) {
        p.setPen(QPen(Ink, 1));
        p.setBrush(QColor(250, 200, 60));
        p.drawPolygon(Pts({{3, 11}, {11, 3}, {13, 5}, {5, 13}}));
        p.setBrush(Ink);
        p.drawPolygon(Pts({{3, 11}, {5, 13}, {2, 14}}));
    }));
    if (!Instance())
        Instance() = this;
}

const std::vector<QString> &TImageDataModule::ActionImageNames() {
    static const std::vector<QString> names = [] {
        std::vector<QString> v;
        for (const TActionPicture &pic : ActionPictures())
            v.push_back(QString::fromLatin1(pic.Name));
        return v;
    }();
    return names;
}

int TImageDataModule::ActionImageIndex(const QString &actionName) {
    const auto &names = ActionImageNames();
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == actionName)
            return static_cast<int>(i);
    return -1;
}

QIcon TImageDataModule::ActionIcon(const QString &actionName, const QString &fallbackText) const {
    const int index = ActionImageIndex(actionName);
    if (index < 0)
        return QIcon(TextBadge(fallbackText.isEmpty() ? actionName : fallbackText));
    const QIcon ours = Img24x24.Icon(index);
    const char *theme = ActionPictures()[static_cast<std::size_t>(index)].Theme;
    return theme != nullptr ? QIcon::fromTheme(QString::fromLatin1(theme), ours) : ours;
}

QPixmap TImageDataModule::TextBadge(const QString &text) {
    const QString letters = text.simplified().left(3);
    return Picture(24, [&](QPainter &p) {
        p.setPen(QPen(QColor(60, 90, 140), 1));
        p.setBrush(QColor(225, 235, 250));
        p.drawRoundedRect(QRectF(1.5, 3.5, 21, 17), 3, 3);
        QFont f = p.font();
        f.setPixelSize(letters.size() > 2 ? 8 : 10);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(30, 50, 100));
        p.drawText(QRectF(1, 3, 22, 18), Qt::AlignCenter, letters);
    });
}

TImageDataModule &ImageData() {
    if (!Instance())
        Instance() = new TImageDataModule(QCoreApplication::instance());
    return *Instance();
}
