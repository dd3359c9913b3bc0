#include "platform/d3d9/DeviceBase.h"

#include "platform/d3d9/D3DError.h"

#include <string>

namespace {

[[noreturn]] void Refuse(const char *call, const std::string &what, DWORD value) {
    RaiseD3DError(call, D3DERR_INVALIDCALL, what + " " + std::to_string(value) + " is not supported");
}

bool IsBool(DWORD v) {
    return v == 0 || v == 1;
}

} // namespace

D3DMATRIX IdentityD3DMatrix() {
    D3DMATRIX m{};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1.0f;
    return m;
}

TDeviceState::TDeviceState()
    : World(IdentityD3DMatrix()), View(IdentityD3DMatrix()), Projection(IdentityD3DMatrix()) {}

UINT VertexCountFor(const char *call, D3DPRIMITIVETYPE type, UINT primitiveCount) {
    uint64_t n = primitiveCount;
    switch (type) {
    case D3DPT_POINTLIST:
        break;
    case D3DPT_LINELIST:
        n *= 2;
        break;
    case D3DPT_LINESTRIP:
        n += primitiveCount ? 1 : 0;
        break;
    case D3DPT_TRIANGLELIST:
        n *= 3;
        break;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        n += primitiveCount ? 2 : 0;
        break;
    default:
        Refuse(call, "primitive type", static_cast<DWORD>(type));
    }
    if (n > MaxVertexCount)
        RaiseD3DError(call, D3DERR_INVALIDCALL, std::to_string(primitiveCount) + " primitives are too many");
    return static_cast<UINT>(n);
}

void TD3DDeviceBase::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX &matrix) {
    switch (state) {
    case D3DTS_WORLD:
        state_.World = matrix;
        break;
    case D3DTS_VIEW:
        state_.View = matrix;
        break;
    case D3DTS_PROJECTION:
        state_.Projection = matrix;
        break;
    default:
        Refuse("IDirect3DDevice9.SetTransform", "transform state", static_cast<DWORD>(state));
    }
    transformDirty_ = true;
}

void TD3DDeviceBase::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    const char *call = "IDirect3DDevice9.SetRenderState";
    const auto need = [&](bool ok) {
        if (!ok)
            Refuse(call, "render state " + std::to_string(static_cast<int>(state)) + " value", value);
    };
    TDeviceState &s = state_;
    switch (state) {
    case D3DRS_ZENABLE:
        need(value == D3DZB_FALSE);
        Change(s.ZEnable, value);
        break;
    case D3DRS_CULLMODE:
        need(value == D3DCULL_NONE);
        Change(s.CullMode, value);
        break;
    case D3DRS_SRCBLEND:
        need(value == D3DBLEND_SRCALPHA);
        Change(s.SrcBlend, value);
        break;
    case D3DRS_DESTBLEND:
        need(value == D3DBLEND_INVSRCALPHA);
        Change(s.DestBlend, value);
        break;
    case D3DRS_ALPHABLENDENABLE:
        need(IsBool(value));
        Change(s.AlphaBlendEnable, value);
        break;
    case D3DRS_COLORWRITEENABLE:
        Change(s.ColorWriteEnable, value & 0xF);
        break;
    case D3DRS_STENCILENABLE:
        need(IsBool(value));
        Change(s.StencilEnable, value);
        break;
    case D3DRS_STENCILFUNC:
        need(value == D3DCMP_EQUAL || value == D3DCMP_ALWAYS);
        Change(s.StencilFunc, value);
        break;
    case D3DRS_STENCILPASS:
        need(value == D3DSTENCILOP_KEEP || value == D3DSTENCILOP_INVERT);
        Change(s.StencilPass, value);
        break;
    case D3DRS_STENCILREF:
        Change(s.StencilRef, value);
        break;
    case D3DRS_STENCILMASK:
        Change(s.StencilMask, value);
        break;
    case D3DRS_STENCILWRITEMASK:
        Change(s.StencilWriteMask, value);
        break;
    case D3DRS_AMBIENT:
        Change(s.Ambient, value);
        break;
    case D3DRS_AMBIENTMATERIALSOURCE:
        need(value == D3DMCS_COLOR1);
        Change(s.AmbientMaterialSource, value);
        break;
    default:
        Refuse(call, "render state", static_cast<DWORD>(state));
    }
}

void TD3DDeviceBase::SetFVF(DWORD fvf) {
    if (FvfVertexSize(fvf) == 0)
        Refuse("IDirect3DDevice9.SetFVF", "vertex format", fvf);
    Change(state_.FVF, fvf);
}

void TD3DDeviceBase::SetTexture(DWORD stage, std::shared_ptr<IDirect3DTexture9> texture) {
    const char *call = "IDirect3DDevice9.SetTexture";
    if (stage != 0)
        Refuse(call, "texture stage", stage);
    if (texture && !OwnsTexture(*texture))
        RaiseD3DError(call, D3DERR_INVALIDCALL, "the texture belongs to another device");
    texture_ = std::move(texture);
    Change(state_.Texture, static_cast<const IDirect3DTexture9 *>(texture_.get()));
}

void TD3DDeviceBase::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    const char *call = "IDirect3DDevice9.SetTextureStageState";
    if (stage != 0)
        Refuse(call, "texture stage", stage);
    const bool isArg = value == D3DTA_DIFFUSE || value == D3DTA_TEXTURE;
    switch (type) {
    case D3DTSS_COLOROP:
        if (value != D3DTOP_SELECTARG1 && value != D3DTOP_MODULATE && value != D3DTOP_MODULATE2X &&
            value != D3DTOP_MODULATE4X && value != D3DTOP_ADD && value != D3DTOP_ADDSIGNED)
            Refuse(call, "colour operation", value);
        Change(state_.ColorOp, value);
        break;
    case D3DTSS_COLORARG1:
        if (!isArg)
            Refuse(call, "colour argument", value);
        Change(state_.ColorArg1, value);
        break;
    case D3DTSS_COLORARG2:
        if (!isArg)
            Refuse(call, "colour argument", value);
        Change(state_.ColorArg2, value);
        break;
    default:
        Refuse(call, "texture stage state", static_cast<DWORD>(type));
    }
}

void TD3DDeviceBase::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    const char *call = "IDirect3DDevice9.SetSamplerState";
    if (sampler != 0)
        Refuse(call, "sampler", sampler);
    const bool isFilter = value == D3DTEXF_POINT || value == D3DTEXF_LINEAR || value == D3DTEXF_ANISOTROPIC;
    const bool isAddress = value == D3DTADDRESS_WRAP || value == D3DTADDRESS_CLAMP;
    switch (type) {
    case D3DSAMP_MINFILTER:
    case D3DSAMP_MAGFILTER:
        if (!isFilter)
            Refuse(call, "texture filter", value);
        Change((type == D3DSAMP_MINFILTER ? state_.MinFilter : state_.MagFilter), value);
        break;
    case D3DSAMP_ADDRESSU:
    case D3DSAMP_ADDRESSV:
        if (!isAddress)
            Refuse(call, "texture address mode", value);
        Change((type == D3DSAMP_ADDRESSU ? state_.AddressU : state_.AddressV), value);
        break;
    default:
        Refuse(call, "sampler state", static_cast<DWORD>(type));
    }
}

void TD3DDeviceBase::EnterScene(const char *call) {
    if (inScene_)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "a scene is already open");
    inScene_ = true;
}

void TD3DDeviceBase::LeaveScene(const char *call) {
    if (!inScene_)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "no scene is open");
    inScene_ = false;
}

UINT TD3DDeviceBase::CheckDraw(const char *call, D3DPRIMITIVETYPE type, UINT primitiveCount,
                               const void *vertexData, UINT vertexStride) const {
    const UINT n = VertexCountFor(call, type, primitiveCount);
    if (!inScene_)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "drawing outside a scene");
    if (n == 0)
        return 0;
    const UINT size = FvfVertexSize(state_.FVF);
    if (size == 0)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "no vertex format set");
    if (vertexStride < size || vertexStride > 1024)
        RaiseD3DError(call, D3DERR_INVALIDCALL,
                      "stride " + std::to_string(vertexStride) + " does not fit the vertex format");
    if (!vertexData)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "no vertices");
    return n;
}

void TD3DDeviceBase::CheckRuns(const char *call, UINT primitiveCount, const D3DPRIMITIVERUN *runs,
                               UINT runCount) {
    if (runCount > 0 && !runs)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "no runs");
    uint64_t next = 0;
    for (UINT i = 0; i < runCount; ++i) {
        if (runs[i].FirstPrimitive != next)
            RaiseD3DError(call, D3DERR_INVALIDCALL,
                          "run " + std::to_string(i) + " starts at primitive " +
                              std::to_string(runs[i].FirstPrimitive) + ", not " + std::to_string(next));
        next += runs[i].PrimitiveCount;
    }
    if (next != primitiveCount)
        RaiseD3DError(call, D3DERR_INVALIDCALL,
                      "the runs hold " + std::to_string(next) + " of " + std::to_string(primitiveCount) +
                          " primitives");
}

void TD3DDeviceBase::CheckTextureArgs(const char *call, UINT width, UINT height, UINT levels, DWORD usage,
                                      D3DFORMAT format, D3DPOOL pool, UINT maxSize) {
    if (width == 0 || height == 0 || width > maxSize || height > maxSize)
        RaiseD3DError(call, D3DERR_INVALIDCALL,
                      "size " + std::to_string(width) + " x " + std::to_string(height) + " (largest " +
                          std::to_string(maxSize) + ")");
    if (levels != 1)
        Refuse(call, "level count", levels);
    if (usage != 0)
        Refuse(call, "usage", usage);
    if (format != D3DFMT_A8R8G8B8)
        Refuse(call, "format", static_cast<DWORD>(format));
    if (pool != D3DPOOL_MANAGED)
        Refuse(call, "pool", static_cast<DWORD>(pool));
}

void TD3DDeviceBase::CheckViewport(const char *call, const D3DVIEWPORT9 &viewport, UINT maxSize,
                                   int targetWidth, int targetHeight) {
    const auto side = [maxSize](int32_t v) { return v >= 1 && static_cast<UINT>(v) <= maxSize; };
    const D3DVIEWPORT9 &v = viewport;
    if (!side(v.Width) || !side(v.Height) || v.MinZ != 0.0f || v.MaxZ != 1.0f || v.X <= -v.Width ||
        v.Y <= -v.Height || v.X >= targetWidth || v.Y >= targetHeight)
        RaiseD3DError(call, D3DERR_INVALIDCALL,
                      "viewport " + std::to_string(v.X) + ", " + std::to_string(v.Y) + ", " +
                          std::to_string(v.Width) + " x " + std::to_string(v.Height) + " on a target of " +
                          std::to_string(targetWidth) + " x " + std::to_string(targetHeight) +
                          " (sides up to " + std::to_string(maxSize) +
                          ", depth 0..1, overlapping the target)");
}
