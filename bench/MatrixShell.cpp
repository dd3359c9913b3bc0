// Per-point transforms of the matrix stack: the identity shortcut of device-less shells, a general
// transform, and the cached inverse, each against a hand-written loop doing the same arithmetic.
#include "BenchSupport.h"

#include "engine/MatrixShell.h"

#include <vector>

namespace {

constexpr int Points = 100000;

std::vector<TXYZ> MakePoints() {
    std::vector<TXYZ> p(Points);
    for (int i = 0; i < Points; ++i)
        p[i] = {float(i % 1000) * 0.37f, float(i / 1000) * 0.53f, float(i % 7)};
    return p;
}

void General(TMatrixShell &s) {
    s.Translate(true, 52000, -71000, 3);
    s.RotateZ(true, 0.4f);
    s.Scale(true, 0.02f, 0.02f, 0.02f);
}

// The floor for a transform: the row-vector product with division by w, written inline.
inline TXYZ Inline(const TDxMatrix &m, const TXYZ &p) {
    const double x = p.x, y = p.y, z = p.z;
    double r[4];
    for (int j = 0; j < 4; ++j)
        r[j] = x * m.m[0][j] + y * m.m[1][j] + z * m.m[2][j] + m.m[3][j];
    return {float(r[0] / r[3]), float(r[1] / r[3]), float(r[2] / r[3])};
}

void BM_IdentityShell(benchmark::State &state) {
    std::vector<TXYZ> pts = MakePoints();
    TMatrixShell shell;
    for (auto _ : state) {
        for (TXYZ &p : pts) {
            shell.TransformPoint(p);
            benchmark::DoNotOptimize(p);
        }
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_IdentityShell)->Unit(benchmark::kSecond);

void BM_TouchPoints(benchmark::State &state) {
    std::vector<TXYZ> pts = MakePoints();
    for (auto _ : state) {
        for (TXYZ &p : pts)
            benchmark::DoNotOptimize(p);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TouchPoints)->Unit(benchmark::kSecond);

void BM_ShellTransform(benchmark::State &state) {
    const std::vector<TXYZ> src = MakePoints();
    std::vector<TXYZ> pts = src;
    TMatrixShell shell;
    General(shell);
    for (auto _ : state) {
        for (std::size_t i = 0; i < pts.size(); ++i) {
            pts[i] = src[i];
            shell.TransformPoint(pts[i]);
        }
        benchmark::DoNotOptimize(pts.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ShellTransform)->Unit(benchmark::kSecond);

void BM_InlineTransform(benchmark::State &state) {
    const std::vector<TXYZ> src = MakePoints();
    std::vector<TXYZ> pts = src;
    TMatrixShell shell;
    General(shell);
    const TDxMatrix m = shell.GetMatrix();
    for (auto _ : state) {
        for (std::size_t i = 0; i < pts.size(); ++i) {
            pts[i] = src[i];
            pts[i] = Inline(m, pts[i]);
        }
        benchmark::DoNotOptimize(pts.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InlineTransform)->Unit(benchmark::kSecond);

void BM_ShellInverse(benchmark::State &state) {
    const std::vector<TXYZ> src = MakePoints();
    std::vector<TXYZ> pts = src;
    TMatrixShell shell;
    General(shell);
    for (auto _ : state) {
        for (std::size_t i = 0; i < pts.size(); ++i) {
            pts[i] = src[i];
            shell.InverseTransform(pts[i]);
        }
        benchmark::DoNotOptimize(pts.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ShellInverse)->Unit(benchmark::kSecond);

void BM_InlineInverse(benchmark::State &state) {
    const std::vector<TXYZ> src = MakePoints();
    std::vector<TXYZ> pts = src;
    TMatrixShell shell;
    General(shell);
    TDxMatrix inv;
    MatrixInvert(shell.GetMatrix(), inv);
    for (auto _ : state) {
        for (std::size_t i = 0; i < pts.size(); ++i) {
            pts[i] = src[i];
            pts[i] = Inline(inv, pts[i]);
        }
        benchmark::DoNotOptimize(pts.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InlineInverse)->Unit(benchmark::kSecond);

const int registered = [] {
    using spbench::ResultPair;
    using spbench::TFigure;
    ResultPair("identity_100k", "BM_IdentityShell", "BM_TouchPoints", TFigure::TimeUs);
    ResultPair("transform_100k", "BM_ShellTransform", "BM_InlineTransform", TFigure::TimeUs);
    ResultPair("inverse_cached_100k", "BM_ShellInverse", "BM_InlineInverse", TFigure::TimeUs);
    return 0;
}();

} // namespace
