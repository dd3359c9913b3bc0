// The quantities of a calculation area over a generated street of 10^6 vertices (items rebuilt,
// triangulations made beforehand): the marking rows, the surface areas and lengths, and the sign counts,
// for (a) an area enclosing the whole street and (b) an area over about a tenth of it whose ends cut through
// every row. The baseline is the floor of any such sum: one pass over the same street adding the shoelace
// area of every polygon and the dense length of every line. For (a) the area's figures must equal those raw
// sums (relative 1e-6); the counter `mismatches` says how many do not.
#include "BenchSupport.h"

#include "model/AbstractItem.h"
#include "model/ItemList.h"
#include "model/PolygonItem.h"
#include "model/StreetStructure.h"
#include "objects/CalcAreaItem.h"
#include "tools/make-street/ObjectFillers.h"
#include "tools/make-street/StreetGen.h"

#include <cmath>
#include <vector>

namespace {

constexpr int StreetVertices = 1000000;

struct TRawSums {
    double Area[ItemTypeCount] = {};
    double Length[ItemTypeCount] = {};
};

struct TScene {
    bool Classes = (UseObjectClasses(), true);
    TStreetStructure Street;
    TCalcAreaItem *Whole = nullptr;
    TCalcAreaItem *Tenth = nullptr;

    TScene() {
        GenerateStreet(Street, {StreetVertices, 1});
        Street.UpdateGraphics(FullTypeSet());
        float x0, y0, x1, y1;
        Street.Pool().GetBounds(x0, y0, x1, y1);
        auto area = [&](float ax0, float ay0, float ax1, float ay1) {
            auto *a = dynamic_cast<TCalcAreaItem *>(Street.Lists(CalcAreaTypeCode).AddNew());
            for (const TXYZ &p : {TXYZ{ax0, ay0, 0}, TXYZ{ax1, ay0, 0}, TXYZ{ax1, ay1, 0}, TXYZ{ax0, ay1, 0}})
                a->Points.InsertNewPoint(a->Points.Count(), p);
            return a;
        };
        Whole = area(x0 - 10, y0 - 10, x1 + 10, y1 + 10);
        const float w = x1 - x0;
        // Its ends fall inside blocks, not on shared edges, so that they cut through the items there.
        Tenth = area(x0 + 0.45f * w + 0.7f, y0 + 1.3f, x0 + 0.55f * w + 0.9f, y1 - 1.1f);
        for (int code = 0; code < ItemTypeCount; ++code)
            for (int i = 0; i < Street.Lists(code).Count(); ++i)
                if (auto *p = dynamic_cast<TPolygonItem *>(Street.Lists(code).Items(i)))
                    p->Triangles();
        Street.UpdateGraphics(FullTypeSet());
    }
};

TScene &Scene() {
    static TScene scene;
    return scene;
}

TRawSums RawSums(TStreetStructure &s) {
    TRawSums r;
    for (int code = 0; code < ItemTypeCount; ++code) {
        if (code == CalcAreaTypeCode)
            continue;
        for (int i = 0; i < s.Lists(code).Count(); ++i) {
            TAbstractItem *item = s.Lists(code).Items(i);
            if (!item->Active)
                continue;
            const TXYZArray &d = item->Points.Dense();
            if (dynamic_cast<TPolygonItem *>(item)) {
                double sum = 0;
                for (std::size_t k = 0; k + 1 < d.size(); ++k)
                    sum += double(d[k].x) * d[k + 1].y - double(d[k + 1].x) * d[k].y;
                r.Area[code] += std::fabs(sum) / 2;
            } else {
                for (std::size_t k = 0; k + 1 < d.size(); ++k)
                    r.Length[code] += std::hypot(double(d[k + 1].x) - d[k].x, double(d[k + 1].y) - d[k].y);
            }
        }
    }
    return r;
}

void Compute(TCalcAreaItem &area) {
    area.CalcMarkings();
    area.CalcAreas();
    area.CountSigns();
}

bool Near(double a, double b) {
    return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(b));
}

void BM_Raw(benchmark::State &state) {
    TScene &scene = Scene();
    for (auto _ : state) {
        TRawSums r = RawSums(scene.Street);
        benchmark::DoNotOptimize(r);
    }
}

void BM_Whole(benchmark::State &state) {
    TScene &scene = Scene();
    for (auto _ : state)
        Compute(*scene.Whole);
    const TRawSums raw = RawSums(scene.Street);
    const TCalcAreaItem &a = *scene.Whole;
    const std::pair<double, double> pairs[] = {{a.DividingStripArea.Value, raw.Area[RazdPolTypeCode]},
                                               {a.RoadwayArea.Value, raw.Area[RoadWayTypeCode]},
                                               {a.LawnArea.Value, raw.Area[GazonTypeCode]},
                                               {a.SidewalkArea.Value, raw.Area[TrotuarTypeCode]},
                                               {a.ShoulderArea.Value, raw.Area[ObochTypeCode]},
                                               {a.DesignFigureArea.Value, raw.Area[DesignFigureTypeCode]},
                                               {a.CurbLength.Value, raw.Length[BortTypeCode]},
                                               {a.TramLineLength.Value, raw.Length[TramWayTypeCode]}};
    int mismatches = 0;
    for (const auto &[ours, expected] : pairs)
        mismatches += Near(ours, expected) ? 0 : 1;
    state.counters["mismatches"] = mismatches;
    state.counters["roadway_m2"] = a.RoadwayArea.Value;
    if (mismatches != 0)
        state.SkipWithError("the whole-street figures differ from the raw sums");
}

void BM_Tenth(benchmark::State &state) {
    TScene &scene = Scene();
    for (auto _ : state)
        Compute(*scene.Tenth);
    state.counters["roadway_m2"] = scene.Tenth->RoadwayArea.Value;
    state.counters["curb_m"] = scene.Tenth->CurbLength.Value;
}

BENCHMARK(BM_Raw)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Whole)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Tenth)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool Registered = [] {
    spbench::ResultPair("whole_street", "BM_Whole/iterations:3/real_time", "BM_Raw/iterations:3/real_time");
    spbench::ResultPair("tenth", "BM_Tenth/iterations:3/real_time", "BM_Raw/iterations:3/real_time");
    return true;
}();

} // namespace
