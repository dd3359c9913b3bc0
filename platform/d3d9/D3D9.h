#pragma once
// Our stand-in for the subset of the Direct3D 9 device that the drawing code uses, on OpenGL 3.3 core.
// Only the types and constants our callers use are declared here; the values are the ones the drawing
// code and stored settings pass around (texture-stage options, primitive types).
//
// Failures raise ED3DError (platform/d3d9/D3DError.h) naming the call and its result code; only Present
// reports its result as a value, as callers decide what a lost target means.
#include <cstdint>
#include <memory>

using DWORD = uint32_t;
using UINT = uint32_t;
using HRESULT = int32_t;
// Alpha in bits 24-31, red 16-23, green 8-15, blue 0-7; stored in vertices as the bytes B, G, R, A.
using D3DCOLOR = uint32_t;

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
constexpr HRESULT D3DERR_DRIVERINTERNALERROR = static_cast<HRESULT>(0x88760827u);

enum D3DTRANSFORMSTATETYPE : int32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_WORLD = 256,
};

// 4 x 4 singles for row vectors (translation in the fourth row); same layout as the engine's TDxMatrix.
struct D3DMATRIX {
    float m[4][4];
};

enum D3DPRIMITIVETYPE : int32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6,
};

// Flexible vertex format bits. 0x142 = XYZ | DIFFUSE | TEX1 (24 bytes: x, y, z, colour, u, v);
// 0x42 = XYZ | DIFFUSE (16 bytes: x, y, z, colour).
constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_DIFFUSE = 0x040;
constexpr DWORD D3DFVF_TEX1 = 0x100;

constexpr DWORD D3DCLEAR_TARGET = 1;
constexpr DWORD D3DCLEAR_ZBUFFER = 2;
constexpr DWORD D3DCLEAR_STENCIL = 4;

enum D3DRENDERSTATETYPE : int32_t {
    D3DRS_ZENABLE = 7,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_STENCILENABLE = 52,
    D3DRS_STENCILPASS = 55,
    D3DRS_STENCILFUNC = 56,
    D3DRS_STENCILREF = 57,
    D3DRS_STENCILMASK = 58,
    D3DRS_STENCILWRITEMASK = 59,
    D3DRS_AMBIENT = 139,
    D3DRS_AMBIENTMATERIALSOURCE = 147,
    D3DRS_COLORWRITEENABLE = 168,
};

// Render-state values.
constexpr DWORD D3DZB_FALSE = 0;
constexpr DWORD D3DCULL_NONE = 1;
constexpr DWORD D3DBLEND_SRCALPHA = 5;
constexpr DWORD D3DBLEND_INVSRCALPHA = 6;
constexpr DWORD D3DCMP_EQUAL = 3;
constexpr DWORD D3DCMP_ALWAYS = 8;
constexpr DWORD D3DSTENCILOP_KEEP = 1;
constexpr DWORD D3DSTENCILOP_INVERT = 6;
constexpr DWORD D3DMCS_COLOR1 = 1;

enum D3DTEXTURESTAGESTATETYPE : int32_t {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
};

// Colour operations of texture stage 0.
constexpr DWORD D3DTOP_SELECTARG1 = 2;
constexpr DWORD D3DTOP_MODULATE = 4;
constexpr DWORD D3DTOP_MODULATE2X = 5;
constexpr DWORD D3DTOP_MODULATE4X = 6;
constexpr DWORD D3DTOP_ADD = 7;
constexpr DWORD D3DTOP_ADDSIGNED = 8;

// Colour arguments.
constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_TEXTURE = 2;

enum D3DSAMPLERSTATETYPE : int32_t {
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
};

constexpr DWORD D3DTEXF_POINT = 1;
constexpr DWORD D3DTEXF_LINEAR = 2;
constexpr DWORD D3DTEXF_ANISOTROPIC = 3; // linear, anisotropic where the device can (MaxAnisotropy)
constexpr DWORD D3DTADDRESS_WRAP = 1;
constexpr DWORD D3DTADDRESS_CLAMP = 3;

enum D3DFORMAT : int32_t {
    D3DFMT_A8R8G8B8 = 21, // 32-bit pixels stored as the bytes B, G, R, A
};

enum D3DPOOL : int32_t {
    D3DPOOL_MANAGED = 1, // the device keeps a memory copy and uploads it
};

struct D3DVIEWPORT9 {
    int32_t X, Y, Width, Height;
    float MinZ, MaxZ;
};

// The capabilities callers read.
struct D3DCAPS9 {
    DWORD MaxTextureWidth;
    DWORD MaxTextureHeight;
    // Ours: the largest side of a viewport given to SetViewport.
    DWORD MaxViewportSize;
    // The degree of anisotropy the anisotropic filter samples with; 1 where the device has none (the
    // filter then samples as linear).
    DWORD MaxAnisotropy;
};

struct D3DLOCKED_RECT {
    int32_t Pitch; // bytes from one row to the next
    void *pBits;   // first byte of the top row
};

// A texture of one level made by a device for that device only.
class IDirect3DTexture9 {
public:
    virtual ~IDirect3DTexture9() = default;
    virtual UINT Width() const = 0;
    virtual UINT Height() const = 0;
    // The whole of level 0 (the only level), top row first, for writing; UnlockRect makes the writes
    // visible to drawing. Locking a locked texture, or unlocking one that is not, raises D3DERR_INVALIDCALL.
    virtual void LockRect(UINT level, D3DLOCKED_RECT &locked) = 0;
    virtual void UnlockRect(UINT level) = 0;
};

// Ours, beyond Direct3D 9: a run of consecutive primitives of a draw and a box that holds the positions of
// their vertices (a box that is not finite holds anything).
struct D3DPRIMITIVERUN {
    UINT FirstPrimitive, PrimitiveCount;
    float MinX, MinY, MinZ, MaxX, MaxY, MaxZ;
};

class IDirect3DDevice9 {
public:
    virtual ~IDirect3DDevice9() = default;

    virtual void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX &matrix) = 0;

    // Drawing happens between BeginScene and EndScene; Present shows the finished scene of an on-screen
    // target (an off-screen target has nothing to show and returns D3D_OK).
    virtual void BeginScene() = 0;
    virtual void EndScene() = 0;
    virtual HRESULT Present() = 0;
    // Clears the whole target: any of colour, depth (to z) and stencil (to stencil), ignoring the colour
    // write and stencil masks. Clearing a buffer the target does not have raises D3DERR_INVALIDCALL.
    virtual void Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) = 0;

    // (0, 0, target width, target height, 0, 1) until SetViewport gives another.
    virtual void GetViewport(D3DVIEWPORT9 &viewport) = 0;
    // Ours, beyond Direct3D 9: the viewport may reach beyond the target on any side (its origin may be
    // negative); it keeps at least one pixel of the target, each side 1 to MaxViewportSize, depth 0..1
    // only. Nothing is drawn outside the viewport or the target. The target then shows the part of the
    // picture a target as large as the viewport would show, exactly: drawing one scene with two origins gives
    // the same pixels, moved by the difference. A viewport out of range raises D3DERR_INVALIDCALL.
    virtual void SetViewport(const D3DVIEWPORT9 &viewport) = 0;
    virtual void GetDeviceCaps(D3DCAPS9 &caps) = 0;

    virtual void SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual void SetFVF(DWORD fvf) = 0;
    // Draws primitiveCount primitives from vertexData (vertices of the current FVF, vertexStride bytes
    // apart); a count of 0 draws nothing.
    virtual void DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                                 UINT vertexStride) = 0;
    // Ours: DrawPrimitiveUP of primitives that come in runs with boxes (in order, one after the other, all
    // of them; a device that reads the runs raises D3DERR_INVALIDCALL for others). The picture is the same; a
    // device may use the boxes to pass over runs without looking at each primitive. This one draws the
    // primitives as they are.
    virtual void DrawPrimitiveRunsUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                                     UINT vertexStride, const D3DPRIMITIVERUN *runs, UINT runCount) {
        (void)runs;
        (void)runCount;
        DrawPrimitiveUP(type, primitiveCount, vertexData, vertexStride);
    }

    // One level, usage 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED; any size up to the largest texture size.
    virtual std::shared_ptr<IDirect3DTexture9> CreateTexture(UINT width, UINT height, UINT levels,
                                                             DWORD usage, D3DFORMAT format, D3DPOOL pool) = 0;
    // Stage 0 only; none (nullptr) empties the stage. The device keeps the texture while it is set.
    virtual void SetTexture(DWORD stage, std::shared_ptr<IDirect3DTexture9> texture) = 0;
    virtual void SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual void SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;

    // Copies the target's image into memory: target height rows of target width pixels, top row
    // first, each pixel the bytes B, G, R, 255 (X8R8G8B8), rows pitch bytes apart.
    virtual void GetRenderTargetData(void *rows, int32_t pitch) = 0;
};

// The vertex size of a flexible vertex format we draw (0x142 or 0x42); 0 for any other.
constexpr UINT FvfVertexSize(DWORD fvf) {
    return fvf == (D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1) ? 24u
           : fvf == (D3DFVF_XYZ | D3DFVF_DIFFUSE)             ? 16u
                                                              : 0u;
}
