#include "engine/DxOverlay.h"

#include "engine/DxTexture.h"
#include "engine/NumText.h"
#include "engine/StreetError.h"

#include <algorithm>
#include <cmath>
#include <vector>

D3DCOLOR DxOverlayColor = MakeD3DColor(255, 0, 0, 255);

namespace {

// One pending batch of a renderer's frame. The arrays are that frame's scratch, so they are only touched
// while the renderer's FrameSerial still equals the one they were taken in.
struct TPendingBatch {
    std::span<TDxVertex> Vertices;
    std::size_t Count = 0;
};

struct TPending {
    const TdxRenderer *Renderer = nullptr;
    uint64_t Serial = 0;
    TPendingBatch Lines, Triangles;
};

// A few renderers may draw overlays in one process (the plan and an off-screen target); the oldest
// entries go first. A stale entry is never dereferenced: its serial no longer matches any live frame.
constexpr std::size_t MaxPendingEntries = 8;
std::vector<TPending> &PendingEntries() {
    static std::vector<TPending> entries;
    return entries;
}

TdxRenderer &RendererOf(const TDxDrawParams &params) {
    if (!params.Renderer)
        RaiseStreetError("DxOverlay", "no renderer");
    return *params.Renderer;
}

TPending *FindPending(const TdxRenderer &r) {
    for (TPending &p : PendingEntries())
        if (p.Renderer == &r && p.Serial == r.FrameSerial())
            return &p;
    return nullptr;
}

TPending &PendingFor(const TdxRenderer &r) {
    if (TPending *p = FindPending(r))
        return *p;
    std::vector<TPending> &entries = PendingEntries();
    // An entry of this renderer from an earlier frame, or the oldest one, makes room.
    std::erase_if(entries, [&](const TPending &p) { return p.Renderer == &r; });
    if (entries.size() >= MaxPendingEntries)
        entries.erase(entries.begin());
    entries.push_back({&r, r.FrameSerial(), {}, {}});
    return entries.back();
}

void DrawList(TdxRenderer &r, bool triangles, std::span<const TDxVertex> v) {
    if (triangles)
        r.DrawTriangleListV(v);
    else
        r.DrawLineListV(v);
}

void FillVertices(std::span<TDxVertex> out, std::span<const TXYZ> points) {
    for (std::size_t i = 0; i < points.size(); ++i)
        out[i] = {points[i].x, points[i].y, points[i].z, DxOverlayColor, 0, 0};
}

void AddToBatch(const TDxDrawParams &params, std::span<const TXYZ> points, bool triangles) {
    const std::size_t n = points.size();
    if (n == 0)
        return;
    TdxRenderer &r = RendererOf(params);
    if (n > DxOverlayBatchVertices) {
        std::span<TDxVertex> v = r.AllocVertices(n);
        FillVertices(v, points);
        DrawList(r, triangles, v);
        return;
    }
    TPendingBatch &b = triangles ? PendingFor(r).Triangles : PendingFor(r).Lines;
    if (b.Vertices.empty()) {
        b.Vertices = r.AllocVertices(DxOverlayBatchVertices);
        b.Count = 0;
    } else if (b.Count + n > DxOverlayBatchVertices) {
        DrawList(r, triangles, b.Vertices.first(b.Count));
        b.Vertices = r.AllocVertices(DxOverlayBatchVertices);
        b.Count = 0;
    }
    FillVertices(b.Vertices.subspan(b.Count, n), points);
    b.Count += n;
}

// The pixel of a marker's point; False when it is behind the eye or outside the closed viewport.
bool MarkerPixel(const TdxRenderer &r, const TXYZ &p, TXYZ &pixel) {
    bool behind = false;
    pixel = r.WorldToScreenClip(p, behind);
    pixel.z = 0;
    const D3DVIEWPORT9 &vp = r.Viewport();
    return !behind && pixel.x >= vp.X && pixel.x <= vp.X + vp.Width && pixel.y >= vp.Y &&
           pixel.y <= vp.Y + vp.Height;
}

// Clips a-b by the view plane and takes both ends to pixels (z 0); False when it lies wholly behind.
bool SegmentPixels(const TdxRenderer &r, TXYZ a, TXYZ b, TXYZ &pa, TXYZ &pb) {
    if (!ClipSegmentByPlane(r.ViewPlane(), a, b))
        return false;
    pa = r.WorldToScreen(a);
    pb = r.WorldToScreen(b);
    pa.z = pb.z = 0;
    return true;
}

} // namespace

void DxOverlayBeginScreen(const TDxDrawParams &params) {
    TdxRenderer &r = RendererOf(params);
    const D3DVIEWPORT9 &vp = r.Viewport();
    const float w = float(std::max(vp.Width, 1)), h = float(std::max(vp.Height, 1));
    TDxMatrix identity{};
    for (int i = 0; i < 4; ++i)
        identity.m[i][i] = 1;
    TDxMatrix proj = identity;
    proj.m[0][0] = 2 / w;
    proj.m[3][0] = -1 - 2 * float(vp.X) / w;
    proj.m[1][1] = -2 / h;
    proj.m[3][1] = 2 * float(vp.Y) / h + 1;
    r.World().SetDeviceTransform(identity);
    r.View().SetDeviceTransform(identity);
    r.Projection().SetDeviceTransform(proj);
}

void DxOverlayAddLines(const TDxDrawParams &params, std::span<const TXYZ> points) {
    AddToBatch(params, points, false);
}

void DxOverlayAddTriangles(const TDxDrawParams &params, std::span<const TXYZ> points) {
    AddToBatch(params, points, true);
}

void DxOverlayFlush(const TDxDrawParams &params) {
    TdxRenderer &r = RendererOf(params);
    TPending *p = FindPending(r);
    if (!p)
        return;
    const TPending pending = *p;
    std::erase_if(PendingEntries(), [&](const TPending &e) { return e.Renderer == &r; });
    if (pending.Lines.Count > 0)
        r.DrawLineListV(pending.Lines.Vertices.first(pending.Lines.Count));
    if (pending.Triangles.Count > 0)
        r.DrawTriangleListV(pending.Triangles.Vertices.first(pending.Triangles.Count));
}

std::size_t DxOverlayPendingLines(const TDxDrawParams &params) {
    const TPending *p = FindPending(RendererOf(params));
    return p ? p->Lines.Count : 0;
}

std::size_t DxOverlayPendingTriangles(const TDxDrawParams &params) {
    const TPending *p = FindPending(RendererOf(params));
    return p ? p->Triangles.Count : 0;
}

void DxOverlayDrawCross(const TDxDrawParams &params, const TXYZ &p, float s) {
    TXYZ c;
    if (!MarkerPixel(RendererOf(params), p, c))
        return;
    const TXYZ lines[4] = {{c.x - s, c.y, 0}, {c.x + s, c.y, 0}, {c.x, c.y - s, 0}, {c.x, c.y + s, 0}};
    DxOverlayAddLines(params, lines);
}

void DxOverlayDrawSquare(const TDxDrawParams &params, const TXYZ &p, bool filled, float s) {
    TXYZ c;
    if (!MarkerPixel(RendererOf(params), p, c))
        return;
    const TXYZ c0{c.x - s, c.y - s, 0}, c1{c.x + s, c.y - s, 0}, c2{c.x + s, c.y + s, 0},
        c3{c.x - s, c.y + s, 0};
    if (filled) {
        const TXYZ tris[6] = {c0, c1, c2, c3, c0, c2};
        DxOverlayAddTriangles(params, tris);
    } else {
        const TXYZ lines[8] = {c0, c1, c1, c2, c2, c3, c3, c0};
        DxOverlayAddLines(params, lines);
    }
}

void DxOverlayDrawSegment(const TDxDrawParams &params, const TXYZ &a, const TXYZ &b, float width) {
    TdxRenderer &r = RendererOf(params);
    TXYZ pa, pb;
    if (!SegmentPixels(r, a, b, pa, pb))
        return;
    const D3DVIEWPORT9 &vp = r.Viewport();
    const float left = float(vp.X), top = float(vp.Y), right = float(vp.X + vp.Width),
                bottom = float(vp.Y + vp.Height);
    if ((pa.x < left && pb.x < left) || (pa.y < top && pb.y < top) || (pa.x > right && pb.x > right) ||
        (pa.y > bottom && pb.y > bottom))
        return;
    const TXYZ line[2] = {pa, pb};
    DxOverlayAddLines(params, line);
    if (!(width > 1))
        return;
    const double dx = double(pb.x) - pa.x, dy = double(pb.y) - pa.y, len = std::hypot(dx, dy);
    if (!(len > 0) || !std::isfinite(len))
        return; // a point has no direction to widen across
    const double k = width / 2 / len;
    const TXYZ m{float(-dy * k), float(dx * k), 0};
    const TXYZ q0 = VectorAdd(pa, m), q1 = VectorFromTo(m, pa), q2 = VectorFromTo(m, pb),
               q3 = VectorAdd(pb, m);
    const TXYZ tris[6] = {q0, q1, q2, q3, q0, q2};
    DxOverlayAddTriangles(params, tris);
}

void DxOverlayDrawPolyline(const TDxDrawParams &params, std::span<const TXYZ> points, float width) {
    for (std::size_t i = 1; i < points.size(); ++i)
        DxOverlayDrawSegment(params, points[i - 1], points[i], width);
}

void DxOverlayDrawDashedSegment(const TDxDrawParams &params, const TXYZ &a, const TXYZ &b, float width,
                                float dash, float gap) {
    TdxRenderer &r = RendererOf(params);
    const double period = double(dash) + gap;
    if (!(period > 0) || !std::isfinite(period) || !std::isfinite(width))
        return;
    TXYZ pa, pb;
    if (!SegmentPixels(r, a, b, pa, pb))
        return;
    const double dx = double(pb.x) - pa.x, dy = double(pb.y) - pa.y, len = std::hypot(dx, dy);
    if (!std::isfinite(len) || !(len > 0))
        return;
    const double periods = len / period;
    if (!(periods <= DxOverlayMaxDashes + 1))
        return;
    const int64_t n = Round(periods);
    if (n <= 0 || n > DxOverlayMaxDashes)
        return;
    const double ex = dx / len, ey = dy / len;
    const double hw = double(width) / 2;
    const double mx = -ey * hw, my = ex * hw;
    std::span<TDxVertex> v = r.AllocVertices(std::size_t(n) * 6);
    auto at = [](double x, double y) { return TDxVertex{float(x), float(y), 0, DxOverlayColor, 0, 0}; };
    for (int64_t i = 0; i < n; ++i) {
        const double t = gap / 2.0 + double(i) * period;
        const double sx = pa.x + ex * t, sy = pa.y + ey * t;
        const double dxe = ex * dash, dye = ey * dash;
        TDxVertex *q = &v[std::size_t(i) * 6];
        q[0] = at(sx + mx, sy + my);
        q[1] = at(sx - mx, sy - my);
        q[2] = at(sx - mx + dxe, sy - my + dye);
        q[3] = q[2];
        q[4] = at(sx + mx + dxe, sy + my + dye);
        q[5] = q[0];
    }
    r.DrawTriangleListV(v);
}

void DxOverlayDrawTexturedPolygon(const TDxDrawParams &params, std::span<const TXYZ> points,
                                  TTextureSurface &texture) {
    TdxRenderer &r = RendererOf(params);
    if (points.empty())
        return;
    std::span<TDxVertex> v = r.AllocVertices(points.size());
    float minX = 2147483648.0f, minY = 2147483648.0f;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TXYZ p = r.WorldToScreen(points[i]);
        v[i] = {p.x, p.y, 0, 0, 0, 0};
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
    }
    // A texture without a picture has no texels to count in; its corner still sits at the box's corner.
    const float tw = float(std::max(texture.Width(), 1)), th = float(std::max(texture.Height(), 1));
    for (TDxVertex &x : v) {
        x.u = (x.x - minX) / tw;
        x.v = (x.y - minY) / th;
    }
    texture.Apply(r);
    r.DrawTriangleListV(v);
    r.SetTexture(nullptr);
}
