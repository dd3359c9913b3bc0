#include "engine/DxCalc_0.h"

#include "engine/StreetError.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <limits>
#include <stdexcept>
#include <string>

// The documented special values (infinities from divisions by zero, NaN from 0/0) need IEEE arithmetic
// with masked exceptions, which is what x86-64 and every other supported target give by default.
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559);

namespace {

constexpr double TwoPi = 6.283185307179586;

struct TVec2 {
    double x, y;
};

TVec2 RotateByDir(double x, double y, double dx, double dy) {
    const double h = std::sqrt(dx * dx + dy * dy);
    const double c = dx / h, s = dy / h;
    return {x * c - y * s, x * s + y * c};
}

double Angle(double x, double y) {
    double a = std::atan2(y, x);
    if (a < 0)
        a += TwoPi;
    return a;
}

} // namespace

// ---- Vector arithmetic -----------------------------------------------------------------------------

TXYZ VectorSum(std::span<const TXYZ> points) {
    double x = 0, y = 0, z = 0;
    for (const TXYZ &p : points) {
        x += p.x;
        y += p.y;
        z += p.z;
    }
    return {float(x), float(y), float(z)};
}

TXYZ VectorSetLength(const TXYZ &v, float len) {
    const double k = len / std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    return {float(v.x * k), float(v.y * k), float(v.z * k)};
}

TXYZ VectorDirection(const TXYZ &a, const TXYZ &b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
    const double l = std::sqrt(dx * dx + dy * dy + dz * dz);
    return {float(dx / l), float(dy / l), float(dz / l)};
}

// ---- Rotations -------------------------------------------------------------------------------------

TXYZ VectorRotate(const TXYZ &v, float angle) {
    const double c = std::cos(double(angle)), s = std::sin(double(angle));
    return {float(v.x * c - v.y * s), float(v.x * s + v.y * c), v.z};
}

TXYZ VectorRotateByDir(const TXYZ &v, float dx, float dy) {
    const TVec2 r = RotateByDir(v.x, v.y, dx, dy);
    return {float(r.x), float(r.y), v.z};
}

float VectorAngle(const TXYZ &v) {
    return float(Angle(v.x, v.y));
}

float VectorAngleFrom(const TXYZ &dir, const TXYZ &v) {
    const TVec2 r = RotateByDir(v.x, v.y, dir.x, -double(dir.y));
    return float(Angle(r.x, r.y));
}

float SegmentsAngle(const TXYZ &a, const TXYZ &b, const TXYZ &c, const TXYZ &d) {
    const TVec2 dir{double(b.x) - a.x, double(b.y) - a.y};
    const TVec2 r = RotateByDir(double(d.x) - c.x, double(d.y) - c.y, dir.x, -dir.y);
    return float(Angle(r.x, r.y));
}

TXYZ VectorMirror(const TXYZ &v, const TXYZ &axis) {
    TVec2 r = RotateByDir(v.x, v.y, axis.x, -double(axis.y));
    r = RotateByDir(r.x, -r.y, axis.x, axis.y);
    return {float(r.x), float(r.y), v.z};
}

// ---- Triangles -------------------------------------------------------------------------------------

float TriangleListArea(const TXYZArray &triangles) {
    double sum = 0;
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3)
        sum += TriangleAbsArea(triangles[i], triangles[i + 1], triangles[i + 2]);
    return float(sum);
}

bool PointInTriangle(const TXYZ &p, const TXYZ &a, const TXYZ &b, const TXYZ &c) {
    const int s = TriangleOrientation(p, a, b) + TriangleOrientation(p, b, c) + TriangleOrientation(p, c, a);
    if (s == 3 || s == -3)
        return true;
    return VectorsEqual(p, a) || VectorsEqual(p, b) || VectorsEqual(p, c);
}

bool PointInTriangleList(const TXYZ &p, const TXYZArray &triangles) {
    for (std::size_t i = 0; i + 2 < triangles.size(); i += 3) {
        if (PointInTriangle(p, triangles[i], triangles[i + 1], triangles[i + 2]))
            return true;
    }
    return false;
}

// ---- Lines and segments ----------------------------------------------------------------------------

TXYZ MiterVector(const TXYZ &prev, const TXYZ &cur, const TXYZ &next) {
    double ax = double(prev.x) - cur.x, ay = double(prev.y) - cur.y;
    double bx = double(next.x) - cur.x, by = double(next.y) - cur.y;
    const double la = std::sqrt(ax * ax + ay * ay), lb = std::sqrt(bx * bx + by * by);
    // A repeated point has no direction: the corner is the normal of the segment that is left.
    if (la == 0 && lb == 0)
        return {0, 0, cur.z};
    if (la == 0)
        return {float(-by / lb), float(bx / lb), cur.z};
    if (lb == 0)
        return {float(ay / la), float(-ax / la), cur.z};
    // Prev and next on the same ray: the offset lines meet nowhere, take the incoming segment's normal.
    // The test is made on the raw differences, whose products are exact in double, so that rounding
    // of the unit vectors cannot turn an exact spike into a huge finite miter.
    const bool spike = ax * by - ay * bx == 0 && ax * bx + ay * by > 0;
    ax /= la;
    ay /= la;
    bx /= lb;
    by /= lb;
    const double dx = ax - bx, dy = ay - by;
    double k = 0;
    if (!spike && (dx != 0 || dy != 0))
        k = std::fabs(dx) > std::fabs(dy) ? (ay + by) / dx : -(ax + bx) / dy;
    const double mx = ay - k * ax, my = -ax - k * ay;
    // So near a spike that the corner lies beyond what a single holds: it is the spike's.
    if (!(std::fabs(mx) <= std::numeric_limits<float>::max() &&
          std::fabs(my) <= std::numeric_limits<float>::max()))
        return {float(ay), float(-ax), cur.z};
    return {float(mx), float(my), cur.z};
}

void ProjectPointOnSegment(const TXYZ &p, const TXYZ &a, const TXYZ &b, float &t, float &dist) {
    const double ex = double(b.x) - a.x, ey = double(b.y) - a.y;
    const double len = std::sqrt(ex * ex + ey * ey);
    const double ux = ex / len, uy = ey / len;
    const double wx = double(p.x) - a.x, wy = double(p.y) - a.y;
    dist = float(wy * ux - wx * uy);
    t = float((wx * ux + wy * uy) / len);
}

int NearestSegmentIndex(const TXYZArray &poly, const TXYZ &p) {
    const int n = static_cast<int>(std::min<std::size_t>(poly.size(), std::numeric_limits<int>::max()));
    int best = -1;
    float bestD = UndefinedValueF;
    for (int i = 0; i + 1 < n; ++i) {
        float t = 0, dist = 0;
        ProjectPointOnSegment(p, poly[i], poly[i + 1], t, dist);
        if (t >= 0 && t <= 1 && std::fabs(dist) < bestD) {
            best = i;
            bestD = std::fabs(dist);
        }
    }
    for (int i = 0; i < n; ++i) {
        const double dx = double(p.x) - poly[i].x, dy = double(p.y) - poly[i].y;
        const float d = float(std::sqrt(dx * dx + dy * dy));
        if (d < bestD) {
            best = i;
            bestD = d;
        }
    }
    return best == n - 1 && best >= 1 ? best - 1 : best;
}

bool LinesIntersect(const TXYZ &a, const TXYZ &b, const TXYZ &c, const TXYZ &d, float &t, float &u) {
    const double d1x = double(b.x) - a.x, d1y = double(b.y) - a.y;
    const double d2x = double(d.x) - c.x, d2y = double(d.y) - c.y;
    const double cross = d1x * d2y - d1y * d2x;
    if (cross == 0)
        return false;
    const double ex = double(c.x) - a.x, ey = double(c.y) - a.y;
    const float tt = float((ex * d2y - ey * d2x) / cross);
    const float uu = float((ex * d1y - ey * d1x) / cross);
    // Where an overflow or an invalid operation would have faulted, the lines count as not crossing.
    if (!std::isfinite(tt) || !std::isfinite(uu))
        return false;
    t = tt;
    u = uu;
    return true;
}

TXYZ LinesIntersectionPoint(const TXYZ &a, const TXYZ &b, const TXYZ &c, const TXYZ &d) {
    float t = 0, u = 0;
    if (!LinesIntersect(a, b, c, d, t, u))
        return {0, 0, 0};
    return VectorLerp(a, b, t);
}

float SegmentLengthInTriangle(const TXYZ &a, const TXYZ &b, const TXYZ &t0, const TXYZ &t1, const TXYZ &t2) {
    const bool inA = PointInTriangle(a, t0, t1, t2), inB = PointInTriangle(b, t0, t1, t2);
    const float len = VectorDistance(a, b);
    if (inA && inB)
        return len;
    // The triangle is convex, so the segment's part inside it is one interval of the parameter along
    // a->b, bounded by the inside ends and the edge crossings. Taking its hull (rather than the first
    // crossed edge) keeps crossings through a corner, which touch two edges at once, from collapsing
    // the interval to nothing.
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    if (inA)
        lo = hi = 0;
    if (inB)
        lo = hi = 1;
    const TXYZ *edges[3][2] = {{&t0, &t1}, {&t1, &t2}, {&t2, &t0}};
    for (const auto &e : edges) {
        float t = 0, u = 0;
        if (LinesIntersect(a, b, *e[0], *e[1], t, u) && t >= 0 && t <= 1 && u >= 0 && u <= 1) {
            lo = std::min<double>(lo, t);
            hi = std::max<double>(hi, t);
        }
    }
    return hi > lo ? float(len * (hi - lo)) : 0.0f;
}

float PolylineLengthInArea(const TXYZArray &polyline, const TXYZArray &triangles) {
    double sum = 0;
    for (std::size_t k = 0; k + 2 < triangles.size(); k += 3) {
        for (std::size_t i = 0; i + 1 < polyline.size(); ++i)
            sum += SegmentLengthInTriangle(polyline[i], polyline[i + 1], triangles[k], triangles[k + 1],
                                           triangles[k + 2]);
    }
    return float(sum);
}

float TrianglesOverlapArea(std::span<const TXYZ, 3> a, std::span<const TXYZ, 3> b) {
    // Both early exits give 0; the box test is the cheaper one, so it goes first.
    const auto [aMinX, aMaxX] = std::minmax({a[0].x, a[1].x, a[2].x});
    const auto [aMinY, aMaxY] = std::minmax({a[0].y, a[1].y, a[2].y});
    const auto [bMinX, bMaxX] = std::minmax({b[0].x, b[1].x, b[2].x});
    const auto [bMinY, bMaxY] = std::minmax({b[0].y, b[1].y, b[2].y});
    if (aMaxX < bMinX || bMaxX < aMinX || aMaxY < bMinY || bMaxY < aMinY)
        return 0;
    if (TriangleAbsArea(a[0], a[1], a[2]) < 1e-5f || TriangleAbsArea(b[0], b[1], b[2]) < 1e-5f)
        return 0;

    // Corners of the overlap: at most 3 + 3 corners and 9 edge crossings.
    TXYZ pts[15];
    int n = 0;
    auto add = [&](const TXYZ &p) {
        for (int i = 0; i < n; ++i) {
            if (std::fabs(double(pts[i].x) - p.x) < 1e-5 && std::fabs(double(pts[i].y) - p.y) < 1e-5)
                return;
        }
        pts[n++] = p;
    };
    for (int i = 0; i < 3; ++i) {
        if (PointInTriangle(a[i], b[0], b[1], b[2]))
            add(a[i]);
        if (PointInTriangle(b[i], a[0], a[1], a[2]))
            add(b[i]);
        const TXYZ &p = a[i], &q = a[(i + 1) % 3];
        for (int j = 0; j < 3; ++j) {
            float t = 0, u = 0;
            if (LinesIntersect(p, q, b[j], b[(j + 1) % 3], t, u) && t >= -1e-6f && t <= 1.000001f &&
                u >= -1e-6f && u <= 1.000001f)
                add(VectorLerp(p, q, t));
        }
    }
    if (n < 3)
        return 0;

    // Fan from the lowest point P0 around the next lowest P1 (an edge of the convex overlap), the others
    // in order of their angle seen from P0.
    auto takeLowest = [&]() {
        int k = 0;
        for (int i = 1; i < n; ++i) {
            if (pts[i].y < pts[k].y)
                k = i;
        }
        const TXYZ p = pts[k];
        std::copy(pts + k + 1, pts + n, pts + k);
        --n;
        return p;
    };
    const TXYZ p0 = takeLowest();
    const TXYZ p1 = takeLowest();
    const double dirX = double(p1.x) - p0.x, dirY = double(p1.y) - p0.y;
    double key[15];
    for (int i = 0; i < n; ++i) {
        const TVec2 r = RotateByDir(double(pts[i].x) - p0.x, double(pts[i].y) - p0.y, dirX, -dirY);
        key[i] = r.x / std::fabs(r.y);
    }
    const int last = n - 1;
    for (int i = 0; i <= last; ++i) {
        for (int j = 1; j <= last - i; ++j) {
            if (key[j] < key[j - 1]) {
                std::swap(key[j], key[j - 1]);
                std::swap(pts[j], pts[j - 1]);
            }
        }
    }
    double area = 0;
    for (int k = 0; k < last; ++k)
        area += TriangleAbsArea(p0, pts[k], pts[k + 1]);
    area += TriangleAbsArea(p0, pts[last], p1);
    return float(area);
}

float AreasOverlapArea(const TXYZArray &a, const TXYZArray &b) {
    double sum = 0;
    for (std::size_t i = 0; i + 2 < a.size(); i += 3) {
        // The early exits of TrianglesOverlapArea, with the area and the box of A's triangle taken once
        // for all of B: pairs that would give 0 are not visited.
        if (TriangleAbsArea(a[i], a[i + 1], a[i + 2]) < 1e-5f)
            continue;
        const auto [x0, x1] = std::minmax({a[i].x, a[i + 1].x, a[i + 2].x});
        const auto [y0, y1] = std::minmax({a[i].y, a[i + 1].y, a[i + 2].y});
        for (std::size_t j = 0; j + 2 < b.size(); j += 3) {
            const TXYZ *q = &b[j];
            if ((q[0].x < x0 && q[1].x < x0 && q[2].x < x0) || (q[0].x > x1 && q[1].x > x1 && q[2].x > x1) ||
                (q[0].y < y0 && q[1].y < y0 && q[2].y < y0) || (q[0].y > y1 && q[1].y > y1 && q[2].y > y1))
                continue;
            sum += TrianglesOverlapArea(std::span<const TXYZ, 3>(&a[i], 3), std::span<const TXYZ, 3>(q, 3));
        }
    }
    return float(sum);
}

// ---- Matrices --------------------------------------------------------------------------------------

namespace {

using TMat4d = std::array<std::array<double, 4>, 4>;

TMat4d Widen(const TDxMatrix &m) {
    TMat4d r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            r[i][j] = m.m[i][j];
    }
    return r;
}

TMat4d Multiply(const TMat4d &a, const TMat4d &b) {
    TMat4d r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j] + a[i][3] * b[3][j];
    }
    return r;
}

std::array<double, 4> Transform(const TDxMatrix &m, double x, double y, double z) {
    std::array<double, 4> r;
    for (int j = 0; j < 4; ++j)
        r[j] = x * m.m[0][j] + y * m.m[1][j] + z * m.m[2][j] + m.m[3][j];
    return r;
}

} // namespace

void MatrixIdentity(TDxMatrix &m) {
    m = TDxMatrix{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1;
}

void MatrixMultiply(const TDxMatrix &a, const TDxMatrix &b, TDxMatrix &r) {
    const TMat4d p = Multiply(Widen(a), Widen(b));
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = float(p[i][j]);
    }
}

void MatrixInvert(const TDxMatrix &m, TDxMatrix &r) {
    // The translation is split off first (M = M' x T^-1, so M^-1 = T x M'^-1), which keeps large plan
    // coordinates out of the elimination. Where the origin has no finite image (w = 0, e.g. a
    // perspective with the eye at the origin) there is nothing to split off and T stays the identity.
    const std::array<double, 4> o = Transform(m, 0, 0, 0);
    double t[3] = {o[0] / o[3], o[1] / o[3], o[2] / o[3]};
    if (!std::isfinite(t[0]) || !std::isfinite(t[1]) || !std::isfinite(t[2]))
        t[0] = t[1] = t[2] = 0;
    TMat4d tr{};
    for (int i = 0; i < 4; ++i)
        tr[i][i] = 1;
    for (int j = 0; j < 3; ++j)
        tr[3][j] = -t[j];
    TMat4d a = Multiply(Widen(m), tr);
    TMat4d b{};
    for (int i = 0; i < 4; ++i)
        b[i][i] = 1;
    for (int col = 0; col < 4; ++col) {
        int piv = col;
        for (int row = col + 1; row < 4; ++row) {
            if (std::fabs(a[row][col]) > std::fabs(a[piv][col]))
                piv = row;
        }
        const double pv = a[piv][col];
        if (pv == 0) {
            MatrixIdentity(r);
            return;
        }
        std::swap(a[piv], a[col]);
        std::swap(b[piv], b[col]);
        for (int j = 0; j < 4; ++j) {
            a[col][j] /= pv;
            b[col][j] /= pv;
        }
        for (int row = 0; row < 4; ++row) {
            if (row == col)
                continue;
            const double f = a[row][col];
            if (f == 0)
                continue;
            for (int j = 0; j < 4; ++j) {
                a[row][j] -= f * a[col][j];
                b[row][j] -= f * b[col][j];
            }
        }
    }
    const TMat4d inv = Multiply(tr, b);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = float(inv[i][j]);
    }
}

std::array<float, 4> TransformVector4(const TDxMatrix &m, float x, float y, float z, float /*w*/) {
    const std::array<double, 4> v = Transform(m, x, y, z);
    const double w = v[3];
    return {float(v[0] / w), float(v[1] / w), float(v[2] / w), float(w / w)};
}

void TransformVectorClip(const TDxMatrix &m, const TXYZ &p, TXYZ &q, bool &behind) {
    const std::array<double, 4> v = Transform(m, p.x, p.y, p.z);
    const double w = v[3];
    if (w < 0)
        behind = true;
    if (w == 1)
        q = {float(v[0]), float(v[1]), float(v[2])};
    else
        q = {float(v[0] / w), float(v[1] / w), float(v[2] / w)};
}

// ---- Planes ----------------------------------------------------------------------------------------

float PlaneSegmentParam(const TDxPlane &pl, const TXYZ &a, const TXYZ &b) {
    const double na = double(pl.a) * a.x + double(pl.b) * a.y + double(pl.c) * a.z;
    const double nd = double(pl.a) * (double(b.x) - a.x) + double(pl.b) * (double(b.y) - a.y) +
                      double(pl.c) * (double(b.z) - a.z);
    return float((-double(pl.d) - na) / nd);
}

bool ClipSegmentByPlane(const TDxPlane &pl, TXYZ &a, TXYZ &b) {
    const float da = PlaneDistance(pl, a), db = PlaneDistance(pl, b);
    if (da < 0 && db < 0)
        return false;
    if (da >= 0 && db >= 0)
        return true;
    const TXYZ p = VectorLerp(a, b, PlaneSegmentParam(pl, a, b));
    if (da < 0)
        a = p;
    else
        b = p;
    return true;
}

// ---- Counted pointer arrays ------------------------------------------------------------------------

namespace {

void CheckCapacity(int32_t capacity, const char *where) {
    if (capacity < 0)
        RaiseStreetError(where, "negative capacity " + std::to_string(capacity));
}

} // namespace

TPtrBlock::TPtrBlock(int32_t capacity) {
    CheckCapacity(capacity, "TPtrBlock.Create");
    slots_.resize(static_cast<std::size_t>(capacity), nullptr);
}

void TPtrBlock::SetCount(int32_t count) {
    if (count < 0 || count > Capacity())
        RaiseStreetError("TPtrBlock.SetCount",
                         "count " + std::to_string(count) + " outside 0.." + std::to_string(Capacity()));
    count_ = count;
}

const TXYZ *&TPtrBlock::operator[](int32_t i) {
    if (i < 0 || i >= Capacity())
        throw std::out_of_range("TPtrBlock: slot " + std::to_string(i) + " outside the capacity");
    return slots_[static_cast<std::size_t>(i)];
}

const TXYZ *TPtrBlock::operator[](int32_t i) const {
    if (i < 0 || i >= Capacity())
        throw std::out_of_range("TPtrBlock: slot " + std::to_string(i) + " outside the capacity");
    return slots_[static_cast<std::size_t>(i)];
}

void TPtrBlock::SetCapacity(int32_t capacity) {
    CheckCapacity(capacity, "TPtrBlock.SetCapacity");
    slots_.resize(static_cast<std::size_t>(capacity), nullptr);
    count_ = std::min(count_, capacity);
}

std::unique_ptr<TPtrBlock> CreatePtrArray(int32_t capacity) {
    return std::make_unique<TPtrBlock>(capacity);
}

void ResizePtrArray(std::unique_ptr<TPtrBlock> &block, int32_t capacity) {
    if (!block)
        block = CreatePtrArray(capacity);
    else
        block->SetCapacity(capacity);
}

void FreePtrArray(std::unique_ptr<TPtrBlock> &block) {
    block.reset();
}
