// The device drops triangles and lines that cannot change a pixel, one by one or, given runs with boxes,
// a run at a time; the picture must be exactly the one drawn without that. Many random tiny primitives,
// placed on and near pixel borders and centres, alone or in clusters, are drawn each way under the states
// and transforms that decide what may be dropped.
#include "platform/d3d9/GLDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

struct TVertex {
    float X, Y, Z;
    D3DCOLOR Color;
    float U, V;
};

constexpr int W = 48, H = 40;

D3DMATRIX Identity() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1;
    return m;
}

// One unit is one pixel, y down: Direct3D's screen space, moved by (dx, dy) world units.
D3DMATRIX PixelProjection(double dx, double dy) {
    D3DMATRIX m = Identity();
    m.m[0][0] = 2.0f / W;
    m.m[1][1] = -2.0f / H;
    m.m[3][0] = static_cast<float>(-1.0 - dx * 2.0 / W);
    m.m[3][1] = static_cast<float>(1.0 + dy * 2.0 / H);
    return m;
}

struct TScene {
    D3DPRIMITIVETYPE Type = D3DPT_TRIANGLELIST;
    std::vector<TVertex> Vertices;
    D3DMATRIX Projection = PixelProjection(0, 0);
    bool Blend = false;
    bool StencilInvert = false;
    D3DVIEWPORT9 Viewport{0, 0, W, H, 0, 1};
    // Primitives per run for DrawPrimitiveRunsUP, in order (the clusters they were made in); none: runs
    // of one.
    std::vector<UINT> Runs;
};

enum class TDraw { Plain, Filtered, Runs };

// The runs of primitives [first, first + count) of the scene, with the boxes of their vertices.
std::vector<D3DPRIMITIVERUN> RunsOf(const TScene &scene, std::size_t first, std::size_t count) {
    const std::size_t per = scene.Type == D3DPT_LINELIST ? 2 : 3;
    std::vector<D3DPRIMITIVERUN> runs;
    std::size_t start = 0, r = 0;
    while (start < first + count) {
        const std::size_t length = r < scene.Runs.size() ? scene.Runs[r++] : 1;
        const std::size_t a = std::max(start, first), b = std::min(start + length, first + count);
        start += length;
        if (a >= b)
            continue;
        D3DPRIMITIVERUN run{static_cast<UINT>(a - first), static_cast<UINT>(b - a), 0, 0, 0, 0, 0, 0};
        float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
        for (std::size_t v = a * per; v < b * per; ++v) {
            const float p[3] = {scene.Vertices[v].X, scene.Vertices[v].Y, scene.Vertices[v].Z};
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], p[k]);
                hi[k] = std::max(hi[k], p[k]);
            }
        }
        run.MinX = lo[0], run.MinY = lo[1], run.MinZ = lo[2];
        run.MaxX = hi[0], run.MaxY = hi[1], run.MaxZ = hi[2];
        runs.push_back(run);
    }
    return runs;
}

// Draws the scene in chunks (as batches do) and returns the picture, 0xRRGGBB per pixel.
std::vector<uint32_t> Render(const TScene &scene, TDraw how) {
    SetSmallPrimitiveFilter(how != TDraw::Plain);
    auto device = CreateOffscreenDevice(W, H, true);
    device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->SetRenderState(D3DRS_AMBIENT, 0xFFFFFFFF);
    device->SetTransform(D3DTS_PROJECTION, scene.Projection);
    device->BeginScene();
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
    device->SetViewport(scene.Viewport);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, scene.Blend ? 1 : 0);
    if (scene.StencilInvert) {
        device->SetRenderState(D3DRS_STENCILENABLE, 1);
        device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INVERT);
    }
    const UINT per = scene.Type == D3DPT_LINELIST ? 2 : 3;
    const std::size_t chunk = 300 * per;
    for (std::size_t i = 0; i < scene.Vertices.size(); i += chunk) {
        const std::size_t n = std::min(chunk, scene.Vertices.size() - i);
        if (how == TDraw::Runs) {
            const std::vector<D3DPRIMITIVERUN> runs = RunsOf(scene, i / per, n / per);
            device->DrawPrimitiveRunsUP(scene.Type, static_cast<UINT>(n / per), &scene.Vertices[i],
                                        sizeof(TVertex), runs.data(), static_cast<UINT>(runs.size()));
        } else {
            device->DrawPrimitiveUP(scene.Type, static_cast<UINT>(n / per), &scene.Vertices[i],
                                    sizeof(TVertex));
        }
    }
    if (scene.StencilInvert) {
        // What the stencil holds shows through a quad drawn where it is still 0.
        device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
        device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        device->SetTransform(D3DTS_PROJECTION, PixelProjection(0, 0));
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        const std::vector<TVertex> quad = {{-1, -1, 0.5f, 0xFF00FF00, 0, 0},
                                           {W + 1.0f, -1, 0.5f, 0xFF00FF00, 0, 0},
                                           {-1, H + 1.0f, 0.5f, 0xFF00FF00, 0, 0},
                                           {W + 1.0f, H + 1.0f, 0.5f, 0xFF00FF00, 0, 0}};
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad.data(), sizeof(TVertex));
    }
    device->EndScene();
    std::vector<uint8_t> rows(W * H * 4);
    device->GetRenderTargetData(rows.data(), W * 4);
    std::vector<uint32_t> pixels(W * H);
    for (int i = 0; i < W * H; ++i)
        pixels[i] = rows[i * 4] | rows[i * 4 + 1] << 8 | rows[i * 4 + 2] << 16;
    SetSmallPrimitiveFilter(true);
    return pixels;
}

// Positions that favour the places where rounding decides: whole and half pixels, and just beside them.
struct TPlacer {
    std::mt19937 Rng;
    double Origin;
    explicit TPlacer(unsigned seed, double origin = 0) : Rng(seed), Origin(origin) {}

    double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(Rng); }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Rng); }

    double Coordinate(double extent) {
        const double base = std::floor(Uniform(-2, extent + 2));
        static const double near[] = {0.0, 0.5, 0.25, 1.0 / 256, 0.5 - 1.0 / 128, 0.5 + 1.0 / 512, 0.999};
        const double frac = Pick(3) == 0 ? near[Pick(7)] : Uniform(0, 1);
        return Origin + base + frac;
    }
    D3DCOLOR Color(bool translucent) {
        const uint32_t a = translucent ? 0x40u + Pick(0x80) : 0xFFu;
        return a << 24 | static_cast<uint32_t>(Rng() & 0xFFFFFF);
    }
    // A small primitive: its first vertex anywhere, the others within reach pixels of it.
    void Add(TScene &scene, int count, double reach, bool translucent, float z = 0.5f) {
        const double x = Coordinate(W), y = Coordinate(H);
        for (int i = 0; i < count; ++i) {
            const double dx = i == 0 ? 0 : Uniform(-reach, reach), dy = i == 0 ? 0 : Uniform(-reach, reach);
            scene.Vertices.push_back({static_cast<float>(x + dx), static_cast<float>(y + dy), z,
                                      Color(translucent), static_cast<float>(Uniform(0, 1)),
                                      static_cast<float>(Uniform(0, 1))});
        }
    }
};

struct TCase {
    const char *Name;
    std::function<TScene()> Make;
};

TScene Primitives(D3DPRIMITIVETYPE type, unsigned seed, int count, double reach, bool blend = false,
                  double origin = 0) {
    TScene s;
    s.Type = type;
    s.Blend = blend;
    s.Projection = PixelProjection(origin, origin);
    TPlacer p(seed, origin);
    for (int i = 0; i < count; ++i)
        p.Add(s, type == D3DPT_LINELIST ? 2 : 3, p.Pick(4) == 0 ? reach * 4 : reach, blend);
    return s;
}

// Runs of up to 40 primitives crowded around one place (within reach pixels), as a batch's consecutive
// groups of a street seen whole are: many runs lie within one pixel, between pixel centres or outside
// the viewport. With stay, most runs crowd around the place of the run before them, so that whole groups
// of runs share a pixel or lie between the same pixel centres.
TScene Clusters(D3DPRIMITIVETYPE type, unsigned seed, int count, double reach, double origin = 0,
                bool stay = false) {
    TScene s;
    s.Type = type;
    s.Projection = PixelProjection(origin, origin);
    TPlacer p(seed, origin);
    const int per = type == D3DPT_LINELIST ? 2 : 3;
    double x = 0, y = 0;
    bool placed = false;
    while (count > 0) {
        const int n = std::min(count, 1 + p.Pick(40));
        const double r = !stay && p.Pick(5) == 0 ? reach * 8 : reach;
        if (!placed || !stay || p.Pick(12) == 0) {
            TScene one;
            p.Add(one, 1, 0, false);
            x = one.Vertices[0].X;
            y = one.Vertices[0].Y;
            placed = true;
        }
        for (int i = 0; i < n * per; ++i)
            s.Vertices.push_back({static_cast<float>(x + p.Uniform(-r, r)),
                                  static_cast<float>(y + p.Uniform(-r, r)), 0.5f, p.Color(false), 0, 0});
        s.Runs.push_back(static_cast<UINT>(n));
        count -= n;
    }
    return s;
}

TEST(SmallPrimitivesGL, DroppingWhatCannotChangeAPixelLeavesThePictureAsItWas) {
    const std::vector<TCase> cases = {
        {"sub-pixel triangles", [] { return Primitives(D3DPT_TRIANGLELIST, 1, 4000, 0.6); }},
        {"triangles of a few pixels", [] { return Primitives(D3DPT_TRIANGLELIST, 2, 1500, 3); }},
        {"sub-pixel lines", [] { return Primitives(D3DPT_LINELIST, 3, 6000, 0.6); }},
        {"lines of a few pixels", [] { return Primitives(D3DPT_LINELIST, 4, 3000, 3); }},
        {"lines ending in one pixel, many per pixel",
         [] { return Primitives(D3DPT_LINELIST, 5, 20000, 0.3); }},
        {"translucent lines (blended: kept)", [] { return Primitives(D3DPT_LINELIST, 6, 4000, 0.6, true); }},
        {"translucent triangles", [] { return Primitives(D3DPT_TRIANGLELIST, 7, 3000, 0.6, true); }},
        {"far from the origin (single-precision rounding)",
         [] { return Primitives(D3DPT_LINELIST, 8, 6000, 0.6, false, 3.0e5); }},
        {"triangles far from the origin",
         [] { return Primitives(D3DPT_TRIANGLELIST, 9, 4000, 0.6, false, 3.0e5); }},
        {"lines inverting the stencil (kept)",
         [] {
             TScene s = Primitives(D3DPT_LINELIST, 10, 4000, 0.6);
             s.StencilInvert = true;
             return s;
         }},
        {"a viewport inside the target (ends outside it)",
         [] {
             TScene s = Primitives(D3DPT_LINELIST, 11, 6000, 0.6);
             s.Viewport = {7, 5, 29, 23, 0, 1};
             return s;
         }},
        {"triangles in a viewport inside the target",
         [] {
             TScene s = Primitives(D3DPT_TRIANGLELIST, 14, 3000, 3);
             s.Viewport = {9, 4, 27, 25, 0, 1};
             return s;
         }},
        {"ends at the near and far planes and beyond",
         [] {
             TScene s;
             s.Type = D3DPT_LINELIST;
             TPlacer p(12);
             const float zs[] = {0.0f, 1.0f, -1e-6f, 1.000001f, -0.5f, 0.5f};
             for (int i = 0; i < 6000; ++i)
                 p.Add(s, 2, 0.6, false, zs[p.Pick(6)]);
             return s;
         }},
        {"clusters of sub-pixel triangles", [] { return Clusters(D3DPT_TRIANGLELIST, 15, 6000, 0.2); }},
        {"clusters of sub-pixel lines", [] { return Clusters(D3DPT_LINELIST, 16, 8000, 0.2); }},
        {"runs of sub-pixel lines crowding the same places",
         [] { return Clusters(D3DPT_LINELIST, 21, 40000, 0.1, 0, true); }},
        {"runs of sub-pixel triangles crowding the same places",
         [] { return Clusters(D3DPT_TRIANGLELIST, 22, 60000, 0.45, 0, true); }},
        {"runs of sub-pixel lines crowding the same places in a viewport inside the target",
         [] {
             TScene s = Clusters(D3DPT_LINELIST, 23, 40000, 0.1, 0, true);
             s.Viewport = {7, 5, 29, 23, 0, 1};
             return s;
         }},
        {"clusters of lines far from the origin",
         [] { return Clusters(D3DPT_LINELIST, 17, 8000, 0.2, 3.0e5); }},
        {"clusters of lines in a viewport inside the target",
         [] {
             TScene s = Clusters(D3DPT_LINELIST, 18, 8000, 0.3);
             s.Viewport = {7, 5, 29, 23, 0, 1};
             return s;
         }},
        {"clusters of triangles in a viewport inside the target",
         [] {
             TScene s = Clusters(D3DPT_TRIANGLELIST, 19, 6000, 0.3);
             s.Viewport = {9, 4, 27, 25, 0, 1};
             return s;
         }},
        {"clusters of translucent lines (blended: kept)",
         [] {
             TScene s = Clusters(D3DPT_LINELIST, 20, 6000, 0.2);
             s.Blend = true;
             for (TVertex &v : s.Vertices)
                 v.Color = (v.Color & 0xFFFFFF) | 0x80000000u;
             return s;
         }},
        {"a projective transform (nothing dropped)",
         [] {
             TScene s = Primitives(D3DPT_LINELIST, 13, 4000, 0.6);
             s.Projection.m[2][3] = 0.25f;
             s.Projection.m[3][3] = 0.875f;
             return s;
         }},
    };
    for (const TCase &c : cases) {
        const TScene scene = c.Make();
        const std::vector<uint32_t> plain = Render(scene, TDraw::Plain),
                                    filtered = Render(scene, TDraw::Filtered),
                                    runs = Render(scene, TDraw::Runs);
        int differ = 0, differRuns = 0, lit = 0;
        for (int i = 0; i < W * H; ++i) {
            differ += plain[i] != filtered[i];
            differRuns += plain[i] != runs[i];
            lit += plain[i] != 0;
        }
        EXPECT_EQ(differ, 0) << c.Name;
        EXPECT_EQ(differRuns, 0) << c.Name << " (in runs)";
        EXPECT_GT(lit, W * H / 20) << c.Name << ": the scene should light a fair part of the target";
    }
}

} // namespace
