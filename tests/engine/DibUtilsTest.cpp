#include "engine/DibUtils.h"

#include "engine/Streams.h"
#include "engine/StreetError.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using sptest::ByteBuilder;

namespace {

// The header as the packed raster and print files carry it, built apart from the production writer.
ByteBuilder HeaderBytes(int32_t width, int32_t height, uint16_t bits, uint32_t sizeImage) {
    ByteBuilder b;
    b.U32(40).I32(width).I32(height).U16(1).U16(bits).U32(0).U32(sizeImage).I32(1000).I32(1000).U32(0).U32(0);
    return b;
}

std::vector<uint8_t> Pack(const TBitmap &bitmap) {
    TMemoryStream out;
    WriteRleRaster(FillBitmapInfoHeader(bitmap), DibBitsPointer(bitmap), out);
    return out.Bytes();
}

// A 24-bit bitmap from rows of grey levels, top row first.
TBitmap GreyBitmap(const std::vector<std::vector<int>> &rows) {
    TBitmap b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), TPixelFormat::pf24bit);
    for (std::size_t y = 0; y < rows.size(); ++y)
        for (std::size_t x = 0; x < rows[y].size(); ++x)
            std::memset(b.ScanLine(static_cast<int>(y)) + 3 * x, rows[y][x], 3);
    return b;
}

std::vector<std::vector<int>> Greys(const TBitmap &b) {
    std::vector<std::vector<int>> rows;
    for (int y = 0; y < b.Height(); ++y) {
        rows.emplace_back();
        for (int x = 0; x < b.Width(); ++x) {
            const uint8_t *p = b.ScanLine(y) + 3 * x;
            EXPECT_TRUE(p[0] == p[1] && p[1] == p[2]);
            rows.back().push_back(p[0]);
        }
    }
    return rows;
}

} // namespace

TEST(DibUtils, HeaderDescribesTheBitmap) {
    struct Case {
        TPixelFormat pf;
        uint16_t bits;
        uint32_t sizeImage; // 13 x 5
    };
    const Case cases[] = {
        {TPixelFormat::pf1bit, 1, 4 * 5},    {TPixelFormat::pf4bit, 4, 8 * 5},
        {TPixelFormat::pf8bit, 8, 16 * 5},   {TPixelFormat::pf15bit, 15, 28 * 5},
        {TPixelFormat::pf16bit, 16, 28 * 5}, {TPixelFormat::pf24bit, 24, 40 * 5},
        {TPixelFormat::pf32bit, 32, 52 * 5},
    };
    for (const Case &c : cases) {
        const TBitmap b(13, 5, c.pf);
        const BITMAPINFOHEADER h = FillBitmapInfoHeader(b);
        TMemoryStream s;
        WriteBitmapInfoHeader(s, h);
        EXPECT_EQ(s.Bytes(), HeaderBytes(13, 5, c.bits, c.sizeImage).Data()) << c.bits;
        EXPECT_EQ(h.biSizeImage, b.BitsSize()) << c.bits;
    }
    // The tile header of the print files.
    const BITMAPINFOHEADER tile = FillBitmapInfoHeader(TBitmap(512, 512, TPixelFormat::pf24bit));
    EXPECT_EQ(tile.biSizeImage, 786432u);
}

TEST(DibUtils, BitsPointerIsTheBottomRow) {
    TBitmap b(4, 3, TPixelFormat::pf24bit);
    EXPECT_EQ(DibBitsPointer(b), b.ScanLine(2));
    EXPECT_EQ(DibBitsPointer(b), b.Bits());
    // The highest row in memory is the picture's top row.
    EXPECT_EQ(DibBitsPointer(b) + 2 * b.RowBytes(), b.ScanLine(0));
    TBitmap empty;
    EXPECT_EQ(DibBitsPointer(empty), nullptr);
}

TEST(DibUtils, PixelOffsets) {
    struct Case {
        TPixelFormat pf;
        int width, x, y;
        int64_t offset;
    };
    const Case cases[] = {
        {TPixelFormat::pf24bit, 10, 0, 0, 0},
        {TPixelFormat::pf24bit, 10, 1, 0, 3},
        {TPixelFormat::pf24bit, 10, 3, 2, 2 * 32 + 9},
        {TPixelFormat::pf24bit, 10, 10, 0, 30}, // one past the last pixel of the row
        {TPixelFormat::pf24bit, 10, 11, 0, 0},  // beyond it
        {TPixelFormat::pf24bit, 10, 0, 4, 4 * 32},
        {TPixelFormat::pf24bit, 10, 0, 5, 0},
        {TPixelFormat::pf24bit, 10, -1, 1, 0},
        {TPixelFormat::pf24bit, 10, 1, -1, 0},
        {TPixelFormat::pf32bit, 3, 2, 1, 12 + 8},
        {TPixelFormat::pf8bit, 5, 4, 1, 8 + 4},
        // Rows of sub-byte and 15-bit pixels are padded like every DIB row.
        {TPixelFormat::pf1bit, 33, 0, 1, 8},
        {TPixelFormat::pf1bit, 33, 9, 0, 1},
        {TPixelFormat::pf4bit, 1, 0, 1, 4},
        {TPixelFormat::pf4bit, 9, 3, 1, 8 + 1},
        {TPixelFormat::pf15bit, 9, 0, 1, 20},
        {TPixelFormat::pf15bit, 9, 3, 0, 6},
    };
    for (const Case &c : cases) {
        TBitmap b(c.width, 4, c.pf);
        const BITMAPINFOHEADER h = FillBitmapInfoHeader(b);
        EXPECT_EQ(DibPixelOffset(h, c.x, c.y), c.offset) << int(c.pf) << " " << c.x << "," << c.y;
        EXPECT_EQ(DibPixelAddress(DibBitsPointer(b), h, c.x, c.y), DibBitsPointer(b) + c.offset);
        // Inside the bitmap the address is the pixel's place on its scan line.
        if (c.x < c.width && c.y >= 0 && c.y < 4 && c.x >= 0) {
            EXPECT_EQ(DibPixelAddress(DibBitsPointer(b), h, c.x, c.y),
                      b.ScanLine(3 - c.y) + int64_t(c.x) * PixelStorageBits(c.pf) / 8);
        }
    }
}

TEST(DibUtils, SharpenThinLines) {
    const int W = 255;
    struct Case {
        const char *name;
        std::vector<std::vector<int>> before, after;
    };
    const Case cases[] = {
        {"dark line with grey edges becomes black on white",
         {{W, W, 110, 10, 110, W}, {W, W, 110, 10, 110, W}, {W, W, 110, 10, 110, W}},
         {{W, W, W, 0, W, W}, {W, W, W, 0, W, W}, {W, W, W, 0, W, W}}},
        {"horizontal line through the column pass",
         {{W, W, W, W}, {110, 110, 110, 110}, {10, 10, 10, 10}, {W, W, W, W}},
         {{W, W, W, W}, {W, W, W, W}, {0, 0, 0, 0}, {W, W, W, W}}},
        {"grey of brightness 60 is left alone",
         {{W, W, W, 20, W, W}, {W, W, W, 20, W, W}, {W, W, W, 20, W, W}},
         {{W, W, W, 20, W, W}, {W, W, W, 20, W, W}, {W, W, W, 20, W, W}}},
        {"brightness 48 and 303 are changed",
         {{W, 101, 16, 101, W}, {W, W, W, W, W}, {W, W, W, W, W}},
         {{W, W, 0, W, W}, {W, W, W, W, W}, {W, W, W, W, W}}},
        {"brightness 300 is not bright enough",
         {{W, 100, 10, W, W}, {W, W, W, W, W}, {W, W, W, W, W}},
         {{W, 100, 0, W, W}, {W, W, W, W, W}, {W, W, W, W, W}}},
        {"the first pixel of a row or column is never changed",
         {{10, 110, W, W}, {10, 110, W, W}, {10, 110, W, W}},
         {{10, 110, W, W}, {10, 110, W, W}, {10, 110, W, W}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap b = GreyBitmap(c.before);
        SharpenThinLines(FillBitmapInfoHeader(b), DibBitsPointer(b));
        EXPECT_EQ(Greys(b), c.after);
    }
    // Other bit counts are not touched.
    TBitmap b32(4, 1, TPixelFormat::pf32bit);
    b32.SetPixel(2, 0, 0xFF0A0A0A);
    const std::vector<uint8_t> before(b32.Bits(), b32.Bits() + b32.BitsSize());
    SharpenThinLines(FillBitmapInfoHeader(b32), DibBitsPointer(b32));
    EXPECT_EQ(std::vector<uint8_t>(b32.Bits(), b32.Bits() + b32.BitsSize()), before);
}

// The column pass runs over whole rows at a time; it must touch exactly the pairs a pass down each column
// would (never the pair of stored rows 0 and 1, always the last pair). Checked against a pass that takes
// every row, then every column, one at a time, on random greys around the two thresholds.
TEST(DibUtils, SharpenThinLinesAgreesWithAColumnByColumnPass) {
    const int levels[] = {0, 10, 16, 17, 100, 101, 110, 255};
    uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const auto pair = [](int &a, int &b) {
        if (3 * a < 50 && 3 * b > 300)
            a = 0, b = 255;
        if (3 * a > 300 && 3 * b < 50)
            b = 0, a = 255;
    };
    for (int trial = 0; trial < 40; ++trial) {
        const int w = 1 + static_cast<int>(next() >> 16) % 9, h = 1 + static_cast<int>(next() >> 16) % 9;
        std::vector<std::vector<int>> rows(static_cast<std::size_t>(h),
                                           std::vector<int>(static_cast<std::size_t>(w)));
        for (auto &r : rows)
            for (int &v : r)
                v = levels[(next() >> 16) % 8];
        TBitmap b = GreyBitmap(rows);
        // The stored order: the bottom row first.
        std::vector<std::vector<int>> want(rows.rbegin(), rows.rend());
        for (auto &r : want)
            for (int x = 1; x + 1 < w; ++x)
                pair(r[static_cast<std::size_t>(x)], r[static_cast<std::size_t>(x) + 1]);
        for (std::size_t x = 0; x < static_cast<std::size_t>(w); ++x)
            for (int y = 1; y + 1 < h; ++y)
                pair(want[static_cast<std::size_t>(y)][x], want[static_cast<std::size_t>(y) + 1][x]);
        SharpenThinLines(FillBitmapInfoHeader(b), DibBitsPointer(b));
        SCOPED_TRACE("trial " + std::to_string(trial));
        EXPECT_EQ(Greys(b), std::vector<std::vector<int>>(want.rbegin(), want.rend()));
    }
}

TEST(DibUtils, WhiteTilePacksToOneRowAndRepeats) {
    const TBitmap tile(512, 512, TPixelFormat::pf24bit);
    ByteBuilder want = HeaderBytes(512, 512, 24, 786432);
    want.U8(0).U8(255).U8(255).U8(255).I32(512).U8(0x80);
    for (int i = 0; i < 511; ++i)
        want.U8(0xFF);
    EXPECT_EQ(Pack(tile), want.Data());
}

TEST(DibUtils, RowCodes) {
    struct Case {
        const char *name;
        std::vector<std::vector<uint32_t>> rows; // 0xRRGGBB, top row first
        ByteBuilder packed;                      // after the header
    };
    auto run = [](ByteBuilder b, int n, uint32_t rgb) {
        const uint8_t bgr[3] = {uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16)};
        if (n < 128)
            b.U8(static_cast<uint8_t>(n)).Raw(bgr, 3);
        else
            b.U8(0).Raw(bgr, 3).I32(n);
        return b;
    };
    auto rowOf = [](std::initializer_list<std::pair<int, uint32_t>> runs) {
        std::vector<uint32_t> r;
        for (auto [n, c] : runs)
            r.insert(r.end(), static_cast<std::size_t>(n), c);
        return r;
    };
    const uint32_t A = 0x123456, B = 0xABCDEF;
    const Case cases[] = {
        {"127 equal pixels are one short run", {rowOf({{127, A}})}, run({}, 127, A).U8(0x80)},
        {"128 equal pixels are a long run", {rowOf({{128, A}})}, run({}, 128, A).U8(0x80)},
        {"runs left to right",
         {rowOf({{1, A}, {130, B}, {2, A}})},
         run(run(run({}, 1, A), 130, B), 2, A).U8(0x80)},
        // The bottom row comes first; a row equal to the one just before it is 0xFF, and only then.
        {"repeats against the previous row only",
         {rowOf({{3, A}}), rowOf({{3, B}}), rowOf({{3, A}}), rowOf({{3, A}})},
         run({}, 3, A).U8(0x80).U8(0xFF).Append(run({}, 3, B)).U8(0x80).Append(run({}, 3, A)).U8(0x80)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap b(static_cast<int>(c.rows[0].size()), static_cast<int>(c.rows.size()), TPixelFormat::pf24bit);
        for (std::size_t y = 0; y < c.rows.size(); ++y)
            for (std::size_t x = 0; x < c.rows[y].size(); ++x)
                b.SetPixel(static_cast<int>(x), static_cast<int>(y), 0xFF000000u | c.rows[y][x]);
        const BITMAPINFOHEADER h = FillBitmapInfoHeader(b);
        ByteBuilder want = HeaderBytes(h.biWidth, h.biHeight, 24, h.biSizeImage);
        want.Append(c.packed);
        EXPECT_EQ(Pack(b), want.Data());
    }
}

TEST(DibUtils, OnlyTwentyFourBitRastersArePacked) {
    const TBitmap b(2, 2, TPixelFormat::pf32bit);
    TMemoryStream out;
    try {
        WriteRleRaster(FillBitmapInfoHeader(b), DibBitsPointer(b), out);
        ADD_FAILURE() << "packed";
    } catch (const EStreetError &e) {
        EXPECT_STREQ(e.what(), "WriteRleRaster: only 24-bit rasters can be packed, not 32-bit");
    }
    EXPECT_EQ(out.Size(), 0);
}
