// Overlap area of two triangulated polygons, where every pair of triangles is tried: for areas far
// apart the cost must stay at that of the bounding-box test that rejects each pair.
#include "BenchSupport.h"

#include "engine/DxCalc_0.h"

#include <algorithm>
#include <vector>

namespace {

// A strip of n quads (2n triangles) starting at x0.
TXYZArray Strip(int n, float x0, float y0) {
    TXYZArray t;
    for (int i = 0; i < n; ++i) {
        const float x = x0 + float(i);
        const TXYZ a{x, y0, 0}, b{x + 1, y0, 0}, c{x + 1, y0 + 1, 0}, d{x, y0 + 1, 0};
        t.insert(t.end(), {a, b, c, a, c, d});
    }
    return t;
}

// The floor for rejecting every pair: the closed bounding-box comparison alone.
float BoxesOnly(const TXYZArray &a, const TXYZArray &b) {
    int touching = 0;
    for (std::size_t i = 0; i + 2 < a.size(); i += 3) {
        const auto [ax0, ax1] = std::minmax({a[i].x, a[i + 1].x, a[i + 2].x});
        const auto [ay0, ay1] = std::minmax({a[i].y, a[i + 1].y, a[i + 2].y});
        for (std::size_t j = 0; j + 2 < b.size(); j += 3) {
            const auto [bx0, bx1] = std::minmax({b[j].x, b[j + 1].x, b[j + 2].x});
            const auto [by0, by1] = std::minmax({b[j].y, b[j + 1].y, b[j + 2].y});
            touching += !(ax1 < bx0 || bx1 < ax0 || ay1 < by0 || by1 < ay0);
        }
    }
    return float(touching);
}

const TXYZArray A = Strip(100, 0, 0);
const TXYZArray Far = Strip(100, 0, 50);

void BM_OverlapFarApart(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(AreasOverlapArea(A, Far));
}
BENCHMARK(BM_OverlapFarApart)->Unit(benchmark::kSecond);

void BM_BoxRejectAll(benchmark::State &state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(BoxesOnly(A, Far));
}
BENCHMARK(BM_BoxRejectAll)->Unit(benchmark::kSecond);

const int registered = [] {
    spbench::ResultPair("overlap_far_200x200", "BM_OverlapFarApart", "BM_BoxRejectAll",
                        spbench::TFigure::TimeUs);
    return 0;
}();

} // namespace
