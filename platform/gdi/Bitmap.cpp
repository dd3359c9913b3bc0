#include "platform/gdi/Bitmap.h"

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t Opaque = 0xFF000000u;

uint32_t Expand5(uint32_t v) {
    return (v << 3) | (v >> 2);
}
uint32_t Expand6(uint32_t v) {
    return (v << 2) | (v >> 4);
}

std::vector<uint32_t> DefaultPalette(TPixelFormat pf) {
    std::vector<uint32_t> p;
    switch (pf) {
    case TPixelFormat::pf1bit:
        p = {0x000000, 0xFFFFFF};
        break;
    case TPixelFormat::pf4bit:
        p = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
             0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
        break;
    case TPixelFormat::pf8bit:
        for (uint32_t r = 0; r < 6; ++r)
            for (uint32_t g = 0; g < 6; ++g)
                for (uint32_t b = 0; b < 6; ++b)
                    p.push_back((r * 51) << 16 | (g * 51) << 8 | (b * 51));
        // A grey ramp between the cube's greys fills the other 40 entries.
        for (uint32_t i = 1; p.size() < 256; ++i) {
            const uint32_t v = (i * 255 + 20) / 41;
            p.push_back(v << 16 | v << 8 | v);
        }
        break;
    default:
        break;
    }
    return p;
}

// Nearest palette entry by squared distance.
uint32_t NearestIndex(const std::vector<uint32_t> &palette, uint32_t rgb) {
    const int r = static_cast<int>((rgb >> 16) & 0xFF), g = static_cast<int>((rgb >> 8) & 0xFF),
              b = static_cast<int>(rgb & 0xFF);
    uint32_t best = 0;
    int bestDist = 1 << 30;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const uint32_t c = palette[i];
        const int dr = r - static_cast<int>(c >> 16), dg = g - static_cast<int>((c >> 8) & 0xFF),
                  db = b - static_cast<int>(c & 0xFF);
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = static_cast<uint32_t>(i);
            if (d == 0)
                break;
        }
    }
    return best;
}

// NearestIndex with a small cache, for whole pictures, which repeat their colours.
class TPaletteMatcher {
public:
    explicit TPaletteMatcher(const std::vector<uint32_t> &palette) : palette_(palette) { keys_.fill(~0u); }

    uint32_t Index(uint32_t argb) {
        const uint32_t rgb = argb & 0xFFFFFFu;
        const uint32_t h = (rgb * 2654435761u) >> 20;
        if (keys_[h] != rgb) {
            keys_[h] = rgb;
            values_[h] = static_cast<uint8_t>(NearestIndex(palette_, rgb));
        }
        return values_[h];
    }

private:
    const std::vector<uint32_t> &palette_;
    std::array<uint32_t, 4096> keys_{};
    std::array<uint8_t, 4096> values_{};
};

// The stored value of pixel x of a row: an index, a 16-bit word, B G R, or B G R A as a little-endian word.
uint32_t RawGet(const uint8_t *row, int x, TPixelFormat pf) {
    switch (pf) {
    case TPixelFormat::pf1bit:
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case TPixelFormat::pf4bit:
        return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case TPixelFormat::pf8bit:
        return row[x];
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: {
        const uint8_t *p = row + 2 * static_cast<std::size_t>(x);
        return p[0] | uint32_t(p[1]) << 8;
    }
    case TPixelFormat::pf24bit: {
        const uint8_t *p = row + 3 * static_cast<std::size_t>(x);
        return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    case TPixelFormat::pf32bit: {
        const uint8_t *p = row + 4 * static_cast<std::size_t>(x);
        return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    }
    return 0;
}

void RawPut(uint8_t *row, int x, TPixelFormat pf, uint32_t v) {
    switch (pf) {
    case TPixelFormat::pf1bit: {
        const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>((v & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
        break;
    }
    case TPixelFormat::pf4bit: {
        uint8_t &b = row[x >> 1];
        b = static_cast<uint8_t>((x & 1) ? ((b & 0xF0u) | (v & 0x0Fu)) : ((b & 0x0Fu) | (v & 0x0Fu) << 4));
        break;
    }
    case TPixelFormat::pf8bit:
        row[x] = static_cast<uint8_t>(v);
        break;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: {
        uint8_t *p = row + 2 * static_cast<std::size_t>(x);
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        break;
    }
    case TPixelFormat::pf24bit: {
        uint8_t *p = row + 3 * static_cast<std::size_t>(x);
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        break;
    }
    case TPixelFormat::pf32bit: {
        uint8_t *p = row + 4 * static_cast<std::size_t>(x);
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
        p[3] = static_cast<uint8_t>(v >> 24);
        break;
    }
    }
}

uint32_t RawToArgb(uint32_t v, TPixelFormat pf, const std::vector<uint32_t> &palette) {
    switch (pf) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit:
        return Opaque | (v < palette.size() ? palette[v] : 0u);
    case TPixelFormat::pf15bit:
        return Opaque | Expand5((v >> 10) & 31) << 16 | Expand5((v >> 5) & 31) << 8 | Expand5(v & 31);
    case TPixelFormat::pf16bit:
        return Opaque | Expand5((v >> 11) & 31) << 16 | Expand6((v >> 5) & 63) << 8 | Expand5(v & 31);
    case TPixelFormat::pf24bit:
    case TPixelFormat::pf32bit:
        return Opaque | (v & 0xFFFFFFu);
    }
    return Opaque;
}

// The stored value of a colour; palette formats take the matcher, or without one the palette.
uint32_t ArgbToRaw(uint32_t argb, TPixelFormat pf, TPaletteMatcher *matcher,
                   const std::vector<uint32_t> *palette = nullptr) {
    const uint32_t r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    switch (pf) {
    case TPixelFormat::pf1bit:
    case TPixelFormat::pf4bit:
    case TPixelFormat::pf8bit:
        return matcher ? matcher->Index(argb) : NearestIndex(*palette, argb);
    case TPixelFormat::pf15bit:
        return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case TPixelFormat::pf16bit:
        return (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
    case TPixelFormat::pf24bit:
        return argb & 0xFFFFFFu;
    case TPixelFormat::pf32bit:
        return argb;
    }
    return 0;
}

void DecodeRow(const uint8_t *row, int width, TPixelFormat pf, const std::vector<uint32_t> &palette,
               uint32_t *out) {
    if (pf == TPixelFormat::pf24bit) {
        for (int x = 0; x < width; ++x, row += 3)
            out[x] = Opaque | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
        return;
    }
    if (pf == TPixelFormat::pf32bit) {
        for (int x = 0; x < width; ++x, row += 4)
            out[x] = Opaque | uint32_t(row[2]) << 16 | uint32_t(row[1]) << 8 | row[0];
        return;
    }
    for (int x = 0; x < width; ++x)
        out[x] = RawToArgb(RawGet(row, x, pf), pf, palette);
}

void EncodeRow(const uint32_t *in, int width, TPixelFormat pf, TPaletteMatcher *matcher, uint8_t *row) {
    for (int x = 0; x < width; ++x)
        RawPut(row, x, pf, ArgbToRaw(in[x], pf, matcher));
}

struct TGeometry {
    int rowBytes;
    std::size_t bytes;
};

TGeometry CheckGeometry(int64_t width, int64_t height, TPixelFormat pf, const char *where) {
    if (width < 0 || height < 0)
        throw EBitmapError(std::string(where) + ": negative size " + std::to_string(width) + " x " +
                           std::to_string(height));
    if (width > TBitmap::MaxSide || height > TBitmap::MaxSide)
        throw EBitmapError(std::string(where) + ": size " + std::to_string(width) + " x " +
                           std::to_string(height) + " exceeds " + std::to_string(TBitmap::MaxSide) +
                           " pixels a side");
    const int64_t row = DibRowBytes(width, pf);
    if (row * height > TBitmap::MaxBytes)
        throw EBitmapError(std::string(where) + ": size " + std::to_string(width) + " x " +
                           std::to_string(height) + " needs " + std::to_string(row * height) +
                           " bytes of pixel memory, more than " + std::to_string(TBitmap::MaxBytes));
    return {static_cast<int>(row), static_cast<std::size_t>(row * height)};
}

} // namespace

int PixelStorageBits(TPixelFormat pf) {
    switch (pf) {
    case TPixelFormat::pf1bit:
        return 1;
    case TPixelFormat::pf4bit:
        return 4;
    case TPixelFormat::pf8bit:
        return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit:
        return 16;
    case TPixelFormat::pf24bit:
        return 24;
    case TPixelFormat::pf32bit:
        return 32;
    }
    return 0;
}

int64_t DibRowBytes(int64_t width, TPixelFormat pf) {
    return (width * PixelStorageBits(pf) + 31) / 32 * 4;
}

int PaletteSize(TPixelFormat pf) {
    switch (pf) {
    case TPixelFormat::pf1bit:
        return 2;
    case TPixelFormat::pf4bit:
        return 16;
    case TPixelFormat::pf8bit:
        return 256;
    default:
        return 0;
    }
}

TBitmap::TBitmap(int width, int height, TPixelFormat pf) : pf_(pf), palette_(DefaultPalette(pf)) {
    SetSize(width, height);
}

void TBitmap::SetSize(int width, int height) {
    if (width == width_ && height == height_ && rowBytes_ == DibRowBytes(width, pf_))
        return;
    const TGeometry g = CheckGeometry(width, height, pf_, "TBitmap.SetSize");
    TBitmap fresh;
    fresh.width_ = width;
    fresh.height_ = height;
    fresh.pf_ = pf_;
    fresh.rowBytes_ = g.rowBytes;
    fresh.palette_ = palette_;
    fresh.bits_.assign(g.bytes, 0);
    fresh.Fill(0xFFFFFFFFu);
    const int w = std::min(width, width_), h = std::min(height, height_);
    for (int y = 0; y < h; ++y) {
        const uint8_t *src = Row(y);
        uint8_t *dst = fresh.Row(y);
        for (int x = 0; x < w; ++x)
            RawPut(dst, x, pf_, RawGet(src, x, pf_));
    }
    *this = std::move(fresh);
}

void TBitmap::SetPixelFormat(TPixelFormat pf) {
    if (pf == pf_)
        return;
    const TGeometry g = CheckGeometry(width_, height_, pf, "TBitmap.SetPixelFormat");
    std::vector<uint32_t> palette;
    if (PaletteSize(pf) > 0) {
        if (PaletteSize(pf_) > 0 && PaletteSize(pf_) <= PaletteSize(pf)) {
            palette = palette_;
            palette.resize(static_cast<std::size_t>(PaletteSize(pf)), 0u);
        } else {
            palette = DefaultPalette(pf);
        }
    }
    std::vector<uint8_t> bits(g.bytes, 0);
    TPaletteMatcher matcher(palette);
    std::vector<uint32_t> line(static_cast<std::size_t>(width_));
    for (int r = 0; r < height_; ++r) {
        DecodeRow(bits_.data() + static_cast<std::size_t>(r) * rowBytes_, width_, pf_, palette_, line.data());
        EncodeRow(line.data(), width_, pf, &matcher, bits.data() + static_cast<std::size_t>(r) * g.rowBytes);
    }
    pf_ = pf;
    rowBytes_ = g.rowBytes;
    bits_ = std::move(bits);
    palette_ = std::move(palette);
}

uint8_t *TBitmap::ScanLine(int y) {
    if (y < 0 || y >= height_)
        throw EBitmapError("TBitmap.ScanLine: row " + std::to_string(y) + " out of range 0 .. " +
                           std::to_string(height_ - 1));
    return Row(y);
}

const uint8_t *TBitmap::ScanLine(int y) const {
    return const_cast<TBitmap *>(this)->ScanLine(y);
}

void TBitmap::SetPalette(const std::vector<uint32_t> &colors) {
    const int n = PaletteSize(pf_);
    if (n == 0)
        throw EBitmapError("TBitmap.SetPalette: the pixel format has no palette");
    if (colors.size() > static_cast<std::size_t>(n))
        throw EBitmapError("TBitmap.SetPalette: " + std::to_string(colors.size()) +
                           " colours, the format has " + std::to_string(n));
    palette_.assign(static_cast<std::size_t>(n), 0u);
    for (std::size_t i = 0; i < colors.size(); ++i)
        palette_[i] = colors[i] & 0xFFFFFFu;
}

void TBitmap::CheckPixel(int x, int y, const char *where) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        throw EBitmapError(std::string(where) + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                           ") outside the " + std::to_string(width_) + " x " + std::to_string(height_) +
                           " bitmap");
}

uint32_t TBitmap::Pixel(int x, int y) const {
    CheckPixel(x, y, "TBitmap.Pixel");
    return RawToArgb(RawGet(Row(y), x, pf_), pf_, palette_);
}

void TBitmap::SetPixel(int x, int y, uint32_t argb) {
    CheckPixel(x, y, "TBitmap.SetPixel");
    RawPut(Row(y), x, pf_, ArgbToRaw(argb, pf_, nullptr, &palette_));
}

void TBitmap::Fill(uint32_t argb) {
    if (Empty())
        return;
    const uint32_t raw = ArgbToRaw(argb, pf_, nullptr, &palette_);
    uint8_t *first = bits_.data();
    for (int x = 0; x < width_; ++x)
        RawPut(first, x, pf_, raw);
    for (int r = 1; r < height_; ++r)
        std::memcpy(first + static_cast<std::size_t>(r) * rowBytes_, first,
                    static_cast<std::size_t>(rowBytes_));
}

QImage TBitmap::ToQImage() const {
    if (Empty())
        return QImage();
    QImage image(width_, height_, QImage::Format_RGB32);
    if (image.isNull())
        throw EBitmapError("TBitmap.ToQImage: cannot allocate a " + std::to_string(width_) + " x " +
                           std::to_string(height_) + " image");
    for (int y = 0; y < height_; ++y)
        DecodeRow(Row(y), width_, pf_, palette_, reinterpret_cast<uint32_t *>(image.scanLine(y)));
    return image;
}

void TBitmap::Assign(const QImage &image) {
    if (image.isNull()) {
        SetSize(0, 0);
        return;
    }
    const TGeometry g = CheckGeometry(image.width(), image.height(), pf_, "TBitmap.Assign");
    const QImage src =
        image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32
            ? image
            : image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (src.isNull())
        throw EBitmapError("TBitmap.Assign: cannot convert the image");
    std::vector<uint8_t> bits(g.bytes, 0);
    TPaletteMatcher matcher(palette_);
    const int h = src.height();
    for (int y = 0; y < h; ++y)
        EncodeRow(reinterpret_cast<const uint32_t *>(src.constScanLine(y)), src.width(), pf_, &matcher,
                  bits.data() + static_cast<std::size_t>(h - 1 - y) * g.rowBytes);
    width_ = src.width();
    height_ = h;
    rowBytes_ = g.rowBytes;
    bits_ = std::move(bits);
}

TBitmap TBitmap::FromQImage(const QImage &image, TPixelFormat pf) {
    TBitmap b(0, 0, pf);
    b.Assign(image);
    return b;
}

// ---------------------------------------------------------------------------------------------------------
// BMP files

namespace {

constexpr uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiJpeg = 4, BiPng = 5,
                   BiAlphaBitfields = 6;

class TBmpBytes {
public:
    TBmpBytes(const uint8_t *data, std::size_t size, std::string where)
        : data_(data), size_(size), where_(std::move(where)) {}

    [[noreturn]] void Fail(const std::string &reason) const { throw EBitmapError(where_ + ": " + reason); }

    // The bytes offset .. offset + count - 1 must be present.
    void Need(uint64_t offset, uint64_t count, const char *what) const {
        if (offset > size_ || count > size_ - offset)
            Fail(std::string(what) + " needs " + std::to_string(count) + " bytes at offset " +
                 std::to_string(offset) + ", the file has " + std::to_string(size_) + " bytes");
    }
    uint16_t U16(std::size_t at) const { return static_cast<uint16_t>(data_[at] | data_[at + 1] << 8); }
    uint32_t U32(std::size_t at) const {
        return data_[at] | uint32_t(data_[at + 1]) << 8 | uint32_t(data_[at + 2]) << 16 |
               uint32_t(data_[at + 3]) << 24;
    }
    int32_t I32(std::size_t at) const { return static_cast<int32_t>(U32(at)); }
    const uint8_t *At(std::size_t at) const { return data_ + at; }

private:
    const uint8_t *data_;
    std::size_t size_;
    std::string where_;
};

// One colour channel of a BI_BITFIELDS mask, scaled to 8 bits.
struct TChannel {
    uint32_t mask = 0;
    int shift = 0;
    uint64_t max = 0;

    uint32_t Get(uint32_t v, uint32_t whenAbsent) const {
        if (max == 0)
            return whenAbsent;
        const uint64_t c = (v & mask) >> shift;
        return static_cast<uint32_t>((c * 255 + max / 2) / max);
    }
};

TChannel MakeChannel(const TBmpBytes &in, uint32_t mask, int bits, const char *name) {
    TChannel c;
    if (mask == 0)
        return c;
    if (bits < 32 && (mask >> bits) != 0)
        in.Fail(std::string(name) + " mask 0x" + QString::number(mask, 16).toStdString() + " exceeds " +
                std::to_string(bits) + " bits per pixel");
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    const uint64_t field = uint64_t(mask) >> c.shift;
    if ((field & (field + 1)) != 0)
        in.Fail(std::string(name) + " mask 0x" + QString::number(mask, 16).toStdString() +
                " is not contiguous");
    c.max = field;
    return c;
}

std::string CompressionName(uint32_t c) {
    switch (c) {
    case BiRle8:
        return "RLE8";
    case BiRle4:
        return "RLE4";
    case BiJpeg:
        return "JPEG";
    case BiPng:
        return "PNG";
    default:
        return std::to_string(c);
    }
}

void PutU16(std::vector<uint8_t> &out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

} // namespace

void TBitmap::LoadFromBytes(const uint8_t *data, std::size_t size, const std::string &name) {
    const TBmpBytes in(data, size, name.empty() ? "TBitmap.LoadFromBytes" : "TBitmap.LoadFromFile: " + name);

    in.Need(0, 18, "the file header");
    if (data[0] != 'B' || data[1] != 'M')
        in.Fail("not a BMP file (no \"BM\" signature)");
    const uint32_t offBits = in.U32(10);
    const uint32_t headerSize = in.U32(14);
    if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 &&
        headerSize != 124)
        in.Fail("unsupported info header size " + std::to_string(headerSize));
    in.Need(14, headerSize, "the info header");

    const bool core = headerSize == 12;
    int64_t width, height;
    uint32_t planes, bitCount, compression = BiRgb, clrUsed = 0;
    if (core) {
        width = in.U16(18);
        height = in.U16(20);
        planes = in.U16(22);
        bitCount = in.U16(24);
    } else {
        width = in.I32(18);
        height = in.I32(22);
        planes = in.U16(26);
        bitCount = in.U16(28);
        compression = in.U32(30);
        clrUsed = in.U32(46);
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (planes != 1)
        in.Fail("plane count " + std::to_string(planes) + " (must be 1)");
    if (width <= 0 || height <= 0)
        in.Fail("invalid size " + std::to_string(width) + " x " + std::to_string(height));
    if (width > MaxSide || height > MaxSide)
        in.Fail("size " + std::to_string(width) + " x " + std::to_string(height) + " exceeds " +
                std::to_string(MaxSide) + " pixels a side");
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        in.Fail("unsupported bit count " + std::to_string(bitCount));
    if (core && bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
        in.Fail("unsupported bit count " + std::to_string(bitCount) + " with a core header");

    const bool masked = compression == BiBitfields || compression == BiAlphaBitfields;
    if (compression != BiRgb && !masked)
        in.Fail(CompressionName(compression) + " compression is not supported");
    if (masked && bitCount != 16 && bitCount != 32)
        in.Fail("bit fields with " + std::to_string(bitCount) + " bits per pixel");

    // Colour masks lie inside the V2 and later headers, else right after the info header.
    uint64_t paletteStart = 14 + uint64_t(headerSize);
    uint32_t masks[4] = {0, 0, 0, 0};
    if (masked) {
        int count = static_cast<int>(std::min<uint32_t>(4, (headerSize - 40) / 4));
        if (headerSize == 40) {
            count = compression == BiAlphaBitfields ? 4 : 3;
            in.Need(paletteStart, 4 * uint64_t(count), "the colour-mask block");
            paletteStart += 4 * uint64_t(count);
        }
        for (int i = 0; i < count; ++i)
            masks[i] = in.U32(static_cast<std::size_t>(14 + 40 + 4 * i));
    }

    // The palette.
    const int entrySize = core ? 3 : 4;
    std::vector<uint32_t> palette;
    if (bitCount <= 8) {
        const uint32_t full = 1u << bitCount;
        uint64_t colours = full;
        if (clrUsed > full)
            in.Fail("colour count " + std::to_string(clrUsed) + " exceeds " + std::to_string(full) + " for " +
                    std::to_string(bitCount) + " bits per pixel");
        if (clrUsed != 0) {
            colours = clrUsed;
        } else if (offBits > paletteStart) {
            // Writers that leave the count open sometimes store fewer entries than the format has.
            colours = std::min<uint64_t>(full, (offBits - paletteStart) / entrySize);
        }
        in.Need(paletteStart, colours * entrySize, "the palette");
        palette.assign(full, 0u);
        for (uint64_t i = 0; i < colours; ++i) {
            const uint8_t *p = in.At(static_cast<std::size_t>(paletteStart + i * entrySize));
            palette[i] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
        }
        paletteStart += colours * entrySize;
    }
    if (offBits < paletteStart)
        in.Fail("pixel data offset " + std::to_string(offBits) + " lies inside the headers (they end at " +
                std::to_string(paletteStart) + ")");

    const int64_t fileRow = (width * bitCount + 31) / 32 * 4;
    if (fileRow * height > MaxBytes)
        in.Fail("size " + std::to_string(width) + " x " + std::to_string(height) + " needs more than " +
                std::to_string(MaxBytes) + " bytes");
    in.Need(offBits, uint64_t(fileRow) * uint64_t(height), "the pixel data");

    // Choose the pixel format and whether the rows can be copied as they stand.
    TPixelFormat pf;
    bool copy = true;
    TChannel ch[4];
    switch (bitCount) {
    case 1:
        pf = TPixelFormat::pf1bit;
        break;
    case 4:
        pf = TPixelFormat::pf4bit;
        break;
    case 8:
        pf = TPixelFormat::pf8bit;
        break;
    case 16:
        pf = TPixelFormat::pf15bit;
        if (masked) {
            if (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F)
                pf = TPixelFormat::pf16bit;
            else if (!(masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F))
                copy = false;
        }
        break;
    case 24:
        pf = TPixelFormat::pf24bit;
        break;
    default:
        pf = TPixelFormat::pf32bit;
        copy = !masked || (masks[0] == 0xFF0000 && masks[1] == 0x00FF00 && masks[2] == 0x0000FF);
        break;
    }
    if (!copy) {
        static const char *const names[4] = {"red", "green", "blue", "alpha"};
        for (int i = 0; i < 4; ++i)
            ch[i] = MakeChannel(in, masks[i], static_cast<int>(bitCount), names[i]);
        pf = TPixelFormat::pf32bit;
    }

    TBitmap fresh;
    const TGeometry g = CheckGeometry(width, height, pf, "TBitmap.LoadFromBytes");
    fresh.width_ = static_cast<int>(width);
    fresh.height_ = static_cast<int>(height);
    fresh.pf_ = pf;
    fresh.rowBytes_ = g.rowBytes;
    fresh.palette_ = std::move(palette);
    fresh.bits_.assign(g.bytes, 0);
    for (int64_t r = 0; r < height; ++r) {
        // File row r is the bottom row first unless the file is top-down.
        const uint8_t *src = in.At(static_cast<std::size_t>(offBits + r * fileRow));
        uint8_t *dst =
            fresh.bits_.data() + static_cast<std::size_t>(topDown ? height - 1 - r : r) * g.rowBytes;
        if (copy) {
            std::memcpy(dst, src, static_cast<std::size_t>(fileRow));
            continue;
        }
        for (int64_t x = 0; x < width; ++x) {
            const uint8_t *p = src + (bitCount / 8) * x;
            const uint32_t v = bitCount == 16
                                   ? uint32_t(p[0] | p[1] << 8)
                                   : p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
            const uint32_t argb =
                ch[3].Get(v, 255) << 24 | ch[0].Get(v, 0) << 16 | ch[1].Get(v, 0) << 8 | ch[2].Get(v, 0);
            RawPut(dst, static_cast<int>(x), pf, argb);
        }
    }
    *this = std::move(fresh);
}

void TBitmap::LoadFromFile(const std::string &fileName) {
    QFile f(QString::fromStdString(fileName));
    if (!f.open(QIODevice::ReadOnly))
        throw EBitmapError("TBitmap.LoadFromFile: cannot open " + fileName + ": " +
                           f.errorString().toStdString());
    // Headers, a full palette and the largest pixel memory allowed: anything longer is not one of ours.
    constexpr int64_t limit = MaxBytes + (int64_t(1) << 20);
    if (f.size() > limit)
        throw EBitmapError("TBitmap.LoadFromFile: " + fileName + ": file of " + std::to_string(f.size()) +
                           " bytes is too large for a bitmap");
    const QByteArray bytes = f.readAll();
    if (bytes.size() != f.size())
        throw EBitmapError("TBitmap.LoadFromFile: cannot read " + fileName + ": " +
                           f.errorString().toStdString());
    LoadFromBytes(reinterpret_cast<const uint8_t *>(bytes.constData()),
                  static_cast<std::size_t>(bytes.size()), fileName);
}

std::vector<uint8_t> TBitmap::SaveToBytes() const {
    const int colours = PaletteSize(pf_);
    const bool masks = pf_ == TPixelFormat::pf16bit;
    const uint32_t offBits = 14 + 40 + (masks ? 12 : 0) + 4 * static_cast<uint32_t>(colours);
    const uint64_t fileSize = offBits + uint64_t(bits_.size());
    std::vector<uint8_t> out;
    out.reserve(static_cast<std::size_t>(fileSize));
    out.push_back('B');
    out.push_back('M');
    PutU32(out, fileSize > 0xFFFFFFFFu ? 0u : static_cast<uint32_t>(fileSize));
    PutU32(out, 0);
    PutU32(out, offBits);
    PutU32(out, 40);
    PutU32(out, static_cast<uint32_t>(width_));
    PutU32(out, static_cast<uint32_t>(height_));
    PutU16(out, 1);
    PutU16(out, static_cast<uint16_t>(PixelStorageBits(pf_)));
    PutU32(out, masks ? BiBitfields : BiRgb);
    PutU32(out, static_cast<uint32_t>(bits_.size()));
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, static_cast<uint32_t>(colours));
    PutU32(out, 0);
    if (masks) {
        PutU32(out, 0xF800);
        PutU32(out, 0x07E0);
        PutU32(out, 0x001F);
    }
    for (int i = 0; i < colours; ++i)
        PutU32(out, palette_[static_cast<std::size_t>(i)]);
    out.insert(out.end(), bits_.begin(), bits_.end());
    return out;
}

void TBitmap::SaveToFile(const std::string &fileName) const {
    const std::vector<uint8_t> bytes = SaveToBytes();
    QSaveFile f(QString::fromStdString(fileName));
    if (!f.open(QIODevice::WriteOnly) ||
        f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !f.commit())
        throw EBitmapError("TBitmap.SaveToFile: cannot write " + fileName + ": " +
                           f.errorString().toStdString());
}
