#pragma once
// Quadratic curves: one segment x(t) = a0 + a1 t + a2 t^2, y(t) = a3 + a4 t + a5 t^2 (t in 0..1) with the
// constants of its closed-form arc length, and the quadratic B-splines of TrueType outlines as chains of
// such segments. A segment whose control point lies on the chord (or whose points coincide) is straight:
// a line from p0 to p2 whose length is F.
#include "engine/DxCalc_0.h"

#include <span>
#include <vector>

struct QSP_Coeffs {
    float StartLength = 0; // arc length of the chain before this segment
    double a[6] = {};      // a0..a2 for x, a3..a5 for y
    bool Straight = false;
    // A = 4 (a2^2 + a5^2), B = 4 (a1 a2 + a4 a5), C = a1^2 + a4^2, D = 4 A C - B^2, E = 4 A / D; F the arc
    // length integral at t = 0 (or the whole length of a straight segment).
    double A = 0, B = 0, C = 0, D = 0, E = 0, F = 0;
};
static_assert(sizeof(QSP_Coeffs) == 112);

using QSP_Coeffs_Array = std::vector<QSP_Coeffs>;

// The segment from p0 to p2 pulled towards the control point p1.
QSP_Coeffs QSegmentFromPoints(const TXYZ &p0, const TXYZ &p1, const TXYZ &p2);
// (x(t), y(t), 0).
TXYZ QSegmentPoint(const QSP_Coeffs &s, double t);
// The arc length from 0 to t.
double QSegmentArcLength(const QSP_Coeffs &s, double t);
// The B-spline of the control points as segments (nothing below 2 points); each start length is the sum of
// the lengths before it.
QSP_Coeffs_Array QSplineToSegments(std::span<const TXYZ> points);
// t in 0..1 shared evenly among the segments (not by arc length); a t outside runs on along the first or
// last segment. (0, 0, 0) for no segments.
TXYZ QSplinePoint(const QSP_Coeffs_Array &segments, double t);
// The spline flattened at five points a segment, both ends included.
void QSplineFlatten(std::span<const TXYZ> points, TXYZArray &out);
