// Exact pixels through the renderer on the GL device: a textured quad with colour-key transparency copied
// into a 24-bit bitmap, the stencil screen-door, and retained batches with a layer filtered out.
#include "engine/DxDraw.h"
#include "engine/DxRenderer.h"
#include "engine/DxTexture.h"
#include "platform/d3d9/GLDevice.h"
#include "platform/gdi/Bitmap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One unit a pixel, origin at the top-left pixel's centre, y down.
TDxMatrix PixelProjection(int w, int h) {
    TDxMatrix m{};
    m.m[0][0] = 2.0f / float(w);
    m.m[1][1] = -2.0f / float(h);
    m.m[2][2] = 1;
    m.m[3][0] = -1;
    m.m[3][1] = 1;
    m.m[3][3] = 1;
    return m;
}

// '#' where the pixel (0xRRGGBB) has the colour, '.' elsewhere; rows joined by '|'.
std::string Mask(const std::vector<uint32_t> &pixels, int w, int h, uint32_t rgb) {
    std::string s;
    for (int y = 0; y < h; ++y) {
        if (y)
            s += '|';
        for (int x = 0; x < w; ++x)
            s += pixels[static_cast<std::size_t>(y) * w + x] == rgb ? '#' : '.';
    }
    return s;
}

std::vector<uint32_t> ReadBack(IDirect3DDevice9 &device, int w, int h) {
    std::vector<uint8_t> rows(static_cast<std::size_t>(w) * h * 4);
    device.GetRenderTargetData(rows.data(), w * 4);
    std::vector<uint32_t> px(static_cast<std::size_t>(w) * h);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = rows[i * 4] | rows[i * 4 + 1] << 8 | rows[i * 4 + 2] << 16;
    return px;
}

TEST(DxRendererGL, TexturedQuadShowsTheBackgroundThroughTheKeyAndCopiesInto24Bits) {
    constexpr int W = 4, H = 4;
    // Texels: white (the key) on the diagonal, colours elsewhere, every row different.
    const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808000};
    TBitmap picture(W, H, TPixelFormat::pf24bit);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            picture.SetPixel(x, y, 0xFF000000 | (x == y ? 0xFFFFFF : colours[(x + y) % 4]));
    TTextureSurface texture;
    texture.MinFilter = texture.MagFilter = 0;
    texture.Assign(picture);

    TSurfaceRenderer r(W, H);
    r.BeginDraw();
    r.Clear(0xFF204060, true, false, false);
    r.Projection().SetMatrix(PixelProjection(W, H));
    r.SetTexture(&texture);
    std::span<TDxVertex> v = r.AllocVertices(6);
    const TDxVertex tl{-0.5f, -0.5f, 0.5f, 0xFFFFFFFF, 0, 0}, tr{3.5f, -0.5f, 0.5f, 0xFFFFFFFF, 1, 0},
        bl{-0.5f, 3.5f, 0.5f, 0xFFFFFFFF, 0, 1}, br{3.5f, 3.5f, 0.5f, 0xFFFFFFFF, 1, 1};
    v[0] = tl, v[1] = tr, v[2] = bl, v[3] = tr, v[4] = br, v[5] = bl;
    r.DrawTriangleListV(v);
    r.SetTexture(nullptr);
    r.EndDraw();

    TBitmap out;
    r.CopyToBitmap(out);
    ASSERT_EQ(out.PixelFormat(), TPixelFormat::pf24bit);
    ASSERT_EQ(out.Width(), W);
    ASSERT_EQ(out.Height(), H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint32_t want = x == y ? 0x204060 : colours[(x + y) % 4];
            EXPECT_EQ(out.Pixel(x, y) & 0xFFFFFF, want) << x << ", " << y;
            // 24-bit rows hold B, G, R.
            const uint8_t *p = out.ScanLine(y) + 3 * x;
            EXPECT_EQ(uint32_t(p[0] | p[1] << 8 | p[2] << 16), want) << x << ", " << y;
        }
}

TEST(DxRendererGL, StippleMaskLetsTheCheckerboardThrough) {
    constexpr int W = 8, H = 6;
    TDisplayRenderer r(CreateOffscreenDevice(W, H, true));
    r.BeginDraw();
    r.Clear(0xFF000000, true, true, false);
    r.BeginStippleMask();
    r.Projection().SetMatrix(PixelProjection(W, H));
    r.DrawTriangles(
        TXYZArray{{-1, -1, 0.5f}, {W, -1, 0.5f}, {-1, H, 0.5f}, {W, -1, 0.5f}, {W, H, 0.5f}, {-1, H, 0.5f}},
        0xFFFFFFFF);
    r.EndStippleMask();
    // Afterwards everything is drawn again.
    r.DrawPoints(TXYZArray{{0, 0, 0.5f}}, 0xFFFF0000);
    r.EndDraw();
    const auto px = ReadBack(r.Device(), W, H);
    // Relative to the centre pixel (4, 3): x - 4 and y - 3 both even or both odd.
    EXPECT_EQ(Mask(px, W, H, 0xFFFFFF), ".#.#.#.#|#.#.#.#.|.#.#.#.#|#.#.#.#.|.#.#.#.#|#.#.#.#.");
    EXPECT_EQ(px[0], 0xFF0000u);
}

TEST(DxRendererGL, RetainedBatchesDrawTheirVisibleLayers) {
    constexpr int W = 8, H = 8;
    TSurfaceRenderer r(W, H);
    TDxLineCollection lines;
    TDxTriangleCollection triangles;
    lines.SetLayerMask(1);
    lines.SetColor(0xFF00FF00);
    DxAddPolyline(lines, 1, TXYZArray{{1, 1, 0.5f}, {5, 1, 0.5f}, {5, 5, 0.5f}});
    // A red square of technical details (layer 2) under the lines.
    triangles.SetLayerMask(2);
    triangles.SetColor(0xFFFF0000);
    DxAddQuadsA(triangles, 2, {{2, 2, 0.5f}, {4, 2, 0.5f}, {2, 4, 0.5f}, {4, 4, 0.5f}});

    for (const uint32_t mask : {1u, 3u}) {
        r.BeginDraw();
        r.Clear(0xFF000000, true, false, false);
        r.Projection().SetMatrix(PixelProjection(W, H));
        const TDxDrawParams params{&r, {4, 4, 0}, 10};
        triangles.SetLayerMask(mask);
        lines.SetLayerMask(mask);
        triangles.Draw(params);
        lines.Draw(params);
        r.EndDraw();
        const auto px = ReadBack(r.Device(), W, H);
        EXPECT_EQ(Mask(px, W, H, 0x00FF00),
                  "........|.#####..|.....#..|.....#..|.....#..|.....#..|........|........")
            << mask;
        EXPECT_EQ(Mask(px, W, H, 0xFF0000), mask == 1
                                                ? "........|........|........|........|........|........|"
                                                  "........|........"
                                                : "........|........|..##....|..##....|........|........|"
                                                  "........|........")
            << mask;
    }
}

} // namespace
