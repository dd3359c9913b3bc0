#include "engine/DxTess3.h"

#include "support/EvenOddReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using sptest::EvenOddArea;
using sptest::EvenOddInside;
using sptest::RefSegmentDistance;
using sptest::RefSegments;
using sptest::TRefSegment;

TXYZArray Poly(std::initializer_list<std::pair<float, float>> pts) {
    TXYZArray a;
    for (auto [x, y] : pts)
        a.push_back({x, y, 0});
    return a;
}

TXYZArray Scaled(TXYZArray a, float s, float dx = 0, float dy = 0) {
    for (TXYZ &p : a)
        p = {p.x * s + dx, p.y * s + dy, p.z};
    return a;
}

TXYZArray Circle(float cx, float cy, float r, int n, bool clockwise = false) {
    TXYZArray a;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * (clockwise ? n - i : i) / n;
        a.push_back({float(cx + r * std::cos(t)), float(cy + r * std::sin(t)), 0});
    }
    return a;
}

// Random radii at increasing angles: simple, as the benchmark's polygons.
TXYZArray RandomStar(int n, unsigned seed, float cx = 0, float cy = 0, float r = 100) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> radius(0.2, 1.0);
    TXYZArray a;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * std::numbers::pi * i / n, q = r * radius(rng);
        a.push_back({float(cx + q * std::cos(t)), float(cy + q * std::sin(t)), 0});
    }
    return a;
}

// Random points: a tangle of crossing edges.
TXYZArray RandomTangle(int n, unsigned seed, int grid = 0) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 50);
    std::uniform_int_distribution<int> g(0, grid);
    TXYZArray a;
    for (int i = 0; i < n; ++i)
        a.push_back(grid ? TXYZ{float(g(rng)), float(g(rng)), 0} : TXYZ{float(u(rng)), float(u(rng)), 0});
    return a;
}

struct TRun {
    bool ok = false;
    TXYZArray triangles;
    std::string error;
};

TRun Tesselate(const TXYZArrays &contours) {
    TDxTesselator3 tess;
    for (const TXYZArray &c : contours)
        tess.AddContour(c);
    TRun r;
    r.ok = tess.Proceed();
    r.triangles = tess.Triangles();
    r.error = tess.ErrorText();
    return r;
}

double TriangleSum(const TXYZArray &t) {
    double s = 0;
    for (std::size_t i = 0; i + 2 < t.size(); i += 3)
        s += std::fabs(((double(t[i + 1].x) - t[i].x) * (double(t[i + 2].y) - t[i].y) -
                        (double(t[i + 2].x) - t[i].x) * (double(t[i + 1].y) - t[i].y)) /
                       2);
    return s;
}

struct TBox {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    double Diagonal() const { return std::hypot(x1 - x0, y1 - y0); }
};

TBox Box(const TXYZArrays &contours) {
    TBox b;
    for (const TXYZArray &c : contours)
        for (const TXYZ &p : c) {
            b.x0 = std::min<double>(b.x0, p.x);
            b.y0 = std::min<double>(b.y0, p.y);
            b.x1 = std::max<double>(b.x1, p.x);
            b.y1 = std::max<double>(b.y1, p.y);
        }
    return b;
}

// Every corner is a contour point or lies on two contour edges (a crossing).
void ExpectCornersFromInput(const TXYZArrays &contours, const TXYZArray &tri, double tol) {
    const std::vector<TRefSegment> segs = RefSegments(contours);
    for (const TXYZ &q : tri) {
        bool input = false;
        for (const TXYZArray &c : contours)
            for (const TXYZ &p : c)
                input = input || p == q;
        if (input)
            continue;
        int near = 0;
        for (const TRefSegment &s : segs)
            near += RefSegmentDistance(s, q.x, q.y) <= tol;
        EXPECT_GE(near, 2) << "corner (" << q.x << ", " << q.y
                           << ") is neither a contour point nor a crossing";
    }
}

// Rasterised coverage: at sample points away from every edge, the number of triangles covering the point
// is 1 inside the region and 0 outside.
void ExpectCoverage(const TXYZArrays &contours, const TXYZArray &tri, int grid) {
    const std::vector<TRefSegment> segs = RefSegments(contours);
    std::vector<TRefSegment> triEdges;
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3)
        for (int k = 0; k < 3; ++k) {
            const TXYZ &a = tri[i + std::size_t(k)], &b = tri[i + std::size_t(k + 1) % 3];
            triEdges.push_back({a.x, a.y, b.x, b.y});
        }
    const TBox b = Box(contours);
    const double tol = b.Diagonal() * 1e-4;
    int checked = 0;
    for (int i = 0; i < grid; ++i)
        for (int j = 0; j < grid; ++j) {
            const double x = b.x0 + (b.x1 - b.x0) * (i + 0.5) / grid;
            const double y = b.y0 + (b.y1 - b.y0) * (j + 0.4) / grid; // off the symmetric lines
            bool nearEdge = false;
            for (const TRefSegment &s : segs)
                nearEdge = nearEdge || RefSegmentDistance(s, x, y) < tol;
            for (const TRefSegment &s : triEdges)
                nearEdge = nearEdge || RefSegmentDistance(s, x, y) < tol;
            if (nearEdge)
                continue;
            int cover = 0;
            for (std::size_t t = 0; t + 2 < tri.size(); t += 3) {
                auto side = [&](const TXYZ &p, const TXYZ &q) {
                    return (double(q.x) - p.x) * (y - p.y) - (double(q.y) - p.y) * (x - p.x);
                };
                const double s0 = side(tri[t], tri[t + 1]), s1 = side(tri[t + 1], tri[t + 2]),
                             s2 = side(tri[t + 2], tri[t]);
                cover += (s0 > 0 && s1 > 0 && s2 > 0) || (s0 < 0 && s1 < 0 && s2 < 0);
            }
            ++checked;
            ASSERT_EQ(cover, EvenOddInside(segs, x, y) ? 1 : 0) << "at (" << x << ", " << y << ")";
        }
    if (b.x1 > b.x0 && b.y1 > b.y0) {
        EXPECT_GT(checked, grid * grid / 4);
    }
}

// ---- The table ------------------------------------------------------------------------------------------

constexpr double Unknown = std::numeric_limits<double>::quiet_NaN();

struct TCase {
    std::string name;
    TXYZArrays contours;
    double area;        // by the shoelace formula where the outline is simple; Unknown: the reference only
    int triangles = -1; // -1: not checked
};

std::vector<TCase> Cases() {
    const TXYZArray square = Poly({{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    const TXYZArray hole = Poly({{1, 1}, {3, 1}, {3, 3}, {1, 3}});
    // A blocky letter B: two counters, a notch on the right, many equal x and y values.
    const TXYZArray bOuter = Poly({{0, 0}, {6, 0}, {7, 1}, {7, 4}, {6, 5}, {7, 6}, {7, 9}, {6, 10}, {0, 10}});
    const TXYZArray bUpper = Poly({{2, 6}, {5, 6}, {5, 8}, {2, 8}});
    const TXYZArray bLower = Poly({{2, 2}, {5, 2}, {5, 4}, {2, 4}});
    // A comb: every tooth edge is vertical and shares its x with another.
    TXYZArray comb = Poly({{0, 0}, {20, 0}});
    for (int i = 10; i > 0; --i) {
        comb.push_back({float(2 * i), 5, 0});
        comb.push_back({float(2 * i - 1), 5, 0});
        comb.push_back({float(2 * i - 1), 1, 0});
        comb.push_back({float(2 * i - 2), 1, 0});
    }
    TXYZArrays swiss{Poly({{0, 0}, {100, 0}, {100, 100}, {0, 100}})};
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j)
            swiss.push_back(Circle(5 + 10.f * i, 5 + 10.f * j, 3.5f, 7 + (i + j) % 5, (i + j) % 2 == 1));
    double swissArea = 10000;
    for (std::size_t k = 1; k < swiss.size(); ++k) {
        double s = 0;
        for (std::size_t i = 0; i < swiss[k].size(); ++i) {
            const TXYZ &a = swiss[k][i], &b = swiss[k][(i + 1) % swiss[k].size()];
            s += double(a.x) * b.y - double(b.x) * a.y;
        }
        swissArea -= std::fabs(s) / 2;
    }

    std::vector<TCase> cases = {
        {"square with its closing point repeated", {Poly({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}})}, 1, 2},
        {"square with points in the middle of its sides",
         {Poly({{0, 0}, {0.5f, 0}, {1, 0}, {1, 0.25f}, {1, 0.75f}, {1, 1}, {0, 1}, {0, 0.5f}})},
         1,
         2},
        {"square given clockwise", {Poly({{0, 0}, {0, 1}, {1, 1}, {1, 0}})}, 1, 2},
        {"fewer than three distinct points", {Poly({{0, 0}, {1, 1}, {0, 0}, {1, 1}})}, 0, 0},
        {"three collinear points", {Poly({{0, 0}, {1, 1}, {2, 2}})}, 0, 0},
        {"collinear points going back and forth", {Poly({{0, 0}, {3, 0}, {1, 0}, {2, 0}})}, 0, 0},
        {"equal x values: a comb", {comb}, 20 * 1 + 10 * 4, -1},
        {"equal x values: a diamond with vertical neighbours",
         {Poly({{0, 0}, {1, -1}, {1, 1}, {2, 0}, {1, 2}, {1, 3}})},
         Unknown},
        {"square with a square hole", {square, hole}, 12, 8},
        {"hole touching the outline at a corner", {square, Poly({{0, 0}, {2, 1}, {1, 2}})}, 16 - 1.5, -1},
        {"hole touching the outline along an edge", {square, Poly({{1, 0}, {3, 0}, {2, 2}})}, 16 - 2, -1},
        {"figure eight", {Poly({{0, 0}, {2, 2}, {2, 0}, {0, 2}})}, 2, -1},
        {"figure eight of two squares meeting at a point",
         {Poly({{0, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 2}, {1, 2}, {1, 1}, {0, 1}})},
         2,
         4},
        {"pentagram: the middle is outside",
         {Poly({{0, 10}, {6, -8}, {-9.5f, 3}, {9.5f, 3}, {-6, -8}})},
         Unknown},
        {"two squares sharing an edge",
         {Poly({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), Poly({{1, 0}, {2, 0}, {2, 1}, {1, 1}})},
         2,
         -1},
        {"overlapping squares",
         {Poly({{0, 0}, {2, 0}, {2, 2}, {0, 2}}), Poly({{1, 1}, {3, 1}, {3, 3}, {1, 3}})},
         6,
         -1},
        {"the same square twice cancels", {square, square}, 0, 0},
        {"spike along an edge", {Poly({{0, 0}, {2, 0}, {2, 2}, {2, 3}, {2, 2}, {0, 2}})}, 4, 2},
        {"letter B", {bOuter, bUpper, bLower}, 68 - 12, -1},
        {"letter O of polygons", {Circle(0, 0, 10, 64), Circle(0, 0, 6, 48, true)}, Unknown},
        {"letter B far from the origin",
         {Scaled(bOuter, 1, 5e5f, 6e6f), Scaled(bUpper, 1, 5e5f, 6e6f), Scaled(bLower, 1, 5e5f, 6e6f)},
         56},
        {"letter B huge", {Scaled(bOuter, 1e30f), Scaled(bUpper, 1e30f), Scaled(bLower, 1e30f)}, 56e60},
        {"letter B tiny", {Scaled(bOuter, 1e-30f), Scaled(bUpper, 1e-30f), Scaled(bLower, 1e-30f)}, 56e-60},
        {"a hundred holes", swiss, swissArea},
        // Outlines that once went wrong through rounding (found by fuzzing, reduced).
        {"an edge shared by two contours and crossed by a third",
         {Poly({{2, 0}, {4, 4}, {4, 2}, {0, 3}}), Poly({{0, 3}, {4, 2}, {3, 4}})},
         7.5},
        {"a vertical edge crossed right above the sweep point",
         {Poly({{1, 4}, {0, 2}, {0, 0}, {4, 4}, {3, 0}, {0, 3}, {3, 1}, {1, 0}})},
         Unknown},
        {"crossings meeting on a contour point",
         {Poly({{7, 2}, {3, 8}, {5, 2}, {7, 0}}), Poly({{8, 2}, {5, 0}, {4, 6}, {6, 1}, {1, 5}, {4, 0}}),
          Poly({{6, 0}, {6, 2}, {7, 5}, {2, 4}, {8, 8}})},
         Unknown},
        {"collinear edges leaving one point, one of them cut by a crossing",
         {Poly({{7, 4}, {3, 0}, {4, 2}, {8, 7}, {3, 0}, {6, 6}}),
          Poly({{6, 0}, {1, 0}, {1, 8}, {7, 0}, {3, 1}, {7, 1}, {1, 2}, {7, 3}})},
         Unknown},
        {"a crossing that rounds to the height of the sweep point",
         {Poly({{0.559113026f, 0.097141698f},
                {0.976644993f, 0.844718993f},
                {0.976662993f, 0.47685501f},
                {0.636243999f, 0.158831999f},
                {0.980737984f, 0.664839983f}})},
         Unknown},
        {"an edge narrower than one unit of x",
         {Poly({{285.557007f, 371.980988f},
                {285.556f, 746.020996f},
                {230.348999f, 233.716003f},
                {393.278992f, 684.687012f},
                {871.468018f, 858.909973f},
                {16.8451004f, 161.276001f}})},
         Unknown},
        {"a point at the origin next to edges bent by rounding elsewhere",
         {Poly({{-0.25f, 0},
                {0.5f, -0.25f},
                {0.5f, -0.5f},
                {-0.25f, 0.25f},
                {-0.5f, 0},
                {0, 0.25f},
                {0, 0},
                {-0.25f, 3.25f}})},
         Unknown},
        {"random simple polygon of 300 points", {RandomStar(300, 1)}, Unknown},
        {"random simple polygons overlapping", {RandomStar(60, 2), RandomStar(70, 3, 30, 10)}, Unknown},
    };
    for (unsigned seed = 1; seed <= 6; ++seed)
        cases.push_back(
            {"random tangle " + std::to_string(seed), {RandomTangle(12 + 4 * int(seed), seed)}, Unknown});
    for (unsigned seed = 1; seed <= 6; ++seed)
        cases.push_back({"tangle on a small grid " + std::to_string(seed),
                         {RandomTangle(8 + 3 * int(seed), seed, 4), RandomTangle(6, seed + 100, 4)},
                         Unknown});
    return cases;
}

class TesselatorCase : public testing::TestWithParam<TCase> {};

TEST_P(TesselatorCase, FillsTheEvenOddInsideExactly) {
    const TCase &c = GetParam();
    const TXYZArrays before = c.contours;
    const TRun r = Tesselate(c.contours);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.error.empty());
    EXPECT_EQ(c.contours, before) << "the input was changed";
    ASSERT_EQ(r.triangles.size() % 3, 0u);
    if (c.triangles >= 0) {
        EXPECT_EQ(int(r.triangles.size() / 3), c.triangles);
    }

    const TBox box = Box(c.contours);
    const double boxArea = (box.x1 - box.x0) * (box.y1 - box.y0);
    const double ref = EvenOddArea(c.contours);
    const double tol = std::max(boxArea * 1e-6, 1e-300);
    if (!std::isnan(c.area)) {
        EXPECT_NEAR(ref, c.area, tol) << "reference";
    }
    EXPECT_NEAR(TriangleSum(r.triangles), ref, tol);
    ExpectCornersFromInput(c.contours, r.triangles, box.Diagonal() * 1e-6);
    ExpectCoverage(c.contours, r.triangles, r.triangles.size() > 3000 ? 40 : 80);
}

INSTANTIATE_TEST_SUITE_P(Outlines, TesselatorCase, testing::ValuesIn(Cases()), [](const auto &info) {
    std::string s;
    for (char ch : info.param.name)
        s += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return s;
});

// ---- Behaviour around the sweep -------------------------------------------------------------------------

TEST(DxTesselator3, TrianglesAreCounterClockwiseAndKeepHeights) {
    TXYZArray c = {{0, 0, 1}, {4, 0, 2}, {4, 4, 3}, {2, 1, 4}, {0, 4, 5}};
    const TRun r = Tesselate({c});
    ASSERT_TRUE(r.ok);
    for (std::size_t i = 0; i < r.triangles.size(); i += 3)
        EXPECT_GT(TriangleArea(r.triangles[i], r.triangles[i + 1], r.triangles[i + 2]), 0);
    for (const TXYZ &p : r.triangles) // the input point with its own height
        EXPECT_NE(std::find(c.begin(), c.end(), p), c.end());
}

TEST(DxTesselator3, CrossingPointTakesTheHeightOfItsEdge) {
    // The edge (0,0,0)-(2,2,4) crosses (2,0)-(0,2) at its middle.
    const TRun r = Tesselate({{{0, 0, 0}, {2, 2, 4}, {2, 0, 0}, {0, 2, 0}}});
    ASSERT_TRUE(r.ok);
    bool found = false;
    for (const TXYZ &p : r.triangles)
        if (p.x == 1 && p.y == 1)
            found = true;
    EXPECT_TRUE(found);
}

TEST(DxTesselator3, NonFiniteCoordinatesAreRefused) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
    for (const TXYZ bad : {TXYZ{nan, 0, 0}, TXYZ{0, inf, 0}, TXYZ{-inf, 1, 0}}) {
        TDxTesselator3 tess;
        tess.AddContour(Poly({{0, 0}, {1, 0}, {1, 1}}));
        tess.AddContour({{{0, 0, 0}, {2, 0, 0}, bad, {0, 2, 0}}});
        EXPECT_FALSE(tess.Proceed());
        EXPECT_TRUE(tess.Triangles().empty());
        EXPECT_EQ(tess.ErrorText(), "TDxTesselator3.AddContour: point 2 of contour 1 is not finite");
    }
    // Only x and y take part in the sweep; the height is carried along.
    const TRun r = Tesselate({{{0, 0, nan}, {1, 0, 0}, {1, 1, 0}}});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.triangles.size(), 3u);
}

TEST(DxTesselator3, TooManyPointsIsAnErrorWithThePartialResult) {
    TDxTesselator3 tess;
    tess.AddContour(RandomStar(TDxTesselator3::MaxSweepPoints, 7));
    EXPECT_TRUE(tess.Proceed()) << tess.ErrorText();
    EXPECT_EQ(tess.Triangles().size(), 3u * (TDxTesselator3::MaxSweepPoints - 2));

    const TTriangulation t = Triangulate(RandomStar(TDxTesselator3::MaxSweepPoints + 1, 7));
    EXPECT_FALSE(t.Complete);
    EXPECT_EQ(t.Error, "TDxTesselator3.Proceed: more more points...");
    EXPECT_FALSE(t.Triangles.empty());
    EXPECT_LT(t.Triangles.size(), 3u * (TDxTesselator3::MaxSweepPoints - 1));
}

TEST(DxTesselator3, OneCallTriangulate) {
    const TTriangulation t = Triangulate(Poly({{0, 0}, {1, 0}, {1, 1}, {0, 1}}));
    EXPECT_TRUE(t.Complete);
    EXPECT_TRUE(t.Error.empty());
    EXPECT_EQ(t.Triangles.size(), 6u);
    EXPECT_DOUBLE_EQ(TriangleSum(t.Triangles), 1);
    const TTriangulation empty = Triangulate(TXYZArray{});
    EXPECT_TRUE(empty.Complete);
    EXPECT_TRUE(empty.Triangles.empty());
}

TEST(DxTesselator3, PointerBlockViewAndClear) {
    TDxTesselator3 tess;
    tess.AddContour(Poly({{0, 0}, {4, 0}, {4, 4}, {0, 4}}));
    tess.AddContour(Poly({{1, 1}, {3, 1}, {3, 3}, {1, 3}}));
    ASSERT_TRUE(tess.Proceed());
    std::unique_ptr<TPtrBlock> block;
    tess.GetTriangles(block);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->Count(), int32_t(tess.Triangles().size()));
    EXPECT_EQ(block->Capacity(), block->Count());
    for (int32_t i = 0; i < block->Count(); ++i)
        EXPECT_EQ((*block)[i], &tess.Triangles()[std::size_t(i)]);

    tess.Clear();
    EXPECT_TRUE(tess.Proceed());
    EXPECT_TRUE(tess.Triangles().empty());
    tess.AddContour(Poly({{0, 0}, {1, 0}, {0, 1}}));
    EXPECT_TRUE(tess.Proceed());
    EXPECT_EQ(tess.Triangles().size(), 3u);
}

} // namespace
