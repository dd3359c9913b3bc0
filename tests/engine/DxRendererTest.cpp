// The renderer above a recording device: projection helpers, immediate drawing (minimum counts, texture u
// along a line, the vertex order of wide lines), frame states, the stencil screen-door's states, clears,
// failures of the device and the textures a renderer gives back when it goes.
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "platform/d3d9/D3DError.h"
#include "platform/d3d9/RecordingDevice.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct TRig {
    std::shared_ptr<TRecordingDevice> Device;
    TDisplayRenderer Renderer;

    explicit TRig(int w = 256, int h = 128)
        : Device(std::make_shared<TRecordingDevice>(w, h)), Renderer(Device) {}

    // The last draw's vertices.
    std::vector<TRecordedVertex> Last() const { return Device->Draws().back().Vertices(); }
};

// One plan unit a pixel at the view's centre, y up: the orthographic plan camera.
void PixelOrtho(TdxRenderer &r, float pixelsPerUnit = 1) {
    r.Projection().Scale(true, 2 * pixelsPerUnit / float(r.Width()), 2 * pixelsPerUnit / float(r.Height()),
                         1);
}

// A camera at the height looking straight down (view z = height - world z), with a perspective.
void LookDown(TdxRenderer &r, float height) {
    TDxMatrix v{};
    v.m[0][0] = 1;
    v.m[1][1] = 1;
    v.m[2][2] = -1;
    v.m[3][2] = height;
    v.m[3][3] = 1;
    r.View().SetMatrix(v);
    r.Projection().Perspective(true, 1, 1000, float(std::numbers::pi / 2),
                               float(r.Width()) / float(r.Height()));
}

TEST(DxRenderer, WorldToScreenRoundsHalfToEvenAroundTheViewportCentre) {
    TRig rig(256, 128);
    PixelOrtho(rig.Renderer);
    rig.Renderer.View().Translate(true, -10, -20, 0);
    struct TCase {
        TXYZ World;
        float X, Y;
    } const cases[] = {
        {{10, 20, 0}, 128, 64},    // the view centre is the viewport's centre
        {{10.5f, 20, 0}, 128, 64}, // 128.5 rounds to the even 128 ...
        {{11.5f, 20, 0}, 130, 64}, // ... and 129.5 to 130
        {{10, 20.5f, 0}, 128, 64}, // 63.5 to 64 (y grows downwards)
        {{10, 21.5f, 0}, 128, 62}, // 62.5 to 62
        {{-118, 84, 0}, 0, 0},     // the top-left pixel
    };
    for (const TCase &c : cases) {
        const TXYZ p = rig.Renderer.WorldToScreen(c.World);
        EXPECT_EQ(p.x, c.X) << c.World.x << ", " << c.World.y;
        EXPECT_EQ(p.y, c.Y) << c.World.x << ", " << c.World.y;
    }
}

TEST(DxRenderer, ScreenToGroundFindsWhereThePixelRayMeetsTheGround) {
    TRig rig(200, 100);
    TdxRenderer &r = rig.Renderer;
    LookDown(r, 50);
    const TXYZ centre = r.ScreenToGround(100, 50);
    EXPECT_NEAR(centre.x, 0, 1e-4);
    EXPECT_NEAR(centre.y, 0, 1e-4);
    EXPECT_EQ(centre.z, 0);
    // Back to the same pixels.
    for (const auto &[x, y] : {std::pair{0, 0}, {199, 99}, {37, 81}, {150, 10}}) {
        const TXYZ g = r.ScreenToGround(x, y);
        EXPECT_EQ(g.z, 0);
        const TXYZ p = r.WorldToScreen(g);
        EXPECT_EQ(p.x, float(x));
        EXPECT_EQ(p.y, float(y));
    }
    // The near and far ends of a ray lie on the same pixel, the near one above the far one.
    const TXYZ n = r.ScreenToNear(37, 81), f = r.ScreenToFar(37, 81);
    EXPECT_GT(n.z, f.z);
    EXPECT_EQ(r.WorldToScreen(n).x, 37.0f);
    EXPECT_EQ(r.WorldToScreen(f).y, 81.0f);
}

TEST(DxRenderer, ARayParallelToTheGroundGivesItsNearPointOnTheGround) {
    TRig rig(200, 100);
    TdxRenderer &r = rig.Renderer;
    // The camera looks along world x from the height 5: view x = world y, view y = world z - 5, view z =
    // world x.
    TDxMatrix v{};
    v.m[0][2] = 1;
    v.m[1][0] = 1;
    v.m[2][1] = 1;
    v.m[3][1] = -5;
    v.m[3][3] = 1;
    r.View().SetMatrix(v);
    r.Projection().Perspective(true, 1, 1000, float(std::numbers::pi / 2), 2);
    // The middle row looks at the horizon.
    const TXYZ g = r.ScreenToGround(40, 50);
    const TXYZ n = r.ScreenToNear(40, 50);
    EXPECT_EQ(g.x, n.x);
    EXPECT_EQ(g.y, n.y);
    EXPECT_EQ(g.z, 0);
    EXPECT_NEAR(n.z, 5, 1e-5);
    // A row below it meets the ground in front of the camera.
    const TXYZ h = r.ScreenToGround(40, 75);
    EXPECT_EQ(h.z, 0);
    EXPECT_GT(h.x, 1);
    EXPECT_EQ(r.WorldToScreen(h).y, 75.0f);
}

TEST(DxRenderer, PixelSizeIsTheGroundSizeOfOnePixel) {
    for (const float ppu : {1.0f, 4.0f, 0.5f}) {
        TRig rig(256, 128);
        PixelOrtho(rig.Renderer, ppu);
        // 0.707 x the diagonal of one pixel.
        EXPECT_NEAR(rig.Renderer.PixelSizeAt(10, 10), 0.707 * std::sqrt(2.0) / ppu, 1e-5) << ppu;
        EXPECT_NEAR(rig.Renderer.PixelSize(), 0.707 * std::sqrt(2.0) / ppu, 1e-5) << ppu;
    }
    // Looking down from 50 m with a 90-degree view 200 pixels wide: 100 m across, half a metre a pixel.
    TRig rig(200, 100);
    LookDown(rig.Renderer, 50);
    EXPECT_NEAR(rig.Renderer.PixelSizeAt(100, 50), 0.707 * std::sqrt(2.0) * 0.5, 1e-4);
}

TEST(DxRenderer, ViewPlaneFacesAlongTheCentreRay) {
    TRig rig(200, 100);
    LookDown(rig.Renderer, 50);
    rig.Renderer.ComputeViewPlane();
    const TDxPlane &pl = rig.Renderer.ViewPlane();
    // Points further from the eye are on the positive side; the eye itself is behind.
    EXPECT_GT(PlaneDistance(pl, {0, 0, 0}), 0);
    EXPECT_LT(PlaneDistance(pl, {0, 0, 50}), 0);
}

TEST(DxRenderer, ImmediateDrawingDrawsNothingBelowItsMinimumAndCountsPrimitives) {
    using TDraw = std::function<void(TdxRenderer &, const TXYZArray &)>;
    struct TCase {
        const char *Name;
        TDraw Draw;
        int Points;
        int Primitives; // -1: nothing drawn
        D3DPRIMITIVETYPE Type;
    };
    const auto vertices = [](TdxRenderer &r, const TXYZArray &p) {
        std::span<TDxVertex> v = r.AllocVertices(p.size());
        for (std::size_t i = 0; i < p.size(); ++i)
            v[i] = {p[i].x, p[i].y, p[i].z, 0xFF000000, 0, 0};
        return v;
    };
    const TCase cases[] = {
        {"points 0", [](TdxRenderer &r, const TXYZArray &p) { r.DrawPoints(p, 1); }, 0, -1, D3DPT_POINTLIST},
        {"points 1", [](TdxRenderer &r, const TXYZArray &p) { r.DrawPoints(p, 1); }, 1, 1, D3DPT_POINTLIST},
        {"polyline 1", [](TdxRenderer &r, const TXYZArray &p) { r.DrawPolyline(p, 1); }, 1, -1,
         D3DPT_LINESTRIP},
        {"polyline 4", [](TdxRenderer &r, const TXYZArray &p) { r.DrawPolyline(p, 1); }, 4, 3,
         D3DPT_LINESTRIP},
        {"lines 1", [](TdxRenderer &r, const TXYZArray &p) { r.DrawLines(p, 1); }, 1, -1, D3DPT_LINELIST},
        {"lines 5", [](TdxRenderer &r, const TXYZArray &p) { r.DrawLines(p, 1); }, 5, 2, D3DPT_LINELIST},
        {"triangles 2", [](TdxRenderer &r, const TXYZArray &p) { r.DrawTriangles(p, 1); }, 2, -1,
         D3DPT_TRIANGLELIST},
        {"triangles 7", [](TdxRenderer &r, const TXYZArray &p) { r.DrawTriangles(p, 1); }, 7, 2,
         D3DPT_TRIANGLELIST},
        {"textured polyline 1",
         [](TdxRenderer &r, const TXYZArray &p) { r.DrawTexturedPolyline(p, 1, 1, false, 0); }, 1, -1,
         D3DPT_LINESTRIP},
        {"wide polyline 1", [](TdxRenderer &r, const TXYZArray &p) { r.DrawWidePolyline(p, 1, 1, -1); }, 1,
         -1, D3DPT_TRIANGLESTRIP},
        {"wide polyline 3", [](TdxRenderer &r, const TXYZArray &p) { r.DrawWidePolyline(p, 1, 1, -1); }, 3, 4,
         D3DPT_TRIANGLESTRIP},
        {"wide textured polyline 2",
         [](TdxRenderer &r, const TXYZArray &p) { r.DrawWideTexturedPolyline(p, 1, 1, true, 1, 0, -1, 1); },
         2, 2, D3DPT_TRIANGLESTRIP},
        {"line list V 1", [&](TdxRenderer &r, const TXYZArray &p) { r.DrawLineListV(vertices(r, p)); }, 1, -1,
         D3DPT_LINELIST},
        {"line list V 3", [&](TdxRenderer &r, const TXYZArray &p) { r.DrawLineListV(vertices(r, p)); }, 3, 1,
         D3DPT_LINELIST},
        {"triangle list V 2",
         [&](TdxRenderer &r, const TXYZArray &p) { r.DrawTriangleListV(vertices(r, p)); }, 2, -1,
         D3DPT_TRIANGLELIST},
        {"triangle strip V 2",
         [&](TdxRenderer &r, const TXYZArray &p) { r.DrawTriangleStripV(vertices(r, p)); }, 2, -1,
         D3DPT_TRIANGLESTRIP},
        {"triangle strip V 5",
         [&](TdxRenderer &r, const TXYZArray &p) { r.DrawTriangleStripV(vertices(r, p)); }, 5, 3,
         D3DPT_TRIANGLESTRIP},
        {"triangle fan V 5", [&](TdxRenderer &r, const TXYZArray &p) { r.DrawTriangleFanV(vertices(r, p)); },
         5, 3, D3DPT_TRIANGLEFAN},
        {"primitive V 0",
         [&](TdxRenderer &r, const TXYZArray &p) {
             r.DrawPrimitiveV(D3DPT_LINELIST, 0, vertices(r, p).data(), sizeof(TDxVertex));
         },
         4, -1, D3DPT_LINELIST},
    };
    for (const TCase &c : cases) {
        TRig rig;
        rig.Renderer.BeginDraw();
        TXYZArray points;
        for (int i = 0; i < c.Points; ++i)
            points.push_back({float(i), float(i * i % 5), 0});
        c.Draw(rig.Renderer, points);
        if (c.Primitives < 0) {
            EXPECT_TRUE(rig.Device->Draws().empty()) << c.Name;
            continue;
        }
        ASSERT_EQ(rig.Device->Draws().size(), 1u) << c.Name;
        const TRecordedDraw &d = rig.Device->Draws()[0];
        EXPECT_EQ(d.Type, c.Type) << c.Name;
        EXPECT_EQ(d.PrimitiveCount, UINT(c.Primitives)) << c.Name;
        EXPECT_EQ(d.Stride, 24u) << c.Name;
        EXPECT_EQ(d.State.FVF, DxVertexFVF) << c.Name;
    }
}

TEST(DxRenderer, PointDrawingGivesEveryVertexThePositionAndColour) {
    TRig rig;
    rig.Renderer.BeginDraw();
    rig.Renderer.DrawTriangles(TXYZArray{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, 0x80112233);
    const auto v = rig.Last();
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[1].X, 4);
    EXPECT_EQ(v[1].Y, 5);
    EXPECT_EQ(v[1].Z, 6);
    for (const TRecordedVertex &x : v) {
        EXPECT_EQ(x.Color, 0x80112233u);
        EXPECT_EQ(x.U, 0);
        EXPECT_EQ(x.V, 0);
    }
}

TEST(DxRenderer, TexturedPolylineSpreadsUAlongTheLength) {
    struct TCase {
        const char *Name;
        TXYZArray Points;
        float Period;
        bool Whole;
        std::vector<float> U;
    };
    const TCase cases[] = {
        {"u is the length over the period", {{0, 0, 0}, {3, 0, 0}, {3, 4, 0}}, 2, false, {0, 1.5f, 3.5f}},
        {"a period of 0 counts as 1", {{0, 0, 0}, {3, 0, 0}, {3, 4, 0}}, 0, false, {0, 3, 7}},
        // 7 / 2 = 3.5 periods round to the even 4 ...
        {"whole periods, 3.5 rounds to 4", {{0, 0, 0}, {3, 0, 0}, {3, 4, 0}}, 2, true, {0, 12.0f / 7, 4}},
        // ... and 5 / 2 = 2.5 to 2.
        {"whole periods, 2.5 rounds to 2", {{0, 0, 0}, {5, 0, 0}}, 2, true, {0, 2}},
        {"a line shorter than half a period carries one", {{0, 0, 0}, {0.5f, 0, 0}}, 2, true, {0, 1}},
        {"the length counts in three dimensions", {{0, 0, 0}, {0, 3, 4}}, 1, false, {0, 5}},
        {"a line of no length", {{1, 1, 0}, {1, 1, 0}}, 2, true, {0, 0}},
    };
    for (const TCase &c : cases) {
        TRig rig;
        rig.Renderer.BeginDraw();
        rig.Renderer.DrawTexturedPolyline(c.Points, 0xFF00FF00, c.Period, c.Whole, 0.25f);
        const auto v = rig.Last();
        ASSERT_EQ(v.size(), c.U.size()) << c.Name;
        for (std::size_t i = 0; i < v.size(); ++i) {
            EXPECT_FLOAT_EQ(v[i].U, c.U[i]) << c.Name << " vertex " << i;
            EXPECT_EQ(v[i].V, 0.25f) << c.Name;
        }
    }
}

TEST(DxRenderer, WidePolylineGivesSideAThenSideBAtEveryPointMitredInside) {
    TRig rig;
    rig.Renderer.BeginDraw();
    // Along x, then a left turn up y: offset +1 lies to the left.
    rig.Renderer.DrawWideTexturedPolyline(TXYZArray{{0, 0, 2}, {10, 0, 2}, {10, 10, 2}}, 0xFF0000FF, 4, false,
                                          1, 0.0f, -1, 1.0f);
    const TRecordedDraw &d = rig.Device->Draws().back();
    EXPECT_EQ(d.Type, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(d.PrimitiveCount, 4u);
    const auto v = d.Vertices();
    ASSERT_EQ(v.size(), 6u);
    struct TExpected {
        float X, Y, U, V;
    } const expected[] = {
        {0, 1, 0, 0}, {0, -1, 0, 1}, {9, 1, 2.5f, 0}, {11, -1, 2.5f, 1}, {9, 10, 5, 0}, {11, 10, 5, 1},
    };
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(v[i].X, expected[i].X) << i;
        EXPECT_FLOAT_EQ(v[i].Y, expected[i].Y) << i;
        EXPECT_EQ(v[i].Z, 2) << i;
        EXPECT_FLOAT_EQ(v[i].U, expected[i].U) << i;
        EXPECT_EQ(v[i].V, expected[i].V) << i;
        EXPECT_EQ(v[i].Color, 0xFF0000FFu);
    }
}

TEST(DxRenderer, WidePolylineOfRepeatedPointsHasNoNaN) {
    for (const TXYZArray &points :
         {TXYZArray{{1, 1, 0}, {1, 1, 0}}, TXYZArray{{1, 1, 0}, {1, 1, 0}, {5, 1, 0}},
          TXYZArray{{0, 0, 0}, {4, 0, 0}, {4, 0, 0}}}) {
        TRig rig;
        rig.Renderer.BeginDraw();
        rig.Renderer.DrawWidePolyline(points, 1, 0.5f, -0.5f);
        for (const TRecordedVertex &v : rig.Last()) {
            EXPECT_TRUE(std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z));
        }
    }
    // The end on a repeated point takes the direction of the segment next to it.
    TRig rig;
    rig.Renderer.BeginDraw();
    rig.Renderer.DrawWidePolyline(TXYZArray{{1, 1, 0}, {1, 1, 0}, {5, 1, 0}}, 1, 0.5f, -0.5f);
    const auto v = rig.Last();
    EXPECT_FLOAT_EQ(v[0].Y, 1.5f);
    EXPECT_FLOAT_EQ(v[1].Y, 0.5f);
}

TEST(DxRenderer, BeginDrawSetsTheFrameStatesAndAmbientLastsUntilTheNextFrame) {
    TRig rig;
    TdxRenderer &r = rig.Renderer;
    r.BeginDraw();
    r.SetAmbient(0xFF808080);
    r.DrawPoints(TXYZArray{{0, 0, 0}}, 1);
    r.DrawPoints(TXYZArray{{0, 0, 0}}, 1);
    r.EndDraw();
    r.BeginDraw();
    r.DrawPoints(TXYZArray{{0, 0, 0}}, 1);
    r.EndDraw();
    const auto &d = rig.Device->Draws();
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0].State.Ambient, 0xFF808080u);
    EXPECT_EQ(d[1].State.Ambient, 0xFF808080u);
    EXPECT_EQ(d[2].State.Ambient, 0xFFFFFFFFu);
    EXPECT_EQ(d[2].State.CullMode, D3DCULL_NONE);
    EXPECT_EQ(d[2].State.ZEnable, D3DZB_FALSE);
    EXPECT_EQ(d[2].State.AmbientMaterialSource, D3DMCS_COLOR1);
    EXPECT_FALSE(rig.Device->InScene());
}

TEST(DxRenderer, ScratchVerticesAreZeroedAndLastUntilTheNextFrame) {
    TRig rig;
    TdxRenderer &r = rig.Renderer;
    r.BeginDraw();
    std::span<TDxVertex> a = r.AllocVertices(3);
    a[0].x = 7;
    // A request larger than a block gets a block of its own; the first array is untouched.
    std::span<TDxVertex> big = r.AllocVertices(100000);
    std::span<TDxVertex> b = r.AllocVertices(2);
    EXPECT_EQ(a[0].x, 7);
    EXPECT_NE(a.data(), b.data());
    for (const TDxVertex &v : big)
        ASSERT_EQ(v.color, 0u);
    b[1].color = 5;
    r.EndDraw();
    r.BeginDraw();
    std::span<TDxVertex> c = r.AllocVertices(4);
    for (const TDxVertex &v : c) {
        EXPECT_EQ(v.x, 0);
        EXPECT_EQ(v.color, 0u);
    }
    EXPECT_TRUE(r.AllocVertices(0).empty());
}

TEST(DxRenderer, StippleMaskInvertsTheStencilWithLinesThenPassesWhereItIsZero) {
    TRig rig(8, 6);
    TdxRenderer &r = rig.Renderer;
    r.BeginDraw();
    r.Projection().Translate(true, 3, 0, 0);
    const TDxMatrix before = r.Projection().GetMatrix();
    r.BeginStippleMask();
    ASSERT_EQ(rig.Device->Draws().size(), 1u);
    const TRecordedDraw &lines = rig.Device->Draws()[0];
    EXPECT_EQ(lines.Type, D3DPT_LINELIST);
    // Vertical lines x = 2i for i = -4 .. 4 and horizontal ones y = 2j for j = -3 .. 3.
    EXPECT_EQ(lines.PrimitiveCount, 9u + 7u);
    EXPECT_EQ(lines.State.ColorWriteEnable, 0u);
    EXPECT_EQ(lines.State.StencilEnable, 1u);
    EXPECT_EQ(lines.State.StencilFunc, D3DCMP_ALWAYS);
    EXPECT_EQ(lines.State.StencilPass, D3DSTENCILOP_INVERT);
    EXPECT_EQ(lines.State.StencilWriteMask, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(lines.State.Projection.m[0][0], 2.0f / 8);
    EXPECT_FLOAT_EQ(lines.State.Projection.m[1][1], 2.0f / 6);
    EXPECT_EQ(lines.State.Projection.m[3][0], 0.0f);
    const TDeviceState &s = rig.Device->State();
    EXPECT_EQ(s.StencilWriteMask, 0u);
    EXPECT_EQ(s.StencilFunc, D3DCMP_EQUAL);
    EXPECT_EQ(s.StencilRef, 0u);
    EXPECT_EQ(s.StencilPass, D3DSTENCILOP_KEEP);
    EXPECT_EQ(s.ColorWriteEnable, 0xFu);
    EXPECT_EQ(r.Projection().GetMatrix(), before);
    EXPECT_EQ(r.Projection().StackTop(), -1);
    r.EndStippleMask();
    EXPECT_EQ(rig.Device->State().StencilEnable, 0u);
}

TEST(DxRenderer, ClearAsksForTheChosenBuffersOnly) {
    struct TCase {
        bool Target, Stencil, Z;
        DWORD Flags; // 0: no call
    } const cases[] = {
        {true, false, false, D3DCLEAR_TARGET},
        {true, true, true, D3DCLEAR_TARGET | D3DCLEAR_STENCIL | D3DCLEAR_ZBUFFER},
        {false, true, false, D3DCLEAR_STENCIL},
        {false, false, false, 0},
    };
    for (const TCase &c : cases) {
        TRig rig;
        rig.Renderer.BeginDraw();
        rig.Device->ClearRecord();
        rig.Renderer.Clear(0xFF102030, c.Target, c.Stencil, c.Z);
        if (c.Flags == 0) {
            EXPECT_TRUE(rig.Device->Calls().empty());
            continue;
        }
        ASSERT_EQ(rig.Device->Calls().size(), 1u);
        const TRecordedCall &call = rig.Device->Calls()[0];
        EXPECT_EQ(call.Type, c.Flags);
        EXPECT_EQ(call.Value, 0xFF102030u);
        EXPECT_EQ(call.Z, 1.0f);
        EXPECT_EQ(call.Extra, 0u);
    }
}

TEST(DxRenderer, DeviceFailuresReachTheCallerNamingTheCall) {
    struct TCase {
        TDeviceCall Call;
        std::function<void(TdxRenderer &)> Do;
        const char *Name;
    };
    const TCase cases[] = {
        {TDeviceCall::BeginScene, [](TdxRenderer &r) { r.BeginDraw(); }, "IDirect3DDevice9.BeginScene"},
        {TDeviceCall::Clear, [](TdxRenderer &r) { r.Clear(0, true, false, false); },
         "IDirect3DDevice9.Clear"},
        {TDeviceCall::EndScene,
         [](TdxRenderer &r) {
             r.BeginDraw();
             r.EndDraw();
         },
         "IDirect3DDevice9.EndScene"},
    };
    for (const TCase &c : cases) {
        TRig rig;
        rig.Device->FailNext(c.Call, D3DERR_DEVICELOST);
        try {
            c.Do(rig.Renderer);
            ADD_FAILURE() << c.Name << " did not fail";
        } catch (const ED3DError &e) {
            EXPECT_EQ(e.Call(), c.Name);
            EXPECT_EQ(e.Result(), D3DERR_DEVICELOST);
        }
    }
    TRig rig;
    rig.Device->FailNext(TDeviceCall::Present, D3DERR_DEVICELOST);
    EXPECT_EQ(rig.Renderer.Present(), D3DERR_DEVICELOST);
    EXPECT_EQ(rig.Renderer.Present(), D3D_OK);
    EXPECT_EQ(DeviceCreateFailedText(D3DERR_NOTAVAILABLE), "dx9_dev create failed: -2005530518");
}

TEST(DxRenderer, SetTextureNoneEmptiesTheStageAndStopsBlending) {
    TRig rig;
    TTextureSurface surface;
    surface.Assign(TBitmap(2, 2, TPixelFormat::pf24bit));
    rig.Renderer.SetTexture(&surface);
    EXPECT_NE(rig.Device->State().Texture, nullptr);
    EXPECT_EQ(rig.Device->State().AlphaBlendEnable, 1u);
    rig.Renderer.SetTexture(nullptr);
    EXPECT_EQ(rig.Device->State().Texture, nullptr);
    EXPECT_EQ(rig.Device->State().AlphaBlendEnable, 0u);
}

TEST(DxRenderer, ARendererThatGoesTakesOnlyItsOwnDevicesTexturesWithIt) {
    TTextureSurface surface;
    surface.Assign(TBitmap(2, 2, TPixelFormat::pf24bit));
    auto first = std::make_unique<TRig>();
    TRig second;
    surface.Apply(first->Renderer);
    surface.Apply(second.Renderer);
    EXPECT_EQ(surface.DeviceTextureCount(), 2);
    const IDirect3DDevice9 *firstDevice = first->Device.get();
    first.reset();
    EXPECT_EQ(surface.DeviceTextureCount(), 1);
    EXPECT_EQ(surface.DeviceTexture(firstDevice), nullptr);
    EXPECT_NE(surface.DeviceTexture(second.Device.get()), nullptr);
}

TEST(DxRenderer, SurfaceRendererCopiesTheImageInto24Bits) {
    auto device = std::make_shared<TRecordingDevice>(5, 3);
    TSurfaceRenderer r(device);
    r.BeginDraw();
    r.Clear(0xFF123456, true, false, false);
    r.EndDraw();
    TBitmap bitmap(1, 1, TPixelFormat::pf8bit);
    r.CopyToBitmap(bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(bitmap.Pixel(4, 2), 0xFF123456u);
    EXPECT_FALSE(device->InScene());
}

TEST(DxRenderer, ColourHelpers) {
    EXPECT_EQ(MakeD3DColor(0x12, 0x34, 0x56, 0x78), 0x78123456u);
    EXPECT_EQ(D3DColorToStr(0x00FF0A05), "rFFg Ab 5");
    EXPECT_EQ(D3DColorToStr(0xFF000000), "r 0g 0b 0");
    std::vector<TDxVertex> v(4);
    SetVerticesColor(v, 0xFF00FF00, 3);
    EXPECT_EQ(v[2].color, 0xFF00FF00u);
    EXPECT_EQ(v[3].color, 0u);
    SetVerticesColor(v, 1, 99);
    EXPECT_EQ(v[3].color, 1u);
}

} // namespace
