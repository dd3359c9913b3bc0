// Exact pixels of small targets drawn through the GL device: primitive types, the pixel-centre
// convention, lighting, blending, write masks, texture stage operations, sampling, the stencil
// screen-door and the read-back layout.
#include "platform/d3d9/GLDevice.h"
#include "platform/d3d9/D3DError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QOpenGLWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

struct TVertex {
    float X, Y, Z;
    D3DCOLOR Color;
    float U, V;
};
static_assert(sizeof(TVertex) == 24);

constexpr DWORD Fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr D3DCOLOR White = 0xFFFFFFFF, Red = 0xFFFF0000, Blue = 0xFF0000FF, Black = 0xFF000000;

// One unit is one pixel, origin at the top-left pixel's centre, y down: Direct3D's screen space.
D3DMATRIX PixelProjection(int w, int h) {
    D3DMATRIX m{};
    m.m[0][0] = 2.0f / w;
    m.m[1][1] = -2.0f / h;
    m.m[2][2] = 1.0f;
    m.m[3][0] = -1.0f;
    m.m[3][1] = 1.0f;
    m.m[3][3] = 1.0f;
    return m;
}

TVertex V(float x, float y, D3DCOLOR c = White, float u = 0, float v = 0) {
    return {x, y, 0.5f, c, u, v};
}

class TTarget {
public:
    TTarget(int w, int h, bool stencil = false) : W(w), H(h), Device(CreateOffscreenDevice(w, h, stencil)) {
        Device->SetFVF(Fvf);
        Device->SetRenderState(D3DRS_AMBIENT, White);
        Device->SetTransform(D3DTS_PROJECTION, PixelProjection(w, h));
    }

    void Begin(D3DCOLOR clear = Black) {
        Device->BeginScene();
        Device->Clear(D3DCLEAR_TARGET, clear, 1.0f, 0);
    }

    void Draw(D3DPRIMITIVETYPE type, UINT count, const std::vector<TVertex> &v) {
        Device->DrawPrimitiveUP(type, count, v.data(), sizeof(TVertex));
    }

    // Ends the scene and reads the image: 0xRRGGBB per pixel, row by row from the top.
    void End() {
        Device->EndScene();
        std::vector<uint8_t> rows(static_cast<std::size_t>(W) * H * 4);
        Device->GetRenderTargetData(rows.data(), W * 4);
        Pixels.assign(static_cast<std::size_t>(W) * H, 0);
        for (int i = 0; i < W * H; ++i)
            Pixels[i] = rows[i * 4] | rows[i * 4 + 1] << 8 | rows[i * 4 + 2] << 16;
    }

    uint32_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * W + x]; }

    // '#' where the pixel has the colour, '.' elsewhere; one string per row, joined by '|'.
    std::string Mask(uint32_t rgb) const {
        std::string s;
        for (int y = 0; y < H; ++y) {
            if (y)
                s += '|';
            for (int x = 0; x < W; ++x)
                s += At(x, y) == (rgb & 0xFFFFFF) ? '#' : '.';
        }
        return s;
    }

    int W, H;
    std::shared_ptr<IDirect3DDevice9> Device;
    std::vector<uint32_t> Pixels;
};

struct TPrimitiveCase {
    const char *Name;
    D3DPRIMITIVETYPE Type;
    UINT Count;
    std::vector<TVertex> Vertices;
    const char *Expected;
};

TEST(GLDevice, EveryPrimitiveTypeAtItsMinimumCountLightsTheExpectedPixels) {
    const std::vector<TPrimitiveCase> cases = {
        {"point",
         D3DPT_POINTLIST,
         1,
         {V(2, 3)},
         "........|........|........|..#.....|........|........|........|........"},
        // Lines light their first and their last pixel.
        {"line list",
         D3DPT_LINELIST,
         1,
         {V(1, 1), V(5, 1)},
         "........|.#####..|........|........|........|........|........|........"},
        {"line strip",
         D3DPT_LINESTRIP,
         1,
         {V(6, 2), V(6, 6)},
         "........|........|......#.|......#.|......#.|......#.|......#.|........"},
        {"line strip of two segments",
         D3DPT_LINESTRIP,
         2,
         {V(1, 6), V(4, 6), V(4, 3)},
         "........|........|........|....#...|....#...|....#...|.####...|........"},
        // Edges through pixel centres: the left and top edges are inside, the right and bottom ones not.
        {"triangle list",
         D3DPT_TRIANGLELIST,
         1,
         {V(1, 1), V(7, 1), V(1, 7)},
         "........|.######.|.#####..|.####...|.###....|.##.....|.#......|........"},
        {"triangle strip",
         D3DPT_TRIANGLESTRIP,
         2,
         {V(1, 1), V(5, 1), V(1, 5), V(5, 5)},
         "........|.####...|.####...|.####...|.####...|........|........|........"},
        {"triangle strip of one",
         D3DPT_TRIANGLESTRIP,
         1,
         {V(1, 1), V(5, 1), V(1, 5)},
         "........|.####...|.###....|.##.....|.#......|........|........|........"},
        {"triangle fan of one",
         D3DPT_TRIANGLEFAN,
         1,
         {V(1, 1), V(5, 1), V(1, 5)},
         "........|.####...|.###....|.##.....|.#......|........|........|........"},
        {"triangle fan",
         D3DPT_TRIANGLEFAN,
         2,
         {V(2, 2), V(6, 2), V(6, 6), V(2, 6)},
         "........|........|..####..|..####..|..####..|..####..|........|........"},
    };
    for (const TPrimitiveCase &c : cases) {
        SCOPED_TRACE(c.Name);
        TTarget t(8, 8);
        t.Begin();
        t.Draw(c.Type, c.Count, c.Vertices);
        t.End();
        EXPECT_EQ(t.Mask(White), c.Expected);
    }
}

TEST(GLDevice, PixelCentresLieOnWholeCoordinatesFromTheTopLeft) {
    TTarget t(6, 4);
    t.Begin();
    t.Draw(D3DPT_POINTLIST, 3, {V(0, 0, Red), V(5, 0, Blue), V(5, 3, Red)});
    t.Draw(D3DPT_LINELIST, 1, {V(0, 3), V(2, 3)});
    t.End();
    EXPECT_EQ(t.Mask(0xFF0000), "#.....|......|......|.....#");
    EXPECT_EQ(t.Mask(0x0000FF), ".....#|......|......|......");
    EXPECT_EQ(t.Mask(0xFFFFFF), "......|......|......|###...");
}

// Clip-space z runs from 0 to w: what lies before 0 or beyond w is clipped; GL's own range would keep
// -w..0.
TEST(GLDevice, DepthClipsOutsideZeroToW) {
    TTarget t(5, 1);
    t.Begin();
    const std::vector<TVertex> points = {{0, 0, -0.25f, White, 0, 0},
                                         {1, 0, 0.01f, White, 0, 0},
                                         {2, 0, 0.5f, White, 0, 0},
                                         {3, 0, 0.99f, White, 0, 0},
                                         {4, 0, 1.25f, White, 0, 0}};
    t.Draw(D3DPT_POINTLIST, 5, points);
    t.End();
    EXPECT_EQ(t.Mask(White), ".###.");
}

TEST(GLDevice, SixteenByteVerticesWithoutTextureCoordinatesDraw) {
    struct TColorVertex {
        float X, Y, Z;
        D3DCOLOR Color;
    };
    TTarget t(4, 4);
    t.Device->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    const TColorVertex v[] = {{0, 1, 0, Red}, {3, 1, 0, Red}};
    t.Begin();
    t.Device->DrawPrimitiveUP(D3DPT_LINELIST, 1, v, sizeof(TColorVertex));
    t.End();
    EXPECT_EQ(t.Mask(0xFF0000), "....|####|....|....");
}

TEST(GLDevice, LightingWithoutLightsMultipliesByTheAmbientAndKeepsTheVertexAlpha) {
    TTarget t(2, 2);
    t.Device->SetRenderState(D3DRS_AMBIENT, 0x0080FF33); // its alpha 0 must not matter
    t.Device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    t.Begin();
    t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, 0xFFC86432)}); // (200, 100, 50), opaque
    t.End();
    // 200 x 128 / 255 = 100.4, 100 x 255 / 255, 50 x 51 / 255 = 10
    EXPECT_EQ(t.At(0, 0), 0x64640Au);
}

TEST(GLDevice, AlphaBlendingMixesSourceAlphaWithTheTarget) {
    for (DWORD blend : {0u, 1u}) {
        TTarget t(2, 1);
        t.Device->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
        t.Begin(Blue);
        t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, 0x80FF0000)});
        t.End();
        // 255 x 128/255 and 255 x 127/255 blended; replaced without blending.
        EXPECT_EQ(t.At(0, 0), blend ? 0x80007Fu : 0xFF0000u) << "blend " << blend;
        EXPECT_EQ(t.At(1, 0), 0x0000FFu);
    }
}

TEST(GLDevice, ColourWriteIsAllOrNothing) {
    TTarget t(2, 1);
    t.Begin(Blue);
    t.Device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, Red)});
    t.Device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xFFFFFFFF);
    t.Draw(D3DPT_POINTLIST, 1, {V(1, 0, Red)});
    t.End();
    EXPECT_EQ(t.At(0, 0), 0x0000FFu);
    EXPECT_EQ(t.At(1, 0), 0xFF0000u);
}

// A texture of width x height filled from 0xAARRGGBB texels given row by row, top row first.
std::shared_ptr<IDirect3DTexture9> MakeTexture(IDirect3DDevice9 &device, UINT w, UINT h,
                                               const std::vector<uint32_t> &texels) {
    auto texture = device.CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    D3DLOCKED_RECT r{};
    texture->LockRect(0, r);
    for (UINT y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t *>(r.pBits) + y * r.Pitch, &texels[y * w], w * 4);
    texture->UnlockRect(0);
    return texture;
}

uint8_t Channel(uint32_t c, int shift) {
    return static_cast<uint8_t>(c >> shift);
}

// States switched back and forth between the draws of one scene, and kept across a clear: each draw has the
// state in force when it was made.
TEST(GLDevice, StatesSwitchedBackAndForthWithinAScene) {
    TTarget t(6, 1);
    const D3DCOLOR halfRed = 0x80FF0000;
    const auto point = [&](float x, D3DCOLOR c) { t.Draw(D3DPT_POINTLIST, 1, {V(x, 0, c)}); };
    t.Begin(White);
    // A clear writes every channel whatever the mask; the mask is in force again for the next draw.
    t.Device->SetRenderState(D3DRS_COLORWRITEENABLE, 1); // red only
    point(5, Black);
    t.Device->Clear(D3DCLEAR_TARGET, White, 1.0f, 0);
    point(3, Black);
    t.Device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    point(4, Black);
    t.Device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    point(0, halfRed);
    t.Device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    point(1, halfRed);
    t.Device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    point(2, halfRed);
    t.End();
    EXPECT_EQ(t.At(0, 0), t.At(2, 0));
    EXPECT_EQ(Channel(t.At(0, 0), 16), 255);
    EXPECT_NEAR(Channel(t.At(0, 0), 8), 127, 1);
    EXPECT_EQ(t.At(1, 0), 0xFF0000u);
    EXPECT_EQ(t.At(3, 0), 0x00FFFFu);
    EXPECT_EQ(t.At(4, 0), 0x000000u);
    EXPECT_EQ(t.At(5, 0), 0xFFFFFFu);
}

TEST(GLDevice, EachColourOperationCombinesTextureAndDiffuse) {
    const uint32_t tex = 0xFFC86428;  // (200, 100, 40)
    const uint32_t diff = 0xFF6432C8; // (100, 50, 200)
    struct TCase {
        DWORD Op, Arg1, Arg2;
        double (*F)(double t, double d);
        int Tolerance;
    };
    const TCase cases[] = {
        {D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](double t, double) { return t; }, 0},
        {D3DTOP_SELECTARG1, D3DTA_DIFFUSE, D3DTA_TEXTURE, [](double, double d) { return d; }, 0},
        {D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](double t, double d) { return t * d; }, 0},
        {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](double t, double d) { return 2 * t * d; }, 0},
        {D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](double t, double d) { return 4 * t * d; }, 0},
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](double t, double d) { return t + d; }, 0},
        // The middle 0.5 has no exact 8-bit value: results may differ by one.
        {D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](double t, double d) { return t + d - 0.5; }, 1},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE("colour operation " + std::to_string(c.Op) + " arg1 " + std::to_string(c.Arg1));
        TTarget t(1, 1);
        t.Device->SetTexture(0, MakeTexture(*t.Device, 1, 1, {tex}));
        t.Device->SetTextureStageState(0, D3DTSS_COLOROP, c.Op);
        t.Device->SetTextureStageState(0, D3DTSS_COLORARG1, c.Arg1);
        t.Device->SetTextureStageState(0, D3DTSS_COLORARG2, c.Arg2);
        t.Begin();
        t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, diff, 0.5f, 0.5f)});
        t.End();
        for (int shift : {16, 8, 0}) {
            const double v = c.F(Channel(tex, shift) / 255.0, Channel(diff, shift) / 255.0);
            const int expected = static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
            EXPECT_NEAR(Channel(t.At(0, 0), shift), expected, c.Tolerance) << "channel at bit " << shift;
        }
    }
}

TEST(GLDevice, WithoutTextureTheStagePassesTheVertexColourWhateverItsOperation) {
    TTarget t(1, 1);
    t.Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    t.Device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    t.Begin();
    t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, 0xFF123456)});
    t.End();
    EXPECT_EQ(t.At(0, 0), 0x123456u);
}

TEST(GLDevice, AlphaComesFromTheTexture) {
    TTarget t(2, 1);
    t.Device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    // Transparent left texel, opaque right texel; the vertex is opaque.
    t.Device->SetTexture(0, MakeTexture(*t.Device, 2, 1, {0x00FF0000, 0xFFFF0000}));
    t.Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    t.Begin(Blue);
    t.Draw(D3DPT_POINTLIST, 2, {V(0, 0, White, 0.25f, 0.5f), V(1, 0, White, 0.75f, 0.5f)});
    t.End();
    EXPECT_EQ(t.At(0, 0), 0x0000FFu);
    EXPECT_EQ(t.At(1, 0), 0xFF0000u);
}

// Draws a quad over an 8 x 1 target whose u runs from u0 at the left edge to u1 at the right edge,
// sampling a 2 x 1 texture of the texels a (left) and b (right).
std::vector<uint32_t> SampleRow(DWORD filter, DWORD address, float u0, float u1, uint32_t a, uint32_t b) {
    TTarget t(8, 1);
    t.Device->SetTexture(0, MakeTexture(*t.Device, 2, 1, {a, b}));
    t.Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    t.Device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    t.Device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    t.Device->SetSamplerState(0, D3DSAMP_ADDRESSU, address);
    t.Device->SetSamplerState(0, D3DSAMP_ADDRESSV, address);
    t.Begin();
    // Pixel edges lie half a pixel from the centres.
    t.Draw(D3DPT_TRIANGLESTRIP, 2,
           {V(-0.5f, -0.5f, White, u0, 0), V(7.5f, -0.5f, White, u1, 0), V(-0.5f, 0.5f, White, u0, 1),
            V(7.5f, 0.5f, White, u1, 1)});
    t.End();
    return t.Pixels;
}

TEST(GLDevice, PointSamplingWrapsOrClamps) {
    const uint32_t r = 0xFFFF0000, b = 0xFF0000FF;
    const auto row = [](const char *pattern) {
        std::vector<uint32_t> out;
        for (const char *p = pattern; *p; ++p)
            out.push_back(*p == 'R' ? 0xFF0000u : 0x0000FFu);
        return out;
    };
    EXPECT_EQ(SampleRow(D3DTEXF_POINT, D3DTADDRESS_WRAP, 0, 1, r, b), row("RRRRBBBB"));
    EXPECT_EQ(SampleRow(D3DTEXF_POINT, D3DTADDRESS_WRAP, 0, 2, r, b), row("RRBBRRBB"));
    EXPECT_EQ(SampleRow(D3DTEXF_POINT, D3DTADDRESS_CLAMP, 0, 2, r, b), row("RRBBBBBB"));
}

TEST(GLDevice, LinearSamplingBlendsNeighboursWrappingOrClampingAtTheEdge) {
    // Texels chosen so that every blend weight used (multiples of 1/8) gives a whole value; filtering
    // hardware weighs with limited precision, so one step either way is allowed.
    const uint32_t a = 0xFFF00010, b = 0xFF1000F0;
    for (DWORD filter : {D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC}) {
        for (DWORD address : {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP}) {
            SCOPED_TRACE("filter " + std::to_string(filter) + " address " + std::to_string(address));
            const std::vector<uint32_t> px = SampleRow(filter, address, 0, 1, a, b);
            for (int i = 0; i < 8; ++i) {
                // In texel space the texel centres are 0 (a) and 1 (b); pixel i samples at (2i - 3) / 8.
                const double s = (2.0 * i - 3.0) / 8.0;
                double wb; // weight of texel b
                if (s < 0)
                    wb = address == D3DTADDRESS_WRAP ? -s : 0.0; // wrapped, b is the left neighbour of a
                else if (s > 1)
                    wb = address == D3DTADDRESS_WRAP ? 2.0 - s : 1.0;
                else
                    wb = s;
                const double red = 0xF0 * (1 - wb) + 0x10 * wb, blue = 0x10 * (1 - wb) + 0xF0 * wb;
                // Where the device filters anisotropically it takes several samples along the footprint,
                // each rounded: a few steps more.
                const double steps = filter == D3DTEXF_ANISOTROPIC ? 3 : 1;
                EXPECT_NEAR(Channel(px[i], 16), red, steps) << "pixel " << i;
                EXPECT_NEAR(Channel(px[i], 0), blue, steps) << "pixel " << i;
            }
        }
    }
}

TEST(GLDevice, StencilScreenDoorPassesPixelsWhoseCoordinatesAreBothEvenOrBothOdd) {
    const int w = 8, h = 6;
    TTarget t(w, h, true);
    t.Begin();
    t.Device->Clear(D3DCLEAR_STENCIL, 0, 1.0f, 0);
    // One unit a pixel, origin at the view centre, y up.
    D3DMATRIX scale{};
    scale.m[0][0] = 2.0f / w;
    scale.m[1][1] = 2.0f / h;
    scale.m[2][2] = 1.0f;
    scale.m[3][3] = 1.0f;
    t.Device->SetTransform(D3DTS_PROJECTION, scale);
    std::vector<TVertex> lines;
    for (int i = -(w / 2); i <= w / 2; ++i) {
        lines.push_back(V(2.0f * i, -h));
        lines.push_back(V(2.0f * i, h));
    }
    for (int j = -(h / 2); j <= h / 2; ++j) {
        lines.push_back(V(-w, 2.0f * j));
        lines.push_back(V(w, 2.0f * j));
    }
    t.Device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    t.Device->SetRenderState(D3DRS_STENCILENABLE, 1);
    t.Device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    t.Device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INVERT);
    t.Device->SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    t.Draw(D3DPT_LINELIST, static_cast<UINT>(lines.size() / 2), lines);
    t.Device->SetRenderState(D3DRS_STENCILWRITEMASK, 0);
    t.Device->SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    t.Device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    t.Device->SetRenderState(D3DRS_STENCILREF, 0);
    t.Device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    t.Device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xFFFFFFFF);
    t.Device->SetTransform(D3DTS_PROJECTION, PixelProjection(w, h));
    t.Draw(D3DPT_TRIANGLESTRIP, 2, {V(-1, -1), V(w, -1), V(-1, h), V(w, h)});
    t.End();
    // Relative to the centre pixel (4, 3): x - 4 and y - 3 both even or both odd.
    EXPECT_EQ(t.Mask(White), ".#.#.#.#|#.#.#.#.|.#.#.#.#|#.#.#.#.|.#.#.#.#|#.#.#.#.");
}

TEST(GLDevice, ReadBackGivesTopRowFirstAsBlueGreenRedBytesAtThePitch) {
    TTarget t(3, 2);
    t.Begin();
    t.Draw(D3DPT_POINTLIST, 3, {V(0, 0, 0xFF102030), V(2, 0, 0xFF405060), V(0, 1, 0xFF708090)});
    t.Device->EndScene();
    const int pitch = 16;
    std::vector<uint8_t> rows(pitch * 2, 0xAB);
    t.Device->GetRenderTargetData(rows.data(), pitch);
    const std::vector<uint8_t> expected = {
        0x30, 0x20, 0x10, 0xFF, 0, 0, 0, 0xFF, 0x60, 0x50, 0x40, 0xFF, 0xAB, 0xAB, 0xAB, 0xAB,
        0x90, 0x80, 0x70, 0xFF, 0, 0, 0, 0xFF, 0,    0,    0,    0xFF, 0xAB, 0xAB, 0xAB, 0xAB,
    };
    EXPECT_EQ(rows, expected);
}

// Scenes of more vertices than the streaming buffer first holds: what was drawn before the buffer filled up
// and what is drawn after it stay right, in one call larger than the buffer or in many, scene after scene
// (the buffers are reused once the GL is done with them).
TEST(GLDevice, ScenesLargerThanTheVertexStreamDrawEveryVertex) {
    TTarget t(4, 1);
    const UINT filler = 201000; // 4.8 MB of vertices, 67 calls of 3000
    const D3DCOLOR colours[] = {Red, Blue, 0xFF00FF00, White, Red};
    for (std::size_t scene = 0; scene < std::size(colours); ++scene) {
        const D3DCOLOR c = colours[scene];
        t.Begin();
        t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, c)});
        const std::vector<TVertex> many(filler, V(1, 0, c));
        if (scene % 2 == 0) {
            t.Draw(D3DPT_POINTLIST, filler, many);
        } else {
            for (UINT at = 0; at < filler; at += 3000)
                t.Device->DrawPrimitiveUP(D3DPT_POINTLIST, 3000, many.data() + at, sizeof(TVertex));
        }
        t.Draw(D3DPT_POINTLIST, 1, {V(3, 0, c)});
        t.End();
        EXPECT_EQ(t.Mask(c), "##.#") << "scene " << scene;
        EXPECT_EQ(t.At(2, 0), 0u) << "scene " << scene;
    }
}

TEST(GLDevice, ViewportAndCapabilitiesDescribeTheTarget) {
    auto device = CreateOffscreenDevice(33, 17);
    D3DVIEWPORT9 vp{};
    device->GetViewport(vp);
    EXPECT_EQ(vp.X, 0);
    EXPECT_EQ(vp.Y, 0);
    EXPECT_EQ(vp.Width, 33);
    EXPECT_EQ(vp.Height, 17);
    EXPECT_EQ(vp.MinZ, 0.0f);
    EXPECT_EQ(vp.MaxZ, 1.0f);
    D3DCAPS9 caps{};
    device->GetDeviceCaps(caps);
    EXPECT_GE(caps.MaxTextureWidth, 1024u);
    // Odd sizes up to the largest work, beyond it the call fails.
    EXPECT_NO_THROW(device->CreateTexture(3, 5, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
    EXPECT_THROW(device->CreateTexture(caps.MaxTextureWidth + 1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED),
                 ED3DError);
}

// A viewport of its own: pixel (x, y) of the viewport is pixel (X + x, Y + y) of the target, wherever the
// origin lies; nothing lands outside the viewport or the target.
TEST(GLDevice, ViewportMayReachBeyondTheTarget) {
    struct Case {
        const char *Name;
        D3DVIEWPORT9 Viewport;
        const char *Expected; // a point at viewport pixel (3, 2) and a triangle filling the viewport
    };
    const Case cases[] = {
        {"whole target", {0, 0, 6, 4, 0, 1}, "######|######|###R##|######"},
        {"inside", {1, 1, 4, 3, 0, 1}, "......|.####.|.####.|.###R."},
        {"left and above", {-2, -1, 6, 4, 0, 1}, "####..|#R##..|####..|......"},
        {"right and below", {4, 1, 9, 9, 0, 1}, "......|....##|....##|....##"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        TTarget t(6, 4);
        t.Device->SetViewport(c.Viewport);
        D3DVIEWPORT9 back{};
        t.Device->GetViewport(back);
        EXPECT_EQ(std::memcmp(&back, &c.Viewport, sizeof back), 0);
        const float w = float(c.Viewport.Width), h = float(c.Viewport.Height);
        t.Device->SetTransform(D3DTS_PROJECTION, PixelProjection(c.Viewport.Width, c.Viewport.Height));
        t.Begin();
        t.Draw(D3DPT_TRIANGLELIST, 1, {V(-1, -1), V(2 * w, -1), V(-1, 2 * h)});
        t.Draw(D3DPT_POINTLIST, 1, {V(3, 2, Red)});
        t.End();
        std::string mask = t.Mask(White);
        const std::string red = t.Mask(Red);
        for (std::size_t i = 0; i < mask.size(); ++i)
            if (red[i] == '#')
                mask[i] = 'R';
        EXPECT_EQ(mask, c.Expected);
    }

    // A side beyond the largest, no pixel in common with the target, or another depth range are refused.
    TTarget t(6, 4);
    D3DCAPS9 caps{};
    t.Device->GetDeviceCaps(caps);
    EXPECT_GE(caps.MaxViewportSize, 4096u);
    const int largest = int(caps.MaxViewportSize);
    for (const D3DVIEWPORT9 &v : {D3DVIEWPORT9{0, 0, largest + 1, 4, 0, 1}, D3DVIEWPORT9{0, 0, 6, 0, 0, 1},
                                  D3DVIEWPORT9{-6, 0, 6, 4, 0, 1}, D3DVIEWPORT9{0, 4, 6, 4, 0, 1},
                                  D3DVIEWPORT9{0, 0, 6, 4, 0.5f, 1}}) {
        SCOPED_TRACE(std::to_string(v.X) + ", " + std::to_string(v.Y) + ", " + std::to_string(v.Width));
        EXPECT_THROW(t.Device->SetViewport(v), ED3DError);
    }
    EXPECT_NO_THROW(t.Device->SetViewport({-largest + 1, 3, largest, largest, 0, 1}));
}

// One scene of lines, strips and triangles at arbitrary sub-pixel positions (some reaching far beyond the
// picture) drawn on one target, and in windows of a smaller target whose viewport is the whole picture at
// an offset: every window equals its part of the whole, pixel for pixel.
TEST(GLDevice, WindowsThroughAnOffsetViewportEqualTheWholePicture) {
    constexpr int W = 157, H = 131, Window = 32;
    std::vector<TVertex> lines, triangles;
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return float(seed >> 8) / float(1 << 24);
    };
    const auto colour = [&] { return 0xFF000000u | (uint32_t(next() * 0xFFFFFF) & 0xFFFFFFu); };
    for (int i = 0; i < 400; ++i) {
        const D3DCOLOR c = colour();
        const float x = next() * W, y = next() * H;
        // Mostly short, some long enough to leave the picture.
        const float reach = i % 10 == 0 ? 600.0f : 25.0f;
        lines.push_back(V(x, y, c));
        lines.push_back(V(x + (next() - 0.5f) * reach, y + (next() - 0.5f) * reach, c));
    }
    for (int i = 0; i < 60; ++i) {
        const D3DCOLOR c = colour();
        const float x = next() * W, y = next() * H;
        for (int k = 0; k < 3; ++k)
            triangles.push_back(V(x + (next() - 0.5f) * 40, y + (next() - 0.5f) * 40, c));
    }
    // A turned and scaled plan, so that no vertex lies on a tidy coordinate.
    D3DMATRIX projection = PixelProjection(W, H);
    D3DMATRIX turn{};
    const float a = 0.3f, k = 0.93f;
    turn.m[0][0] = k * std::cos(a);
    turn.m[0][1] = k * std::sin(a);
    turn.m[1][0] = -k * std::sin(a);
    turn.m[1][1] = k * std::cos(a);
    turn.m[2][2] = turn.m[3][3] = 1;
    turn.m[3][0] = 21.37f;
    turn.m[3][1] = -9.61f;
    const auto draw = [&](TTarget &t) {
        t.Device->SetTransform(D3DTS_WORLD, turn);
        t.Device->SetTransform(D3DTS_PROJECTION, projection);
        t.Begin();
        t.Draw(D3DPT_TRIANGLELIST, UINT(triangles.size() / 3), triangles);
        t.Draw(D3DPT_LINELIST, UINT(lines.size() / 2), lines);
        t.Draw(D3DPT_LINESTRIP, 20, std::vector<TVertex>(lines.begin() + 100, lines.begin() + 121));
        t.End();
    };
    TTarget whole(W, H);
    draw(whole);
    int lit = 0;
    for (uint32_t p : whole.Pixels)
        lit += p != 0;
    ASSERT_GT(lit, W * H / 10);
    TTarget window(Window, Window);
    int differing = 0;
    for (int y0 = -3; y0 < H; y0 += Window)
        for (int x0 = -5; x0 < W; x0 += Window) {
            window.Device->SetViewport({-x0, -y0, W, H, 0, 1});
            draw(window);
            for (int y = 0; y < Window; ++y)
                for (int x = 0; x < Window; ++x) {
                    const int px = x0 + x, py = y0 + y;
                    const bool inside = px >= 0 && py >= 0 && px < W && py < H;
                    differing += window.At(x, y) != (inside ? whole.At(px, py) : 0u);
                }
        }
    EXPECT_EQ(differing, 0);
}

TEST(GLDevice, FailuresNameTheCallAndItsResult) {
    auto device = CreateOffscreenDevice(4, 4);
    auto other = CreateOffscreenDevice(4, 4);
    const auto expectError = [](const std::function<void()> &f, const std::string &call) {
        try {
            f();
            ADD_FAILURE() << call << " did not fail";
        } catch (const ED3DError &e) {
            EXPECT_EQ(e.Result(), D3DERR_INVALIDCALL);
            EXPECT_EQ(std::string(e.what()).rfind(call + ": D3DERR_INVALIDCALL (0x8876086C)", 0), 0u)
                << e.what();
        }
    };
    expectError([&] { device->Clear(D3DCLEAR_STENCIL, 0, 1.0f, 0); }, "IDirect3DDevice9.Clear");
    TVertex v = V(0, 0);
    device->SetFVF(Fvf);
    expectError([&] { device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &v, sizeof v); },
                "IDirect3DDevice9.DrawPrimitiveUP");
    auto foreign = other->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    expectError([&] { device->SetTexture(0, foreign); }, "IDirect3DDevice9.SetTexture");
    device->BeginScene();
    expectError([&] { device->BeginScene(); }, "IDirect3DDevice9.BeginScene");
    EXPECT_EQ(device->Present(), D3DERR_INVALIDCALL);
    device->EndScene();
    EXPECT_EQ(device->Present(), D3D_OK);
}

// The texel of a 1 x 1 texture, 0xAARRGGBB, as a lock shows it.
uint32_t LockedTexel(IDirect3DTexture9 &texture) {
    D3DLOCKED_RECT r{};
    texture.LockRect(0, r);
    uint32_t texel = 0;
    std::memcpy(&texel, r.pBits, 4);
    texture.UnlockRect(0);
    return texel;
}

TEST(GLDevice, TexturesAndDevicesMayDieInAnyOrder) {
    std::shared_ptr<IDirect3DTexture9> texture;
    {
        TTarget t(2, 1);
        texture = MakeTexture(*t.Device, 1, 1, {0xFF00FF00});
        t.Device->SetTexture(0, texture);
        t.Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        t.Begin();
        t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, White, 0.5f, 0.5f)});
        t.End();
        EXPECT_EQ(t.At(0, 0), 0x00FF00u);

        // A second lock fails and leaves the first in force: what is written through it is drawn.
        D3DLOCKED_RECT r{}, again{};
        texture->LockRect(0, r);
        EXPECT_THROW(texture->LockRect(0, again), ED3DError);
        const uint32_t blue = 0xFF0000FF;
        std::memcpy(r.pBits, &blue, 4);
        texture->UnlockRect(0);
        EXPECT_THROW(texture->UnlockRect(0), ED3DError);
        t.Begin();
        t.Draw(D3DPT_POINTLIST, 1, {V(1, 0, White, 0.5f, 0.5f)});
        t.End();
        EXPECT_EQ(t.At(1, 0), 0x0000FFu);
    }
    // The device is gone; the texture keeps its texels, takes new ones and frees itself later.
    EXPECT_EQ(LockedTexel(*texture), 0xFF0000FFu);
    D3DLOCKED_RECT r{};
    texture->LockRect(0, r);
    const uint32_t red = 0xFFFF0000;
    std::memcpy(r.pBits, &red, 4);
    EXPECT_NO_THROW(texture->UnlockRect(0));
    EXPECT_EQ(LockedTexel(*texture), red);
    texture.reset();
}

// Textures of one size follow each other in the storage of the dead ones, and several may be locked at
// once: each shows only its own texels, and a texture nobody filled shows and draws zeros, never the texels
// of the one before it.
TEST(GLDevice, TexturesReusingStorageOrLockedTogetherKeepTheirOwnTexels) {
    TTarget t(3, 1);
    t.Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    const auto drawn = [&](const std::shared_ptr<IDirect3DTexture9> &texture) {
        t.Device->SetTexture(0, texture);
        t.Begin(Blue);
        t.Draw(D3DPT_POINTLIST, 2, {V(0, 0, White, 0.25f, 0.5f), V(1, 0, White, 0.75f, 0.5f)});
        t.End();
        t.Device->SetTexture(0, nullptr);
        return std::vector<uint32_t>{t.At(0, 0), t.At(1, 0)};
    };
    for (int round = 0; round < 3; ++round) {
        auto first = MakeTexture(*t.Device, 2, 1, {0xFFFF0000, 0xFF00FF00});
        EXPECT_EQ(drawn(first), (std::vector<uint32_t>{0xFF0000u, 0x00FF00u})) << round;
        first.reset();
        auto unfilled = t.Device->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        EXPECT_EQ(drawn(unfilled), (std::vector<uint32_t>{0u, 0u})) << round;
        auto fresh = t.Device->CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
        EXPECT_EQ(LockedTexel(*fresh), 0u) << round;

        // Two locks at once, written in the opposite order to their unlocking.
        D3DLOCKED_RECT a{}, b{};
        unfilled->LockRect(0, a);
        fresh->LockRect(0, b);
        ASSERT_NE(a.pBits, b.pBits);
        const uint32_t ta[2] = {0xFF0000FF, 0xFFFFFFFF}, tb[2] = {0xFF00FF00, 0xFFFF0000};
        std::memcpy(b.pBits, tb, 8);
        std::memcpy(a.pBits, ta, 8);
        fresh->UnlockRect(0);
        unfilled->UnlockRect(0);
        EXPECT_EQ(drawn(unfilled), (std::vector<uint32_t>{0x0000FFu, 0xFFFFFFu})) << round;
        EXPECT_EQ(drawn(fresh), (std::vector<uint32_t>{0x00FF00u, 0xFF0000u})) << round;
        // A lock after drawing shows the texels in place, and writing one keeps the other.
        D3DLOCKED_RECT again{};
        fresh->LockRect(0, again);
        uint32_t shown[2];
        std::memcpy(shown, again.pBits, 8);
        EXPECT_EQ(shown[0], tb[0]);
        EXPECT_EQ(shown[1], tb[1]);
        std::memcpy(again.pBits, &ta[1], 4);
        fresh->UnlockRect(0);
        EXPECT_EQ(drawn(fresh), (std::vector<uint32_t>{0xFFFFFFu, 0xFF0000u})) << round;
    }
}

// Triangles of runs may reach the GL later than they were given, together with those of the next draws:
// whatever comes between two such draws must still find the first drawn as it was given, with its state,
// its texels, in its place in the order of drawing.
TEST(GLDevice, TriangleRunsKeepTheirStateTexelsAndOrderWhateverComesBetween) {
    static constexpr uint32_t Green = 0xFF00FF00;
    // A triangle lighting pixel (x, 0) only, sampling the middle of the texture, given as a run with its box.
    const auto drawRun = [](TTarget &t, float x) {
        const std::vector<TVertex> v = {V(x - 0.4f, -0.4f, White, 0.5f, 0.5f),
                                        V(x + 0.6f, -0.4f, White, 0.5f, 0.5f),
                                        V(x - 0.4f, 0.6f, White, 0.5f, 0.5f)};
        const D3DPRIMITIVERUN run{0, 1, x - 0.4f, -0.4f, 0.5f, x + 0.6f, 0.6f, 0.5f};
        t.Device->DrawPrimitiveRunsUP(D3DPT_TRIANGLELIST, 1, v.data(), sizeof(TVertex), &run, 1);
    };
    struct TCase {
        const char *Name;
        std::function<void(TTarget &, std::shared_ptr<IDirect3DTexture9> &)> Between;
        std::vector<uint32_t> Expected; // pixels 0 to 3
    };
    const TCase cases[] = {
        {"nothing",
         [](TTarget &, std::shared_ptr<IDirect3DTexture9> &) {},
         {0xFF0000, 0xFFFFFF, 0xFF0000, 0xFFFFFF}},
        {"the texture filled again",
         [](TTarget &, std::shared_ptr<IDirect3DTexture9> &texture) {
             D3DLOCKED_RECT r{};
             texture->LockRect(0, r);
             std::memcpy(r.pBits, &Green, 4);
             texture->UnlockRect(0);
         },
         {0xFF0000, 0xFFFFFF, 0x00FF00, 0xFFFFFF}},
        {"another texture made and filled",
         [](TTarget &t, std::shared_ptr<IDirect3DTexture9> &) { (void)MakeTexture(*t.Device, 1, 1, {Blue}); },
         {0xFF0000, 0xFFFFFF, 0xFF0000, 0xFFFFFF}},
        {"a point drawn over the first (diffuse black: the texel times black)",
         [](TTarget &t, std::shared_ptr<IDirect3DTexture9> &) {
             t.Draw(D3DPT_POINTLIST, 1, {V(0, 0, Black, 0.5f, 0.5f)});
         },
         {0x000000, 0xFFFFFF, 0xFF0000, 0xFFFFFF}},
        {"the target cleared",
         [](TTarget &t, std::shared_ptr<IDirect3DTexture9> &) {
             t.Device->Clear(D3DCLEAR_TARGET, Blue, 1.0f, 0);
         },
         {0x0000FF, 0x0000FF, 0xFF0000, 0x0000FF}},
        {"the view moved a pixel right",
         [](TTarget &t, std::shared_ptr<IDirect3DTexture9> &) {
             D3DMATRIX m = PixelProjection(t.W, t.H);
             m.m[3][0] += 2.0f / t.W;
             t.Device->SetTransform(D3DTS_PROJECTION, m);
         },
         {0xFF0000, 0xFFFFFF, 0xFFFFFF, 0xFF0000}},
        {"the texture taken off",
         [](TTarget &t, std::shared_ptr<IDirect3DTexture9> &texture) {
             t.Device->SetTexture(0, nullptr);
             texture.reset();
         },
         {0xFF0000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}},
    };
    for (const TCase &c : cases) {
        TTarget t(4, 1);
        auto texture = MakeTexture(*t.Device, 1, 1, {0xFFFF0000});
        t.Device->SetTexture(0, texture);
        t.Device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        t.Begin(White);
        drawRun(t, 0);
        c.Between(t, texture);
        drawRun(t, 2);
        t.End();
        EXPECT_EQ((std::vector<uint32_t>{t.At(0, 0), t.At(1, 0), t.At(2, 0), t.At(3, 0)}), c.Expected)
            << c.Name;
    }
}

// The on-screen target: the widget's own framebuffer, with its stencil.
TEST(GLDevice, WidgetTargetDrawsIntoTheWidgetFramebufferWithStencil) {
    QOpenGLWidget widget;
    widget.setFormat(DeviceSurfaceFormat());
    widget.resize(8, 6);
    widget.show();
    QElapsedTimer timer;
    timer.start();
    while (!widget.isValid() && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(widget.isValid()) << "the widget got no OpenGL context";
    auto device = CreateWidgetDevice(&widget);
    D3DVIEWPORT9 vp{};
    device->GetViewport(vp);
    const int w = vp.Width, h = vp.Height;
    ASSERT_GE(w, 4);
    ASSERT_GE(h, 4);
    device->SetFVF(Fvf);
    device->SetRenderState(D3DRS_AMBIENT, White);
    device->SetTransform(D3DTS_PROJECTION, PixelProjection(w, h));
    device->BeginScene();
    device->Clear(D3DCLEAR_TARGET | D3DCLEAR_STENCIL | D3DCLEAR_ZBUFFER, Blue, 1.0f, 0);
    // Mark pixel (1, 1) in the stencil only, then fill everything where the stencil is still 0.
    const TVertex mark = V(1, 1);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    device->SetRenderState(D3DRS_STENCILENABLE, 1);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INVERT);
    device->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &mark, sizeof mark);
    device->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    device->SetRenderState(D3DRS_STENCILWRITEMASK, 0);
    device->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    device->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    const TVertex quad[] = {V(-1, -1, Red), V(w, -1, Red), V(-1, h, Red), V(w, h, Red)};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TVertex));
    device->EndScene();
    EXPECT_EQ(device->Present(), D3D_OK);
    std::vector<uint8_t> rows(static_cast<std::size_t>(w) * h * 4);
    device->GetRenderTargetData(rows.data(), w * 4);
    const auto px = [&](int x, int y) {
        const uint8_t *p = &rows[(static_cast<std::size_t>(y) * w + x) * 4];
        return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
    };
    EXPECT_EQ(px(1, 1), 0x0000FFu);
    EXPECT_EQ(px(0, 0), 0xFF0000u);
    EXPECT_EQ(px(w - 1, h - 1), 0xFF0000u);
}

} // namespace
