// What the device leaves out of a draw before the GL sees it (the pictures are compared in the GL tests).
#include "platform/d3d9/SmallPrimitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

struct TVertex {
    float X, Y, Z;
    D3DCOLOR Color;
};

// s equals the vertex's x and y: pixel k spans [k, k + 1) with its centre at k + 0.5.
TPixelGrid PlainGrid() {
    TPixelGrid g{};
    for (int i = 0; i < 4; ++i)
        g.M.m[i][i] = 1;
    g.HalfX = g.HalfY = 1;
    g.ScissorX0 = g.ScissorY0 = -100;
    g.ScissorX1 = g.ScissorY1 = 100;
    return g;
}

TVertex At(double x, double y, D3DCOLOR c = 0, float z = 0.5f) {
    return {static_cast<float>(x), static_cast<float>(y), z, c};
}

const uint8_t *Bytes(const std::vector<TVertex> &v) {
    return reinterpret_cast<const uint8_t *>(v.data());
}

TEST(SmallPrimitives, ATriangleStaysWhenItMayCoverAPixelCentre) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        const char *Name;
        std::vector<TVertex> Triangle;
        bool Stays;
    } cases[] = {
        {"between four centres", {At(0.1, 0.1), At(0.4, 0.1), At(0.1, 0.4)}, false},
        {"a sliver across a column of centres but between rows",
         {At(0.1, 2.6), At(5.9, 2.7), At(0.1, 2.9)},
         false},
        {"over a centre", {At(0.4, 0.4), At(0.6, 0.4), At(0.4, 0.6)}, true},
        {"a box reaching a centre within rounding", {At(0.1, 0.1), At(0.499, 0.1), At(0.1, 0.499)}, true},
        {"large", {At(-10, -10), At(10, -10), At(-10, 10)}, true},
        {"not finite", {At(0.1, 0.1), At(nan, 0.1), At(0.1, 0.4)}, true},
        {"large, beyond the scissor box", {At(110, -10), At(130, -10), At(110, 10)}, false},
        {"reaching into the scissor box", {At(99.4, -10), At(130, -10), At(110, 10)}, true},
    };
    TSmallPrimitiveFilter filter;
    ASSERT_TRUE(filter.Reset(PlainGrid()));
    for (const auto &c : cases) {
        std::vector<TVertex> out(3);
        const std::size_t n =
            filter.Triangles(Bytes(c.Triangle), 3, sizeof(TVertex), reinterpret_cast<uint8_t *>(out.data()));
        EXPECT_EQ(n, c.Stays ? 3u : 0u) << c.Name;
        if (n == 3) {
            EXPECT_EQ(std::memcmp(out.data(), c.Triangle.data(), sizeof(TVertex) * 3), 0) << c.Name;
        }
    }
}

TEST(SmallPrimitives, LinesInsideOnePixelGoAndOnlyTheLastEndInAPixelStays) {
    const std::vector<TVertex> lines = {
        At(0.2, 0.2, 1),   At(0.8, 0.7, 2),       // inside pixel (0, 0): the line goes, its end may stay
        At(3.2, 0.5, 3),   At(0.3, 0.4, 4),       // across pixels: stays; ends in (0, 0) after the first
        At(5.2, 5.2, 5),   At(5.7, 5.999, 6),     // the end is at a border within rounding: everything stays
        At(7.2, 7.2, 7),   At(7.3, 7.3, 8, 1.5f), // the end lies beyond the far plane: stays
        At(150.2, 0.2, 9), At(150.4, 0.3, 10),    // outside the scissor box: nothing is drawn
        At(101.5, 3, 11),  At(180.3, 9.3, 12),    // a long line beyond the box: nothing is drawn
        At(99.5, 3, 13),   At(180.3, 9.3, 14),    // the same within a pixel of the box: the line stays
    };
    TSmallPrimitiveFilter filter;
    ASSERT_TRUE(filter.Reset(PlainGrid()));
    std::vector<TVertex> out(lines.size() * 3 / 2);
    const auto r = filter.Lines(Bytes(lines), lines.size(), sizeof(TVertex), true,
                                reinterpret_cast<uint8_t *>(out.data()));
    std::vector<D3DCOLOR> drawn, ends;
    for (std::size_t i = 0; i < r.LineVertices; ++i)
        drawn.push_back(out[i].Color);
    for (std::size_t i = 0; i < r.PointVertices; ++i)
        ends.push_back(out[r.LineVertices + i].Color);
    EXPECT_EQ(drawn, (std::vector<D3DCOLOR>{3, 4, 5, 6, 7, 8, 13, 14}));
    EXPECT_EQ(ends, (std::vector<D3DCOLOR>{4, 6, 8}));

    // Blended (or stencil-inverting) lines add up: all of them stay, each with its end, but for the lines
    // beyond the box.
    const auto all = filter.Lines(Bytes(lines), lines.size(), sizeof(TVertex), false,
                                  reinterpret_cast<uint8_t *>(out.data()));
    EXPECT_EQ(all.LineVertices, lines.size() - 4);
    EXPECT_EQ(all.PointVertices, lines.size() / 2);
    EXPECT_EQ(out[all.LineVertices].Color, 2u);
}

// Primitives of a run are placed with the bounds of the run's box instead of bounds of their own: that may
// keep more, never less, and keeps them in the same order. Clusters of small primitives around pixel borders
// and centres, near the origin and far from it, under a grid with a scale, an offset and a viewport of odd
// size.
TEST(SmallPrimitives, ARunPlacedWithItsBoxKeepsWhatEachPrimitiveKeepsAlone) {
    struct TCase {
        const char *Name;
        double Origin, Scale, Reach;
    } const cases[] = {
        {"near the origin", 0, 1, 0.3},
        {"far from the origin", 3.0e5, 1, 0.3},
        {"scaled, a few pixels", 40, 0.37, 4},
        {"scaled down hard (many per pixel)", 1.0e4, 0.01, 20},
    };
    for (const TCase &c : cases) {
        TPixelGrid g = PlainGrid();
        g.M.m[0][0] = static_cast<float>(c.Scale);
        g.M.m[1][1] = static_cast<float>(-c.Scale);
        g.M.m[3][0] = static_cast<float>(-c.Origin * c.Scale);
        g.M.m[3][1] = static_cast<float>(c.Origin * c.Scale);
        g.HalfX = 11.5;
        g.HalfY = 9.5;
        g.OffsetX = 0.5 - 1.0 / 128;
        g.OffsetY = 0.5 + 1.0 / 128;
        g.M.m[0][0] /= static_cast<float>(g.HalfX);
        g.M.m[1][1] /= static_cast<float>(g.HalfY);
        g.M.m[3][0] /= static_cast<float>(g.HalfX);
        g.M.m[3][1] /= static_cast<float>(g.HalfY);
        TSmallPrimitiveFilter filter;
        ASSERT_TRUE(filter.Reset(g)) << c.Name;
        std::mt19937 rng(7);
        const auto uniform = [&](double a, double b) {
            return std::uniform_real_distribution<double>(a, b)(rng);
        };
        for (int perPrim : {2, 3}) {
            for (int cluster = 0; cluster < 300; ++cluster) {
                // A spot on or beside a pixel border or centre, in world units.
                const double px = std::floor(uniform(-30, 30)) + (cluster % 3 == 0   ? 0.5
                                                                  : cluster % 3 == 1 ? 0.001
                                                                                     : uniform(0, 1));
                const double py = std::floor(uniform(-30, 30)) + uniform(0, 1);
                const double wx = c.Origin + px / c.Scale, wy = c.Origin - py / c.Scale;
                const int count = 1 + cluster % 17;
                std::vector<TVertex> v;
                float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
                for (int i = 0; i < count * perPrim; ++i) {
                    v.push_back(At(wx + uniform(-c.Reach, c.Reach), wy + uniform(-c.Reach, c.Reach),
                                   static_cast<D3DCOLOR>(i), cluster % 11 == 0 ? 1.0f : 0.5f));
                    const float p[3] = {v.back().X, v.back().Y, v.back().Z};
                    for (int k = 0; k < 3; ++k) {
                        lo[k] = std::min(lo[k], p[k]);
                        hi[k] = std::max(hi[k], p[k]);
                    }
                }
                const TSmallPrimitiveFilter::TRunBox box = filter.Box(lo, hi);
                ASSERT_TRUE(box.Bounded) << c.Name;
                std::vector<TVertex> alone(v.size() * 3 / 2 + 3), inRun(v.size() * 3 / 2 + 3);
                auto *outAlone = reinterpret_cast<uint8_t *>(alone.data());
                auto *outRun = reinterpret_cast<uint8_t *>(inRun.data());
                std::vector<D3DCOLOR> keptAlone, keptRun;
                if (perPrim == 3) {
                    const std::size_t a = filter.Triangles(Bytes(v), v.size(), sizeof(TVertex), outAlone);
                    const std::size_t b = filter.Triangles(Bytes(v), v.size(), sizeof(TVertex), box, outRun);
                    alone.resize(a);
                    inRun.resize(b);
                    if (box.TrianglesDark) {
                        EXPECT_EQ(a, 0u) << c.Name;
                    }
                } else {
                    const bool overwrite = cluster % 2 == 0;
                    const auto a = filter.Lines(Bytes(v), v.size(), sizeof(TVertex), overwrite, outAlone);
                    const TSmallPrimitiveFilter::TRun run{0, v.size() / 2, box};
                    const auto b = filter.LineRuns(Bytes(v), &run, 1, sizeof(TVertex), overwrite, outRun);
                    alone.resize(a.LineVertices + a.PointVertices);
                    inRun.resize(b.LineVertices + b.PointVertices);
                    EXPECT_GE(b.LineVertices, a.LineVertices) << c.Name;
                    if (box.LinesOutside) {
                        EXPECT_EQ(a.LineVertices, 0u) << c.Name;
                    }
                }
                for (const TVertex &x : alone)
                    keptAlone.push_back(x.Color);
                for (const TVertex &x : inRun)
                    keptRun.push_back(x.Color);
                // What each keeps alone is kept within the run, in the same order.
                std::size_t at = 0;
                for (D3DCOLOR k : keptAlone) {
                    while (at < keptRun.size() && keptRun[at] != k)
                        ++at;
                    EXPECT_LT(at, keptRun.size()) << c.Name << ": cluster " << cluster << " lost " << k;
                    ++at;
                }
            }
        }
    }
}

TEST(SmallPrimitives, NothingIsDroppedUnderAProjectiveOrBrokenTransform) {
    TSmallPrimitiveFilter filter;
    TPixelGrid g = PlainGrid();
    g.M.m[2][3] = 0.5f;
    EXPECT_FALSE(filter.Reset(g));
    g = PlainGrid();
    g.M.m[3][0] = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(filter.Reset(g));
    EXPECT_TRUE(filter.Reset(PlainGrid()));
}

} // namespace
