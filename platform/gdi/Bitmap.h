#pragma once
// Device-independent bitmaps: a width, a height, a pixel format and the pixel memory, laid out the way a
// bottom-up DIB lies in memory. Rows are padded to a multiple of 4 bytes; the first row in memory (the
// lowest address) is the BOTTOM row of the picture and each following row in memory lies one row higher.
// ScanLine(y) counts rows from the top as the picture shows them, so ScanLine(Height() - 1) == Bits() is the
// lowest address and ScanLine(0) the highest. Pixels in memory:
//   1, 4, 8 bits  palette indices, the leftmost pixel in the most significant bits of a byte
//   15 bits       little-endian 16-bit words 0RRRRRGG GGGBBBBB
//   16 bits       little-endian 16-bit words RRRRRGGG GGGBBBBB
//   24 bits       bytes B, G, R
//   32 bits       bytes B, G, R and a fourth byte that colour conversions treat as alpha only where said
// Sizes are capped (32768 pixels a side, 2^31 bytes of pixel memory) so that nothing read from outside
// bytes can ask for unbounded memory.
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class EBitmapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TPixelFormat { pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// Bits one pixel takes in memory (a 15-bit pixel takes 16).
int PixelStorageBits(TPixelFormat pf);
// Bytes of one row of `width` pixels, padded to a multiple of 4.
int64_t DibRowBytes(int64_t width, TPixelFormat pf);
// Colours of a palette format (2, 16, 256); 0 for the others.
int PaletteSize(TPixelFormat pf);

class TBitmap {
public:
    static constexpr int MaxSide = 32768;
    static constexpr int64_t MaxBytes = int64_t(1) << 31;

    TBitmap() = default;
    // A white bitmap. Throws EBitmapError for a negative size or one beyond the caps.
    TBitmap(int width, int height, TPixelFormat pf = TPixelFormat::pf24bit);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    TPixelFormat PixelFormat() const { return pf_; }

    // Keeps the picture anchored at the top-left corner; new pixels are white. Throws EBitmapError for a
    // negative size or one beyond the caps, leaving the bitmap unchanged.
    void SetSize(int width, int height);
    void SetWidth(int width) { SetSize(width, height_); }
    void SetHeight(int height) { SetSize(width_, height); }
    // Converts every pixel to the new format. A palette format gets the source's palette when the source
    // has one that fits, else a default palette (black and white; the 16 basic colours; a 6x6x6 colour
    // cube and a grey ramp), and each pixel the nearest palette colour. Fewer bits drop the low bits of
    // each channel; more bits replicate them, so that white stays white. Converting to 32 bits gives the
    // fourth byte 255; converting from 32 bits drops it.
    void SetPixelFormat(TPixelFormat pf);

    // Bytes of one row in memory.
    int RowBytes() const { return rowBytes_; }
    // Row y of the picture counted from the top (see the file comment for where it lies in memory).
    // Throws EBitmapError when y is outside 0 .. Height() - 1.
    uint8_t *ScanLine(int y);
    const uint8_t *ScanLine(int y) const;
    // The lowest address of the pixel memory (the bottom row); nullptr when the bitmap is empty.
    uint8_t *Bits() { return bits_.empty() ? nullptr : bits_.data(); }
    const uint8_t *Bits() const { return bits_.empty() ? nullptr : bits_.data(); }
    std::size_t BitsSize() const { return bits_.size(); }

    // 0x00RRGGBB entries, as many as the format's colours; empty for the formats without a palette.
    const std::vector<uint32_t> &Palette() const { return palette_; }
    // Sets the leading entries (the rest become black); indices in the pixels stay as they are. Throws
    // EBitmapError for a format without palette or more colours than the format has.
    void SetPalette(const std::vector<uint32_t> &colors);

    // The colour of a pixel as 0xFFRRGGBB (opaque whatever the format). Throws EBitmapError outside.
    uint32_t Pixel(int x, int y) const;
    // Sets a pixel to the colour (0xAARRGGBB; alpha is kept only as the fourth byte of a 32-bit pixel; a
    // palette format takes the nearest palette colour). Throws EBitmapError outside.
    void SetPixel(int x, int y, uint32_t argb);
    void Fill(uint32_t argb);

    // The picture as an opaque QImage::Format_RGB32 image, top row first, for every pixel format.
    QImage ToQImage() const;
    // Takes the image's size and pixels, keeping this bitmap's pixel format (a palette format keeps its
    // palette and takes the nearest colours). A 32-bit bitmap keeps the image's alpha in the fourth byte.
    // A null image gives an empty bitmap. Throws EBitmapError when the image exceeds the caps.
    void Assign(const QImage &image);
    static TBitmap FromQImage(const QImage &image, TPixelFormat pf = TPixelFormat::pf32bit);

    // Reads a complete BMP file: BITMAPCOREHEADER, BITMAPINFOHEADER or the V2 to V5 headers; 1, 4, 8, 16,
    // 24, 32 bits per pixel; rows bottom-up or top-down; BI_RGB, and BI_BITFIELDS for 16 and 32 bits.
    // 16-bit 5-5-5 gives pf15bit, 5-6-5 pf16bit, other masks pf32bit; 32-bit with masks other than
    // 8-8-8 gives pf32bit with the colours moved into place. Every size, offset and count is checked
    // against the bytes present; a bad file throws EBitmapError naming what is wrong (and the file) and
    // leaves the bitmap unchanged.
    void LoadFromBytes(const uint8_t *data, std::size_t size, const std::string &name = {});
    void LoadFromFile(const std::string &fileName);
    // Writes a BMP file: 14-byte file header, 40-byte BITMAPINFOHEADER, bottom-up rows; 15 bits as 16-bit
    // BI_RGB, 16 bits as BI_BITFIELDS 5-6-5, palettes in full.
    std::vector<uint8_t> SaveToBytes() const;
    // Through a temporary file renamed over the target; throws EBitmapError when the file cannot be written.
    void SaveToFile(const std::string &fileName) const;

private:
    uint8_t *Row(int y) { return bits_.data() + static_cast<std::size_t>(height_ - 1 - y) * rowBytes_; }
    const uint8_t *Row(int y) const {
        return bits_.data() + static_cast<std::size_t>(height_ - 1 - y) * rowBytes_;
    }
    void CheckPixel(int x, int y, const char *where) const;

    int width_ = 0;
    int height_ = 0;
    TPixelFormat pf_ = TPixelFormat::pf24bit;
    int rowBytes_ = 0;
    std::vector<uint8_t> bits_;
    std::vector<uint32_t> palette_;
};
