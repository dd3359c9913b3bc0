#pragma once
// A texture made from a bitmap with a transparent colour key: one texture per device, made on first use,
// dropped when the bitmap changes or the device's renderer goes. It carries the stage-0 options with which
// it is applied. The colour key becomes the alpha channel, so drawing needs only alpha blending.
#include "platform/d3d9/D3D9.h"
#include "platform/gdi/Bitmap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TdxRenderer;

class TTextureSurface {
public:
    // Options as stored: filters 0 point, 1 linear, 2 anisotropic; addressing 0 wrap, 1 clamp; arguments
    // 0 texture, 1 vertex colour; operation 0 add, 1 select argument 1, 2 add signed, 3 modulate,
    // 4 modulate 2x, 5 modulate 4x. Apply refuses other values.
    uint8_t MinFilter = 1;
    uint8_t MagFilter = 1;
    uint8_t AddressU = 0;
    uint8_t AddressV = 0;
    uint8_t ColorArg1 = 0;
    uint8_t ColorArg2 = 0;
    uint8_t ColorOp = 1;

    TTextureSurface();
    virtual ~TTextureSurface();
    TTextureSurface(const TTextureSurface &) = delete;
    TTextureSurface &operator=(const TTextureSurface &) = delete;

    // Takes a copy of the picture and drops every texture made so far; an empty picture changes nothing.
    void Assign(const TBitmap &bitmap);
    // The same, taking the picture over without a copy.
    void Assign(TBitmap &&bitmap);
    // Reads a bitmap file and assigns it; a file that cannot be read raises EBitmapError and changes nothing.
    void LoadFromFile(const std::string &fileName);
    void SetColorKey(uint8_t r, uint8_t g, uint8_t b);
    // 0x00RRGGBB: pixels of exactly this red, green and blue become transparent (white by default).
    D3DCOLOR ColorKey() const { return colorKey_; }
    int32_t Width() const;
    int32_t Height() const;
    // The picture as assigned (converted to 32 bits once a texture has been made from it); nullptr before.
    const TBitmap *Bitmap() const { return bitmap_ ? &*bitmap_ : nullptr; }

    // Makes the texture for the renderer's device when it has none (a texture is kept only once its
    // pixels are uploaded), sets it on stage 0 with the colour operation and arguments, alpha blending
    // SRCALPHA / INVSRCALPHA and the sampler's filters and addressing. Without a picture no texture is set,
    // the states still are.
    void Apply(TdxRenderer &renderer);
    // Drops the texture made for the device, if any; the others stay in their order.
    void ReleaseDeviceTexture(const IDirect3DDevice9 *device);
    int32_t DeviceTextureCount() const { return static_cast<int32_t>(textures_.size()); }
    // The texture made for the device; nullptr when none.
    std::shared_ptr<IDirect3DTexture9> DeviceTexture(const IDirect3DDevice9 *device) const;

    // Every texture surface alive, in order of creation (the renderers walk it when they go).
    static const std::vector<TTextureSurface *> &All();

private:
    struct TDevTexLink {
        const IDirect3DDevice9 *Key;
        std::weak_ptr<IDirect3DDevice9> Device;
        std::shared_ptr<IDirect3DTexture9> Texture;
    };

    std::shared_ptr<IDirect3DTexture9> MakeTexture(IDirect3DDevice9 &device);

    std::vector<TDevTexLink> textures_;
    D3DCOLOR colorKey_ = 0xFFFFFF;
    std::optional<TBitmap> bitmap_;
};
