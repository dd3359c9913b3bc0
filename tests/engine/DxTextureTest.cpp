// Textures from bitmaps above a recording device: the pixels a texture gets from every source format, the
// colour key, when textures are made, kept and dropped, the stage options, and failed uploads.
#include "engine/DxTexture.h"
#include "engine/DxRenderer.h"
#include "engine/StreetError.h"
#include "platform/d3d9/D3DError.h"
#include "platform/d3d9/RecordingDevice.h"
#include "platform/gdi/Bitmap.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct TRig {
    std::shared_ptr<TRecordingDevice> Device;
    TDisplayRenderer Renderer;

    explicit TRig(std::shared_ptr<TRecordingDevice> device = std::make_shared<TRecordingDevice>())
        : Device(std::move(device)), Renderer(Device) {}

    const TRecordingTexture *Bound() const {
        return dynamic_cast<const TRecordingTexture *>(Device->State().Texture);
    }
};

constexpr uint32_t White = 0xFFFFFF, Black = 0x000000, Red = 0xFF0000, Green = 0x00FF00, Blue = 0x0000FF;

TEST(DxTexture, EverySourceFormatGivesTheSamePixelsWithTheKeyTransparent) {
    struct TCase {
        const char *Name;
        TPixelFormat Format;
        std::vector<uint32_t> Palette; // empty: the format's own
        std::vector<uint32_t> Colors;
    };
    const std::vector<uint32_t> five = {White, Red, Green, Blue, Black};
    const TCase cases[] = {
        {"1 bit", TPixelFormat::pf1bit, {}, {White, Black}},
        {"4 bits", TPixelFormat::pf4bit, {Black, Red, Green, Blue, White}, five},
        {"8 bits", TPixelFormat::pf8bit, {Blue, White, 0x808080, Red, Black, Green}, five},
        {"15 bits", TPixelFormat::pf15bit, {}, five},
        {"16 bits", TPixelFormat::pf16bit, {}, five},
        {"24 bits", TPixelFormat::pf24bit, {}, five},
        {"32 bits", TPixelFormat::pf32bit, {}, five},
    };
    // Odd widths: rows of 1, 4 and 24-bit pixels end inside their padding.
    for (const int width : {5, 13}) {
        const int height = 3;
        for (const TCase &c : cases) {
            TBitmap source(width, height, c.Format);
            if (!c.Palette.empty())
                source.SetPalette(c.Palette);
            const auto colour = [&](int x, int y) { return c.Colors[(x + 2 * y) % c.Colors.size()]; };
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    source.SetPixel(x, y, 0xFF000000 | colour(x, y));
            TTextureSurface surface;
            surface.Assign(source);
            TRig rig;
            surface.Apply(rig.Renderer);
            const TRecordingTexture *t = rig.Bound();
            ASSERT_NE(t, nullptr) << c.Name;
            ASSERT_EQ(t->Width(), UINT(width));
            ASSERT_EQ(t->Height(), UINT(height));
            const std::vector<uint8_t> &px = t->Pixels();
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const uint32_t want = colour(x, y);
                    const uint8_t *p = &px[(static_cast<std::size_t>(y) * width + x) * 4];
                    const uint32_t got = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
                    EXPECT_EQ(got, want) << c.Name << " width " << width << " at " << x << ", " << y;
                    EXPECT_EQ(p[3], want == White ? 0 : 255) << c.Name << " at " << x << ", " << y;
                }
        }
    }
}

TEST(DxTexture, TheKeyComparesRedGreenAndBlueOnly) {
    TBitmap source(3, 1, TPixelFormat::pf32bit);
    uint8_t *row = source.ScanLine(0);
    const uint8_t bytes[12] = {0x30, 0x20, 0x10, 0x00, 0x30, 0x20, 0x10, 0xFF, 0x31, 0x20, 0x10, 0x00};
    std::copy(std::begin(bytes), std::end(bytes), row);
    TTextureSurface surface;
    surface.SetColorKey(0x10, 0x20, 0x30);
    EXPECT_EQ(surface.ColorKey(), 0x102030u);
    surface.Assign(source);
    TRig rig;
    surface.Apply(rig.Renderer);
    const std::vector<uint8_t> &px = rig.Bound()->Pixels();
    EXPECT_EQ(px[3], 0);    // the key with alpha 0
    EXPECT_EQ(px[7], 0);    // the key with alpha 255
    EXPECT_EQ(px[11], 255); // one blue step away
}

TEST(DxTexture, OneTexturePerDeviceMadeOnFirstUseAndDroppedByANewPicture) {
    TTextureSurface surface;
    surface.Assign(TBitmap(4, 2, TPixelFormat::pf24bit));
    EXPECT_EQ(surface.Width(), 4);
    EXPECT_EQ(surface.Height(), 2);
    TRig rig;
    surface.Apply(rig.Renderer);
    const IDirect3DTexture9 *first = rig.Device->State().Texture;
    surface.Apply(rig.Renderer);
    EXPECT_EQ(rig.Device->State().Texture, first);
    int creations = 0;
    for (const TRecordedCall &c : rig.Device->Calls())
        creations += c.Call == TDeviceCall::CreateTexture;
    EXPECT_EQ(creations, 1);

    // An empty picture changes nothing.
    surface.Assign(TBitmap());
    EXPECT_EQ(surface.DeviceTextureCount(), 1);
    EXPECT_EQ(surface.Width(), 4);
    // A new one drops every texture; the next use makes a new one.
    TBitmap red(1, 1, TPixelFormat::pf24bit);
    red.Fill(0xFFFF0000);
    surface.Assign(red);
    EXPECT_EQ(surface.DeviceTextureCount(), 0);
    surface.Apply(rig.Renderer);
    EXPECT_NE(rig.Device->State().Texture, first);
    const std::vector<uint8_t> &px = rig.Bound()->Pixels();
    EXPECT_EQ(px, (std::vector<uint8_t>{0, 0, 0xFF, 0xFF}));
}

TEST(DxTexture, TwoDevicesGetTwoTexturesAndReleasingOneKeepsTheOther) {
    TTextureSurface surface;
    surface.Assign(TBitmap(2, 2, TPixelFormat::pf24bit));
    TRig a, b, c;
    surface.Apply(a.Renderer);
    surface.Apply(b.Renderer);
    surface.Apply(c.Renderer);
    EXPECT_EQ(surface.DeviceTextureCount(), 3);
    surface.ReleaseDeviceTexture(b.Device.get());
    EXPECT_EQ(surface.DeviceTextureCount(), 2);
    EXPECT_EQ(surface.DeviceTexture(a.Device.get()).get(), a.Device->State().Texture);
    EXPECT_EQ(surface.DeviceTexture(b.Device.get()), nullptr);
    EXPECT_EQ(surface.DeviceTexture(c.Device.get()).get(), c.Device->State().Texture);
}

TEST(DxTexture, WithoutAPictureNoTextureIsSetButTheStatesAre) {
    TTextureSurface surface;
    EXPECT_EQ(surface.Width(), 0);
    EXPECT_EQ(surface.Height(), 0);
    EXPECT_EQ(surface.Bitmap(), nullptr);
    TRig rig;
    surface.MinFilter = 0;
    surface.AddressV = 1;
    surface.Apply(rig.Renderer);
    const TDeviceState &s = rig.Device->State();
    EXPECT_EQ(s.Texture, nullptr);
    EXPECT_EQ(s.AlphaBlendEnable, 1u);
    EXPECT_EQ(s.SrcBlend, D3DBLEND_SRCALPHA);
    EXPECT_EQ(s.DestBlend, D3DBLEND_INVSRCALPHA);
    EXPECT_EQ(s.MinFilter, D3DTEXF_POINT);
    EXPECT_EQ(s.AddressV, D3DTADDRESS_CLAMP);
    EXPECT_EQ(surface.DeviceTextureCount(), 0);
}

TEST(DxTexture, StoredOptionsMapToTheStageAndSamplerStates) {
    struct TCase {
        uint8_t MinFilter, MagFilter, AddressU, AddressV, Arg1, Arg2, Op;
        DWORD DMin, DMag, DU, DV, DArg1, DArg2, DOp;
    } const cases[] = {
        {1, 1, 0, 0, 0, 0, 1, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP,
         D3DTA_TEXTURE, D3DTA_TEXTURE, D3DTOP_SELECTARG1}, // the defaults
        {0, 2, 1, 0, 1, 0, 0, D3DTEXF_POINT, D3DTEXF_ANISOTROPIC, D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP,
         D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_ADD},
        {2, 0, 0, 1, 0, 1, 2, D3DTEXF_ANISOTROPIC, D3DTEXF_POINT, D3DTADDRESS_WRAP, D3DTADDRESS_CLAMP,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_ADDSIGNED},
        {1, 1, 1, 1, 0, 1, 3, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTADDRESS_CLAMP, D3DTADDRESS_CLAMP,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE},
        {1, 1, 0, 0, 0, 1, 4, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE2X},
        {1, 1, 0, 0, 0, 1, 5, D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTADDRESS_WRAP, D3DTADDRESS_WRAP,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_MODULATE4X},
    };
    for (const TCase &c : cases) {
        TTextureSurface surface;
        surface.MinFilter = c.MinFilter;
        surface.MagFilter = c.MagFilter;
        surface.AddressU = c.AddressU;
        surface.AddressV = c.AddressV;
        surface.ColorArg1 = c.Arg1;
        surface.ColorArg2 = c.Arg2;
        surface.ColorOp = c.Op;
        TRig rig;
        surface.Apply(rig.Renderer);
        const TDeviceState &s = rig.Device->State();
        const int op = c.Op;
        EXPECT_EQ(s.MinFilter, c.DMin) << op;
        EXPECT_EQ(s.MagFilter, c.DMag) << op;
        EXPECT_EQ(s.AddressU, c.DU) << op;
        EXPECT_EQ(s.AddressV, c.DV) << op;
        EXPECT_EQ(s.ColorArg1, c.DArg1) << op;
        EXPECT_EQ(s.ColorArg2, c.DArg2) << op;
        EXPECT_EQ(s.ColorOp, c.DOp) << op;
    }
    // An option beyond its range is refused before the device is touched.
    TTextureSurface surface;
    surface.ColorOp = 6;
    TRig rig;
    rig.Device->ClearRecord();
    EXPECT_THROW(surface.Apply(rig.Renderer), EStreetError);
    EXPECT_TRUE(rig.Device->Calls().empty());
}

// Its textures refuse the first lock, as a device that runs out of memory on upload would.
class TLockFailingTexture : public TRecordingTexture {
public:
    using TRecordingTexture::TRecordingTexture;
    void LockRect(UINT level, D3DLOCKED_RECT &locked) override {
        if (FailLocks > 0) {
            --FailLocks;
            RaiseD3DError("IDirect3DTexture9.LockRect", D3DERR_OUTOFVIDEOMEMORY);
        }
        TRecordingTexture::LockRect(level, locked);
    }
    static inline int FailLocks = 0;
};

class TLockFailingDevice : public TRecordingDevice {
public:
    std::shared_ptr<IDirect3DTexture9> CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                                     D3DFORMAT format, D3DPOOL pool) override {
        TRecordingDevice::CreateTexture(width, height, levels, usage, format, pool);
        return std::make_shared<TLockFailingTexture>(this, width, height);
    }
};

TEST(DxTexture, ATextureIsKeptForADeviceOnlyOnceItsUploadSucceeded) {
    TTextureSurface surface;
    surface.Assign(TBitmap(2, 2, TPixelFormat::pf24bit));
    {
        TRig rig;
        rig.Device->FailNext(TDeviceCall::CreateTexture, D3DERR_OUTOFVIDEOMEMORY);
        EXPECT_THROW(surface.Apply(rig.Renderer), ED3DError);
        EXPECT_EQ(surface.DeviceTextureCount(), 0);
    }
    TRig rig(std::make_shared<TLockFailingDevice>());
    TLockFailingTexture::FailLocks = 1;
    try {
        surface.Apply(rig.Renderer);
        ADD_FAILURE() << "the upload did not fail";
    } catch (const ED3DError &e) {
        EXPECT_EQ(e.Call(), "IDirect3DTexture9.LockRect");
    }
    EXPECT_EQ(surface.DeviceTextureCount(), 0);
    EXPECT_EQ(rig.Device->State().Texture, nullptr);
    // The next use tries again and keeps a texture with its pixels.
    surface.Apply(rig.Renderer);
    EXPECT_EQ(surface.DeviceTextureCount(), 1);
    ASSERT_NE(rig.Bound(), nullptr);
    EXPECT_EQ(rig.Bound()->UnlockCount(), 1);
    EXPECT_EQ(rig.Bound()->Pixels()[0], 0xFF);
}

TEST(DxTexture, LoadFromFileKeepsThePictureWhenTheFileIsBad) {
    sptest::TempDir dir;
    TBitmap picture(3, 2, TPixelFormat::pf8bit);
    picture.SaveToFile(dir.File("good.bmp"));
    TTextureSurface surface;
    surface.LoadFromFile(dir.File("good.bmp"));
    EXPECT_EQ(surface.Width(), 3);
    EXPECT_EQ(surface.Bitmap()->PixelFormat(), TPixelFormat::pf8bit);
    {
        std::FILE *f = std::fopen(dir.File("bad.bmp").c_str(), "wb");
        std::fputs("BM not really", f);
        std::fclose(f);
    }
    EXPECT_THROW(surface.LoadFromFile(dir.File("bad.bmp")), EBitmapError);
    EXPECT_THROW(surface.LoadFromFile(dir.File("missing.bmp")), EBitmapError);
    EXPECT_EQ(surface.Width(), 3);
}

TEST(DxTexture, EverySurfaceIsListedWhileItLives) {
    const std::size_t before = TTextureSurface::All().size();
    auto a = std::make_unique<TTextureSurface>();
    TTextureSurface b;
    EXPECT_EQ(TTextureSurface::All().size(), before + 2);
    a.reset();
    EXPECT_EQ(TTextureSurface::All().size(), before + 1);
    EXPECT_EQ(TTextureSurface::All().back(), &b);
}

} // namespace
