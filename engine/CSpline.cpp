#include "engine/CSpline.h"

#include "engine/NumText.h"

#include <algorithm>
#include <cmath>

namespace {

// Handles are a third of the adjoining chord; the single-precision value 0.333 is part of the look
// of every stored curve, so it is not replaced by an exact third.
constexpr float Handle = 0.333f;

struct TVec3 {
    double x = 0, y = 0, z = 0;
};

TVec3 Diff(const TXYZ &from, const TXYZ &to) {
    return {double(to.x) - from.x, double(to.y) - from.y, double(to.z) - from.z};
}

double Length(const TVec3 &v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

TXYZ Single(const TVec3 &v) {
    return {float(v.x), float(v.y), float(v.z)};
}

// The unit forward tangent at knot K between the neighbouring knots A and B: the bisector of the
// directions of the two chords.
TVec3 Tangent(const TXYZ &a, const TXYZ &k, const TXYZ &b) {
    const TVec3 in = Diff(a, k), out = Diff(k, b);
    const double lIn = Length(in), lOut = Length(out);
    // A repeated knot has no chord: the other chord alone gives the direction.
    if (lIn == 0 && lOut == 0)
        return {};
    if (lIn == 0)
        return {out.x / lOut, out.y / lOut, out.z / lOut};
    if (lOut == 0)
        return {in.x / lIn, in.y / lIn, in.z / lIn};
    // A and B on the same ray from K: the line turns back and the bisector vanishes; the curve turns
    // round K across the incoming chord, along its left normal (or its right one when the line turns
    // right by a hair). Tested on the raw differences, whose products are exact for plan coordinates,
    // so that rounding cannot hide an exact reversal.
    const double cx = in.y * out.z - in.z * out.y, cy = in.z * out.x - in.x * out.z,
                 cz = in.x * out.y - in.y * out.x;
    const bool reversal = cx == 0 && cy == 0 && cz == 0 && in.x * out.x + in.y * out.y + in.z * out.z < 0;
    const TVec3 s{in.x / lIn + out.x / lOut, in.y / lIn + out.y / lOut, in.z / lIn + out.z / lOut};
    const double ls = Length(s);
    if (reversal || ls == 0) {
        const double h = (cz < 0 ? -1 : 1) * std::sqrt(in.x * in.x + in.y * in.y);
        if (h == 0)
            return {};
        return {-in.y / h, in.x / h, 0};
    }
    return {s.x / ls, s.y / ls, s.z / ls};
}

// The handle at an end knot: the neighbouring handle (relative to its knot) mirrored about the end
// chord and turned round. An end chord of zero length leaves the end handle on its knot.
TXYZ EndHandle(const TXYZ &innerHandle, const TXYZ &chord) {
    if (chord.x == 0 && chord.y == 0)
        return {0, 0, innerHandle.z};
    return VectorNegateXY(VectorMirror(innerHandle, chord));
}

} // namespace

void CSplineSmooth(TXYZArray &p) {
    if (p.size() < 4)
        return;
    const std::size_t m = (p.size() - 1) / 3;
    if (m == 1) {
        p[1] = VectorLerp(p[0], p[3], 0.333f);
        p[2] = VectorLerp(p[0], p[3], 0.667f);
        return;
    }
    // Handles relative to their knots: back[i] before knot 3i, fwd[i] after it (i = 1 .. m - 1).
    std::vector<TXYZ> back(m), fwd(m);
    for (std::size_t i = 1; i < m; ++i) {
        const TXYZ &a = p[3 * i - 3], &k = p[3 * i], &b = p[3 * i + 3];
        const TVec3 t = Tangent(a, k, b);
        const double lBack = Handle * Length(Diff(a, k)), lFwd = Handle * Length(Diff(k, b));
        back[i] = Single({-t.x * lBack, -t.y * lBack, -t.z * lBack});
        fwd[i] = Single({t.x * lFwd, t.y * lFwd, t.z * lFwd});
    }
    for (std::size_t i = 1; i < m; ++i) {
        p[3 * i - 1] = VectorAdd(back[i], p[3 * i]);
        p[3 * i + 1] = VectorAdd(fwd[i], p[3 * i]);
    }
    p[1] = VectorAdd(EndHandle(back[1], VectorFromTo(p[0], p[3])), p[0]);
    p[3 * m - 1] = VectorAdd(EndHandle(fwd[m - 1], VectorFromTo(p[3 * m], p[3 * m - 3])), p[3 * m]);
}

CSP_Coeffs BezierCoeffs(const TXYZ &p0, const TXYZ &p1, const TXYZ &p2, const TXYZ &p3) {
    auto coeffs = [](double q0, double q1, double q2, double q3, float &a, float &b, float &c, float &d) {
        a = float(q3 - 3 * q2 + 3 * q1 - q0);
        b = float(3 * q2 - 6 * q1 + 3 * q0);
        c = float(3 * q1 - 3 * q0);
        d = float(q0);
    };
    CSP_Coeffs r;
    coeffs(p0.x, p1.x, p2.x, p3.x, r.ax, r.bx, r.cx, r.dx);
    coeffs(p0.y, p1.y, p2.y, p3.y, r.ay, r.by, r.cy, r.dy);
    return r;
}

CSP_Coeffs_Array CSplineCoeffs(const TXYZArray &chain) {
    CSP_Coeffs_Array r;
    if (chain.size() < 4)
        return r;
    const std::size_t m = (chain.size() - 1) / 3;
    r.reserve(m);
    for (std::size_t i = 0; i < m; ++i)
        r.push_back(BezierCoeffs(chain[3 * i], chain[3 * i + 1], chain[3 * i + 2], chain[3 * i + 3]));
    return r;
}

TSingleDynAr CSplineSteps(const CSP_Coeffs &s, float tolerance) {
    // The derivative at the start, the middle and the end; the area they span measures the bend.
    const TXYZ d0{s.cx, s.cy, 0};
    const TXYZ dm{float(0.75 * s.ax + s.bx + s.cx), float(0.75 * s.ay + s.by + s.cy), 0};
    const TXYZ d1{float(3.0 * s.ax + 2.0 * s.bx + s.cx), float(3.0 * s.ay + 2.0 * s.by + s.cy), 0};
    const double w = TriangleAbsArea(d0, dm, d1);
    // Round gives 0 for NaN and saturates infinities, so a zero or negative tolerance is safe here.
    int64_t n = Round(w / tolerance);
    n = n < 5 ? 4 : std::min<int64_t>(n - 1, 100);
    TSingleDynAr r(static_cast<std::size_t>(n));
    for (int64_t k = 0; k < n; ++k)
        r[static_cast<std::size_t>(k)] = float(double(k + 1) / double(n));
    return r;
}

TXYZ CSplineEval(const CSP_Coeffs &s, float t) {
    const double t1 = t;
    const double t2 = float(t1 * t1), t3 = float(t1 * t1 * t1);
    return {float(s.ax * t3 + s.bx * t2 + s.cx * t1 + s.dx), float(s.ay * t3 + s.by * t2 + s.cy * t1 + s.dy),
            0};
}
