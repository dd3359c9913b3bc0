// Retained batches: drawing a batch of 10^6 triangles (the copy into the draw buffer and the submission, to
// a recording device that keeps no vertices) against the floor of copying the same vertex bytes once; a
// view that sees 1 % of the batch, steady and moving, against the full draw; and one item's rebuild in the
// big batch (mark its old groups, add 100 new lines, take their ids) against appending the same vertices
// to a plain array.
#include "BenchSupport.h"

#include "engine/DxDraw.h"
#include "engine/DxRenderer.h"
#include "platform/d3d9/RecordingDevice.h"

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int Triangles = 1000000;
constexpr float Side = 2000; // the records lie in a square of this side, centred on the origin

struct TScene {
    std::shared_ptr<TRecordingDevice> Device = std::make_shared<TRecordingDevice>(1024, 768);
    TDisplayRenderer Renderer{Device};
    TDxTriangleCollection Batch;

    TScene() {
        Device->SetKeepVertices(false);
        std::mt19937 rng(7);
        std::uniform_real_distribution<float> pos(-Side / 2, Side / 2), d(-1.5f, 1.5f);
        Batch.SetLayerMask(1);
        Batch.SetColor(0xFF808080);
        for (int i = 0; i < Triangles; ++i) {
            const float x = pos(rng), y = pos(rng);
            const TDxVertex v[3] = {{x + d(rng), y + d(rng), 0, 0, 0, 0},
                                    {x + d(rng), y + d(rng), 0, 0, 0, 0},
                                    {x + d(rng), y + d(rng), 0, 0, 0, 0}};
            Batch.AddPrimitive(TDxOwnerKey(i / 100 + 1), v);
        }
        Renderer.BeginDraw();
    }

    void Draw(const TXYZ &centre, float radius) {
        Device->ClearRecord();
        Batch.Draw({&Renderer, centre, radius});
    }
};

TScene &Scene() {
    static TScene scene;
    return scene;
}

// The whole square in view.
constexpr float FullRadius = Side;
// A view whose visible list (view radius plus the margin of 20) holds about 1 % of the records:
// pi (R + 20)^2 = Side^2 / 100.
constexpr float SmallRadius = 92.8f;

void BM_FullDraw(benchmark::State &state) {
    TScene &s = Scene();
    s.Draw({0, 0, 0}, FullRadius);
    for (auto _ : state)
        s.Draw({0, 0, 0}, FullRadius);
    state.counters["visible"] = double(s.Batch.VisibleCount());
    state.counters["calls"] = double(s.Device->Draws().size());
}
BENCHMARK(BM_FullDraw)->Unit(benchmark::kMillisecond);

void BM_MemcpyFloor(benchmark::State &state) {
    const std::size_t bytes = std::size_t(Triangles) * 3 * sizeof(TDxVertex);
    std::vector<unsigned char> from(bytes, 1), to(bytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMillisecond);

// The view stays: what every frame costs while the user looks at one place.
void BM_ViewOnePercent(benchmark::State &state) {
    TScene &s = Scene();
    s.Draw({300, 200, 0}, SmallRadius);
    for (auto _ : state)
        s.Draw({300, 200, 0}, SmallRadius);
    state.counters["visible"] = double(s.Batch.VisibleCount());
}
BENCHMARK(BM_ViewOnePercent)->Unit(benchmark::kMillisecond);

// The view moves by the margin every frame, so every frame culls the whole batch again.
void BM_ViewOnePercentMoving(benchmark::State &state) {
    TScene &s = Scene();
    float x = -500;
    for (auto _ : state) {
        s.Draw({x, 200, 0}, SmallRadius);
        x = x > 500 ? -500 : x + 20;
    }
    state.counters["visible"] = double(s.Batch.VisibleCount());
}
BENCHMARK(BM_ViewOnePercentMoving)->Unit(benchmark::kMillisecond);

// One item of 101 points changes: its 100 old lines are marked, 100 new ones added and their ids taken; the
// frame that follows draws a steady view elsewhere (and packs the batch when a tenth is deleted).
void BM_ItemRebuild(benchmark::State &state) {
    std::shared_ptr<TRecordingDevice> device = std::make_shared<TRecordingDevice>();
    device->SetKeepVertices(false);
    TDisplayRenderer renderer(device);
    renderer.BeginDraw();
    TDxLineCollection batch;
    TXYZArray points(101);
    std::vector<TDxGroupId> groups;
    for (int item = 0; item < 10000; ++item) {
        for (int i = 0; i <= 100; ++i)
            points[i] = {float(item % 100) * 10 + float(i) * 0.1f, float(item / 100) * 10, 0};
        DxAddPolyline(batch, TDxOwnerKey(item + 1), points);
    }
    batch.ClearNew();
    DxAddPolyline(batch, 1, points);
    batch.GetNewGroups(groups);
    float shift = 0;
    const auto rebuild = [&] {
        shift = shift > 5 ? 0 : shift + 0.01f;
        for (int i = 0; i <= 100; ++i)
            points[i].y = shift + float(i % 3);
        batch.MarkDeleted(groups);
        batch.ClearNew();
        DxAddPolyline(batch, 1, points);
        batch.GetNewGroups(groups);
        device->ClearRecord();
        batch.Draw({&renderer, {5000, 5000, 0}, 10});
    };
    // Through a few compactions first, so that the arrays have reached the size they keep.
    for (int i = 0; i < 3000; ++i)
        rebuild();
    for (auto _ : state)
        rebuild();
    state.counters["groups"] = double(batch.Count());
}
BENCHMARK(BM_ItemRebuild)->Unit(benchmark::kMicrosecond);

// The floor of the rebuild: the same 200 vertices written into a reused array.
void BM_AppendFloor(benchmark::State &state) {
    TXYZArray points(101);
    std::vector<TDxVertex> out;
    out.reserve(200);
    float shift = 0;
    for (auto _ : state) {
        shift = shift > 5 ? 0 : shift + 0.01f;
        for (int i = 0; i <= 100; ++i)
            points[i] = {float(i) * 0.1f, shift + float(i % 3), 0};
        out.clear();
        for (int i = 0; i < 100; ++i) {
            out.push_back({points[i].x, points[i].y, points[i].z, 0xFF808080, 0, 0});
            out.push_back({points[i + 1].x, points[i + 1].y, points[i + 1].z, 0xFF808080, 0, 0});
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_AppendFloor)->Unit(benchmark::kMicrosecond);

const int registered = [] {
    using spbench::ResultPair;
    using spbench::TFigure;
    ResultPair("draw_1M_triangles_vs_memcpy", "BM_FullDraw", "BM_MemcpyFloor", TFigure::TimeMs);
    ResultPair("view_1pct_vs_full_draw", "BM_ViewOnePercent", "BM_FullDraw", TFigure::TimeMs);
    ResultPair("moving_view_1pct_vs_full_draw", "BM_ViewOnePercentMoving", "BM_FullDraw", TFigure::TimeMs);
    ResultPair("item_rebuild_100_lines_vs_append", "BM_ItemRebuild", "BM_AppendFloor", TFigure::TimeUs);
    return 0;
}();

} // namespace
