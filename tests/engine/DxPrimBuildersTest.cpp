// The builders: which primitives each adds from its points, texture coordinates of tiled triangles and of
// wide strips, the strip's vertex order and mitres, corner cutting of thick polylines, and strips over
// repeated points that must stay finite.
#include "engine/DxPrimBuilders.h"
#include "engine/DxPrimCollection.h"
#include "engine/StreetError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {

using TIndices = std::vector<int>;

// The primitives of a batch as indices into the points their vertices came from.
std::vector<TIndices> AsIndices(const TDxPrimCollection &batch, const TXYZArray &points) {
    std::vector<TIndices> out;
    for (std::size_t i = 0; i < batch.Count(); ++i) {
        TIndices prim;
        for (const TDxVertex &v : batch.Group(i).Vertices) {
            int found = -1;
            for (std::size_t k = 0; k < points.size(); ++k)
                if (points[k].x == v.x && points[k].y == v.y && points[k].z == v.z)
                    found = int(k);
            prim.push_back(found);
        }
        out.push_back(prim);
    }
    return out;
}

TXYZArray Points(int n) {
    TXYZArray p;
    for (int i = 0; i < n; ++i)
        p.push_back({float(i), float(i % 3), float(i % 2)});
    return p;
}

TEST(DxPrimBuilders, EachBuilderAddsItsPrimitivesFromThePoints) {
    using TBuild = std::function<void(TDxPrimCollection &, const TXYZArray &)>;
    struct TCase {
        const char *Name;
        bool Lines;
        int Points;
        TBuild Build;
        std::vector<TIndices> Expected;
    };
    const TCase cases[] = {
        {"lines of 5 points", true, 5, [](auto &b, auto &p) { DxAddLines(b, 1, p); }, {{0, 1}, {2, 3}}},
        {"lines of 1 point", true, 1, [](auto &b, auto &p) { DxAddLines(b, 1, p); }, {}},
        {"polyline range 1..3",
         true,
         5,
         [](auto &b, auto &p) { DxAddPolylineRange(b, 1, p, 3, 1); },
         {{1, 2}, {2, 3}}},
        {"polyline range beyond the points",
         true,
         5,
         [](auto &b, auto &p) { DxAddPolylineRange(b, 1, p, 99, -5); },
         {{0, 1}, {1, 2}, {2, 3}, {3, 4}}},
        {"polyline range backwards",
         true,
         5,
         [](auto &b, auto &p) { DxAddPolylineRange(b, 1, p, 1, 3); },
         {}},
        {"polyline of 3", true, 3, [](auto &b, auto &p) { DxAddPolyline(b, 1, p); }, {{0, 1}, {1, 2}}},
        {"polyline of 1", true, 1, [](auto &b, auto &p) { DxAddPolyline(b, 1, p); }, {}},
        {"closed polyline of 3",
         true,
         3,
         [](auto &b, auto &p) { DxAddClosedPolyline(b, 1, p); },
         {{0, 1}, {1, 2}, {2, 0}}},
        {"closed polyline of 1", true, 1, [](auto &b, auto &p) { DxAddClosedPolyline(b, 1, p); }, {}},
        {"triangles of 7",
         false,
         7,
         [](auto &b, auto &p) { DxAddTriangles(b, 1, p); },
         {{0, 1, 2}, {3, 4, 5}}},
        {"triangles of 2", false, 2, [](auto &b, auto &p) { DxAddTriangles(b, 1, p); }, {}},
        // 7 points: one quad, the last three ignored.
        {"quads of 7", false, 7, [](auto &b, auto &p) { DxAddQuads(b, 1, p); }, {{0, 1, 3}, {2, 3, 0}}},
        {"quads of 8",
         false,
         8,
         [](auto &b, auto &p) { DxAddQuads(b, 1, p); },
         {{0, 1, 3}, {2, 3, 0}, {4, 5, 7}, {6, 7, 4}}},
    };
    for (const TCase &c : cases) {
        std::unique_ptr<TDxPrimCollection> batch;
        if (c.Lines)
            batch = std::make_unique<TDxLineCollection>();
        else
            batch = std::make_unique<TDxTriangleCollection>();
        const TXYZArray p = Points(c.Points);
        c.Build(*batch, p);
        EXPECT_EQ(AsIndices(*batch, p), c.Expected) << c.Name;
        for (std::size_t i = 0; i < batch->Count(); ++i)
            EXPECT_EQ(batch->Group(i).Owner, 1u);
    }
}

TEST(DxPrimBuilders, OpenArrayFormsMatchTheArrayForms) {
    TDxLineCollection lines;
    DxAddLinesA(lines, 3, {{0, 0, 0}, {1, 0, 0}});
    EXPECT_EQ(lines.Count(), 1u);
    TDxTriangleCollection triangles;
    DxAddTrianglesA(triangles, 3, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    DxAddQuadsA(triangles, 3, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    EXPECT_EQ(triangles.Count(), 3u);
}

TEST(DxPrimBuilders, LinesAndTrianglesGoOnlyToTheirOwnKindOfBatch) {
    TDxLineCollection lines;
    TDxTriangleCollection triangles;
    const TXYZArray p = Points(6);
    EXPECT_THROW(DxAddLines(triangles, 1, p), EStreetError);
    EXPECT_THROW(DxAddPolyline(triangles, 1, p), EStreetError);
    EXPECT_THROW(DxAddTriangles(lines, 1, p), EStreetError);
    EXPECT_THROW(DxAddWideStrip(lines, 1, p, 0, 5, 1, -1, 0, 0, 1), EStreetError);
}

TEST(DxPrimBuilders, TexturedTrianglesTileFromTheOriginAlongTheDirection) {
    TDxTriangleCollection batch;
    batch.SetColor(0xFF336699);
    DxAddTexturedTriangles(batch, 1, TXYZArray{{5, 10, 0}, {3, 2, 0}, {1, 2, 0}}, 2, -4, 1, 2, 0.6f, 0.8f,
                           0xFF336699);
    DxAddTexturedTriangles(batch, 1, TXYZArray{{3, 2, 0}, {1, 3, 0}, {1, 2, 0}}, 0, 0, 1, 2, 1, 0,
                           0xFF336699);
    ASSERT_EQ(batch.Count(), 2u);
    const auto v = batch.Group(0).Vertices;
    // (5, 10): dx = 2, dy = 8 / -4 = -2: u = 2 x 0.6 + 2 x 0.8, v = 2 x 0.8 - 2 x 0.6.
    EXPECT_FLOAT_EQ(v[0].u, 2.8f);
    EXPECT_FLOAT_EQ(v[0].v, 0.4f);
    EXPECT_FLOAT_EQ(v[1].u, 0.6f);
    EXPECT_FLOAT_EQ(v[1].v, 0.8f);
    EXPECT_EQ(v[2].u, 0);
    EXPECT_EQ(v[0].color, 0xFF336699u);
    // Repeat lengths of 0 count as 1.
    const auto w = batch.Group(1).Vertices;
    EXPECT_EQ(w[0].u, 2);
    EXPECT_EQ(w[1].v, 1);
}

// The side vertices of a strip, recovered from its triangles (A(i - 1), B(i - 1), A(i)), (A(i), B(i), B(i -
// 1)).
struct TSides {
    std::vector<TDxVertex> A, B;
};

TSides Sides(const TDxPrimCollection &batch) {
    TSides s;
    for (std::size_t i = 0; i + 1 < batch.Count(); i += 2) {
        const auto t1 = batch.Group(i).Vertices, t2 = batch.Group(i + 1).Vertices;
        if (s.A.empty()) {
            s.A.push_back(t1[0]);
            s.B.push_back(t1[1]);
        }
        EXPECT_EQ(t2[0].x, t1[2].x); // A(i) twice
        EXPECT_EQ(t2[2].y, t1[1].y); // B(i - 1) twice
        s.A.push_back(t1[2]);
        s.B.push_back(t2[1]);
    }
    return s;
}

TEST(DxPrimBuildersWideStrip, TwoTrianglesPerSegmentMitredWithWholeTexturePeriods) {
    TDxTriangleCollection batch;
    // Along x, then a left turn up y; offset a = +1 lies to the left. Length 20, period 4: 5 periods.
    DxAddWideStrip(batch, 1, TXYZArray{{-5, -5, 0}, {0, 0, 3}, {10, 0, 3}, {10, 10, 3}}, 1, 3, 1, -1, 4,
                   0.25f, 0.75f);
    ASSERT_EQ(batch.Count(), 4u);
    const TSides s = Sides(batch);
    struct TExpected {
        float Ax, Ay, Bx, By, U;
    } const expected[] = {{0, 1, 0, -1, 0}, {9, 1, 11, -1, 2.5f}, {9, 10, 11, 10, 5}};
    ASSERT_EQ(s.A.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(s.A[i].x, expected[i].Ax) << i;
        EXPECT_FLOAT_EQ(s.A[i].y, expected[i].Ay) << i;
        EXPECT_FLOAT_EQ(s.B[i].x, expected[i].Bx) << i;
        EXPECT_FLOAT_EQ(s.B[i].y, expected[i].By) << i;
        EXPECT_EQ(s.A[i].z, 3);
        EXPECT_FLOAT_EQ(s.A[i].u, expected[i].U) << i;
        EXPECT_FLOAT_EQ(s.B[i].u, expected[i].U) << i;
        EXPECT_EQ(s.A[i].v, 0.25f);
        EXPECT_EQ(s.B[i].v, 0.75f);
    }
}

TEST(DxPrimBuildersWideStrip, TextureUCarriesAWholeNumberOfPeriods) {
    struct TCase {
        float Length, Period, LastU;
    } const cases[] = {
        {7, 2, 4},    // 3.5 periods round to the even 4
        {5, 2, 2},    // 2.5 to 2
        {0.5f, 2, 1}, // at least one
        {10, 0, 0},   // no period: u is 0
        {10, -3, 1},  // a negative period still carries one
    };
    for (const TCase &c : cases) {
        TDxTriangleCollection batch;
        DxAddWideStrip(batch, 1, TXYZArray{{0, 0, 0}, {c.Length, 0, 0}}, 0, 1, 1, -1, c.Period, 0, 1);
        const TSides s = Sides(batch);
        ASSERT_EQ(s.A.size(), 2u);
        EXPECT_EQ(s.A[0].u, 0);
        EXPECT_FLOAT_EQ(s.A[1].u, c.LastU) << c.Length << " / " << c.Period;
    }
}

TEST(DxPrimBuildersWideStrip, RepeatedPointsAndBandsOfNoLengthStayFinite) {
    const TXYZArray cases[] = {
        {{2, 2, 0}, {2, 2, 0}},
        {{2, 2, 0}, {2, 2, 0}, {2, 2, 0}},
        {{2, 2, 0}, {2, 2, 0}, {6, 2, 0}},
        {{0, 0, 0}, {4, 0, 0}, {4, 0, 0}},
        {{0, 0, 0}, {4, 0, 0}, {4, 0, 0}, {4, 4, 0}},
        {{0, 0, 0}, {4, 0, 0}, {0, 0, 0}}, // a spike
        {{0, 0, 1}, {0, 0, 5}},            // straight up: no length in the plane
    };
    for (const TXYZArray &p : cases) {
        for (const float period : {0.0f, 1.0f}) {
            TDxTriangleCollection strip, thick;
            DxAddWideStrip(strip, 1, p, 0, int32_t(p.size()) - 1, 0.5f, -0.5f, period, 0, 1);
            DxAddThickPolyline(thick, 1, p, 0.5f, -0.5f, period, 0, 1);
            EXPECT_EQ(strip.Count(), 2 * (p.size() - 1));
            for (const TDxPrimCollection *b :
                 {(const TDxPrimCollection *)&strip, (const TDxPrimCollection *)&thick})
                for (std::size_t i = 0; i < b->Count(); ++i) {
                    const TDxPrimGroup g = b->Group(i);
                    EXPECT_TRUE(std::isfinite(g.Center.x) && std::isfinite(g.Center.y) &&
                                std::isfinite(g.Radius));
                    for (const TDxVertex &v : g.Vertices)
                        EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) &&
                                    std::isfinite(v.u) && std::isfinite(v.v))
                            << p.size() << " points, period " << period;
                }
        }
    }
    // A repeated first point takes the direction of the next segment that has a length.
    TDxTriangleCollection batch;
    DxAddWideStrip(batch, 1, TXYZArray{{2, 2, 0}, {2, 2, 0}, {6, 2, 0}}, 0, 2, 0.5f, -0.5f, 0, 0, 1);
    const TSides s = Sides(batch);
    EXPECT_EQ(s.A[0].y, 2.5f);
    EXPECT_EQ(s.B[0].y, 1.5f);
    // Nothing below two points or a range of one.
    TDxTriangleCollection none;
    DxAddWideStrip(none, 1, TXYZArray{{0, 0, 0}}, 0, 0, 1, -1, 0, 0, 1);
    DxAddWideStrip(none, 1, Points(5), 2, 2, 1, -1, 0, 0, 1);
    EXPECT_EQ(none.Count(), 0u);
}

// The centre line of a strip whose offsets are a and -a.
TXYZArray CentreLine(const TDxPrimCollection &batch) {
    const TSides s = Sides(batch);
    TXYZArray c;
    for (std::size_t i = 0; i < s.A.size(); ++i)
        c.push_back({(s.A[i].x + s.B[i].x) / 2, (s.A[i].y + s.B[i].y) / 2, 0});
    return c;
}

TEST(DxPrimBuildersThickPolyline, CutsSharpCornersOnlyWhenTextured) {
    const float bend = float(10 * std::numbers::pi / 180);
    const TXYZArray rightAngle = {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}};
    const TXYZArray slightBend = {{0, 0, 0}, {10, 0, 0}, {10 + 10 * std::cos(bend), 10 * std::sin(bend), 0}};
    struct TCase {
        const char *Name;
        TXYZArray Points;
        float HalfWidth, Period;
        TXYZArray Centre;
    };
    const TCase cases[] = {
        {"no period: no cut", rightAngle, 0.5f, 0, rightAngle},
        // |a - b| = 1 over segments of 10: a tenth before and after the corner.
        {"right angle cut", rightAngle, 0.5f, 1, {{0, 0, 0}, {9, 0, 0}, {10, 0, 0}, {10, 1, 0}, {10, 10, 0}}},
        // |a - b| = 10: the fraction is limited to 0.3.
        {"wide band cut at 0.3",
         rightAngle,
         5,
         1,
         {{0, 0, 0}, {7, 0, 0}, {10, 0, 0}, {10, 3, 0}, {10, 10, 0}}},
        {"ten degrees kept", slightBend, 0.5f, 1, slightBend},
    };
    for (const TCase &c : cases) {
        TDxTriangleCollection batch;
        DxAddThickPolyline(batch, 1, c.Points, c.HalfWidth, -c.HalfWidth, c.Period, 0, 1);
        ASSERT_EQ(batch.Count(), 2 * (c.Centre.size() - 1)) << c.Name;
        const TXYZArray centre = CentreLine(batch);
        for (std::size_t i = 0; i < centre.size(); ++i) {
            EXPECT_NEAR(centre[i].x, c.Centre[i].x, 1e-5) << c.Name << " point " << i;
            EXPECT_NEAR(centre[i].y, c.Centre[i].y, 1e-5) << c.Name << " point " << i;
        }
    }
}

TEST(DxPrimBuildersThickPolyline, StripsBuiltOneAfterAnotherKeepTheirOwnCutsAndTexture) {
    // Built in this order, each into a batch of its own and all into one shared batch: a strip must owe
    // nothing to the one built before it.
    struct TCase {
        const char *Name;
        TXYZArray Points;
        TXYZArray Centre; // after corner cutting (|a - b| = 1)
    };
    const TXYZArray gentle = {{0, 0, 0}, {3, 0, 0}, {6, 0.5f, 0}};
    const TCase cases[] = {
        {"a corner after a straight joint",
         {{0, 0, 0}, {5, 0, 0}, {10, 0, 0}, {10, 10, 0}},
         {{0, 0, 0}, {5, 0, 0}, {9, 0, 0}, {10, 0, 0}, {10, 1, 0}, {10, 10, 0}}},
        {"shorter, nothing to cut", gentle, gentle},
        {"two corners",
         {{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {20, 10, 0}},
         {{0, 0, 0}, {9, 0, 0}, {10, 0, 0}, {10, 1, 0}, {10, 9, 0}, {10, 10, 0}, {11, 10, 0}, {20, 10, 0}}},
        {"nothing to cut again", gentle, gentle},
    };
    TDxTriangleCollection shared;
    std::vector<TDxVertex> alone;
    for (const TCase &c : cases) {
        TDxTriangleCollection batch;
        DxAddThickPolyline(batch, 1, c.Points, 0.5f, -0.5f, 1, 0, 1);
        DxAddThickPolyline(shared, 1, c.Points, 0.5f, -0.5f, 1, 0, 1);
        ASSERT_EQ(batch.Count(), 2 * (c.Centre.size() - 1)) << c.Name;
        const TSides s = Sides(batch);
        // u: the distance along the band, stretched to a whole number of periods of 1.
        std::vector<double> along{0};
        for (std::size_t i = 1; i < c.Centre.size(); ++i)
            along.push_back(along.back() + std::hypot(double(c.Centre[i].x) - c.Centre[i - 1].x,
                                                       double(c.Centre[i].y) - c.Centre[i - 1].y));
        const double stretch = std::round(along.back()) / along.back();
        for (std::size_t i = 0; i < c.Centre.size(); ++i) {
            EXPECT_NEAR((s.A[i].x + s.B[i].x) / 2, c.Centre[i].x, 1e-5) << c.Name << " point " << i;
            EXPECT_NEAR((s.A[i].y + s.B[i].y) / 2, c.Centre[i].y, 1e-5) << c.Name << " point " << i;
            EXPECT_NEAR(s.A[i].u, along[i] * stretch, 1e-4) << c.Name << " point " << i;
            EXPECT_EQ(s.A[i].u, s.B[i].u) << c.Name << " point " << i;
        }
        for (std::size_t i = 0; i < batch.Count(); ++i)
            for (const TDxVertex &v : batch.Group(i).Vertices)
                alone.push_back(v);
    }
    std::vector<TDxVertex> together;
    for (std::size_t i = 0; i < shared.Count(); ++i)
        for (const TDxVertex &v : shared.Group(i).Vertices)
            together.push_back(v);
    ASSERT_EQ(together.size(), alone.size());
    for (std::size_t i = 0; i < alone.size(); ++i) {
        EXPECT_EQ(together[i].x, alone[i].x) << i;
        EXPECT_EQ(together[i].y, alone[i].y) << i;
        EXPECT_EQ(together[i].u, alone[i].u) << i;
        EXPECT_EQ(together[i].v, alone[i].v) << i;
    }
}

} // namespace
