#pragma once
// Reference figures for the inside of closed contours by the even-odd rule, written apart from the
// triangulator (brute force, double precision) to check it: the area by scanline coverage and the
// inside test of one point.
#include "engine/DxCalc_0.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace sptest {

struct TRefSegment {
    double ax, ay, bx, by;
};

inline std::vector<TRefSegment> RefSegments(const TXYZArrays &contours) {
    std::vector<TRefSegment> s;
    for (const TXYZArray &c : contours)
        for (std::size_t i = 0; i < c.size(); ++i) {
            const TXYZ &a = c[i], &b = c[(i + 1) % c.size()];
            if (a.x != b.x || a.y != b.y)
                s.push_back({a.x, a.y, b.x, b.y});
        }
    return s;
}

// Length of the inside along the horizontal line at y, which must pass through no vertex.
inline double RefInsideLength(const std::vector<TRefSegment> &segs, double y, std::vector<double> &xs) {
    xs.clear();
    for (const TRefSegment &s : segs)
        if ((s.ay <= y) != (s.by <= y))
            xs.push_back(s.ax + (y - s.ay) * (s.bx - s.ax) / (s.by - s.ay));
    std::sort(xs.begin(), xs.end());
    double len = 0;
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2)
        len += xs[i + 1] - xs[i];
    return len;
}

// The even-odd area. Between two successive heights of vertices and crossings the inside length along a
// horizontal line is linear in y, so its value at the middle of each such band times the band's height
// is exact (up to rounding).
inline double EvenOddArea(const TXYZArrays &contours) {
    const std::vector<TRefSegment> segs = RefSegments(contours);
    std::vector<double> ys;
    for (const TRefSegment &s : segs)
        ys.push_back(s.ay);
    for (std::size_t i = 0; i < segs.size(); ++i)
        for (std::size_t j = i + 1; j < segs.size(); ++j) {
            const TRefSegment &p = segs[i], &q = segs[j];
            const double dx1 = p.bx - p.ax, dy1 = p.by - p.ay, dx2 = q.bx - q.ax, dy2 = q.by - q.ay;
            const double den = dx1 * dy2 - dy1 * dx2;
            if (den == 0)
                continue;
            const double t = ((q.ax - p.ax) * dy2 - (q.ay - p.ay) * dx2) / den;
            const double u = ((q.ax - p.ax) * dy1 - (q.ay - p.ay) * dx1) / den;
            if (t > 0 && t < 1 && u > 0 && u < 1)
                ys.push_back(p.ay + t * dy1);
        }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<double> xs;
    double area = 0;
    for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
        const double mid = (ys[i] + ys[i + 1]) / 2;
        if (mid > ys[i] && mid < ys[i + 1])
            area += RefInsideLength(segs, mid, xs) * (ys[i + 1] - ys[i]);
    }
    return area;
}

// Inside by the even-odd rule (crossings of a ray to the right).
inline bool EvenOddInside(const std::vector<TRefSegment> &segs, double x, double y) {
    bool in = false;
    for (const TRefSegment &s : segs)
        if ((s.ay <= y) != (s.by <= y) && x < s.ax + (y - s.ay) * (s.bx - s.ax) / (s.by - s.ay))
            in = !in;
    return in;
}

inline double RefSegmentDistance(const TRefSegment &s, double x, double y) {
    const double dx = s.bx - s.ax, dy = s.by - s.ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((x - s.ax) * dx + (y - s.ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(s.ax + t * dx - x, s.ay + t * dy - y);
}

} // namespace sptest
