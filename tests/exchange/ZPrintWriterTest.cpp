// The packed print file's writer on tiles made here: the layout read back by the independent reader,
// the records of edge tiles, and the refusal to pass the 2 GiB its signed positions can reach.
#include "engine/StreetError.h"
#include "exchange/ZPrintWriter.h"

#include "support/FarStream.h"
#include "tests/exchange/ZPrintReader.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TBitmap Tile(uint32_t seed, bool noisy) {
    TBitmap b(512, 512, TPixelFormat::pf24bit);
    std::mt19937 rng(seed);
    for (int y = 0; y < 512; ++y) {
        uint8_t *row = b.ScanLine(y);
        for (int x = 0; x < 512 * 3; ++x)
            row[x] = noisy ? uint8_t(rng()) : uint8_t(x / 3 < 100 ? 255 : (y * 7 + seed) & 0xFF);
    }
    return b;
}

TZPrintSheet Sheet(int32_t w, int32_t h) {
    return {297, 210, 20, 10, 10, 20, w, h};
}

TEST(ZPrintWriter, TilesAndIndexReadBackByTheLayout) {
    // 513 x 512: two tiles, the second holding one column of the area.
    TMemoryStream m;
    TZPrintWriter w(m, Sheet(513, 512));
    EXPECT_EQ(w.Columns(), 2);
    EXPECT_EQ(w.Rows(), 1);
    const TBitmap a = Tile(1, false), b = Tile(2, true);
    w.AddTile(0, 0, a);
    w.AddTile(1, 0, b);
    EXPECT_THROW(w.AddTile(2, 0, a), EStreetError);
    EXPECT_THROW(w.AddTile(0, 0, TBitmap(256, 256, TPixelFormat::pf24bit)), EStreetError);
    w.Finish();
    EXPECT_THROW(w.AddTile(0, 0, a), EStreetError);

    const zprint::File f = zprint::Read(m.Bytes());
    EXPECT_EQ((std::array{f.SheetHeight, f.SheetWidth, f.Left, f.Right, f.Top, f.Bottom}),
              (std::array{297, 210, 20, 10, 10, 20}));
    EXPECT_EQ(f.PrintWidth, 513);
    EXPECT_EQ(f.PrintHeight, 512);
    // The tile header: 40, 512, 512, one plane of 24 bits, no compression, 786432 bytes, 1000 dots a
    // metre each way, no colour table.
    const uint32_t header[10] = {40, 512, 512, 24 << 16 | 1, 0, 786432, 1000, 1000, 0, 0};
    ASSERT_EQ(f.InfoHeader.size(), 40u);
    EXPECT_EQ(std::memcmp(f.InfoHeader.data(), header, 40), 0);
    ASSERT_EQ(f.Records.size(), 2u);
    const zprint::Record &r0 = f.Records[0], &r1 = f.Records[1];
    EXPECT_EQ(r0.Position, 8 + 8 * 12 + 48);
    EXPECT_EQ((std::array{r0.SrcLeft, r0.SrcTop, r0.SrcRight, r0.SrcBottom, r0.DstLeft, r0.DstTop,
                          r0.DstRight, r0.DstBottom}),
              (std::array{0, 0, 512, 512, 0, 0, 512, 512}));
    EXPECT_EQ((std::array{r1.SrcLeft, r1.SrcTop, r1.SrcRight, r1.SrcBottom, r1.DstLeft, r1.DstTop,
                          r1.DstRight, r1.DstBottom}),
              (std::array{0, 0, 1, 512, 512, 0, 513, 512}));
    EXPECT_TRUE(f.Tiles[0] == a.ToQImage().convertToFormat(QImage::Format_RGB888));
    EXPECT_TRUE(f.Tiles[1] == b.ToQImage().convertToFormat(QImage::Format_RGB888));
}

TEST(ZPrintWriter, WhiteTilePacksToOneRowAndRepeats) {
    TMemoryStream m;
    TZPrintWriter w(m, Sheet(512, 512));
    TBitmap white(512, 512, TPixelFormat::pf24bit);
    for (int y = 0; y < 512; ++y)
        std::memset(white.ScanLine(y), 0xFF, 512 * 3);
    w.AddTile(0, 0, white);
    w.Finish();
    // Tag, header, one row (a long run of 8 bytes and its end), then 511 repeats; then the index.
    EXPECT_EQ(m.Size(), 8 + 8 * 12 + 48 + 8 + 40 + 9 + 511 + 8 + 36 + 16);
}

TEST(ZPrintWriter, RefusesATileThatWouldPass2GiB) {
    // Room for a white tile (a few hundred bytes) but not for a noisy one (about 1 MB).
    sptest::TFarStream far(0x7FFFFFFF - 600000);
    TZPrintWriter w(far, Sheet(1024, 512));
    const TBitmap noisy = Tile(3, true), plain = Tile(4, false);
    w.AddTile(0, 0, plain);
    const int64_t before = far.Position();
    try {
        w.AddTile(1, 0, noisy);
        FAIL() << "no error";
    } catch (const EStreetError &e) {
        EXPECT_NE(std::string(e.what()).find("2 GiB"), std::string::npos) << e.what();
    }
    // Nothing of the refused tile was written, and the file can still be closed with what it holds.
    EXPECT_EQ(far.Position(), before);
    EXPECT_EQ(w.TileCount(), 1);
    w.Finish();
    EXPECT_LE(far.Size(), 0x7FFFFFFF + int64_t(8 + 36 + 16));
}

} // namespace
