#pragma once
// Metafile pictures on the plan: each picture is rendered once into a colour-keyed bitmap texture, and
// the textures sit in a small process-wide cache keyed by the metafile's bytes. Drawers hold only a hint
// (the index where their picture was found last), never the texture itself, so that an eviction leaves
// nothing pointing at a freed texture: they acquire again each time they draw, which for a picture in
// place costs one comparison of shared byte buffers.
#include "engine/DxTexture.h"

#include <cstdint>
#include <memory>
#include <vector>

class TMetafile;

class TEMFTexture {
public:
    using TBytes = std::shared_ptr<const std::vector<uint8_t>>;

    // The cache keeps at most this many textures before it evicts one.
    static constexpr int MaxCached = 64;
    // Pure magenta: the background and the frame of every rendered picture, transparent when drawn.
    static constexpr uint8_t KeyR = 255, KeyG = 0, KeyB = 255;

    // Renders the picture and appends the texture to the cache (which owns it) with the next serial number.
    static TEMFTexture *Create(TBytes bytes);
    ~TEMFTexture();
    TEMFTexture(const TEMFTexture &) = delete;
    TEMFTexture &operator=(const TEMFTexture &) = delete;

    // The cached texture of these bytes (see the file comment): the entry at the hint, then at the hint
    // less one (the hint stays lowered), else the last equal entry (the hint becomes its index and its use
    // count grows), else a new texture with a use count of 1. When the cache is full, the least-used of
    // its first half (count div 2 inclusive, the first of equals) is freed first.
    //
    // Drawers pass the serial of the frame they draw (0 outside any frame). A texture acquired in the
    // current or the previous frame is never freed by the trim: with more pictures in view than the cache
    // keeps, freeing one that the same frame still draws would render every picture again every frame.
    // Such a frame lets the cache grow past its size; later frames trim it back, taking the least-used
    // free entry of the whole cache when its first half holds none.
    static TEMFTexture *Acquire(const TBytes &bytes, int32_t &hint, uint64_t frame = 0);
    static TEMFTexture *Acquire(const TMetafile &metafile, int32_t &hint, uint64_t frame = 0);

    // (Re)renders the picture: 256, 512 or 1024 pixels a side (above 1000 and above 3000 metafile units),
    // the metafile stretched into the inner rectangle (1,1)-(w-1,h-1) over a magenta background, a
    // magenta frame on the outermost pixels, magenta as the colour key.
    void Render();

    const std::vector<uint8_t> &Bytes() const { return *Bytes_; }
    TTextureSurface &Texture() { return *Texture_; }
    int32_t UseCount() const { return UseCount_; }
    uint64_t Serial() const { return Serial_; }

    // The cache in creation order; how many textures were ever made; how many renders ran.
    static std::vector<TEMFTexture *> Cache();
    static uint64_t CreatedCount();
    static uint64_t RenderCount();
    // Frees every cached texture, last first (the stop code; tests start clean with it).
    static void FreeCache();

    // The side of the bitmap for a metafile extent.
    static int BitmapSide(int extent) { return extent > 3000 ? 1024 : extent > 1000 ? 512 : 256; }

private:
    explicit TEMFTexture(TBytes bytes);
    bool SameBytes(const TBytes &bytes) const;
    // Acquired in the current or the previous frame of drawing.
    bool InUse() const;
    static void Trim();

    TBytes Bytes_;
    std::unique_ptr<TTextureSurface> Texture_;
    int32_t UseCount_ = 0;
    uint64_t Serial_ = 0;
    uint64_t LastFrame_ = 0;
};
