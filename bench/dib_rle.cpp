// Packing a 512 x 512 print tile row by row against writing its raster unpacked (the cost of merely
// moving the bytes), for an empty tile and for one with a drawing of thin lines.
#include "BenchSupport.h"

#include "engine/DibUtils.h"
#include "engine/Streams.h"

#include <cstring>

namespace {

TBitmap Tile(bool drawing) {
    TBitmap b(512, 512, TPixelFormat::pf24bit);
    if (drawing) {
        for (int y = 0; y < 512; ++y) {
            uint8_t *row = b.ScanLine(y);
            for (int x = 0; x < 512; x += 37) // vertical lines
                std::memset(row + 3 * x, 0, 3);
            if (y % 23 == 0) // horizontal lines
                std::memset(row, 40, 3 * 512);
            row[3 * ((y * 7) % 512) + 2] = 200; // a red diagonal
        }
    }
    return b;
}

void Pack(benchmark::State &state) {
    const TBitmap tile = Tile(state.range(0) != 0);
    const BITMAPINFOHEADER h = FillBitmapInfoHeader(tile);
    for (auto _ : state) {
        TMemoryStream out;
        WriteRleRaster(h, DibBitsPointer(tile), out);
        benchmark::DoNotOptimize(out.Bytes().data());
    }
}

void Raw(benchmark::State &state) {
    const TBitmap tile = Tile(state.range(0) != 0);
    const BITMAPINFOHEADER h = FillBitmapInfoHeader(tile);
    for (auto _ : state) {
        TMemoryStream out;
        WriteBitmapInfoHeader(out, h);
        out.WriteBuffer(DibBitsPointer(tile), static_cast<int64_t>(tile.BitsSize()));
        benchmark::DoNotOptimize(out.Bytes().data());
    }
}

BENCHMARK(Pack)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(Raw)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

const bool registered = [] {
    spbench::ResultPair("empty_tile", "Pack/0", "Raw/0", spbench::TFigure::TimeUs);
    spbench::ResultPair("line_drawing_tile", "Pack/1", "Raw/1", spbench::TFigure::TimeUs);
    return true;
}();

} // namespace
