// Picking and snapping along a mouse path over a generated street of 10^6 vertices: at each of 1,000
// positions the picking search of the selection mode (one nearest item per type within 10 pixels, for
// surfaces, for lines, and for every type) and the vertex snap, through the street's indexes, against a
// scan of every item and every vertex for the same searches. Median and worst time per position, with the
// answers of both compared at every position (a difference fails the run).
//
// The path is a fixed mouse trace at a plan scale of 5 cm a pixel: steps of a few pixels along and across
// the street with a jump to another stretch every hundred events.
#include "BenchSupport.h"

#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/PointStructure.h"
#include "model/StreetStructure.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include "engine/UndefinedValue.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int StreetVertices = 1000000;
constexpr int PathLength = 1000;
constexpr double MetresPerPixel = 0.05;
constexpr double PickRadius = 10 * MetresPerPixel;
constexpr double Far = UndefinedValue;

const TItemTypeSet PolygonTypes{1, 2, 3, 4, 5, 6, 7, 12, 34, 38};
const TItemTypeSet LineTypes{8, 9, 10, 13, 14, 18, 19, 26, 30, 31, 35, 37, 39, 40};

struct TAnswer {
    std::vector<TAbstractItem *> Picked[3];
    int32_t Snapped = -1;
    TXYZ SnapPoint;
    bool operator==(const TAnswer &o) const {
        return Picked[0] == o.Picked[0] && Picked[1] == o.Picked[1] && Picked[2] == o.Picked[2] &&
               Snapped == o.Snapped && SnapPoint.x == o.SnapPoint.x && SnapPoint.y == o.SnapPoint.y;
    }
};

struct TScene {
    // The classes are registered before the street is made: a street takes the classes registered then.
    bool Classes = (UseObjectClasses(), true);
    TStreetStructure Street;
    std::vector<TXYZ> Path;

    TScene() {
        GenerateStreet(Street, {StreetVertices, 1});
        float x0, y0, x1, y1;
        Street.Pool().GetBounds(x0, y0, x1, y1);
        std::mt19937 rng(77);
        std::uniform_real_distribution<double> along(x0, x1), across(y0 - 5, y1 + 5), step(-4, 12),
            side(-6, 6);
        TXYZ mouse{float(along(rng)), float(across(rng)), 0};
        for (int i = 0; i < PathLength; ++i) {
            if (i % 100 == 99) {
                mouse = {float(along(rng)), float(across(rng)), 0};
            } else {
                mouse.x = float(mouse.x + step(rng) * MetresPerPixel);
                mouse.y =
                    float(std::clamp(mouse.y + side(rng) * MetresPerPixel, double(y0) - 5, double(y1) + 5));
            }
            Path.push_back(mouse);
        }
    }
};

TScene &Scene() {
    static TScene scene;
    return scene;
}

TAnswer Ours(TStreetStructure &s, const TXYZ &p) {
    TAnswer a;
    const TItemTypeSet sets[3] = {PolygonTypes, LineTypes, FullTypeSet()};
    for (int k = 0; k < 3; ++k)
        s.CollectNearestItems(p, sets[k], PickRadius, {}, a.Picked[k]);
    a.SnapPoint = p;
    a.Snapped = s.Pool().FindNearest(a.SnapPoint, FullTypeSet());
    return a;
}

// Every list's own search, types from the highest code down, ranked as the street ranks them.
void ScanCollect(TStreetStructure &s, const TXYZ &p, const TItemTypeSet &types,
                 std::vector<TAbstractItem *> &out) {
    std::vector<TAbstractItem *> found;
    for (int code = ItemTypeCount - 1; code >= 0; --code)
        if (types.Contains(code))
            s.Lists(code).CollectNearest(p, {}, PickRadius, found);
    std::vector<std::pair<THitRank, TAbstractItem *>> ranked;
    for (TAbstractItem *item : found)
        ranked.emplace_back(item->PickRank(p, PickRadius), item);
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &r : ranked)
        out.push_back(r.second);
}

// The snapping rule over every record in pool order: the smallest distance, the last of equal ones.
int32_t ScanSnap(const TPointStructure &pool, TXYZ &p) {
    const TStreetPointRec *best = nullptr;
    double bestD = Far;
    for (int i = 0, n = pool.Count(); i < n; ++i) {
        const TStreetPointRec *r = pool.Points(i);
        const double dx = double(r->X()) - p.x, dy = double(r->Y()) - p.y, dz = double(r->Z()) - p.z;
        const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (d <= bestD && GetPointOwnerTypes(*r).Meets(FullTypeSet())) {
            best = r;
            bestD = d;
        }
    }
    if (!best)
        return -1;
    p = best->Position();
    return best->Id();
}

TAnswer Scan(TStreetStructure &s, const TXYZ &p) {
    TAnswer a;
    const TItemTypeSet sets[3] = {PolygonTypes, LineTypes, FullTypeSet()};
    for (int k = 0; k < 3; ++k)
        ScanCollect(s, p, sets[k], a.Picked[k]);
    a.SnapPoint = p;
    a.Snapped = ScanSnap(s.Pool(), a.SnapPoint);
    return a;
}

// Times each position of the path; the figures are per position, in microseconds.
template <class F> void RunPath(benchmark::State &state, F &&search, std::vector<TAnswer> *answers) {
    TScene &scene = Scene();
    std::vector<double> times;
    for (auto _ : state) {
        times.clear();
        if (answers)
            answers->clear();
        for (const TXYZ &p : scene.Path) {
            const auto t0 = std::chrono::steady_clock::now();
            TAnswer a = search(scene.Street, p);
            const auto t1 = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
            if (answers)
                answers->push_back(std::move(a));
            benchmark::DoNotOptimize(a);
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["median_us"] = times[times.size() / 2];
    state.counters["worst_us"] = times.back();
    int hits = 0;
    if (answers)
        for (const TAnswer &a : *answers)
            hits += !a.Picked[2].empty();
    state.counters["positions_with_a_pick"] = hits;
}

std::vector<TAnswer> &ScanAnswers() {
    static std::vector<TAnswer> answers;
    return answers;
}

void BM_PickScan(benchmark::State &state) {
    RunPath(state, Scan, &ScanAnswers());
}

void BM_PickIndexed(benchmark::State &state) {
    TScene &scene = Scene();
    // The indexes are made once, on the first search of a street (as on the first click after loading).
    const auto t0 = std::chrono::steady_clock::now();
    Ours(scene.Street, scene.Path.front());
    state.counters["index_build_ms"] =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::vector<TAnswer> answers;
    RunPath(state, Ours, &answers);
    const std::vector<TAnswer> &scan = ScanAnswers();
    int differences = 0;
    for (std::size_t i = 0; i < answers.size(); ++i)
        differences += i >= scan.size() || !(answers[i] == scan[i]);
    state.counters["differences"] = differences;
    if (differences > 0)
        state.SkipWithError("the indexed search and the scan differ");
}

BENCHMARK(BM_PickScan)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PickIndexed)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool Registered = [] {
    spbench::ResultPair("median_per_position", "BM_PickIndexed/iterations:3/real_time",
                        "BM_PickScan/iterations:1/real_time", spbench::TFigure::Counter, "median_us", "us");
    spbench::ResultPair("worst_per_position", "BM_PickIndexed/iterations:3/real_time",
                        "BM_PickScan/iterations:1/real_time", spbench::TFigure::Counter, "worst_us", "us");
    return true;
}();

} // namespace
