// An A1 plan sheet at 300 DPI (6661 x 9579 pixels of printable area) over the generated street of 10^5
// vertices at 1:200, rendered in tiles into the packed print file (tiles of 512) and onto an image (tiles
// of 1024). Baseline: the floor of any tiled job, the same number of blank tiles of the same surface
// cleared and read back.
#include "BenchSupport.h"

#include "engine/DxRenderer.h"
#include "exchange/PlanDefineItem.h"
#include "exchange/RegisterExchange.h"
#include "model/StreetStructure.h"
#include "platform/gdi/Bitmap.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <memory>
#include <new>

namespace {

void EnsureApplication() {
    static int argc = 1;
    static char name[] = "print_tiles";
    static char *argv[] = {name, nullptr};
    // Kept to the end of the process: GL contexts cannot be torn down from static destructors.
    alignas(QGuiApplication) static unsigned char storage[sizeof(QGuiApplication)];
    static QGuiApplication *app = new (storage) QGuiApplication(argc, argv);
    (void)app;
}

struct TScene {
    TStreetStructure Street;
    TPlanDefineItem *Sheet = nullptr;

    TScene() {
        GenerateStreet(Street, {.Vertices = 100000, .Seed = 7});
        Sheet = dynamic_cast<TPlanDefineItem *>(Street.Lists(PlanDefineTypeCode).AddNew());
        // The street runs along x from 0, 14 m wide: the sheet's width (119 m at 1:200) lies along it,
        // so that the street crosses every column of tiles.
        Sheet->Points.InsertNewPoint(0, {-5, -80, 0});
        Sheet->Points.InsertNewPoint(1, {-4, -80, 0});
        Sheet->InitNewItem();
        Sheet->Format.Scale = 0.005;
        Sheet->Format.SheetWidth = 594;
        Sheet->Format.SheetHeight = 841;
        Street.UpdateGraphics(FullTypeSet());
    }
    int Tiles(int size) const {
        return ((Sheet->PrintWidthPx() - 1) / size + 1) * ((Sheet->PrintHeightPx() - 1) / size + 1);
    }
};

TScene &Scene() {
    EnsureApplication();
    static TScene *scene = [] {
        UseObjectClasses();
        RegisterExchangeObjects();
        return new TScene;
    }();
    return *scene;
}

void Counters(benchmark::State &state, int tiles, int size) {
    state.counters["tiles"] = benchmark::Counter(tiles, benchmark::Counter::kIsIterationInvariantRate);
    // Megabytes of 24-bit tile pixels made.
    state.counters["MB"] = benchmark::Counter(double(tiles) * size * size * 3 / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PrintFile(benchmark::State &state) {
    TScene &s = Scene();
    int64_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream m;
        s.Sheet->RenderPrintFile(m, true);
        bytes = m.Size();
    }
    state.counters["file_MB"] = double(bytes) / 1e6;
    Counters(state, s.Tiles(512), 512);
}

void BM_Image(benchmark::State &state) {
    TScene &s = Scene();
    QImage image(s.Sheet->PrintWidthPx(), s.Sheet->PrintHeightPx(), QImage::Format_RGB888);
    for (auto _ : state) {
        QPainter painter(&image);
        s.Sheet->RenderToDC(painter, image.rect(), true);
    }
    Counters(state, s.Tiles(1024), 1024);
}

// The same number of tiles of the same surface (the tile and its apron), cleared and read back.
void BlankTiles(benchmark::State &state, int size) {
    TScene &s = Scene();
    const int tiles = s.Tiles(size);
    TSurfaceRenderer r(size + 4, size + 4);
    TBitmap bitmap;
    for (auto _ : state)
        for (int i = 0; i < tiles; ++i) {
            r.BeginDraw();
            r.Clear(0xFFFFFFFF, true, false, false);
            r.EndDraw();
            r.CopyToBitmap(bitmap);
        }
    Counters(state, tiles, size);
}

void BM_BlankTiles512(benchmark::State &state) {
    BlankTiles(state, 512);
}
void BM_BlankTiles1024(benchmark::State &state) {
    BlankTiles(state, 1024);
}

BENCHMARK(BM_PrintFile)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BlankTiles512)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_Image)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_BlankTiles1024)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

[[maybe_unused]] const bool registered = [] {
    spbench::ResultPair("print_file_vs_blank_tiles", "BM_PrintFile/iterations:3/real_time",
                        "BM_BlankTiles512/iterations:3/real_time");
    spbench::ResultPair("print_file_tiles_per_second", "BM_PrintFile/iterations:3/real_time",
                        "BM_BlankTiles512/iterations:3/real_time", spbench::TFigure::Counter, "tiles",
                        "tiles/s");
    spbench::ResultPair("print_file_MB_per_second", "BM_PrintFile/iterations:3/real_time",
                        "BM_BlankTiles512/iterations:3/real_time", spbench::TFigure::Counter, "MB", "MB/s");
    spbench::ResultPair("image_vs_blank_tiles", "BM_Image/iterations:3/real_time",
                        "BM_BlankTiles1024/iterations:3/real_time");
    spbench::ResultPair("image_tiles_per_second", "BM_Image/iterations:3/real_time",
                        "BM_BlankTiles1024/iterations:3/real_time", spbench::TFigure::Counter, "tiles",
                        "tiles/s");
    spbench::ResultPair("image_MB_per_second", "BM_Image/iterations:3/real_time",
                        "BM_BlankTiles1024/iterations:3/real_time", spbench::TFigure::Counter, "MB", "MB/s");
    return true;
}();

} // namespace
