#pragma once
// Smooth lines through a row of vertices as chains of cubic Bezier spans. A chain of m spans holds
// 3m + 1 points: the vertices (knots) at 0, 3, ..., 3m, and the two control points of span i at 3i + 1
// and 3i + 2. Curves are planar: z of the evaluated points is 0.
#include "engine/DxCalc_0.h"

#include <vector>

// One span: x(t) = ax t^3 + bx t^2 + cx t + dx, y(t) likewise, t in [0, 1].
struct CSP_Coeffs {
    float ax = 0, bx = 0, cx = 0, dx = 0;
    float ay = 0, by = 0, cy = 0, dy = 0;
};
static_assert(sizeof(CSP_Coeffs) == 32);

using CSP_Coeffs_Array = std::vector<CSP_Coeffs>;
using TSingleDynAr = std::vector<float>;

// Places the control points so that the tangents are continuous; the knots are not moved. A single span
// becomes straight. Trailing points beyond the last whole span are left alone, as are chains of fewer
// than 4 points.
void CSplineSmooth(TXYZArray &chain);
// One record per whole span.
CSP_Coeffs_Array CSplineCoeffs(const TXYZArray &chain);
CSP_Coeffs BezierCoeffs(const TXYZ &p0, const TXYZ &p1, const TXYZ &p2, const TXYZ &p3);
// The parameters 1/n .. 1 at which to evaluate the span (its start is not included), n in 4 .. 100,
// more for spans that bend more relative to the tolerance.
TSingleDynAr CSplineSteps(const CSP_Coeffs &span, float tolerance);
// (x(t), y(t), 0).
TXYZ CSplineEval(const CSP_Coeffs &span, float t);
