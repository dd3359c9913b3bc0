// The recording device keeps what the drawing code asked for and refuses what the GL device refuses.
#include "platform/d3d9/RecordingDevice.h"
#include "platform/d3d9/D3DError.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>

namespace {

struct TVertex {
    float X, Y, Z;
    D3DCOLOR Color;
    float U, V;
};

constexpr DWORD Fvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

TEST(RecordingDevice, KeepsCallsStateAndVerticesOfEachDraw) {
    TRecordingDevice d(320, 200);
    D3DMATRIX world = IdentityD3DMatrix();
    world.m[3][0] = 5.0f;
    d.SetTransform(D3DTS_WORLD, world);
    d.SetFVF(Fvf);
    d.SetRenderState(D3DRS_AMBIENT, 0xFF808080);
    d.BeginScene();
    d.Clear(D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF102030, 1.0f, 0);
    const TVertex tri[] = {
        {0, 0, 0, 0xFFFF0000, 0.25f, 0.5f}, {1, 0, 0, 0xFF00FF00, 1, 0}, {0, 1, 0, 0, 0, 1}};
    d.DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(TVertex));
    d.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    struct TColorVertex {
        float X, Y, Z;
        D3DCOLOR Color;
    } const line[] = {{1, 2, 3, 7}, {4, 5, 6, 8}};
    d.SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    d.DrawPrimitiveUP(D3DPT_LINESTRIP, 1, line, sizeof(TColorVertex));
    d.EndScene();
    EXPECT_EQ(d.Present(), D3D_OK);

    std::string names;
    for (const TRecordedCall &c : d.Calls())
        names += std::string(DeviceCallName(c.Call)) + " ";
    EXPECT_EQ(names,
              "SetTransform SetFVF SetRenderState BeginScene Clear DrawPrimitiveUP SetRenderState SetFVF "
              "DrawPrimitiveUP EndScene Present ");
    EXPECT_EQ(d.Calls()[0].Matrix.m[3][0], 5.0f);
    EXPECT_EQ(d.Calls()[4].Type, D3DCLEAR_TARGET | D3DCLEAR_STENCIL);
    EXPECT_EQ(d.Calls()[4].Value, 0xFF102030u);
    EXPECT_EQ(d.Calls()[5].DrawIndex, 0);

    ASSERT_EQ(d.Draws().size(), 2u);
    const TRecordedDraw &t = d.Draws()[0];
    EXPECT_EQ(t.Type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(t.VertexCount, 3u);
    EXPECT_EQ(t.State.World.m[3][0], 5.0f);
    EXPECT_EQ(t.State.Ambient, 0xFF808080u);
    EXPECT_EQ(t.State.AlphaBlendEnable, 0u); // the state as it was at that draw
    const auto tv = t.Vertices();
    ASSERT_EQ(tv.size(), 3u);
    EXPECT_EQ(tv[0].Color, 0xFFFF0000u);
    EXPECT_EQ(tv[0].U, 0.25f);
    EXPECT_EQ(tv[0].V, 0.5f);
    const TRecordedDraw &l = d.Draws()[1];
    EXPECT_EQ(l.State.AlphaBlendEnable, 1u);
    EXPECT_EQ(l.VertexCount, 2u);
    const auto lv = l.Vertices();
    ASSERT_EQ(lv.size(), 2u);
    EXPECT_EQ(lv[1].X, 4.0f);
    EXPECT_EQ(lv[1].Color, 8u);
    EXPECT_EQ(lv[1].U, 0.0f);
}

TEST(RecordingDevice, VertexCountFollowsThePrimitiveType) {
    const struct {
        D3DPRIMITIVETYPE Type;
        UINT Count, Vertices;
    } cases[] = {{D3DPT_POINTLIST, 5, 5},     {D3DPT_LINELIST, 5, 10},     {D3DPT_LINESTRIP, 5, 6},
                 {D3DPT_TRIANGLELIST, 5, 15}, {D3DPT_TRIANGLESTRIP, 5, 7}, {D3DPT_TRIANGLEFAN, 5, 7},
                 {D3DPT_TRIANGLEFAN, 0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(VertexCountFor("test", c.Type, c.Count), c.Vertices) << "type " << c.Type;
    EXPECT_THROW(VertexCountFor("test", D3DPT_TRIANGLELIST, 0x40000000u), ED3DError);
    EXPECT_THROW(VertexCountFor("test", static_cast<D3DPRIMITIVETYPE>(7), 1), ED3DError);
}

TEST(RecordingDevice, RefusesWhatTheDeviceCannotDo) {
    TRecordingDevice d;
    TRecordingDevice other;
    auto foreign = other.CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    const TVertex v[3] = {};
    const struct {
        const char *Call;
        std::function<void()> Do;
    } cases[] = {
        {"IDirect3DDevice9.SetRenderState", [&] { d.SetRenderState(D3DRS_ZENABLE, 1); }},
        {"IDirect3DDevice9.SetRenderState", [&] { d.SetRenderState(D3DRS_SRCBLEND, 2); }},
        {"IDirect3DDevice9.SetRenderState", [&] { d.SetRenderState(D3DRS_STENCILFUNC, 4); }},
        {"IDirect3DDevice9.SetRenderState",
         [&] { d.SetRenderState(static_cast<D3DRENDERSTATETYPE>(16), 0); }},
        {"IDirect3DDevice9.SetFVF", [&] { d.SetFVF(0x152); }},
        {"IDirect3DDevice9.SetTextureStageState", [&] { d.SetTextureStageState(1, D3DTSS_COLOROP, 2); }},
        {"IDirect3DDevice9.SetTextureStageState", [&] { d.SetTextureStageState(0, D3DTSS_COLOROP, 1); }},
        {"IDirect3DDevice9.SetTextureStageState", [&] { d.SetTextureStageState(0, D3DTSS_COLORARG1, 1); }},
        {"IDirect3DDevice9.SetSamplerState", [&] { d.SetSamplerState(0, D3DSAMP_MINFILTER, 0); }},
        {"IDirect3DDevice9.SetSamplerState", [&] { d.SetSamplerState(0, D3DSAMP_ADDRESSU, 2); }},
        {"IDirect3DDevice9.SetTexture", [&] { d.SetTexture(0, foreign); }},
        {"IDirect3DDevice9.CreateTexture",
         [&] { d.CreateTexture(0, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); }},
        {"IDirect3DDevice9.CreateTexture",
         [&] { d.CreateTexture(5000, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); }},
        {"IDirect3DDevice9.CreateTexture",
         [&] { d.CreateTexture(4, 4, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED); }},
        {"IDirect3DDevice9.Clear", [&] { d.Clear(0, 0, 1.0f, 0); }},
        {"IDirect3DDevice9.EndScene", [&] { d.EndScene(); }},
        // Outside a scene, then inside one without a vertex format, then with too short a stride.
        {"IDirect3DDevice9.DrawPrimitiveUP",
         [&] { d.DrawPrimitiveUP(D3DPT_POINTLIST, 1, v, sizeof(TVertex)); }},
        {"IDirect3DDevice9.DrawPrimitiveUP",
         [&] {
             d.BeginScene();
             d.DrawPrimitiveUP(D3DPT_POINTLIST, 1, v, sizeof(TVertex));
         }},
        {"IDirect3DDevice9.DrawPrimitiveUP",
         [&] {
             d.SetFVF(Fvf);
             d.DrawPrimitiveUP(D3DPT_POINTLIST, 1, v, 16);
         }},
        {"IDirect3DDevice9.DrawPrimitiveUP", [&] { d.DrawPrimitiveUP(D3DPT_POINTLIST, 1, nullptr, 24); }},
    };
    for (const auto &c : cases) {
        try {
            c.Do();
            ADD_FAILURE() << c.Call << " was accepted";
        } catch (const ED3DError &e) {
            EXPECT_EQ(e.Result(), D3DERR_INVALIDCALL) << e.what();
            EXPECT_EQ(e.Call(), c.Call) << e.what();
        }
    }
    // Nothing refused was recorded, and no draw was kept.
    EXPECT_TRUE(d.Draws().empty());
    // A count of 0 draws nothing, whatever the primitive and whether vertices are given or not.
    for (const D3DPRIMITIVETYPE type : {D3DPT_POINTLIST, D3DPT_LINELIST, D3DPT_LINESTRIP, D3DPT_TRIANGLELIST,
                                        D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN}) {
        for (const TVertex *given : {static_cast<const TVertex *>(nullptr), v}) {
            SCOPED_TRACE(std::to_string(type) + (given ? " with vertices" : " without vertices"));
            d.ClearRecord();
            d.DrawPrimitiveUP(type, 0, given, sizeof(TVertex));
            ASSERT_EQ(d.Draws().size(), 1u);
            EXPECT_EQ(d.Draws()[0].PrimitiveCount, 0u);
            EXPECT_EQ(d.Draws()[0].VertexCount, 0u);
            EXPECT_TRUE(d.Draws()[0].Bytes.empty());
        }
    }
}

TEST(RecordingDevice, TexturesKeepWhatTheLastUnlockWrote) {
    TRecordingDevice d;
    auto texture = d.CreateTexture(2, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    auto *rt = dynamic_cast<TRecordingTexture *>(texture.get());
    ASSERT_NE(rt, nullptr);
    D3DLOCKED_RECT r{};
    texture->LockRect(0, r);
    EXPECT_EQ(r.Pitch, 8);
    EXPECT_THROW(texture->LockRect(0, r), ED3DError);
    std::memset(r.pBits, 0x5A, 8);
    EXPECT_EQ(rt->Pixels()[0], 0); // not visible before the unlock
    texture->UnlockRect(0);
    EXPECT_EQ(rt->Pixels(), std::vector<uint8_t>(8, 0x5A));
    EXPECT_EQ(rt->UnlockCount(), 1);
    EXPECT_THROW(texture->UnlockRect(0), ED3DError);
    d.SetTexture(0, texture);
    EXPECT_EQ(d.State().Texture, texture.get());
    d.SetTexture(0, nullptr);
    EXPECT_EQ(d.State().Texture, nullptr);
}

TEST(RecordingDevice, FailsTheRequestedCallOnceNamingIt) {
    TRecordingDevice d;
    d.FailNext(TDeviceCall::BeginScene, D3DERR_DEVICELOST);
    try {
        d.BeginScene();
        ADD_FAILURE() << "BeginScene did not fail";
    } catch (const ED3DError &e) {
        EXPECT_EQ(e.Result(), D3DERR_DEVICELOST);
        EXPECT_EQ(
            std::string(e.what()).rfind("IDirect3DDevice9.BeginScene: D3DERR_DEVICELOST (0x88760868)", 0),
            0u);
    }
    EXPECT_NO_THROW(d.BeginScene());
    d.EndScene();
    d.FailNext(TDeviceCall::Present, D3DERR_DEVICELOST);
    EXPECT_EQ(d.Present(), D3DERR_DEVICELOST);
    EXPECT_EQ(d.Present(), D3D_OK);
}

TEST(RecordingDevice, WithoutKeptVerticesDrawsKeepCountsAndStateOnly) {
    TRecordingDevice d;
    d.SetKeepVertices(false);
    d.SetFVF(Fvf);
    d.BeginScene();
    const TVertex v[3] = {};
    d.DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TVertex));
    ASSERT_EQ(d.Draws().size(), 1u);
    EXPECT_EQ(d.Draws()[0].VertexCount, 3u);
    EXPECT_TRUE(d.Draws()[0].Bytes.empty());
    d.ClearRecord();
    EXPECT_TRUE(d.Calls().empty());
    EXPECT_TRUE(d.Draws().empty());
}

TEST(RecordingDevice, ReadBackShowsTheClearColourAndTheViewportIsTheTarget) {
    TRecordingDevice d(3, 2, 1024);
    D3DVIEWPORT9 vp{};
    d.GetViewport(vp);
    EXPECT_EQ(vp.Width, 3);
    EXPECT_EQ(vp.Height, 2);
    EXPECT_EQ(vp.MaxZ, 1.0f);
    D3DCAPS9 caps{};
    d.GetDeviceCaps(caps);
    EXPECT_EQ(caps.MaxTextureWidth, 1024u);
    EXPECT_EQ(caps.MaxTextureHeight, 1024u);
    // A viewport reaching beyond the target is kept; one without a pixel of the target is refused.
    d.SetViewport({-4, 1, 9, 5, 0, 1});
    d.GetViewport(vp);
    EXPECT_EQ((std::array{vp.X, vp.Y, vp.Width, vp.Height}), (std::array{-4, 1, 9, 5}));
    EXPECT_THROW(d.SetViewport({-9, 1, 9, 5, 0, 1}), ED3DError);
    EXPECT_THROW(d.SetViewport({0, 0, int32_t(caps.MaxViewportSize) + 1, 1, 0, 1}), ED3DError);
    d.Clear(D3DCLEAR_TARGET, 0x00123456, 1.0f, 0);
    std::vector<uint8_t> rows(2 * 16, 0);
    d.GetRenderTargetData(rows.data(), 16);
    EXPECT_EQ(rows[0], 0x56);
    EXPECT_EQ(rows[1], 0x34);
    EXPECT_EQ(rows[2], 0x12);
    EXPECT_EQ(rows[3], 0xFF);
    EXPECT_EQ(rows[16 + 8], 0x56);
    EXPECT_EQ(rows[12], 0); // beyond the row's pixels, untouched
    EXPECT_THROW(d.GetRenderTargetData(rows.data(), 8), ED3DError);
}

} // namespace
