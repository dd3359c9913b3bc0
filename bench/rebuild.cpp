// Geometry rebuilds of surfaces and curbs. Loading a generated street of 10^5 vertices in polygons and
// rebuilding all its geometry (and the load alone), against the floor of reading its bytes; the first
// full rebuild alone,
// against triangulating the same outlines; and one step of dragging a vertex shared by a road way of 10^4
// vertices, two curbs and a sidewalk (only those four items rebuild), against triangulating the road way
// alone. Goal: a drag step under 5 ms.
#include "BenchSupport.h"

#include "engine/DxRenderer.h"
#include "engine/DxTess3.h"
#include "engine/Streams.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "objects/BortItem.h"
#include "objects/RoadWay.h"
#include "objects/Trotuar.h"
#include "platform/d3d9/RecordingDevice.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int StreetVertices = 100000;
constexpr int RoadWayVertices = 10000;

struct TSample {
    std::string File;
    std::size_t Bytes = 0;
};

const TSample &Sample() {
    static const TSample sample = [] {
        UseObjectClasses();
        const fs::path dir = fs::temp_directory_path() / ("rebuild_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        TStreetStructure street;
        GenerateStreet(street, TStreetGenOptions{StreetVertices, 1});
        TSample s;
        s.File = (dir / "street.zrv").string();
        street.SaveToFile(s.File);
        s.Bytes = static_cast<std::size_t>(fs::file_size(s.File));
        return s;
    }();
    return sample;
}

// A renderer over a device that keeps nothing: drawing packs the batches as a frame does.
struct TFrame {
    std::shared_ptr<TRecordingDevice> Device = std::make_shared<TRecordingDevice>(1024, 768);
    TDisplayRenderer Renderer{Device};
    TFrame() {
        Device->SetKeepVertices(false);
        Renderer.BeginDraw();
    }
    void Draw(TStreetStructure &street, const TXYZ &centre, float radius) {
        Device->ClearRecord();
        street.Draw({&Renderer, centre, radius}, FullTypeSet(), 1);
    }
};

void BM_LoadAndRebuild(benchmark::State &state) {
    const TSample &s = Sample();
    for (auto _ : state) {
        std::unique_ptr<TStreetStructure> street = LoadStreetFile(s.File);
        street->UpdateGraphics(FullTypeSet());
        benchmark::DoNotOptimize(street.get());
        state.PauseTiming();
        street.reset();
        state.ResumeTiming();
    }
    state.counters["bytes"] = static_cast<double>(s.Bytes);
}

void BM_LoadOnly(benchmark::State &state) {
    const TSample &s = Sample();
    for (auto _ : state) {
        std::unique_ptr<TStreetStructure> street = LoadStreetFile(s.File);
        benchmark::DoNotOptimize(street.get());
        state.PauseTiming();
        street.reset();
        state.ResumeTiming();
    }
}

void BM_ReadFloor(benchmark::State &state) {
    const TSample &s = Sample();
    for (auto _ : state) {
        TMemoryStream m;
        m.LoadFromFile(s.File);
        benchmark::DoNotOptimize(m.Bytes().data());
    }
}

void BM_FirstRebuild(benchmark::State &state) {
    const TSample &s = Sample();
    int items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TStreetStructure> street = LoadStreetFile(s.File);
        state.ResumeTiming();
        street->UpdateGraphics(FullTypeSet());
        state.PauseTiming();
        items = 0;
        for (int code = 0; code < ItemTypeCount; ++code)
            items += street->Lists(code).Count();
        street.reset();
        state.ResumeTiming();
    }
    state.counters["items"] = items;
}

// The floor of the polygons' part of a rebuild: triangulating every outline once.
void BM_TriangulateOutlines(benchmark::State &state) {
    std::unique_ptr<TStreetStructure> street = LoadStreetFile(Sample().File);
    std::vector<TXYZArray> outlines;
    for (int code = 0; code < ItemTypeCount; ++code)
        for (const auto &item : street->Lists(code))
            if (dynamic_cast<TPolygonItem *>(item.get())) {
                item->Points.EnsureGeometry();
                outlines.push_back(item->Points.Dense());
            }
    for (auto _ : state)
        for (const TXYZArray &o : outlines)
            benchmark::DoNotOptimize(Triangulate(o).Triangles.data());
    state.counters["polygons"] = static_cast<double>(outlines.size());
}

// A generated street with a long road way of 10^4 vertices beside it; a vertex V on the road way's far
// edge is shared with a sidewalk (one edge) and two curbs (one ending at V, one starting there).
struct TDragScene {
    TStreetStructure Street;
    TRoadWayItem *Road = nullptr;
    TStreetPointRec *V = nullptr;
    int VIndex = -1;
    TXYZ At;
    TFrame Frame;

    TDragScene() {
        UseObjectClasses();
        GenerateStreet(Street, TStreetGenOptions{10000, 2});
        Road = dynamic_cast<TRoadWayItem *>(Street.Lists(RoadWayTypeCode).AddNew());
        const int half = RoadWayVertices / 2;
        const float y0 = -100, y1 = -96.5f;
        std::vector<TStreetPointRec *> top;
        for (int k = 0; k < half; ++k)
            Road->Points.InsertNewPoint(Road->Points.Count(), {k * 2.0f, y0, 0});
        for (int k = half - 1; k >= 0; --k)
            top.push_back(Road->Points.InsertNewPoint(Road->Points.Count(), {k * 2.0f, y1, 0}));
        // top[i] is at x = (half - 1 - i) * 2, running back.
        const std::size_t mid = top.size() / 2;
        V = top[mid];
        VIndex = Road->Points.IndexOfRec(V);
        At = V->Position();
        auto *walk = dynamic_cast<TTrotuarItem *>(Street.Lists(TrotuarTypeCode).AddNew());
        walk->Points.Insert(0, top[mid + 1]);
        walk->Points.Insert(1, V);
        walk->Points.InsertNewPoint(2, {At.x, y1 + 3, 0});
        walk->Points.InsertNewPoint(3, {top[mid + 1]->Position().x, y1 + 3, 0});
        for (std::size_t from : {mid - 10, mid}) {
            auto *curb = dynamic_cast<TBortItem *>(Street.Lists(BortTypeCode).AddNew());
            for (std::size_t i = from; i <= from + 10; ++i)
                curb->Points.Insert(curb->Points.Count(), top[i]);
            curb->SetGost(Cp("БР 100.30.15"));
        }
        Frame.Draw(Street, At, 200);
    }

    // Moves V a little, alternating, and rebuilds what changed; the number of items that rebuilt.
    int Step(int k) {
        Road->Points.SetPoint(VIndex, {At.x, At.y + (k % 2 ? 0.05f : 0), 0});
        int changed = 0;
        for (int code = 0; code < ItemTypeCount; ++code)
            for (const auto &item : Street.Lists(code))
                changed += item->Points.Changed();
        Street.UpdateGraphics(FullTypeSet());
        return changed;
    }
};

void BM_DragStep(benchmark::State &state) {
    TDragScene scene;
    int k = 0, rebuilt = 0;
    for (auto _ : state) {
        rebuilt = scene.Step(++k);
        state.PauseTiming();
        // The frame that follows packs out the groups the rebuild replaced.
        scene.Frame.Draw(scene.Street, scene.At, 200);
        state.ResumeTiming();
    }
    state.counters["rebuilt"] = rebuilt;
}

void BM_TriangulateRoadWay(benchmark::State &state) {
    TDragScene scene;
    scene.Road->Points.EnsureGeometry();
    const TXYZArray outline = scene.Road->Points.Dense();
    for (auto _ : state)
        benchmark::DoNotOptimize(Triangulate(outline).Triangles.data());
}

// The first runs of a fresh process pay for the allocator's first touches of memory: warmed up first.
BENCHMARK(BM_LoadAndRebuild)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_LoadOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FirstRebuild)->Unit(benchmark::kMillisecond)->UseRealTime()->MinWarmUpTime(1);
BENCHMARK(BM_TriangulateOutlines)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DragStep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TriangulateRoadWay)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool Registered = [] {
    spbench::ResultPair("load_and_rebuild_100000", "BM_LoadAndRebuild/min_warmup_time:1.000/real_time",
                        "BM_ReadFloor/real_time");
    spbench::ResultPair("load_100000", "BM_LoadOnly/min_warmup_time:1.000/real_time",
                        "BM_ReadFloor/real_time");
    spbench::ResultPair("first_rebuild_100000", "BM_FirstRebuild/min_warmup_time:1.000/real_time",
                        "BM_TriangulateOutlines/real_time");
    spbench::ResultPair("drag_step_roadway_10000", "BM_DragStep/real_time",
                        "BM_TriangulateRoadWay/real_time");
    return true;
}();

} // namespace
