// Contours decoded from the bytes go through the triangulator. Raw coordinates may be anything (NaN and
// infinities must be refused); the other shapes are built so that the even-odd area is known, and a
// completed triangulation must match it.
#include "engine/DxTess3.h"

#include "tests/support/EvenOddReference.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>

namespace {

class TBytes {
public:
    TBytes(const uint8_t *data, size_t size) : p_(data), end_(data + size) {}
    uint8_t U8() { return p_ < end_ ? *p_++ : 0; }
    uint16_t U16() { return uint16_t(U8() | U8() << 8); }
    float F32() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits |= uint32_t(U8()) << (8 * i);
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    bool Empty() const { return p_ >= end_; }

private:
    const uint8_t *p_, *end_;
};

// Points on a small integer grid: many equal coordinates, edges through vertices, overlapping edges.
TXYZArray GridContour(TBytes &in, int grid, float scale) {
    TXYZArray c;
    const int n = 3 + in.U8() % 22;
    for (int i = 0; i < n; ++i)
        c.push_back({float(in.U8() % (grid + 1)) * scale, float(in.U8() % (grid + 1)) * scale, 0});
    return c;
}

// Star-shaped around (cx, cy): simple, however the radii vary.
TXYZArray StarContour(TBytes &in, float cx, float cy, float r) {
    TXYZArray c;
    const int n = 3 + in.U16() % 300;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / n, q = r * (0.1 + (in.U8() + 1) / 256.0);
        c.push_back({float(cx + q * std::cos(t)), float(cy + q * std::sin(t)), 0});
    }
    return c;
}

[[noreturn]] void Fail(const char *why) {
    std::fprintf(stderr, "triangulate: %s\n", why);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    TBytes in(data, size);
    TXYZArrays contours;
    bool known = true; // the reference area applies
    switch (in.U8() % 7) {
    case 0: { // raw singles
        known = false;
        const int count = 1 + in.U8() % 4;
        for (int k = 0; k < count && !in.Empty(); ++k) {
            TXYZArray c;
            const int n = in.U8() % 40;
            for (int i = 0; i < n; ++i) {
                const float x = in.F32(), y = in.F32();
                c.push_back({x, y, 0});
            }
            contours.push_back(c);
        }
        break;
    }
    case 1: // overlapping stars
        for (int k = 1 + in.U8() % 3; k > 0; --k)
            contours.push_back(StarContour(in, in.U8() / 8.f, in.U8() / 8.f, 4 + in.U8() / 16.f));
        break;
    case 2: { // tangles on a grid
        const int grid = 1 + in.U8() % 16;
        for (int k = 1 + in.U8() % 3; k > 0; --k)
            contours.push_back(GridContour(in, grid, 1));
        break;
    }
    case 3: { // an outline with many small holes, which may touch and overlap
        contours.push_back({{0, 0, 0}, {64, 0, 0}, {64, 64, 0}, {0, 64, 0}});
        for (int k = in.U8() % 64; k > 0 && !in.Empty(); --k) {
            const float x = in.U8() % 60, y = in.U8() % 60, s = 1 + in.U8() % 5;
            switch (in.U8() % 3) {
            case 0:
                contours.push_back({{x, y, 0}, {x + s, y, 0}, {x + s, y + s, 0}, {x, y + s, 0}});
                break;
            case 1:
                contours.push_back({{x, y, 0}, {x + s, y + s, 0}, {x, y + s, 0}});
                break;
            default:
                contours.push_back(
                    {{x, y, 0}, {x + s, y + s / 2, 0}, {x, y + s, 0}, {x + s / 2, y + s / 2, 0}});
            }
        }
        break;
    }
    case 4: // few distinct coordinates, long contours
        for (int k = 1 + in.U8() % 2; k > 0; --k) {
            TXYZArray c = GridContour(in, 2, 1);
            TXYZArray more = GridContour(in, 2, 1);
            c.insert(c.end(), more.begin(), more.end());
            contours.push_back(c);
        }
        break;
    case 6: { // a walk in small steps that crosses itself, near the origin or far from it
        const float offset = std::array<float, 4>{0, -3, 250, 60000}[in.U8() % 4];
        TXYZArray c;
        int x = 0, y = 0;
        for (int i = 3 + in.U8() % 100; i > 0; --i) {
            const uint8_t step = in.U8();
            x += step % 7 - 3;
            y += step / 7 % 7 - 3;
            c.push_back({offset + x * 0.25f, offset + y * 0.25f, 0});
        }
        contours.push_back(c);
        break;
    }
    default: { // huge and tiny coordinates
        const float scale = std::ldexp(1.0f, int(in.U8() % 240) - 126);
        const int grid = 1 + in.U8() % 8;
        for (int k = 1 + in.U8() % 2; k > 0; --k)
            contours.push_back(GridContour(in, grid, scale));
        break;
    }
    }

    TDxTesselator3 tess;
    bool finite = true;
    for (const TXYZArray &c : contours) {
        tess.AddContour(c);
        for (const TXYZ &p : c)
            finite = finite && std::isfinite(p.x) && std::isfinite(p.y);
    }
    const bool ok = tess.Proceed();
    if (!finite && ok)
        Fail("non-finite coordinates were accepted");
    const TXYZArray &tri = tess.Triangles();
    if (tri.size() % 3 != 0 || ok != tess.ErrorText().empty())
        Fail("result and error text disagree");
    double sum = 0, x0 = INFINITY, x1 = -INFINITY, y0 = INFINITY, y1 = -INFINITY;
    for (const TXYZArray &c : contours)
        for (const TXYZ &p : c) {
            x0 = std::fmin(x0, p.x), x1 = std::fmax(x1, p.x);
            y0 = std::fmin(y0, p.y), y1 = std::fmax(y1, p.y);
        }
    for (std::size_t i = 0; i < tri.size(); i += 3) {
        for (std::size_t k = i; k < i + 3; ++k)
            if (!(tri[k].x >= x0 && tri[k].x <= x1 && tri[k].y >= y0 && tri[k].y <= y1))
                Fail("a corner outside the contours' box");
        sum += std::fabs(((double(tri[i + 1].x) - tri[i].x) * (double(tri[i + 2].y) - tri[i].y) -
                          (double(tri[i + 2].x) - tri[i].x) * (double(tri[i + 1].y) - tri[i].y)) /
                         2);
    }
    if (known && ok) {
        // Crossings are rounded to singles: each moves by less than one unit in the last place (of the
        // largest coordinate), which changes the area by at most that much times the edges at it.
        double length = 0;
        for (const TXYZArray &c : contours)
            for (std::size_t i = 0; i < c.size(); ++i)
                length += std::hypot(double(c[(i + 1) % c.size()].x) - c[i].x,
                                     double(c[(i + 1) % c.size()].y) - c[i].y);
        const double largest =
            std::fmax(std::fmax(std::fabs(x0), std::fabs(x1)), std::fmax(std::fabs(y0), std::fabs(y1)));
        const double ulp = std::ldexp(largest, -23);
        const double ref = sptest::EvenOddArea(contours),
                     tol = 1e-6 * (x1 - x0) * (y1 - y0) + 4 * ulp * length;
        if (!(std::fabs(sum - ref) <= tol)) {
            std::fprintf(stderr, "triangles %.9g, even-odd area %.9g\n", sum, ref);
            Fail("the triangles do not cover the even-odd inside");
        }
    }
    return 0;
}
