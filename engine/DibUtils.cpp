#include "engine/DibUtils.h"

#include "engine/Streams.h"
#include "engine/StreetError.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Bits a pixel takes in memory: a 15-bit pixel is stored in 16.
int64_t StorageBits(const BITMAPINFOHEADER &h) {
    return h.biBitCount == 15 ? 16 : h.biBitCount;
}

int64_t RowSize(const BITMAPINFOHEADER &h) {
    return (int64_t(h.biWidth) * StorageBits(h) + 31) / 32 * 4;
}

int Brightness(const uint8_t *p) {
    return p[0] + p[1] + p[2];
}

void SetGrey(uint8_t *p, uint8_t v) {
    p[0] = p[1] = p[2] = v;
}

// One step of the thin-line pass: pixel a and the pixel b after it.
void SharpenPair(uint8_t *a, uint8_t *b) {
    if (Brightness(a) < 50 && Brightness(b) > 300) {
        SetGrey(a, 0);
        SetGrey(b, 255);
    }
    if (Brightness(a) > 300 && Brightness(b) < 50) {
        SetGrey(b, 0);
        SetGrey(a, 255);
    }
}

// The thin-line pass over n pixels lying `step` bytes apart; pixel 0 is never looked at.
void SharpenLine(uint8_t *first, int64_t step, int64_t n) {
    for (int64_t i = 1; i + 1 < n; ++i)
        SharpenPair(first + i * step, first + (i + 1) * step);
}

void AppendInt32(std::vector<uint8_t> &out, int32_t v) {
    const uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

void PackRow(const uint8_t *row, int64_t width, std::vector<uint8_t> &code) {
    code.clear();
    int64_t x = 0;
    while (x < width) {
        const uint8_t *p = row + 3 * x;
        int64_t n = 1;
        while (x + n < width && p[3 * n] == p[0] && p[3 * n + 1] == p[1] && p[3 * n + 2] == p[2])
            ++n;
        if (n < 128) {
            code.push_back(static_cast<uint8_t>(n));
            code.insert(code.end(), p, p + 3);
        } else {
            code.push_back(0);
            code.insert(code.end(), p, p + 3);
            AppendInt32(code, static_cast<int32_t>(n));
        }
        x += n;
    }
    code.push_back(0x80);
}

} // namespace

uint8_t *DibBitsPointer(TBitmap &bitmap) {
    return bitmap.Empty() ? nullptr : bitmap.ScanLine(bitmap.Height() - 1);
}

const uint8_t *DibBitsPointer(const TBitmap &bitmap) {
    return bitmap.Empty() ? nullptr : bitmap.ScanLine(bitmap.Height() - 1);
}

BITMAPINFOHEADER FillBitmapInfoHeader(const TBitmap &bitmap) {
    BITMAPINFOHEADER h;
    h.biWidth = bitmap.Width();
    h.biHeight = bitmap.Height();
    switch (bitmap.PixelFormat()) {
    case TPixelFormat::pf1bit:
        h.biBitCount = 1;
        break;
    case TPixelFormat::pf4bit:
        h.biBitCount = 4;
        break;
    case TPixelFormat::pf8bit:
        h.biBitCount = 8;
        break;
    case TPixelFormat::pf15bit:
        h.biBitCount = 15;
        break;
    case TPixelFormat::pf16bit:
        h.biBitCount = 16;
        break;
    case TPixelFormat::pf24bit:
        h.biBitCount = 24;
        break;
    case TPixelFormat::pf32bit:
        h.biBitCount = 32;
        break;
    }
    h.biSizeImage = static_cast<uint32_t>(RowSize(h) * h.biHeight);
    h.biXPelsPerMeter = 1000;
    h.biYPelsPerMeter = 1000;
    return h;
}

int64_t DibPixelOffset(const BITMAPINFOHEADER &header, int x, int y) {
    if (x < 0 || y < 0 || x > header.biWidth || y > header.biHeight)
        return 0;
    return RowSize(header) * y + StorageBits(header) * x / 8;
}

uint8_t *DibPixelAddress(uint8_t *bits, const BITMAPINFOHEADER &header, int x, int y) {
    return bits + DibPixelOffset(header, x, y);
}

void SharpenThinLines(const BITMAPINFOHEADER &header, uint8_t *bits) {
    if (header.biBitCount != 24 || bits == nullptr)
        return;
    const int64_t width = header.biWidth, height = std::llabs(header.biHeight), row = RowSize(header);
    if (width <= 0)
        return;
    for (int64_t y = 0; y < height; ++y)
        SharpenLine(bits + y * row, 3, width);
    // The column pass walks every column down at once, a row pair at a time: columns do not depend on
    // each other, and a printed tile read column by column misses the cache at every pixel.
    for (int64_t y = 1; y + 1 < height; ++y) {
        uint8_t *a = bits + y * row, *b = a + row;
        for (int64_t x = 0; x < width; ++x)
            SharpenPair(a + 3 * x, b + 3 * x);
    }
}

void WriteBitmapInfoHeader(TStream &stream, const BITMAPINFOHEADER &h) {
    stream.WriteUInt32(h.biSize);
    stream.WriteInt32(h.biWidth);
    stream.WriteInt32(h.biHeight);
    stream.WriteUInt16(h.biPlanes);
    stream.WriteUInt16(h.biBitCount);
    stream.WriteUInt32(h.biCompression);
    stream.WriteUInt32(h.biSizeImage);
    stream.WriteInt32(h.biXPelsPerMeter);
    stream.WriteInt32(h.biYPelsPerMeter);
    stream.WriteUInt32(h.biClrUsed);
    stream.WriteUInt32(h.biClrImportant);
}

void WriteRleRaster(const BITMAPINFOHEADER &header, const uint8_t *bits, TStream &stream) {
    if (header.biBitCount != 24)
        RaiseStreetError("WriteRleRaster", "only 24-bit rasters can be packed, not " +
                                               std::to_string(header.biBitCount) + "-bit");
    WriteBitmapInfoHeader(stream, header);
    const int64_t width = header.biWidth > 0 ? header.biWidth : 0, height = std::llabs(header.biHeight),
                  row = RowSize(header);
    // The code is a one-to-one function of the row's pixels, so a row packs like the row before it exactly
    // when their pixel bytes are equal: that is checked first and costs no packing.
    const std::size_t pixelBytes = static_cast<std::size_t>(3 * width);
    std::vector<uint8_t> code;
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t *rowBits = bits + y * row;
        if (y > 0 && (pixelBytes == 0 || std::memcmp(rowBits, rowBits - row, pixelBytes) == 0)) {
            stream.WriteByte(0xFF);
            continue;
        }
        PackRow(rowBits, width, code);
        stream.WriteBuffer(code.data(), static_cast<int64_t>(code.size()));
    }
}
