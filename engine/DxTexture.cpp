#include "engine/DxTexture.h"

#include "engine/DxRenderer.h"
#include "engine/StreetError.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Every texture surface alive. UI thread only, as all drawing.
std::vector<TTextureSurface *> &Surfaces() {
    static std::vector<TTextureSurface *> list;
    return list;
}

constexpr DWORD FilterValues[] = {D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC};
constexpr DWORD AddressValues[] = {D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP};
constexpr DWORD ArgValues[] = {D3DTA_TEXTURE, D3DTA_DIFFUSE};
constexpr DWORD OpValues[] = {D3DTOP_ADD,      D3DTOP_SELECTARG1, D3DTOP_ADDSIGNED,
                              D3DTOP_MODULATE, D3DTOP_MODULATE2X, D3DTOP_MODULATE4X};

template <std::size_t N> DWORD Option(const DWORD (&values)[N], uint8_t option, const char *what) {
    if (option >= N)
        RaiseStreetError("TTextureSurface.Apply", std::string(what) + " " + std::to_string(option) +
                                                      " out of range 0.." + std::to_string(N - 1));
    return values[option];
}

} // namespace

TTextureSurface::TTextureSurface() {
    Surfaces().push_back(this);
}

TTextureSurface::~TTextureSurface() {
    std::erase(Surfaces(), this);
}

const std::vector<TTextureSurface *> &TTextureSurface::All() {
    return Surfaces();
}

void TTextureSurface::Assign(const TBitmap &bitmap) {
    if (bitmap.Empty())
        return;
    bitmap_ = bitmap;
    textures_.clear();
}

void TTextureSurface::Assign(TBitmap &&bitmap) {
    if (bitmap.Empty())
        return;
    bitmap_ = std::move(bitmap);
    textures_.clear();
}

void TTextureSurface::LoadFromFile(const std::string &fileName) {
    TBitmap bitmap;
    bitmap.LoadFromFile(fileName);
    Assign(bitmap);
}

void TTextureSurface::SetColorKey(uint8_t r, uint8_t g, uint8_t b) {
    colorKey_ = D3DCOLOR(r) << 16 | D3DCOLOR(g) << 8 | b;
}

int32_t TTextureSurface::Width() const {
    return bitmap_ ? bitmap_->Width() : 0;
}

int32_t TTextureSurface::Height() const {
    return bitmap_ ? bitmap_->Height() : 0;
}

std::shared_ptr<IDirect3DTexture9> TTextureSurface::DeviceTexture(const IDirect3DDevice9 *device) const {
    for (const TDevTexLink &link : textures_)
        if (link.Key == device && !link.Device.expired())
            return link.Texture;
    return nullptr;
}

void TTextureSurface::ReleaseDeviceTexture(const IDirect3DDevice9 *device) {
    std::erase_if(textures_, [device](const TDevTexLink &link) { return link.Key == device; });
}

std::shared_ptr<IDirect3DTexture9> TTextureSurface::MakeTexture(IDirect3DDevice9 &device) {
    TBitmap &bitmap = *bitmap_;
    const int32_t w = bitmap.Width(), h = bitmap.Height();
    std::shared_ptr<IDirect3DTexture9> texture =
        device.CreateTexture(UINT(w), UINT(h), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    // Every source format reaches the texture through the bitmap's own conversion, a whole row at a time.
    if (bitmap.PixelFormat() != TPixelFormat::pf32bit)
        bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, locked);
    const uint32_t key = colorKey_ & 0xFFFFFF;
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t *src = bitmap.ScanLine(y);
        uint8_t *dst = static_cast<uint8_t *>(locked.pBits) + static_cast<std::ptrdiff_t>(y) * locked.Pitch;
        // Branch-free, so that the compiler turns it into vector code: the pass runs over every texel.
        for (int32_t x = 0; x < w; ++x) {
            uint32_t px;
            std::memcpy(&px, src + 4 * x, 4);
            px &= 0xFFFFFF;
            px |= px != key ? 0xFF000000u : 0u;
            std::memcpy(dst + 4 * x, &px, 4);
        }
    }
    texture->UnlockRect(0);
    return texture;
}

void TTextureSurface::Apply(TdxRenderer &renderer) {
    const DWORD op = Option(OpValues, ColorOp, "colour operation");
    const DWORD arg1 = Option(ArgValues, ColorArg1, "colour argument 1");
    const DWORD arg2 = Option(ArgValues, ColorArg2, "colour argument 2");
    const DWORD minFilter = Option(FilterValues, MinFilter, "min filter");
    const DWORD magFilter = Option(FilterValues, MagFilter, "mag filter");
    const DWORD addressU = Option(AddressValues, AddressU, "address u");
    const DWORD addressV = Option(AddressValues, AddressV, "address v");
    IDirect3DDevice9 &device = renderer.Device();
    std::shared_ptr<IDirect3DTexture9> texture;
    if (bitmap_) {
        // Entries of devices that are gone could be mistaken for a new device at the same address.
        std::erase_if(textures_, [](const TDevTexLink &link) { return link.Device.expired(); });
        texture = DeviceTexture(&device);
        if (!texture) {
            texture = MakeTexture(device);
            // Kept only now that its pixels are in place: a failed upload leaves no empty texture behind.
            textures_.push_back({&device, renderer.DeviceRef(), texture});
        }
    }
    device.SetTexture(0, std::move(texture));
    device.SetTextureStageState(0, D3DTSS_COLOROP, op);
    device.SetTextureStageState(0, D3DTSS_COLORARG1, arg1);
    device.SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
    device.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    device.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device.SetSamplerState(0, D3DSAMP_MINFILTER, minFilter);
    device.SetSamplerState(0, D3DSAMP_MAGFILTER, magFilter);
    device.SetSamplerState(0, D3DSAMP_ADDRESSU, addressU);
    device.SetSamplerState(0, D3DSAMP_ADDRESSV, addressV);
}
