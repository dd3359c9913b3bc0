#include "engine/CSpline.h"
#include "support/Expectations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using sptest::ExpectNear;
using sptest::Finite;

TXYZ V(float x, float y, float z = 0) {
    return {x, y, z};
}

// A chain with the given knots and garbage control points.
TXYZArray Chain(const std::vector<TXYZ> &knots) {
    TXYZArray c;
    for (std::size_t i = 0; i < knots.size(); ++i) {
        c.push_back(knots[i]);
        if (i + 1 < knots.size()) {
            c.push_back(V(-777, 555));
            c.push_back(V(999, -333));
        }
    }
    return c;
}

// De Casteljau in double, independent of the polynomial form.
TXYZ Bezier(const TXYZ &p0, const TXYZ &p1, const TXYZ &p2, const TXYZ &p3, double t) {
    auto lerp = [t](double a, double b) { return a + (b - a) * t; };
    auto eval = [&](double a, double b, double c, double d) {
        const double ab = lerp(a, b), bc = lerp(b, c), cd = lerp(c, d);
        return lerp(lerp(ab, bc), lerp(bc, cd));
    };
    return {float(eval(p0.x, p1.x, p2.x, p3.x)), float(eval(p0.y, p1.y, p2.y, p3.y)), 0};
}

constexpr double H = 0.333f; // the handle fraction as the single it is stored in

} // namespace

TEST(CSpline, SingleSpanBecomesStraight) {
    TXYZArray c = Chain({V(1, 2, 3), V(11, -8, 7)});
    CSplineSmooth(c);
    ASSERT_EQ(c.size(), 4u);
    ExpectNear(c[0], V(1, 2, 3), 0);
    ExpectNear(c[3], V(11, -8, 7), 0);
    const double t1 = 0.333f, t2 = 0.667f; // singles, not thirds
    ExpectNear(c[1], V(float(1 + 10 * t1), float(2 - 10 * t1), float(3 + 4 * t1)), 1e-5);
    ExpectNear(c[2], V(float(1 + 10 * t2), float(2 - 10 * t2), float(3 + 4 * t2)), 1e-5);
}

TEST(CSpline, StraightRowGetsThirdHandles) {
    TXYZArray c = Chain({V(0, 0), V(10, 0), V(20, 0)});
    CSplineSmooth(c);
    const float h = float(10 * H);
    const TXYZ want[7] = {V(0, 0), V(h, 0), V(10 - h, 0), V(10, 0), V(10 + h, 0), V(20 - h, 0), V(20, 0)};
    for (int i = 0; i < 7; ++i)
        ExpectNear(c[i], want[i], 1e-5);
    EXPECT_NEAR(c[1].x, 3.33, 1e-5);
    EXPECT_NEAR(c[5].x, 16.67, 1e-5);
}

TEST(CSpline, InnerTangentBisectsAndEndsMirror) {
    // A right-angle corner at (10, 0): the tangent there runs along (1, 1).
    TXYZArray c = Chain({V(0, 0), V(10, 0), V(10, 10)});
    CSplineSmooth(c);
    const float d = float(10 * H / std::sqrt(2.0));
    ExpectNear(c[2], V(10 - d, -d), 1e-4);
    ExpectNear(c[4], V(10 + d, d), 1e-4);
    // End handles: the neighbouring handle mirrored about the end chord and turned round.
    ExpectNear(c[1], V(d, -d), 1e-4);
    ExpectNear(c[5], V(10 + d, 10 - d), 1e-4);
    ExpectNear(c[0], V(0, 0), 0);
    ExpectNear(c[3], V(10, 0), 0);
    ExpectNear(c[6], V(10, 10), 0);
}

TEST(CSpline, TangentsAreContinuousOnAGeneralRow) {
    const std::vector<TXYZ> knots{V(0, 0), V(7, 3), V(12, -4), V(20, -1), V(21, 9)};
    TXYZArray c = Chain(knots);
    CSplineSmooth(c);
    for (std::size_t i = 0; i < knots.size(); ++i)
        EXPECT_EQ(c[3 * i], knots[i]) << "knot " << i;
    for (std::size_t i = 1; i + 1 < knots.size(); ++i) {
        const TXYZ &a = knots[i - 1], &k = knots[i], &b = knots[i + 1];
        // The bisector of the two chord directions, in double.
        const double lIn = std::hypot(double(k.x) - a.x, double(k.y) - a.y);
        const double lOut = std::hypot(double(b.x) - k.x, double(b.y) - k.y);
        double tx = (k.x - a.x) / lIn + (b.x - k.x) / lOut, ty = (k.y - a.y) / lIn + (b.y - k.y) / lOut;
        const double lt = std::hypot(tx, ty);
        tx /= lt;
        ty /= lt;
        ExpectNear(c[3 * i - 1], V(float(k.x - tx * H * lIn), float(k.y - ty * H * lIn)), 1e-4);
        ExpectNear(c[3 * i + 1], V(float(k.x + tx * H * lOut), float(k.y + ty * H * lOut)), 1e-4);
    }
    // First end: reflect the handle at knot 1 about the first chord (2 (v.e) e - v), then turn it round.
    auto endHandle = [](const TXYZ &end, const TXYZ &other, const TXYZ &innerRel) {
        double ex = double(other.x) - end.x, ey = double(other.y) - end.y;
        const double le = std::hypot(ex, ey);
        ex /= le;
        ey /= le;
        const double dot = innerRel.x * ex + innerRel.y * ey;
        const double rx = 2 * dot * ex - innerRel.x, ry = 2 * dot * ey - innerRel.y;
        return V(float(end.x - rx), float(end.y - ry));
    };
    ExpectNear(c[1], endHandle(c[0], c[3], V(c[2].x - c[3].x, c[2].y - c[3].y)), 1e-4);
    ExpectNear(c[11], endHandle(c[12], c[9], V(c[10].x - c[9].x, c[10].y - c[9].y)), 1e-4);
}

TEST(CSpline, SpikesAndRepeatedKnotsStayFinite) {
    struct Case {
        const char *what;
        std::vector<TXYZ> knots;
    } cases[] = {
        {"spike", {V(0, 0), V(10, 0), V(5, 0)}},
        {"spike back to the start", {V(0, 0), V(10, 0), V(0, 0), V(0, 5)}},
        {"repeated inner knot", {V(0, 0), V(5, 5), V(5, 5), V(10, 0)}},
        {"repeated first knot", {V(3, 3), V(3, 3), V(10, 0)}},
        {"repeated last knot", {V(0, 0), V(10, 0), V(10, 0)}},
        {"all knots equal", {V(1, 1), V(1, 1), V(1, 1)}},
    };
    for (const Case &k : cases) {
        TXYZArray c = Chain(k.knots);
        CSplineSmooth(c);
        for (std::size_t i = 0; i < c.size(); ++i)
            EXPECT_TRUE(Finite(c[i])) << k.what << ", point " << i;
        for (std::size_t i = 0; i < k.knots.size(); ++i)
            EXPECT_EQ(c[3 * i], k.knots[i]) << k.what;
        for (const CSP_Coeffs &s : CSplineCoeffs(c)) {
            for (float t : CSplineSteps(s, 0.1f))
                EXPECT_TRUE(Finite(CSplineEval(s, t))) << k.what;
        }
    }
    // At the spike the line turns round the knot across the incoming chord.
    TXYZArray c = Chain({V(0, 0), V(10, 0), V(5, 0)});
    CSplineSmooth(c);
    ExpectNear(c[2], V(10, float(-10 * H)), 1e-4);
    ExpectNear(c[4], V(10, float(5 * H)), 1e-4);
    // A repeated knot leaves the handles that span it on their knots.
    c = Chain({V(3, 3), V(3, 3), V(10, 0)});
    CSplineSmooth(c);
    ExpectNear(c[1], V(3, 3), 0);
    ExpectNear(c[2], V(3, 3), 0);
}

TEST(CSpline, ShortOrRaggedChains) {
    TXYZArray three{V(0, 0), V(1, 1), V(2, 0)};
    const TXYZArray before = three;
    CSplineSmooth(three);
    EXPECT_EQ(three, before);
    EXPECT_TRUE(CSplineCoeffs(three).empty());
    EXPECT_TRUE(CSplineCoeffs({}).empty());

    // Points after the last whole span take no part.
    TXYZArray c = Chain({V(0, 0), V(10, 0), V(20, 0)});
    c.push_back(V(50, 50));
    c.push_back(V(60, 60));
    CSplineSmooth(c);
    ExpectNear(c[5], V(float(20 - 10 * H), 0), 1e-5);
    EXPECT_EQ(c[7], V(50, 50));
    EXPECT_EQ(CSplineCoeffs(c).size(), 2u);
    TXYZArray five = Chain({V(0, 0), V(9, 3)});
    five.push_back(V(100, 100));
    CSplineSmooth(five);
    ExpectNear(five[1], V(float(9 * H), float(3 * H)), 1e-5);
    EXPECT_EQ(five[4], V(100, 100));
}

TEST(CSpline, CoefficientsMatchTheBezierSpan) {
    const TXYZ p0 = V(1, 2), p1 = V(4, 7), p2 = V(9, -3), p3 = V(12, 5);
    const CSP_Coeffs s = BezierCoeffs(p0, p1, p2, p3);
    // By hand: a = p3 - 3 p2 + 3 p1 - p0, b = 3 p2 - 6 p1 + 3 p0, c = 3 p1 - 3 p0, d = p0.
    EXPECT_EQ(s.ax, 12 - 27 + 12 - 1);
    EXPECT_EQ(s.bx, 27 - 24 + 3);
    EXPECT_EQ(s.cx, 12 - 3);
    EXPECT_EQ(s.dx, 1);
    EXPECT_EQ(s.ay, 5 + 9 + 21 - 2);
    EXPECT_EQ(s.by, -9 - 42 + 6);
    EXPECT_EQ(s.cy, 21 - 6);
    EXPECT_EQ(s.dy, 2);
    for (float t : {0.0f, 0.1f, 0.25f, 0.5f, 0.8f, 1.0f})
        ExpectNear(CSplineEval(s, t), Bezier(p0, p1, p2, p3, t), 1e-4);

    const TXYZArray chain{p0, p1, p2, p3, V(20, 0), V(25, 5), V(30, 1)};
    const CSP_Coeffs_Array all = CSplineCoeffs(chain);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].dx, 12);
    EXPECT_EQ(all[1].dy, 5);
    ExpectNear(CSplineEval(all[1], 0.5f), Bezier(p3, chain[4], chain[5], chain[6], 0.5), 1e-4);
    EXPECT_EQ(CSplineEval(all[1], 1).z, 0);
}

TEST(CSpline, StepsGrowWithTheBend) {
    // With a = (ax, 0), b = (0, by), c = 0 the derivatives are (0, 0), (0.75 ax, by), (3 ax, 2 by):
    // the bend measure is 0.75 ax by.
    auto span = [](float ax, float by) {
        CSP_Coeffs s;
        s.ax = ax;
        s.by = by;
        return s;
    };
    struct Case {
        const char *what;
        CSP_Coeffs s;
        float tol;
        std::size_t n;
    } cases[] = {
        {"straight", BezierCoeffs(V(0, 0), V(1, 1), V(2, 2), V(3, 3)), 0.1f, 4},
        {"15 - 1", span(1, 2), 0.1f, 14},
        {"10.5 rounds to even 10", span(2, 7), 1, 9},
        {"11.5 rounds to even 12", span(1, 46), 3, 11},
        {"at most 100", span(1, 2), 1e-6f, 100},
        {"zero tolerance", span(1, 2), 0, 100},
        {"zero tolerance, straight", span(0, 0), 0, 4},
        {"negative tolerance", span(1, 2), -1, 4},
        {"negative zero tolerance", span(1, 2), -0.0f, 4},
    };
    for (const Case &c : cases) {
        const TSingleDynAr steps = CSplineSteps(c.s, c.tol);
        ASSERT_EQ(steps.size(), c.n) << c.what;
        for (std::size_t k = 0; k < steps.size(); ++k)
            EXPECT_FLOAT_EQ(steps[k], float(double(k + 1) / double(c.n))) << c.what;
        EXPECT_EQ(steps.back(), 1.0f) << c.what;
    }
    const TSingleDynAr straight = CSplineSteps(BezierCoeffs(V(0, 0), V(1, 0), V(2, 0), V(3, 0)), 0.1f);
    EXPECT_EQ(straight, (TSingleDynAr{0.25f, 0.5f, 0.75f, 1.0f}));
}

TEST(CSpline, DenseLinePassesThroughEveryKnot) {
    const std::vector<TXYZ> knots{V(0, 0), V(30, 12), V(45, -20), V(80, 5)};
    TXYZArray c = Chain(knots);
    CSplineSmooth(c);
    const CSP_Coeffs_Array spans = CSplineCoeffs(c);
    ASSERT_EQ(spans.size(), 3u);
    for (std::size_t i = 0; i < spans.size(); ++i) {
        const TSingleDynAr steps = CSplineSteps(spans[i], 0.1f);
        ASSERT_GE(steps.size(), 4u);
        ExpectNear(CSplineEval(spans[i], 0), knots[i], 1e-4);
        ExpectNear(CSplineEval(spans[i], steps.back()), knots[i + 1], 1e-3);
        // Each dense point lies on the span as a Bezier curve sees it.
        for (float t : steps)
            ExpectNear(CSplineEval(spans[i], t),
                       Bezier(c[3 * i], c[3 * i + 1], c[3 * i + 2], c[3 * i + 3], t), 1e-3);
    }
}
