#pragma once
// Small routines over device-independent bitmaps: the pixel memory of a TBitmap, a BITMAPINFOHEADER that
// describes it, byte offsets of pixels, a filter that makes thin dark lines crisp after rendering, and the
// run-length packing of 24-bit rasters written into print files.
//
// Rows are counted in memory order wherever a header and a memory address are used: row 0 is the first row
// in memory, which for the bottom-up bitmaps of TBitmap (positive biHeight) is the bottom row of the picture.
#include "platform/gdi/Bitmap.h"

#include <cstdint>

class TStream;

// The 40-byte header of a DIB, as it is written to files (little-endian, no padding).
struct BITMAPINFOHEADER {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0; // positive: the bottom row is stored first
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// The lowest address of the bitmap's pixel memory: its bottom row, ScanLine(Height() - 1). nullptr for an
// empty bitmap.
uint8_t *DibBitsPointer(TBitmap &bitmap);
const uint8_t *DibBitsPointer(const TBitmap &bitmap);

// Size, bit count (1, 4, 8, 15, 16, 24, 32 by pixel format), no compression, 1000 pixels per metre both
// ways, and the size of the pixel memory.
BITMAPINFOHEADER FillBitmapInfoHeader(const TBitmap &bitmap);

// Bytes from the start of the pixel memory to pixel (x, y), y in memory order; 0 when x or y is negative
// or beyond the width or height (one past the last pixel still has an offset). The row size is the DIB's
// padded row size; a 15-bit pixel takes 16 bits.
int64_t DibPixelOffset(const BITMAPINFOHEADER &header, int x, int y);
uint8_t *DibPixelAddress(uint8_t *bits, const BITMAPINFOHEADER &header, int x, int y);

// Makes thin dark lines crisp on a 24-bit raster: along every row, then along every column, a pixel darker
// than 50 (B + G + R) next to one brighter than 300 becomes black and its neighbour white. Rasters of other
// bit counts are left alone.
void SharpenThinLines(const BITMAPINFOHEADER &header, uint8_t *bits);

// The 40 bytes of a header, field by field.
void WriteBitmapInfoHeader(TStream &stream, const BITMAPINFOHEADER &header);

// Writes the header, then every row in memory order as runs of equal pixels (n < 128: n, B, G, R; longer:
// 0, B, G, R, int32 n) ended by 0x80, or the single byte 0xFF when the row packs exactly as the row before
// it. Only 24-bit rasters can be packed; others throw EStreetError.
void WriteRleRaster(const BITMAPINFOHEADER &header, const uint8_t *bits, TStream &stream);
