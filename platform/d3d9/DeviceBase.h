#pragma once
// What the GL device and the recording device share: the state of the fixed-function stage as the
// callers set it, and the checks of every call, so that both devices accept and refuse the same calls.
#include "platform/d3d9/D3D9.h"

#include <memory>

// The device state in force for a draw. The initial values are those of a fresh device, except where we
// support only one value (culling off, no depth test, the one blend pair, ambient from the vertex colour).
struct TDeviceState {
    D3DMATRIX World, View, Projection; // identity at start
    DWORD FVF = 0;

    DWORD ZEnable = D3DZB_FALSE;
    DWORD CullMode = D3DCULL_NONE;
    DWORD AlphaBlendEnable = 0;
    DWORD SrcBlend = D3DBLEND_SRCALPHA;
    DWORD DestBlend = D3DBLEND_INVSRCALPHA;
    DWORD ColorWriteEnable = 0xF; // bit 0 red, 1 green, 2 blue, 3 alpha
    DWORD StencilEnable = 0;
    DWORD StencilFunc = D3DCMP_ALWAYS;
    DWORD StencilRef = 0;
    DWORD StencilMask = 0xFFFFFFFF;
    DWORD StencilWriteMask = 0xFFFFFFFF;
    DWORD StencilPass = D3DSTENCILOP_KEEP;
    D3DCOLOR Ambient = 0; // black until set: lit vertices show vertex.rgb x ambient.rgb
    DWORD AmbientMaterialSource = D3DMCS_COLOR1;

    // Texture stage 0 and sampler 0.
    const IDirect3DTexture9 *Texture = nullptr;
    DWORD ColorOp = D3DTOP_MODULATE;
    DWORD ColorArg1 = D3DTA_TEXTURE;
    DWORD ColorArg2 = D3DTA_DIFFUSE;
    DWORD MinFilter = D3DTEXF_POINT;
    DWORD MagFilter = D3DTEXF_POINT;
    DWORD AddressU = D3DTADDRESS_WRAP;
    DWORD AddressV = D3DTADDRESS_WRAP;

    TDeviceState();
};

D3DMATRIX IdentityD3DMatrix();

// The number of vertices that primitiveCount primitives of the type use; raises D3DERR_INVALIDCALL
// (naming call) for an unknown type or a count beyond what a device draws in one call.
UINT VertexCountFor(const char *call, D3DPRIMITIVETYPE type, UINT primitiveCount);

// Largest number of vertices one DrawPrimitiveUP call may use.
constexpr UINT MaxVertexCount = 0xFFFFFF;

// Implements the state setters with their checks; the derived device draws.
class TD3DDeviceBase : public IDirect3DDevice9 {
public:
    void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX &matrix) override;
    void SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    void SetFVF(DWORD fvf) override;
    void SetTexture(DWORD stage, std::shared_ptr<IDirect3DTexture9> texture) override;
    void SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    void SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;

    const TDeviceState &State() const { return state_; }
    const std::shared_ptr<IDirect3DTexture9> &BoundTexture() const { return texture_; }
    bool InScene() const { return inScene_; }

protected:
    // Whether the texture was made by this device.
    virtual bool OwnsTexture(const IDirect3DTexture9 &texture) const = 0;

    // Scene bookkeeping with its checks (D3DERR_INVALIDCALL naming the call).
    void EnterScene(const char *call);
    void LeaveScene(const char *call);
    // Checks a draw against the current state; returns the vertex count (0 draws nothing).
    UINT CheckDraw(const char *call, D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                   UINT vertexStride) const;
    // Checks the runs of DrawPrimitiveRunsUP: one after the other from primitive 0, covering all.
    static void CheckRuns(const char *call, UINT primitiveCount, const D3DPRIMITIVERUN *runs, UINT runCount);
    // Checks a viewport for SetViewport: sides 1 to maxSize, depth 0..1, and at least one pixel in common
    // with a target of targetWidth x targetHeight.
    static void CheckViewport(const char *call, const D3DVIEWPORT9 &viewport, UINT maxSize, int targetWidth,
                              int targetHeight);
    // Checks the arguments of CreateTexture against what we support and the largest size.
    static void CheckTextureArgs(const char *call, UINT width, UINT height, UINT levels, DWORD usage,
                                 D3DFORMAT format, D3DPOOL pool, UINT maxSize);

    // Set when any state changed since the derived device last applied it.
    bool stateDirty_ = true;
    bool transformDirty_ = true;

private:
    // Setting a state to the value it has is no change: callers set states around every draw, and each
    // change costs the derived device a round of its own state calls.
    template <class T> void Change(T &field, T value) {
        if (field != value) {
            field = value;
            stateDirty_ = true;
        }
    }

    TDeviceState state_;
    std::shared_ptr<IDirect3DTexture9> texture_;
    bool inScene_ = false;
};
