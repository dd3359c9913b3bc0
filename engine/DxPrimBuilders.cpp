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
    const std::size_t n = p.size();

    // Scratch kept between calls: strips are built by the thousand when a type's items rebuild.
    thread_local std::vector<double> len;
    thread_local std::vector<TXYZ> normals;
    len.assign(n, 0.0);
    for (std::size_t i = 1; i < n; ++i)
        len[i] = len[i - 1] + VectorDistance(p[i - 1], p[i]);
    const double total = len[n - 1];
    // A whole number of periods, at least one; a band of no length has nothing to spread them over.
    const double k =
        period != 0 && total > 0 ? double(std::max<int64_t>(1, Round(total / period))) / total : 0.0;

    DxStripNormals(p, normals);
    const auto side = [&](std::size_t i, float offset, float v) {
        const TXYZ &q = p[i], &nv = normals[i];
        return TDxVertex{q.x + nv.x * offset, q.y + nv.y * offset, q.z, 0, float(len[i] * k), v};
    };
    thread_local std::vector<TDxVertex> triangles;
    triangles.clear();
    triangles.reserve(6 * (n - 1));
    TDxVertex a0 = side(0, a, vA), b0 = side(0, b, vB);
    for (std::size_t i = 1; i < n; ++i) {
        const TDxVertex a1 = side(i, a, vA), b1 = side(i, b, vB);
        triangles.insert(triangles.end(), {a0, b0, a1, a1, b1, b0});
        a0 = a1;
        b0 = b1;
    }
    batch.AddPrimitives(owner, triangles, 2 * (n - 1));
}

void DxAddThickPolyline(TDxPrimCollection &batch, TDxOwnerKey owner, std::span<const TXYZ> points, float a,
                        float b, float period, float vA, float vB) {
    const int32_t last = static_cast<int32_t>(std::min<std::size_t>(points.size(), INT32_MAX)) - 1;
    if (period == 0 || points.size() < 3) {
        DxAddWideStrip(batch, owner, points, 0, last, a, b, period, vA, vB);
        return;
    }
    // Sharp corners are cut so that the texture is not sheared across the miter.
    const double width = std::fabs(double(a) - b);
    thread_local TXYZArray cut;
    cut.clear();
    cut.reserve(points.size() * 3);
    cut.push_back(points.front());
    for (std::size_t i = 1; i + 1 < points.size(); ++i) {
        const TXYZ &prev = points[i - 1], &cur = points[i], &next = points[i + 1];
        const double d1 = VectorDistance(prev, cur), d2 = VectorDistance(cur, next);
        // |sin| of the turn in plan, from the cross and dot products of the two directions (what the sine
        // of the turning angle gives, without the angle).
        const double ux = double(cur.x) - prev.x, uy = double(cur.y) - prev.y;
        const double vx = double(next.x) - cur.x, vy = double(next.y) - cur.y;
        const double cross = ux * vy - uy * vx, dot = ux * vx + uy * vy;
        const double norm = std::sqrt(cross * cross + dot * dot);
        const double sine = norm > 0 ? std::fabs(cross) / norm : 0.0;
        // A repeated point has no turning angle to cut.
        if (d1 == 0 || d2 == 0 || sine <= 0.3) {
            cut.push_back(cur);
            continue;
        }
        const double t1 = std::min(0.3, width / d1), t2 = std::min(0.3, width / d2);
        cut.push_back(VectorLerp(prev, cur, float(1 - t1)));
        cut.push_back(cur);
        cut.push_back(VectorLerp(cur, next, float(t2)));
    }
    cut.push_back(points.back());
    DxAddWideStrip(batch, owner, cut, 0,
                   static_cast<int32_t>(std::min<std::size_t>(cut.size(), INT32_MAX)) - 1, a, b, period, vA,
                   vB);
}
