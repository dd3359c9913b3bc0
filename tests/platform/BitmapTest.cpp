#include "platform/gdi/Bitmap.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

using sptest::ByteBuilder;

namespace {

const TPixelFormat AllFormats[] = {TPixelFormat::pf1bit,  TPixelFormat::pf4bit,  TPixelFormat::pf8bit,
                                   TPixelFormat::pf15bit, TPixelFormat::pf16bit, TPixelFormat::pf24bit,
                                   TPixelFormat::pf32bit};

// A BMP file written field by field, apart from the production writer.
struct TBmpSpec {
    uint32_t headerSize = 40;
    int32_t width = 2;
    int32_t height = 2;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> palette; // 0x00RRGGBB
    std::vector<uint32_t> masks;   // written after a 40-byte header, or inside a larger one
    std::vector<uint8_t> pixels;   // the rows exactly as stored
    int64_t offBitsDelta = 0;      // added to the correct pixel data offset
};

std::vector<uint8_t> MakeBmp(const TBmpSpec &s) {
    ByteBuilder info;
    if (s.headerSize == 12) {
        info.U32(12).U16(static_cast<uint16_t>(s.width)).U16(static_cast<uint16_t>(s.height));
        info.U16(s.planes).U16(s.bitCount);
        for (uint32_t c : s.palette)
            info.U8(c & 0xFF).U8((c >> 8) & 0xFF).U8((c >> 16) & 0xFF);
    } else {
        info.U32(s.headerSize).I32(s.width).I32(s.height).U16(s.planes).U16(s.bitCount).U32(s.compression);
        info.U32(static_cast<uint32_t>(s.pixels.size())).I32(2835).I32(2835).U32(s.clrUsed).U32(0);
        std::vector<uint32_t> masks = s.masks;
        if (s.headerSize > 40) {
            masks.resize((s.headerSize - 40) / 4, 0);
            for (uint32_t m : masks)
                info.U32(m);
        } else {
            for (uint32_t m : masks)
                info.U32(m);
        }
        for (uint32_t c : s.palette)
            info.U32(c);
    }
    ByteBuilder file;
    const int64_t off = 14 + static_cast<int64_t>(info.Size()) + s.offBitsDelta;
    file.U8('B').U8('M').U32(static_cast<uint32_t>(14 + info.Size() + s.pixels.size())).U32(0);
    file.U32(static_cast<uint32_t>(off));
    file.Append(info);
    file.Raw(s.pixels.data(), s.pixels.size());
    return file.Data();
}

TBitmap Load(const std::vector<uint8_t> &bytes) {
    TBitmap b;
    b.LoadFromBytes(bytes.data(), bytes.size());
    return b;
}

// A colour for pixel (x, y) that every format can hold exactly: palette formats get an index into
// their own palette, the others a colour whose channels survive 5 or 6 bits.
uint32_t PatternColour(const TBitmap &b, int x, int y) {
    const auto &pal = b.Palette();
    if (!pal.empty())
        return 0xFF000000u | pal[static_cast<std::size_t>(x * 7 + y * 3) % pal.size()];
    const uint32_t r = (x * 37 + y * 11) % 32, g = (x * 5 + y * 29) % 32, bl = (x * 13 + y * 17) % 32;
    auto e = [](uint32_t v) { return (v << 3) | (v >> 2); };
    // 5-6-5 has one more bit of green: a 6-bit value replicated the same way.
    const uint32_t green =
        b.PixelFormat() == TPixelFormat::pf16bit ? ((2 * g + 1) << 2) | ((2 * g + 1) >> 4) : e(g);
    return 0xFF000000u | e(r) << 16 | green << 8 | e(bl);
}

} // namespace

TEST(Bitmap, RowsLieBottomUpInMemory) {
    TBitmap b(3, 4, TPixelFormat::pf24bit);
    EXPECT_EQ(b.RowBytes(), 12); // 9 bytes padded to 12
    EXPECT_EQ(b.BitsSize(), 48u);
    EXPECT_EQ(b.ScanLine(3), b.Bits());
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(b.ScanLine(y), b.Bits() + (3 - y) * 12) << y;
    EXPECT_THROW(b.ScanLine(4), EBitmapError);
    EXPECT_THROW(b.ScanLine(-1), EBitmapError);

    // 24-bit pixels are B, G, R in memory; the top row is the last one in memory.
    uint8_t *top = b.ScanLine(0);
    top[0] = 0x11;
    top[1] = 0x22;
    top[2] = 0x33;
    EXPECT_EQ(b.Pixel(0, 0), 0xFF332211u);
    EXPECT_EQ(b.Bits()[3 * 12], 0x11);
    const QImage image = b.ToQImage();
    EXPECT_EQ(image.pixel(0, 0), 0xFF332211u);
    EXPECT_EQ(image.pixel(0, 3), 0xFFFFFFFFu); // a new bitmap is white
}

TEST(Bitmap, StoredPixelsDecodeInEveryFormat) {
    struct Case {
        TPixelFormat pf;
        std::vector<uint8_t> bytes; // the first pixel(s) of the top row
        uint32_t first, second;
    };
    const Case cases[] = {
        {TPixelFormat::pf1bit, {0x40}, 0xFF000000u, 0xFFFFFFFFu},
        {TPixelFormat::pf4bit, {0x9C}, 0xFFFF0000u, 0xFF0000FFu},
        {TPixelFormat::pf8bit, {0, 215}, 0xFF000000u, 0xFFFFFFFFu},
        {TPixelFormat::pf15bit, {0x00, 0x7C, 0x1F, 0x00}, 0xFFFF0000u, 0xFF0000FFu},
        {TPixelFormat::pf16bit, {0xE0, 0x07, 0x10, 0x84}, 0xFF00FF00u, 0xFF848284u},
        {TPixelFormat::pf24bit, {1, 2, 3, 4, 5, 6}, 0xFF030201u, 0xFF060504u},
        // The fourth byte of a 32-bit pixel does not make the colour transparent.
        {TPixelFormat::pf32bit, {1, 2, 3, 0, 4, 5, 6, 0x80}, 0xFF030201u, 0xFF060504u},
    };
    for (const Case &c : cases) {
        TBitmap b(2, 2, c.pf);
        std::memcpy(b.ScanLine(0), c.bytes.data(), c.bytes.size());
        EXPECT_EQ(b.Pixel(0, 0), c.first) << int(c.pf);
        EXPECT_EQ(b.Pixel(1, 0), c.second) << int(c.pf);
        const QImage image = b.ToQImage();
        ASSERT_EQ(image.format(), QImage::Format_RGB32);
        EXPECT_EQ(image.pixel(0, 0), c.first) << int(c.pf);
        EXPECT_EQ(image.pixel(1, 0), c.second) << int(c.pf);
    }
}

TEST(Bitmap, BmpRoundTripInEveryFormat) {
    for (TPixelFormat pf : AllFormats) {
        TBitmap b(13, 5, pf);
        if (pf == TPixelFormat::pf8bit) {
            std::vector<uint32_t> pal;
            for (uint32_t i = 0; i < 256; ++i)
                pal.push_back(i * 0x010203u & 0xFFFFFF);
            b.SetPalette(pal);
        }
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 13; ++x)
                b.SetPixel(x, y, PatternColour(b, x, y));
        if (pf == TPixelFormat::pf32bit)
            b.ScanLine(2)[3] = 0x5A; // the fourth byte travels as it is
        const std::vector<uint8_t> bytes = b.SaveToBytes();
        const TBitmap r = Load(bytes);
        ASSERT_EQ(r.PixelFormat(), pf);
        ASSERT_EQ(r.Width(), 13);
        ASSERT_EQ(r.Height(), 5);
        EXPECT_EQ(r.Palette(), b.Palette());
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(r.Pixel(x, y), PatternColour(b, x, y)) << int(pf) << " " << x << "," << y;
            EXPECT_EQ(std::memcmp(r.ScanLine(y), b.ScanLine(y), static_cast<std::size_t>(b.RowBytes())), 0);
        }
    }
}

TEST(Bitmap, SaveWritesTheHeadersFieldByField) {
    TBitmap b(3, 2, TPixelFormat::pf16bit);
    const std::vector<uint8_t> f = b.SaveToBytes();
    auto u32 = [&](std::size_t at) {
        uint32_t v;
        std::memcpy(&v, f.data() + at, 4);
        return v;
    };
    ASSERT_EQ(f.size(), 14u + 40 + 12 + 16);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(u32(2), f.size());
    EXPECT_EQ(u32(10), 14u + 40 + 12);
    EXPECT_EQ(u32(14), 40u);
    EXPECT_EQ(u32(18), 3u);
    EXPECT_EQ(u32(22), 2u); // positive: bottom-up
    EXPECT_EQ(f[28], 16);
    EXPECT_EQ(u32(30), 3u); // bit fields
    EXPECT_EQ(u32(54), 0xF800u);
    EXPECT_EQ(u32(58), 0x07E0u);
    EXPECT_EQ(u32(62), 0x001Fu);
}

TEST(Bitmap, ReadsForeignLayouts) {
    struct Case {
        const char *name;
        TBmpSpec spec;
        TPixelFormat pf;
        uint32_t topLeft, topRight, bottomLeft, bottomRight;
    };
    TBmpSpec bottomUp24; // rows bottom first: (blue, green) then (red, white)
    bottomUp24.pixels = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    TBmpSpec topDown24 = bottomUp24;
    topDown24.height = -2;
    TBmpSpec pal8;
    pal8.bitCount = 8;
    pal8.clrUsed = 3;
    pal8.palette = {0x102030, 0x405060, 0x708090};
    pal8.pixels = {0, 1, 0, 0, 2, 0, 0, 0};
    TBmpSpec core4;
    core4.headerSize = 12;
    core4.bitCount = 4;
    core4.palette.assign(16, 0);
    core4.palette[1] = 0xABCDEF;
    core4.palette[15] = 0x123456;
    core4.pixels = {0x1F, 0, 0, 0, 0xF1, 0, 0, 0};
    TBmpSpec mono;
    mono.bitCount = 1;
    mono.palette = {0xFF0000, 0x00FF00};
    mono.pixels = {0x80, 0, 0, 0, 0x40, 0, 0, 0};
    TBmpSpec rgb16; // BI_RGB 16 bits is 5-5-5
    rgb16.bitCount = 16;
    rgb16.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F};
    TBmpSpec bf565;
    bf565.bitCount = 16;
    bf565.compression = 3;
    bf565.masks = {0xF800, 0x07E0, 0x001F};
    bf565.pixels = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF};
    TBmpSpec bf4444; // 4-4-4-4 is moved into 32 bits
    bf4444.bitCount = 16;
    bf4444.compression = 6;
    bf4444.masks = {0x0F00, 0x00F0, 0x000F, 0xF000};
    bf4444.pixels = {0x00, 0xFF, 0xF0, 0xF0, 0x00, 0x08, 0xFF, 0xFF};
    TBmpSpec rgba32; // masks in the order R, G, B, A from the high byte down
    rgba32.headerSize = 124;
    rgba32.height = -1;
    rgba32.bitCount = 32;
    rgba32.compression = 3;
    rgba32.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
    rgba32.pixels = {0x80, 0x33, 0x22, 0x11, 0xFF, 0x66, 0x55, 0x44};
    TBmpSpec v4rgb32; // V4 header, BI_RGB: the masks in the header are not used
    v4rgb32.headerSize = 108;
    v4rgb32.height = 1;
    v4rgb32.bitCount = 32;
    v4rgb32.masks = {0xFF, 0xFF00, 0xFF0000, 0};
    v4rgb32.pixels = {0x11, 0x22, 0x33, 0, 0x44, 0x55, 0x66, 0};

    const Case cases[] = {
        {"bottom-up 24", bottomUp24, TPixelFormat::pf24bit, 0xFFFF0000u, 0xFFFFFFFFu, 0xFF0000FFu,
         0xFF00FF00u},
        {"top-down 24", topDown24, TPixelFormat::pf24bit, 0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu},
        {"8 bits, 3 colours", pal8, TPixelFormat::pf8bit, 0xFF708090u, 0xFF102030u, 0xFF102030u, 0xFF405060u},
        {"core header, 4 bits", core4, TPixelFormat::pf4bit, 0xFF123456u, 0xFFABCDEFu, 0xFFABCDEFu,
         0xFF123456u},
        {"1 bit", mono, TPixelFormat::pf1bit, 0xFFFF0000u, 0xFF00FF00u, 0xFF00FF00u, 0xFFFF0000u},
        {"16 bits BI_RGB", rgb16, TPixelFormat::pf15bit, 0xFF0000FFu, 0xFFFFFFFFu, 0xFFFF0000u, 0xFF00FF00u},
        {"16 bits 5-6-5", bf565, TPixelFormat::pf16bit, 0xFF0000FFu, 0xFFFFFFFFu, 0xFFFF0000u, 0xFF00FF00u},
        {"16 bits 4-4-4-4", bf4444, TPixelFormat::pf32bit, 0xFF880000u, 0xFFFFFFFFu, 0xFFFF0000u,
         0xFF00FF00u},
        {"32 bits R G B A, V5", rgba32, TPixelFormat::pf32bit, 0xFF112233u, 0xFF445566u, 0xFF112233u,
         0xFF445566u},
        {"32 bits V4 BI_RGB", v4rgb32, TPixelFormat::pf32bit, 0xFF332211u, 0xFF665544u, 0xFF332211u,
         0xFF665544u},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap b = Load(MakeBmp(c.spec));
        EXPECT_EQ(b.PixelFormat(), c.pf);
        const int h = b.Height();
        EXPECT_EQ(b.Pixel(0, 0), c.topLeft);
        EXPECT_EQ(b.Pixel(1, 0), c.topRight);
        EXPECT_EQ(b.Pixel(0, h - 1), c.bottomLeft);
        EXPECT_EQ(b.Pixel(1, h - 1), c.bottomRight);
    }
    // The alpha of a masked 32-bit file ends in the fourth byte.
    EXPECT_EQ(Load(MakeBmp(rgba32)).ScanLine(0)[3], 0x80);
    EXPECT_EQ(Load(MakeBmp(bf4444)).ScanLine(0)[3], 0x00);
}

TEST(Bitmap, RefusesBadFiles) {
    struct Case {
        const char *name;
        std::vector<uint8_t> bytes;
        const char *message;
    };
    auto spec = [](auto change) {
        TBmpSpec s;
        s.pixels.assign(16, 0);
        change(s);
        return MakeBmp(s);
    };
    std::vector<uint8_t> badSignature = spec([](TBmpSpec &) {});
    badSignature[1] = 'X';
    std::vector<uint8_t> truncated = spec([](TBmpSpec &) {});
    truncated.resize(30);
    std::vector<uint8_t> shortPixels = spec([](TBmpSpec &) {});
    shortPixels.pop_back();

    const Case cases[] = {
        {"empty", {}, "the file header needs 18 bytes"},
        {"signature", badSignature, "not a BMP file"},
        {"truncated header", truncated, "the info header needs 40 bytes at offset 14"},
        {"header size", spec([](TBmpSpec &s) { s.headerSize = 64; }), "unsupported info header size 64"},
        {"zero width", spec([](TBmpSpec &s) { s.width = 0; }), "invalid size 0 x 2"},
        {"negative width", spec([](TBmpSpec &s) { s.width = -2; }), "invalid size -2 x 2"},
        {"most negative height", spec([](TBmpSpec &s) { s.height = std::numeric_limits<int32_t>::min(); }),
         "exceeds 32768 pixels a side"},
        {"wide", spec([](TBmpSpec &s) { s.width = 40000; }), "exceeds 32768 pixels a side"},
        {"too many bytes", spec([](TBmpSpec &s) { s.width = s.height = 32768; }),
         "needs more than 2147483648"},
        {"planes", spec([](TBmpSpec &s) { s.planes = 2; }), "plane count 2"},
        {"bit count", spec([](TBmpSpec &s) { s.bitCount = 7; }), "unsupported bit count 7"},
        {"RLE8", spec([](TBmpSpec &s) { s.bitCount = 8, s.compression = 1; }), "RLE8 compression is not"},
        {"RLE4", spec([](TBmpSpec &s) { s.bitCount = 4, s.compression = 2; }), "RLE4 compression is not"},
        {"PNG", spec([](TBmpSpec &s) { s.compression = 5; }), "PNG compression is not"},
        {"bit fields on 24 bits", spec([](TBmpSpec &s) {
             s.compression = 3, s.masks = {1, 2, 4};
         }),
         "bit fields with 24 bits"},
        {"pixel offset past the end", spec([](TBmpSpec &s) { s.offBitsDelta = 1000; }),
         "the pixel data needs 16 bytes at offset 1054"},
        {"pixel offset inside the header", spec([](TBmpSpec &s) { s.offBitsDelta = -10; }),
         "pixel data offset 44 lies inside the headers"},
        {"pixel data short", shortPixels, "the pixel data needs 16 bytes at offset 54, the file has 69"},
        {"colour count", spec([](TBmpSpec &s) { s.bitCount = 8, s.clrUsed = 300; }), "colour count 300"},
        {"palette past the end", spec([](TBmpSpec &s) { s.bitCount = 8, s.clrUsed = 200; }),
         "the palette needs 800 bytes"},
        {"masks past the end", MakeBmp([] {
             TBmpSpec s;
             s.bitCount = 16, s.compression = 3;
             return s;
         }()),
         "the colour-mask block needs 12 bytes"},
        {"mask not contiguous", spec([](TBmpSpec &s) {
             s.bitCount = 32, s.compression = 3, s.masks = {0xF0F0, 0xF00, 0xF};
         }),
         "red mask 0xf0f0 is not contiguous"},
        {"mask wider than the pixel", spec([](TBmpSpec &s) {
             s.bitCount = 16, s.compression = 3, s.masks = {0x1F0000, 0x7E0, 0x1F};
         }),
         "red mask 0x1f0000 exceeds 16 bits"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap b(1, 1, TPixelFormat::pf8bit);
        try {
            b.LoadFromBytes(c.bytes.data(), c.bytes.size(), "x.bmp");
            ADD_FAILURE() << "accepted";
        } catch (const EBitmapError &e) {
            const std::string text = e.what();
            EXPECT_NE(text.find("TBitmap.LoadFromFile: x.bmp: "), std::string::npos) << text;
            EXPECT_NE(text.find(c.message), std::string::npos) << text;
        }
        // A failed load leaves the bitmap as it was.
        EXPECT_EQ(b.Width(), 1);
        EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf8bit);
    }
}

TEST(Bitmap, FilesGoThroughTheDisk) {
    sptest::TempDir dir;
    TBitmap b(5, 3, TPixelFormat::pf24bit);
    b.SetPixel(4, 2, 0xFF123456u);
    b.SaveToFile(dir.File("a.bmp"));
    TBitmap r;
    r.LoadFromFile(dir.File("a.bmp"));
    EXPECT_EQ(r.Pixel(4, 2), 0xFF123456u);
    try {
        r.LoadFromFile(dir.File("missing.bmp"));
        ADD_FAILURE() << "accepted";
    } catch (const EBitmapError &e) {
        EXPECT_NE(std::string(e.what()).find("missing.bmp"), std::string::npos);
    }
}

TEST(Bitmap, PixelFormatConversions) {
    // 32 -> 24 keeps the colour and drops the fourth byte; 24 -> 32 gives it 255.
    TBitmap b(2, 1, TPixelFormat::pf32bit);
    const uint8_t px[8] = {1, 2, 3, 0, 4, 5, 6, 9};
    std::memcpy(b.ScanLine(0), px, 8);
    b.SetPixelFormat(TPixelFormat::pf24bit);
    EXPECT_EQ(b.RowBytes(), 8);
    const uint8_t want24[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(std::memcmp(b.ScanLine(0), want24, 6), 0);
    b.SetPixelFormat(TPixelFormat::pf32bit);
    EXPECT_EQ(b.ScanLine(0)[3], 255);
    EXPECT_EQ(b.Pixel(1, 0), 0xFF060504u);

    // White and black survive every format and come back exactly.
    for (TPixelFormat pf : AllFormats) {
        TBitmap w(3, 2, TPixelFormat::pf24bit);
        w.SetPixel(1, 1, 0xFF000000u);
        w.SetPixelFormat(pf);
        w.SetPixelFormat(TPixelFormat::pf24bit);
        EXPECT_EQ(w.Pixel(0, 0), 0xFFFFFFFFu) << int(pf);
        EXPECT_EQ(w.Pixel(1, 1), 0xFF000000u) << int(pf);
    }

    // A palette carries over into a larger palette format; nearest colours into a smaller one.
    TBitmap p(2, 1, TPixelFormat::pf4bit);
    p.SetPalette({0x123456, 0x654321});
    p.SetPixel(0, 0, 0xFF654321u);
    p.SetPixel(1, 0, 0xFF123456u);
    p.SetPixelFormat(TPixelFormat::pf8bit);
    EXPECT_EQ(p.Pixel(0, 0), 0xFF654321u);
    EXPECT_EQ(p.Pixel(1, 0), 0xFF123456u);
    p.SetPixelFormat(TPixelFormat::pf1bit);
    EXPECT_EQ(p.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(p.Pixel(1, 0), 0xFF000000u);
    TBitmap g(1, 1, TPixelFormat::pf24bit);
    g.SetPixel(0, 0, 0xFFC8C8C8u);
    g.SetPixelFormat(TPixelFormat::pf1bit);
    EXPECT_EQ(g.Pixel(0, 0), 0xFFFFFFFFu);
}

TEST(Bitmap, QImageRoundTripKeepsOrientationAndFormat) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(qRgb(0, 0, 255));
    image.setPixel(0, 0, qRgba(255, 0, 0, 128)); // top-left
    TBitmap b(1, 1, TPixelFormat::pf24bit);
    b.Assign(image);
    EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(b.Width(), 3);
    EXPECT_EQ(b.Height(), 2);
    EXPECT_EQ(b.Pixel(0, 0), 0xFFFF0000u);
    // The top row is the second row in memory.
    EXPECT_EQ(b.Bits()[b.RowBytes() + 2], 255);
    EXPECT_EQ(b.Bits()[2], 0);
    EXPECT_EQ(b.ToQImage().pixel(0, 0), 0xFFFF0000u);

    const TBitmap a = TBitmap::FromQImage(image);
    EXPECT_EQ(a.PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(a.ScanLine(0)[3], 128); // alpha kept in the fourth byte
    EXPECT_EQ(a.ToQImage().pixel(0, 0), 0xFFFF0000u);

    // Every format converts to the same opaque colours as its pixels show.
    for (TPixelFormat pf : AllFormats) {
        TBitmap c(4, 3, pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                c.SetPixel(x, y, PatternColour(c, x, y));
        const QImage q = c.ToQImage();
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                ASSERT_EQ(q.pixel(x, y), PatternColour(c, x, y)) << int(pf);
        const TBitmap back = TBitmap::FromQImage(q, pf);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x)
                ASSERT_EQ(back.Pixel(x, y), PatternColour(c, x, y)) << int(pf);
    }
}

TEST(Bitmap, SizeChangesKeepTheTopLeftAndAreCapped) {
    TBitmap b(2, 2, TPixelFormat::pf4bit);
    b.Fill(0xFFFF0000u);
    b.SetSize(3, 3);
    EXPECT_EQ(b.Pixel(1, 1), 0xFFFF0000u);
    EXPECT_EQ(b.Pixel(2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(b.Pixel(0, 2), 0xFFFFFFFFu);
    b.SetSize(1, 1);
    EXPECT_EQ(b.Pixel(0, 0), 0xFFFF0000u);
    EXPECT_THROW(b.SetSize(-1, 1), EBitmapError);
    EXPECT_THROW(b.SetSize(TBitmap::MaxSide + 1, 1), EBitmapError);
    TBitmap big(1, 1, TPixelFormat::pf32bit);
    EXPECT_THROW(big.SetSize(TBitmap::MaxSide, TBitmap::MaxSide), EBitmapError);
    EXPECT_EQ(big.Width(), 1);
    EXPECT_THROW(b.Pixel(1, 0), EBitmapError);
    TBitmap empty;
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Bits(), nullptr);
    EXPECT_TRUE(empty.ToQImage().isNull());
}
