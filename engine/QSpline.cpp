#include "engine/QSpline.h"

#include <cmath>

namespace {

void SetConstants(QSP_Coeffs &s) {
    const double *a = s.a;
    s.A = 4 * (a[2] * a[2] + a[5] * a[5]);
    s.B = 4 * (a[1] * a[2] + a[4] * a[5]);
    s.C = a[1] * a[1] + a[4] * a[4];
    s.D = 4 * s.A * s.C - s.B * s.B;
}

} // namespace

QSP_Coeffs QSegmentFromPoints(const TXYZ &p0, const TXYZ &p1, const TXYZ &p2) {
    QSP_Coeffs s;
    s.a[0] = p0.x;
    s.a[1] = 2 * (double(p1.x) - p0.x);
    s.a[2] = double(p0.x) - 2 * double(p1.x) + p2.x;
    s.a[3] = p0.y;
    s.a[4] = 2 * (double(p1.y) - p0.y);
    s.a[5] = double(p0.y) - 2 * double(p1.y) + p2.y;
    SetConstants(s);
    // "<=" rather than "<": coincident points give A = D = 0, which must not reach the 0 / 0 below.
    if (std::fabs(s.D) <= std::fabs(s.A) * 0.001) {
        s.Straight = true;
        s.a[1] = double(p2.x) - p0.x;
        s.a[4] = double(p2.y) - p0.y;
        s.a[2] = s.a[5] = 0;
        s.F = std::hypot(s.a[1], s.a[4]);
        SetConstants(s);
        s.E = 0;
        return s;
    }
    s.E = 4 * s.A / s.D;
    s.F = std::sqrt(s.C) * s.B / (4 * s.A) +
          std::log(2 * std::sqrt(s.A * s.C) + s.B) / (std::sqrt(s.A) * 2 * s.E);
    return s;
}

TXYZ QSegmentPoint(const QSP_Coeffs &s, double t) {
    const double *a = s.a;
    return {float(a[0] + (a[1] + a[2] * t) * t), float(a[3] + (a[4] + a[5] * t) * t), 0};
}

double QSegmentArcLength(const QSP_Coeffs &s, double t) {
    if (s.Straight)
        return s.F * t;
    const double q = (s.A * t + s.B) * t + s.C;
    const double u = 2 * s.A * t + s.B;
    return std::sqrt(q) * u / (4 * s.A) + std::log(2 * std::sqrt(s.A * q) + u) / (std::sqrt(s.A) * 2 * s.E) -
           s.F;
}

QSP_Coeffs_Array QSplineToSegments(std::span<const TXYZ> p) {
    QSP_Coeffs_Array out;
    const std::size_t n = p.size();
    if (n < 2)
        return out;
    if (n == 2) {
        out.push_back(QSegmentFromPoints(p[0], VectorMid(p[0], p[1]), p[1]));
    } else if (n == 3) {
        out.push_back(QSegmentFromPoints(p[0], p[1], p[2]));
    } else {
        out.reserve(n - 2);
        out.push_back(QSegmentFromPoints(p[0], p[1], VectorMid(p[1], p[2])));
        for (std::size_t i = 2; i + 2 < n; ++i)
            out.push_back(QSegmentFromPoints(VectorMid(p[i - 1], p[i]), p[i], VectorMid(p[i], p[i + 1])));
        out.push_back(QSegmentFromPoints(VectorMid(p[n - 3], p[n - 2]), p[n - 2], p[n - 1]));
    }
    for (std::size_t i = 1; i < out.size(); ++i)
        out[i].StartLength = float(out[i - 1].StartLength + QSegmentArcLength(out[i - 1], 1));
    return out;
}

TXYZ QSplinePoint(const QSP_Coeffs_Array &segments, double t) {
    if (segments.empty())
        return {};
    const double u = double(segments.size()) * t;
    const double k0 = std::trunc(u);
    double f = u - k0;
    const double last = double(segments.size() - 1);
    double k = k0;
    if (!(k <= last)) { // also NaN: the end of the last segment
        f = std::isfinite(u) ? k + f - last : 1;
        k = last;
    } else if (k < 0) {
        f = k + f;
        k = 0;
    }
    return QSegmentPoint(segments[static_cast<std::size_t>(k)], f);
}

void QSplineFlatten(std::span<const TXYZ> points, TXYZArray &out) {
    const QSP_Coeffs_Array segments = QSplineToSegments(points);
    if (segments.empty())
        return;
    const std::size_t n = 5 * segments.size();
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(QSplinePoint(segments, double(i) / double(n - 1)));
}
