// The screen overlay over a recording device: the pixel projection, markers at the viewport's edges,
// segments that cross the view, wide segments, dashes (and periods that cannot be drawn), the two batches
// and whom they belong to, and textured patches.
#include "engine/DxOverlay.h"
#include "engine/DxTexture.h"
#include "platform/d3d9/RecordingDevice.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace {

struct TRig {
    std::shared_ptr<TRecordingDevice> Device;
    TDisplayRenderer Renderer;
    TDxDrawParams Params;

    explicit TRig(int w = 200, int h = 100)
        : Device(std::make_shared<TRecordingDevice>(w, h)), Renderer(Device) {
        Params.Renderer = &Renderer;
        Renderer.BeginDraw();
        // World units are window pixels: the same projection the overlay puts on the device.
        TDxMatrix m{};
        m.m[0][0] = 2.0f / float(w);
        m.m[1][1] = -2.0f / float(h);
        m.m[2][2] = 1;
        m.m[3][0] = -1;
        m.m[3][1] = 1;
        m.m[3][3] = 1;
        Renderer.Projection().SetMatrix(m);
        Device->ClearRecord();
    }
    const std::vector<TRecordedDraw> &Draws() const { return Device->Draws(); }
};

TEST(DxOverlay, BeginScreenPutsAPixelProjectionOnTheDeviceOnly) {
    TRig rig(200, 100);
    rig.Renderer.View().Translate(true, 5, 6, 0);
    const TDxMatrix viewBefore = rig.Renderer.View().GetMatrix();
    rig.Device->ClearRecord();
    DxOverlayBeginScreen(rig.Params);
    EXPECT_EQ(rig.Renderer.View().GetMatrix(), viewBefore);
    bool sawProjection = false;
    for (const TRecordedCall &c : rig.Device->Calls()) {
        if (c.Call != TDeviceCall::SetTransform)
            continue;
        if (c.Type == D3DTS_PROJECTION) {
            sawProjection = true;
            // Pixel (50, 25) lands at device (-0.5, 0.5); pixel (200, 100) at (1, -1).
            const float *m = &c.Matrix.m[0][0];
            EXPECT_FLOAT_EQ(50 * m[0] + m[12], -0.5f);
            EXPECT_FLOAT_EQ(25 * m[5] + m[13], 0.5f);
            EXPECT_FLOAT_EQ(200 * m[0] + m[12], 1);
            EXPECT_FLOAT_EQ(100 * m[5] + m[13], -1);
        } else {
            D3DMATRIX identity{};
            for (int i = 0; i < 4; ++i)
                identity.m[i][i] = 1;
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j)
                    EXPECT_EQ(c.Matrix.m[i][j], identity.m[i][j]);
        }
    }
    EXPECT_TRUE(sawProjection);
}

TEST(DxOverlay, MarkersAreDrawnOnlyInsideTheClosedViewport) {
    struct TCase {
        TXYZ P;
        bool Drawn;
    } const cases[] = {
        {{200, 50, 0}, true},  // on the right edge
        {{201, 50, 0}, false}, // one pixel beyond it
        {{0, 0, 0}, true},     // the top-left corner
        {{-1, 0, 0}, false},   {{100, 100, 0}, true}, {{100, 101, 0}, false},
    };
    for (const TCase &c : cases) {
        TRig rig;
        DxOverlayDrawCross(rig.Params, c.P, 3);
        DxOverlayDrawSquare(rig.Params, c.P, true, 3);
        DxOverlayDrawSquare(rig.Params, c.P, false, 3);
        EXPECT_EQ(DxOverlayPendingLines(rig.Params), c.Drawn ? 4u + 8u : 0u) << c.P.x << "," << c.P.y;
        EXPECT_EQ(DxOverlayPendingTriangles(rig.Params), c.Drawn ? 6u : 0u) << c.P.x << "," << c.P.y;
    }
}

TEST(DxOverlay, CrossAndSquareAreCentredOnThePixelInTheOverlayColour) {
    TRig rig;
    DxOverlayColor = MakeD3DColor(0, 255, 0, 255);
    DxOverlayDrawCross(rig.Params, {40, 30, 0}, 5);
    DxOverlayDrawSquare(rig.Params, {40, 30, 0}, true, 2);
    DxOverlayFlush(rig.Params);
    DxOverlayColor = MakeD3DColor(255, 0, 0, 255);
    ASSERT_EQ(rig.Draws().size(), 2u);
    EXPECT_EQ(rig.Draws()[0].Type, D3DPT_LINELIST);
    EXPECT_EQ(rig.Draws()[1].Type, D3DPT_TRIANGLELIST);
    const std::vector<TRecordedVertex> lines = rig.Draws()[0].Vertices();
    const float want[4][2] = {{35, 30}, {45, 30}, {40, 25}, {40, 35}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].X, want[i][0]);
        EXPECT_EQ(lines[i].Y, want[i][1]);
        EXPECT_EQ(lines[i].Color, MakeD3DColor(0, 255, 0, 255));
    }
    const std::vector<TRecordedVertex> tris = rig.Draws()[1].Vertices();
    const float corners[6][2] = {{38, 28}, {42, 28}, {42, 32}, {38, 32}, {38, 28}, {42, 32}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(tris[i].X, corners[i][0]);
        EXPECT_EQ(tris[i].Y, corners[i][1]);
    }
    // Flushed batches are forgotten.
    rig.Device->ClearRecord();
    DxOverlayFlush(rig.Params);
    EXPECT_TRUE(rig.Draws().empty());
}

TEST(DxOverlay, SegmentsCrossingTheViewAreDrawnAndWideOnesGetAQuad) {
    struct TCase {
        const char *Name;
        TXYZ A, B;
        float Width;
        std::size_t Lines, Triangles;
    } const cases[] = {
        {"left of the view to right of it", {-50, 50, 0}, {300, 50, 0}, 1, 2, 0},
        {"wholly left", {-50, 10, 0}, {-10, 90, 0}, 1, 0, 0},
        {"wholly below", {10, 120, 0}, {190, 101, 0}, 1, 0, 0},
        {"width 1 is one line", {10, 10, 0}, {50, 10, 0}, 1, 2, 0},
        {"width 1.5 adds a quad", {10, 10, 0}, {50, 10, 0}, 1.5f, 2, 6},
        {"a point has no direction for a quad", {10, 10, 0}, {10, 10, 0}, 4, 2, 0},
    };
    for (const TCase &c : cases) {
        TRig rig;
        DxOverlayDrawSegment(rig.Params, c.A, c.B, c.Width);
        EXPECT_EQ(DxOverlayPendingLines(rig.Params), c.Lines) << c.Name;
        EXPECT_EQ(DxOverlayPendingTriangles(rig.Params), c.Triangles) << c.Name;
    }
    TRig rig;
    DxOverlayDrawSegment(rig.Params, {10, 10, 0}, {50, 10, 0}, 4);
    DxOverlayFlush(rig.Params);
    const std::vector<TRecordedVertex> q = rig.Draws().back().Vertices();
    ASSERT_EQ(q.size(), 6u);
    // 2 pixels either side of the line, no NaN anywhere.
    for (const TRecordedVertex &v : q) {
        EXPECT_TRUE(v.Y == 8 || v.Y == 12) << v.Y;
        EXPECT_TRUE(v.X == 10 || v.X == 50) << v.X;
    }
}

TEST(DxOverlay, PolylineDrawsEachConsecutivePair) {
    TRig rig;
    const TXYZ pts[] = {{10, 10, 0}, {20, 10, 0}, {20, 20, 0}, {10, 20, 0}};
    DxOverlayDrawPolyline(rig.Params, pts, 1);
    EXPECT_EQ(DxOverlayPendingLines(rig.Params), 6u);
    DxOverlayFlush(rig.Params);
    ASSERT_EQ(rig.Draws().size(), 1u);
    ASSERT_EQ(rig.Draws()[0].Type, D3DPT_LINELIST);
    const std::vector<TRecordedVertex> v = rig.Draws()[0].Vertices();
    ASSERT_EQ(v.size(), 6u);
    // Line i runs from point i to point i + 1; the last point does not close back to the first.
    for (std::size_t i = 0; i < v.size(); ++i) {
        const TXYZ &want = pts[i / 2 + i % 2];
        EXPECT_EQ(v[i].X, want.x) << "vertex " << i;
        EXPECT_EQ(v[i].Y, want.y) << "vertex " << i;
    }
}

TEST(DxOverlay, DashesStartHalfAGapInAndImpossiblePeriodsDrawNothing) {
    {
        TRig rig;
        DxOverlayDrawDashedSegment(rig.Params, {0, 50, 0}, {31, 50, 0}, 2, 10, 5);
        ASSERT_EQ(rig.Draws().size(), 1u);
        const std::vector<TRecordedVertex> v = rig.Draws()[0].Vertices();
        ASSERT_EQ(v.size(), 12u);
        EXPECT_FLOAT_EQ(v[0].X, 2.5f);
        EXPECT_FLOAT_EQ(v[2].X, 12.5f);
        EXPECT_FLOAT_EQ(v[6].X, 17.5f);
        EXPECT_FLOAT_EQ(v[8].X, 27.5f);
        for (const TRecordedVertex &x : v)
            EXPECT_TRUE(x.Y == 49 || x.Y == 51) << x.Y;
        EXPECT_EQ(DxOverlayPendingTriangles(rig.Params), 0u); // drawn at once, not batched
    }
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    struct TCase {
        const char *Name;
        TXYZ B;
        float Width, Dash, Gap;
    } const none[] = {
        {"more than 1000 periods", {3003, 50, 0}, 1, 2, 1},
        {"dash plus gap 0", {100, 50, 0}, 1, 0, 0},
        {"negative period", {100, 50, 0}, 1, -10, 5},
        {"infinite dash", {100, 50, 0}, 1, inf, 5},
        {"NaN gap", {100, 50, 0}, 1, 5, nan},
        {"NaN width", {100, 50, 0}, nan, 5, 5},
        {"zero length", {0, 50, 0}, 1, 5, 5},
        {"shorter than half a period", {7, 50, 0}, 1, 10, 5},
    };
    for (const TCase &c : none) {
        TRig rig;
        DxOverlayDrawDashedSegment(rig.Params, {0, 50, 0}, c.B, c.Width, c.Dash, c.Gap);
        EXPECT_TRUE(rig.Draws().empty()) << c.Name;
    }
}

TEST(DxOverlay, FullBatchesAreDrawnAndLongListsGoAtOnce) {
    TRig rig;
    std::vector<TXYZ> pts(100, TXYZ{1, 2, 0});
    DxOverlayAddLines(rig.Params, pts);
    pts.assign(2000, TXYZ{3, 4, 0});
    DxOverlayAddLines(rig.Params, pts);
    ASSERT_EQ(rig.Draws().size(), 1u);
    EXPECT_EQ(rig.Draws()[0].VertexCount, 100u);
    EXPECT_EQ(DxOverlayPendingLines(rig.Params), 2000u);

    pts.assign(DxOverlayBatchVertices + 1, TXYZ{5, 6, 0});
    DxOverlayAddTriangles(rig.Params, pts);
    ASSERT_EQ(rig.Draws().size(), 2u);
    EXPECT_EQ(rig.Draws()[1].VertexCount, DxOverlayBatchVertices + 1);
    EXPECT_EQ(rig.Draws()[1].Type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(DxOverlayPendingLines(rig.Params), 2000u);
    EXPECT_EQ(DxOverlayPendingTriangles(rig.Params), 0u);

    DxOverlayFlush(rig.Params);
    ASSERT_EQ(rig.Draws().size(), 3u);
    const std::vector<TRecordedVertex> v = rig.Draws()[2].Vertices();
    ASSERT_EQ(v.size(), 2000u);
    EXPECT_EQ(v[0].X, 3);
    EXPECT_EQ(v[1999].Y, 4);
}

TEST(DxOverlay, PendingVerticesBelongToTheirRendererAndFrame) {
    // A batch left unflushed is forgotten by the renderer's next BeginDraw: its arrays are gone.
    TRig rig;
    const TXYZ line[2] = {{1, 1, 0}, {9, 9, 0}};
    DxOverlayAddLines(rig.Params, line);
    rig.Renderer.EndDraw();
    rig.Renderer.BeginDraw();
    rig.Device->ClearRecord();
    EXPECT_EQ(DxOverlayPendingLines(rig.Params), 0u);
    DxOverlayFlush(rig.Params);
    EXPECT_TRUE(rig.Draws().empty());
    DxOverlayAddLines(rig.Params, line);
    DxOverlayFlush(rig.Params);
    ASSERT_EQ(rig.Draws().size(), 1u);
    EXPECT_EQ(rig.Draws()[0].VertexCount, 2u);

    // Two renderers drawing overlays in turn keep their vertices apart.
    TRig a, b;
    const TXYZ la[2] = {{1, 1, 0}, {2, 2, 0}};
    const TXYZ lb[4] = {{7, 7, 0}, {8, 8, 0}, {7, 8, 0}, {8, 7, 0}};
    DxOverlayAddLines(a.Params, la);
    DxOverlayAddLines(b.Params, lb);
    DxOverlayFlush(a.Params);
    ASSERT_EQ(a.Draws().size(), 1u);
    EXPECT_EQ(a.Draws()[0].Vertices()[0].X, 1);
    EXPECT_EQ(a.Draws()[0].VertexCount, 2u);
    EXPECT_TRUE(b.Draws().empty());
    DxOverlayFlush(b.Params);
    ASSERT_EQ(b.Draws().size(), 1u);
    EXPECT_EQ(b.Draws()[0].VertexCount, 4u);
    EXPECT_EQ(b.Draws()[0].Vertices()[0].X, 7);
}

TEST(DxOverlay, RendererMadeWhereAnOldOneLivedDoesNotInheritItsBatch) {
    const TXYZ line[2] = {{1, 1, 0}, {9, 9, 0}};
    auto device = std::make_shared<TRecordingDevice>(100, 100);
    {
        auto old = std::make_unique<TDisplayRenderer>(device);
        TDxDrawParams p{old.get(), {}, 0};
        DxOverlayAddLines(p, line);
    }
    auto fresh = std::make_unique<TDisplayRenderer>(device);
    TDxDrawParams p{fresh.get(), {}, 0};
    device->ClearRecord();
    EXPECT_EQ(DxOverlayPendingLines(p), 0u);
    DxOverlayFlush(p);
    EXPECT_TRUE(device->Draws().empty());
}

TEST(DxOverlay, TexturedPatchHasOneTexelPerPixelFromItsTopLeft) {
    TRig rig;
    TTextureSurface texture;
    texture.Assign(TBitmap(8, 4, TPixelFormat::pf24bit));
    const TXYZ tri[3] = {{20, 30, 0}, {36, 30, 0}, {20, 38, 0}};
    DxOverlayDrawTexturedPolygon(rig.Params, tri, texture);
    ASSERT_FALSE(rig.Draws().empty());
    const std::vector<TRecordedVertex> v = rig.Draws().back().Vertices();
    ASSERT_EQ(v.size(), 3u);
    EXPECT_FLOAT_EQ(v[0].U, 0);
    EXPECT_FLOAT_EQ(v[0].V, 0);
    EXPECT_FLOAT_EQ(v[1].U, 2);
    EXPECT_FLOAT_EQ(v[2].V, 2);
    EXPECT_EQ(v[0].Color, 0u);
    // The texture is taken off again after the draw.
    bool takenOff = false, afterDraw = false;
    for (const TRecordedCall &c : rig.Device->Calls()) {
        afterDraw = afterDraw || c.Call == TDeviceCall::DrawPrimitiveUP;
        takenOff = takenOff || (afterDraw && c.Call == TDeviceCall::SetTexture && c.Texture == nullptr);
    }
    EXPECT_TRUE(takenOff);
}

} // namespace
