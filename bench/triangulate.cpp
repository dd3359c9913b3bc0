// The polygon triangulator against the GLU tessellator (odd winding, triangles only) on the same random
// simple polygons of 10 to 10^5 points and on an outline with 100 holes. Both produce a flat list of
// triangle corners; GLU gets its double-precision vertex records ready-made outside the timing.
#include "BenchSupport.h"

#include "engine/DxTess3.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

// Random radii at increasing angles: simple, with about a quarter of the points starting or ending a
// region of the sweep.
TXYZArray RandomStar(int n, unsigned seed, double cx, double cy, double r) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> radius(0.2, 1.0);
    TXYZArray a;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / n, q = r * radius(rng);
        a.push_back({float(cx + q * std::cos(t)), float(cy + q * std::sin(t)), 0});
    }
    return a;
}

TXYZArrays Simple(int n) {
    return {RandomStar(n, 17, 0, 0, 1000)};
}

// A square of 100 x 100 with a 10 x 10 grid of star-shaped holes of n points each.
TXYZArrays Holes(int n) {
    TXYZArrays c{{{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}}};
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j)
            c.push_back(RandomStar(n, unsigned(100 + 10 * i + j), 5 + 10.0 * i, 5 + 10.0 * j, 4.5));
    return c;
}

TXYZArrays Shape(int kind, int n) {
    return kind == 0 ? Simple(n) : Holes(n);
}

void Ours(benchmark::State &state, int kind) {
    const TXYZArrays contours = Shape(kind, int(state.range(0)));
    std::size_t corners = 0;
    for (auto _ : state) {
        TDxTesselator3 tess;
        for (const TXYZArray &c : contours)
            tess.AddContour(c);
        if (!tess.Proceed())
            state.SkipWithError(tess.ErrorText().c_str());
        TXYZArray triangles = tess.Triangles();
        corners = triangles.size();
        benchmark::DoNotOptimize(triangles.data());
    }
    state.counters["triangles"] = double(corners / 3);
}

struct TGluRun {
    TXYZArray triangles;
    std::vector<std::unique_ptr<std::array<GLdouble, 3>>> extra;
    bool failed = false;
};

void GLAPIENTRY GluVertex(void *vertex, void *data) {
    const GLdouble *v = static_cast<const GLdouble *>(vertex);
    static_cast<TGluRun *>(data)->triangles.push_back({float(v[0]), float(v[1]), float(v[2])});
}
void GLAPIENTRY GluBegin(GLenum, void *) {}
void GLAPIENTRY GluEnd(void *) {}
// Its presence alone makes GLU emit separate triangles (no fans or strips).
void GLAPIENTRY GluEdgeFlag(GLboolean, void *) {}
void GLAPIENTRY GluError(GLenum, void *data) {
    static_cast<TGluRun *>(data)->failed = true;
}
void GLAPIENTRY GluCombine(GLdouble coords[3], void *[4], GLfloat[4], void **out, void *data) {
    auto &extra = static_cast<TGluRun *>(data)->extra;
    extra.push_back(
        std::make_unique<std::array<GLdouble, 3>>(std::array<GLdouble, 3>{coords[0], coords[1], coords[2]}));
    *out = extra.back()->data();
}

void Glu(benchmark::State &state, int kind) {
    const TXYZArrays contours = Shape(kind, int(state.range(0)));
    std::vector<std::vector<std::array<GLdouble, 3>>> records;
    for (const TXYZArray &c : contours) {
        records.emplace_back();
        for (const TXYZ &p : c)
            records.back().push_back({p.x, p.y, p.z});
    }
    GLUtesselator *tess = gluNewTess();
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_ODD);
    gluTessNormal(tess, 0, 0, 1);
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(GluBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(GluVertex));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(GluEnd));
    gluTessCallback(tess, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<_GLUfuncptr>(GluEdgeFlag));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(GluError));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(GluCombine));
    std::size_t corners = 0;
    for (auto _ : state) {
        TGluRun run;
        gluTessBeginPolygon(tess, &run);
        for (auto &contour : records) {
            gluTessBeginContour(tess);
            for (auto &v : contour)
                gluTessVertex(tess, v.data(), v.data());
            gluTessEndContour(tess);
        }
        gluTessEndPolygon(tess);
        if (run.failed)
            state.SkipWithError("GLU tessellation error");
        corners = run.triangles.size();
        benchmark::DoNotOptimize(run.triangles.data());
    }
    gluDeleteTess(tess);
    state.counters["triangles"] = double(corners / 3);
}

void BM_Ours(benchmark::State &state) {
    Ours(state, 0);
}
void BM_Glu(benchmark::State &state) {
    Glu(state, 0);
}
void BM_OursHoles(benchmark::State &state) {
    Ours(state, 1);
}
void BM_GluHoles(benchmark::State &state) {
    Glu(state, 1);
}

constexpr int Sizes[] = {10, 100, 1000, 10000, 100000};
constexpr int HoleSizes[] = {10, 100,
                             990}; // 100 holes of this many points (the largest stays within the limit)

void Register(benchmark::internal::Benchmark *b, const int *sizes, int count) {
    for (int i = 0; i < count; ++i)
        b->Arg(sizes[i]);
    b->Unit(benchmark::kMicrosecond);
}

const int registered = [] {
    Register(benchmark::RegisterBenchmark("BM_Ours", BM_Ours), Sizes, 5);
    Register(benchmark::RegisterBenchmark("BM_Glu", BM_Glu), Sizes, 5);
    Register(benchmark::RegisterBenchmark("BM_OursHoles", BM_OursHoles), HoleSizes, 3);
    Register(benchmark::RegisterBenchmark("BM_GluHoles", BM_GluHoles), HoleSizes, 3);
    for (int n : Sizes)
        spbench::ResultPair("simple_" + std::to_string(n), "BM_Ours/" + std::to_string(n),
                            "BM_Glu/" + std::to_string(n), spbench::TFigure::TimeUs);
    for (int n : HoleSizes)
        spbench::ResultPair("holes100_" + std::to_string(n), "BM_OursHoles/" + std::to_string(n),
                            "BM_GluHoles/" + std::to_string(n), spbench::TFigure::TimeUs);
    return 0;
}();

} // namespace
