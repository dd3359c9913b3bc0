#include "engine/DxPrimBuilders.h"

#include "engine/DxRenderer.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

void Need(const TDxPrimCollection &batch, std::size_t vertsPerPrim, const char *builder) {
    if (batch.VertsPerPrim() != vertsPerPrim)
        RaiseStreetError(builder,
                         vertsPerPrim == 2 ? "lines go to a line batch" : "triangles go to a triangle batch");
}

TDxVertex Vertex(const TXYZ &p, float u = 0, float v = 0) {
    return {p.x, p.y, p.z, 0, u, v};
}

void AddLine(TDxPrimCollection &batch, TDxOwnerKey owner, const TXYZ &a, const TXYZ &b) {
    const TDxVertex v[2] = {Vertex(a), Vertex(b)};
    batch.AddPrimitive(owner, v);
}

void AddTriangle(TDxPrimCollection &batch, TDxOwnerKey owner, const TXYZ &a, const TXYZ &b, const TXYZ &c) {
    const TDxVertex v[3] = {Vertex(a), Vertex(b), Vertex(c)};
    batch.AddPrimitive(owner, v);
}

} // namespace

void DxAddLines(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points) {
    Need(batch, 2, "DxAddLines");
    for (std::size_t i = 0; i + 1 < points.size(); i += 2)
        AddLine(batch, owner, points[i], points[i + 1]);
}

void DxAddPolylineRange(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points,
                        int32_t last, int32_t first) {
    Need(batch, 2, "DxAddPolylineRange");
    if (points.size() < 2)
        return;
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t to = std::min<int64_t>(last, static_cast<int64_t>(points.size()) - 1);
    for (int64_t i = from; i < to; ++i)
        AddLine(batch, owner, points[static_cast<std::size_t>(i)], points[static_cast<std::size_t>(i) + 1]);
}

void DxAddPolyline(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points) {
    DxAddPolylineRange(batch, owner, points,
                       static_cast<int32_t>(std::min<std::size_t>(points.size(), INT32_MAX)) - 1, 0);
}

void DxAddClosedPolyline(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points) {
    DxAddPolyline(batch, owner, points);
    if (points.size() >= 2)
        AddLine(batch, owner, points.back(), points.front());
}

void DxAddTriangles(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points) {
    Need(batch, 3, "DxAddTriangles");
    for (std::size_t i = 0; i + 2 < points.size(); i += 3)
        AddTriangle(batch, owner, points[i], points[i + 1], points[i + 2]);
}

void DxAddQuads(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points) {
    Need(batch, 3, "DxAddQuads");
    for (std::size_t i = 0; i + 3 < points.size(); i += 4) {
        AddTriangle(batch, owner, points[i], points[i + 1], points[i + 3]);
        AddTriangle(batch, owner, points[i + 2], points[i + 3], points[i]);
    }
}

void DxAddTexturedTriangles(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points,
                            float repeatU, float repeatV, float originX, float originY, float cosA,
                            float sinA, D3DCOLOR color) {
    Need(batch, 3, "DxAddTexturedTriangles");
    const double lu = repeatU == 0 ? 1.0 : repeatU, lv = repeatV == 0 ? 1.0 : repeatV;
    const auto tiled = [&](const TXYZ &p) {
        const double dx = (double(p.x) - originX) / lu, dy = (double(p.y) - originY) / lv;
        TDxVertex v = Vertex(p, float(dx * cosA - dy * sinA), float(dx * sinA + dy * cosA));
        v.color = color;
        return v;
    };
    for (std::size_t i = 0; i + 2 < points.size(); i += 3) {
        const TDxVertex v[3] = {tiled(points[i]), tiled(points[i + 1]), tiled(points[i + 2])};
        batch.AddPrimitive(owner, v);
    }
}

namespace {

// Scratch kept between calls: strips are built by the thousand when a type's items rebuild.
struct TStripScratch {
    std::vector<double> Len;
    std::vector<TXYZ> Normals;
    TXYZArray Cut;
};

TStripScratch &StripScratch() {
    thread_local TStripScratch scratch;
    return scratch;
}

// The band of DxAddWideStrip over p (at least 2 points), len[i] being the distance along p up to p[i]. The
// vertices go straight into the batch.
void AddStrip(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> p,
              std::span<const double> len, float a, float b, float period, float vA, float vB) {
    const std::size_t n = p.size();
    const double total = len[n - 1];
    // A whole number of periods, at least one; a band of no length has nothing to spread them over.
    const double k =
        period != 0 && total > 0 ? double(std::max<int64_t>(1, Round(total / period))) / total : 0.0;

    std::vector<TXYZ> &normals = StripScratch().Normals;
    DxStripNormals(p, normals);
    const auto side = [&](std::size_t i, float offset, float v) {
        const TXYZ &q = p[i], &nv = normals[i];
        return TDxVertex{q.x + nv.x * offset, q.y + nv.y * offset, q.z, 0, float(len[i] * k), v};
    };
    batch.AddPrimitivesFrom(owner, 2 * (n - 1), [&](auto &&add) {
        TDxVertex a0 = side(0, a, vA), b0 = side(0, b, vB);
        for (std::size_t i = 1; i < n; ++i) {
            const TDxVertex a1 = side(i, a, vA), b1 = side(i, b, vB);
            add(a0);
            add(b0);
            add(a1);
            add(a1);
            add(b1);
            add(b0);
            a0 = a1;
            b0 = b1;
        }
    });
}

// len[i]: the distance along p up to p[i].
void PathLengths(std::span<const TXYZ> p, std::vector<double> &len) {
    len.resize(p.size());
    len[0] = 0;
    for (std::size_t i = 1; i < p.size(); ++i)
        len[i] = len[i - 1] + VectorDistance(p[i - 1], p[i]);
}

// Whether the corner at cur turns so sharply that the texture would shear across its miter (d1 and d2
// being the lengths of the segments into and out of it).
bool SharpCorner(const TXYZ &prev, const TXYZ &cur, const TXYZ &next, double d1, double d2) {
    // A repeated point has no turning angle to cut.
    if (d1 == 0 || d2 == 0)
        return false;
    // |sin| of the turn in plan, from the cross and dot products of the two directions (what the sine of
    // the turning angle gives, without the angle).
    const double ux = double(cur.x) - prev.x, uy = double(cur.y) - prev.y;
    const double vx = double(next.x) - cur.x, vy = double(next.y) - cur.y;
    const double cross = ux * vy - uy * vx, dot = ux * vx + uy * vy;
    const double norm = std::sqrt(cross * cross + dot * dot);
    const double sine = norm > 0 ? std::fabs(cross) / norm : 0.0;
    return sine > 0.3;
}

} // namespace

void DxAddWideStrip(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points, int32_t first,
                    int32_t last, float a, float b, float period, float vA, float vB) {
    Need(batch, 3, "DxAddWideStrip");
    if (points.size() < 2)
        return;
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t to = std::min<int64_t>(last, static_cast<int64_t>(points.size()) - 1);
    if (to - from < 1)
        return;
    const std::span<const TXYZ> p =
        points.subspan(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from + 1));
    std::vector<double> &len = StripScratch().Len;
    PathLengths(p, len);
    AddStrip(batch, owner, p, len, a, b, period, vA, vB);
}

void DxAddThickPolyline(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points, float a,
                        float b, float period, float vA, float vB) {
    const int32_t last = static_cast<int32_t>(std::min<std::size_t>(points.size(), INT32_MAX)) - 1;
    if (period == 0 || points.size() < 3) {
        DxAddWideStrip(batch, owner, points, 0, last, a, b, period, vA, vB);
        return;
    }
    Need(batch, 3, "DxAddWideStrip");
    const std::span<const TXYZ> p = points.first(static_cast<std::size_t>(last) + 1);
    const std::size_t n = p.size();
    TStripScratch &scratch = StripScratch();
    // Most lines have no corner sharp enough to cut: the distances the test needs are then the band's
    // own, and the points are drawn as they are.
    std::vector<double> &len = scratch.Len;
    len.resize(n);
    len[0] = 0;
    double d1 = VectorDistance(p[0], p[1]);
    std::size_t firstSharp = n;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const double d2 = VectorDistance(p[i], p[i + 1]);
        if (SharpCorner(p[i - 1], p[i], p[i + 1], d1, d2)) {
            firstSharp = i;
            break;
        }
        len[i] = len[i - 1] + d1;
        d1 = d2;
    }
    if (firstSharp == n) {
        len[n - 1] = len[n - 2] + d1;
        AddStrip(batch, owner, p, len, a, b, period, vA, vB);
        return;
    }
    // Sharp corners are cut so that the texture is not sheared across the miter: such a point becomes
    // three, a little before it, itself and a little after it.
    const double width = std::fabs(double(a) - b);
    TXYZArray &cut = scratch.Cut;
    cut.assign(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(firstSharp));
    cut.reserve(n + 2 * (n - firstSharp));
    for (std::size_t i = firstSharp; i + 1 < n; ++i) {
        const TXYZ &prev = p[i - 1], &cur = p[i], &next = p[i + 1];
        const double e1 = VectorDistance(prev, cur), e2 = VectorDistance(cur, next);
        if (!SharpCorner(prev, cur, next, e1, e2)) {
            cut.push_back(cur);
            continue;
        }
        const double t1 = std::min(0.3, width / e1), t2 = std::min(0.3, width / e2);
        cut.push_back(VectorLerp(prev, cur, float(1 - t1)));
        cut.push_back(cur);
        cut.push_back(VectorLerp(cur, next, float(t2)));
    }
    cut.push_back(p[n - 1]);
    PathLengths(cut, len);
    AddStrip(batch, owner, cut, len, a, b, period, vA, vB);
}
