#pragma once
// The sign descriptions of data/signs/signs.tsv turned into drawing calls on a canvas: the generator's
// canvas writes metafile records, and the sign benchmark's paints the same calls with QPainter (the floor
// the rendered library is measured against). Coordinates are millimetres from the top-left corner of the
// sign's box, y down.
#include <cstdint>
#include <string>
#include <vector>

namespace datagen {

struct TSignRgb {
    uint8_t r, g, b;
};

struct TSignPt {
    double x, y;
};

class TSignCanvas {
public:
    virtual ~TSignCanvas() = default;
    virtual void Polygon(const std::vector<TSignPt> &points, TSignRgb c) = 0;
    virtual void Rect(double x0, double y0, double x1, double y1, TSignRgb c) = 0;
    virtual void Circle(double cx, double cy, double r, TSignRgb c) = 0;
    virtual void Ring(double cx, double cy, double r, double w, TSignRgb c) = 0;
    // A polyline of width w, flat ends, mitred joins.
    virtual void Bar(const std::vector<TSignPt> &points, double w, TSignRgb c) = 0;
    // Bold "Arial" of height h centred on (cx, cy); UTF-8.
    virtual void Text(double cx, double cy, double h, const std::string &utf8, TSignRgb c) = 0;
    // A bar ending in an arrow head (drawn as a bar and a triangle).
    void Arrow(std::vector<TSignPt> points, double w, TSignRgb c);
};

struct TSignShape {
    double w = 0, h = 0; // the box, mm
    double area = 0;     // m^2
};

// The box and area of a shape ("circle", "triangle", ...) of a nominal size ("700", "700x350").
TSignShape SignShapeOf(const std::string &shape, const std::string &size);
// A colour name or "r,g,b"; pure magenta is refused.
TSignRgb SignColour(const std::string &text);
// Draws the sign: the rim and fill of the shape, then the elements. Mistakes throw std::invalid_argument.
void DrawSignDescription(TSignCanvas &canvas, const std::string &shape, const TSignShape &box,
                         const std::string &border, const std::string &fill, const std::string &elements);

// Metafile units of a sign's picture a metre of its nominal size.
constexpr double SignUnitsPerMetre = 150;

} // namespace datagen
