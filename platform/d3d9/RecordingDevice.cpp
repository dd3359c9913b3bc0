#include "platform/d3d9/RecordingDevice.h"

#include "platform/d3d9/D3DError.h"

#include <cstring>

const char *DeviceCallName(TDeviceCall call) {
    switch (call) {
    case TDeviceCall::SetTransform:
        return "SetTransform";
    case TDeviceCall::BeginScene:
        return "BeginScene";
    case TDeviceCall::EndScene:
        return "EndScene";
    case TDeviceCall::Present:
        return "Present";
    case TDeviceCall::Clear:
        return "Clear";
    case TDeviceCall::SetRenderState:
        return "SetRenderState";
    case TDeviceCall::SetFVF:
        return "SetFVF";
    case TDeviceCall::DrawPrimitiveUP:
        return "DrawPrimitiveUP";
    case TDeviceCall::CreateTexture:
        return "CreateTexture";
    case TDeviceCall::SetTexture:
        return "SetTexture";
    case TDeviceCall::SetTextureStageState:
        return "SetTextureStageState";
    case TDeviceCall::SetSamplerState:
        return "SetSamplerState";
    case TDeviceCall::GetRenderTargetData:
        return "GetRenderTargetData";
    }
    return "?";
}

std::vector<TRecordedVertex> TRecordedDraw::Vertices() const {
    std::vector<TRecordedVertex> out;
    if (Bytes.empty())
        return out;
    const bool textured = FvfVertexSize(State.FVF) == 24;
    out.reserve(VertexCount);
    for (UINT i = 0; i < VertexCount; ++i) {
        const uint8_t *p = Bytes.data() + static_cast<std::size_t>(i) * Stride;
        TRecordedVertex v{};
        std::memcpy(&v.X, p, 4);
        std::memcpy(&v.Y, p + 4, 4);
        std::memcpy(&v.Z, p + 8, 4);
        std::memcpy(&v.Color, p + 12, 4);
        if (textured) {
            std::memcpy(&v.U, p + 16, 4);
            std::memcpy(&v.V, p + 20, 4);
        }
        out.push_back(v);
    }
    return out;
}

TRecordingTexture::TRecordingTexture(const void *owner, UINT width, UINT height)
    : owner_(owner), width_(width), height_(height),
      pixels_(static_cast<std::size_t>(width) * height * 4, 0) {}

void TRecordingTexture::LockRect(UINT level, D3DLOCKED_RECT &locked) {
    if (level != 0 || isLocked_)
        RaiseD3DError("IDirect3DTexture9.LockRect", D3DERR_INVALIDCALL,
                      isLocked_ ? "the texture is locked" : "only level 0 exists");
    locked_ = pixels_;
    isLocked_ = true;
    locked.Pitch = static_cast<int32_t>(width_ * 4);
    locked.pBits = locked_.data();
}

void TRecordingTexture::UnlockRect(UINT level) {
    if (level != 0 || !isLocked_)
        RaiseD3DError("IDirect3DTexture9.UnlockRect", D3DERR_INVALIDCALL, "the texture is not locked");
    pixels_.swap(locked_);
    locked_.clear();
    isLocked_ = false;
    ++unlocks_;
}

TRecordingDevice::TRecordingDevice(int width, int height, UINT maxTextureSize)
    : width_(width), height_(height),
      maxTextureSize_(maxTextureSize), viewport_{0, 0, width, height, 0.0f, 1.0f} {}

TRecordedCall &TRecordingDevice::Record(TDeviceCall call) {
    calls_.push_back(TRecordedCall{call});
    return calls_.back();
}

void TRecordingDevice::MaybeFail(TDeviceCall call, const char *name) {
    if (failArmed_ && failCall_ == call) {
        failArmed_ = false;
        RaiseD3DError(name, failResult_, "failure requested by the test");
    }
}

void TRecordingDevice::FailNext(TDeviceCall call, HRESULT result) {
    failArmed_ = true;
    failCall_ = call;
    failResult_ = result;
}

void TRecordingDevice::ClearRecord() {
    calls_.clear();
    draws_.clear();
}

bool TRecordingDevice::OwnsTexture(const IDirect3DTexture9 &texture) const {
    const auto *t = dynamic_cast<const TRecordingTexture *>(&texture);
    return t && t->Owner() == this;
}

void TRecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX &matrix) {
    MaybeFail(TDeviceCall::SetTransform, "IDirect3DDevice9.SetTransform");
    TD3DDeviceBase::SetTransform(state, matrix);
    TRecordedCall &c = Record(TDeviceCall::SetTransform);
    c.Type = static_cast<DWORD>(state);
    c.Matrix = matrix;
}

void TRecordingDevice::BeginScene() {
    MaybeFail(TDeviceCall::BeginScene, "IDirect3DDevice9.BeginScene");
    EnterScene("IDirect3DDevice9.BeginScene");
    Record(TDeviceCall::BeginScene);
}

void TRecordingDevice::EndScene() {
    MaybeFail(TDeviceCall::EndScene, "IDirect3DDevice9.EndScene");
    LeaveScene("IDirect3DDevice9.EndScene");
    Record(TDeviceCall::EndScene);
}

HRESULT TRecordingDevice::Present() {
    Record(TDeviceCall::Present);
    if (failArmed_ && failCall_ == TDeviceCall::Present) {
        failArmed_ = false;
        return failResult_;
    }
    return D3D_OK;
}

void TRecordingDevice::Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    const char *call = "IDirect3DDevice9.Clear";
    MaybeFail(TDeviceCall::Clear, call);
    if (flags == 0 || (flags & ~(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) != 0)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "clear flags " + std::to_string(flags));
    if (flags & D3DCLEAR_TARGET)
        clearColor_ = color;
    TRecordedCall &c = Record(TDeviceCall::Clear);
    c.Type = flags;
    c.Value = color;
    c.Z = z;
    c.Extra = stencil;
}

void TRecordingDevice::GetViewport(D3DVIEWPORT9 &viewport) {
    viewport = viewport_;
}

void TRecordingDevice::SetViewport(const D3DVIEWPORT9 &viewport) {
    CheckViewport("IDirect3DDevice9.SetViewport", viewport, MaxViewportSide, width_, height_);
    viewport_ = viewport;
}

void TRecordingDevice::GetDeviceCaps(D3DCAPS9 &caps) {
    caps = {maxTextureSize_, maxTextureSize_, MaxViewportSide, MaxAnisotropy};
}

void TRecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    MaybeFail(TDeviceCall::SetRenderState, "IDirect3DDevice9.SetRenderState");
    TD3DDeviceBase::SetRenderState(state, value);
    TRecordedCall &c = Record(TDeviceCall::SetRenderState);
    c.Type = static_cast<DWORD>(state);
    c.Value = value;
}

void TRecordingDevice::SetFVF(DWORD fvf) {
    MaybeFail(TDeviceCall::SetFVF, "IDirect3DDevice9.SetFVF");
    TD3DDeviceBase::SetFVF(fvf);
    Record(TDeviceCall::SetFVF).Value = fvf;
}

void TRecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                                       UINT vertexStride) {
    const char *call = "IDirect3DDevice9.DrawPrimitiveUP";
    MaybeFail(TDeviceCall::DrawPrimitiveUP, call);
    const UINT n = CheckDraw(call, type, primitiveCount, vertexData, vertexStride);
    TRecordedCall &c = Record(TDeviceCall::DrawPrimitiveUP);
    c.Type = static_cast<DWORD>(type);
    c.Value = primitiveCount;
    c.Extra = vertexStride;
    c.DrawIndex = static_cast<int>(draws_.size());
    TRecordedDraw d{type, primitiveCount, n, vertexStride, State(), {}};
    if (keepVertices_ && n > 0) {
        const auto *p = static_cast<const uint8_t *>(vertexData);
        d.Bytes.assign(p, p + static_cast<std::size_t>(n) * vertexStride);
    }
    draws_.push_back(std::move(d));
}

std::shared_ptr<IDirect3DTexture9> TRecordingDevice::CreateTexture(UINT width, UINT height, UINT levels,
                                                                   DWORD usage, D3DFORMAT format,
                                                                   D3DPOOL pool) {
    const char *call = "IDirect3DDevice9.CreateTexture";
    MaybeFail(TDeviceCall::CreateTexture, call);
    CheckTextureArgs(call, width, height, levels, usage, format, pool, maxTextureSize_);
    auto texture = std::make_shared<TRecordingTexture>(this, width, height);
    TRecordedCall &c = Record(TDeviceCall::CreateTexture);
    c.Value = width;
    c.Extra = height;
    c.Texture = texture.get();
    return texture;
}

void TRecordingDevice::SetTexture(DWORD stage, std::shared_ptr<IDirect3DTexture9> texture) {
    MaybeFail(TDeviceCall::SetTexture, "IDirect3DDevice9.SetTexture");
    const IDirect3DTexture9 *raw = texture.get();
    TD3DDeviceBase::SetTexture(stage, std::move(texture));
    TRecordedCall &c = Record(TDeviceCall::SetTexture);
    c.Type = stage;
    c.Texture = raw;
}

void TRecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    MaybeFail(TDeviceCall::SetTextureStageState, "IDirect3DDevice9.SetTextureStageState");
    TD3DDeviceBase::SetTextureStageState(stage, type, value);
    TRecordedCall &c = Record(TDeviceCall::SetTextureStageState);
    c.Type = static_cast<DWORD>(type);
    c.Value = value;
    c.Extra = stage;
}

void TRecordingDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    MaybeFail(TDeviceCall::SetSamplerState, "IDirect3DDevice9.SetSamplerState");
    TD3DDeviceBase::SetSamplerState(sampler, type, value);
    TRecordedCall &c = Record(TDeviceCall::SetSamplerState);
    c.Type = static_cast<DWORD>(type);
    c.Value = value;
    c.Extra = sampler;
}

void TRecordingDevice::GetRenderTargetData(void *rows, int32_t pitch) {
    const char *call = "IDirect3DDevice9.GetRenderTargetData";
    MaybeFail(TDeviceCall::GetRenderTargetData, call);
    if (!rows || pitch < width_ * 4)
        RaiseD3DError(call, D3DERR_INVALIDCALL, "rows of " + std::to_string(pitch) + " bytes are too short");
    const uint8_t px[4] = {static_cast<uint8_t>(clearColor_), static_cast<uint8_t>(clearColor_ >> 8),
                           static_cast<uint8_t>(clearColor_ >> 16), 255};
    for (int y = 0; y < height_; ++y) {
        uint8_t *row = static_cast<uint8_t *>(rows) + static_cast<std::ptrdiff_t>(y) * pitch;
        for (int x = 0; x < width_; ++x)
            std::memcpy(row + x * 4, px, 4);
    }
    Record(TDeviceCall::GetRenderTargetData);
}
