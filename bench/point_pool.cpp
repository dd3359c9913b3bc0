// Snapping on a big vertex pool: TPointStructure.FindNearest (all types, every vertex owned by an active
// item) against a scan of every record for the same queries. The pool is laid out like a long street:
// 20 parallel polylines 3.5 m apart, 50 000 vertices each, about 2 m between vertices (10^6 vertices,
// 100 km). Two query streams: a mouse that moves a metre or two per event along the street with an
// occasional far jump, so the cached neighbourhood is reused most of the time; and far jumps only, so
// every query refreshes it.
#include "BenchSupport.h"

#include "model/AbstractItem.h"
#include "model/PointList.h"
#include "model/PointStructure.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int LineCount = 20;
constexpr int VerticesPerLine = 50000;
constexpr double Spacing = 2.0;
constexpr double LaneWidth = 3.5;
constexpr int QueryCount = 500;

class TBenchItem : public TAbstractItem {
public:
    explicit TBenchItem(int code) : Code(code) {}
    int GetTypeCode() const override { return Code; }
    int Code;
};

struct TStreet {
    TPointStructure Pool;
    std::vector<std::unique_ptr<TBenchItem>> Items;
    std::vector<std::unique_ptr<TPointList>> Lists;
    std::vector<TXYZ> MouseQueries, JumpQueries;

    TStreet() {
        std::mt19937 rng(2024);
        std::uniform_real_distribution<double> jitter(-0.3, 0.3);
        const int codes[] = {8, 2, 1, 3, 10};
        for (int line = 0; line < LineCount; ++line) {
            Items.push_back(std::make_unique<TBenchItem>(codes[line % 5]));
            Lists.push_back(std::make_unique<TPointList>(&Pool, Items.back().get()));
            for (int i = 0; i < VerticesPerLine; ++i) {
                const TXYZ p{static_cast<float>(i * Spacing + jitter(rng)),
                             static_cast<float>(line * LaneWidth + jitter(rng) * 0.2), 0};
                Pool.AddPointRec(p)->Owners.push_back(Lists.back().get());
            }
        }
        const double length = VerticesPerLine * Spacing, width = LineCount * LaneWidth;
        std::uniform_real_distribution<double> alongStreet(0, length), acrossStreet(-10, width + 10),
            step(0.5, 2.5), sideways(-0.8, 0.8);
        TXYZ mouse{static_cast<float>(alongStreet(rng)), static_cast<float>(acrossStreet(rng)), 0};
        for (int q = 0; q < QueryCount; ++q) {
            if (q % 100 == 99) {
                mouse = {static_cast<float>(alongStreet(rng)), static_cast<float>(acrossStreet(rng)), 0};
            } else {
                mouse.x = static_cast<float>(mouse.x + step(rng));
                mouse.y = static_cast<float>(std::clamp(mouse.y + sideways(rng), -10.0, width + 10));
            }
            MouseQueries.push_back(mouse);
            JumpQueries.push_back(
                {static_cast<float>(alongStreet(rng)), static_cast<float>(acrossStreet(rng)), 0});
        }
    }
};

TStreet &Street() {
    static TStreet street;
    return street;
}

// The snapping rule applied to every record in pool order: the smallest distance, the last of equal ones.
int32_t ScanNearest(const TPointStructure &pool, TXYZ &p, const TItemTypeSet &types) {
    const TStreetPointRec *best = nullptr;
    double bestD = UndefinedValue;
    const int n = pool.Count();
    for (int i = 0; i < n; ++i) {
        const TStreetPointRec *r = pool.Points(i);
        const double dx = static_cast<double>(r->X()) - p.x, dy = static_cast<double>(r->Y()) - p.y,
                     dz = static_cast<double>(r->Z()) - p.z;
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (d <= bestD && GetPointOwnerTypes(*r).Meets(types)) {
            best = r;
            bestD = d;
        }
    }
    if (!best)
        return -1;
    p = best->Position();
    return best->Id();
}

void RunOurs(benchmark::State &state, const std::vector<TXYZ> &queries) {
    TStreet &s = Street();
    int mismatches = 0;
    for (auto _ : state) {
        int64_t sum = 0;
        for (const TXYZ &q : queries) {
            TXYZ p = q;
            sum += s.Pool.FindNearest(p, FullTypeSet());
        }
        benchmark::DoNotOptimize(sum);
    }
    for (const TXYZ &q : queries) {
        TXYZ a = q, b = q;
        if (s.Pool.FindNearest(a, FullTypeSet()) != ScanNearest(s.Pool, b, FullTypeSet()))
            ++mismatches;
    }
    state.counters["mismatches"] = mismatches;
    state.counters["queries"] = static_cast<double>(queries.size());
}

void RunScan(benchmark::State &state, const std::vector<TXYZ> &queries) {
    TStreet &s = Street();
    for (auto _ : state) {
        int64_t sum = 0;
        for (const TXYZ &q : queries) {
            TXYZ p = q;
            sum += ScanNearest(s.Pool, p, FullTypeSet());
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["queries"] = static_cast<double>(queries.size());
}

void BM_SnapMouse(benchmark::State &state) {
    RunOurs(state, Street().MouseQueries);
}
void BM_ScanMouse(benchmark::State &state) {
    RunScan(state, Street().MouseQueries);
}
void BM_SnapJumps(benchmark::State &state) {
    RunOurs(state, Street().JumpQueries);
}
void BM_ScanJumps(benchmark::State &state) {
    RunScan(state, Street().JumpQueries);
}

BENCHMARK(BM_SnapMouse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScanMouse)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SnapJumps)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ScanJumps)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool Registered = [] {
    // Time for the whole query stream (500 queries), ours against the scan.
    spbench::ResultPair("mouse_500_queries", "BM_SnapMouse/real_time", "BM_ScanMouse/real_time");
    spbench::ResultPair("jumps_500_queries", "BM_SnapJumps/real_time", "BM_ScanJumps/real_time");
    return true;
}();

} // namespace
