#pragma once
// A device that draws nothing and keeps every call, the state in force at each draw and the vertices
// drawn, for headless tests of everything above the device. It accepts and refuses exactly the calls the
// GL device does, and can be told to fail a call to test the callers' error paths.
#include "platform/d3d9/DeviceBase.h"

#include <string>
#include <vector>

enum class TDeviceCall {
    SetTransform,
    BeginScene,
    EndScene,
    Present,
    Clear,
    SetRenderState,
    SetFVF,
    DrawPrimitiveUP,
    CreateTexture,
    SetTexture,
    SetTextureStageState,
    SetSamplerState,
    GetRenderTargetData,
};

const char *DeviceCallName(TDeviceCall call);

// One call as made. Type is the state, primitive type or clear flags; Value the value, primitive count
// or clear colour; Extra the stencil value, stride or texture height.
struct TRecordedCall {
    TDeviceCall Call;
    DWORD Type = 0;
    DWORD Value = 0;
    DWORD Extra = 0;
    float Z = 0.0f;
    D3DMATRIX Matrix{};                         // SetTransform
    const IDirect3DTexture9 *Texture = nullptr; // SetTexture, CreateTexture
    int DrawIndex = -1;                         // DrawPrimitiveUP: index into Draws()
};

// A vertex as drawn, whatever its format (u and v are 0 for format 0x42).
struct TRecordedVertex {
    float X, Y, Z;
    D3DCOLOR Color;
    float U, V;
};

struct TRecordedDraw {
    D3DPRIMITIVETYPE Type;
    UINT PrimitiveCount;
    UINT VertexCount;
    UINT Stride;
    TDeviceState State;         // in force for this draw (FVF included)
    std::vector<uint8_t> Bytes; // VertexCount x Stride bytes as passed (empty when vertices are not kept)

    std::vector<TRecordedVertex> Vertices() const;
};

// Its textures keep their pixels: Pixels() holds what the last UnlockRect made visible.
class TRecordingTexture : public IDirect3DTexture9 {
public:
    TRecordingTexture(const void *owner, UINT width, UINT height);
    UINT Width() const override { return width_; }
    UINT Height() const override { return height_; }
    void LockRect(UINT level, D3DLOCKED_RECT &locked) override;
    void UnlockRect(UINT level) override;

    const void *Owner() const { return owner_; }
    // Width x Height pixels, top row first, each the bytes B, G, R, A.
    const std::vector<uint8_t> &Pixels() const { return pixels_; }
    int UnlockCount() const { return unlocks_; }

private:
    const void *owner_;
    UINT width_, height_;
    std::vector<uint8_t> pixels_, locked_;
    bool isLocked_ = false;
    int unlocks_ = 0;
};

class TRecordingDevice : public TD3DDeviceBase {
public:
    // A target of width x height pixels; textures up to maxTextureSize a side.
    explicit TRecordingDevice(int width = 640, int height = 480, UINT maxTextureSize = 4096);

    void SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX &matrix) override;
    void BeginScene() override;
    void EndScene() override;
    HRESULT Present() override;
    void Clear(DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    void GetViewport(D3DVIEWPORT9 &viewport) override;
    void SetViewport(const D3DVIEWPORT9 &viewport) override;
    void GetDeviceCaps(D3DCAPS9 &caps) override;
    void SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    void SetFVF(DWORD fvf) override;
    void DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void *vertexData,
                         UINT vertexStride) override;
    std::shared_ptr<IDirect3DTexture9> CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                                     D3DFORMAT format, D3DPOOL pool) override;
    void SetTexture(DWORD stage, std::shared_ptr<IDirect3DTexture9> texture) override;
    void SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    void SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    // Every pixel is the colour of the last Clear of the target (black before one), alpha byte 255.
    void GetRenderTargetData(void *rows, int32_t pitch) override;

    const std::vector<TRecordedCall> &Calls() const { return calls_; }
    const std::vector<TRecordedDraw> &Draws() const { return draws_; }
    // Forgets the calls and draws recorded so far (the state stays).
    void ClearRecord();
    // Off: draws keep their counts and state but not their vertex bytes (for measuring the callers).
    void SetKeepVertices(bool keep) { keepVertices_ = keep; }
    // The next call of that kind fails with the result: it raises ED3DError (Present returns it).
    void FailNext(TDeviceCall call, HRESULT result);

protected:
    bool OwnsTexture(const IDirect3DTexture9 &texture) const override;

private:
    TRecordedCall &Record(TDeviceCall call);
    void MaybeFail(TDeviceCall call, const char *name);

    // As the GL device on a common driver.
    static constexpr UINT MaxViewportSide = 16382;
    static constexpr UINT MaxAnisotropy = 16;

    int width_, height_;
    UINT maxTextureSize_;
    D3DVIEWPORT9 viewport_;
    D3DCOLOR clearColor_ = 0;
    bool keepVertices_ = true;
    std::vector<TRecordedCall> calls_;
    std::vector<TRecordedDraw> draws_;
    bool failArmed_ = false;
    TDeviceCall failCall_ = TDeviceCall::BeginScene;
    HRESULT failResult_ = D3D_OK;
};
