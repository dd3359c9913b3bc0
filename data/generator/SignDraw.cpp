#include "SignDraw.h"

#include "Tables.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace datagen {

namespace {

constexpr double Pi = 3.14159265358979323846;

const std::map<std::string, TSignRgb> &NamedColours() {
    static const std::map<std::string, TSignRgb> colours = {
        {"white", {255, 255, 255}}, {"black", {20, 20, 20}},    {"red", {205, 30, 35}},
        {"blue", {20, 80, 170}},    {"yellow", {250, 200, 0}},  {"green", {20, 130, 60}},
        {"grey", {170, 170, 170}},  {"darkgrey", {80, 80, 80}}, {"orange", {240, 130, 20}},
        {"brown", {120, 70, 30}},
    };
    return colours;
}

std::vector<double> Numbers(const std::string &text, char sep) {
    std::vector<double> v;
    for (const std::string &part : Split(text, sep)) {
        std::size_t n = 0;
        const double d = std::stod(part, &n);
        if (n != part.size() || !std::isfinite(d))
            throw std::invalid_argument("bad number \"" + part + "\"");
        v.push_back(d);
    }
    return v;
}

std::vector<TSignPt> Points(const std::string &text) {
    std::vector<TSignPt> pts;
    for (const std::string &pair : Split(text, ';')) {
        const auto v = Numbers(pair, ',');
        if (v.size() != 2)
            throw std::invalid_argument("expected x,y in \"" + pair + "\"");
        pts.push_back({v[0], v[1]});
    }
    return pts;
}


// The outline of a shape in its box, moved inward by `inset` mm (0: the outline itself).
std::vector<TSignPt> Outline(const std::string &shape, const TSignShape &s, double inset) {
    std::vector<TSignPt> pts;
    if (shape == "triangle" || shape == "triangle-down") {
        // Shrunk about the centre of the inscribed circle.
        const double r = s.w / (2 * std::sqrt(3.0)), k = (r - inset) / r;
        const bool up = shape == "triangle";
        const TSignPt centre{s.w / 2, up ? s.h - r : r};
        const TSignPt corners[3] = {{0, up ? s.h : 0}, {s.w / 2, up ? 0 : s.h}, {s.w, up ? s.h : 0}};
        for (const TSignPt &p : corners)
            pts.push_back({centre.x + (p.x - centre.x) * k, centre.y + (p.y - centre.y) * k});
    } else if (shape == "diamond") {
        const double d = inset * std::sqrt(2.0);
        pts = {{s.w / 2, d}, {s.w - d, s.h / 2}, {s.w / 2, s.h - d}, {d, s.h / 2}};
    } else if (shape == "octagon") {
        const double r = (s.w / 2) / std::cos(Pi / 8) - inset / std::cos(Pi / 8);
        for (int i = 0; i < 8; ++i) {
            const double a = Pi / 8 + i * Pi / 4;
            pts.push_back({s.w / 2 + r * std::cos(a), s.h / 2 + r * std::sin(a)});
        }
    }
    return pts;
}


void DrawBase(TSignCanvas &w, const std::string &shape, const TSignShape &s, const std::string &border,
              TSignRgb fill) {
    double rim = 0;
    TSignRgb rimColour{0, 0, 0};
    if (border != "-") {
        const auto parts = Split(border, '/');
        if (parts.size() != 2)
            throw std::invalid_argument("expected colour/width or - in \"" + border + "\"");
        rimColour = SignColour(parts[0]);
        rim = Numbers(parts[1], ',').at(0);
        if (!(rim > 0 && rim < std::min(s.w, s.h) / 4))
            throw std::invalid_argument("bad rim width in \"" + border + "\"");
    }
    const auto layer = [&](double inset, TSignRgb c) {
        if (shape == "circle")
            w.Circle(s.w / 2, s.h / 2, s.w / 2 - inset, c);
        else if (shape == "square" || shape == "rectangle")
            w.Rect(inset, inset, s.w - inset, s.h - inset, c);
        else
            w.Polygon(Outline(shape, s, inset), c);
    };
    if (rim > 0)
        layer(0, rimColour);
    layer(rim, fill);
}

void DrawElement(TSignCanvas &w, const std::string &element) {
    const auto parts = Split(element, ':');
    if (parts.size() < 3)
        throw std::invalid_argument("expected kind:colour:... in \"" + element + "\"");
    const std::string &kind = parts[0];
    const TSignRgb c = SignColour(parts[1]);
    const auto need = [&](std::size_t n) {
        if (parts.size() != n)
            throw std::invalid_argument("wrong number of fields in \"" + element + "\"");
    };
    if (kind == "poly") {
        need(3);
        w.Polygon(Points(parts[2]), c);
    } else if (kind == "rect" || kind == "circle" || kind == "ring") {
        need(3);
        const auto v = Numbers(parts[2], ',');
        if (v.size() != (kind == "circle" ? 3u : 4u))
            throw std::invalid_argument("wrong number of values in \"" + element + "\"");
        if (kind == "rect")
            w.Rect(v[0], v[1], v[2], v[3], c);
        else if (kind == "circle")
            w.Circle(v[0], v[1], v[2], c);
        else
            w.Ring(v[0], v[1], v[2], v[3], c);
    } else if (kind == "bar" || kind == "arrow") {
        need(4);
        const double width = Numbers(parts[2], ',').at(0);
        if (kind == "bar")
            w.Bar(Points(parts[3]), width, c);
        else
            w.Arrow(Points(parts[3]), width, c);
    } else if (kind == "text") {
        need(4);
        const auto v = Numbers(parts[2], ',');
        if (v.size() != 3)
            throw std::invalid_argument("expected cx,cy,h in \"" + element + "\"");
        w.Text(v[0], v[1], v[2], parts[3], c);
    } else {
        throw std::invalid_argument("unknown element \"" + kind + "\"");
    }
}

} // namespace

TSignRgb SignColour(const std::string &text) {
    const auto named = NamedColours().find(text);
    TSignRgb c;
    if (named != NamedColours().end()) {
        c = named->second;
    } else {
        const auto v = Numbers(text, ',');
        if (v.size() != 3)
            throw std::invalid_argument("unknown colour \"" + text + "\"");
        for (double d : v)
            if (d < 0 || d > 255 || d != std::floor(d))
                throw std::invalid_argument("bad colour \"" + text + "\"");
        c = {uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2])};
    }
    if (c.r == 255 && c.g == 0 && c.b == 255)
        throw std::invalid_argument("pure magenta is the texture colour key");
    return c;
}

TSignShape SignShapeOf(const std::string &shape, const std::string &size) {
    TSignShape s;
    const auto v = Numbers(size, 'x');
    const bool rect = shape == "rectangle";
    if (v.size() != (rect ? 2u : 1u) || v[0] < 100 || v[0] > 5000 || (rect && (v[1] < 100 || v[1] > 5000)))
        throw std::invalid_argument("bad size \"" + size + "\" for a " + shape);
    const double a = v[0] / 1000;
    s.w = v[0];
    if (shape == "circle") {
        s.h = s.w;
        s.area = Pi * a * a / 4;
    } else if (shape == "triangle" || shape == "triangle-down") {
        s.h = s.w * std::sqrt(3.0) / 2;
        s.area = std::sqrt(3.0) / 4 * a * a;
    } else if (shape == "square") {
        s.h = s.w;
        s.area = a * a;
    } else if (rect) {
        s.h = v[1];
        s.area = a * v[1] / 1000;
    } else if (shape == "diamond") {
        s.h = s.w;
        s.area = a * a / 2;
    } else if (shape == "octagon") {
        s.h = s.w;
        s.area = 2 * (std::sqrt(2.0) - 1) * a * a;
    } else {
        throw std::invalid_argument("unknown shape \"" + shape + "\"");
    }
    return s;
}

void TSignCanvas::Arrow(std::vector<TSignPt> pts, double w, TSignRgb c) {
    if (pts.size() < 2)
        throw std::invalid_argument("an arrow needs 2 points");
    const TSignPt tip = pts.back(), from = pts[pts.size() - 2];
    const double dx = tip.x - from.x, dy = tip.y - from.y, len = std::hypot(dx, dy);
    const double head = 2.2 * w, half = 1.3 * w;
    if (len <= head)
        throw std::invalid_argument("the arrow's last segment is shorter than its head");
    const double ux = dx / len, uy = dy / len;
    const TSignPt base{tip.x - ux * head, tip.y - uy * head};
    // The shaft stops inside the head, so its flat end never shows beside the point.
    pts.back() = {base.x + ux * w * 0.5, base.y + uy * w * 0.5};
    Bar(pts, w, c);
    Polygon({tip, {base.x - uy * half, base.y + ux * half}, {base.x + uy * half, base.y - ux * half}}, c);
}

void DrawSignDescription(TSignCanvas &canvas, const std::string &shape, const TSignShape &box,
                         const std::string &border, const std::string &fill, const std::string &elements) {
    DrawBase(canvas, shape, box, border, SignColour(fill));
    for (const std::string &e : Split(elements, ' '))
        if (!e.empty())
            DrawElement(canvas, e);
}

} // namespace datagen
